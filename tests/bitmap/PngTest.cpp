// PNG sheets: every colour type and depth read into the 24-bit picture, the
// transparent pixels following the mask colour, refusals, and writing.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "bitmap/BitmapHelpers.h"
#include "bitmap/PngFile.h"
#include "support/PngBuilder.h"

namespace {

using PngBuild::Spec;

constexpr int32_t Clear = 0x00123456;

// What a pixel of the spec should look like once read: its 8-bit colour and
// whether its alpha is under 128. Worked out from the samples alone.
struct Expected {
    std::vector<int32_t> Colors;
    std::vector<bool> Clear;
};

int Scale8(uint16_t v, int depth) {
    if (depth == 16) return v >> 8;
    return v * 255 / ((1 << depth) - 1);
}

uint16_t Big16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] << 8 | b[at + 1]); }

Expected ExpectedOf(const Spec& s) {
    Expected e;
    const int ch = PngBuild::ChannelsOf(s.ColorType);
    for (int i = 0; i < s.Width * s.Height; ++i) {
        const uint16_t* v = s.Samples.data() + static_cast<size_t>(i) * ch;
        int r, g, b, a = 255;
        switch (s.ColorType) {
        case PngBuild::Palette:
            r = s.Plte[v[0] * 3], g = s.Plte[v[0] * 3 + 1], b = s.Plte[v[0] * 3 + 2];
            if (v[0] < s.Trns.size()) a = s.Trns[v[0]];
            break;
        case PngBuild::Grey:
        case PngBuild::GreyAlpha:
            r = g = b = Scale8(v[0], s.BitDepth);
            if (s.ColorType == PngBuild::GreyAlpha) a = Scale8(v[1], s.BitDepth);
            else if (!s.Trns.empty() && v[0] == Big16(s.Trns, 0)) a = 0;
            break;
        default:
            r = Scale8(v[0], s.BitDepth), g = Scale8(v[1], s.BitDepth), b = Scale8(v[2], s.BitDepth);
            if (s.ColorType == PngBuild::Rgba) a = Scale8(v[3], s.BitDepth);
            else if (!s.Trns.empty() && v[0] == Big16(s.Trns, 0) && v[1] == Big16(s.Trns, 2) &&
                     v[2] == Big16(s.Trns, 4))
                a = 0;
        }
        e.Clear.push_back(a < 128);
        e.Colors.push_back(a < 128 ? Clear : Rgb(r, g, b));
    }
    return e;
}

// A 13 x 9 picture (every Adam7 pass partly filled) of varied samples, with
// the alpha threshold's two sides at its first two pixels where there is alpha.
Spec Varied(uint8_t colorType, uint8_t depth, bool interlaced = false) {
    Spec s;
    s.Width = 13, s.Height = 9, s.ColorType = colorType, s.BitDepth = depth, s.Interlaced = interlaced;
    const int ch = PngBuild::ChannelsOf(colorType);
    const uint32_t top = (1u << depth) - 1;
    for (int y = 0; y < s.Height; ++y)
        for (int x = 0; x < s.Width; ++x)
            for (int c = 0; c < ch; ++c)
                s.Samples.push_back(static_cast<uint16_t>((x * 2654435761u + y * 40503u + c * 977u) % (top + 1)));
    if (colorType == PngBuild::GreyAlpha || colorType == PngBuild::Rgba) {
        const uint16_t half = static_cast<uint16_t>((top + 1) / 2);
        s.At(0, 0, ch - 1) = static_cast<uint16_t>(half - 1); // 127 of 255: clear
        s.At(1, 0, ch - 1) = half;                            // 128 of 255: drawn
    }
    if (colorType == PngBuild::Palette) {
        for (uint32_t i = 0; i <= top; ++i)
            s.Plte.insert(s.Plte.end(), {uint8_t(i * 7 + 1), uint8_t(255 - i), uint8_t(i * 13 + 5)});
    }
    return s;
}

bool LoadBytes(cBitMap& bm, const Bytes& bytes, const TempDir& dir, std::vector<Message>& said,
               int32_t clear = Clear, const std::string& name = "s.png") {
    WriteFileBytes(dir / name, bytes);
    MessageRecorder rec;
    const bool ok = bm.LoadBMP(dir / name, clear);
    said = rec.Shown;
    return ok;
}

} // namespace

