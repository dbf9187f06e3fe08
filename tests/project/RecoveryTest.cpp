// Recovery files: the round trip of everything the window needs, damaged bytes
// refused without reading outside them, and the writer thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <zlib.h>

#include "base/FileIO.h"
#include "project/Recovery.h"
#include "support/TestSupport.h"

using Bytes = std::vector<uint8_t>;

namespace {

RecoveryData Sample() {
    RecoveryData d;
    d.ChangedMs = int64_t{1796577296123};
    d.Listed = 2;
    d.Sheet = RecoverySheet::Sif;
    d.ProjectPath = "/home/ann/sprites/hero.sip";
    d.WorkDir = "/home/ann/sprites/";
    d.SheetFile = "hero.bmp";
    d.SheetSource = "/home/ann/in/hero.sif";
    d.MaskColor = 0x00FF00FF;
    for (int a = 0; a < 3; ++a) {
        ActionData action;
        action.Name = a == 1 ? "" : "走る " + std::to_string(a); // not Windows-1252, and one unnamed
        for (int j = 0; j <= a; ++j) {
            DirectionData dir;
            dir.Name = j == 0 ? "Dir é" : "";
            for (int k = 0; k < 2 + j; ++k)
                dir.Frames.push_back({k, a, j, 7, {uint8_t(k), 0x5A}, int16_t(-k), 3, -4});
            dir.FrameUBound = static_cast<int16_t>(dir.Frames.size() - 1);
            action.Directions.push_back(dir);
        }
        action.DirUBound = static_cast<int16_t>(a);
        d.Actions.push_back(action);
    }
    return d;
}

Bytes Build(const RecoveryData& d) {
    Bytes out;
    std::string error;
    EXPECT_TRUE(BuildRecoveryBytes(d, out, error)) << error;
    return out;
}

// Rewrites the trailing checksum, so that the damage inside is what is looked at.
Bytes Resealed(Bytes b) {
    b.resize(b.size() - 4);
    const auto crc = static_cast<uint32_t>(crc32(0L, b.data(), static_cast<uInt>(b.size())));
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    return b;
}

} // namespace

TEST(Recovery, EverythingTheWindowNeedsComesBackExactly) {
    const RecoveryData d = Sample();
    const Bytes bytes = Build(d);
    RecoveryData back;
    std::string error;
    ASSERT_TRUE(ParseRecoveryBytes(bytes, back, error)) << error;
    EXPECT_EQ(back.ChangedMs, d.ChangedMs);
    EXPECT_EQ(back.Listed, 2);
    EXPECT_EQ(back.Sheet, RecoverySheet::Sif);
    EXPECT_EQ(back.ProjectPath + "|" + back.WorkDir + "|" + back.SheetFile + "|" + back.SheetSource,
              d.ProjectPath + "|" + d.WorkDir + "|" + d.SheetFile + "|" + d.SheetSource);
    EXPECT_EQ(back.MaskColor, d.MaskColor);
    // The names keep what Windows-1252 cannot hold; unnamed entries stay unnamed.
    ASSERT_EQ(back.Actions.size(), 3u);
    EXPECT_EQ(back.Actions[0].Name, "走る 0");
    EXPECT_EQ(back.Actions[1].Name, "");
    EXPECT_EQ(back.Actions[2].Directions[0].Name, "Dir é");
    EXPECT_EQ(Build(back), bytes);
    // A list longer than its bound keeps what a save keeps: the entries up to the bound.
    RecoveryData longer = d;
    longer.Actions[2].DirUBound = 1;
    ASSERT_TRUE(ParseRecoveryBytes(Build(longer), back, error)) << error;
    EXPECT_EQ(back.Actions[2].Directions.size(), 2u);
    // The .sip inside is the one a save would write, byte for byte.
    Bytes sip;
    ASSERT_TRUE(BuildProjectBytes(d.MaskColor, d.WorkDir + d.SheetFile, d.Actions, sip, error));
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), sip.begin(), sip.end()), bytes.end());
}

