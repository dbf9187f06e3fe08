// PNG sheets: every colour type and depth read into the 24-bit picture, the
// transparent pixels following the mask colour, refusals, and writing.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "bitmap/BitmapHelpers.h"
#include "bitmap/PngFile.h"
#include "support/PngBuilder.h"

namespace {

using PngBuild::Image, PngBuild::Make, PngBuild::FromPicture, PngBuild::ChannelsOf;
using PngBuild::Grey, PngBuild::GreyAlpha, PngBuild::Palette, PngBuild::Rgba;

constexpr int32_t Clear = 0x00123456;

int Scale8(uint16_t v, int depth) { return depth == 16 ? v >> 8 : v * 255 / ((1 << depth) - 1); }

// Every pixel as it should read, worked out from the samples alone: its colour
// (Clear when its alpha is under 128), and whether it is clear.
std::pair<std::vector<int32_t>, std::vector<bool>> ExpectedOf(const Image& s) {
    std::pair<std::vector<int32_t>, std::vector<bool>> e;
    const int ch = ChannelsOf(s.ColorType);
    for (int i = 0; i < s.Width * s.Height; ++i) {
        const uint16_t* v = s.Samples.data() + static_cast<size_t>(i) * ch;
        int rgb[3], a = 255;
        if (s.ColorType == Palette) {
            for (int k = 0; k < 3; ++k) rgb[k] = s.Plte[v[0] * 3 + k];
            if (v[0] < s.Trns.size()) a = s.Trns[v[0]];
        } else {
            for (int k = 0; k < 3; ++k) rgb[k] = Scale8(v[ch < 3 ? 0 : k], s.BitDepth);
            bool keyed = !s.Trns.empty(); // a colour key of 16-bit values, one per channel
            for (int k = 0; k < ch && keyed; ++k) keyed = v[k] == (s.Trns[2 * k] << 8 | s.Trns[2 * k + 1]);
            a = ch % 2 == 0 ? Scale8(v[ch - 1], s.BitDepth) : keyed ? 0 : 255;
        }
        e.first.push_back(a < 128 ? Clear : Rgb(rgb[0], rgb[1], rgb[2]));
        e.second.push_back(a < 128);
    }
    return e;
}

// A 13 x 9 picture (every interlacing pass partly filled) of varied samples,
// with the alpha threshold's two sides at its first two pixels where there is alpha.
Image Varied(uint8_t colorType, uint8_t depth, bool interlaced) {
    Image s;
    s.Width = 13, s.Height = 9, s.ColorType = colorType, s.BitDepth = depth, s.Interlaced = interlaced;
    const int ch = ChannelsOf(colorType);
    const uint32_t top = (1u << depth) - 1;
    for (int y = 0; y < s.Height; ++y)
        for (int x = 0; x < s.Width; ++x)
            for (int c = 0; c < ch; ++c)
                s.Samples.push_back(static_cast<uint16_t>((x * 2654435761u + y * 40503u + c * 977u) % (top + 1)));
    if (ch % 2 == 0) {
        s.At(0, 0, ch - 1) = static_cast<uint16_t>(top / 2);     // 127 of 255: clear
        s.At(1, 0, ch - 1) = static_cast<uint16_t>(top / 2 + 1); // 128 of 255: drawn
    }
    for (uint32_t i = 0; colorType == Palette && i <= top; ++i)
        s.Plte.insert(s.Plte.end(), {uint8_t(i * 7 + 1), uint8_t(255 - i), uint8_t(i * 13 + 5)});
    return s;
}

// Writes the bytes to a file and loads it, keeping what it said when asked.
bool LoadBytes(cBitMap& bm, const Bytes& bytes, const TempDir& dir, int32_t clear = Clear,
               const std::string& name = "s.png", std::vector<Message>* said = nullptr) {
    WriteFileBytes(dir / name, bytes);
    MessageRecorder rec;
    const bool ok = bm.LoadBMP(dir / name, clear);
    if (said) *said = rec.Shown;
    return ok;
}

} // namespace

