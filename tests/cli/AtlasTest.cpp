// celwright-cli atlas: both layouts parsed back and checked against the
// project, the transparent PNG image, PNG sheets, names, and refusals.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

#include "bitmap/BitmapHelpers.h"
#include "cli/CliRun.h"
#include "project/SpriteProject.h"
#include "support/PngBuilder.h"

using Json = nlohmann::ordered_json;

namespace {

Json ParsedJson(const std::string& path) {
    const Bytes b = ReadFileBytes(path);
    return Json::parse(b.begin(), b.end());
}

constexpr int32_t Magenta = 0x00FF00FF;

// A frame's entry as the atlas writes it.
Json FrameJson(const FrameData& f) {
    return {{"frame", {{"x", f.X}, {"y", f.Y}, {"w", f.Width}, {"h", f.Height}}},
            {"rotated", false},
            {"trimmed", false},
            {"spriteSourceSize", {{"x", 0}, {"y", 0}, {"w", f.Width}, {"h", f.Height}}},
            {"sourceSize", {{"w", f.Width}, {"h", f.Height}}},
            {"duration", f.Delay},
            {"pivot", {{"x", double(f.HotSpotX) / f.Width}, {"y", double(f.HotSpotY) / f.Height}}}};
}

// Tags as the atlas writes them: name, first and last frame.
Json Tags(std::initializer_list<std::tuple<const char*, int, int>> tags) {
    Json out = Json::array();
    for (const auto& [name, from, to] : tags)
        out.push_back({{"name", name}, {"from", from}, {"to", to}, {"direction", "forward"}});
    return out;
}

// The walker sample in a scratch folder, and projects made from it.
class Atlas : public testing::Test {
protected:
    void SetUp() override {
        for (const std::string name : {"walker.bmp", "walker.sip"})
            WriteFileBytes(dir / name, ReadFileBytes(std::string(CELWRIGHT_EXAMPLES) + "/" + name));
        std::string error;
        ASSERT_TRUE(ParseProjectBytes(ReadFileBytes(dir / "walker.sip"), walker, error)) << error;
        cBitMap bm;
        ASSERT_TRUE(bm.LoadBMP(dir / "walker.bmp"));
        sheet = {bm.Width(), bm.Height(), ColorsOf(bm)};
    }
    // Writes a project of these actions naming that sheet.
    void WriteProject(const std::string& name, std::vector<ActionData> actions, const std::string& sheetName,
                      int32_t mask = Magenta) {
        for (ActionData& a : actions) {
            a.DirUBound = static_cast<int16_t>(a.Directions.size() - 1);
            for (DirectionData& d : a.Directions) d.FrameUBound = static_cast<int16_t>(d.Frames.size() - 1);
        }
        Bytes bytes;
        std::string error;
        ASSERT_TRUE(BuildProjectBytes(mask, sheetName, actions, bytes, error)) << error;
        WriteFileBytes(dir / name, bytes);
    }
    TempDir dir;
    ProjectFileContents walker;
    TestPicture sheet; // the walker sheet, top row first
};

} // namespace

TEST_F(Atlas, BothLayoutsHoldEveryFrameInOrderWithItsTags) {
    const Outcome hash = Tool({"atlas", dir / "walker.sip", dir / "hash.json"});
    EXPECT_EQ(hash.Out, "Wrote " + dir / "hash.json" +
                            ": 12 frames in 4 tags (hash layout) on the 256 x 96 image walker.bmp\n");
    ASSERT_EQ(Tool({"atlas", "--array", dir / "walker.sip", dir / "array.json"}).Status, 0);
    // The array layout holds the same objects with their names in front.
    Json frames = Json::object(), array = Json::array();
    for (const ActionData& a : walker.Actions)
        for (const DirectionData& d : a.Directions)
            for (size_t i = 0; i < d.Frames.size(); ++i) {
                const std::string name = a.Name + "/" + d.Name + "/" + std::to_string(i);
                frames[name] = FrameJson(d.Frames[i]);
                array.push_back(Json{{"filename", name}});
                array.back().update(frames[name]);
            }
    ASSERT_EQ(frames.size(), 12u);
    const Json meta = {{"app", "Celwright"}, {"version", "1.8"}, {"image", "walker.bmp"}, {"format", "RGB888"},
                       {"size", {{"w", 256}, {"h", 96}}}, {"scale", "1"},
                       {"frameTags", Tags({{"Walk/Right", 0, 3}, {"Walk/Left", 4, 7}, {"Idle/Right", 8, 9},
                                           {"Idle/Left", 10, 11}})}};
    EXPECT_EQ(ParsedJson(dir / "hash.json"), Json({{"frames", frames}, {"meta", meta}}));
    EXPECT_EQ(ParsedJson(dir / "array.json"), Json({{"frames", array}, {"meta", meta}}));
}

TEST_F(Atlas, TheImageIsTheSheetWithTheMaskColourTransparentAndNamedFromTheAtlas) {
    std::filesystem::create_directories(dir / "out/img");
    ASSERT_EQ(Tool({"atlas", dir / "walker.sip", dir / "out/w.json", "--image", dir / "out/img/w.png"}).Status, 0);
    const Json j = ParsedJson(dir / "out/w.json");
    EXPECT_EQ(std::pair(j["meta"]["image"], j["meta"]["format"]), std::pair(Json("img/w.png"), Json("RGBA8888")));
    // Read back with clear pixels in a colour of their own: exactly the magenta ones are clear.
    cBitMap back;
    ASSERT_TRUE(back.LoadBMP(dir / "out/img/w.png", 0x00010203));
    TestPicture want = sheet;
    std::replace(want.Colors.begin(), want.Colors.end(), Magenta, 0x00010203);
    EXPECT_EQ(ColorsOf(back), want.Colors);
    EXPECT_GT(std::count(want.Colors.begin(), want.Colors.end(), 0x00010203), 256 * 96 / 2);
    // Atlas and sheet in other folders: the sheet is named by the way there.
    ASSERT_EQ(Tool({"atlas", dir / "walker.sip", dir / "out/img/far.json", "--image=" + dir / "w2.png"}).Status, 0);
    EXPECT_EQ(ParsedJson(dir / "out/img/far.json")["meta"]["image"], "../../w2.png");
}

