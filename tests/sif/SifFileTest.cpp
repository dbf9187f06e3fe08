#include <gtest/gtest.h>

#include "base/ByteIO.h"
#include "base/Messages.h"
#include "sif/Huffman.h"
#include "sif/SifFile.h"
#include "sif/SifTestSupport.h"

using namespace SpriteProject;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> v;
    for (int b : list) v.push_back(static_cast<uint8_t>(b));
    return v;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t from, size_t n) {
    return std::vector<uint8_t>(v.begin() + from, v.begin() + from + n);
}

int32_t I32At(const std::vector<uint8_t>& v, size_t at) {
    ByteReader r(v.data() + at, v.size() - at);
    int32_t x = 0;
    r.I32(x);
    return x;
}

std::vector<uint8_t> PlaceholderBlock() {
    std::vector<uint8_t> b(34, 0);
    return b;
}

// The globals a refused read must leave alone.
struct ModelSnapshot {
    std::vector<ActionData> Actions = SpriteProject::Actions;
    int32_t MaskColor = SpriteProject::MaskColor;
    void ExpectUnchanged() const {
        ASSERT_EQ(SpriteProject::Actions.size(), Actions.size());
        for (size_t i = 0; i < Actions.size(); ++i) {
            EXPECT_EQ(SpriteProject::Actions[i].Name, Actions[i].Name);
            EXPECT_EQ(SpriteProject::Actions[i].DirUBound, Actions[i].DirUBound);
        }
        EXPECT_EQ(SpriteProject::MaskColor, MaskColor);
    }
};

class SifFiles : public testing::Test {
protected:
    void SetUp() override {
        ResetModel();
        MaskColor = 0;
    }
    TempDir dir;
};

} // namespace

