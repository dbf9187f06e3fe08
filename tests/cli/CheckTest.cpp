// celwright-cli check: every kind of finding on a drawn project, the depth-mode
// table against real exports, the JSON document and the exit statuses.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/CliRun.h"
#include "project/SpriteProject.h"
#include "sif/SifFile.h"
#include "support/TestSupport.h"

using Json = nlohmann::ordered_json;

namespace {

constexpr int32_t Magenta = 0x00FF00FF;
constexpr int Cell = 32, CellH = 48;

// A walking figure in a cell, its feet on row 35 and its middle on column 15,
// moved down by dy; legs apart by more or less with the pose.
void Figure(TestPicture& pic, int cellX, int pose, int dy = 0) {
    const int cx = cellX + 15, foot = 35 + dy;
    for (int y = foot - 20; y <= foot - 6; ++y)
        for (int x = cx - 3; x <= cx + 3; ++x) pic.At(x, y) = y < foot - 16 ? 0x00C0D0F1 : 0x00302083;
    const int swing = 1 + pose % 4;
    for (int y = foot - 5; y <= foot; ++y) pic.At(cx - swing, y) = pic.At(cx + swing, y) = 0x00101010;
}

FrameData CellFrame(int x, int hotX = 15) {
    FrameData f;
    f.X = x;
    f.Width = Cell;
    f.Height = CellH;
    f.HotSpotX = hotX;
    f.HotSpotY = 35;
    return f;
}

// Frames 0-3 a clean walk, 4 a figure 3 pixels low, 5 an empty cell, 6-8 one
// picture three times (two cells alike, then the same cell again), 9 never
// marked, 10 a figure whose frame runs past the sheet's right edge.
class Check : public testing::Test {
protected:
    void SetUp() override {
        TestPicture pic = MakePicture(10 * Cell, CellH, Magenta);
        for (int i = 0; i < 4; ++i) Figure(pic, i * Cell, i);
        Figure(pic, 4 * Cell, 1, 3);
        Figure(pic, 6 * Cell, 2);
        Figure(pic, 7 * Cell, 2);
        Figure(pic, 9 * Cell, 0);
        WriteFileBytes(dir / "drawn.bmp", MakeBmp24(pic));

        std::vector<FrameData> walk;
        for (int i = 0; i < 9; ++i) walk.push_back(CellFrame(std::min(i, 7) * Cell));
        walk.push_back(FrameData{});
        walk.push_back(CellFrame(9 * Cell + 2, 13));
        // A clean direction of three, and one of two whose frames disagree
        // wildly: too few to say which is right.
        std::vector<FrameData> clean = {CellFrame(0), CellFrame(Cell), CellFrame(2 * Cell)};
        std::vector<FrameData> two = {CellFrame(0), CellFrame(Cell, 0)};
        Write("drawn.sip", {{"Walk", {{"Right", walk}, {"Left", clean}}}, {"", {{"", two}}}});
    }

    using Tree = std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::vector<FrameData>>>>>;
    void Write(const std::string& name, const Tree& tree) {
        std::vector<ActionData> actions;
        for (const auto& [aName, dirs] : tree) {
            ActionData a;
            a.Name = aName;
            for (const auto& [dName, frames] : dirs) {
                a.Directions.push_back({frames, static_cast<int16_t>(frames.size() - 1), dName});
            }
            a.DirUBound = static_cast<int16_t>(a.Directions.size() - 1);
            actions.push_back(a);
        }
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(BuildProjectBytes(Magenta, "drawn.bmp", actions, bytes, error)) << error;
        WriteFileBytes(dir / name, bytes);
    }

    TempDir dir;
    const std::string sip = dir / "drawn.sip";
};

const std::string Findings = "Walk/Right/4: hot spot jitters: the sprite stands 3 pixels low of the others\n"
                             "Walk/Right/5: holds no sprite pixel (32 x 48 at 160, 0)\n"
                             "Walk/Right/6-8: 3 consecutive frames with the same pixels\n"
                             "Walk/Right/9: not marked (size 0 x 0) among marked frames\n"
                             "Walk/Right/10: reaches outside the 320 x 48 sheet (32 x 48 at 290, 0)\n";

} // namespace

TEST_F(Check, ListsEveryFindingOnceAndExitsThree) {
    const Outcome o = Tool({"check", sip});
    EXPECT_EQ(o.Status, 3);
    EXPECT_EQ(o.Err, "");
    EXPECT_TRUE(o.Out.starts_with(Findings + "5 problems found in " + sip + ".\n\n")) << o.Out;
    // A looser jitter limit lets the low figure pass; a stricter one changes nothing else here.
    const Outcome loose = Tool({"check", "--jitter", "3", sip});
    EXPECT_TRUE(Has(loose.Out, "4 problems found") && !Has(loose.Out, "jitters")) << loose.Out;
    EXPECT_EQ(Tool({"check", sip, "--jitter=1"}).Out, o.Out);
}