TEST(PngLoad, EveryColourTypeDepthAndInterlacingGivesTheSameColoursAndClearPixels) {
    TempDir dir;
    struct Case {
        const char* name;
        Spec spec;
    };
    std::vector<Case> cases;
    for (bool il : {false, true}) {
        for (uint8_t d : {1, 2, 4, 8, 16}) cases.push_back({"grey", Varied(PngBuild::Grey, d, il)});
        for (uint8_t d : {8, 16}) {
            cases.push_back({"grey+alpha", Varied(PngBuild::GreyAlpha, d, il)});
            cases.push_back({"RGB", Varied(PngBuild::Rgb, d, il)});
            cases.push_back({"RGBA", Varied(PngBuild::Rgba, d, il)});
        }
        for (uint8_t d : {1, 2, 4, 8}) cases.push_back({"palette", Varied(PngBuild::Palette, d, il)});
        // Palette with tRNS: fewer entries than colours, alphas on both sides of 128.
        Spec p = Varied(PngBuild::Palette, 4, il);
        p.Trns = {0, 127, 128, 255, 10};
        cases.push_back({"palette+tRNS", p});
        // Colour keys: grey and RGB samples matching tRNS are fully transparent.
        Spec g = Varied(PngBuild::Grey, 8, il);
        g.Trns = {0, uint8_t(g.At(3, 2, 0))};
        cases.push_back({"grey+tRNS", g});
        Spec g16 = Varied(PngBuild::Grey, 16, il);
        g16.Trns = {uint8_t(g16.At(5, 5, 0) >> 8), uint8_t(g16.At(5, 5, 0))};
        cases.push_back({"grey16+tRNS", g16});
        Spec rgb = Varied(PngBuild::Rgb, 8, il);
        rgb.Trns = {0, uint8_t(rgb.At(4, 1, 0)), 0, uint8_t(rgb.At(4, 1, 1)), 0, uint8_t(rgb.At(4, 1, 2))};
        cases.push_back({"RGB+tRNS", rgb});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " depth " << int(c.spec.BitDepth)
                                        << (c.spec.Interlaced ? " interlaced" : ""));
        const Expected e = ExpectedOf(c.spec);
        cBitMap bm;
        std::vector<Message> said;
        ASSERT_TRUE(LoadBytes(bm, PngBuild::Make(c.spec), dir, said));
        EXPECT_TRUE(said.empty());
        EXPECT_TRUE(bm.Width() == 13 && bm.Height() == 9 && bm.Stride() == 40 && bm.RowPad() == 1);
        EXPECT_TRUE(bm.Header().biBitCount == 24 && bm.Header().biSizeImage == 360u && bm.Header().biSize == 40);
        EXPECT_EQ(ColorsOf(bm), e.Colors);
        const bool anyClear = std::find(e.Clear.begin(), e.Clear.end(), true) != e.Clear.end();
        EXPECT_EQ(bm.HasClearPixels(), anyClear);
        for (int y = 0; y < 9; ++y) EXPECT_EQ(bm.Pixels().data()[y * 40 + 39], 0) << "padding of row " << y;
        // Every clear pixel, and only those and pixels of the colour itself, are masked.
        bm.GenMask(Clear);
        for (int i = 0; i < 13 * 9; ++i) {
            const uint8_t* m = bm.MaskBits().data() + (8 - i / 13) * 40 + 3 * (i % 13);
            EXPECT_EQ(m[0] == 0xFF, e.Clear[i] || e.Colors[i] == Clear) << i;
        }
    }
}

