// Looking for the old pixels of marked rectangles on a redrawn sheet.
//
// Exact copies are found in one pass over the new sheet per probe length: each
// piece gives one probe, a short horizontal run of its pixels chosen where the
// colour changes most, and a rolling hash of every run of that length on the
// sheet points at the places where the whole piece is then compared.
//
// Retouched pieces are looked for outward from their place, ring by ring, with
// each place given up as soon as more than a tenth of the sprite pixels
// differ; the places where nearby pieces went are tried first, so that the
// rings can stop at the distance of the first that qualifies. A piece still
// not found beyond a short distance is looked for through its runs instead: it
// is cut into more disjoint runs of sprite pixels than it may have changed
// pixels, so at any qualifying place one run at least is unchanged, and the
// places where one of its runs appears on the sheet hold every qualifying one.
#include "sprites/FollowSheet.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace {

constexpr uint64_t HashBase = 0x100000001B3ull;
// Longest probe of an exact search: long enough to be rare on a sheet.
constexpr int32_t ProbeLength = 16;
// Rings searched around a retouched piece's place before its runs are used.
constexpr int32_t FirstRings = 32;
// Run lengths tried for the search through runs, longest (rarest) first.
constexpr int32_t RunLengths[] = {8, 4, 2};
// More candidate places than this for one piece: its runs are too common to
// help, and the rings search the whole sheet instead.
constexpr size_t MaxCandidates = size_t{1} << 22;
// Bits of the filter that spares most windows the look-up among the probes.
constexpr int FilterBits = 22;

inline uint32_t PixelAt(const uint8_t* p) { return p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16; }

const uint8_t* RowOf(const SheetPixels& s, int32_t y) {
    return s.Pixels + static_cast<size_t>(s.Height - 1 - y) * static_cast<size_t>(s.Stride);
}

// 0x00BBGGRR as PixelAt reads it from blue-green-red bytes.
uint32_t PackedColor(int32_t color) {
    const auto c = static_cast<uint32_t>(color);
    return ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16);
}

uint64_t Power(uint64_t base, int32_t n) {
    uint64_t p = 1;
    while (n-- > 0) p *= base;
    return p;
}

// A place on the new sheet, ordered nearest first, then in reading order.
struct Place {
    int64_t D2 = 0;
    int32_t Y = 0, X = 0; // in this order, for the comparisons
    auto operator<=>(const Place&) const = default;
};

Place PlaceOf(const SpriteRect& old, int32_t x, int32_t y) {
    const int64_t dx = int64_t{x} - old.X, dy = int64_t{y} - old.Y;
    return {dx * dx + dy * dy, y, x};
}

bool Fits(const SpriteRect& r, const SheetPixels& s, int64_t x, int64_t y) {
    return x >= 0 && y >= 0 && x + r.Width <= s.Width && y + r.Height <= s.Height;
}

bool ExactAt(const SheetPiece& p, const SheetPixels& s, int32_t x, int32_t y) {
    const size_t rowBytes = 3 * static_cast<size_t>(p.Rect.Width);
    for (int32_t r = 0; r < p.Rect.Height; ++r)
        if (std::memcmp(RowOf(s, y + r) + 3 * static_cast<size_t>(x), p.Bgr.data() + r * rowBytes, rowBytes) != 0)
            return false;
    return true;
}

// A run of pixels to look for: its hash, where it lies in its piece, whose it is.
struct Probe {
    uint64_t Hash;
    int32_t DX, DY;
    uint32_t Piece;
};

uint64_t HashRun(const uint8_t* bgr, int32_t length) {
    uint64_t h = 0;
    for (int32_t i = 0; i < length; ++i) h = h * HashBase + PixelAt(bgr + 3 * i);
    return h;
}

size_t FilterSlot(uint64_t hash) { return static_cast<size_t>((hash * 0x9E3779B97F4A7C15ull) >> (64 - FilterBits)); }

