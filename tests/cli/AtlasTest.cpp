// celwright-cli atlas: both layouts parsed back and checked against the
// project, the transparent PNG image, PNG sheets, names, and refusals.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>

#include "bitmap/PngFile.h"
#include "cli/CliRun.h"
#include "project/SpriteProject.h"
#include "support/PngBuilder.h"
#include "support/TestSupport.h"

using Bytes = std::vector<uint8_t>;
using Json = nlohmann::ordered_json;

namespace {

Json ParsedJson(const std::string& path) {
    const Bytes b = ReadFileBytes(path);
    return Json::parse(b.begin(), b.end());
}

constexpr int32_t Magenta = 0x00FF00FF;

// The walker sample in a scratch folder, and projects made from it.
class Atlas : public testing::Test {
protected:
    void SetUp() override {
        for (const std::string name : {"walker.bmp", "walker.sip"})
            WriteFileBytes(dir / name, ReadFileBytes(std::string(CELWRIGHT_EXAMPLES) + "/" + name));
        std::string error;
        ASSERT_TRUE(ParseProjectBytes(ReadFileBytes(dir / "walker.sip"), walker, error)) << error;
    }
    // Writes a project of these actions naming that sheet.
    void WriteProject(const std::string& name, std::vector<ActionData> actions, const std::string& sheet,
                      int32_t mask = Magenta) {
        for (ActionData& a : actions) {
            a.DirUBound = static_cast<int16_t>(a.Directions.size() - 1);
            for (DirectionData& d : a.Directions) d.FrameUBound = static_cast<int16_t>(d.Frames.size() - 1);
        }
        Bytes bytes;
        std::string error;
        ASSERT_TRUE(BuildProjectBytes(mask, sheet, actions, bytes, error)) << error;
        WriteFileBytes(dir / name, bytes);
    }
    // The walker sheet as a 24-bit picture, top row first.
    TestPicture WalkerPicture() {
        cBitMap bm;
        EXPECT_TRUE(bm.LoadBMP(dir / "walker.bmp"));
        TestPicture p = MakePicture(bm.Width(), bm.Height());
        for (int y = 0; y < p.Height; ++y)
            for (int x = 0; x < p.Width; ++x) {
                const uint8_t* s = bm.Pixels().data() + (p.Height - 1 - y) * bm.Stride() + 3 * x;
                p.At(x, y) = s[2] | s[1] << 8 | s[0] << 16;
            }
        return p;
    }
    TempDir dir;
    ProjectFileContents walker;
};

// Every frame of every direction in order, named as the atlas names them.
std::vector<std::pair<std::string, FrameData>> NamedFrames(const ProjectFileContents& p) {
    std::vector<std::pair<std::string, FrameData>> out;
    for (const ActionData& a : p.Actions)
        for (const DirectionData& d : a.Directions)
            for (size_t i = 0; i < d.Frames.size(); ++i)
                out.emplace_back(a.Name + "/" + d.Name + "/" + std::to_string(i), d.Frames[i]);
    return out;
}

void ExpectFrame(const Json& j, const FrameData& f) {
    EXPECT_EQ(j["frame"], Json({{"x", f.X}, {"y", f.Y}, {"w", f.Width}, {"h", f.Height}}));
    EXPECT_EQ(j["rotated"], false);
    EXPECT_EQ(j["trimmed"], false);
    EXPECT_EQ(j["spriteSourceSize"], Json({{"x", 0}, {"y", 0}, {"w", f.Width}, {"h", f.Height}}));
    EXPECT_EQ(j["sourceSize"], Json({{"w", f.Width}, {"h", f.Height}}));
    EXPECT_EQ(j["duration"], f.Delay);
    EXPECT_DOUBLE_EQ(j["pivot"]["x"].get<double>(), double(f.HotSpotX) / f.Width);
    EXPECT_DOUBLE_EQ(j["pivot"]["y"].get<double>(), double(f.HotSpotY) / f.Height);
}

} // namespace

