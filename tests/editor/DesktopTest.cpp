// The editor as a desktop program: files opened by path (the command line)
// and by dropping, PNG sheets, and the sheet reloaded when its file changes.
#include <QMimeData>
#include <filesystem>

#include "EditorFixture.h"
#include "sif/SifFile.h"
#include "support/PngBuilder.h"

namespace {

constexpr int32_t Magenta = 0x00FF00FF;

// The tree with every name and frame, for whole comparisons: "[action:n(direction:n x y ...".
std::string Tree(const std::vector<ActionData>& actions) {
    std::string out;
    for (const ActionData& a : actions) {
        out += "[" + a.Name + ":" + std::to_string(a.DirUBound);
        for (const DirectionData& d : a.Directions) {
            out += "(" + d.Name + ":" + std::to_string(d.FrameUBound);
            for (const FrameData& f : d.Frames)
                for (int v : {f.X, f.Y, f.Height, f.Width, int(f.Delay), f.HotSpotX, f.HotSpotY})
                    out += " " + std::to_string(v);
        }
    }
    return out;
}

// What a command leaves of the project and the window.
struct Shown {
    std::string Names, Actions;
    int32_t Mask;
    std::vector<uint8_t> Pixels;
    QStringList ActionItems;
    int32_t Zoomed;
    bool operator==(const Shown&) const = default;
};

std::vector<uint8_t> SheetBytes() { return {SP::Sheet.Pixels().data(), SP::Sheet.Pixels().data() + SP::Sheet.Pixels().size()}; }

} // namespace

