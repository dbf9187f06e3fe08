#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <sys/wait.h>

#include "cli/CliRun.h"
#include "cli/CliSupport.h"
#include "project/SpriteProject.h"
#include "sif/SifFile.h"
#include "support/PngBuilder.h"
#include "support/TestSupport.h"

using Bytes = std::vector<uint8_t>;

namespace {

// The frames of the first direction of the first action.
std::vector<FrameData> FramesAt(const std::string& path) {
    ProjectFileContents c;
    std::string error;
    EXPECT_TRUE(ParseProjectBytes(ReadFileBytes(path), c, error)) << error;
    return c.Actions.at(0).Directions.at(0).Frames;
}

SifContents Parsed(const std::string& path) {
    SifContents c;
    std::string detail;
    EXPECT_EQ(ParseSifBytes(ReadFileBytes(path), c, detail), SifParseStatus::Ok) << detail;
    return c;
}

const std::string Sample = std::string(CELWRIGHT_EXAMPLES) + "/walker.sip";
const std::string Exists = " already exists; not replacing it (use --force to replace it)\n";

// A copy of the walker sample in a scratch folder.
class Cli : public testing::Test {
protected:
    void SetUp() override {
        for (const std::string name : {"walker.bmp", "walker.sip"})
            WriteFileBytes(dir / name, ReadFileBytes(std::string(CELWRIGHT_EXAMPLES) + "/" + name));
    }
    TempDir dir;
    const std::string sip = dir / "walker.sip";
};

} // namespace

TEST(CliUsage, HelpAndBadCommandLinesExitTwoWithAHint) {
    const Outcome help = Tool({"--help"});
    EXPECT_TRUE(help.Status == 0 && !help.Out.empty() && help.Err.empty());
    EXPECT_TRUE(Has(help.Out, "  or:  celwright-cli --version\n")) << help.Out;
    // The version answers like the editor's, wherever it stands before "--", and does nothing else.
    for (const Args& args : {Args{"--version"}, {"export", "a.sip", "--version"}, {"--quiet", "--version"}}) {
        const Outcome version = Tool(args);
        EXPECT_TRUE(version.Status == 0 && version.Out == "celwright-cli " CELWRIGHT_VERSION "\n" && version.Err.empty())
            << testing::PrintToString(args) << version.Out << version.Err;
    }
    ExpectFails(Tool({"info", "--", "--version"}), 1);
    const Args e = {"export", "a.sip", "b.sif"}, n = {"new", "s.bmp", "o.sip"}, d = n + Args{"--detect"},
               g = n + Args{"--grid", "8x8"};
    for (const Args& args : {Args{}, {"frob"}, {"export", "a.sip"}, e + Args{"c"}, e + Args{"--mode"},
             e + Args{"--mode", "256"}, e + Args{"--mode=grey", "--bogus"}, e + Args{"--force"}, {"import", "a.sif"},
             {"import", "a.sif", "dir/ab"}, {"import", "a.sif", "sheet.bmp"}, {"info"}, {"info", "a", "b"}, n,
             n + Args{"--detect", "--grid", "8x8"}, d + Args{"x"}, g + Args{"--merge-gap", "1"},
             g + Args{"--min-pixels", "1"}, d + Args{"--skip-empty"}, n + Args{"--grid", "0x8"},
             n + Args{"--grid", "8"}, n + Args{"--grid", "8x8+1+1,2x"}, n + Args{"--grid", "40000x8"},
             n + Args{"--grid", "8x8 "}, d + Args{"--merge-gap", "-1"}, d + Args{"--min-pixels", "many"},
             d + Args{"--delay", "32768"}, d + Args{"--mask", "FF00F"}, d + Args{"--hotspot", "middle"},
             d + Args{"--hotspot"}, {"atlas", "a"}, {"atlas", "a", "b", "c"}, {"atlas", "a", "b", "--image="},
             {"atlas", "a", "b", "--hash"}, {"atlas", "a", "b", "--array=1"}}) {
        const Outcome o = Tool(args);
        ExpectFails(o, 2);
        EXPECT_TRUE(Has(o.Err, "--help")) << testing::PrintToString(args) << o.Err;
    }
}

