// The model's records, writing and reading project files, the search for the sheet,
// damaged and hostile files.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

#include "base/Messages.h"
#include "project/SpriteProject.h"
#include "support/TestSupport.h"

using namespace SpriteProject;
using Bytes = std::vector<uint8_t>;

namespace {

FrameData MakeFrame(int32_t b) {
    return {b, b + 1, b + 2, b + 3, {uint8_t(0xA0 + b), uint8_t(0x50 + b)}, int16_t(-b), -b - 4, b + 5};
}

// An action of named directions with the given frame counts, frames numbered from base on.
ActionData MakeAction(std::string name, std::vector<std::pair<std::string, int>> dirs, int base = 1) {
    ActionData a{{}, int16_t(dirs.size() - 1), name};
    for (const auto& [dirName, frames] : dirs) {
        a.Directions.push_back({{}, int16_t(frames - 1), dirName});
        for (int k = 0; k < frames; ++k) a.Directions.back().Frames.push_back(MakeFrame(base++));
    }
    return a;
}

// The serialised form stands in for a deep comparison of two trees.
Bytes TreeBytes(const std::vector<ActionData>& actions) {
    Bytes out;
    std::string error;
    EXPECT_TRUE(BuildProjectBytes(0, "", actions, out, error)) << error;
    return out;
}

// Project files built field by field.
struct Sip {
    Bytes Out;
    ByteWriter W{Out};
    Sip& Head(int32_t m, std::string p) { return W.I32(m), Bound(int16_t(p.size())), W.Bytes(p), *this; }
    Sip& Bound(int16_t b) { return W.I16(b), *this; }
    Sip& Name(const std::string& raw) { return W.U8(uint8_t(raw.size())), W.Bytes(raw), *this; }
    Sip& Frame(const FrameData& f) { return PutFrame(W, f), *this; }
    Sip& Frames(int from, int n) { return n ? Frame(MakeFrame(from)).Frames(from + 1, n - 1) : *this; }
    Sip& SmallDirection() { return Name("").Bound(0).Frame({}); } // no name, one zero frame
};

// That many messages, each starting with this text; the title gets a "!" when the icon is Critical.
void ExpectMessages(const MessageRecorder& rec, size_t count, const std::string& t, std::string title) {
    EXPECT_EQ(rec.Shown.size(), count);
    for (const Message& m : rec.Shown)
        EXPECT_EQ(m.Text.substr(0, t.size()) + "|" + m.Title + (m.Icon == MsgIcon::Critical ? "!" : ""),
                  t + "|" + title);
}

class ProjectTest : public testing::Test {
protected:
    void SetUp() override { Open("", ""), MaskColor = 0; }
    void ExpectTree(const std::vector<ActionData>& want = {NewAction()}) {
        EXPECT_EQ(TreeBytes(Actions), TreeBytes(want));
    }
    // Open Project's order: folder and name set, reset, then read.
    bool Open(const std::string& folder, const std::string& name) {
        WorkDir = folder, ProjectFile = name, SheetFile = "";
        return ResetModel(), !name.empty() && ReadProject(folder + name);
    }
    TempDir dir;
};

} // namespace

TEST_F(ProjectTest, FilesAreByteExactRoundTripAndAFailedSaveKeepsTheOldOne) {
    // A frame record: every field little-endian, in record order, giving the bytes 1, 2, ..., 28.
    FrameData f{0x04030201, 0x08070605, 0x0C0B0A09, 0x100F0E0D, {17, 18}, 0x1413, 0x18171615, 0x1C1B1A19};
    for (int i = 0; i < 28; ++i) EXPECT_EQ(Sip().Frame(f).Out.at(i), i + 1);
    WorkDir = "/w/", SheetFile = "abc.bmp"; // the empty project: bounds 0, empty names, one zero frame
    ASSERT_TRUE(WriteProject(dir / "p.sip"));
    const Bytes empty = Sip().Head(0, "/w/abc.bmp").Bound(0).Name("").Bound(0).SmallDirection().Out;
    EXPECT_EQ(ReadFileBytes(dir / "p.sip"), empty);

    std::string euros;
    for (int i = 0; i < 300; ++i) euros += "\xE2\x82\xAC";
    Actions = {MakeAction("Caf\xC3\xA9 \xE2\x82\xAC", {{"\xE6\x97\xA5", 3}, {"", 1}}),
               MakeAction("", {{euros, 2}}, 40), MakeAction("Jump", {{"Up", 4}}, 70)};
    const Bytes bytes = TreeBytes(Actions); // names in Windows-1252
    EXPECT_EQ(Bytes(&bytes[8], &bytes[19]), (Bytes{6, 'C', 'a', 'f', 0xE9, ' ', 0x80, 1, 0, 1, '?'}));
    std::vector<ActionData> want = Actions;
    WorkDir = dir.Path(), SheetFile = "p.sip"; // any file will do for the sheet here
    ASSERT_TRUE(WriteProject(dir / "a.sip"));
    ASSERT_TRUE(Open(dir.Path(), "a.sip"));
    want[0].Directions[1].Name = "Dir 1"; // unnamed ones are stored with their display names
    want[1].Name = "Action 1";
    ExpectTree(want);
    EXPECT_EQ(Actions[0].Name + "|" + Actions[0].Directions[0].Name, "Caf\xC3\xA9 \xE2\x82\xAC|?");
    EXPECT_EQ(Actions[1].Directions[0].Name, euros.substr(0, 255 * 3)); // cut to 255 bytes as stored
    // Characters, not bytes, are swapped for the sheet's name.
    EXPECT_EQ(SheetNameForProject("h\xC3\xA9.s\xC3\xAFp") + SheetNameForProject("ab"), "h\xC3\xA9.bmp");

    // A failed save keeps the old file, leaves nothing behind and says why.
    const Bytes old = ReadFileBytes(dir / "a.sip");
    MessageRecorder said;
    Actions[0].DirUBound = 3; // trees the reader could not load back are not written
    EXPECT_FALSE(WriteProject(dir / "a.sip"));
    Actions = {MakeAction("Big", {{"", 400}})};
    EXPECT_FALSE(WriteProject(dir / "missing/hero.sip"));
    // A write that fails halfway: the file size limit stands in for a full disk.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit small{1024, saved.rlim_max};
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_FALSE(WriteProject(dir / "a.sip"));
    setrlimit(RLIMIT_FSIZE, &saved), std::signal(SIGXFSZ, previous);
    EXPECT_EQ(ReadFileBytes(dir / "a.sip"), old);
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"a.sip", "p.sip"}));
    ExpectMessages(said, 3, "Can't save the project:\n\n" + dir.Path(), "Whoops!");
}

