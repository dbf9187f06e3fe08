// One pass over the sheet, by runs of one colour: every mode's stream is made
// of records (or bits) whose byte counts are all the Huffman size needs, and
// every pixel of a run comes back the same, so each run is weighed once.
#include "sif/ModeSurvey.h"

#include <algorithm>
#include <cstdlib>

#include "bitmap/RowScan.h"
#include "sif/Huffman.h"
#include "sif/SifFile.h"

namespace {

using Counts = std::array<uint64_t, 256>;

// Run records of modes 2, 4 and 5 as the encoders cut them: runs of one value
// (the full colour, or the grey level), at most 127 pixels each.
template <typename Emit>
struct Runs {
    uint32_t Value = 0;
    uint32_t Count = 0; // pixels in the open record, 0 before the first
    Emit Out;

    void Add(uint32_t value, uint64_t length) {
        uint64_t total = length;
        if (Count > 0 && value == Value) {
            total += Count;
        } else if (Count > 0) {
            Out(Value, Count, 1);
        }
        Value = value;
        const uint64_t full = (total - 1) / 127;
        if (full > 0) Out(Value, 127, full);
        Count = static_cast<uint32_t>(total - full * 127);
    }
    void Finish() {
        if (Count > 0) Out(Value, Count, 1);
    }
};

// Mode 1: bits packed from bit 0, the last byte always written.
struct Bits {
    Counts& Hist;
    uint32_t Acc = 0;
    int Pos = 0;

    void Add(bool bit, uint64_t length) {
        while (length > 0) {
            if (Pos == 0 && length >= 8) {
                Hist[bit ? 0xFF : 0] += length / 8;
                length %= 8;
                continue;
            }
            const int take = static_cast<int>(std::min<uint64_t>(length, 8 - Pos));
            if (bit) Acc |= ((1u << take) - 1) << Pos;
            Pos += take;
            length -= take;
            if (Pos == 8) {
                ++Hist[Acc];
                Acc = 0;
                Pos = 0;
            }
        }
    }
    void Finish() { ++Hist[Acc]; }
};

uint64_t Total(const Counts& c) {
    uint64_t n = 0;
    for (uint64_t v : c) n += v;
    return n;
}

// The channel of a 16-bit round trip: the kept bits, full intensity kept full.
int Round16(int c, int keep) {
    const int v = c & keep;
    return v >= 0xF8 ? 0xFF : v;
}

int MaxDiff(int r, int g, int b, int r2, int g2, int b2) {
    return std::max({std::abs(r - r2), std::abs(g - g2), std::abs(b - b2)});
}

} // namespace

std::array<ModeSurvey, 4> SurveyModes(const std::vector<ActionData>& Actions, const cBitMap& Sheet) {
    std::array<ModeSurvey, 4> out;
    const uint8_t modes[4] = {1, 2, 4, 5};
    Counts hist[4] = {}; // by index into modes

    auto emitGrey = [&](uint32_t grey, uint64_t count, uint64_t times) {
        hist[1][count] += times;
        hist[1][grey] += times;
    };
    // Modes 4 and 5 compare the full colour, so their runs are the same.
    auto emitColour = [&](uint32_t c, uint64_t count, uint64_t times) {
        const uint32_t b = c & 0xFF, g = (c >> 8) & 0xFF, r = (c >> 16) & 0xFF;
        hist[2][count] += times;
        hist[2][(r & 0xF8) | (g >> 5)] += times;
        hist[2][((g & 0x1C) << 3) | (b >> 3)] += times;
        hist[3][count] += times;
        hist[3][r] += times;
        hist[3][g] += times;
        hist[3][b] += times;
    };
    Runs<decltype(emitGrey)> grey{0, 0, emitGrey};
    Runs<decltype(emitColour)> colour{0, 0, emitColour};
    Bits bw{hist[0]};

    const int32_t width = Sheet.Width(), height = Sheet.Height();
    if (Sheet.Loaded() && !Sheet.Pixels().empty() && width > 0 && height > 0) {
        const size_t rowBytes = 3 * static_cast<size_t>(width), stride = static_cast<size_t>(Sheet.Stride());
        // The errors of the last colour seen: neighbouring runs often share it.
        uint32_t known = 0xFFFFFFFF;
        int err[3] = {0, 0, 0}; // modes 1, 2, 4
        int level = 0;
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* row = Sheet.Pixels().data() + static_cast<size_t>(y) * stride;
            for (size_t i = 0; i < rowBytes;) {
                uint32_t c;
                const size_t end = RowScan::NextRun(row, i, rowBytes, c);
                const uint64_t length = (end - i) / 3;
                i = end;
                if (c != known) {
                    known = c;
                    const int b = c & 0xFF, g = (c >> 8) & 0xFF, r = (c >> 16) & 0xFF;
                    level = (r + g + b) / 3;
                    const int v = level >= 128 ? 255 : 0;
                    err[0] = MaxDiff(r, g, b, v, v, v);
                    err[1] = MaxDiff(r, g, b, level, level, level);
                    err[2] = MaxDiff(r, g, b, Round16(r, 0xF8), Round16(g, 0xFC), Round16(b, 0xF8));
                }
                grey.Add(static_cast<uint32_t>(level), length);
                colour.Add(c, length);
                bw.Add(level >= 128, length);
                for (int m = 0; m < 3; ++m) {
                    if (err[m] == 0) continue;
                    out[m].ChangedPixels += length;
                    out[m].MaxChannelError = std::max(out[m].MaxChannelError, err[m]);
                }
            }
        }
        grey.Finish();
        colour.Finish();
        bw.Finish();
    }

    // Everything but the image stream is the same for every mode.
    std::vector<uint8_t> structure = BuildStructureBlock(Actions);
    Huffman::Encode(structure);
    const uint64_t fixed = 8 + 4 + structure.size() + 17;
    for (int m = 0; m < 4; ++m) {
        out[m].Mode = modes[m];
        out[m].StreamBytes = Total(hist[m]);
        out[m].SifBytes = fixed + Huffman::EncodedSize(hist[m]);
    }
    return out;
}