TEST_F(Cli, ExportWritesEveryModeAndCodingOrNothing) {
    const struct { Args options; int mode, flags; } cases[] = {
        {{}, 5, 3}, {{"--mode", "bw"}, 1, 3}, {{"--mode=2", "--no-compress-image"}, 2, 1},
        {{"--mode", "16", "--no-compress-structure"}, 4, 2},
        {{"--mode", "24", "--no-compress-structure", "--no-compress-image"}, 5, 0}};
    for (const auto& c : cases) {
        const Outcome o = Tool(Args{"export", sip, dir / "a.sif"} + c.options);
        ASSERT_EQ(o.Status, 0) << o.Err;
        EXPECT_TRUE(o.Err.empty() && Has(o.Out, "256 x 96")) << o.Out;
        const SifContents p = Parsed(dir / "a.sif");
        EXPECT_EQ(std::pair(int(p.Mode), int(p.Flags)), std::pair(c.mode, c.flags));
    }
    // Refusals write nothing and say why on one line; an older output survives.
    WriteFileBytes(dir / "out.sif", {9, 9, 9});
    const std::string depth = "Invalid bit depth mode specified.\n";
    const std::pair<Args, std::string> refused[] = {{{sip, dir / "x", "--mode", "0"}, depth},
        {{sip, dir / "x", "--mode", "3"}, depth}, {{sip, dir / "x", "--mode=6"}, depth},
        {{dir / "none.sip", dir / "out.sif"}, ""}, {{sip, sip}, ""}, {{sip, dir / "out.sif"}, "Can't find source image!\n"}};
    for (const auto& [args, err] : refused) {
        if (err[0] == 'C') std::remove((dir / "walker.bmp").c_str()); // without its sheet the project cannot be opened
        ExpectFails(Tool(Args{"export"} + args), 1, err);
    }
    EXPECT_EQ(ListDir(dir.Path()), (Args{"a.sif", "out.sif", "walker.sip"}));
    EXPECT_EQ(ReadFileBytes(dir / "out.sif"), (Bytes{9, 9, 9}));
    EXPECT_EQ(ReadFileBytes(sip), ReadFileBytes(Sample));
}

TEST_F(Cli, ImportRebuildsTheProjectButNeverReplacesFilesUnlessForced) {
    ASSERT_EQ(Tool({"export", sip, dir / "walker.sif"}).Status, 0);
    Bytes good = ReadFileBytes(dir / "walker.sif");
    WriteFileBytes(dir / "junk.sif", {'h', 'e', 'l', 'l', 'o'});
    WriteFileBytes(dir / "cut.sif", Bytes(good.begin(), good.begin() + good.size() / 2));
    const size_t image = Parsed(dir / "walker.sif").ImageOffset;
    good[image + 8] = good[image + 9] = 0; // a sheet width of 0
    WriteFileBytes(dir / "flat.sif", good);
    TempDir out;
    const std::string aborted = " SIF import aborted.\n";
    const struct { std::string in, out, err; } refused[] = {
        {"junk.sif", "a.sip", "File contents not recognised!" + aborted},
        {"cut.sif", "a.sip", "This SIF file is damaged or incomplete: " + dir / "cut.sif" + aborted},
        {"flat.sif", "a.sip", "SIF import aborted.\n"},
        {"none.sif", "a.sip", dir / "none.sif This file does not exist." + aborted},
        {"walker.sif", "missing/a.sip", ""}};
    for (const auto& c : refused) ExpectFails(Tool({"import", dir / c.in, out / c.out}), 1, c.err);

    const Args import = {"import", dir / "walker.sif", out / "hero.sip"}, forced = import + Args{"--force"};
    WriteFileBytes(out / "hero.bmp", {1, 2, 3});
    ExpectFails(Tool(import), 1, "hero.bmp" + Exists);
    EXPECT_EQ(ListDir(out.Path()), Args{"hero.bmp"}); // nothing left by any refusal
    EXPECT_EQ(ReadFileBytes(out / "hero.bmp"), (Bytes{1, 2, 3}));

    ASSERT_EQ(Tool(forced).Status, 0);
    EXPECT_EQ(ListDir(out.Path()), (Args{"hero.bmp", "hero.sip"}));
    EXPECT_TRUE(Has(Tool({"info", out / "hero.sip"}).Out, "Sheet path:    " + out / "hero.bmp\n"));
    // 24-bit colour is lossless: the rebuilt project exports to the same file.
    ASSERT_EQ(Tool({"export", out / "hero.sip", dir / "again.sif"}).Status, 0);
    EXPECT_EQ(ReadFileBytes(dir / "again.sif"), ReadFileBytes(dir / "walker.sif"));

    // A second import meets the project file first.
    const Bytes project = ReadFileBytes(out / "hero.sip");
    std::remove((out / "hero.bmp").c_str());
    ExpectFails(Tool(import), 1, "hero.sip" + Exists);
    EXPECT_EQ(ReadFileBytes(out / "hero.sip"), project);
    // A folder where the sheet should go: everything else succeeds, the last step cannot.
    std::remove((out / "hero.sip").c_str());
    std::filesystem::create_directory(out / "hero.bmp");
    const Outcome half = Tool(forced);
    ExpectFails(half);
    EXPECT_EQ(ListDir(out.Path()), Args{"hero.bmp"});
}

