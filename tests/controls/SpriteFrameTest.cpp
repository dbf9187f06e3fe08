#include "controls/SpriteFrame.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "base/Messages.h"
#include "platform/PictureBox.h"

namespace {

// A shown, active window holding one thumbnail and another focusable widget.
struct Host {
    QWidget top;
    SpriteFrame* sf;
    QLineEdit* elsewhere;
    QSignalSpy clicks, deletes, delays;

    Host()
        : sf(new SpriteFrame(&top)), elsewhere(new QLineEdit(&top)), clicks(sf, &SpriteFrame::Click),
          deletes(sf, &SpriteFrame::DoDelete), delays(sf, &SpriteFrame::SetDelay) {
        top.resize(300, 200);
        sf->move(10, 10);
        elsewhere->setGeometry(150, 10, 80, 20);
        top.show();
        top.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&top));
    }

    template <class T = QWidget>
    T* Child(const char* name) const {
        T* w = sf->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* Editor() const { return Child<QLineEdit>("Text1"); }

    std::vector<int> ClickShifts() const {
        std::vector<int> out;
        for (const auto& args : clicks) out.push_back(args[0].toInt());
        return out;
    }
    std::vector<int> Delays() const {
        std::vector<int> out;
        for (const auto& args : delays) out.push_back(args[0].toInt());
        return out;
    }

    void OpenEditor() { QTest::mouseDClick(Child("lblDelay"), Qt::LeftButton, Qt::NoModifier, QPoint(30, 5)); }

    // Opens the editor, moves into it as the user would, and types over its text.
    void Type(const QString& text) {
        OpenEditor();
        QLineEdit* ed = Editor();
        ASSERT_TRUE(ed->isVisible());
        QTest::mouseClick(ed, Qt::LeftButton);
        ed->setFocus(Qt::MouseFocusReason);
        ed->selectAll();
        QTest::keyClick(ed, Qt::Key_Backspace);
        QTest::keyClicks(ed, text);
    }
};

QColor PixelOf(QWidget* w, int x, int y) { return QColor(w->grab().toImage().pixel(x, y)); }

} // namespace

TEST(SpriteFrame, LayoutAndStartingTexts) {
    SpriteFrame sf;
    EXPECT_EQ(sf.size(), QSize(89, 161));
    struct Expect {
        const char* name;
        QRect geometry;
        const char* text;
    };
    const Expect children[] = {
        {"Picture2", {0, 0, 89, 161}, nullptr},   {"lblMyNum", {8, 2, 57, 17}, "Frame 0"},
        {"Image1", {72, 2, 9, 9}, nullptr},       {"Picture1", {8, 16, 72, 72}, nullptr},
        {"Label6_0", {8, 92, 25, 17}, "At:"},     {"lblLoc", {16, 92, 65, 17}, "(?,?)"},
        {"Label6_1", {8, 108, 25, 17}, "Size:"},  {"lblSize", {16, 108, 65, 17}, "?x?"},
        {"Label6_2", {8, 124, 41, 17}, "HS:"},    {"lblHS", {24, 124, 57, 17}, "(?,?)"},
        {"Label6_3", {8, 140, 33, 17}, "Delay:"}, {"lblDelay", {40, 140, 41, 17}, "1"},
        {"Text1", {40, 140, 41, 19}, nullptr}, // moved onto the delay label's row
    };
    for (const Expect& e : children) {
        SCOPED_TRACE(e.name);
        QWidget* w = sf.findChild<QWidget*>(e.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), e.geometry);
        if (e.text) {
            EXPECT_EQ(qobject_cast<QLabel*>(w)->text(), e.text);
        }
    }
    for (const char* right : {"lblLoc", "lblSize", "lblHS", "lblDelay"})
        EXPECT_TRUE(sf.findChild<QLabel*>(right)->alignment() & Qt::AlignRight) << right;
    EXPECT_FALSE(sf.DelayEditorVisible());
    EXPECT_EQ(sf.Delay(), 1);
    EXPECT_EQ(sf.Highlight(), 0);
    EXPECT_EQ(sf.ID(), 0);
    EXPECT_EQ(sf.Thumb()->PictureWidth(), 72);
    EXPECT_EQ(sf.Thumb()->PictureHeight(), 72);
}

