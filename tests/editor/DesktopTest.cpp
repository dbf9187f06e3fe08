// The editor as a desktop program: files opened by path (the command line)
// and by dropping, PNG sheets, and the sheet reloaded when its file changes.
#include <QMimeData>
#include <filesystem>

#include "EditorFixture.h"
#include "sif/SifFile.h"
#include "support/PngBuilder.h"

namespace {

constexpr int32_t Magenta = 0x00FF00FF;

// The tree with every name and frame, for whole comparisons.
std::string Tree(const std::vector<ActionData>& actions) {
    std::string out;
    for (const ActionData& a : actions) {
        out += "[" + a.Name + ":" + std::to_string(a.DirUBound);
        for (const DirectionData& d : a.Directions) {
            out += "(" + d.Name + ":" + std::to_string(d.FrameUBound);
            for (const FrameData& f : d.Frames)
                for (int v : {f.X, f.Y, f.Height, f.Width, int(f.Delay), f.HotSpotX, f.HotSpotY})
                    out += " " + std::to_string(v);
            out += ")";
        }
        out += "]";
    }
    return out;
}

// What a command leaves of the project and the window.
struct Shown {
    std::string Names;
    std::string Actions;
    int32_t Mask;
    std::vector<uint8_t> Pixels;
    QStringList ActionItems;
    int32_t Zoomed;
    bool operator==(const Shown&) const = default;
};

} // namespace