TEST(SifFormat, PlaceholderProjectGivesTheDocumentedBytes) {
    const std::vector<ActionData> placeholder{NewAction()};
    EXPECT_EQ(BuildStructureBlock(placeholder), PlaceholderBlock());

    cBitMap empty;
    const std::vector<uint8_t> plain = BuildSifBytes(placeholder, empty, 0, 5, false, false);
    ASSERT_GE(plain.size(), 42u + 17u);
    EXPECT_EQ(Slice(plain, 0, 8), Bytes({0x53, 0x46, 0x01, 0x00, 0x2B, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Slice(plain, 8, 34), PlaceholderBlock());

    // Coded, the 34 equal bytes take the stored form; the position still points past them.
    const std::vector<uint8_t> coded = BuildSifBytes(placeholder, empty, 0, 5, true, false);
    ASSERT_GE(coded.size(), 50u + 17u);
    EXPECT_EQ(Slice(coded, 0, 12), Bytes({0x53, 0x46, 0x01, 0x01, 0x33, 0x00, 0x00, 0x00, 0x25, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Slice(coded, 12, 4), Bytes({0x48, 0x45, 0x30, 0x0D}));
    EXPECT_EQ(Slice(coded, 16, 34), PlaceholderBlock());
    EXPECT_EQ(I32At(coded, 4), 51);
}

TEST(SifFormat, StoredMaskColourFollowsTheDepthMode) {
    EXPECT_EQ(SifStoredMaskColor(4, 0x00FF00FF), 0x00FF00FF);
    EXPECT_EQ(SifStoredMaskColor(4, 0x00123456), 0x00103450);
    EXPECT_EQ(SifStoredMaskColor(4, 0x00FEFDFC), 0x00FFFFFF);
    EXPECT_EQ(SifStoredMaskColor(4, 0x00F7F7F7), 0x00F0F4F0); // just below the full-intensity rule
    EXPECT_EQ(SifStoredMaskColor(4, 0x0000F800), 0x0000FF00); // green 0xF8 is full too
    EXPECT_EQ(SifStoredMaskColor(5, 0x00123456), 0x00123456);
    EXPECT_EQ(SifStoredMaskColor(1, 0x00123456), 0);
    EXPECT_EQ(SifStoredMaskColor(2, 0x00FF00FF), 0);
}

TEST_F(SifFiles, ImageSectionHoldsSizesModeAndTheSheetStream) {
    ASSERT_TRUE(LoadPicture(Sheet, SampleSheetPicture(), dir));
    const std::vector<ActionData> tree = SampleTree();
    for (uint8_t mode : {1, 2, 4, 5}) {
        SCOPED_TRACE(static_cast<int>(mode));
        const std::vector<uint8_t> file = BuildSifBytes(tree, Sheet, 0x00123456, mode, false, false);
        const std::vector<uint8_t> block = BuildStructureBlock(tree);
        const size_t image = 8 + block.size();
        EXPECT_EQ(I32At(file, 4), static_cast<int32_t>(image + 1));
        EXPECT_EQ(Slice(file, 8, block.size()), block);
        const std::vector<uint8_t> stream = Sheet.ToRLE(mode);
        ASSERT_FALSE(stream.empty());
        EXPECT_EQ(I32At(file, image), static_cast<int32_t>(stream.size()) - 1);
        EXPECT_EQ(I32At(file, image + 4), SifStoredMaskColor(mode, 0x00123456));
        EXPECT_EQ(I32At(file, image + 8), 37); // width before height
        EXPECT_EQ(I32At(file, image + 12), 11);
        EXPECT_EQ(file[image + 16], mode);
        ASSERT_EQ(file.size(), image + 17 + stream.size());
        EXPECT_EQ(Slice(file, image + 17, stream.size()), stream);
    }
}

TEST_F(SifFiles, EveryModeAndFlagCombinationRoundTrips) {
    const TestPicture pic = SampleSheetPicture();
    ASSERT_TRUE(LoadPicture(Sheet, pic, dir));
    const std::vector<ActionData> tree = SampleTree();
    for (uint8_t mode : {1, 2, 4, 5}) {
        for (int flags = 0; flags < 4; ++flags) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " flags " + std::to_string(flags));
            Actions = tree;
            MaskColor = 0x00FEFDFC;
            const std::string path = dir / "out.sif";
            MessageRecorder messages;
            ASSERT_TRUE(WriteSIF(path, mode, flags & 1, (flags >> 1) & 1));
            EXPECT_EQ(ReadFileBytes(path)[3], flags);

            Actions.assign(1, NewAction());
            MaskColor = 7;
            const SifImage image = ReadSIF(path);
            EXPECT_TRUE(messages.Shown.empty());
            EXPECT_EQ(image.Width, 37);
            EXPECT_EQ(image.Height, 11);
            EXPECT_EQ(image.Mode, mode);
            EXPECT_EQ(MaskColor, SifStoredMaskColor(mode, 0x00FEFDFC));
            ASSERT_EQ(Actions.size(), tree.size());
            for (size_t a = 0; a < tree.size(); ++a) {
                EXPECT_TRUE(Actions[a].Name.empty());
                ASSERT_EQ(Actions[a].DirUBound, tree[a].DirUBound);
                ASSERT_EQ(Actions[a].Directions.size(), tree[a].Directions.size());
                for (size_t d = 0; d < tree[a].Directions.size(); ++d) {
                    EXPECT_TRUE(Actions[a].Directions[d].Name.empty());
                    EXPECT_EQ(Actions[a].Directions[d].FrameUBound, tree[a].Directions[d].FrameUBound);
                    EXPECT_EQ(Actions[a].Directions[d].Frames, tree[a].Directions[d].Frames);
                }
            }

            cBitMap back;
            ASSERT_TRUE(back.FromRLE(image.Width, image.Height, image.Mode, MaskColor, image.Data));
            int wrong = 0;
            for (int y = 0; y < pic.Height; ++y)
                for (int x = 0; x < pic.Width; ++x) wrong += PixelAt(back, x, y) != Reduced(pic.At(x, y), mode);
            EXPECT_EQ(wrong, 0);
        }
    }
}

TEST_F(SifFiles, ModesWithoutAStreamAreRefusedAndNothingIsWritten) {
    ASSERT_TRUE(LoadPicture(Sheet, SampleSheetPicture(), dir));
    const std::string fresh = dir / "fresh.sif";
    const std::string existing = dir / "existing.sif";
    WriteFileBytes(existing, {1, 2, 3});
    for (uint8_t mode : {0, 3, 6, 255}) {
        MessageRecorder messages;
        EXPECT_FALSE(WriteSIF(fresh, mode, 1, 1));
        EXPECT_FALSE(WriteSIF(existing, mode, 0, 0));
        ASSERT_EQ(messages.Shown.size(), 2u);
        EXPECT_EQ(messages.Shown[0].Text, "Invalid bit depth mode specified.");
        EXPECT_EQ(messages.Shown[0].Title, "Whoopsy!");
        EXPECT_EQ(messages.Shown[0].Icon, MsgIcon::Critical);
        EXPECT_EQ(messages.Shown[0].Buttons, MsgButtons::OK);
    }
    EXPECT_FALSE(FileExists(fresh));
    EXPECT_EQ(ReadFileBytes(existing), Bytes({1, 2, 3}));
}

TEST_F(SifFiles, WriteFailureIsReportedAndLeavesNothingBehind) {
    MessageRecorder messages;
    EXPECT_FALSE(WriteSIF(dir / "missing-folder/out.sif", 5, 1, 1));
    ASSERT_EQ(messages.Shown.size(), 1u);
    EXPECT_EQ(messages.Shown[0].Title, "Whoops");
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string>{});
}

TEST_F(SifFiles, ExistingTargetIsReplacedWhole) {
    ASSERT_TRUE(LoadPicture(Sheet, SampleSheetPicture(), dir));
    const std::string path = dir / "out.sif";
    WriteFileBytes(path, std::vector<uint8_t>(5000, 0xEE));
    ASSERT_TRUE(WriteSIF(path, 5, 0, 0));
    EXPECT_EQ(ReadFileBytes(path), BuildSifBytes(Actions, Sheet, MaskColor, 5, false, false));
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"out.sif", "sheet.bmp"}));
}

