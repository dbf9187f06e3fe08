// Recovery of unsaved work: the file each instance keeps, what removes it, what
// the next start offers, two instances side by side, damaged files, and the
// program itself killed with SIGKILL.
#include <QProcess>
#include <filesystem>
#include <map>

#include "EditorFixture.h"
#include "base/FileIO.h"
#include "project/Recovery.h"

namespace {

const std::string Question = "Celwright did not close normally.";

bool StartsWith(const std::string& s, const std::string& head) { return s.compare(0, head.size(), head) == 0; }

} // namespace

class RecoveryTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        for (const std::string name : {"walker.bmp", "walker.sip"})
            WriteFileBytes(dir / name, ReadFileBytes(std::string(CELWRIGHT_EXAMPLES) + "/" + name));
    }
    // The window gives its lock up before the folder goes.
    void TearDown() override { window.reset(); }
    // A window that keeps its recovery file in the test's folder, with walker.sip open.
    void Start(bool open = true) {
        ASSERT_TRUE(W().StartRecovery(folder.Path()));
        if (open) Menu(W().mnuOpen, dir / "walker.sip");
    }
    // The project file the window would save now.
    static std::vector<uint8_t> Project() {
        std::vector<uint8_t> out;
        std::string error;
        EXPECT_TRUE(BuildProjectBytes(SP::MaskColor, SP::WorkDir + SP::SheetFile, SP::Actions, out, error)) << error;
        return out;
    }
    // Waits until every change noted has been handed over and written.
    void Settle(Form1& w) {
        ASSERT_TRUE(DesktopWait([&] { return !w.RecoveryTimer->isActive(); }));
        w.Recovery->Wait();
    }
    void Settle() { Settle(W()); }
    static bool DesktopWait(const std::function<bool()>& pred, int ms = 5000) {
        for (QDeadlineTimer end(ms); !pred(); QThread::msleep(2)) {
            if (end.hasExpired()) return false;
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }
    static std::vector<uint8_t> SheetPixels() {
        return {SP::Sheet.Pixels().data(), SP::Sheet.Pixels().data() + SP::Sheet.Pixels().size()};
    }
    std::vector<std::string> Files() { return ListDir(folder.Path()); }
    std::vector<std::string> Recovers() {
        std::vector<std::string> out;
        for (const std::string& f : Files())
            if (f.size() > 8 && f.compare(f.size() - 8, 8, ".recover") == 0) out.push_back(f);
        return out;
    }
    RecoveryData Read(const std::string& path) {
        RecoveryData d;
        std::string error;
        EXPECT_TRUE(ParseRecoveryBytes(ReadFileBytes(path), d, error)) << error;
        return d;
    }

    TempDir folder; // the user's data folder for recovery files
};

TEST_F(RecoveryTest, EditsAreKeptAtMostOnceASecondAndSavingNoOrExitRemoveThem) {
    Start();
    EXPECT_TRUE(Files().size() == 1 && Recovers().empty()); // the lock alone: nothing unsaved yet
    W().Command1_Click(), Settle();
    ASSERT_TRUE(FileExists(W().RecoveryPath));
    RecoveryData d = Read(W().RecoveryPath);
    EXPECT_EQ(d.ProjectPath, dir / "walker.sip");
    EXPECT_TRUE(d.Sheet == RecoverySheet::Image && d.SheetSource == dir / "walker.bmp");
    EXPECT_LE(std::abs(d.ChangedMs - QDateTime::currentMSecsSinceEpoch()), 5000);
    std::vector<uint8_t> sip;
    std::string error;
    ASSERT_TRUE(BuildProjectBytes(d.MaskColor, d.WorkDir + d.SheetFile, d.Actions, sip, error));
    EXPECT_EQ(sip, Project());

    // A burst of edits: the first of a quiet second goes at once, the rest wait for the second to pass.
    const uint64_t before = W().Recovery->Written();
    QElapsedTimer clock;
    clock.start();
    for (int k = 0; k < 20; ++k) W().Command1_Click(), QTest::qWait(20);
    const qint64 burst = clock.elapsed();
    Settle();
    EXPECT_LE(W().Recovery->Written() - before, uint64_t(burst / Form1::RecoveryIntervalMs + 2));
    EXPECT_EQ(Read(W().RecoveryPath).Actions.size(), SP::Actions.size()); // the newest state is on disk

    W().mnuSave->trigger(), Settle();
    EXPECT_TRUE(Recovers().empty() && !W().Modified());
    W().Command1_Click(), Settle();
    EXPECT_EQ(Recovers().size(), 1u);
    W().mnuUndo->trigger(), Settle(); // back at the saved state
    EXPECT_TRUE(Recovers().empty());
    W().Command1_Click(), Settle();
    messages.Answers = {MsgAnswer::No}; // "Save changes to the project?" No: the work is given up
    W().close(), W().Recovery->Wait();
    EXPECT_TRUE(!W().isVisible() && Recovers().empty());
    EXPECT_EQ(messages.Texts(), Strings{"Save changes to the project?"});
}