TEST(SpriteFrame, DeleteButtonIsTheBlackCrossOfTheTable) {
    SpriteFrame sf;
    const QImage img = sf.findChild<QLabel*>("Image1")->pixmap().toImage();
    ASSERT_EQ(img.size(), QSize(9, 9));
    const char* rows[9] = {"BB.....BB", "BBB...BBB", ".BBB.BBB.", "..BBBBB..", "...BBB...",
                           "..BBBBB..", ".BBB.BBB.", "BBB...BBB", "BB.....BB"};
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            const QColor c = img.pixelColor(x, y);
            if (rows[y][x] == 'B') {
                EXPECT_EQ(c, QColor(0, 0, 0)) << x << "," << y;
            } else {
                EXPECT_EQ(c.alpha(), 0) << x << "," << y;
            }
        }
}

TEST(SpriteFrame, SetInfoSetHSSetIDAndReInit) {
    SpriteFrame sf;
    sf.SetInfo(10, 20, 16, 32, 5);
    EXPECT_EQ(sf.LocText(), "(10,20)");
    EXPECT_EQ(sf.SizeText(), "32x16") << "height first";
    EXPECT_EQ(sf.DelayText(), "5");
    EXPECT_EQ(sf.Delay(), 5);

    sf.SetInfo(-3, 0, 1, 2, 0);
    EXPECT_EQ(sf.LocText(), "(-3,0)");
    EXPECT_EQ(sf.DelayText(), "1");
    EXPECT_EQ(sf.Delay(), 1);
    sf.SetInfo(0, 0, 0, 0, -40);
    EXPECT_EQ(sf.DelayText(), "1");
    EXPECT_EQ(sf.Delay(), 1);
    sf.SetInfo(0, 0, 0, 0, 32767);
    EXPECT_EQ(sf.DelayText(), "32767");

    sf.SetHS(-4, 7);
    EXPECT_EQ(sf.HSText(), "(-4,7)");
    sf.SetID(3);
    EXPECT_EQ(sf.NumText(), "Frame 3");
    EXPECT_EQ(sf.ID(), 3);
    sf.SetID(-2);
    EXPECT_EQ(sf.NumText(), "Frame -2");

    // The thumbnail: drawn through hDC, shown by RefreshThumb, cleared by ClearThumb.
    const int32_t back = sf.Thumb()->BackColor();
    PixelSurface s = sf.hDC();
    ASSERT_NE(s.Bits, nullptr);
    EXPECT_EQ(s.Width, 72);
    EXPECT_EQ(s.Height, 72);
    s.Row(40)[30] = ColorToPixel(0x0000FF);
    sf.RefreshThumb();
    EXPECT_EQ(sf.Thumb()->PixelAt(30, 40), 0x0000FF);
    sf.ClearThumb();
    EXPECT_EQ(sf.Thumb()->PixelAt(30, 40), back);

    sf.SetHighlight(1);
    sf.hDC().Row(0)[0] = ColorToPixel(0x00FF00);
    sf.ReInit();
    EXPECT_EQ(sf.NumText(), "Frame 0");
    EXPECT_EQ(sf.ID(), 0);
    EXPECT_EQ(sf.LocText(), "(?,?)");
    EXPECT_EQ(sf.SizeText(), "(?x?)");
    EXPECT_EQ(sf.DelayText(), "1");
    EXPECT_EQ(sf.Delay(), 0) << "the stored delay differs from the label until the next SetInfo";
    EXPECT_EQ(sf.HSText(), "(-4,7)") << "ReInit leaves the hot spot";
    EXPECT_EQ(sf.Highlight(), 1) << "and the highlight";
    EXPECT_EQ(sf.Thumb()->PixelAt(0, 0), back);
    EXPECT_EQ(sf.findChild<QLineEdit*>("Text1")->text(), "1");
}

TEST(SpriteFrame, HighlightColoursTheBackgroundBehindTheLabels) {
    Host h;
    const QColor face = QApplication::palette().color(QPalette::Button);
    ASSERT_NE(face, QColor(255, 255, 255));
    EXPECT_EQ(PixelOf(h.sf, 1, 150), face);

    h.sf->SetHighlight(5);
    EXPECT_EQ(h.sf->Highlight(), 5);
    EXPECT_EQ(PixelOf(h.sf, 1, 150), QColor(255, 255, 255));
    // Labels are transparent: the highlight shows in their empty parts.
    EXPECT_EQ(PixelOf(h.sf, 17, 107), QColor(255, 255, 255));

    h.sf->SetHighlight(0);
    EXPECT_EQ(PixelOf(h.sf, 1, 150), face);
    EXPECT_EQ(PixelOf(h.sf, 17, 107), face);
}