TEST_F(SifFiles, WrongMagicIsNotRecognisedAndChangesNothing) {
    const std::string path = dir / "x.sif";
    Actions = SampleTree();
    MaskColor = 0x00ABCDEF;
    const ModelSnapshot before;
    for (const std::vector<uint8_t>& bytes : {Bytes({}), Bytes({0x53}), Bytes({0x46, 0x53, 1, 0}),
                                              Bytes({'B', 'M', 0, 0, 0, 0, 0, 0})}) {
        WriteFileBytes(path, bytes);
        MessageRecorder messages;
        const SifImage image = ReadSIF(path);
        EXPECT_EQ(image.Width, 0);
        EXPECT_TRUE(image.Data.empty());
        ASSERT_EQ(messages.Shown.size(), 1u);
        EXPECT_EQ(messages.Shown[0].Text, "File contents not recognised!");
        EXPECT_EQ(messages.Shown[0].Title, "Ahem...");
        EXPECT_EQ(messages.Shown[0].Icon, MsgIcon::Critical);
        before.ExpectUnchanged();
    }
}

TEST_F(SifFiles, MissingFileIsReportedAndEmptyNameIsSilent) {
    MessageRecorder messages;
    EXPECT_EQ(ReadSIF("").Width, 0);
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_EQ(ReadSIF(dir / "nope.sif").Width, 0);
    ASSERT_EQ(messages.Shown.size(), 1u);
    EXPECT_NE(messages.Shown[0].Text.find("nope.sif"), std::string::npos);
}