class DesktopTest : public EditorTest {
protected:
    // A new window over the program-start globals, as the fixture gives each test.
    void Restart() {
        SP::SheetFile = SP::ProjectFile = SP::FoundSheetPath = "";
        SP::MaskColor = 0, SP::SelAnchor = -1, SP::Actions.clear();
        Fresh();
    }
    Shown Now() {
        const ByteBuffer& p = SP::Sheet.Pixels();
        return {Names(), Tree(SP::Actions), SP::MaskColor, std::vector<uint8_t>(p.data(), p.data() + p.size()),
                Items(W().lstAction), Zoomed(3, 3)};
    }
    // Lets the event loop run until pred holds or ms have passed; true when it held.
    static bool WaitUntil(const std::function<bool()>& pred, int ms = 3000) {
        for (QDeadlineTimer end(ms); !pred();) {
            if (end.hasExpired()) return false;
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(2);
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
    void WritePng(const std::string& name, const TestPicture& p) {
        // Written beside and renamed over, as painting programs save.
        WriteFileBytes(dir / (name + ".part"), PngBuild::FromPicture(p, Magenta));
        std::filesystem::rename(dir / (name + ".part"), dir / name);
    }
    // One marked frame in one direction, selected, as a user leaves it.
    void MarkOneFrame(const FrameData& f) {
        W().Command1_Click();
        SP::Actions[0].Directions[0].Frames[0] = f;
        W().lstAction_Click(0), W().lstDirection_Click(0), WaitForRebuild();
        W().ucSF_Click(0, 0);
    }
    // Colour 0x00BBGGRR of a thumbnail picture's pixel.
    int32_t ThumbPixel(int i, int x, int y) {
        SpriteFrame* t = W().ThumbWidget(i);
        if (!t) return -1;
        const PixelSurface s = t->hDC();
        const uint32_t c = s.Bits[y * s.Stride + x];
        return static_cast<int32_t>((c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16);
    }
    std::vector<Message> Reloads() {
        std::vector<Message> out;
        for (const Message& m : messages.Shown)
            if (m.Text.rfind("The sheet file changed", 0) == 0) out.push_back(m);
        return out;
    }
};

TEST_F(DesktopTest, EachKindOfFileOpensAsItsMenuCommandWould) {
    // A project, a PNG and a BMP sheet, an upper-case name and a SIF file.
    for (const std::string name : {"walker.bmp", "walker.sip"})
        WriteFileBytes(dir / name, ReadFileBytes(std::string(CELWRIGHT_EXAMPLES) + "/" + name));
    WriteFileBytes(dir / "sheet.png", PngBuild::FromPicture(Framed(60, 50, 0x123456), Magenta));
    WriteFileBytes(dir / "SHEET.BMP", MakeBmp24(PositionSheet(70, 40)));
    Menu(W().mnuOpen, dir / "walker.sip"), Menu(W().mnuExportSIF[4], dir / "walker.sif");
    ASSERT_TRUE(FileExists(dir / "walker.sif"));
    const struct {
        const char* file;
        QAction* Form1::*menu;
    } cases[] = {{"walker.sip", &Form1::mnuOpen},
                 {"sheet.png", &Form1::mnuNew},
                 {"SHEET.BMP", &Form1::mnuNew},
                 {"walker.sif", &Form1::mnuImportSIF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Restart(), SP::MaskColor = Magenta;
        Menu(W().*c.menu, dir / c.file);
        const Shown byMenu = Now();
        Restart(), SP::MaskColor = Magenta, messages.Shown.clear();
        EXPECT_TRUE(W().OpenPath(dir / c.file));
        EXPECT_TRUE(Now() == byMenu);
        EXPECT_TRUE(messages.Shown.empty());
        EXPECT_TRUE(SP::Sheet.Loaded());
    }
    // A name alone is taken from the current folder, as a shell passes it.
    Restart();
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    const bool opened = W().OpenPath("walker.sip");
    std::filesystem::current_path(cwd);
    EXPECT_TRUE(opened && Names() == dir.Path() + "|walker.bmp|walker.sip");
}

TEST_F(DesktopTest, UnknownOrMissingFilesAndACancelChangeNothing) {
    NewSheet(40, 30, "keep.bmp"), W().Command1_Click(); // unsaved
    const Shown before = Now();
    WriteFileBytes(dir / "notes.txt", {1, 2, 3});
    const struct {
        std::string path;
        std::string text;
    } refused[] = {
        {dir / "notes.txt",
         dir / "notes.txt\n\nCelwright opens projects (.sip), sprite sheets (.bmp, .png) and SIF files (.sif)."},
        {dir / "gone.sip", dir / "gone.sip\n\nThis file does not exist."},
        {dir / "gone.png", dir / "gone.png\n\nThis file does not exist."},
        {dir / "noext", dir / "noext\n\nCelwright opens projects (.sip), sprite sheets (.bmp, .png) and SIF files (.sif)."},
    };
    for (const auto& r : refused) {
        messages.Shown.clear();
        EXPECT_FALSE(W().OpenPath(r.path));
        EXPECT_EQ(messages.Texts(), Strings{r.text}); // nothing asked about the unsaved change
        EXPECT_TRUE(Now() == before);
    }
    // The question about the unsaved change, cancelled.
    WriteFileBytes(dir / "other.bmp", MakeBmp24(PositionSheet(20, 20)));
    messages.Shown.clear(), messages.Answers.push_back(MsgAnswer::Cancel);
    EXPECT_FALSE(W().OpenPath(dir / "other.bmp"));
    EXPECT_EQ(messages.Texts(), Strings{"Save changes to the project?"});
    EXPECT_TRUE(Now() == before);
}

TEST_F(DesktopTest, OneDroppedFileOfAKnownKindOpensOthersAreRefused) {
    EXPECT_TRUE(W().acceptDrops());
    WriteFileBytes(dir / "drop.png", PngBuild::FromPicture(Framed(64, 64, 0x00336699), Magenta));
    auto mime = [](const QList<QUrl>& urls) {
        auto* m = new QMimeData;
        m->setUrls(urls);
        return m;
    };
    auto local = [&](const std::string& name) { return QUrl::fromLocalFile(QString::fromStdString(dir / name)); };
    const struct {
        QList<QUrl> urls;
        bool accepted;
    } drags[] = {
        {{local("drop.png")}, true},
        {{local("x.SIP")}, true},
        {{local("a.sif")}, true},
        {{local("drop.png"), local("b.png")}, false},
        {{local("notes.txt")}, false},
        {{QUrl("https://example.invalid/a.png")}, false},
        {{}, false},
    };
    for (const auto& d : drags) {
        std::unique_ptr<QMimeData> data(mime(d.urls));
        QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&W(), &enter);
        EXPECT_EQ(enter.isAccepted(), d.accepted) << d.urls.size();
        // Qt hands a drop only to the target of a drag it runs itself, so the
        // window's handler is called as that delivery would call it.
        QDropEvent drop(QPointF(200, 200), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        if (!d.accepted) {
            W().dropEvent(&drop);
            EXPECT_FALSE(drop.isAccepted());
        }
    }
    QApplication::processEvents();
    EXPECT_FALSE(SP::Sheet.Loaded()) << "a refused drop opens nothing";

    // The drop ends before the file opens: it opens from the event loop.
    SP::MaskColor = Magenta;
    std::unique_ptr<QMimeData> data(mime({local("drop.png")}));
    QDropEvent drop(QPointF(200, 200), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    W().dropEvent(&drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_FALSE(SP::Sheet.Loaded());
    ASSERT_TRUE(WaitUntil([] { return SP::Sheet.Loaded(); }));
    EXPECT_EQ(Names(), dir.Path() + "|drop.png|");
    EXPECT_TRUE(Overview(0, 0) == Magenta && Overview(10, 10) == 0x00336699 && messages.Shown.empty());
}

TEST_F(DesktopTest, APngSheetsClearPixelsFollowTheMaskColour) {
    WriteFileBytes(dir / "s.png", PngBuild::FromPicture(Framed(64, 64, 0x00336699), Magenta));
    SP::MaskColor = 0x00010203;
    ASSERT_TRUE(W().OpenPath(dir / "s.png"));
    // The zoom view shows the small sheet in its middle: (128, 128) is its top-left pixel.
    EXPECT_TRUE(Overview(0, 0) == 0x00010203 && Overview(63, 63) == 0x00010203 && Zoomed(128, 128) == 0x00010203);
    dialogs.ColorAnswers.push_back(0x0000FF00), W().Label6_DblClick();
    EXPECT_TRUE(Overview(0, 0) == 0x0000FF00 && Overview(63, 63) == 0x0000FF00 && Zoomed(128, 128) == 0x0000FF00);
    EXPECT_EQ(Overview(10, 10), 0x00336699);
    // Undone, the clear pixels take the earlier colour again.
    W().mnuUndo_Click();
    EXPECT_TRUE(SP::MaskColor == 0x00010203 && Overview(0, 0) == 0x00010203);
}

TEST_F(DesktopTest, AChangedSheetReloadsWithinASecondKeepingFramesSelectionAndZoom) {
    WritePng("walk.png", Framed(300, 200, 0x00336699));
    SP::MaskColor = Magenta;
    ASSERT_TRUE(W().OpenPath(dir / "walk.png"));
    const FrameData f{8, 8, 24, 16, {0, 0}, 100, 8, 23}; // Height 24, Width 16
    MarkOneFrame(f);
    // The zoom moved away from the corner, the overview panned.
    W().Picture2_MouseDown(1, 0, 150, 100), W().Picture2_MouseUp(1, 0, 150, 100);
    W().TNScrollH->setValue(30);
    const QPoint centre = Centre();
    const std::string actions = Tree(SP::Actions);
    const bool modified = W().Modified();
    const int reloadsBefore = W().SheetReloads;
    ASSERT_EQ(ThumbPixel(0, 36, 20), 0x00336699);
    const int32_t oldZoom = Zoomed(100, 100);

    // The artist paints the middle another colour and saves.
    TestPicture changed = Framed(300, 200, 0x00CC8844);
    for (int y = 80; y < 120; ++y)
        for (int x = 130; x < 170; ++x) changed.At(x, y) = 0x000000AA;
    QElapsedTimer clock;
    clock.start();
    WritePng("walk.png", changed);
    ASSERT_TRUE(WaitUntil([&] { return W().SheetReloads > reloadsBefore; }));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(W().SheetReloads, reloadsBefore + 1);
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_TRUE(Tree(SP::Actions) == actions && SP::CurFrame == 0 && Centre() == centre);
    EXPECT_EQ(W().TNScrollH->value(), 30);
    EXPECT_NE(Zoomed(100, 100), oldZoom);
    EXPECT_EQ(Zoomed(100, 100), 0x000000AA) << "the zoom view shows the new pixels where it was";
    EXPECT_EQ(Overview(12, 12), 0x00CC8844);
    EXPECT_EQ(ThumbPixel(0, 36, 20), 0x00CC8844) << "the strip shows them too";
    EXPECT_EQ(W().Modified(), modified) << "a reload is no edit";
    // Nothing more happens while the file stays as it is.
    QTest::qWait(3 * Form1::SheetWatchMs);
    EXPECT_EQ(W().SheetReloads, reloadsBefore + 1);
}

TEST_F(DesktopTest, AFailedReloadKeepsThePictureAndSaysWhyOnce) {
    WritePng("walk.png", Framed(64, 64, 0x00336699));
    SP::MaskColor = Magenta;
    ASSERT_TRUE(W().OpenPath(dir / "walk.png"));
    const std::vector<uint8_t> pixels(SP::Sheet.Pixels().data(), SP::Sheet.Pixels().data() + SP::Sheet.Pixels().size());
    // Half a file, as a program caught writing would leave it for good.
    std::vector<uint8_t> half = PngBuild::FromPicture(Framed(64, 64, 0x00111111), Magenta);
    half.resize(half.size() / 2);
    WriteFileBytes(dir / "walk.png", half);
    ASSERT_TRUE(WaitUntil([&] { return !Reloads().empty(); }));
    QTest::qWait(4 * Form1::SheetWatchMs);
    ASSERT_EQ(Reloads().size(), 1u);
    const Message m = Reloads()[0];
    EXPECT_EQ(m.Text, "The sheet file changed, but the new version cannot be used; the picture stays as it was.\n\n" +
                          dir / "walk.png\n\nThis file is damaged or incomplete.");
    EXPECT_EQ(m.Title, "Whoops");
    EXPECT_EQ(std::vector<uint8_t>(SP::Sheet.Pixels().data(), SP::Sheet.Pixels().data() + SP::Sheet.Pixels().size()),
              pixels);
    EXPECT_EQ(Overview(10, 10), 0x00336699);
    EXPECT_EQ(SP::Sheet.FileName(), dir / "walk.png") << "still watched";
    // The next good save is taken.
    WritePng("walk.png", Framed(64, 64, 0x00224466));
    ASSERT_TRUE(WaitUntil([&] { return W().SheetReloads == 1; }));
    EXPECT_EQ(Overview(10, 10), 0x00224466);
    EXPECT_EQ(Reloads().size(), 1u);
}

TEST_F(DesktopTest, OnlyTheSheetOnScreenIsWatched) {
    WritePng("a.png", Framed(64, 64, 0x00336699));
    WritePng("b.png", Framed(64, 64, 0x00336699));
    ASSERT_TRUE(W().OpenPath(dir / "a.png"));
    ASSERT_TRUE(W().OpenPath(dir / "b.png"));
    WritePng("a.png", Framed(64, 64, 0x00445566));
    QTest::qWait(5 * Form1::SheetWatchMs);
    EXPECT_EQ(W().SheetReloads, 0);
    // A sheet gone for a moment (or for good) is no change to report.
    std::filesystem::remove(dir / "b.png");
    QTest::qWait(3 * Form1::SheetWatchMs);
    EXPECT_TRUE(W().SheetReloads == 0 && messages.Shown.empty() && SP::Sheet.Loaded());
}
