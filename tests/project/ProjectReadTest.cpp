// Reading project files: the search for the sheet, and damaged or hostile files.
#include <cstdlib>
#include <new>
#include <sys/stat.h>

#include "project/ProjectTestSupport.h"

using namespace SpriteProject;

// The largest single allocation of this program, to see that a hostile count
// is refused before memory is reserved for it.
static size_t LargestAllocation = 0;

void* operator new(std::size_t n) {
    if (n > LargestAllocation) LargestAllocation = n;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
// Kept out of line: once inlined, the compiler pairs free() with the library's new.
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

std::vector<uint8_t> HeroFile(const std::string& sheetPath, int32_t mask) {
    SipBuilder b;
    b.Head(mask, sheetPath).Bound(0).Name("Walk").Bound(0).Name("N").Bound(0).Frame(MakeFrame(5));
    return b.Bytes;
}

// Open Project's order: folder and name set, reset, then read.
bool Open(const std::string& dir, const std::string& name) {
    WorkDir = dir;
    ProjectFile = name;
    ResetModel();
    return ReadProject(dir + name);
}

} // namespace

TEST_F(ProjectTest, SheetIsLookedForAtTheStoredPathBesideTheProjectAndUnderItsName) {
    struct Case {
        const char* what;
        std::vector<std::string> sheets; // "P/": the project's folder, "E/": another one
        std::string stored;
        std::string sheetFile, found; // found "" = not found
    };
    const Case cases[] = {
        {"moved with the project", {"P/sheet.bmp"}, "/gone/sheet.bmp", "sheet.bmp", "P/sheet.bmp"},
        {"saved on Windows", {"P/Sheet.bmp"}, "C:\\Art\\Sheet.bmp", "Sheet.bmp", "P/Sheet.bmp"},
        {"only at the stored path", {"E/sheet.bmp"}, "E/sheet.bmp", "sheet.bmp", "E/sheet.bmp"},
        {"under the project's name", {"P/hero.bmp"}, "/gone/old.bmp", "hero.bmp", "P/hero.bmp"},
        {"everywhere", {"P/sheet.bmp", "E/sheet.bmp", "P/hero.bmp"}, "E/sheet.bmp", "hero.bmp", "P/hero.bmp"},
        {"letter case differs", {"P/sheet.bmp", "E/sheet.bmp", "P/Hero.bmp"}, "E/Sheet.bmp", "Sheet.bmp", ""},
        {"a folder", {}, "P/dir.bmp", "dir.bmp", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir project, elsewhere;
        auto expand = [&](const std::string& s) {
            if (s.rfind("P/", 0) == 0) return project / s.substr(2);
            return s.rfind("E/", 0) == 0 ? elsewhere / s.substr(2) : s;
        };
        for (const std::string& s : c.sheets) WriteFileBytes(expand(s), {1});
        ::mkdir((project / "dir.bmp").c_str(), 0755);
        WriteFileBytes(project / "hero.sip", HeroFile(expand(c.stored), 0x00ABCDEF));
        FoundSheetPath = "earlier";
        MaskColor = 0;
        MessageRecorder messages;
        const bool loaded = Open(project.Path(), "hero.sip");
        EXPECT_EQ(SheetFile, c.sheetFile);
        EXPECT_EQ(MaskColor, 0x00ABCDEF); // taken even when the sheet is missing
        if (c.found.empty()) {
            EXPECT_FALSE(loaded);
            ASSERT_EQ(messages.Shown.size(), 1u);
            const Message& m = messages.Shown[0];
            EXPECT_EQ(m.Text, "Can't find source image!");
            EXPECT_EQ(m.Buttons, MsgButtons::OK);
            EXPECT_EQ(m.Title, AppTitle);
            EXPECT_TRUE(m.Icon == MsgIcon::None || m.Icon == MsgIcon::Exclamation);
            EXPECT_EQ(FoundSheetPath, "earlier");
            ExpectPlaceholder();
        } else {
            EXPECT_TRUE(loaded);
            EXPECT_TRUE(messages.Shown.empty());
            EXPECT_EQ(FoundSheetPath, expand(c.found));
            ASSERT_EQ(Actions.size(), 1u);
            EXPECT_EQ(Actions[0].Name + Actions[0].Directions[0].Name, "WalkN");
            EXPECT_EQ(Actions[0].Directions[0].Frames, std::vector<FrameData>{MakeFrame(5)});
        }
    }
}

TEST_F(ProjectTest, MissingOrDamagedFilesAreReportedAndTheResetModelStays) {
    TempDir dir;
    WriteFileBytes(dir / "sheet.bmp", {1});
    SipBuilder b;
    b.Head(0x00112233, dir / "sheet.bmp").Bound(1).Name("Walk").Bound(1);
    b.Name("N").Bound(1).Frame(MakeFrame(1)).Frame(MakeFrame(2)).SmallDirection();
    b.Name("").Bound(0).Name("Up").Bound(2).Frame(MakeFrame(3)).Frame(MakeFrame(4)).Frame(MakeFrame(5));
    const std::vector<uint8_t>& bytes = b.Bytes;

    // Every truncation, from the empty file to one byte short.
    for (size_t n = 0; n < bytes.size(); ++n) {
        SCOPED_TRACE("first " + std::to_string(n) + " bytes");
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n));
        ProjectFileContents untouched;
        untouched.MaskColor = 99;
        std::string error;
        EXPECT_FALSE(ParseProjectBytes(part, untouched, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(untouched.MaskColor, 99);

        WriteFileBytes(dir / "hero.sip", part);
        MaskColor = 0x0BADBAD;
        MessageRecorder messages;
        EXPECT_FALSE(Open(dir.Path(), "hero.sip"));
        ASSERT_EQ(messages.Shown.size(), 1u);
        const Message& m = messages.Shown[0];
        EXPECT_EQ(m.Text.rfind("This project file is damaged or incomplete:\n\n" + dir / "hero.sip", 0), 0u);
        EXPECT_EQ(m.Title + (m.Icon == MsgIcon::Critical ? "!" : ""), "Whoops!");
        EXPECT_EQ(MaskColor, n < 4 ? 0x0BADBAD : 0x00112233);
        ExpectPlaceholder();
    }

    // Bytes after the tree are ignored.
    std::vector<uint8_t> longer = bytes;
    longer.insert(longer.end(), {0xFF, 0xFF, 0x7F});
    WriteFileBytes(dir / "hero.sip", longer);
    ASSERT_TRUE(Open(dir.Path(), "hero.sip"));
    EXPECT_EQ(Actions[1].Name, "Action 1");
    EXPECT_EQ(Actions[1].Directions[0].Frames, (std::vector<FrameData>{MakeFrame(3), MakeFrame(4), MakeFrame(5)}));

    MessageRecorder messages;
    MaskColor = 42;
    EXPECT_FALSE(Open(dir.Path(), "nothing.sip"));
    EXPECT_FALSE(Open(dir.Path(), "")); // a folder
    ASSERT_EQ(messages.Shown.size(), 2u);
    EXPECT_EQ(messages.Shown[0].Text.rfind("Can't open the project:\n\n" + dir / "nothing.sip", 0), 0u);
    EXPECT_EQ(messages.Shown[1].Title, "Whoops");
    EXPECT_EQ(MaskColor, 42);
    ExpectPlaceholder();
}

TEST(ProjectParser, ImpossibleLengthsAndCountsAreRefusedAndTheSmallestBlocksAccepted) {
    auto refused = [](const SipBuilder& b) {
        ProjectFileContents out;
        std::string error;
        LargestAllocation = 0;
        const bool ok = ParseProjectBytes(b.Bytes, out, error);
        EXPECT_LT(LargestAllocation, 4096u); // the files here are all smaller than 1 KiB
        return !ok && !error.empty();
    };
    SipBuilder negPath, noAction, negDirs, negFrames, hugePath, hugeName;
    negPath.Bound(0).Bound(0).Bound(-1).Bound(0).SmallDirection().Pad(100); // mask, then length -1
    noAction.Head(0, "p").Bound(-1).Pad(200);
    negDirs.Head(0, "p").Bound(0).Name("a").Bound(-2).Pad(200);
    negFrames.Head(0, "p").Bound(0).Name("a").Bound(0).Name("d").Bound(-1).Pad(200);
    hugePath.Bound(0).Bound(0).Bound(32767).Pad(100);
    hugeName.Head(0, "p").Bound(0).Name(std::string(255, 'n'));
    hugeName.Bytes.pop_back();
    for (const SipBuilder* b : {&negPath, &noAction, &negDirs, &negFrames, &hugePath, &hugeName})
        EXPECT_TRUE(refused(*b));

    // The largest bounds with too little behind them are refused before anything
    // is allocated for them; one block short is refused too.
    SipBuilder actions, dirs, frames, oneFrameShort;
    actions.Head(0, "p").Bound(32767).Name("").Bound(0).SmallDirection();
    dirs.Head(0, "p").Bound(0).Name("").Bound(32767).SmallDirection();
    frames.Head(0, "p").Bound(0).Name("").Bound(0).Name("").Bound(32767).Frame({});
    oneFrameShort.Head(0, "p").Bound(0).Name("").Bound(0).Name("").Bound(1).Frame({}).Pad(27);
    for (const SipBuilder* b : {&actions, &dirs, &frames, &oneFrameShort}) EXPECT_TRUE(refused(*b));

    // Blocks of the smallest size, packed to the last byte, are what the format allows.
    SipBuilder packed;
    packed.Head(0, "").Bound(2);
    for (int a = 0; a < 3; ++a) packed.Name("").Bound(0).SmallDirection();
    EXPECT_FALSE(refused(packed));
    SipBuilder many;
    many.Head(0, "").Bound(0).Name("").Bound(32766);
    for (int j = 0; j < 32767; ++j) many.SmallDirection();
    ProjectFileContents out;
    std::string error;
    ASSERT_TRUE(ParseProjectBytes(many.Bytes, out, error)) << error;
    EXPECT_EQ(out.Actions[0].Directions.size(), 32767u);
}