// Calls hit(probe, x, y) for every run of `length` pixels on the sheet whose hash
// is a probe's, with (x, y) the run's first pixel. Sorts the probes.
template <class Hit>
void ScanRuns(const SheetPixels& s, int32_t length, std::vector<Probe>& probes, Hit&& hit) {
    if (probes.empty() || length > s.Width) return;
    std::ranges::sort(probes, {}, &Probe::Hash);
    std::vector<uint64_t> filter((size_t{1} << FilterBits) / 64, 0);
    for (const Probe& p : probes) filter[FilterSlot(p.Hash) / 64] |= uint64_t{1} << (FilterSlot(p.Hash) % 64);
    const uint64_t out = Power(HashBase, length - 1);
    for (int32_t y = 0; y < s.Height; ++y) {
        const uint8_t* row = RowOf(s, y);
        uint64_t h = 0;
        for (int32_t x = 0; x < s.Width; ++x) {
            if (x >= length) h -= out * PixelAt(row + 3 * static_cast<size_t>(x - length));
            h = h * HashBase + PixelAt(row + 3 * static_cast<size_t>(x));
            if (x < length - 1) continue;
            const size_t slot = FilterSlot(h);
            if (!(filter[slot / 64] >> (slot % 64) & 1)) continue;
            // Not std::ranges::equal_range: clang 14 cannot use its subrange with this library.
            for (auto it = std::lower_bound(probes.begin(), probes.end(), h,
                                            [](const Probe& p, uint64_t v) { return p.Hash < v; });
                 it != probes.end() && it->Hash == h; ++it)
                hit(*it, x - length + 1, y);
        }
    }
}

// The run of up to ProbeLength pixels of a piece where its colour changes most:
// runs of one colour are common on a sheet, each would lead to many comparisons.
Probe ExactProbe(const SheetPiece& p, uint32_t index, int32_t length) {
    const int32_t w = p.Rect.Width;
    int best = -1;
    Probe probe{0, 0, 0, index};
    std::vector<int> changes(static_cast<size_t>(w), 0); // changes[i]: changes among pixels 0..i
    for (int32_t y = 0; y < p.Rect.Height; ++y) {
        const uint8_t* row = p.Bgr.data() + static_cast<size_t>(y) * 3 * w;
        for (int32_t x = 1; x < w; ++x)
            changes[x] = changes[x - 1] + (PixelAt(row + 3 * x) != PixelAt(row + 3 * (x - 1)));
        for (int32_t x = 0; x + length <= w; ++x) {
            const int n = changes[x + length - 1] - changes[x];
            if (n > best) best = n, probe.DX = x, probe.DY = y;
        }
    }
    probe.Hash = HashRun(p.Bgr.data() + (static_cast<size_t>(probe.DY) * w + probe.DX) * 3, length);
    return probe;
}

// A piece's sprite pixels, for counting how many of them changed at a place.
struct SpritePixels {
    std::vector<int32_t> DX, DY;
    std::vector<uint32_t> Color;
    size_t Allowed = 0; // changed pixels a qualifying place may have: a tenth, rounded down

    explicit SpritePixels(const SheetPiece& p, uint32_t mask) {
        for (int32_t y = 0; y < p.Rect.Height; ++y)
            for (int32_t x = 0; x < p.Rect.Width; ++x) {
                const uint32_t c = PixelAt(p.Bgr.data() + (static_cast<size_t>(y) * p.Rect.Width + x) * 3);
                if (c == mask) continue;
                DX.push_back(x), DY.push_back(y), Color.push_back(c);
            }
        Allowed = Color.size() / 10;
    }

    bool QualifiesAt(const SheetPixels& s, int32_t x, int32_t y) const {
        size_t changed = 0;
        for (size_t i = 0; i < Color.size(); ++i) {
            if (PixelAt(RowOf(s, y + DY[i]) + 3 * static_cast<size_t>(x + DX[i])) != Color[i] && ++changed > Allowed)
                return false;
        }
        return true;
    }
};

// Disjoint runs of `length` sprite pixels, one more than the pixels that may
// have changed, those where the colour changes most first; none when the
// piece has too few such runs.
std::vector<Probe> SpriteRuns(const SheetPiece& p, uint32_t index, uint32_t mask, size_t allowed, int32_t length) {
    struct Run {
        int changes;
        int32_t x, y;
    };
    std::vector<Run> runs;
    const int32_t w = p.Rect.Width;
    for (int32_t y = 0; y < p.Rect.Height; ++y) {
        const uint8_t* row = p.Bgr.data() + static_cast<size_t>(y) * 3 * w;
        int32_t start = 0;
        for (int32_t x = 0; x <= w; ++x) {
            if (x < w && PixelAt(row + 3 * x) != mask) continue;
            for (int32_t r = start; r + length <= x; r += length) {
                int n = 0;
                for (int32_t i = r + 1; i < r + length; ++i) n += PixelAt(row + 3 * i) != PixelAt(row + 3 * (i - 1));
                runs.push_back({n, r, y});
            }
            start = x + 1;
        }
    }
    if (runs.size() < allowed + 1) return {};
    std::ranges::stable_sort(runs, std::greater<>{}, &Run::changes);
    runs.resize(allowed + 1);
    std::vector<Probe> probes;
    probes.reserve(runs.size());
    for (const Run& r : runs)
        probes.push_back({HashRun(p.Bgr.data() + (static_cast<size_t>(r.y) * w + r.x) * 3, length), r.x, r.y, index});
    return probes;
}

} // namespace

