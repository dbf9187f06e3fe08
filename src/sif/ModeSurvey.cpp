// One pass over the sheet, by runs of one colour: every mode's stream is made
// of records (or bits) whose byte counts are all the Huffman size needs, and
// every pixel of a run comes back the same, so each run is weighed once. A
// large sheet is read as two stretches on two threads, joined at the end.
#include "sif/ModeSurvey.h"

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <utility>

#include "bitmap/RowScan.h"
#include "sif/Huffman.h"
#include "sif/SifFile.h"

namespace {

using Counts = std::array<uint64_t, 256>;

// The byte counts of the three run-coded streams and the packed bits, and the
// losses, over one stretch of the picture.
struct Tally {
    Counts Hist[4] = {}; // modes 1, 2, 4, 5
    uint64_t Changed[3] = {0, 0, 0}; // modes 1, 2, 4
    int MaxError[3] = {0, 0, 0};

    void Grey(uint32_t grey, uint64_t count, uint64_t times) {
        Hist[1][count] += times;
        Hist[1][grey] += times;
    }
    // Modes 4 and 5 compare the full colour, so their runs are the same.
    void Colour(uint32_t c, uint64_t count, uint64_t times) {
        const uint32_t b = c & 0xFF, g = (c >> 8) & 0xFF, r = (c >> 16) & 0xFF;
        Hist[2][count] += times;
        Hist[2][(r & 0xF8) | (g >> 5)] += times;
        Hist[2][((g & 0x1C) << 3) | (b >> 3)] += times;
        Hist[3][count] += times;
        Hist[3][r] += times;
        Hist[3][g] += times;
        Hist[3][b] += times;
    }
};

// Run records of modes 2, 4 and 5 as the encoders cut them: runs of one value
// (the full colour, or the grey level), at most 127 pixels each. A stretch
// that does not start the picture holds back its leading run (Lead), which
// may continue the record open at the end of the stretch before it.
struct Runs {
    bool Leading = false; // still in the leading run
    uint32_t LeadValue = 0;
    uint64_t LeadLength = 0;
    uint32_t Value = 0;
    uint32_t Count = 0; // pixels in the open record, 0 before the first

    template <typename Emit>
    void Add(uint32_t value, uint64_t length, Emit&& out) {
        if (Leading) {
            if (LeadLength == 0 || value == LeadValue) {
                LeadValue = value;
                LeadLength += length;
                return;
            }
            Leading = false;
        }
        uint64_t total = length;
        if (Count > 0 && value == Value) {
            total += Count;
        } else if (Count > 0) {
            out(Value, Count, 1);
        }
        Value = value;
        if (total <= 127) { // the usual case: no record filled
            Count = static_cast<uint32_t>(total);
            return;
        }
        const uint64_t full = (total - 1) / 127;
        out(Value, 127, full);
        Count = static_cast<uint32_t>(total - full * 127);
    }
    // Joins the next stretch on: its leading run continues this one's open
    // record, and its own open record is then the open one.
    template <typename Emit>
    void Join(const Runs& next, Emit&& out) {
        if (next.LeadLength > 0) Add(next.LeadValue, next.LeadLength, out);
        if (next.Leading) return;
        if (Count > 0) out(Value, Count, 1);
        Value = next.Value;
        Count = next.Count;
    }
    template <typename Emit>
    void Finish(Emit&& out) const {
        if (Count > 0) out(Value, Count, 1);
    }
};

// Mode 1: bits packed from bit 0. Stretches start on whole bytes.
struct Bits {
    uint32_t Acc = 0;
    int Pos = 0;

    void Add(bool bit, uint64_t length, Counts& hist) {
        while (length > 0) {
            if (Pos == 0 && length >= 8) {
                hist[bit ? 0xFF : 0] += length / 8;
                length %= 8;
                continue;
            }
            const int take = static_cast<int>(std::min<uint64_t>(length, 8 - Pos));
            if (bit) Acc |= ((1u << take) - 1) << Pos;
            Pos += take;
            length -= take;
            if (Pos == 8) {
                ++hist[Acc];
                Acc = 0;
                Pos = 0;
            }
        }
    }
};

// The channel of a 16-bit round trip: the kept bits, full intensity kept full.
int Round16(int c, int keep) {
    const int v = c & keep;
    return v >= 0xF8 ? 0xFF : v;
}

int MaxDiff(int r, int g, int b, int r2, int g2, int b2) {
    return std::max({std::abs(r - r2), std::abs(g - g2), std::abs(b - b2)});
}

// One stretch of the picture: pixels first to end (exclusive) in stream order.
struct Stretch {
    Tally T;
    Runs GreyRuns, ColourRuns;
    Bits BW;