TEST_F(ProjectTest, SheetIsLookedForUnderTheProjectsNameBesideItAndAtTheStoredPath) {
    // "P/": the project's folder, "E/": another one; found "" = not found. The cases: saved on Windows
    // and moved with the project, only at the stored path, under the project's name, everywhere (the
    // project's name first), and letter case that differs.
    const struct { std::vector<std::string> sheets; std::string stored, sheetFile, found; } cases[] = {
        {{"P/Sheet.bmp"}, "C:\\Art\\Sheet.bmp", "Sheet.bmp", "P/Sheet.bmp"},
        {{"E/sheet.bmp"}, "E/sheet.bmp", "sheet.bmp", "E/sheet.bmp"},
        {{"P/a.bmp"}, "/gone/old.bmp", "a.bmp", "P/a.bmp"},
        {{"P/sheet.bmp", "E/sheet.bmp", "P/a.bmp"}, "E/sheet.bmp", "a.bmp", "P/a.bmp"},
        {{"P/sheet.bmp", "E/sheet.bmp", "P/A.bmp"}, "E/Sheet.bmp", "Sheet.bmp", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored + " " + c.found);
        TempDir p, e;
        auto at = [&](std::string s) { return s[1] != '/' ? s : (s[0] == 'P' ? p : e) / s.substr(2); };
        for (const std::string& s : c.sheets) WriteFileBytes(at(s), {1});
        WriteFileBytes(p / "a.sip", Sip().Head(0x00ABCDEF, at(c.stored)).Bound(0).Name("Walk").Bound(0)
                                           .Name("N").Bound(0).Frames(1, 1).Out);
        FoundSheetPath = "earlier";
        MessageRecorder said;
        EXPECT_EQ(Open(p.Path(), "a.sip"), !c.found.empty());
        EXPECT_EQ(SheetFile, c.sheetFile);
        EXPECT_EQ(MaskColor, 0x00ABCDEF); // taken even when the sheet is missing
        EXPECT_EQ(FoundSheetPath, c.found.empty() ? "earlier" : at(c.found));
        ExpectTree({c.found.empty() ? NewAction() : MakeAction("Walk", {{"N", 1}})});
        ExpectMessages(said, c.found.empty(), "Can't find source image!", AppTitle);
    }
}

TEST_F(ProjectTest, MissingDamagedOrHostileFilesAreReportedAndTheResetModelStays) {
    WriteFileBytes(dir / "a.bmp", {1}); // the sheet, found under the project's name
    const Bytes bytes = Sip().Head(0x112233, "x").Bound(1).Name("W").Bound(1).Name("N").Bound(1).Frames(1, 2)
                            .SmallDirection().Name("").Bound(0).Name("Up").Bound(2).Frames(3, 3).Out;
    ProjectFileContents out;
    std::string error;
    for (size_t n = 0; n < bytes.size(); ++n) {
        SCOPED_TRACE(n);
        WriteFileBytes(dir / "a.sip", Bytes(bytes.begin(), bytes.begin() + n));
        MaskColor = 0x0BADBAD;
        MessageRecorder said;
        EXPECT_FALSE(Open(dir.Path(), "a.sip"));
        ExpectMessages(said, 1, "This project file is damaged or incomplete:\n\n" + dir / "a.sip", "Whoops!");
        EXPECT_EQ(MaskColor, n < 4 ? 0x0BADBAD : 0x00112233);
        ExpectTree();
        // Negative and huge counts and lengths (bytes flipped one or two at a time) are refused
        // untouched, or give a tree consistent enough to be written again.
        for (const auto& [flip, width] : {std::pair{0x80, 1}, {0x7F, 1}, {0xFF, 2}}) {
            Bytes bad = bytes;
            for (size_t k = n; k < std::min(n + width, bad.size()); ++k) bad[k] ^= flip;
            out = {99, "", {}}, error.clear();
            EXPECT_TRUE(ParseProjectBytes(bad, out, error) ? !TreeBytes(out.Actions).empty()
                                                           : !error.empty() && out.MaskColor == 99);
        }
    }
    WriteFileBytes(dir / "a.sip", Sip{bytes}.Bound(-1).Out); // bytes after the tree are ignored
    ASSERT_TRUE(Open(dir.Path(), "a.sip"));
    EXPECT_EQ(TreeBytes({Actions[1]}), TreeBytes({MakeAction("Action 1", {{"Up", 3}}, 3)}));
    // The smallest blocks packed to the last byte are what the format allows.
    Sip many{Sip().Head(0, "").Bound(0).Name("").Bound(32766).Out};
    for (int j = 0; j < 32767; ++j) many.SmallDirection();
    ASSERT_TRUE(ParseProjectBytes(many.Out, out, error)) << error;
    EXPECT_EQ(out.Actions[0].Directions.size(), 32767u);
}