std::vector<SheetPiece> TakePieces(const SheetPixels& sheet, const std::vector<SpriteRect>& rects) {
    std::vector<SheetPiece> pieces;
    if (!sheet.Usable()) return pieces;
    for (const SpriteRect& r : rects) {
        if (r.Empty() || !Fits(r, sheet, r.X, r.Y)) continue;
        SheetPiece piece{r, {}};
        const size_t rowBytes = 3 * static_cast<size_t>(r.Width);
        piece.Bgr.resize(rowBytes * static_cast<size_t>(r.Height));
        for (int32_t y = 0; y < r.Height; ++y)
            std::memcpy(piece.Bgr.data() + y * rowBytes, RowOf(sheet, r.Y + y) + 3 * static_cast<size_t>(r.X), rowBytes);
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

namespace {

// One retouched piece being looked for.
struct Search {
    uint32_t Piece;
    SpritePixels Pixels;
    std::optional<Place> Best;
    std::vector<Place> Candidates;
    bool TooMany = false;
};

// Visits the places at Chebyshev distance first..last (inclusive) from the
// piece's place, ring by ring, keeping the best qualifying one; stops once a
// ring cannot hold a place nearer than the best.
void SearchRings(const SheetPiece& p, const SheetPixels& s, Search& search, int64_t first, int64_t last) {
    const SpriteRect& r = p.Rect;
    const int64_t maxX = int64_t{s.Width} - r.Width, maxY = int64_t{s.Height} - r.Height;
    if (maxX < 0 || maxY < 0) return;
    // Beyond this every ring lies off the sheet.
    const int64_t reach = std::max({std::abs(int64_t{r.X}), std::abs(maxX - r.X), std::abs(int64_t{r.Y}),
                                    std::abs(maxY - r.Y)});
    last = std::min(last, reach);
    auto visit = [&](int64_t x, int64_t y) {
        const Place place = PlaceOf(r, static_cast<int32_t>(x), static_cast<int32_t>(y));
        if (search.Best && !(place < *search.Best)) return;
        if (search.Pixels.QualifiesAt(s, static_cast<int32_t>(x), static_cast<int32_t>(y))) search.Best = place;
    };
    for (int64_t d = first; d <= last; ++d) {
        if (search.Best && d * d > search.Best->D2) return;
        const int64_t xlo = std::max(-d, -int64_t{r.X}), xhi = std::min(d, maxX - r.X);
        const int64_t ylo = std::max(-d, -int64_t{r.Y}), yhi = std::min(d, maxY - r.Y);
        if (xlo > xhi || ylo > yhi) continue;
        if (ylo == -d)
            for (int64_t dx = xlo; dx <= xhi; ++dx) visit(r.X + dx, r.Y - d);
        for (int64_t dy = std::max(ylo, -d + 1); dy <= std::min(yhi, d - 1); ++dy) {
            if (xlo == -d) visit(r.X - d, r.Y + dy);
            if (xhi == d && d != 0) visit(r.X + d, r.Y + dy);
        }
        if (yhi == d && d != 0)
            for (int64_t dx = xlo; dx <= xhi; ++dx) visit(r.X + dx, r.Y + d);
    }
}

// Where pieces found unchanged went, to try for a retouched one near them.
struct Shift {
    int32_t X, Y;   // the old place
    int32_t DX, DY; // how far it went
};

constexpr size_t HintCount = 8;

} // namespace

std::vector<FollowedPiece> FollowPieces(const std::vector<SheetPiece>& pieces, const SheetPixels& fresh,
                                        int32_t maskColor) {
    std::vector<FollowedPiece> out(pieces.size());
    for (size_t i = 0; i < pieces.size(); ++i) out[i].Rect = pieces[i].Rect;
    if (!fresh.Usable()) return out;

    // At their places, then anywhere unchanged.
    std::vector<uint32_t> looked;
    std::map<int32_t, std::vector<Probe>> probes;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const SheetPiece& p = pieces[i];
        const SpriteRect& r = p.Rect;
        if (r.Empty() || p.Bgr.size() != size_t{3} * r.Width * r.Height) continue;
        if (r.Width > fresh.Width || r.Height > fresh.Height) continue;
        if (Fits(r, fresh, r.X, r.Y) && ExactAt(p, fresh, r.X, r.Y)) {
            out[i].Kind = FollowKind::Stayed;
            continue;
        }
        looked.push_back(static_cast<uint32_t>(i));
        const int32_t length = std::min(r.Width, ProbeLength);
        probes[length].push_back(ExactProbe(p, static_cast<uint32_t>(i), length));
    }
    std::vector<std::optional<Place>> copies(pieces.size());
    for (auto& [length, list] : probes)
        ScanRuns(fresh, length, list, [&](const Probe& probe, int32_t x, int32_t y) {
            const SheetPiece& p = pieces[probe.Piece];
            const int64_t px = int64_t{x} - probe.DX, py = int64_t{y} - probe.DY;
            if (!Fits(p.Rect, fresh, px, py)) return;
            const Place place = PlaceOf(p.Rect, static_cast<int32_t>(px), static_cast<int32_t>(py));
            std::optional<Place>& best = copies[probe.Piece];
            if ((!best || place < *best) && ExactAt(p, fresh, place.X, place.Y)) best = place;
        });

    std::vector<Shift> shifts;
    std::vector<Search> searches;
    const uint32_t mask = PackedColor(maskColor);
    for (size_t i = 0; i < pieces.size(); ++i) {
        const SpriteRect& r = pieces[i].Rect;
        if (copies[i]) {
            out[i] = {{copies[i]->X, copies[i]->Y, r.Width, r.Height}, FollowKind::Copied};
        }
        if (out[i].Kind != FollowKind::NotFound)
            shifts.push_back({r.X, r.Y, out[i].Rect.X - r.X, out[i].Rect.Y - r.Y});
    }
    for (uint32_t i : looked)
        if (!copies[i]) searches.push_back({i, SpritePixels(pieces[i], mask), {}, {}, false});

    // Retouched: first where the nearest unchanged pieces went, then ring by
    // ring; far away, through the piece's runs.
    std::map<int32_t, std::vector<Probe>> runs;
    for (Search& search : searches) {
        const SheetPiece& p = pieces[search.Piece];
        const SpriteRect& r = p.Rect;
        std::vector<Shift> near = shifts;
        const size_t keep = std::min(HintCount, near.size());
        std::ranges::partial_sort(near, near.begin() + static_cast<ptrdiff_t>(keep), {}, [&](const Shift& s) {
            return PlaceOf(r, s.X, s.Y);
        });
        for (size_t k = 0; k < keep; ++k) {
            const int64_t x = int64_t{r.X} + near[k].DX, y = int64_t{r.Y} + near[k].DY;
            if (!Fits(r, fresh, x, y)) continue;
            const Place place = PlaceOf(r, static_cast<int32_t>(x), static_cast<int32_t>(y));
            if ((!search.Best || place < *search.Best) &&
                search.Pixels.QualifiesAt(fresh, place.X, place.Y))
                search.Best = place;
        }
        SearchRings(p, fresh, search, 0, FirstRings);
        if (search.Best && search.Best->D2 <= int64_t{FirstRings} * FirstRings) continue;
        for (int32_t length : RunLengths) {
            std::vector<Probe> own = SpriteRuns(p, search.Piece, mask, search.Pixels.Allowed, length);
            if (own.empty()) continue;
            // Each probe names its search, not its piece, for the hits below.
            for (Probe& probe : own) probe.Piece = static_cast<uint32_t>(&search - searches.data());
            std::vector<Probe>& list = runs[length];
            list.insert(list.end(), own.begin(), own.end());
            break;
        }
    }
    std::vector<bool> throughRuns(searches.size(), false);
    for (auto& [length, list] : runs) {
        for (const Probe& probe : list) throughRuns[probe.Piece] = true;
        ScanRuns(fresh, length, list, [&](const Probe& probe, int32_t x, int32_t y) {
            Search& search = searches[probe.Piece];
            if (search.TooMany) return;
            const SpriteRect& r = pieces[search.Piece].Rect;
            const int64_t px = int64_t{x} - probe.DX, py = int64_t{y} - probe.DY;
            if (!Fits(r, fresh, px, py)) return;
            const Place place = PlaceOf(r, static_cast<int32_t>(px), static_cast<int32_t>(py));
            if (search.Best && !(place < *search.Best)) return;
            search.Candidates.push_back(place);
            if (search.Candidates.size() > MaxCandidates) {
                search.TooMany = true;
                search.Candidates = {};
            }
        });
    }
    for (size_t k = 0; k < searches.size(); ++k) {
        Search& search = searches[k];
        const SheetPiece& p = pieces[search.Piece];
        const bool ringsDone = search.Best && search.Best->D2 <= int64_t{FirstRings} * FirstRings;
        if (!ringsDone && (!throughRuns[k] || search.TooMany)) {
            // No runs to narrow the search: every place, nearest first.
            SearchRings(p, fresh, search, FirstRings + 1, std::max(fresh.Width, fresh.Height));
        } else if (!ringsDone) {
            std::ranges::sort(search.Candidates);
            for (const Place& place : search.Candidates) {
                if (search.Best && !(place < *search.Best)) break;
                if (search.Pixels.QualifiesAt(fresh, place.X, place.Y)) {
                    search.Best = place;
                    break;
                }
            }
        }
        if (search.Best)
            out[search.Piece] = {{search.Best->X, search.Best->Y, p.Rect.Width, p.Rect.Height}, FollowKind::Retouched};
    }
    return out;
}

std::vector<SpriteRect> MarkedRects(const std::vector<ActionData>& actions) {
    std::vector<SpriteRect> rects;
    std::set<std::tuple<int32_t, int32_t, int32_t, int32_t>> seen;
    for (const ActionData& a : actions)
        for (const DirectionData& d : a.Directions)
            for (const FrameData& f : d.Frames)
                if (f.Width > 0 && f.Height > 0 && seen.insert({f.X, f.Y, f.Width, f.Height}).second)
                    rects.push_back({f.X, f.Y, f.Width, f.Height});
    return rects;
}

std::vector<std::vector<std::string>> DirectionNames(const std::vector<ActionData>& actions) {
    std::vector<std::vector<std::string>> names(actions.size());
    std::set<std::string> used;
    for (size_t a = 0; a < actions.size(); ++a) {
        const ActionData& action = actions[a];
        const std::string actionName =
            action.Name.empty() ? SpriteProject::DefaultActionName(static_cast<int>(a)) : action.Name;
        for (size_t d = 0; d < action.Directions.size(); ++d) {
            const DirectionData& direction = action.Directions[d];
            const std::string base =
                actionName + "/" +
                (direction.Name.empty() ? SpriteProject::DefaultDirectionName(static_cast<int>(d)) : direction.Name);
            std::string name = base;
            for (int n = 2; used.count(name); ++n) name = base + " (" + std::to_string(n) + ")";
            // As in the atlas, only a direction with a frame to show takes its name.
            if (std::ranges::any_of(direction.Frames, [](const FrameData& f) { return f.Width != 0 && f.Height != 0; }))
                used.insert(name);
            names[a].push_back(std::move(name));
        }
    }
    return names;
}

FollowReport FollowFrames(std::vector<ActionData>& actions, const std::vector<SheetPiece>& pieces,
                          const SheetPixels& fresh, int32_t maskColor) {
    const std::vector<FollowedPiece> followed = FollowPieces(pieces, fresh, maskColor);
    std::map<std::tuple<int32_t, int32_t, int32_t, int32_t>, size_t> byRect;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const SpriteRect& r = pieces[i].Rect;
        byRect.emplace(std::tuple(r.X, r.Y, r.Width, r.Height), i);
    }
    const std::vector<std::vector<std::string>> names = DirectionNames(actions);
    FollowReport report;
    for (size_t a = 0; a < actions.size(); ++a)
        for (size_t d = 0; d < actions[a].Directions.size(); ++d) {
            std::vector<FrameData>& frames = actions[a].Directions[d].Frames;
            for (size_t i = 0; i < frames.size(); ++i) {
                FrameData& f = frames[i];
                if (f.Width <= 0 || f.Height <= 0) continue;
                const auto it = byRect.find({f.X, f.Y, f.Width, f.Height});
                if (it == byRect.end() || followed[it->second].Kind == FollowKind::NotFound) {
                    report.NotFound.push_back(names[a][d] + "/" + std::to_string(i));
                    continue;
                }
                const SpriteRect& now = followed[it->second].Rect;
                if (now.X == f.X && now.Y == f.Y) continue;
                f.X = now.X, f.Y = now.Y;
                ++report.Moved;
            }
        }
    return report;
}
