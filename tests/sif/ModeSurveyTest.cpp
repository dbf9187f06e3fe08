#include <gtest/gtest.h>

#include <random>

#include "sif/ModeSurvey.h"
#include "sif/SifFile.h"
#include "support/TestSupport.h"

namespace {

// A sheet built through its 24-bit stream, so every pixel is exactly as given.
void Fill(cBitMap& sheet, const TestPicture& pic) {
    std::vector<uint8_t> stream;
    for (int y = pic.Height - 1; y >= 0; --y) // memory order: bottom row first
        for (int x = 0; x < pic.Width; ++x) {
            const auto c = static_cast<uint32_t>(pic.At(x, y));
            stream.insert(stream.end(), {1, uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
        }
    ASSERT_TRUE(sheet.FromRLE(pic.Width, pic.Height, 5, 0, stream));
}

// What the survey must say, found the long way: the file written, the stream
// decoded again and compared pixel by pixel.
ModeSurvey TheLongWay(const std::vector<ActionData>& actions, const cBitMap& sheet, uint8_t mode) {
    ModeSurvey s;
    s.Mode = mode;
    s.SifBytes = BuildSifBytes(actions, sheet, 0x00FF00FF, mode, true, true).size();
    const std::vector<uint8_t> stream = sheet.ToRLE(mode);
    s.StreamBytes = stream.size();
    if (!sheet.Loaded()) return s;
    cBitMap back;
    EXPECT_TRUE(back.FromRLE(sheet.Width(), sheet.Height(), mode, 0, stream));
    for (int y = 0; y < sheet.Height(); ++y)
        for (int x = 0; x < 3 * sheet.Width(); x += 3) {
            const size_t at = static_cast<size_t>(y) * sheet.Stride() + x;
            int worst = 0;
            for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(sheet.Pixels().data()[at + k] - back.Pixels().data()[at + k]));
            if (worst > 0) ++s.ChangedPixels;
            s.MaxChannelError = std::max(s.MaxChannelError, worst);
        }
    return s;
}

std::string Text(const ModeSurvey& s) {
    return std::to_string(s.Mode) + ": " + std::to_string(s.SifBytes) + " / " + std::to_string(s.StreamBytes) + " bytes, " +
           std::to_string(s.ChangedPixels) + " changed by up to " + std::to_string(s.MaxChannelError);
}

// The survey, read whole and split at every tenth pixel and more, against the long way.
void ExpectSurvey(const std::vector<ActionData>& actions, const cBitMap& sheet, const std::string& what) {
    const uint8_t modes[4] = {1, 2, 4, 5};
    std::string want;
    for (int m = 0; m < 4; ++m) want += Text(TheLongWay(actions, sheet, modes[m])) + "\n";
    const uint64_t pixels = static_cast<uint64_t>(sheet.Width()) * std::max(sheet.Height(), 0);
    for (uint64_t split = 0; split <= pixels + 8; split += std::max<uint64_t>(8, pixels / 80 * 8 + 8)) {
        const std::array<ModeSurvey, 4> got = SurveyModes(actions, sheet, split);
        std::string text;
        for (const ModeSurvey& s : got) text += Text(s) + "\n";
        EXPECT_EQ(text, want) << what << ", split at " << split;
    }
}

} // namespace

TEST(ModeSurvey, SizesAndLossesAgreeWithTheFilesAndStreamsThemselves) {
    std::vector<ActionData> actions{SpriteProject::NewAction()};
    cBitMap none;
    ExpectSurvey(actions, none, "no sheet");

    std::mt19937 rng(3);
    // Sheets of every kind of run: long flat runs crossing rows (past 127), one
    // pixel runs, colours that only the 16-bit packing merges, greys, blacks and
    // whites that survive every mode, and widths that leave the bits mid-byte.
    for (const auto& [w, h, palette] : {std::tuple(1, 8, 1), std::tuple(3, 3, 2), std::tuple(8, 2, 3), std::tuple(300, 2, 1),
                                       std::tuple(17, 23, 4), std::tuple(64, 64, 40), std::tuple(129, 5, 2)}) {
        TestPicture pic = MakePicture(w, h);
        const int32_t colours[] = {0x000000, 0xFFFFFF, 0x808080, 0x00FF00FF, 0x00FFFFFE, 0x00F8FCF8, 0x7F7F7F, 0x00123456};
        for (int32_t& c : pic.Colors) {
            const uint32_t pick = rng() % 10;
            c = pick < 8 ? colours[pick % std::min(palette, 8)] : (pick == 8 && palette > 3 ? int32_t(rng() & 0xFFFFFF) : colours[0]);
        }
        // Long runs of one colour across the rows.
        for (size_t i = pic.Colors.size() / 3; i < pic.Colors.size() / 2; ++i) pic.Colors[i] = 0x00FF00FF;
        cBitMap sheet;
        Fill(sheet, pic);
        ExpectSurvey(actions, sheet, std::to_string(w) + "x" + std::to_string(h));
    }
    // A large sheet, split where its own threads split it: long runs across the
    // middle (one of 300,000 pixels), and a second half of one colour alone.
    TestPicture big = MakePicture(1024, 1024, 0x00FF00FF);
    for (int i = 0; i < 200000; ++i) big.Colors[rng() % big.Colors.size()] = int32_t(rng() % 4 * 0x3F3F3F);
    std::fill(big.Colors.begin() + 300000, big.Colors.begin() + 600000, 0x00102030);
    std::fill(big.Colors.begin() + 800000, big.Colors.end(), 0x00102030);
    cBitMap large;
    Fill(large, big);
    const uint8_t modes[4] = {1, 2, 4, 5};
    std::string want;
    for (int m = 0; m < 4; ++m) want += Text(TheLongWay(actions, large, modes[m])) + "\n";
    for (uint64_t split : {uint64_t{0}, uint64_t{524288}, uint64_t{800000}, uint64_t{800008}, uint64_t{1000000}}) {
        std::string text;
        for (const ModeSurvey& s : SurveyModes(actions, large, split)) text += Text(s) + "\n";
        EXPECT_EQ(text, want) << "split at " << split;
    }

    // The tree counts too: a bigger one makes every file bigger by the same bytes.
    TestPicture pic = MakePicture(40, 40, 0x00FFFFFF);
    cBitMap sheet;
    Fill(sheet, pic);
    const auto small = SurveyModes(actions, sheet);
    EXPECT_TRUE(small[0].Lossless() && small[1].Lossless() && small[2].Lossless() && small[3].Lossless());
    for (int i = 0; i < 50; ++i) actions[0].Directions[0].Frames.push_back(FrameData{i, 2 * i, 3, 4});
    actions[0].Directions[0].FrameUBound = 50;
    ExpectSurvey(actions, sheet, "a longer tree");
    EXPECT_GT(SurveyModes(actions, sheet)[3].SifBytes, small[3].SifBytes);
}

TEST(ModeSurvey, TheColoursEachModeChanges) {
    // Red 200 keeps its bits in 16-bit colour, but F8 comes back full (FF);
    // grey and black and white lose the hue; black survives everything.
    TestPicture pic = MakePicture(3, 1);
    pic.Colors = {0x000000C8, 0x00FCFCF8, 0x00000000};
    cBitMap sheet;
    Fill(sheet, pic);
    const auto s = SurveyModes({SpriteProject::NewAction()}, sheet);
    EXPECT_EQ(Text(s[3]).substr(Text(s[3]).find(',')), ", 0 changed by up to 0");
    EXPECT_EQ(std::pair(s[2].ChangedPixels, s[2].MaxChannelError), std::pair(uint64_t{1}, 0xFF - 0xF8));
    EXPECT_EQ(std::pair(s[1].ChangedPixels, s[1].MaxChannelError), std::pair(uint64_t{2}, 200 - 66));
    EXPECT_EQ(std::pair(s[0].ChangedPixels, s[0].MaxChannelError), std::pair(uint64_t{2}, 200));
}