TEST_F(Atlas, APngSheetWorksForExportAndAtlasUnderTheProjectsMaskColour) {
    // The walker with a transparent background instead of magenta, under a project whose
    // mask colour is green, exports like the same sheet as a BMP with green background.
    WriteFileBytes(dir / "walker.png", PngBuild::FromPicture(sheet, Magenta));
    std::replace(sheet.Colors.begin(), sheet.Colors.end(), Magenta, 0x0000FF00);
    WriteFileBytes(dir / "green.bmp", MakeBmp24(sheet));
    WriteProject("png.sip", walker.Actions, "walker.png", 0x0000FF00);
    WriteProject("green.sip", walker.Actions, "green.bmp", 0x0000FF00);
    for (const char* mode : {"bw", "grey", "16", "24"}) {
        ASSERT_EQ(Tool({"export", dir / "png.sip", dir / "png.sif", "--mode", mode}).Status, 0) << mode;
        ASSERT_EQ(Tool({"export", dir / "green.sip", dir / "green.sif", "--mode", mode}).Status, 0) << mode;
        EXPECT_EQ(ReadFileBytes(dir / "png.sif"), ReadFileBytes(dir / "green.sif")) << mode;
    }
    ASSERT_EQ(Tool({"atlas", dir / "png.sip", dir / "png.json"}).Status, 0);
    const Json j = ParsedJson(dir / "png.json");
    EXPECT_EQ(std::tuple(j["meta"]["image"], j["meta"]["format"], j["frames"].size()),
              std::tuple(Json("walker.png"), Json("RGBA8888"), 12u));
}

TEST_F(Atlas, UnnamedRepeatedAndUnmarkedEntries) {
    const FrameData f{.X = 2, .Y = 3, .Height = 20, .Width = 10, .Delay = 50, .HotSpotX = 5, .HotSpotY = -4},
        unmarked{};
    ActionData unnamed, twin;
    unnamed.Directions = {{{f, unmarked, f}, 0, ""}, {{unmarked}, 0, "Empty"}};
    twin.Name = "Run";
    twin.Directions = {{{f}, 0, "Up"}, {{unmarked, f}, 0, "Up"}};
    WriteProject("odd.sip", {unnamed, twin, twin}, "walker.bmp");
    ASSERT_EQ(Tool({"atlas", dir / "odd.sip", dir / "odd.json"}).Status, 0);
    const Json j = ParsedJson(dir / "odd.json");
    Json frames = Json::object();
    for (const char* name : {"Action 0/Dir 0/0", "Action 0/Dir 0/2", "Run/Up/0", "Run/Up (2)/1", "Run/Up (3)/0",
                             "Run/Up (4)/1"})
        frames[name] = FrameJson(f);
    EXPECT_EQ(j["frames"], frames);
    EXPECT_EQ(j["meta"]["frameTags"], Tags({{"Action 0/Dir 0", 0, 1}, {"Run/Up", 2, 2}, {"Run/Up (2)", 3, 3},
                                            {"Run/Up (3)", 4, 4}, {"Run/Up (4)", 5, 5}}));
}

TEST_F(Atlas, RefusalsWriteNothing) {
    const FrameData wide{.X = 250, .Height = 1, .Width = 7}, negative{.Height = 4, .Width = -3};
    WriteProject("wide.sip", {{{{{wide}, 0, "R"}}, 0, "W"}}, "walker.bmp");
    WriteProject("negative.sip", {{{{{negative}, 0, ""}}, 0, ""}}, "walker.bmp");
    WriteFileBytes(dir / "bad.png", Bytes{137, 80, 78, 71, 13, 10, 26, 10, 0, 0});
    WriteProject("badpng.sip", walker.Actions, "bad.png");
    const std::string out = dir / "a.json", img = dir / "a.png", beyond = " does not lie within the 256 x 96 sheet: ";
    const struct { Args args; std::string err; } refused[] = {
        {{dir / "wide.sip", out, "--image", img}, "The frame W/R/0 (7 x 1 at 250, 0)" + beyond + dir / "wide.sip\n"},
        {{dir / "negative.sip", out}, "The frame Action 0/Dir 0/0 (-3 x 4 at 0, 0)" + beyond + dir / "negative.sip\n"},
        {{dir / "badpng.sip", out, "--image", img}, dir / "bad.png This file is damaged or incomplete.\n"},
        {{dir / "none.sip", out},
         "Can't open the project: " + dir / "none.sip The file does not exist or is not a regular file\n"},
        {{dir / "walker.sip", dir / "walker.sip"}, dir / "walker.sip is the project itself; not replacing it\n"},
        {{dir / "walker.sip", out, "--image", dir / "walker.bmp"},
         dir / "walker.bmp is the project's sheet; not replacing it\n"},
        {{dir / "walker.sip", out, "--image", out}, out + " is also the atlas; give the image another name\n"},
        {{dir / "walker.sip", dir / "no/such/a.json", "--image", img}, ""},
    };
    const std::vector<std::string> before = ListDir(dir.Path());
    for (const auto& c : refused) ExpectFails(Tool(Args{"atlas"} + c.args), 1, c.err);
    EXPECT_EQ(ListDir(dir.Path()), before);
}
