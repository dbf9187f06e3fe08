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

} // namespace ViewMath