TEST_F(Atlas, BothLayoutsHoldEveryFrameInOrderWithItsTags) {
    const auto frames = NamedFrames(walker);
    ASSERT_EQ(frames.size(), 12u);
    const Outcome hash = Tool({"atlas", dir / "walker.sip", dir / "hash.json"});
    ASSERT_EQ(hash.Status, 0) << hash.Err;
    EXPECT_EQ(hash.Out, "Wrote " + dir / "hash.json" +
                            ": 12 frames in 4 tags (hash layout) on the 256 x 96 image walker.bmp\n");
    const Outcome array = Tool({"atlas", "--array", dir / "walker.sip", dir / "array.json"});
    ASSERT_EQ(array.Status, 0) << array.Err;
    const Json h = ParsedJson(dir / "hash.json"), a = ParsedJson(dir / "array.json");

    ASSERT_TRUE(h["frames"].is_object() && a["frames"].is_array());
    ASSERT_EQ(h["frames"].size(), 12u);
    ASSERT_EQ(a["frames"].size(), 12u);
    size_t i = 0;
    for (const auto& [key, value] : h["frames"].items()) {
        SCOPED_TRACE(key);
        EXPECT_EQ(key, frames[i].first);
        ExpectFrame(value, frames[i].second);
        // The array entry is the same object with its name in front.
        Json named = {{"filename", key}};
        named.update(value);
        EXPECT_EQ(a["frames"][i], named);
        ++i;
    }
    const Json tags = Json::parse(R"j([
        {"name": "Walk/Right", "from": 0, "to": 3, "direction": "forward"},
        {"name": "Walk/Left", "from": 4, "to": 7, "direction": "forward"},
        {"name": "Idle/Right", "from": 8, "to": 9, "direction": "forward"},
        {"name": "Idle/Left", "from": 10, "to": 11, "direction": "forward"}])j");
    const Json meta = {{"app", "Celwright"}, {"version", "1.8"},    {"image", "walker.bmp"},
                       {"format", "RGB888"}, {"size", {{"w", 256}, {"h", 96}}}, {"scale", "1"},
                       {"frameTags", tags}};
    EXPECT_EQ(h["meta"], meta);
    EXPECT_EQ(a["meta"], meta);
}

TEST_F(Atlas, TheImageIsTheSheetWithTheMaskColourTransparentAndNamedFromTheAtlas) {
    std::filesystem::create_directories(dir / "out/img");
    const Outcome o = Tool({"atlas", dir / "walker.sip", dir / "out/w.json", "--image", dir / "out/img/w.png"});
    ASSERT_EQ(o.Status, 0) << o.Err;
    const Json j = ParsedJson(dir / "out/w.json");
    EXPECT_EQ(j["meta"]["image"], "img/w.png");
    EXPECT_EQ(j["meta"]["format"], "RGBA8888");

    const Bytes png = ReadFileBytes(dir / "out/img/w.png");
    Png::Picture back;
    ASSERT_EQ(Png::Read(png.data(), png.size(), 0x00010203, back), Png::ReadStatus::Ok);
    const TestPicture sheet = WalkerPicture();
    ASSERT_TRUE(back.Width == 256 && back.Height == 96);
    int clear = 0;
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 256; ++x) {
            const size_t row = static_cast<size_t>(95 - y);
            const bool bit = back.ClearBits.data()[row * Png::ClearStride(256) + x / 8] >> (x % 8) & 1;
            const uint8_t* p = back.Pixels.data() + row * back.Stride + 3 * x;
            const int32_t got = p[2] | p[1] << 8 | p[0] << 16;
            ASSERT_EQ(bit, sheet.At(x, y) == Magenta) << x << "," << y;
            ASSERT_EQ(got, bit ? 0x00010203 : sheet.At(x, y)) << x << "," << y;
            clear += bit;
        }
    EXPECT_GT(clear, 256 * 96 / 2);

    // Atlas and sheet in other folders: the sheet is named by the way there.
    const Outcome far = Tool({"atlas", dir / "walker.sip", dir / "out/img/far.json", "--image=" + dir / "w2.png"});
    ASSERT_EQ(far.Status, 0) << far.Err;
    EXPECT_EQ(ParsedJson(dir / "out/img/far.json")["meta"]["image"], "../../w2.png");
    ASSERT_EQ(Tool({"atlas", dir / "walker.sip", dir / "out/plain.json"}).Status, 0);
    EXPECT_EQ(ParsedJson(dir / "out/plain.json")["meta"]["image"], "../walker.bmp");
}

