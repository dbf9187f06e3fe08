#pragma once
// Number helpers shared by the window's view handlers.
#include <cmath>
#include <cstdint>

namespace ViewMath {

// Nearest integer, halves to the even neighbour (the default rounding mode),
// kept inside int32 so that a wild value (a damaged hot spot, say) cannot
// overflow the conversion.
inline int32_t RoundEven(double v) {
    constexpr double lim = 1.0e9;
    return static_cast<int32_t>(std::nearbyint(v < -lim ? -lim : v > lim ? lim : v));
}

// Pointer positions arrive as reals and may lie far outside a view while a
// press is held; keep them where an int32 holds them before flooring.
inline int32_t FloorPos(double v) {
    if (!(v == v)) return 0; // NaN
    constexpr double lim = 1.0e9;
    if (v < -lim) v = -lim;
    if (v > lim) v = lim;
    return static_cast<int32_t>(std::floor(v));
}

// True when half a view's side, in sheet pixels, ends in exactly .5: the view
// is an odd number of zoomed pixels across. That never happens at the default
// size (128 / zoom for zooms 2 to 10).
inline bool OddSpan(double half) { return half - std::floor(half) == 0.5; }

// The sheet pixel at a view's first column for a zoom centre: centre - half,
// rounded. A view an odd number of zoomed pixels across would always round a
// tie and reach only even origins, so there a tie goes down.
inline int32_t ZoomOrigin(int32_t centre, double half) {
    const double v = centre - half;
    return OddSpan(half) ? RoundEven(std::floor(v)) : RoundEven(v);
}

} // namespace ViewMath
