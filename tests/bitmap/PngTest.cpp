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

// Every pixel's colour as it should read, worked out from the samples alone
// (Clear when its alpha is under 128; no drawn pixel here has that colour).
std::vector<int32_t> ExpectedOf(const Image& s) {
    std::vector<int32_t> e;
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
        e.push_back(a < 128 ? Clear : Rgb(rgb[0], rgb[1], rgb[2]));
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
    const struct { uint8_t type, depth; bool trns = false; } cases[] = {
        {Grey, 1},      {Grey, 2},      {Grey, 4},       {Grey, 8},        {Grey, 16},      {GreyAlpha, 8},
        {GreyAlpha, 16}, {Rgb, 8},      {Rgb, 16},       {Rgba, 8},        {Rgba, 16},      {Palette, 1},
        {Palette, 2},   {Palette, 4},   {Palette, 8},    {Palette, 4, true}, {Grey, 8, true}, {Grey, 16, true},
        {Rgb, 8, true}, {Rgb, 16, true}};
    for (bool interlaced : {false, true})
        for (const auto& c : cases) {
            Image s = Varied(c.type, c.depth, interlaced);
            if (c.trns && c.type == Palette) s.Trns = {0, 127, 128, 255, 10};
            for (int k = 0; c.trns && c.type != Palette && k < ChannelsOf(c.type); ++k)
                s.Trns.insert(s.Trns.end(), {uint8_t(s.At(4, 1, k) >> 8), uint8_t(s.At(4, 1, k))});
            SCOPED_TRACE(testing::Message() << "type " << int(c.type) << " depth " << int(c.depth)
                                            << (c.trns ? " tRNS" : "") << (interlaced ? " interlaced" : ""));
            const auto colors = ExpectedOf(s);
            cBitMap bm;
            std::vector<Message> said;
            ASSERT_TRUE(LoadBytes(bm, Make(s), dir, Clear, "s.png", &said) && said.empty());
            EXPECT_EQ(RowsOf(bm), RowsOf({13, 9, colors}));
            EXPECT_EQ(bm.HasClearPixels(), std::count(colors.begin(), colors.end(), Clear) > 0);
            bm.GenMask(Clear); // every clear pixel, and only those, masked
            for (int i = 0; i < 13 * 9; ++i)
                EXPECT_EQ(bm.Masked(i % 13, i / 13), colors[i] == Clear) << i;
        }
}

TEST(PngLoad, ClearPixelsFollowTheMaskColourUntilAnotherPictureComesAndTheSignatureDecides) {
    TempDir dir;
    TestPicture pic = Sample(6, 4);
    pic.At(1, 1) = pic.At(4, 2) = Rgb(1, 2, 3); // the two clear pixels
    pic.At(0, 3) = Rgb(0, 255, 0);              // green, drawn: masked only under a green mask
    cBitMap bm; // the file's name says BMP
    ASSERT_TRUE(LoadBytes(bm, FromPicture(pic, Rgb(1, 2, 3)), dir, Rgb(255, 0, 255), "png.bmp"));
    TestPicture want = pic;
    for (int32_t mask : {Rgb(255, 0, 255), Rgb(0, 0, 0), Rgb(0, 255, 0)}) {
        bm.GenMask(mask);
        want.At(1, 1) = want.At(4, 2) = mask;
        EXPECT_EQ(ColorsOf(bm), want.Colors);
        // Drawn transparently, pixels of the mask colour (the clear ones among them) keep the target's.
        std::vector<uint32_t> got(24, 0xFF0A0B0Cu);
        bm.DrawTrans(PixelSurface{got.data(), 6, 4, 6, 0, 0}, 0, 0, 0, 0, 6, 4, 1.0, 1.0);
        for (int i = 0; i < 24; ++i)
            EXPECT_EQ(got[i], want.Colors[i] == mask ? 0xFF0A0B0Cu : ColorToPixel(want.Colors[i])) << i;
    }
    // The stamp tells a rewrite of the same size apart; a reload reads the file as it is now, and
    // without a colour given clear pixels are magenta.
    const FileStamp loaded = bm.LoadedStamp();
    EXPECT_TRUE(loaded.Size > 0 && loaded == cBitMap::StampOf(dir / "png.bmp"));
    EXPECT_EQ(cBitMap::StampOf(dir / "none.png").Size, -1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // past the clock's grain
    WriteFileBytes(dir / "png.bmp", FromPicture(pic, Rgb(0, 255, 0)));
    EXPECT_NE(cBitMap::StampOf(dir / "png.bmp"), loaded);
    ASSERT_TRUE(bm.LoadBMP());
    want = pic, want.At(0, 3) = cBitMap::DefaultClearColor;
    EXPECT_TRUE(bm.LoadedStamp() == cBitMap::StampOf(dir / "png.bmp") && ColorsOf(bm) == want.Colors);
    // A BMP (named PNG) or a rebuilt picture loaded afterwards has no clear pixels left to
    // repaint, and a rebuilt one no file stamp.
    ASSERT_TRUE(LoadBytes(bm, MakeBmp24(pic), dir, Clear, "bmp.png"));
    bm.GenMask(Rgb(9, 9, 9));
    EXPECT_TRUE(!bm.HasClearPixels() && ColorsOf(bm) == pic.Colors);
    ASSERT_TRUE(LoadBytes(bm, FromPicture(pic, Rgb(1, 2, 3)), dir) && bm.FromRLE(2, 1, 5, 0, {2, 1, 2, 3}));
    EXPECT_TRUE(!bm.HasClearPixels() && bm.LoadedStamp().Size == -1);
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
    cBitMap bm, reread;
    Bytes png;
    std::string error;
    ASSERT_TRUE(LoadPicture(bm, pic, dir) && Png::EncodeSheet(bm, Rgb(255, 0, 255), png, error)) << error;
    std::replace(pic.Colors.begin(), pic.Colors.end(), Rgb(255, 0, 255), Clear);
    ASSERT_TRUE(LoadBytes(reread, png, dir));
    EXPECT_TRUE(reread.Height() == 5 && reread.HasClearPixels() && ColorsOf(reread) == pic.Colors);
    EXPECT_FALSE(Png::EncodeSheet(cBitMap(), 0, png, error) || error.empty());
}