TEST(PngLoad, ClearPixelsFollowTheMaskColourAndLeaveOtherPixelsAlone) {
    TempDir dir;
    TestPicture pic = Sample(6, 4);
    pic.At(1, 1) = pic.At(4, 2) = Rgb(1, 2, 3); // the two clear pixels
    pic.At(0, 3) = Rgb(0, 255, 0);              // green, drawn: becomes masked only under a green mask
    cBitMap bm;
    std::vector<Message> said;
    ASSERT_TRUE(LoadBytes(bm, PngBuild::FromPicture(pic, Rgb(1, 2, 3)), dir, said, Rgb(255, 0, 255)));
    TestPicture want = pic;
    auto check = [&](int32_t mask) {
        bm.GenMask(mask);
        want.At(1, 1) = want.At(4, 2) = mask;
        EXPECT_EQ(ColorsOf(bm), want.Colors);
        for (const auto& [x, y] : {std::pair{1, 1}, {4, 2}, {0, 3}, {5, 0}}) {
            const uint8_t* m = bm.MaskBits().data() + (3 - y) * bm.Stride() + 3 * x;
            EXPECT_EQ(m[0] == 0xFF, want.At(x, y) == mask) << x << "," << y;
        }
    };
    EXPECT_EQ(SheetColor(bm, 1, 1), Rgb(255, 0, 255));
    for (int32_t mask : {Rgb(255, 0, 255), Rgb(0, 0, 0), Rgb(0, 255, 0), Rgb(255, 0, 255)}) check(mask);
    // A BMP or a rebuilt stream loaded afterwards has no clear pixels left to repaint.
    ASSERT_TRUE(LoadPicture(bm, pic, dir));
    EXPECT_FALSE(bm.HasClearPixels());
    bm.GenMask(Rgb(9, 9, 9));
    EXPECT_EQ(ColorsOf(bm), pic.Colors);
    ASSERT_TRUE(LoadBytes(bm, PngBuild::FromPicture(pic, Rgb(1, 2, 3)), dir, said));
    ASSERT_TRUE(bm.FromRLE(2, 1, 5, 0, {2, 1, 2, 3}));
    EXPECT_FALSE(bm.HasClearPixels());
}

TEST(PngLoad, TheSignatureDecidesNotTheName) {
    TempDir dir;
    const TestPicture pic = Sample(5, 3);
    cBitMap bm;
    std::vector<Message> said;
    ASSERT_TRUE(LoadBytes(bm, MakeBmp24(pic), dir, said, Clear, "really-a-bmp.png"));
    EXPECT_EQ(ColorsOf(bm), pic.Colors);
    ASSERT_TRUE(LoadBytes(bm, PngBuild::FromPicture(pic), dir, said, Clear, "really-a-png.bmp"));
    EXPECT_EQ(ColorsOf(bm), pic.Colors);
    EXPECT_EQ(bm.FileName(), dir / "really-a-png.bmp");
    // The stamp of the file as loaded tells a later version apart; reloading
    // the file last named reads it again, as it is now.
    const FileStamp loaded = bm.LoadedStamp();
    EXPECT_TRUE(loaded.Size > 0 && loaded == cBitMap::StampOf(dir / "really-a-png.bmp"));
    TestPicture changed = pic;
    changed.At(2, 2) = Rgb(7, 8, 9);
    changed.At(3, 2) = Rgb(7, 8, 9);
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // past the clock's grain: same size, same file
    WriteFileBytes(dir / "really-a-png.bmp", PngBuild::FromPicture(changed, Rgb(7, 8, 9)));
    EXPECT_NE(cBitMap::StampOf(dir / "really-a-png.bmp"), loaded);
    ASSERT_TRUE(bm.LoadBMP());
    EXPECT_EQ(bm.LoadedStamp(), cBitMap::StampOf(dir / "really-a-png.bmp"));
    for (const auto& [x, y] : {std::pair{2, 2}, {3, 2}}) changed.At(x, y) = cBitMap::DefaultClearColor;
    EXPECT_EQ(ColorsOf(bm), changed.Colors) << "without a colour given, clear pixels are magenta";
    EXPECT_EQ(cBitMap::StampOf(dir / "none.png").Size, -1);
    ASSERT_TRUE(bm.FromRLE(2, 1, 5, 0, {2, 1, 2, 3}));
    EXPECT_EQ(bm.LoadedStamp().Size, -1);
}