TEST(PngLoad, EveryColourTypeDepthTransparencyAndInterlacingReadsAsItsSamplesSay) {
    TempDir dir;
    constexpr uint8_t Rgb = PngBuild::Rgb; // the colour type here, not the colour
    // With tRNS: palette alphas (fewer than the colours, both sides of 128), or
    // the colour key of the pixel at (4, 1).
    const struct {
        uint8_t type, depth;
        bool trns = false;
    } cases[] = {{Grey, 1},        {Grey, 2},         {Grey, 4},         {Grey, 8},         {Grey, 16},
                 {GreyAlpha, 8},   {GreyAlpha, 16},   {Rgb, 8},          {Rgb, 16},         {Rgba, 8},
                 {Rgba, 16},       {Palette, 1},      {Palette, 2},      {Palette, 4},      {Palette, 8},
                 {Palette, 4, true}, {Grey, 8, true}, {Grey, 16, true},  {Rgb, 8, true},    {Rgb, 16, true}};
    for (bool interlaced : {false, true})
        for (const auto& c : cases) {
            Image s = Varied(c.type, c.depth, interlaced);
            if (c.trns && c.type == Palette) s.Trns = {0, 127, 128, 255, 10};
            for (int k = 0; c.trns && c.type != Palette && k < ChannelsOf(c.type); ++k)
                s.Trns.insert(s.Trns.end(), {uint8_t(s.At(4, 1, k) >> 8), uint8_t(s.At(4, 1, k))});
            SCOPED_TRACE(testing::Message() << "type " << int(c.type) << " depth " << int(c.depth)
                                            << (c.trns ? " tRNS" : "") << (interlaced ? " interlaced" : ""));
            const auto [colors, clear] = ExpectedOf(s);
            cBitMap bm;
            std::vector<Message> said;
            ASSERT_TRUE(LoadBytes(bm, Make(s), dir, Clear, "s.png", &said) && said.empty());
            EXPECT_TRUE(bm.Width() == 13 && bm.Height() == 9 && bm.Stride() == 40 && bm.RowPad() == 1 &&
                        bm.Header().biBitCount == 24 && bm.Header().biSizeImage == 360u);
            EXPECT_EQ(ColorsOf(bm), colors);
            EXPECT_EQ(bm.HasClearPixels(), std::find(clear.begin(), clear.end(), true) != clear.end());
            for (int y = 0; y < 9; ++y) EXPECT_EQ(bm.Pixels().data()[y * 40 + 39], 0) << "padding of row " << y;
            // Every clear pixel, and only those and pixels of the colour itself, are masked.
            bm.GenMask(Clear);
            for (int i = 0; i < 13 * 9; ++i)
                EXPECT_EQ(bm.MaskBits().data()[(8 - i / 13) * 40 + 3 * (i % 13)] == 0xFF,
                          clear[i] || colors[i] == Clear)
                    << i;
        }
}

TEST(PngLoad, ClearPixelsFollowTheMaskColourUntilAnotherPictureComes) {
    TempDir dir;
    TestPicture pic = Sample(6, 4);
    pic.At(1, 1) = pic.At(4, 2) = Rgb(1, 2, 3); // the two clear pixels
    pic.At(0, 3) = Rgb(0, 255, 0);              // green, drawn: masked only under a green mask
    cBitMap bm;
    ASSERT_TRUE(LoadBytes(bm, FromPicture(pic, Rgb(1, 2, 3)), dir, Rgb(255, 0, 255)));
    EXPECT_EQ(SheetColor(bm, 1, 1), Rgb(255, 0, 255));
    TestPicture want = pic;
    for (int32_t mask : {Rgb(0, 0, 0), Rgb(0, 255, 0), Rgb(255, 0, 255)}) {
        bm.GenMask(mask);
        want.At(1, 1) = want.At(4, 2) = mask;
        EXPECT_EQ(ColorsOf(bm), want.Colors);
        for (const auto& [x, y] : {std::pair{1, 1}, {4, 2}, {0, 3}, {5, 0}})
            EXPECT_EQ(bm.MaskBits().data()[(3 - y) * bm.Stride() + 3 * x] == 0xFF, want.At(x, y) == mask)
                << x << "," << y;
    }
    // A BMP or a rebuilt picture loaded afterwards has no clear pixels left to
    // repaint, and a rebuilt one no file stamp.
    ASSERT_TRUE(LoadPicture(bm, pic, dir));
    bm.GenMask(Rgb(9, 9, 9));
    EXPECT_TRUE(!bm.HasClearPixels() && ColorsOf(bm) == pic.Colors);
    ASSERT_TRUE(LoadBytes(bm, FromPicture(pic, Rgb(1, 2, 3)), dir) && bm.FromRLE(2, 1, 5, 0, {2, 1, 2, 3}));
    EXPECT_TRUE(!bm.HasClearPixels() && bm.LoadedStamp().Size == -1);
}