TEST_F(RecoveryTest, AnEndWithoutTheQuestionLeavesTheWorkWhichTheNextStartOffers) {
    Start();
    W().Command1_Click(), W().lstAction_Click(1);
    W().lstAction->setEditText("Läuft →"), SendKey(W().lstAction->lineEdit(), Qt::Key_Return);
    const std::vector<uint8_t> shown = Project();
    const std::string names = Names(), caption = W().windowTitle().toStdString();
    const std::string left = W().RecoveryPath;
    window.reset(); // the session ends the program: nothing asked, the work stays
    ASSERT_TRUE(FileExists(left));

    // No: the file goes and the fresh window stays as it is.
    for (MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes}) {
        SCOPED_TRACE(int(answer));
        if (answer == MsgAnswer::No) std::filesystem::copy_file(left, folder / "copy.recover");
        SP::Actions.clear(), SP::ProjectFile = SP::SheetFile = "", SP::WorkDir = "/elsewhere/", Fresh();
        ASSERT_TRUE(W().StartRecovery(folder.Path()));
        messages.Shown.clear(), messages.Answers = {answer};
        EXPECT_EQ(W().OfferRecovery(), answer == MsgAnswer::Yes);
        ASSERT_EQ(messages.Shown.size(), 1u);
        const Message& asked = messages.Shown[0];
        EXPECT_TRUE(StartsWith(asked.Text, Question) && asked.Buttons == MsgButtons::YesNo);
        EXPECT_NE(asked.Text.find("the project " + dir / "walker.sip" + ", last changed 20"), std::string::npos);
        if (answer == MsgAnswer::No) {
            EXPECT_TRUE(SP::ProjectFile.empty() && W().lstAction->count() == 0);
            EXPECT_EQ(Recovers().size(), 1u); // the other file waits for the next start
            continue;
        }
        // Yes: exactly the project that was in the window, its names, marked as changed.
        EXPECT_EQ(Project(), shown);
        EXPECT_EQ(Names(), names);
        EXPECT_EQ(W().windowTitle().toStdString(), caption);
        EXPECT_EQ(caption, "walker.sip* - Celwright (Beta 1.8)");
        EXPECT_TRUE(W().Modified() && SP::Sheet.Loaded() && W().Picture2->PictureWidth() > 1);
        EXPECT_EQ(Items(W().lstAction).at(1).toStdString(), "Läuft →");
        // The file now belongs to this window; undo has nothing to go back to.
        EXPECT_TRUE(Recovers() == Strings{std::filesystem::path(W().RecoveryPath).filename().string()});
        EXPECT_FALSE(W().mnuUndo->isEnabled());
        W().lblNewFrame_Click(), W().mnuUndo->trigger();
        EXPECT_TRUE(W().Modified()) << "undo cannot reach a saved state";
    }
}

TEST_F(RecoveryTest, AMarkingInProgressAndASheetImportedFromSifComeBackToo) {
    // A marking not yet ended: each move is unsaved work.
    Start();
    W().lstAction_Click(0), W().lstDirection_Click(0), WaitForRebuild(), ClickThumbOf(W(), 0);
    Press({10, 20}), Move({45, 61});
    ASSERT_TRUE(W().Marking && W().Modified());
    Settle();
    const FrameData marked = SP::Actions[0].Directions[0].Frames[0];
    EXPECT_EQ(Read(W().RecoveryPath).Actions[0].Directions[0].Frames[0], marked);
    Move({80, 90}), Settle();
    EXPECT_NE(Read(W().RecoveryPath).Actions[0].Directions[0].Frames[0], marked); // the newest move

    // A sheet that only a SIF file holds is read from that file again.
    Menu(W().mnuExportSIF[5], dir / "walker.sif");
    messages.Answers = {MsgAnswer::No}, Menu(W().mnuImportSIF, dir / "walker.sif");
    SP::SheetFile = "";
    W().Command1_Click(), Settle();
    const std::vector<uint8_t> shown = Project();
    const std::vector<uint8_t> pixels = SheetPixels();
    window.reset();
    SP::Actions.clear(), Fresh(), messages.Shown.clear();
    ASSERT_TRUE(W().StartRecovery(folder.Path()));
    messages.Answers = {MsgAnswer::Yes};
    ASSERT_TRUE(W().OfferRecovery());
    EXPECT_EQ(messages.Shown.size(), 1u);
    EXPECT_EQ(Project(), shown);
    EXPECT_TRUE(SP::SheetFile.empty() && W().SheetSifPath == dir / "walker.sif");
    EXPECT_TRUE(!pixels.empty() && SheetPixels() == pixels);
}