TEST_F(SifFiles, EveryTruncationIsReportedAsDamageAndChangesNothing) {
    ASSERT_TRUE(LoadPicture(Sheet, MakePicture(5, 3, 0x00FF00FF), dir));
    const std::vector<ActionData> tree = SampleTree();
    Actions = SampleTree();
    MaskColor = 0x00ABCDEF;
    const ModelSnapshot before;
    const std::string path = dir / "cut.sif";
    for (int flags = 0; flags < 4; ++flags) {
        const std::vector<uint8_t> full = BuildSifBytes(tree, Sheet, 0x00FF00FF, 4, flags & 1, flags & 2);
        for (size_t n = 0; n < full.size(); ++n) {
            SCOPED_TRACE("flags " + std::to_string(flags) + " cut at " + std::to_string(n));
            const std::vector<uint8_t> cut(full.begin(), full.begin() + n);
            SifContents contents;
            std::string detail;
            const SifParseStatus status = ParseSifBytes(cut, contents, detail);
            EXPECT_EQ(status, n < 2 ? SifParseStatus::NotRecognised : SifParseStatus::Damaged);
            if (n % 7 != 0 && n + 1 != full.size()) continue; // the file round trip for a sample
            WriteFileBytes(path, cut);
            MessageRecorder messages;
            EXPECT_EQ(ReadSIF(path).Width, 0);
            ASSERT_EQ(messages.Shown.size(), 1u);
            if (n >= 2) {
                EXPECT_EQ(messages.Shown[0].Text, "This SIF file is damaged or incomplete:\n\n" + path);
                EXPECT_EQ(messages.Shown[0].Title, "Whoops");
            }
            before.ExpectUnchanged();
        }
    }
}

TEST_F(SifFiles, FlippedBytesNeverCrashAndRefusalsAreReported) {
    ASSERT_TRUE(LoadPicture(Sheet, SampleSheetPicture(), dir));
    for (int flags = 0; flags < 4; ++flags) {
        const std::vector<uint8_t> full = BuildSifBytes(SampleTree(), Sheet, 0x00FF00FF, 5, flags & 1, flags & 2);
        for (size_t i = 0; i < full.size(); ++i) {
            for (uint8_t pattern : {0xFF, 0x80, 0x01}) {
                std::vector<uint8_t> bad = full;
                bad[i] ^= pattern;
                SifContents contents;
                std::string detail;
                const SifParseStatus status = ParseSifBytes(bad, contents, detail);
                if (status != SifParseStatus::Ok) {
                    EXPECT_FALSE(detail.empty());
                    continue;
                }
                // Whatever is accepted is internally consistent.
                EXPECT_TRUE(IsSifMode(contents.Mode));
                EXPECT_LE(contents.Width, cBitMap::MaxSide);
                EXPECT_GE(contents.Height, 0);
                for (const ActionData& a : contents.Actions) {
                    EXPECT_EQ(a.Directions.size(), static_cast<size_t>(a.DirUBound) + 1);
                    for (const DirectionData& d : a.Directions)
                        EXPECT_EQ(d.Frames.size(), static_cast<size_t>(d.FrameUBound) + 1);
                }
            }
        }
    }
}

namespace {

// A hand-made file: uncoded structure block, then an image section.
std::vector<uint8_t> HandMade(const std::vector<uint8_t>& block, int32_t u, int32_t w, int32_t h, int mode,
                              const std::vector<uint8_t>& stream, uint8_t flags = 0, uint8_t version = 1) {
    std::vector<uint8_t> out;
    ByteWriter wr(out);
    wr.U8(0x53);
    wr.U8(0x46);
    wr.U8(version);
    wr.U8(flags);
    wr.I32(static_cast<int32_t>(8 + block.size() + 1));
    wr.Bytes(block.data(), block.size());
    wr.I32(u);
    wr.I32(0x00FF00FF);
    wr.I32(w);
    wr.I32(h);
    wr.U8(static_cast<uint8_t>(mode));
    wr.Bytes(stream.data(), stream.size());
    return out;
}

SifParseStatus Parse(const std::vector<uint8_t>& bytes) {
    SifContents c;
    std::string detail;
    return ParseSifBytes(bytes, c, detail);
}

} // namespace

