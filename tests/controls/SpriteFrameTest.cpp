#include "controls/SpriteFrame.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

#include "base/Messages.h"
#include "platform/PictureBox.h"

// A shown, active window holding one thumbnail, over another focusable widget.
struct Host {
    QWidget top;
    QLineEdit* elsewhere = new QLineEdit(&top);
    SpriteFrame* sf = new SpriteFrame(&top);
    QSignalSpy clicks{sf, &SpriteFrame::Click}, delays{sf, &SpriteFrame::SetDelay};
    QSignalSpy deletes{sf, &SpriteFrame::DoDelete};
    Host() {
        top.show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&top));
    }
    QWidget* Child(const char* name) const { return sf->findChild<QWidget*>(name); }
    // Opens the editor with a double click: it shows the label's text but takes no focus.
    // Then the user moves into it and replaces the text.
    void Type(const QString& text) {
        QTest::mouseDClick(Child("lblDelay"), Qt::LeftButton, Qt::NoModifier, QPoint(30, 5));
        auto* editor = sf->findChild<QLineEdit*>("Text1");
        ASSERT_TRUE(sf->DelayEditorVisible() && !editor->hasFocus() && editor->text() == sf->DelayText());
        editor->setFocus(Qt::MouseFocusReason);
        editor->setText(text);
    }
    // Editor open?, stored delay, delay label, SetDelay values raised so far.
    std::tuple<bool, int, QString, std::vector<int>> State() const {
        std::vector<int> raised;
        for (const auto& args : delays)
            raised.push_back(args[0].toInt());
        return {sf->DelayEditorVisible(), sf->Delay(), sf->DelayText(), raised};
    }
};

static QString Texts(const SpriteFrame& sf) {
    return QStringList{sf.NumText(), sf.LocText(), sf.SizeText(), sf.HSText(), sf.DelayText()}.join(' ');
}

TEST(SpriteFrame, LayoutTheDeleteCrossAndTheTextsShown) {
    SpriteFrame sf;
    // clang-format off
    const std::tuple<const char*, QRect, const char*> children[] = {
        {"Picture2", {0, 0, 89, 161}, ""},        {"lblMyNum", {8, 2, 57, 17}, "Frame 0"},
        {"Image1", {72, 2, 9, 9}, ""},            {"Picture1", {8, 16, 72, 72}, ""},
        {"Label6_0", {8, 92, 25, 17}, "At:"},     {"lblLoc", {16, 92, 65, 17}, "(?,?)"},
        {"Label6_1", {8, 108, 25, 17}, "Size:"},  {"lblSize", {16, 108, 65, 17}, "?x?"},
        {"Label6_2", {8, 124, 41, 17}, "HS:"},    {"lblHS", {24, 124, 57, 17}, "(?,?)"},
        {"Label6_3", {8, 140, 33, 17}, "Delay:"}, {"lblDelay", {40, 140, 41, 17}, "1"},
        {"Text1", {40, 140, 41, 19}, ""}}; // moved onto the delay label's row
    // clang-format on
    for (const auto& [name, geometry, text] : children) {
        QWidget* w = sf.findChild<QWidget*>(name);
        ASSERT_NE(w, nullptr) << name;
        EXPECT_EQ(w->geometry(), geometry) << name;
        EXPECT_EQ(w->property("text").toString(), text) << name;
    }
    const QImage cross = sf.findChild<QLabel*>("Image1")->pixmap().toImage();
    // clang-format off
    const char* rows = "BB.....BB" "BBB...BBB" ".BBB.BBB."
                       "..BBBBB.." "...BBB..." "..BBBBB.."
                       ".BBB.BBB." "BBB...BBB" "BB.....BB"; // B black, . transparent
    // clang-format on
    for (int i = 0; i < 81; ++i)
        EXPECT_EQ(cross.pixel(i % 9, i / 9), rows[i] == 'B' ? 0xFF000000u : 0u) << i % 9 << "," << i / 9;

    sf.SetID(3);
    sf.SetHS(-4, 7);
    sf.SetInfo(10, 20, 16, 32, 5);
    EXPECT_EQ(Texts(sf), "Frame 3 (10,20) 32x16 (-4,7) 5") << "the height comes first";
    sf.SetInfo(-3, 0, 0, 0, -40);
    EXPECT_EQ(std::pair(sf.Delay(), Texts(sf)),
              std::pair(int16_t{1}, QString("Frame 3 (-3,0) 0x0 (-4,7) 1")));
    sf.hDC().Row(0)[0] = ColorToPixel(0x00FF00); // drawing into the thumbnail
    EXPECT_EQ(sf.Thumb()->PixelAt(0, 0), 0x00FF00);
    sf.SetHighlight(1);
    sf.ReInit();
    EXPECT_EQ(Texts(sf), "Frame 0 (?,?) (?x?) (-4,7) 1") << "the hot spot is left";
    // The stored delay (0) differs from the label until the next SetInfo.
    EXPECT_EQ(std::tuple(sf.ID(), sf.Delay(), sf.Highlight(), sf.Thumb()->PixelAt(0, 0)),
              std::tuple(0, 0, 1, sf.Thumb()->BackColor()));
}