TEST_F(Atlas, APngSheetWorksForExportAndAtlasUnderTheProjectsMaskColour) {
    // The walker with a transparent background instead of magenta, under a
    // project whose mask colour is green: export matches the same sheet as a
    // BMP with green where the background was.
    const TestPicture sheet = WalkerPicture();
    WriteFileBytes(dir / "walker.png", PngBuild::FromPicture(sheet, Magenta));
    TestPicture green = sheet;
    std::replace(green.Colors.begin(), green.Colors.end(), Magenta, 0x0000FF00);
    WriteFileBytes(dir / "green.bmp", MakeBmp24(green));
    WriteProject("png.sip", walker.Actions, "walker.png", 0x0000FF00);
    WriteProject("green.sip", walker.Actions, "green.bmp", 0x0000FF00);
    for (const char* mode : {"bw", "grey", "16", "24"}) {
        ASSERT_EQ(Tool({"export", dir / "png.sip", dir / "png.sif", "--mode", mode}).Status, 0) << mode;
        ASSERT_EQ(Tool({"export", dir / "green.sip", dir / "green.sif", "--mode", mode}).Status, 0) << mode;
        EXPECT_EQ(ReadFileBytes(dir / "png.sif"), ReadFileBytes(dir / "green.sif")) << mode;
    }
    ASSERT_EQ(Tool({"atlas", dir / "png.sip", dir / "png.json"}).Status, 0);
    const Json j = ParsedJson(dir / "png.json");
    EXPECT_EQ(j["meta"]["image"], "walker.png");
    EXPECT_EQ(j["meta"]["format"], "RGBA8888");
    EXPECT_EQ(j["frames"].size(), 12u);
}

TEST_F(Atlas, UnnamedRepeatedAndUnmarkedEntries) {
    FrameData f{};
    f.X = 2, f.Y = 3, f.Width = 10, f.Height = 20, f.Delay = 50, f.HotSpotX = 5, f.HotSpotY = -4;
    const FrameData unmarked{};
    ActionData unnamed, twin;
    unnamed.Directions = {{{f, unmarked, f}, 0, ""}, {{unmarked}, 0, "Empty"}};
    twin.Name = "Run";
    twin.Directions = {{{f}, 0, "Up"}, {{unmarked, f}, 0, "Up"}};
    WriteProject("odd.sip", {unnamed, twin, twin}, "walker.bmp");
    ASSERT_EQ(Tool({"atlas", dir / "odd.sip", dir / "odd.json"}).Status, 0);
    const Json j = ParsedJson(dir / "odd.json");
    std::vector<std::string> keys;
    for (const auto& item : j["frames"].items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"Action 0/Dir 0/0", "Action 0/Dir 0/2", "Run/Up/0", "Run/Up (2)/1",
                                              "Run/Up (3)/0", "Run/Up (4)/1"}));
    EXPECT_EQ(j["meta"]["frameTags"], Json::parse(R"j([
        {"name": "Action 0/Dir 0", "from": 0, "to": 1, "direction": "forward"},
        {"name": "Run/Up", "from": 2, "to": 2, "direction": "forward"},
        {"name": "Run/Up (2)", "from": 3, "to": 3, "direction": "forward"},
        {"name": "Run/Up (3)", "from": 4, "to": 4, "direction": "forward"},
        {"name": "Run/Up (4)", "from": 5, "to": 5, "direction": "forward"}])j"));
    ExpectFrame(j["frames"]["Run/Up (4)/1"], f);
    EXPECT_DOUBLE_EQ(j["frames"]["Action 0/Dir 0/0"]["pivot"]["y"].get<double>(), -0.2);
}