TEST(PngLoad, DamagedOrOversizedFilesAreRefusedAndTheOldPictureStays) {
    TempDir dir;
    const Spec good = Varied(PngBuild::Rgba, 8);
    const Bytes file = PngBuild::Make(good);
    const std::vector<uint8_t> badZlib = {0x78, 0x01, 0x07, 0x00, 0x00};
    // The pixel data is left broken where the header alone must be refused.
    auto with = [&](auto change, bool headerOnly = false) {
        Spec s = good;
        change(s);
        return PngBuild::Make(s, headerOnly ? &badZlib : nullptr);
    };
    auto patched = [&](size_t at, std::initializer_list<uint8_t> bytes) {
        Bytes b = file;
        std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<long>(at));
        return b;
    };
    const std::string damaged = "This file is damaged or incomplete.";
    const std::string sides = "pixels.\nSheets up to 32767 pixels wide and high are supported.";
    // A claimed 30000 x 30000 picture in a file of a hundred bytes: refused
    // from its header alone, before anything of that size is allocated.
    Spec huge;
    huge.Width = huge.Height = 30000;
    const Bytes tiny = PngBuild::Make(huge, &badZlib);
    const struct {
        const char* what;
        Bytes bytes;
        std::string text;
    } cases[] = {
        {"signature only", Bytes(file.begin(), file.begin() + 8), damaged},
        {"cut in the header", Bytes(file.begin(), file.begin() + 20), damaged},
        {"cut in the pixels", Bytes(file.begin(), file.end() - 40), damaged},
        {"header checksum wrong", patched(29, {0, 0, 0, 0}), damaged},
        {"pixel data not zlib", PngBuild::Make(good, &badZlib), damaged},
        {"width 0", with([](Spec& s) { s.Width = 0; }), damaged},
        {"RGB of 4 bits", with([](Spec& s) { s.ColorType = PngBuild::Rgb, s.BitDepth = 4; }), damaged},
        {"palette without PLTE", with([](Spec& s) { s.ColorType = PngBuild::Palette, s.Samples.resize(13 * 9); }),
         damaged},
        {"30000 x 30000 in 100 bytes", tiny, damaged},
        {"40000 wide", with([](Spec& s) { s.Width = 40000; }, true), "This picture is 40000 x 9 " + sides},
        {"32768 high", with([](Spec& s) { s.Height = 32768; }, true), "This picture is 13 x 32768 " + sides},
    };
    ASSERT_LT(tiny.size(), 100u);
    cBitMap bm;
    std::vector<Message> said;
    ASSERT_TRUE(LoadBytes(bm, file, dir, said, Clear, "prev.png"));
    const Bytes before = StateOf(bm);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(LoadBytes(bm, c.bytes, dir, said, Clear, "bad.png"));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        ASSERT_EQ(said.size(), 1u);
        const bool bad = c.text == damaged;
        EXPECT_EQ(said[0].Text, bad ? dir / "bad.png\n\n" + damaged : c.text);
        EXPECT_EQ(said[0].Title, bad ? "Whoops" : "*yawn*");
        EXPECT_EQ(said[0].Icon, bad ? MsgIcon::Critical : MsgIcon::Information);
        EXPECT_EQ(bm.FileName(), "");
        EXPECT_EQ(StateOf(bm), before);
        EXPECT_TRUE(bm.HasClearPixels());
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
    Png::Picture back;
    ASSERT_EQ(Png::Read(png.data(), png.size(), Clear, back), Png::ReadStatus::Ok);
    ASSERT_TRUE(back.Width == 7 && back.Height == 5 && back.Stride == bm.Stride());
    TestPicture want = pic;
    for (int32_t& c : want.Colors)
        if (c == Rgb(255, 0, 255)) c = Clear;
    cBitMap reread;
    std::vector<Message> said;
    ASSERT_TRUE(LoadBytes(reread, png, dir, said));
    EXPECT_EQ(ColorsOf(reread), want.Colors);
    for (int i = 0; i < 35; ++i) {
        const bool bit = back.ClearBits.data()[(4 - i / 7) * Png::ClearStride(7)] >> (i % 7) & 1;
        EXPECT_EQ(bit, pic.Colors[i] == Rgb(255, 0, 255)) << i;
    }
    EXPECT_FALSE(Png::EncodeSheet(cBitMap(), 0, png, error));
    EXPECT_FALSE(error.empty());
}