class DesktopTest : public EditorTest {
protected:
    // A new window over the program-start globals, as the fixture gives each test.
    void Restart() { SP::Actions.clear(), SetUp(); }
    Shown Now() { return {Names(), Tree(SP::Actions), SP::MaskColor, SheetBytes(), Items(W().lstAction), Zoomed(3, 3)}; }
    // Lets the event loop run until pred holds or ms have passed; true when it held.
    static bool WaitUntil(const std::function<bool()>& pred, int ms = 3000) {
        for (QDeadlineTimer end(ms); !pred(); QThread::msleep(2)) {
            if (end.hasExpired()) return false;
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }
    // A sheet picture with a transparent frame around a coloured middle.
    static TestPicture Framed(int w, int h, int32_t inside) {
        TestPicture p = PositionSheet(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (x < 4 || y < 4 || x >= w - 4 || y >= h - 4) p.At(x, y) = Magenta;
                else if (x < 20 && y < 20) p.At(x, y) = inside;
        return p;
    }
    // Written beside and renamed over, as painting programs save.
    void WritePng(const std::string& name, const TestPicture& p) {
        WriteFileBytes(dir / (name + ".part"), PngBuild::FromPicture(p, Magenta));
        std::filesystem::rename(dir / (name + ".part"), dir / name);
    }
    int32_t ThumbPixel(int x, int y) { return W().ThumbWidget(0)->Thumb()->PixelAt(x, y); }
};

TEST_F(DesktopTest, EachKindOfFileOpensAsItsMenuCommandWould) {
    // A project, a PNG and a BMP sheet, an upper-case name and a SIF file.
    for (const std::string name : {"walker.bmp", "walker.sip"})
        WriteFileBytes(dir / name, ReadFileBytes(std::string(CELWRIGHT_EXAMPLES) + "/" + name));
    WriteFileBytes(dir / "sheet.png", PngBuild::FromPicture(Framed(60, 50, 0x123456), Magenta));
    WriteFileBytes(dir / "SHEET.BMP", MakeBmp24(PositionSheet(70, 40)));
    Menu(W().mnuOpen, dir / "walker.sip"), Menu(W().mnuExportSIF[4], dir / "walker.sif");
    ASSERT_TRUE(FileExists(dir / "walker.sif"));
    const std::pair<const char*, QAction* Form1::*> cases[] = {{"walker.sip", &Form1::mnuOpen},
                                                               {"sheet.png", &Form1::mnuNew},
                                                               {"SHEET.BMP", &Form1::mnuNew},
                                                               {"walker.sif", &Form1::mnuImportSIF}};
    for (const auto& [file, menu] : cases) {
        SCOPED_TRACE(file);
        Restart(), SP::MaskColor = Magenta, Menu(W().*menu, dir / file);
        const Shown byMenu = Now();
        Restart(), SP::MaskColor = Magenta, messages.Shown.clear();
        EXPECT_TRUE(W().OpenPath(dir / file));
        EXPECT_TRUE(Now() == byMenu && messages.Shown.empty() && SP::Sheet.Loaded());
    }
}

TEST_F(DesktopTest, UnknownOrMissingFilesAndACancelChangeNothing) {
    NewSheet(40, 30, "keep.bmp"), W().Command1_Click(); // unsaved
    const Shown before = Now();
    WriteFileBytes(dir / "notes.txt", {1, 2, 3});
    WriteFileBytes(dir / "other.bmp", MakeBmp24(PositionSheet(20, 20)));
    const std::string kinds = "\n\nCelwright opens projects (.sip), sprite sheets (.bmp, .png) and SIF files (.sif).";
    const std::pair<std::string, std::string> refused[] = {{"notes.txt", kinds},
                                                           {"noext", kinds},
                                                           {"gone.sip", "\n\nThis file does not exist."},
                                                           {"other.bmp", "Save changes to the project?"}};
    for (const auto& [name, text] : refused) { // asked about the unsaved change only for a file it would open
        messages.Shown.clear(), messages.Answers = {MsgAnswer::Cancel};
        EXPECT_FALSE(W().OpenPath(dir / name));
        EXPECT_EQ(messages.Texts(), Strings{text.front() == '\n' ? dir / name + text : text});
        EXPECT_TRUE(Now() == before) << name;
    }
}

TEST_F(DesktopTest, OneDroppedFileOfAKnownKindOpensOthersAreRefused) {
    EXPECT_TRUE(W().acceptDrops());
    WriteFileBytes(dir / "drop.png", PngBuild::FromPicture(Framed(64, 64, 0x00336699), Magenta));
    auto local = [&](const std::string& name) { return QUrl::fromLocalFile(QString::fromStdString(dir / name)); };
    const std::pair<QList<QUrl>, bool> drags[] = {{{local("drop.png")}, true}, {{local("x.SIP")}, true},
                                                  {{local("a.sif")}, true}, {{local("drop.png"), local("b.png")}, false},
                                                  {{local("notes.txt")}, false}, {{QUrl("https://a.invalid/a.png")}, false},
                                                  {{}, false}};
    QMimeData data;
    for (const auto& [urls, accepted] : drags) {
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&W(), &enter);
        EXPECT_EQ(enter.isAccepted(), accepted) << urls.size();
    }

    // Qt hands a drop only to the target of a drag it runs itself, so the window's handler
    // is called as that delivery would. The drop ends before the file opens from the event loop.
    const int32_t mask0 = 0x00010203;
    SP::MaskColor = mask0, data.setUrls({local("drop.png")});
    QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    W().dropEvent(&drop);
    EXPECT_TRUE(drop.isAccepted() && !SP::Sheet.Loaded());
    ASSERT_TRUE(WaitUntil([] { return SP::Sheet.Loaded(); }));
    EXPECT_TRUE(Names() == dir.Path() + "|drop.png|" && messages.Shown.empty());
    // The PNG's clear pixels take the mask colour.
    EXPECT_TRUE(Overview(10, 10) == 0x00336699 && Overview(0, 0) == mask0 && Zoomed(128, 128) == mask0);
}

TEST_F(DesktopTest, AChangedSheetReloadsWithinASecondKeepingFramesSelectionAndZoom) {
    WritePng("walk.png", Framed(300, 200, 0x00336699));
    SP::MaskColor = Magenta;
    ASSERT_TRUE(W().OpenPath(dir / "walk.png"));
    W().Command1_Click(), SP::Actions[0].Directions[0].Frames[0] = FrameData{8, 8, 24, 16, {0, 0}, 100, 8, 23};
    W().lstAction_Click(0), W().lstDirection_Click(0), WaitForRebuild(), W().ucSF_Click(0, 0);
    // The zoom moved away from the corner, the overview panned.
    W().Picture2_MouseDown(1, 0, 150, 100), W().Picture2_MouseUp(1, 0, 150, 100), W().TNScrollH->setValue(30);
    const QPoint centre = Centre();
    const std::string actions = Tree(SP::Actions);
    const bool modified = W().Modified();
    ASSERT_EQ(ThumbPixel(36, 20), 0x00336699);

    // The artist paints the middle another colour and saves.
    TestPicture changed = Framed(300, 200, 0x00CC8844);
    for (int y = 80; y < 120; ++y)
        for (int x = 130; x < 170; ++x) changed.At(x, y) = 0x000000AA;
    QElapsedTimer clock;
    clock.start(), WritePng("walk.png", changed);
    ASSERT_TRUE(WaitUntil([&] { return W().SheetReloads > 0; }));
    EXPECT_TRUE(clock.elapsed() < 1000 && messages.Shown.empty());
    EXPECT_TRUE(Tree(SP::Actions) == actions && SP::CurFrame == 0 && Centre() == centre && W().TNScrollH->value() == 30);
    EXPECT_TRUE(Zoomed(100, 100) == 0x000000AA && Overview(12, 12) == 0x00CC8844 && ThumbPixel(36, 20) == 0x00CC8844);
    EXPECT_EQ(W().Modified(), modified) << "a reload is no edit";
    // Nothing more happens while the file stays as it is.
    QTest::qWait(3 * Form1::SheetWatchMs);
    EXPECT_EQ(W().SheetReloads, 1);
    // Half a file keeps the picture and is reported once, however long it stays.
    const std::vector<uint8_t> png = PngBuild::FromPicture(Framed(300, 200, 0x00112233), Magenta);
    WriteFileBytes(dir / "walk.png", std::vector<uint8_t>(png.begin(), png.begin() + png.size() / 2));
    ASSERT_TRUE(WaitUntil([&] { return !messages.Shown.empty(); }));
    QTest::qWait(3 * Form1::SheetWatchMs);
    EXPECT_TRUE(messages.Shown.size() == 1 && W().SheetReloads == 1 && Overview(12, 12) == 0x00CC8844);
}