TEST_F(Atlas, RefusalsWriteNothingAndWrongCommandLinesExitTwo) {
    FrameData wide{};
    wide.X = 250, wide.Width = 7, wide.Height = 1;
    FrameData negative{};
    negative.Width = -3, negative.Height = 4;
    WriteProject("wide.sip", {{{{{wide}, 0, "R"}}, 0, "W"}}, "walker.bmp");
    WriteProject("negative.sip", {{{{{negative}, 0, ""}}, 0, ""}}, "walker.bmp");
    WriteFileBytes(dir / "bad.png", Bytes{137, 80, 78, 71, 13, 10, 26, 10, 0, 0});
    WriteProject("badpng.sip", walker.Actions, "bad.png");
    const std::string out = dir / "a.json", img = dir / "a.png";
    const struct {
        Args args;
        std::string err;
    } refused[] = {
        {{"atlas", dir / "wide.sip", out, "--image", img},
         "The frame W/R/0 (7 x 1 at 250, 0) does not lie within the 256 x 96 sheet: " + dir / "wide.sip\n"},
        {{"atlas", dir / "negative.sip", out},
         "The frame Action 0/Dir 0/0 (-3 x 4 at 0, 0) does not lie within the 256 x 96 sheet: " +
             dir / "negative.sip\n"},
        {{"atlas", dir / "badpng.sip", out, "--image", img}, dir / "bad.png This file is damaged or incomplete.\n"},
        {{"atlas", dir / "none.sip", out},
         "Can't open the project: " + dir / "none.sip The file does not exist or is not a regular file\n"},
        {{"atlas", dir / "walker.sip", dir / "walker.sip"}, dir / "walker.sip is the project itself; not replacing it\n"},
        {{"atlas", dir / "walker.sip", out, "--image", dir / "walker.bmp"},
         dir / "walker.bmp is the project's sheet; not replacing it\n"},
        {{"atlas", dir / "walker.sip", out, "--image", out}, out + " is also the atlas; give the image another name\n"},
        {{"atlas", dir / "walker.sip", dir / "no/such/a.json", "--image", img}, ""},
    };
    const std::vector<std::string> before = ListDir(dir.Path());
    for (const auto& c : refused) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const Outcome o = Tool(c.args);
        EXPECT_EQ(o.Status, 1);
        EXPECT_TRUE(o.Out.empty());
        EXPECT_EQ(std::count(o.Err.begin(), o.Err.end(), '\n'), 1) << o.Err;
        if (!c.err.empty()) {
            EXPECT_EQ(o.Err, c.err);
        }
        EXPECT_EQ(ListDir(dir.Path()), before);
    }
    const Args base = {"atlas", dir / "walker.sip"};
    for (const Args& args : {base, Args{"atlas"}, Args{"atlas", "a", "b", "c"}, Args{"atlas", "a", "b", "--image"},
                             Args{"atlas", "a", "b", "--image="}, Args{"atlas", "a", "b", "--hash"},
                             Args{"atlas", "a", "b", "--array=1"}}) {
        const Outcome o = Tool(args);
        EXPECT_EQ(o.Status, 2) << testing::PrintToString(args);
        EXPECT_TRUE(o.Err.find("(see celwright-cli --help)\n") != std::string::npos) << o.Err;
    }
    const Outcome help = Tool({"--help"});
    for (const char* word : {"atlas PROJECT.sip OUTPUT.json [--image OUTPUT.png] [--array]", "--image OUTPUT.png",
                             "--array"})
        EXPECT_TRUE(help.Out.find(word) != std::string::npos) << word;
    EXPECT_EQ(ListDir(dir.Path()), before);
}