TEST(PngLoad, TheSignatureDecidesNotTheNameAndAReloadReadsTheFileAsItIsNow) {
    TempDir dir;
    const TestPicture pic = Sample(5, 3);
    const std::string png = dir / "really-a-png.bmp";
    cBitMap bm;
    ASSERT_TRUE(LoadBytes(bm, MakeBmp24(pic), dir, Clear, "really-a-bmp.png"));
    EXPECT_EQ(ColorsOf(bm), pic.Colors);
    ASSERT_TRUE(LoadBytes(bm, FromPicture(pic), dir, Clear, "really-a-png.bmp"));
    EXPECT_EQ(ColorsOf(bm), pic.Colors);
    const FileStamp loaded = bm.LoadedStamp();
    EXPECT_TRUE(bm.FileName() == png && loaded.Size > 0 && loaded == cBitMap::StampOf(png));
    EXPECT_EQ(cBitMap::StampOf(dir / "none.png").Size, -1);
    // Same size, same file, a little later: the stamp tells it apart.
    TestPicture changed = pic;
    changed.At(2, 2) = changed.At(3, 2) = Rgb(7, 8, 9);
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // past the clock's grain
    WriteFileBytes(png, FromPicture(changed, Rgb(7, 8, 9)));
    EXPECT_NE(cBitMap::StampOf(png), loaded);
    ASSERT_TRUE(bm.LoadBMP());
    EXPECT_EQ(bm.LoadedStamp(), cBitMap::StampOf(png));
    changed.At(2, 2) = changed.At(3, 2) = cBitMap::DefaultClearColor;
    EXPECT_EQ(ColorsOf(bm), changed.Colors) << "without a colour given, clear pixels are magenta";
}

TEST(PngLoad, DamagedOrOversizedFilesAreRefusedAndTheOldPictureStays) {
    TempDir dir;
    const Image good = Varied(Rgba, 8, false);
    const Bytes file = Make(good), badData = {0x78, 0x01, 0x07, 0x00, 0x00};
    auto with = [&](auto change, const Bytes* data = nullptr) { // data: broken where the header must do
        Image s = good;
        change(s);
        return Make(s, data);
    };
    Bytes badCrc = file;
    badCrc[29] ^= 1; // in the header's checksum
    const Bytes tiny = with([](Image& s) { s.Width = s.Height = 30000; }, &badData);
    ASSERT_LT(tiny.size(), 100u);
    const std::string sides = "pixels.\nSheets up to 32767 pixels wide and high are supported.";
    const struct {
        const char* what;
        Bytes bytes;
        std::string sizeText = ""; // empty: damaged
    } cases[] = {
        {"signature only", Bytes(file.begin(), file.begin() + 8)},
        {"cut in the header", Bytes(file.begin(), file.begin() + 20)},
        {"cut in the pixels", Bytes(file.begin(), file.end() - 40)},
        {"header checksum wrong", badCrc},
        {"pixel data not a compressed stream", Make(good, &badData)},
        {"width 0", with([](Image& s) { s.Width = 0; })},
        {"RGB of 4 bits", with([](Image& s) { s.ColorType = PngBuild::Rgb, s.BitDepth = 4; })},
        {"palette without PLTE", with([](Image& s) { s.ColorType = Palette, s.Samples.resize(13 * 9); })},
        {"30000 x 30000 in 100 bytes, refused before allocating", tiny},
        {"40000 wide", with([](Image& s) { s.Width = 40000; }, &badData), "This picture is 40000 x 9 " + sides},
        {"32768 high", with([](Image& s) { s.Height = 32768; }, &badData), "This picture is 13 x 32768 " + sides},
    };
    cBitMap bm;
    ASSERT_TRUE(LoadBytes(bm, file, dir, Clear, "prev.png"));
    const Bytes before = StateOf(bm);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto start = std::chrono::steady_clock::now();
        std::vector<Message> said;
        EXPECT_FALSE(LoadBytes(bm, c.bytes, dir, Clear, "bad.png", &said));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        ASSERT_EQ(said.size(), 1u);
        EXPECT_EQ(std::tuple(said[0].Text, said[0].Title, said[0].Icon),
                  c.sizeText.empty() ? std::tuple(dir / "bad.png\n\nThis file is damaged or incomplete.",
                                                  std::string("Whoops"), MsgIcon::Critical)
                                     : std::tuple(c.sizeText, std::string("*yawn*"), MsgIcon::Information));
        EXPECT_TRUE(bm.FileName().empty() && bm.HasClearPixels() && StateOf(bm) == before);
    }
}

TEST(PngWrite, TheSheetComesBackWithTheMaskColourTransparent) {
    TempDir dir;
    TestPicture pic = Sample(7, 5);
    pic.At(0, 0) = pic.At(6, 4) = pic.At(3, 2) = Rgb(255, 0, 255);
    cBitMap bm;
    ASSERT_TRUE(LoadPicture(bm, pic, dir));
    Bytes png;
    std::string error;
    ASSERT_TRUE(Png::EncodeSheet(bm, Rgb(255, 0, 255), png, error)) << error;
    std::replace(pic.Colors.begin(), pic.Colors.end(), Rgb(255, 0, 255), Clear);
    cBitMap reread;
    ASSERT_TRUE(LoadBytes(reread, png, dir));
    EXPECT_TRUE(reread.Width() == 7 && reread.Height() == 5 && reread.HasClearPixels());
    EXPECT_EQ(ColorsOf(reread), pic.Colors);
    EXPECT_FALSE(Png::EncodeSheet(cBitMap(), 0, png, error) || error.empty());
}
