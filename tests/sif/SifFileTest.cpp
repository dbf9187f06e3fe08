#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "base/ByteIO.h"
#include "base/Messages.h"
#include "bitmap/cBitMap.h"
#include "sif/Huffman.h"
#include "sif/SifFile.h"
#include "support/TestSupport.h"

using namespace SpriteProject;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Slice(const Bytes& v, size_t from, size_t n) {
    return Bytes(v.begin() + std::min(from, v.size()), v.begin() + std::min(from + n, v.size()));
}

// Three actions with one, two and three directions of varying frame counts.
std::vector<ActionData> SampleTree() {
    std::vector<ActionData> actions;
    for (int a = 0, n = 0; a < 3; ++a) {
        actions.push_back(ActionData{{}, static_cast<int16_t>(a), "named " + std::to_string(a)});
        for (int d = 0; d <= a; ++d) {
            actions[a].Directions.push_back(DirectionData{{}, static_cast<int16_t>((a + d) % 3), ""});
            for (int f = 0; f <= (a + d) % 3; ++f, ++n) // reserved bytes are kept as they are
                actions[a].Directions[d].Frames.push_back(
                    {n, 2 * n + 1, 48 + n, 32 - n, {uint8_t(160 + n), 92}, int16_t(n * 99 - 3), -n, n << 16});
        }
    }
    return actions;
}

// A file made by hand: uncoded structure block (the placeholder's by default), then an image section.
Bytes Sif(int32_t u, int32_t w, int32_t h, int mode, const Bytes& stream, uint8_t flags = 0,
          const Bytes& block = Bytes(34, 0), int32_t mask = 0x00FF00FF) {
    Bytes out = {0x53, 0x46, 1, flags};
    ByteWriter wr(out);
    wr.I32(static_cast<int32_t>(8 + block.size() + 1));
    wr.Bytes(block.data(), block.size());
    for (int32_t v : {u, mask, w, h}) wr.I32(v);
    wr.U8(static_cast<uint8_t>(mode));
    wr.Bytes(stream.data(), stream.size());
    return out;
}

SifParseStatus Parse(const Bytes& bytes, SifContents* out = nullptr) {
    SifContents c;
    std::string detail;
    return ParseSifBytes(bytes, out ? *out : c, detail);
}

class SifFiles : public testing::Test {
protected:
    // A refused read leaves the tree and mask colour alone and shows one message.
    void ExpectRefused(const std::string& path, const std::string& text, const std::string& title) {
        Actions = SampleTree();
        MaskColor = 0x00ABCDEF;
        MessageRecorder messages;
        EXPECT_EQ(ReadSIF(path).Width, 0);
        ASSERT_EQ(messages.Shown.size(), 1u);
        EXPECT_EQ(std::tuple(messages.Shown[0].Text, messages.Shown[0].Title, messages.Shown[0].Icon, MaskColor),
                  std::tuple(text, title, MsgIcon::Critical, 0x00ABCDEF));
        EXPECT_EQ(BuildStructureBlock(Actions), BuildStructureBlock(SampleTree()));
    }
    TempDir dir;
};

} // namespace

TEST(SifFormat, PlaceholderProjectGivesTheDocumentedBytes) {
    const std::vector<ActionData> placeholder{NewAction()};
    cBitMap empty;
    // Coded, the 34 equal bytes take the stored form; the position still points past them.
    Bytes plain = {0x53, 0x46, 1, 0, 0x2B, 0, 0, 0};
    Bytes coded = {0x53, 0x46, 1, 1, 0x33, 0, 0, 0, 0x25, 0, 0, 0, 0x48, 0x45, 0x30, 0x0D};
    plain.resize(42), coded.resize(50);
    EXPECT_EQ(Slice(BuildSifBytes(placeholder, empty, 0, 5, false, false), 0, 42), plain);
    EXPECT_EQ(Slice(BuildSifBytes(placeholder, empty, 0, 5, true, false), 0, 50), coded);

    // The mask colour is stored as the depth mode reduces it.
    const int32_t masks[][3] = {{4, 0xFF00FF, 0xFF00FF}, {4, 0x123456, 0x103450}, {4, 0xFEFDFC, 0xFFFFFF},
                                {4, 0xF7F7F7, 0xF0F4F0}, {4, 0x00F800, 0x00FF00}, {5, 0x123456, 0x123456},
                                {1, 0x123456, 0},        {2, 0xFF00FF, 0}};
    for (const auto& m : masks) EXPECT_EQ(SifStoredMaskColor(uint8_t(m[0]), m[1]), m[2]) << m[1];
}

