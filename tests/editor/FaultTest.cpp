// Saves that the disk refuses (full, or a folder that may not be written), the
// sheet file deleted or spoilt while the project is open, and the project file
// changed by another program: one clear message, nothing lost on disk or in
// the window, and the caption's "*" still telling the truth.
#include <cerrno>
#include <cstring>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include "EditorFixture.h"
#include "base/FileIO.h"

namespace {

// Every file of a folder with its bytes.
using Disk = std::map<std::string, std::vector<uint8_t>>;

} // namespace

class FaultTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        for (const std::string name : {"walker.bmp", "walker.sip"})
            WriteFileBytes(dir / name, ReadFileBytes(std::string(CELWRIGHT_EXAMPLES) + "/" + name));
    }
    void TearDown() override {
        SetWriteFault(WriteFault::None);
        ::chmod(dir.Path().c_str(), 0755);
    }
    // walker.sip open with one action more than on disk.
    void OpenEdited() {
        Menu(W().mnuOpen, dir / "walker.sip"), W().Command1_Click();
        ASSERT_TRUE(W().Modified() && messages.Shown.empty());
        dialogs.FileRequests.clear();
    }
    Disk OnDisk() {
        Disk d;
        for (const std::string& f : ListDir(dir.Path())) d[f] = ReadFileBytes(dir / f);
        return d;
    }
    // The project, names, caption and picture the window shows.
    std::string Window() {
        std::vector<uint8_t> sip;
        std::string error;
        EXPECT_TRUE(BuildProjectBytes(SP::MaskColor, SP::WorkDir + SP::SheetFile, SP::Actions, sip, error));
        std::string out(sip.begin(), sip.end());
        return out + "|" + Names() + "|" + W().windowTitle().toStdString() + "|" + std::to_string(Overview(5, 5)) +
               "|" + std::to_string(SP::Sheet.Pixels().size());
    }
    // The folder made read-only. chmod does not stop root (or a process allowed
    // to override permissions); then the write hook stands in, and says so once.
    std::string ReadOnly() {
        ::chmod(dir.Path().c_str(), 0555);
        const std::string probe = dir / "probe";
        std::FILE* f = std::fopen(probe.c_str(), "wb");
        if (!f) return std::strerror(EACCES);
        std::fclose(f), std::remove(probe.c_str());
        static bool told = false;
        if (!told) std::printf("  (permissions do not bind this process: the read-only folder is simulated)\n");
        told = true;
        SetWriteFault(WriteFault::ReadOnly);
        return std::strerror(EACCES);
    }
    std::string DiskFull() {
        SetWriteFault(WriteFault::DiskFull);
        return std::strerror(ENOSPC);
    }
    void Healed() { TearDown(); }
    static bool WaitUntil(const std::function<bool()>& pred, int ms = 5000) {
        for (QDeadlineTimer end(ms); !pred(); QThread::msleep(2)) {
            if (end.hasExpired()) return false;
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }
};

TEST_F(FaultTest, SavesOnAFullDiskOrIntoAReadOnlyFolderSayOnceAndLoseNothing) {
    enum Command { Save, SaveAs, Export, Question };
    for (bool full : {true, false}) {
        for (Command c : {Save, SaveAs, Export, Question}) {
            SCOPED_TRACE(std::string(full ? "full disk, " : "read-only folder, ") + std::to_string(c));
            Healed(), Fresh(), OpenEdited();
            Menu(W().mnuExportSIF[5], dir / "walker.sif"); // an earlier export to replace
            const Disk disk = OnDisk();
            const std::string shown = Window();
            EXPECT_NE(shown.find("walker.sip* - Celwright"), std::string::npos);
            messages.Shown.clear();
            const std::string why = full ? DiskFull() : ReadOnly();
            std::string target = dir / "walker.sip";
            switch (c) {
            case Save: W().mnuSave->trigger(); break;
            case SaveAs: target = dir / "other.sip", Menu(W().mnuSaveAs, target); break;
            case Export: target = dir / "walker.sif", Menu(W().mnuExportSIF[5], target); break;
            case Question:
                messages.Answers = {MsgAnswer::Yes}; // "Save changes to the project?"
                W().close();
                EXPECT_TRUE(W().isVisible()) << "the window stays: its work was not saved";
                ASSERT_FALSE(messages.Shown.empty());
                EXPECT_EQ(messages.Shown[0].Text, "Save changes to the project?");
                messages.Shown.erase(messages.Shown.begin());
                break;
            }
            Healed();
            ASSERT_EQ(messages.Shown.size(), 1u) << messages.Texts().back();
            const Message& m = messages.Shown[0];
            EXPECT_TRUE(m.Icon == MsgIcon::Critical && m.Title == "Whoops");
            EXPECT_NE(m.Text.find(target), std::string::npos) << m.Text;
            EXPECT_NE(m.Text.find(why), std::string::npos) << m.Text;
            EXPECT_TRUE(OnDisk() == disk) << "no file changed, none left behind";
            EXPECT_EQ(Window(), shown); // the same names and the "*"
            EXPECT_TRUE(W().Modified());
            // Once the disk takes writes again, the same command saves.
            messages.Shown.clear();
            if (c == Save || c == Question) W().mnuSave->trigger();
            if (c == SaveAs) Menu(W().mnuSaveAs, target);
            if (c != Export) {
                EXPECT_TRUE(!W().Modified() && W().windowTitle().indexOf('*') < 0);
            }
            EXPECT_TRUE(messages.Shown.empty() && FileExists(target));
        }
    }
}