TEST(SpriteFrame, ReleaseOverTheControlRaisesClickWithTheShiftState) {
    Host h;
    MessageRecorder messages; // the delete button's question answers No
    const char* clickable[] = {"Picture2", "lblMyNum", "Picture1", "Label6_0", "lblLoc",  "Label6_1",
                               "lblSize",  "Label6_2", "lblHS",    "Label6_3", "Picture2"};
    for (const char* name : clickable) {
        SCOPED_TRACE(name);
        QWidget* w = h.Child(name);
        // A point of the child that no later sibling covers.
        QPoint at = w->rect().bottomLeft() + QPoint(1, -1);
        if (std::string(name) == "Picture2") at = QPoint(2, 120);
        if (std::string(name) == "Label6_3") at = QPoint(3, 5);
        const int before = static_cast<int>(h.clicks.count());
        QTest::mouseClick(w, Qt::LeftButton, Qt::ShiftModifier, at);
        QTest::mouseClick(w, Qt::RightButton, Qt::ControlModifier | Qt::AltModifier, at);
        QTest::mouseClick(w, Qt::MiddleButton, Qt::NoModifier, at);
        ASSERT_EQ(h.clicks.count(), before + 3);
        EXPECT_EQ(h.clicks.at(before)[0].toInt(), 1);
        EXPECT_EQ(h.clicks.at(before + 1)[0].toInt(), 6);
        EXPECT_EQ(h.clicks.at(before + 2)[0].toInt(), 0);
    }

    // Never from the delay label, the delete button or the open delay editor.
    const int before = static_cast<int>(h.clicks.count());
    QTest::mouseClick(h.Child("lblDelay"), Qt::LeftButton, Qt::ShiftModifier, QPoint(30, 5));
    QTest::mouseClick(h.Child("Image1"), Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    QTest::mouseClick(h.Child("Image1"), Qt::RightButton, Qt::NoModifier, QPoint(4, 4));
    h.OpenEditor();
    QTest::mouseClick(h.Editor(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(h.clicks.count(), before);

    // Pressed on a caption, released over the delay label: the pointer decides.
    QWidget* loc = h.Child("lblLoc");
    h.sf->SetInfo(0, 0, 0, 0, 1); // closes the editor
    QTest::mousePress(loc, Qt::LeftButton, Qt::NoModifier, QPoint(50, 5));
    QTest::mouseRelease(loc, Qt::LeftButton, Qt::NoModifier, loc->mapFrom(h.sf, QPoint(70, 150)));
    EXPECT_EQ(h.clicks.count(), before);
    EXPECT_EQ(messages.Shown.size(), 1u) << "one question, for the left click on the cross";
    EXPECT_EQ(h.deletes.count(), 0);
}

TEST(SpriteFrame, DeleteButtonAsksAndRaisesDoDeleteOnYes) {
    Host h;
    MessageRecorder messages;
    h.sf->SetID(3);
    messages.Answers = {MsgAnswer::No, MsgAnswer::Yes};
    QTest::mouseClick(h.Child("Image1"), Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    EXPECT_EQ(h.deletes.count(), 0) << "No changes nothing";
    QTest::mouseClick(h.Child("Image1"), Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    EXPECT_EQ(h.deletes.count(), 1);
    ASSERT_EQ(messages.Shown.size(), 2u);
    const Message& m = messages.Shown[0];
    EXPECT_EQ(m.Text, "Delete Frame 3?");
    EXPECT_EQ(m.Buttons, MsgButtons::YesNo);
    EXPECT_EQ(m.Icon, MsgIcon::Question);
    EXPECT_EQ(m.Title, "Waitaminute...");
    EXPECT_EQ(h.clicks.count(), 0);

    // A handler that removes the control on DoDelete must not bring it down.
    messages.Answers = {MsgAnswer::Yes};
    QObject::connect(h.sf, &SpriteFrame::DoDelete, h.sf, [&h] { delete h.sf; }, Qt::DirectConnection);
    QLabel* cross = h.Child<QLabel>("Image1");
    QTest::mouseClick(cross, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    EXPECT_EQ(h.top.findChild<SpriteFrame*>(), nullptr);
}

TEST(SpriteFrame, DelayEditorEnterStoresShowsAndRaises) {
    Host h;
    h.sf->SetInfo(0, 0, 8, 8, 7);
    h.OpenEditor();
    QLineEdit* ed = h.Editor();
    EXPECT_TRUE(h.sf->DelayEditorVisible());
    EXPECT_EQ(ed->text(), "7") << "the editor starts with the label's text";
    EXPECT_EQ(ed->geometry().topLeft(), h.Child("lblDelay")->geometry().topLeft());
    EXPECT_FALSE(ed->hasFocus()) << "opening it does not move the focus";
    h.sf->SetInfo(0, 0, 8, 8, 7); // closes it again
    EXPECT_FALSE(h.sf->DelayEditorVisible());

    struct Case {
        const char* typed;
        int value;
    };
    // Rounded to the nearest integer, halves to the even one; 0 and negatives pass on.
    const Case cases[] = {{"12", 12},   {"2.5", 2},         {"3.5", 4},      {"0", 0},
                          {"-7", -7},   {" 6 ", 6},         {"1e2", 100},    {"32767.4", 32767},
                          {"-0.5", 0}, {"-32768.5", -32768}, {"+4.51", 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const int before = static_cast<int>(h.delays.count());
        h.Type(c.typed);
        QTest::keyClick(ed, Qt::Key_Return);
        EXPECT_FALSE(h.sf->DelayEditorVisible());
        ASSERT_EQ(h.delays.count(), before + 1);
        EXPECT_EQ(h.delays.at(before)[0].toInt(), c.value);
        EXPECT_EQ(h.sf->Delay(), c.value);
        EXPECT_EQ(h.sf->DelayText(), QString::number(c.value));
    }
    h.Type("9");
    QTest::keyClick(ed, Qt::Key_Enter); // the keypad's Enter as well
    EXPECT_EQ(h.Delays().back(), 9);
    EXPECT_EQ(h.clicks.count(), 0);
}

TEST(SpriteFrame, DelayEditorBadTextKeepsTheStoredDelay) {
    Host h;
    h.sf->SetInfo(0, 0, 8, 8, 4);
    QLineEdit* ed = h.Editor();
    for (const char* bad : {"", "abc", "40000", "32767.5", "-32769", "1e9", "0x10", "1,5", "inf", "nan", "--2",
                            "2.5.1", ".", "e5", "3e"}) {
        SCOPED_TRACE(bad);
        h.Type(bad);
        QTest::keyClick(ed, Qt::Key_Return);
        EXPECT_FALSE(h.sf->DelayEditorVisible());
        EXPECT_EQ(h.sf->Delay(), 4);
        EXPECT_EQ(h.sf->DelayText(), "4");
    }
    EXPECT_EQ(h.delays.count(), 0);
}

TEST(SpriteFrame, DelayEditorEscapeAndFocusLossDropTheEdit) {
    Host h;
    h.sf->SetInfo(0, 0, 8, 8, 4);
    QLineEdit* ed = h.Editor();

    h.Type("25");
    QTest::keyClick(ed, Qt::Key_Escape);
    EXPECT_FALSE(h.sf->DelayEditorVisible());
    EXPECT_EQ(h.sf->DelayText(), "4") << "the label shows only stored values";
    EXPECT_EQ(h.sf->Delay(), 4);

    // Leaving for another widget.
    h.Type("30");
    h.elsewhere->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    EXPECT_FALSE(ed->hasFocus());
    EXPECT_FALSE(h.sf->DelayEditorVisible());
    EXPECT_EQ(h.sf->DelayText(), "4");
    EXPECT_EQ(h.sf->Delay(), 4);

    // The editor's own menu or another application taking over is no leaving.
    h.Type("31");
    for (Qt::FocusReason r : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, r);
        QApplication::sendEvent(ed, &out);
        EXPECT_TRUE(h.sf->DelayEditorVisible());
    }
    QTest::keyClick(ed, Qt::Key_Return);
    EXPECT_EQ(h.Delays(), std::vector<int>{31}) << "only Enter raises SetDelay";

    // SetInfo, Highlight and ReInit close it; ReInit still shows "1" over the stored 0.
    h.Type("8");
    h.sf->SetHighlight(1);
    EXPECT_FALSE(h.sf->DelayEditorVisible());
    EXPECT_EQ(h.sf->DelayText(), "31");
    h.Type("8");
    h.sf->ReInit();
    EXPECT_FALSE(h.sf->DelayEditorVisible());
    EXPECT_EQ(h.sf->DelayText(), "1");
    EXPECT_EQ(h.sf->Delay(), 0);
    EXPECT_EQ(h.delays.count(), 1);
}