TEST(SpriteFrame, ClicksTheDelayEditorAndTheDeleteQuestion) {
    Host h;
    MessageRecorder messages;
    messages.Answers = {MsgAnswer::No, MsgAnswer::Yes};
    h.sf->SetID(3);
    // Releases over the panel, thumbnail and captions raise Click with the modifier state.
    std::vector<int> expected;
    for (const char* name : {"Picture2", "lblMyNum", "Picture1", "Label6_0", "lblLoc", "Label6_1", "lblSize",
                             "Label6_2", "lblHS", "Label6_3"}) {
        // at a point of it that no later sibling covers
        const QPoint p = name == std::string("Picture2") ? QPoint(2, 120) : QPoint(name[6] == '3' ? 3 : 1, 5);
        QTest::mouseClick(h.Child(name), Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, p);
        QTest::mouseClick(h.Child(name), Qt::RightButton, Qt::ControlModifier | Qt::AltModifier, p);
        expected.insert(expected.end(), {3, 6});
    }
    // Never from the delay label, the delete button or the open delay editor.
    QTest::mouseClick(h.Child("lblDelay"), Qt::LeftButton, Qt::ShiftModifier, QPoint(30, 5));
    QTest::mouseClick(h.Child("Image1"), Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));

    // Enter: halves round to the even neighbour, 0 and negatives pass on; no 16-bit number, no change.
    // clang-format off
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"2.5", 2}, {"3.5", 4}, {"0", 0}, {"-7", -7}, {" 1e2 ", 100}, {"-32768.5", -32768}, {"32767.4", 32767},
        {"", {}}, {"abc", {}}, {"32767.5", {}}, {"-32769", {}}, {"0x10", {}}, {"1,5", {}}, {"nan", {}}, {"2.5.1", {}}};
    // clang-format on
    std::vector<int> raised;
    for (const auto& [typed, value] : cases) {
        h.Type(typed);
        QTest::mouseClick(h.Child("Text1"), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QTest::keyClick(h.Child("Text1"), Qt::Key_Return);
        if (value) raised.push_back(*value);
        EXPECT_EQ(h.State(), std::tuple(false, raised.back(), QString::number(raised.back()), raised))
            << typed;
    }
    // Escape and leaving for another widget close it without storing anything.
    const auto kept = h.State();
    for (bool escape : {true, false}) {
        h.Type("25");
        escape ? QTest::keyClick(h.Child("Text1"), Qt::Key_Escape)
               : h.elsewhere->setFocus(Qt::MouseFocusReason);
        EXPECT_EQ(h.State(), kept) << escape;
    }
    std::vector<int> shifts;
    for (const auto& args : h.clicks)
        shifts.push_back(args[0].toInt());
    EXPECT_EQ(shifts, expected);

    const Message& m = messages.Shown.at(0);
    EXPECT_EQ(std::tuple(messages.Shown.size(), m.Text, m.Buttons, m.Icon, m.Title, h.deletes.count()),
              std::tuple(1u, "Delete Frame 3?", MsgButtons::YesNo, MsgIcon::Question, "Waitaminute...", 0));
    // On Yes, a handler that removes the control must not bring it down.
    QObject::connect(h.sf, &SpriteFrame::DoDelete, [&h] { delete h.sf; });
    QTest::mouseClick(h.Child("Image1"), Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    EXPECT_EQ(h.deletes.count(), 1);
}