TEST(Recovery, DamagedBytesAreRefusedWithAReason) {
    const Bytes good = Build(Sample());
    std::string error;
    RecoveryData out = Sample();
    out.ProjectPath = "untouched";
    auto refused = [&](const Bytes& b) {
        error.clear();
        const bool ok = ParseRecoveryBytes(b, out, error);
        return !ok && !error.empty() && out.ProjectPath == "untouched";
    };
    // Every cut: none reads beyond its bytes (the sanitizer build watches) and none is taken.
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_TRUE(refused(Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(n)))) << n;
    // Every flipped byte fails the checksum.
    for (size_t i = 0; i < good.size(); i += 7) {
        Bytes b = good;
        b[i] ^= 0x20;
        EXPECT_TRUE(refused(b)) << i;
    }
    // Lengths and counts that claim more than the file holds, with a valid checksum.
    const size_t projectLen = 8 + 8 + 4 + 1; // the project path's length field
    for (uint16_t claim : {uint16_t(0xFFFF), uint16_t(5000)}) {
        Bytes b = good;
        b[projectLen] = static_cast<uint8_t>(claim), b[projectLen + 1] = static_cast<uint8_t>(claim >> 8);
        EXPECT_TRUE(refused(Resealed(b)));
    }
    Bytes kind = good;
    kind[8 + 8 + 4] = 9; // no such kind of sheet
    EXPECT_TRUE(refused(Resealed(kind)));
    EXPECT_TRUE(ParseRecoveryBytes(Resealed(good), out, error)) << error; // resealing alone harms nothing
    Bytes extra = good;
    extra.insert(extra.end() - 4, 0x00);
    out.ProjectPath = "untouched";
    EXPECT_TRUE(refused(Resealed(extra)));
    Bytes wrong = good;
    std::memcpy(wrong.data(), "CWRECOV2", 8);
    EXPECT_TRUE(refused(wrong) && error == "This is not a recovery file");
    // A project no .sip can hold is refused when building: nothing would read it back.
    RecoveryData none = Sample();
    none.Actions.clear();
    Bytes built{1};
    EXPECT_TRUE(!BuildRecoveryBytes(none, built, error) && built.empty());
}

TEST(Recovery, TheWriterKeepsOnlyTheNewestStateAndRemovesAtomically) {
    TempDir dir;
    const std::string path = dir / "a.recover";
    {
        RecoveryWriter writer(path);
        for (int k = 0; k < 50; ++k) {
            auto d = std::make_shared<RecoveryData>(Sample());
            d->ChangedMs = k;
            writer.Submit(d);
        }
        writer.Wait();
        RecoveryData back;
        std::string error;
        ASSERT_TRUE(ParseRecoveryBytes(ReadFileBytes(path), back, error)) << error;
        EXPECT_EQ(back.ChangedMs, 49); // the newest, however many were skipped
        EXPECT_TRUE(writer.Written() >= 1 && writer.Written() <= 50);
        EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string>{"a.recover"}); // no temporary file left

        // A full disk keeps the last good file and says why.
        SetWriteFault(WriteFault::DiskFull);
        auto later = std::make_shared<RecoveryData>(Sample());
        later->ChangedMs = 99;
        writer.Submit(later), writer.Wait();
        SetWriteFault(WriteFault::None);
        EXPECT_EQ(writer.LastError(), std::strerror(ENOSPC));
        ASSERT_TRUE(ParseRecoveryBytes(ReadFileBytes(path), back, error));
        EXPECT_EQ(back.ChangedMs, 49);
        EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string>{"a.recover"});

        writer.Submit(later), writer.Remove(), writer.Wait(); // the removal drops the waiting state
        EXPECT_FALSE(FileExists(path));
        writer.Submit(later); // done before the writer stops
    }
    EXPECT_TRUE(FileExists(path));
}

TEST(FileIO, TheWriteFaultHookFailsAsAFullDiskOrAReadOnlyFolder) {
    TempDir dir;
    const std::string path = dir / "f.bin";
    std::string error;
    ASSERT_TRUE(WriteFileAtomic(path, "old", 3, error));
    for (auto [fault, why] : {std::pair{WriteFault::DiskFull, ENOSPC}, std::pair{WriteFault::ReadOnly, EACCES}}) {
        SetWriteFault(fault);
        const bool written = WriteFileAtomic(path, "new!", 4, error);
        const bool empty = WriteFileAtomic(dir / "empty", "", 0, error); // not even an empty file
        SetWriteFault(WriteFault::None);
        EXPECT_TRUE(!written && !empty);
        EXPECT_EQ(error, std::strerror(why));
        EXPECT_EQ(ReadFileBytes(path), (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string>{"f.bin"});
    }
}