TEST_F(FaultTest, SaveAsOfAnImportedSheetStopsAtTheSheetsFailure) {
    Menu(W().mnuOpen, dir / "walker.sip"), Menu(W().mnuExportSIF[5], dir / "walker.sif");
    for (bool full : {true, false}) {
        SP::SheetFile = SP::ProjectFile = ""; // a program start that imports first
        Healed(), Fresh(), Menu(W().mnuImportSIF, dir / "walker.sif"), W().Command1_Click();
        ASSERT_TRUE(SP::SheetFile.empty() && SP::Sheet.Loaded());
        const Disk disk = OnDisk();
        const std::string shown = Window();
        messages.Shown.clear();
        const std::string why = full ? DiskFull() : ReadOnly();
        Menu(W().mnuSaveAs, dir / "hero.sip");
        Healed();
        // The sheet's failure alone: no second message about a project that was never tried.
        ASSERT_EQ(messages.Shown.size(), 1u) << messages.Texts().back();
        EXPECT_NE(messages.Shown[0].Text.find(dir / "hero.bmp"), std::string::npos);
        EXPECT_NE(messages.Shown[0].Text.find(why), std::string::npos);
        EXPECT_TRUE(OnDisk() == disk && Window() == shown && SP::SheetFile.empty() && SP::ProjectFile.empty());
    }
}

TEST_F(FaultTest, TheSheetDeletedTruncatedOrSpoiltWhileOpenKeepsThePictureAndTheProjectSaves) {
    const std::vector<uint8_t> bmp = ReadFileBytes(dir / "walker.bmp");
    std::vector<uint8_t> spoilt(bmp.size());
    for (size_t i = 0; i < spoilt.size(); ++i) spoilt[i] = static_cast<uint8_t>(i * 131 + 7);
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"deleted", {}}, {"truncated", {bmp.begin(), bmp.begin() + bmp.size() / 3}}, {"spoilt", spoilt}};
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        messages.Shown.clear(), WriteFileBytes(dir / "walker.bmp", bmp), Fresh(), OpenEdited();
        const std::string shown = Window();
        if (std::string(what) == "deleted")
            std::remove((dir / "walker.bmp").c_str());
        else
            WriteFileBytes(dir / "walker.bmp", bytes);
        ASSERT_TRUE(WaitUntil([&] { return !messages.Shown.empty(); }));
        QTest::qWait(8 * Form1::SheetWatchMs); // said once, however long it stays so
        ASSERT_EQ(messages.Shown.size(), 1u);
        EXPECT_NE(messages.Shown[0].Text.find(dir / "walker.bmp"), std::string::npos) << messages.Shown[0].Text;
        EXPECT_EQ(Window(), shown);
        // The project still saves, and exactly as the window holds it.
        W().mnuSave->trigger();
        EXPECT_EQ(messages.Shown.size(), 1u);
        EXPECT_EQ(W().windowTitle(), "walker.sip - Celwright (Beta 1.8)");
        std::vector<uint8_t> sip;
        std::string error;
        ASSERT_TRUE(BuildProjectBytes(SP::MaskColor, SP::WorkDir + SP::SheetFile, SP::Actions, sip, error));
        EXPECT_EQ(ReadFileBytes(dir / "walker.sip"), sip);
    }
}

TEST_F(FaultTest, AProjectFileChangedByAnotherProgramIsReplacedWholeBySave) {
    OpenEdited();
    const std::string shown = Window();
    // Another program writes over the file in place; the editor notices nothing until it saves.
    WriteFileBytes(dir / "walker.sip", std::vector<uint8_t>(5000, 0xEE));
    QTest::qWait(50);
    EXPECT_TRUE(messages.Shown.empty() && Window() == shown);
    W().mnuSave->trigger();
    std::vector<uint8_t> sip;
    std::string error;
    ASSERT_TRUE(BuildProjectBytes(SP::MaskColor, SP::WorkDir + SP::SheetFile, SP::Actions, sip, error));
    EXPECT_EQ(ReadFileBytes(dir / "walker.sip"), sip);
    EXPECT_EQ(ListDir(dir.Path()), (Strings{"walker.bmp", "walker.sip"})); // no temporary file left
    EXPECT_TRUE(messages.Shown.empty() && W().windowTitle() == "walker.sip - Celwright (Beta 1.8)");
    // What was saved opens again as it was shown.
    const int actions = static_cast<int>(SP::Actions.size());
    Fresh(), Menu(W().mnuOpen, dir / "walker.sip");
    EXPECT_EQ(W().lstAction->count(), actions);
}