TEST(SifFormat, ImpossibleCountsLengthsSidesAndModesAreRefused) {
    const std::vector<uint8_t> block = PlaceholderBlock();
    const std::vector<uint8_t> stream = Bytes({1, 9, 9, 9});
    ASSERT_EQ(Parse(HandMade(block, 3, 1, 1, 5, stream)), SifParseStatus::Ok);

    // Upper bounds that the remaining bytes cannot hold, or negative ones.
    for (int16_t bound : {int16_t{32767}, int16_t{1}, int16_t{-1}, int16_t{-32768}}) {
        for (size_t at : {size_t{0}, size_t{2}, size_t{4}}) {
            std::vector<uint8_t> b = block;
            b[at] = static_cast<uint8_t>(bound);
            b[at + 1] = static_cast<uint8_t>(static_cast<uint16_t>(bound) >> 8);
            EXPECT_EQ(Parse(HandMade(b, 3, 1, 1, 5, stream)), SifParseStatus::Damaged) << bound << " at " << at;
        }
    }
    // Stream lengths past the end, or below the empty stream's -1.
    for (int32_t u : {4, 100, INT32_MAX, -2, INT32_MIN})
        EXPECT_EQ(Parse(HandMade(block, u, 1, 1, 5, stream)), SifParseStatus::Damaged) << u;
    // Sides out of range, modes without a stream.
    for (int32_t side : {-1, 32768, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(Parse(HandMade(block, 3, side, 1, 5, stream)), SifParseStatus::Damaged);
        EXPECT_EQ(Parse(HandMade(block, 3, 1, side, 5, stream)), SifParseStatus::Damaged);
    }
    EXPECT_EQ(Parse(HandMade(block, 3, 32767, 1, 5, Bytes({127, 0, 0, 0}))), SifParseStatus::Damaged);
    for (int mode : {0, 3, 6, 255}) EXPECT_EQ(Parse(HandMade(block, 3, 1, 1, mode, stream)), SifParseStatus::Damaged);

    // A coded structure length past the end or below one byte.
    for (int32_t l : {INT32_MAX, 1000, -1, -5, INT32_MIN}) {
        std::vector<uint8_t> file = Bytes({0x53, 0x46, 1, 1, 0, 0, 0, 0});
        ByteWriter w(file);
        w.I32(l);
        w.Bytes(block.data(), block.size());
        EXPECT_EQ(Parse(file), SifParseStatus::Damaged) << l;
    }
}

TEST(SifFormat, StreamsThatDoNotCoverTheSheetAreRefused) {
    const std::vector<uint8_t> block = PlaceholderBlock();
    auto status = [&](int32_t w, int32_t h, int mode, const std::vector<uint8_t>& s) {
        return Parse(HandMade(block, static_cast<int32_t>(s.size()) - 1, w, h, mode, s));
    };
    // 2 x 2 = 4 pixels: runs of 3 fall short, 4 or more (and count-0 records) do not matter.
    EXPECT_EQ(status(2, 2, 5, Bytes({3, 1, 2, 3})), SifParseStatus::Damaged);
    EXPECT_EQ(status(2, 2, 5, Bytes({3, 1, 2, 3, 0, 0, 0, 0, 1, 4, 5, 6})), SifParseStatus::Ok);
    EXPECT_EQ(status(2, 2, 5, Bytes({255, 1, 2, 3})), SifParseStatus::Ok);
    EXPECT_EQ(status(2, 2, 5, Bytes({3, 1, 2, 3, 1, 4, 5})), SifParseStatus::Damaged); // cut-short record
    EXPECT_EQ(status(2, 2, 4, Bytes({2, 1, 2, 2, 1, 2})), SifParseStatus::Ok);
    EXPECT_EQ(status(2, 2, 2, Bytes({3, 9, 0})), SifParseStatus::Damaged);
    // Black and white: 8 pixels a byte; a 3 x 3 sheet needs 2 bytes.
    EXPECT_EQ(status(3, 3, 1, Bytes({0xFF})), SifParseStatus::Damaged);
    EXPECT_EQ(status(3, 3, 1, Bytes({0xFF, 0x01})), SifParseStatus::Ok);
    // A huge sheet claimed by a few bytes.
    EXPECT_EQ(status(32767, 32767, 5, Bytes({255, 0, 0, 0, 255, 0, 0, 0})), SifParseStatus::Damaged);
}

TEST(SifFormat, VersionAndUnknownFlagBitsAreIgnored) {
    const std::vector<uint8_t> stream = Bytes({1, 9, 9, 9});
    for (uint8_t version : {0, 1, 2, 255}) {
        SifContents c;
        std::string detail;
        ASSERT_EQ(ParseSifBytes(HandMade(PlaceholderBlock(), 3, 1, 1, 5, stream, 0xFC, version), c, detail),
                  SifParseStatus::Ok);
        EXPECT_EQ(c.Version, version);
        EXPECT_EQ(c.Data, stream);
        EXPECT_EQ(c.MaskColor, 0x00FF00FF);
    }
}

TEST_F(SifFiles, ZeroSideTakesTreeAndMaskButReturnsNoImage) {
    std::vector<ActionData> tree = SampleTree();
    const std::string path = dir / "flat.sif";
    WriteFileBytes(path, HandMade(BuildStructureBlock(tree), 3, 0, 4, 5, Bytes({1, 9, 9, 9})));
    MessageRecorder messages;
    const SifImage image = ReadSIF(path);
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_EQ(image.Width, 0);
    EXPECT_EQ(image.Height, 0);
    EXPECT_EQ(image.Mode, 0);
    EXPECT_TRUE(image.Data.empty());
    EXPECT_EQ(Actions.size(), 3u);
    EXPECT_EQ(Actions[2].Directions[2].Frames, tree[2].Directions[2].Frames);
    EXPECT_EQ(MaskColor, 0x00FF00FF);
}

TEST_F(SifFiles, ChecksumErrorIsReportedWithTheDecodersMessage) {
    // A coded image section whose checksum byte is wrong.
    std::vector<uint8_t> stream = Bytes({1, 1, 2, 3, 2, 4, 5, 6});
    Huffman::Encode(stream);
    ASSERT_NE(Slice(stream, 0, 4), Bytes({0x48, 0x45, 0x30, 0x0D}));
    stream[0] ^= 0x01;
    const std::string path = dir / "sum.sif";
    WriteFileBytes(path, HandMade(PlaceholderBlock(), static_cast<int32_t>(stream.size()) - 1, 3, 1, 5, stream,
                                  SifFlagImageCoded));
    Actions = SampleTree();
    const ModelSnapshot before;
    MessageRecorder messages;
    EXPECT_EQ(ReadSIF(path).Width, 0);
    ASSERT_EQ(messages.Shown.size(), 1u);
    EXPECT_EQ(messages.Shown[0].Text, Huffman::ChecksumMessage);
    EXPECT_EQ(messages.Shown[0].Title, "Whoops");
    EXPECT_EQ(messages.Shown[0].Icon, MsgIcon::Critical);
    before.ExpectUnchanged();
}

TEST(SifFormat, BytesAfterADecodedStructureAreIgnored) {
    std::vector<uint8_t> block = PlaceholderBlock();
    block.push_back(0x77);
    block.push_back(0x01);
    std::vector<uint8_t> coded = block;
    Huffman::Encode(coded);
    std::vector<uint8_t> file = Bytes({0x53, 0x46, 1, 1, 0, 0, 0, 0});
    ByteWriter w(file);
    w.I32(static_cast<int32_t>(coded.size()) - 1);
    w.Bytes(coded.data(), coded.size());
    w.I32(3);
    w.I32(0);
    w.I32(1);
    w.I32(1);
    w.U8(5);
    w.Bytes(Bytes({1, 2, 3, 4}).data(), 4);
    SifContents c;
    std::string detail;
    ASSERT_EQ(ParseSifBytes(file, c, detail), SifParseStatus::Ok) << detail;
    ASSERT_EQ(c.Actions.size(), 1u);
    EXPECT_EQ(c.Actions[0].Directions[0].Frames[0], FrameData{});
    EXPECT_EQ(c.StructureBytes, block.size());
}