TEST_F(Cli, InfoGoesByContentAndRefusesDamagedFilesAlsoAsARealProcess) {
    const Bytes p = ReadFileBytes(sip);
    WriteFileBytes(dir / "odd.sif", p); // a project saved as .sif is still a project
    WriteFileBytes(dir / "cut.sip", Bytes(p.begin(), p.end() - 3));
    EXPECT_TRUE(Has(Tool({"info", dir / "odd.sif"}).Out, "\"Walk\": 2 directions\n    \"Right\": 4 frames\n"));
    ASSERT_EQ(Tool({"export", sip, dir / "w.sif"}).Status, 0);
    const Bytes w = ReadFileBytes(dir / "w.sif");
    WriteFileBytes(dir / "cut.sif", Bytes(w.begin(), w.end() - 3));
    for (const std::string name : {"cut.sip", "cut.sif", "none.sip"}) ExpectFails(Tool({"info", dir / name}));
    const std::string cli = CELWRIGHT_CLI_PATH, redirect = " >'" + dir / "out.txt" + "' 2>&1";
    EXPECT_EQ(WEXITSTATUS(std::system((cli + " info '" + sip + "'" + redirect).c_str())), 0);
    const Bytes text = ReadFileBytes(dir / "out.txt");
    EXPECT_TRUE(Has(std::string(text.begin(), text.end()), "\"Walk\": 2 directions"));
    EXPECT_EQ(WEXITSTATUS(std::system((cli + redirect).c_str())), 2);
}

TEST_F(Cli, NewDetectsTheWalkersTwelveSpritesIntoAProjectThatOpensAndExports) {
    const Outcome o = Tool({"new", "--detect", dir / "walker.bmp", dir / "found.sip", "--action", "Walk",
                            "--direction", "All", "--delay", "80"});
    ASSERT_EQ(o.Status, 0) << o.Err;
    EXPECT_TRUE(o.Err.empty() && Has(o.Out, "12 frames") && Has(o.Out, "0x00FF00FF")) << o.Out;
    EXPECT_TRUE(Has(Tool({"info", dir / "found.sip"}).Out,
                    "Sheet path:    walker.bmp\nActions:       1\n  \"Walk\": 1 direction\n    \"All\": 12 frames\n"));
    ASSERT_EQ(Tool({"export", dir / "found.sip", dir / "found.sif"}).Status, 0);
    // Reading order: the eight walking figures, then the four idle ones, each
    // row left to right; hot spots in the middle of each box's bottom row.
    const std::vector<FrameData> f = FramesAt(dir / "found.sip");
    ASSERT_EQ(f.size(), 12u);
    for (size_t i = 0; i < f.size(); ++i)
        EXPECT_EQ(std::vector<int>({f[i].X / 32, f[i].Y / 48, f[i].Delay, f[i].HotSpotX, f[i].HotSpotY}),
                  std::vector<int>({int(i % 8), int(i / 8), 80, (f[i].Width - 1) / 2, f[i].Height - 1}))
            << i;
}