TEST_F(RecoveryTest, AFileThatCannotBeWrittenIsSaidOnceAndTriedAgain) {
    Start();
    SetWriteFault(WriteFault::DiskFull);
    for (int k = 0; k < 3; ++k) W().Command1_Click(), Settle();
    SetWriteFault(WriteFault::None);
    EXPECT_TRUE(Recovers().empty());
    ASSERT_EQ(messages.Shown.size(), 1u);
    EXPECT_TRUE(StartsWith(messages.Texts()[0], "Unsaved work cannot be kept for recovery after a crash:"));
    EXPECT_NE(messages.Texts()[0].find(std::strerror(ENOSPC)), std::string::npos);
    W().Command1_Click(), Settle(); // room again: the newest state is written
    EXPECT_EQ(Read(W().RecoveryPath).Actions.size(), SP::Actions.size());
    EXPECT_EQ(messages.Shown.size(), 1u);
}

TEST_F(RecoveryTest, TwoRunningInstancesNeverTakeEachOthersFiles) {
    Start();
    W().Command1_Click(), Settle();
    Form1 other;
    ASSERT_TRUE(other.StartRecovery(folder.Path()));
    EXPECT_FALSE(other.OfferRecovery()); // the first window's file is live
    EXPECT_TRUE(messages.Shown.empty() && Recovers().size() == 1u);
    other.Command1_Click(), Settle(other);
    EXPECT_EQ(Recovers().size(), 2u);
    EXPECT_NE(other.RecoveryPath, W().RecoveryPath);
}

TEST_F(RecoveryTest, ALockNamingThisProcessButHeldByNoWindowIsAnEarlierLifes) {
    // After a reboot (or in a container) a new process may get the id of the one
    // that crashed; its lock must not look alive for ever.
    Start();
    W().Command1_Click(), Settle();
    const std::string name = std::filesystem::path(W().RecoveryPath).stem().string();
    std::filesystem::copy_file(W().RecoveryPath, folder / "earlier.recover");
    std::filesystem::copy_file(folder / (name + ".lock"), folder / "earlier.lock");
    Form1 other; // this process's own window: skipped however its lock reads
    ASSERT_TRUE(other.StartRecovery(folder.Path()));
    messages.Answers = {MsgAnswer::No};
    EXPECT_FALSE(other.OfferRecovery());
    EXPECT_EQ(messages.Texts().size(), 1u); // the earlier life's file, not the live window's
    EXPECT_TRUE(!FileExists(folder / "earlier.recover") && FileExists(W().RecoveryPath));
}

TEST_F(RecoveryTest, DamagedFilesAreSetAsideWithOneMessageAndAGoodOneIsStillOffered) {
    Start(false);
    RecoveryData good;
    good.ProjectPath = dir / "walker.sip", good.WorkDir = dir.Path(), good.SheetFile = "walker.bmp";
    good.Actions.assign(1, SP::NewAction());
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(BuildRecoveryBytes(good, bytes, error));
    WriteFileBytes(folder / "good.recover", bytes);
    std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 9), flipped = bytes;
    flipped[40] ^= 1;
    WriteFileBytes(folder / "cut.recover", cut);
    WriteFileBytes(folder / "flipped.recover", flipped);
    WriteFileBytes(folder / "empty.recover", {});
    // The damaged ones are newer, so they are met first.
    for (const char* name : {"cut", "flipped", "empty"})
        std::filesystem::last_write_time(folder / (std::string(name) + ".recover"),
                                         std::filesystem::file_time_type::clock::now() + std::chrono::seconds(5));
    messages.Answers = {MsgAnswer::OK, MsgAnswer::No};
    EXPECT_FALSE(W().OfferRecovery());
    ASSERT_EQ(messages.Shown.size(), 2u);
    EXPECT_TRUE(StartsWith(messages.Texts()[0], "A recovery file could not be read and was set aside:"));
    for (const char* name : {"cut", "flipped", "empty"})
        EXPECT_NE(messages.Texts()[0].find(folder / (std::string(name) + ".recover.damaged")), std::string::npos);
    EXPECT_TRUE(StartsWith(messages.Texts()[1], Question));
    const Strings kept{"cut.recover.damaged", "empty.recover.damaged", "flipped.recover.damaged"};
    Strings left;
    for (const std::string& f : Files())
        if (f.find(".damaged") != std::string::npos) left.push_back(f);
    EXPECT_EQ(left, kept);
    EXPECT_TRUE(Recovers().empty()); // No removed the good one
    messages.Shown.clear();
    EXPECT_TRUE(!W().OfferRecovery() && messages.Shown.empty()); // set aside means never offered again
}