TEST_F(Check, TheModeTableMatchesWhatExportWrites) {
    const Outcome o = Tool({"check", sip});
    const size_t table = o.Out.find("Depth modes for the 320 x 48 sheet (.sif size with both sections coded):\n");
    ASSERT_NE(table, std::string::npos) << o.Out;
    const Json doc = Json::parse(Tool({"check", sip, "--json"}).Out);
    const char* names[] = {"bw", "grey", "16", "24"};
    for (int m = 0; m < 4; ++m) {
        ASSERT_EQ(Tool({"export", sip, dir / "x.sif", "--mode", names[m]}).Status, 0);
        const Json& row = doc["modes"][m];
        EXPECT_EQ(row["sifBytes"].get<size_t>(), ReadFileBytes(dir / "x.sif").size()) << names[m];
        // Each line of the table says the same as the document.
        const std::string size = std::to_string(row["sifBytes"].get<size_t>()) + " bytes  ";
        const std::string fate = row["unchanged"].get<bool>()
                                     ? std::string("unchanged")
                                     : std::to_string(row["changedPixels"].get<uint64_t>()) +
                                           " pixels changed, largest channel error " +
                                           std::to_string(row["maxChannelError"].get<int>());
        EXPECT_TRUE(Has(o.Out.substr(table), row["name"].get<std::string>()) && Has(o.Out, size + fate + "\n"))
            << o.Out << size << fate;
    }
    // The figures' colours lose bits in 16-bit colour; 24-bit keeps all.
    EXPECT_EQ(std::vector<bool>({doc["modes"][0]["unchanged"], doc["modes"][2]["unchanged"], doc["modes"][3]["unchanged"]}),
              std::vector<bool>({false, false, true}));
    EXPECT_EQ(doc["modes"][2]["maxChannelError"], 3);
}

TEST_F(Check, TheJsonDocumentHoldsTheSameFindings) {
    const Outcome o = Tool({"check", "--json", sip});
    EXPECT_EQ(o.Status, 3);
    const Json doc = Json::parse(o.Out);
    std::vector<std::string> keys;
    for (const auto& [k, v] : doc.items()) keys.push_back(k);
    EXPECT_EQ(keys, (std::vector<std::string>{"project", "sheet", "maskColor", "jitterLimit", "ok", "problems", "modes"}));
    EXPECT_EQ(doc["sheet"], Json({{"path", dir / "drawn.bmp"}, {"width", 320}, {"height", 48}}));
    EXPECT_EQ(doc["ok"], false);
    std::string lines;
    for (const Json& p : doc["problems"]) lines += p["frames"].get<std::string>() + ": " + p["message"].get<std::string>() + "\n";
    EXPECT_EQ(lines, Findings);
    EXPECT_EQ(doc["problems"][0],
              Json({{"kind", "jitter"}, {"frames", "Walk/Right/4"}, {"action", 0}, {"direction", 0}, {"first", 4},
                    {"last", 4}, {"message", "hot spot jitters: the sprite stands 3 pixels low of the others"},
                    {"dx", 0.0}, {"dy", 3.0}}));
    EXPECT_EQ(doc["problems"][2]["kind"], "identical");
    EXPECT_EQ(std::pair(doc["problems"][2]["first"].get<int>(), doc["problems"][2]["last"].get<int>()), std::pair(6, 8));
    EXPECT_EQ(doc["modes"].size(), 4u);
    EXPECT_EQ(doc["modes"][1].size(), 6u);
}

TEST_F(Check, ExitStatusesZeroThreeOneAndTwo) {
    // The sample has nothing wrong, and a project of clean directions neither.
    const std::string walker = std::string(CELWRIGHT_EXAMPLES) + "/walker.sip";
    const Outcome w = Tool({"check", walker});
    EXPECT_EQ(w.Status, 0) << w.Out;
    EXPECT_TRUE(Has(w.Out, "No problems found") && Has(w.Out, "  1 Black & White") && Has(w.Out, "  2 Greyscale") &&
                Has(w.Out, "  4 16-bit color") && Has(w.Out, "  5 24-bit color") && Has(w.Out, "unchanged\n"))
        << w.Out;
    EXPECT_EQ(Json::parse(Tool({"check", walker, "--json"}).Out)["ok"], true);
    Write("clean.sip", {{"A", {{"B", {CellFrame(0), CellFrame(Cell), CellFrame(2 * Cell), CellFrame(3 * Cell)}}}}});
    EXPECT_EQ(Tool({"check", dir / "clean.sip"}).Status, 0);
    EXPECT_EQ(Tool({"check", sip}).Status, 3);

    // Projects that cannot be read: one line on stderr, nothing on stdout.
    WriteFileBytes(dir / "cut.sip", {1, 2, 3});
    ExpectFails(Tool({"check", dir / "cut.sip"}));
    ExpectFails(Tool({"check", dir / "none.sip"}), 1,
                "Can't open the project: " + dir / "none.sip The file does not exist or is not a regular file\n");
    std::remove((dir / "drawn.bmp").c_str());
    ExpectFails(Tool({"check", sip}), 1, "Can't find source image!\n");

    for (const Args& args : {Args{"check"}, {"check", "a.sip", "b.sip"}, {"check", "a.sip", "--jitter"},
                             {"check", "a.sip", "--jitter", "x"}, {"check", "a.sip", "--jitter=-1"},
                             {"check", "a.sip", "--jitter", "40000"}, {"check", "a.sip", "--json=1"},
                             {"check", "a.sip", "--bogus"}}) {
        const Outcome o = Tool(args);
        ExpectFails(o, 2);
        EXPECT_TRUE(Has(o.Err, "--help")) << testing::PrintToString(args);
    }
    EXPECT_TRUE(Has(Tool({"--help"}).Out, "check PROJECT.sip [--jitter N] [--json]:"));
}