TEST_F(Cli, NewCutsAGridTrimsItAndKeepsTheSheetWhereItIs) {
    TempDir out; // from another folder the sheet is stored by its full path
    ASSERT_EQ(Tool({"new", dir / "walker.bmp", out / "grid.sip", "--grid", "32x48", "--trim", "--skip-empty",
                    "--mask", "ff00ff"}).Status, 0);
    EXPECT_TRUE(Has(Tool({"info", out / "grid.sip"}).Out, "Sheet path:    " + dir / "walker.bmp\n"));
    const std::vector<FrameData> f = FramesAt(out / "grid.sip");
    ASSERT_EQ(f.size(), 12u); // the four empty cells are left out
    for (size_t i = 0; i < f.size(); ++i) // trimmed, yet anchored at the whole cell's bottom centre
        EXPECT_EQ(std::tuple(f[i].Width < 32, f[i].Height < 48, f[i].X + f[i].HotSpotX, f[i].Y + f[i].HotSpotY),
                  std::tuple(true, true, 32 * int(i % 8) + 15, 48 * int(i / 8) + 47)) << i;
    // Offset and gap: 30 x 46 cells from (1, 1), 2 apart, as many as fit.
    ASSERT_EQ(Tool({"new", dir / "walker.bmp", dir / "cells.sip", "--grid=30x46+1+1,2x2", "--hotspot", "topleft"})
                  .Status, 0);
    const std::vector<FrameData> c = FramesAt(dir / "cells.sip");
    ASSERT_EQ(c.size(), 16u);
    EXPECT_EQ(std::vector<int>({c[1].X, c[1].Y, c[1].Width, c[1].Height, c[1].HotSpotX, c[8].Y, c[15].X}),
              std::vector<int>({33, 1, 30, 46, 0, 49, 225}));
}

TEST_F(Cli, NewFindsTheSpritesOfATransparentPngWhateverTheMaskColour) {
    TestPicture sheet = MakePicture(64, 32, 0x123456); // transparent below: two sprites
    for (int y = 4; y < 20; ++y) sheet.At(5, y) = sheet.At(40, y) = 0x0000FF;
    WriteFileBytes(dir / "t.png", PngBuild::FromPicture(sheet, 0x123456));
    for (const Args& mask : {Args{}, Args{"--mask", "00ff00"}}) {
        ASSERT_EQ(Tool(Args{"new", dir / "t.png", dir / "t.sip", "--detect", "--force"} + mask).Status, 0);
        EXPECT_EQ(FramesAt(dir / "t.sip").size(), 2u) << mask.size();
    }
}

TEST_F(Cli, NewRefusesAndLeavesNoFile) {
    TestPicture blank = MakePicture(200, 200, 0x00FF00FF);
    WriteFileBytes(dir / "blank.bmp", MakeBmp24(blank));
    blank.At(0, 0) = 0x00123456; // the default mask is this pixel, so every other one is a sprite pixel
    WriteFileBytes(dir / "full.bmp", MakeBmp24(blank));
    WriteFileBytes(dir / "junk.bmp", {'B', 'M', 1, 2, 3});
    const Args before = ListDir(dir.Path());
    const std::string out = dir / "new.sip";
    const struct { Args args; std::string err; } cases[] = {
        {{"new", "--detect", dir / "junk.bmp", out}, dir / "junk.bmp This file is damaged or incomplete.\n"},
        {{"new", "--detect", dir / "none.bmp", out}, dir / "none.bmp This file does not exist.\n"},
        {{"new", "--detect", dir / "blank.bmp", out},
         "No sprite found on " + dir / "blank.bmp" + " with the mask colour 0x00FF00FF (red 255, green 0, blue 255)\n"},
        {{"new", "--grid", "4x4", "--skip-empty", dir / "blank.bmp", out}, ""},
        {{"new", "--grid", "1x1", dir / "full.bmp", out},
         "A direction holds at most 32,768 frames; this one would hold 40000\n"},
        {{"new", "--grid", "300x8", dir / "walker.bmp", out}, ""},
        {{"new", "--detect", dir / "walker.bmp", sip}, sip + Exists},
        {{"new", "--detect", dir / "walker.bmp", dir / "walker.bmp", "--force"}, ""},
    };
    for (const auto& c : cases) ExpectFails(Tool(c.args), 1, c.err);
    EXPECT_EQ(ListDir(dir.Path()), before);
    EXPECT_EQ(ReadFileBytes(sip), ReadFileBytes(Sample));
    // One sprite filling the sheet but for its corner, and --force replaces.
    ASSERT_EQ(Tool({"new", "--detect", dir / "full.bmp", sip, "--force"}).Status, 0);
    const FrameData f = FramesAt(sip).at(0);
    EXPECT_EQ(std::vector<int>({f.X, f.Y, f.Width, f.Height}), std::vector<int>({0, 0, 200, 200}));
}