#ifdef CELWRIGHT_EDITOR_PATH
// The program itself: an edit, SIGKILL, and the next start.
TEST_F(RecoveryTest, AfterKillNineTheNextStartRestoresTheWindowsProjectExactly) {
    TempDir data, config;
    auto run = [&](const std::map<QString, QString>& vars, const QStringList& args = {}) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_DATA_HOME", QString::fromStdString(data.Path()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(config.Path()));
        env.insert("CELWRIGHT_TEST_ANSWERS", ""); // never a real message box
        for (const auto& [k, v] : vars) env.insert(k, v);
        p->setProcessEnvironment(env);
        p->start(CELWRIGHT_EDITOR_PATH, args);
        EXPECT_TRUE(p->waitForStarted(10000));
        return p;
    };
    auto q = [](const std::string& s) { return QString::fromStdString(s); };
    const std::string dump1 = dir / "dump1.sip", dump2 = dir / "dump2.sip", dump3 = dir / "dump3.sip";

    // The first instance opens a project and edits it; its recovery file then holds the edit.
    auto first = run({{"CELWRIGHT_TEST_EDIT", "1"}, {"CELWRIGHT_TEST_DUMP", q(dump1)}}, {q(dir / "walker.sip")});
    ASSERT_TRUE(DesktopWait([&] { return FileExists(dump1 + ".txt"); }, 30000));
    // A second one, started while the first runs, offers nothing and leaves the first one's file alone.
    auto second = run({{"CELWRIGHT_TEST_DUMP", q(dump2)}, {"CELWRIGHT_TEST_QUIT", "1"}});
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->readAllStandardError().indexOf("celwright message"), -1);
    first->kill(); // SIGKILL
    ASSERT_TRUE(first->waitForFinished(10000));
    EXPECT_EQ(first->exitStatus(), QProcess::CrashExit);

    // The next start offers it; Yes shows exactly what the killed window held, marked as changed.
    auto third = run({{"CELWRIGHT_TEST_ANSWERS", "yes,no"}, {"CELWRIGHT_TEST_DUMP", q(dump3)}, {"CELWRIGHT_TEST_QUIT", "1"}});
    ASSERT_TRUE(third->waitForFinished(30000));
    const QString said = third->readAllStandardError();
    EXPECT_TRUE(said.contains(q("celwright message: Hold up!: " + Question + " Its recovery file holds unsaved changes "
                                "to the project " + dir / "walker.sip")))
        << said.toStdString();
    EXPECT_TRUE(said.contains("Save changes to the project?")); // answered No: a normal exit
    EXPECT_EQ(ReadFileBytes(dump3), ReadFileBytes(dump1));
    const std::vector<uint8_t> names = ReadFileBytes(dump3 + ".txt");
    EXPECT_EQ(std::string(names.begin(), names.end()),
              dir.Path() + "|walker.sip|walker.bmp|walker.sip* - Celwright (Beta 1.8)\n");
    EXPECT_NE(ReadFileBytes(dump1), ReadFileBytes(dir / "walker.sip")); // it was unsaved work

    // After that normal exit nothing is left to offer.
    auto fourth = run({{"CELWRIGHT_TEST_QUIT", "1"}});
    ASSERT_TRUE(fourth->waitForFinished(30000));
    EXPECT_EQ(fourth->readAllStandardError().indexOf("celwright message"), -1);
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::recursive_directory_iterator(data.Path()))
        if (e.is_regular_file()) left.push_back(e.path().filename().string());
    EXPECT_TRUE(left.empty()) << left.front();
}
#endif
