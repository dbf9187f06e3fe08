// Long commands report their progress, and Cancel at any report leaves the
// project, the sheet, the views and the files as they were.
#include "EditorFixture.h"
#include "platform/ProgressWindow.h"

namespace {

// Cancels at the first report of at least `share` done (above 1: never) and
// keeps what it was told. The number of reports may differ from run to run.
struct CancelAt {
    explicit CancelAt(double share)
        : previous(ProgressWindow::SetScript([this, share](const std::string& label, double done) {
              labels.push_back(label), values.push_back(done);
              return done < share;
          })) {}
    ~CancelAt() { ProgressWindow::SetScript(previous); }
    std::vector<std::string> labels;
    std::vector<double> values;
    ProgressWindow::Script previous;
};

} // namespace

class ProgressTest : public EditorTest {
protected:
    // A saved project of a 300 x 200 sheet with two actions, the second shown, and one unsaved edit.
    void SetUp() override {
        EditorTest::SetUp();
        NewSheet(300, 200, "first.bmp"), AddActions(2);
        dialogs.FileAnswers.push_back(dir / "first.sip"), W().mnuSaveAs->trigger();
        W().lstAction_Click(1), W().lstDirection_Click(0), WaitForRebuild();
        W().Command4_Click(); // unsaved
        WriteFileBytes(dir / "second.bmp", MakeBmp24(PositionSheet(900, 700)));
    }
    // Everything Cancel must leave alone.
    std::string State() {
        std::string s = Names() + "|" + W().windowTitle().toStdString() + "|" + W().mnuUndo->text().toStdString();
        s += "|" + std::to_string(SP::Actions.size()) + "|" + std::to_string(SP::MaskColor) + "|" +
             Items(W().lstAction).join(",").toStdString() + "|" + Items(W().lstDirection).join(",").toStdString();
        s += "|" + std::to_string(SP::Sheet.Width()) + "x" + std::to_string(SP::Sheet.Height()) + "|" +
             std::to_string(Zoomed(20, 20)) + "|" + std::to_string(Overview(250, 150)) + "|" +
             std::to_string(W().ThumbCount()) + "|" + SP::Sheet.FileName();
        return s;
    }
};

TEST_F(ProgressTest, CancelAtAnyReportOfOpenNewOrImportChangesNothing) {
    // A project of the second sheet, and a SIF file of it.
    const std::string before = State();
    {
        const std::vector<ActionData> actions = SP::Actions;
        const std::string workDir = SP::WorkDir, sheetFile = SP::SheetFile, project = SP::ProjectFile;
        SP::SheetFile = "second.bmp", SP::WorkDir = dir.Path() + "/";
        ASSERT_TRUE(SP::WriteProject(dir / "second.sip"));
        SP::SheetFile = sheetFile, SP::WorkDir = workDir, SP::ProjectFile = project, SP::Actions = actions;
    }
    Menu(W().mnuExportSIF[5], dir / "second.sif");
    ASSERT_EQ(State(), before);

    using Command = std::function<void()>;
    const std::pair<const char*, Command> commands[] = {
        {"open", [&] { W().OpenProjectFrom(dir / "second.sip"); }},
        {"new", [&] { W().NewProjectFrom(dir / "second.bmp"); }},
        {"import", [&] { W().ImportSifFrom(dir / "second.sif"); }},
    };
    for (const auto& [name, run] : commands) {
        {
            CancelAt none(2);
            Fresh(), run();
            ASSERT_GE(none.values.size(), 2u) << name;
            EXPECT_TRUE(std::is_sorted(none.values.begin(), none.values.end()) && none.values.back() == 1.0) << name;
            EXPECT_NE(none.labels.front().find("second."), std::string::npos) << name;
        }
        for (double at : {0.0, 0.5, 1.0}) {
            SetUp(); // the saved project with its unsaved edit again
            const std::string was = State();
            messages.Shown.clear();
            CancelAt cancel(at);
            run();
            EXPECT_EQ(State(), was) << name << " cancelled at report " << at;
            EXPECT_TRUE(messages.Shown.empty()) << name;
        }
    }
}

TEST_F(ProgressTest, ACancelledExportWritesNothingAndKeepsAnOlderFile) {
    const std::string sif = dir / "out.sif";
    WriteFileBytes(sif, {1, 2, 3});
    const std::string before = State();
    for (double at : {0.0, 0.5, 1.0}) {
        CancelAt cancel(at);
        Menu(W().mnuExportSIF[5], sif);
        EXPECT_EQ(ReadFileBytes(sif), (std::vector<uint8_t>{1, 2, 3})) << at;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 4); // no stray files
    EXPECT_TRUE(State() == before && messages.Shown.empty());
    Menu(W().mnuExportSIF[5], sif); // not cancelled: written
    EXPECT_GT(ReadFileBytes(sif).size(), 100u);
}

TEST_F(ProgressTest, ACancelledReloadKeepsThePictureUntilTheFileChangesAgain) {
    W().SheetWatch_Timer(); // the watch knows the file
    WriteFileBytes(dir / "first.bmp", MakeBmp24(PositionSheet(320, 200)));
    {
        CancelAt cancel(0);
        EXPECT_FALSE(W().ReloadSheet());
    }
    EXPECT_TRUE(SP::Sheet.Width() == 300 && messages.Shown.empty());
    W().SheetWatch_Timer(), W().SheetWatch_Timer(); // the same version is not read again
    EXPECT_EQ(SP::Sheet.Width(), 300);
    EXPECT_TRUE(W().ReloadSheet() && SP::Sheet.Width() == 320);
}