TEST_F(Cli, ProgressGoesOnlyToATerminalAndQuietSilencesItEverywhere) {
    struct Restore {
        bool (*was)() = CliSupport::StderrIsTerminal;
        ~Restore() { CliSupport::StderrIsTerminal = was; }
    } restore;
    const Args exporting = {"export", sip, dir / "a.sif"}, importing = {"import", dir / "a.sif", dir / "b.sip"};
    for (bool terminal : {false, true}) {
        CliSupport::StderrIsTerminal = terminal ? +[] { return true; } : +[] { return false; };
        for (bool quiet : {false, true}) {
            for (const Args& args : {exporting, importing + Args{"--force"}}) {
                SCOPED_TRACE(testing::PrintToString(args) + (terminal ? " terminal" : "") + (quiet ? " quiet" : ""));
                // --quiet is taken before the command and among its options alike.
                const Outcome o = Tool(quiet ? (args[0] == "export" ? Args{"--quiet"} + args : args + Args{"--quiet"}) : args);
                ASSERT_EQ(o.Status, 0) << o.Err;
                if (!terminal || quiet) {
                    EXPECT_EQ(o.Err, "");
                    continue;
                }
                // One line rewritten in place up to 100%, then blanked: never a line break.
                const std::string line = "\r" + std::string(args[0] == "export" ? "Exporting" : "Importing");
                EXPECT_TRUE(o.Err.starts_with(line + " 0%") && Has(o.Err, line + " 100%") && o.Err.ends_with(" \r"));
                EXPECT_EQ(o.Err.find('\n'), std::string::npos) << o.Err;
            }
        }
    }
    for (const Args& args : {Args{"info", sip, "--quiet"}, Args{"atlas", "--quiet", sip, dir / "a.json"}})
        EXPECT_EQ(Tool(args).Status, 0);
    ExpectFails(Tool({"info", "--", "--quiet"}), 1, "--quiet This file does not exist.\n"); // a name after "--"
}

namespace {

// All directions of the first action: each its frames' rectangles.
std::vector<std::vector<std::vector<int>>> DirectionRects(const std::string& path) {
    ProjectFileContents c;
    std::string error;
    EXPECT_TRUE(ParseProjectBytes(ReadFileBytes(path), c, error)) << error;
    std::vector<std::vector<std::vector<int>>> out;
    for (const DirectionData& d : c.Actions.at(0).Directions) {
        out.emplace_back();
        for (const FrameData& f : d.Frames) out.back().push_back({f.X, f.Y, f.Width, f.Height});
        EXPECT_TRUE(d.Name.empty() && d.FrameUBound + 1 == int(d.Frames.size()));
    }
    return out;
}

// Game art as it comes: an RGBA sheet of 8 x 2 cells of 64 x 64 between
// 2-pixel dark lines, figures outlined in the lines' colour on a transparent
// background. Row 0 uses its first six cells, the fourth left transparent and
// the last two painted flat; row 1 its first four, the rest one unused area
// painted flat over the lines between its cells.
constexpr int32_t Dark = 0x202020, Flat = 0x808080, Clear = 0x123456;
std::vector<uint8_t> GameSheet() {
    TestPicture p = MakePicture(526, 130, Clear);
    for (int i = 0; i < 7; ++i)
        for (int y = 0; y < 130; ++y) p.At(64 + 66 * i, y) = p.At(65 + 66 * i, y) = Dark;
    for (int x = 0; x < 526; ++x) p.At(x, 64) = p.At(x, 65) = Dark;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 8; ++c) {
            const int x0 = 66 * c, y0 = 66 * r;
            const bool used = r == 0 ? c < 6 && c != 3 : c < 4;
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x) {
                    const double dx = (x - 31.5) / (20 + c), dy = (y - 40) / 23.5;
                    const double d = dx * dx + dy * dy;
                    if (!used && r == 0 && c >= 6) p.At(x0 + x, y0 + y) = Flat;
                    else if (used && d <= 1) p.At(x0 + x, y0 + y) = d > 0.8 ? Dark : 0x3070B0 + 0x010101 * ((x + y) % 7);
                }
        }
    for (int y = 66; y < 130; ++y)
        for (int x = 4 * 66; x < 526; ++x) p.At(x, y) = Flat;
    return PngBuild::FromPicture(p, Clear);
}

} // namespace