    void Scan(const cBitMap& sheet, uint64_t first, uint64_t end, bool leading) {
        GreyRuns.Leading = ColourRuns.Leading = leading;
        auto grey = [this](uint32_t v, uint64_t count, uint64_t times) { T.Grey(v, count, times); };
        auto colour = [this](uint32_t v, uint64_t count, uint64_t times) { T.Colour(v, count, times); };
        const auto width = static_cast<uint64_t>(sheet.Width());
        const size_t stride = static_cast<size_t>(sheet.Stride());
        // The grey level and errors of the last two colours seen: runs mostly
        // alternate between the background and a colour of the sprite.
        struct Known {
            uint32_t Colour = 0xFFFFFFFF; // no pixel's: the top byte is never set
            int Level = 0;
            int Err[3] = {0, 0, 0};
        } known[2];
        for (uint64_t y = first / width; y * width < end; ++y) {
            const uint8_t* row = sheet.Pixels().data() + y * stride;
            const size_t from = 3 * static_cast<size_t>(std::max(first, y * width) - y * width);
            const size_t to = 3 * static_cast<size_t>(std::min(end, (y + 1) * width) - y * width);
            for (size_t i = from; i < to;) {
                uint32_t c;
                const size_t stop = RowScan::NextRun(row, i, to, c);
                const uint64_t length = (stop - i) / 3;
                i = stop;
                if (c != known[0].Colour) {
                    std::swap(known[0], known[1]);
                    if (c != known[0].Colour) {
                        Known& k = known[0];
                        k.Colour = c;
                        const int b = c & 0xFF, g = (c >> 8) & 0xFF, r = (c >> 16) & 0xFF;
                        k.Level = (r + g + b) / 3;
                        const int v = k.Level >= 128 ? 255 : 0;
                        k.Err[0] = MaxDiff(r, g, b, v, v, v);
                        k.Err[1] = MaxDiff(r, g, b, k.Level, k.Level, k.Level);
                        k.Err[2] = MaxDiff(r, g, b, Round16(r, 0xF8), Round16(g, 0xFC), Round16(b, 0xF8));
                    }
                }
                const int level = known[0].Level;
                const int* err = known[0].Err;
                GreyRuns.Add(static_cast<uint32_t>(level), length, grey);
                ColourRuns.Add(c, length, colour);
                BW.Add(level >= 128, length, T.Hist[0]);
                for (int m = 0; m < 3; ++m) {
                    if (err[m] == 0) continue;
                    T.Changed[m] += length;
                    T.MaxError[m] = std::max(T.MaxError[m], err[m]);
                }
            }
        }
    }
};

uint64_t Total(const Counts& c) {
    uint64_t n = 0;
    for (uint64_t v : c) n += v;
    return n;
}

// Pictures smaller than this are not worth a second thread.
constexpr uint64_t SplitPixels = uint64_t{1} << 20;

} // namespace

std::array<ModeSurvey, 4> SurveyModes(const std::vector<ActionData>& Actions, const cBitMap& Sheet,
                                      uint64_t SplitAt) {
    std::array<ModeSurvey, 4> out;
    const uint8_t modes[4] = {1, 2, 4, 5};
    Tally all;

    const int32_t width = Sheet.Width(), height = Sheet.Height();
    if (Sheet.Loaded() && !Sheet.Pixels().empty() && width > 0 && height > 0) {
        const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
        // Two stretches on two cores, split on a whole byte of the mode-1 bits.
        uint64_t half = (SplitAt > 0 ? SplitAt : pixels / 2) / 8 * 8;
        const bool split = half > 0 && half < pixels &&
                           (SplitAt > 0 || (pixels >= SplitPixels && std::thread::hardware_concurrency() >= 2));
        if (!split) half = pixels;
        Stretch first, second;
        std::thread helper;
        if (split) helper = std::thread([&] { second.Scan(Sheet, half, pixels, true); });
        first.Scan(Sheet, 0, half, false);
        if (helper.joinable()) helper.join();

        all = first.T;
        Runs grey = first.GreyRuns, colour = first.ColourRuns;
        auto emitGrey = [&all](uint32_t v, uint64_t count, uint64_t times) { all.Grey(v, count, times); };
        auto emitColour = [&all](uint32_t v, uint64_t count, uint64_t times) { all.Colour(v, count, times); };
        Bits bw = first.BW;
        if (split) {
            for (int m = 0; m < 4; ++m)
                for (int v = 0; v < 256; ++v) all.Hist[m][v] += second.T.Hist[m][v];
            for (int m = 0; m < 3; ++m) {
                all.Changed[m] += second.T.Changed[m];
                all.MaxError[m] = std::max(all.MaxError[m], second.T.MaxError[m]);
            }
            grey.Join(second.GreyRuns, emitGrey);
            colour.Join(second.ColourRuns, emitColour);
            bw = second.BW; // the first stretch ended on a whole byte
        }
        grey.Finish(emitGrey);
        colour.Finish(emitColour);
        ++all.Hist[0][bw.Acc]; // the last byte is always written, full or not
    }
    for (int m = 0; m < 3; ++m) {
        out[m].ChangedPixels = all.Changed[m];
        out[m].MaxChannelError = all.MaxError[m];
    }

    // Everything but the image stream is the same for every mode.
    std::vector<uint8_t> structure = BuildStructureBlock(Actions);
    Huffman::Encode(structure);
    const uint64_t fixed = 8 + 4 + structure.size() + 17;
    for (int m = 0; m < 4; ++m) {
        out[m].Mode = modes[m];
        out[m].StreamBytes = Total(all.Hist[m]);
        out[m].SifBytes = fixed + Huffman::EncodedSize(all.Hist[m]);
    }
    return out;
}