TEST_F(SifFiles, EveryModeAndFlagCombinationRoundTrips) {
    TestPicture pic = MakePicture(37, 11, 0x00FF00FF);
    for (int x = 0; x < 37; ++x) pic.At(x, 3) = static_cast<int32_t>(0x010203u * uint32_t(x * 7));
    WriteFileBytes(dir / "sheet.bmp", MakeBmp24(pic));
    ASSERT_TRUE(Sheet.LoadBMP(dir / "sheet.bmp"));
    const std::string path = dir / "out.sif";
    WriteFileBytes(path, Bytes(5000, 0xEE)); // replaced whole
    for (uint8_t mode : {1, 2, 4, 5}) {
        for (int flags = 0; flags < 4; ++flags) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " flags " + std::to_string(flags));
            Actions = SampleTree();
            MaskColor = 0x00FEFDFC;
            MessageRecorder messages;
            ASSERT_TRUE(WriteSIF(path, mode, flags & 1, (flags >> 1) & 1));
            const Bytes file = ReadFileBytes(path);
            EXPECT_EQ(file[3], flags);
            const Bytes rle = Sheet.ToRLE(mode), block = BuildStructureBlock(Actions);
            const int32_t mask = SifStoredMaskColor(mode, 0x00FEFDFC);
            if (flags == 0) { // position, tree, stream bound, mask, width, height, mode, stream
                EXPECT_EQ(file, Sif(int32_t(rle.size()) - 1, 37, 11, mode, rle, 0, block, mask));
            }
            Actions.assign(1, NewAction());
            MaskColor = 7;
            const SifImage back = ReadSIF(path);
            EXPECT_EQ(std::tuple(back.Width, back.Height, back.Mode, MaskColor, messages.Shown.size()),
                      std::tuple(37, 11, mode, mask, size_t{0}));
            EXPECT_TRUE(BuildStructureBlock(Actions) == block && back.Data == rle);
        }
    }
    // Modes without a stream, and a folder that is not there: refused, nothing touched.
    const Bytes last = ReadFileBytes(path);
    MessageRecorder messages;
    for (uint8_t mode : {0, 3, 6, 255}) EXPECT_FALSE(WriteSIF(mode & 1 ? path : dir / "new.sif", mode, 1, 1));
    EXPECT_FALSE(WriteSIF(dir / "missing-folder/out.sif", 5, 1, 1));
    ASSERT_EQ(messages.Shown.size(), 5u);
    EXPECT_EQ(std::tuple(messages.Shown[0].Text, messages.Shown[0].Title, messages.Shown[0].Icon, messages.Shown[4].Title),
              std::tuple("Invalid bit depth mode specified.", "Whoopsy!", MsgIcon::Critical, "Whoops"));
    EXPECT_EQ(ReadFileBytes(path), last);
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"out.sif", "sheet.bmp"}));
}