TEST_F(Cli, NewFindsTheGridOfGameArtAndMakesADirectionOfEachRowOfItsUsedCells) {
    WriteFileBytes(dir / "game.png", GameSheet());
    const Outcome o = Tool({"new", dir / "game.png", dir / "game.sip", "--grid", "auto", "--skip-empty",
                            "--rows-as-directions", "--hotspot", "topleft"});
    ASSERT_EQ(o.Status, 0) << o.Err;
    EXPECT_TRUE(o.Out.starts_with("grid 64x64+0+0,2x2\nWrote ") && Has(o.Out, ": 9 frames in 2 directions of grid cells"))
        << o.Out;
    const auto cell = [](int c, int r) { return std::vector<int>{66 * c, 66 * r, 64, 64}; };
    EXPECT_EQ(DirectionRects(dir / "game.sip"),
              (std::vector<std::vector<std::vector<int>>>{{cell(0, 0), cell(1, 0), cell(2, 0), cell(4, 0), cell(5, 0)},
                                                           {cell(0, 1), cell(1, 1), cell(2, 1), cell(3, 1)}}));
    EXPECT_TRUE(Has(Tool({"info", dir / "game.sip"}).Out, "Actions:       1\n  Action 0: 2 directions\n"));
    // The grid as printed cuts the same cells; without the rows, all in one direction as before.
    const Outcome typed = Tool({"new", dir / "game.png", dir / "one.sip", "--grid", "64x64+0+0,2x2", "--skip-empty"});
    ASSERT_EQ(typed.Status, 0) << typed.Err;
    EXPECT_TRUE(Has(typed.Out, ": 9 frames of grid cells")) << typed.Out;
    EXPECT_EQ(DirectionRects(dir / "one.sip").size(), 1u);
    EXPECT_EQ(FramesAt(dir / "one.sip").size(), 9u);
}

TEST_F(Cli, NewRowsAsDirectionsForDetectedSpritesAndTheWalkersGrid) {
    for (const Args& how : {Args{"--detect"}, Args{"--grid", "32x48", "--skip-empty", "--trim"}}) {
        const Outcome o = Tool(Args{"new", dir / "walker.bmp", dir / "rows.sip", "--force", "--rows-as-directions",
                                    "--action", "Walk"} + how);
        ASSERT_EQ(o.Status, 0) << o.Err;
        EXPECT_TRUE(Has(o.Out, "12 frames in 2 directions")) << o.Out;
        EXPECT_TRUE(Has(Tool({"info", dir / "rows.sip"}).Out,
                        "\"Walk\": 2 directions\n    Dir 0: 8 frames\n    Dir 1: 4 frames\n")) << how[0];
    }
    // The walker's grid has no lines: found from the gutters between its figures.
    const Outcome found = Tool({"new", dir / "walker.bmp", dir / "auto.sip", "--grid", "auto", "--skip-empty",
                                "--rows-as-directions"});
    EXPECT_TRUE(found.Status == 0 && found.Out.starts_with("grid 32x48+0+0,0x0\n")) << found.Out << found.Err;
    EXPECT_TRUE(Has(found.Out, "12 frames in 2 directions")) << found.Out;
    // Refused: the grid of a sheet without one, in one line; options that do not go together.
    TestPicture scattered = MakePicture(120, 80, 0x00FF00FF);
    for (const auto& [x0, y0, w, h] : {std::array{2, 3, 40, 9}, {30, 15, 50, 11}, {5, 30, 12, 40}, {60, 30, 55, 6}})
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) scattered.At(x, y) = 0x102030;
    WriteFileBytes(dir / "scattered.bmp", MakeBmp24(scattered));
    ExpectFails(Tool({"new", dir / "scattered.bmp", dir / "s.sip", "--grid", "auto"}), 1,
                "No regular grid was found: no separator lines, and no gutters between sprites at one period on " +
                    dir / "scattered.bmp\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "s.sip"));
    for (const Args& wrong : {Args{"--grid", "autox"}, Args{"--grid", "auto", "--rows-as-directions", "--direction", "D"},
                              Args{"--detect", "--rows-as-directions=1"}})
        ExpectFails(Tool(Args{"new", dir / "walker.bmp", dir / "w.sip"} + wrong), 2);
    EXPECT_TRUE(Has(Tool({"--help"}).Out, "--grid auto") && Has(Tool({"--help"}).Out, "--rows-as-directions"));
}