TEST_F(SifFiles, BadFilesAreReportedAndChangeNothing) {
    const std::string path = dir / "x.sif";
    for (const Bytes& b : std::vector<Bytes>{{}, {0x53}, {0x46, 0x53, 1, 0}, {'B', 'M', 1, 0, 9, 0, 0, 0}}) {
        WriteFileBytes(path, b);
        ExpectRefused(path, "File contents not recognised!", "Ahem...");
    }
    Bytes stream = {1, 1, 2, 3, 2, 4, 5, 6};
    Huffman::Encode(stream);
    stream[0] ^= 0x01; // a wrong checksum
    WriteFileBytes(path, Sif(int32_t(stream.size()) - 1, 3, 1, 5, stream, SifFlagImageCoded));
    ExpectRefused(path, Huffman::ChecksumMessage, "Whoops");
    MessageRecorder messages;
    EXPECT_EQ(ReadSIF("").Width + ReadSIF(dir / "nope.sif").Width, 0);
    ASSERT_EQ(messages.Shown.size(), 1u); // no name: silent
    EXPECT_NE(messages.Shown[0].Text.find("nope.sif"), std::string::npos);

    // Every truncation is damage; flipped bytes are refused or give a consistent tree.
    WriteFileBytes(dir / "s.bmp", MakeBmp24(MakePicture(5, 3, 0x00FF00FF)));
    ASSERT_TRUE(Sheet.LoadBMP(dir / "s.bmp"));
    for (int flags = 0; flags < 4; ++flags) {
        const Bytes full = BuildSifBytes(SampleTree(), Sheet, 0x00FF00FF, 4, flags & 1, flags & 2);
        for (size_t n = 0; n < full.size(); ++n) {
            SCOPED_TRACE("flags " + std::to_string(flags) + " cut at " + std::to_string(n));
            const Bytes cut(full.begin(), full.begin() + n);
            EXPECT_EQ(Parse(cut), n < 2 ? SifParseStatus::NotRecognised : SifParseStatus::Damaged);
            if (n < 2 || (n % 7 != 0 && n + 1 != full.size())) continue; // the file round trip for a sample
            WriteFileBytes(path, cut);
            ExpectRefused(path, "This SIF file is damaged or incomplete:\n\n" + path, "Whoops");
        }
        for (size_t i = 0; i < full.size() * 3; ++i) {
            Bytes bad = full;
            bad[i / 3] ^= (0x018001FF >> (8 * (i % 3))) & 0xFF;
            SifContents c;
            for (const ActionData& a : Parse(bad, &c) == SifParseStatus::Ok ? c.Actions : std::vector<ActionData>{}) {
                EXPECT_EQ(a.Directions.size(), static_cast<size_t>(a.DirUBound) + 1);
                for (const auto& d : a.Directions) EXPECT_EQ(d.Frames.size(), size_t(d.FrameUBound) + 1);
            }
        }
    }
}

TEST(SifFormat, ImpossibleCountsLengthsSidesModesAndStreamsAreRefused) {
    const Bytes stream = {1, 9, 9, 9};
    auto img = [](int32_t w, int32_t h, int mode, const Bytes& s, uint8_t flags = 0) {
        return Sif(static_cast<int32_t>(s.size()) - 1, w, h, mode, s, flags);
    };
    std::vector<Bytes> bad;
    for (int bound : {32767, 1, -1, -32768}) // upper bounds the bytes cannot hold, or negative
        for (size_t at : {0, 2, 4}) {
            bad.push_back(Sif(3, 1, 1, 5, stream));
            bad.back()[8 + at] = uint8_t(bound), bad.back()[9 + at] = uint8_t(bound >> 8);
        }
    // Stream lengths past the end or below the empty stream's -1, sides, modes without a stream,
    // coded structure lengths past the end or below one byte.
    for (int32_t u : {4, 100, INT32_MAX, -2, INT32_MIN}) bad.push_back(Sif(u, 1, 1, 5, stream));
    for (int32_t side : {-1, 32768, INT32_MIN, INT32_MAX})
        bad.insert(bad.end(), {Sif(3, side, 1, 5, stream), Sif(3, 1, side, 5, stream)});
    for (int mode : {0, 3, 6, 255}) bad.push_back(Sif(3, 1, 1, mode, stream));
    for (int32_t l : {INT32_MAX, 1000, -1, -5, INT32_MIN}) {
        bad.push_back(Sif(3, 1, 1, 5, {}, SifFlagStructureCoded, Bytes(4)));
        ByteWriter(bad.back()).PatchI32(8, l);
    }
    // Streams that do not cover the sheet (2 x 2 = 4 pixels; 8 a byte in black and white).
    bad.insert(bad.end(), {img(2, 2, 5, {3, 1, 2, 3}), img(2, 2, 5, {3, 1, 2, 3, 1, 4, 5}),
                           img(2, 2, 2, {3, 9, 0}), img(3, 3, 1, {0xFF}), img(32767, 1, 5, {127, 0, 0, 0}),
                           img(32767, 32767, 5, {255, 0, 0, 0, 255, 0, 0, 0})});
    for (size_t i = 0; i < bad.size(); ++i) EXPECT_EQ(Parse(bad[i]), SifParseStatus::Damaged) << i;

    // Runs past the end and count-0 records are harmless; unknown flag bits are ignored.
    const Bytes good[] = {img(2, 2, 5, {3, 1, 2, 3, 0, 0, 0, 0, 1, 4, 5, 6}), img(3, 3, 1, {255, 1}),
                          img(2, 2, 4, {2, 1, 2, 2, 1, 2}), img(2, 2, 5, {255, 1, 2, 3}),
                          img(1, 1, 5, stream, 0xFC)};
    for (const Bytes& b : good) EXPECT_EQ(Parse(b), SifParseStatus::Ok);
}
