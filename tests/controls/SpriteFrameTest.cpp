#include "controls/SpriteFrame.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

#include "base/Messages.h"
#include "platform/PictureBox.h"

static QString Texts(const SpriteFrame& sf) {
    return QStringList{sf.NumText(), sf.LocText(), sf.SizeText(), sf.HSText(), sf.DelayText()}.join(' ');
}

TEST(SpriteFrame, TheTextsShownTheThumbnailAndReInit) {
    SpriteFrame sf;
    sf.SetID(3);
    sf.SetHS(-4, 7);
    sf.SetInfo(10, 20, 16, 32, 5);
    EXPECT_EQ(Texts(sf), "Frame 3 (10,20) 32x16 (-4,7) 5") << "the height comes first";
    sf.SetInfo(-3, 0, 0, 0, -40);
    EXPECT_EQ(std::pair(sf.Delay(), Texts(sf)), std::pair(int16_t{1}, QString("Frame 3 (-3,0) 0x0 (-4,7) 1")));
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
    QWidget top; // a shown, active window holding the thumbnail, over another focusable widget
    auto* elsewhere = new QLineEdit(&top);
    auto* sf = new SpriteFrame(&top);
    QSignalSpy clicks{sf, &SpriteFrame::Click}, delays{sf, &SpriteFrame::SetDelay}, deletes{sf, &SpriteFrame::DoDelete};
    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&top));
    auto child = [&](const char* name) { return sf->findChild<QWidget*>(name); };
    MessageRecorder messages;
    messages.Answers = {MsgAnswer::No, MsgAnswer::Yes};
    sf->SetID(3);
    // Releases over the panel, thumbnail and captions raise Click with the modifier state,
    for (const char* name : {"Picture2", "lblMyNum", "Picture1", "Label6_0", "lblLoc", "Label6_1", "lblSize",
                             "Label6_2", "lblHS", "Label6_3"}) { // at a point no later sibling covers
        const QPoint p = name == std::string("Picture2") ? QPoint(2, 120) : QPoint(name[6] == '3' ? 3 : 1, 5);
        QTest::mouseClick(child(name), Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, p);
        QTest::mouseClick(child(name), Qt::RightButton, Qt::ControlModifier | Qt::AltModifier, p);
    }
    // never from the delay label, the delete button or the open delay editor.
    QTest::mouseClick(child("lblDelay"), Qt::LeftButton, Qt::ShiftModifier, QPoint(30, 5));
    QTest::mouseClick(child("Image1"), Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));

    // A double click opens the editor showing the label's text, without focus; the user moves in and types.
    auto type = [&](const QString& text) {
        QTest::mouseDClick(child("lblDelay"), Qt::LeftButton, Qt::NoModifier, QPoint(30, 5));
        auto* editor = sf->findChild<QLineEdit*>("Text1");
        ASSERT_TRUE(sf->DelayEditorVisible() && !editor->hasFocus() && editor->text() == sf->DelayText());
        editor->setFocus(Qt::MouseFocusReason);
        editor->setText(text);
    };
    // Editor open?, stored delay, delay label, SetDelay values raised so far.
    auto state = [&] {
        std::vector<int> raised;
        for (const auto& args : delays) raised.push_back(args[0].toInt());
        return std::tuple(sf->DelayEditorVisible(), int(sf->Delay()), sf->DelayText(), raised);
    };
    // Enter: halves round to the even neighbour, 0 and negatives pass on; no 16-bit number, no change.
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"2.5", 2}, {"3.5", 4}, {"0", 0}, {"-7", -7}, {" 1e2 ", 100}, {"-32768.5", -32768}, {"32767.4", 32767},
        {"", {}}, {"abc", {}}, {"32767.5", {}}, {"-32769", {}}, {"0x10", {}}, {"1,5", {}}, {"nan", {}}, {"2.5.1", {}}};
    std::vector<int> raised;
    for (const auto& [typed, value] : cases) {
        type(typed);
        QTest::mouseClick(child("Text1"), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QTest::keyClick(child("Text1"), Qt::Key_Return);
        if (value) raised.push_back(*value);
        EXPECT_EQ(state(), std::tuple(false, raised.back(), QString::number(raised.back()), raised)) << typed;
    }
    // Escape and leaving for another widget close it without storing anything.
    const auto kept = state();
    for (bool escape : {true, false}) {
        type("25");
        escape ? QTest::keyClick(child("Text1"), Qt::Key_Escape) : elsewhere->setFocus(Qt::MouseFocusReason);
        EXPECT_EQ(state(), kept) << escape;
    }
    QString shifts; // the modifier state of every release
    for (const auto& args : clicks) shifts += QString::number(args[0].toInt());
    EXPECT_EQ(shifts, QString("36").repeated(10));

    const Message& m = messages.Shown.at(0);
    EXPECT_EQ(std::tuple(messages.Shown.size(), m.Text, m.Buttons, m.Icon, m.Title, deletes.count()),
              std::tuple(1u, "Delete Frame 3?", MsgButtons::YesNo, MsgIcon::Question, "Waitaminute...", 0));
    // On Yes, a handler that removes the control must not bring it down.
    QObject::connect(sf, &SpriteFrame::DoDelete, [&sf] { delete sf; });
    QTest::mouseClick(child("Image1"), Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    EXPECT_EQ(deletes.count(), 1);
}

TEST(SpriteFrame, TheJitterMarkAddsItsCornerAndTooltipAndChangesNothingElse) {
    QWidget top;
    auto* sf = new SpriteFrame(&top);
    QSignalSpy clicks{sf, &SpriteFrame::Click};
    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));
    sf->SetID(4);
    sf->SetInfo(10, 20, 16, 32, 5);
    sf->SetHS(3, 30);
    for (int i = 0; i < 72; ++i) sf->hDC().Row(i)[i] = ColorToPixel(0x00FF00);
    sf->RefreshThumb();
    const QImage plain = sf->grab().toImage();
    EXPECT_TRUE(sf->JitterMark().isEmpty());
    sf->SetJitterMark("");
    EXPECT_EQ(sf->findChild<QWidget*>("lblJitter"), nullptr) << "made only when first shown";

    sf->SetJitterMark("Hot spot jitter: 3 pixels low of the others");
    auto* mark = sf->findChild<QWidget*>("lblJitter");
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(sf->JitterMark(), "Hot spot jitter: 3 pixels low of the others");
    EXPECT_EQ(mark->toolTip(), sf->JitterMark());
    EXPECT_TRUE(mark->isVisible());
    // It lies over no other child, and every pixel outside it is as before.
    for (QWidget* other : sf->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other != mark && other->objectName() != "Picture2") {
            EXPECT_FALSE(other->geometry().intersects(mark->geometry())) << other->objectName().toStdString();
        }
    }
    EXPECT_TRUE(sf->rect().contains(mark->geometry()));
    const QImage marked = sf->grab().toImage();
    int changed = 0;
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x)
            if (plain.pixel(x, y) != marked.pixel(x, y)) {
                ++changed;
                EXPECT_TRUE(mark->geometry().contains(x * plain.width() / sf->width(), y * plain.height() / sf->height()));
            }
    EXPECT_GT(changed, 20);
    EXPECT_EQ(Texts(*sf), "Frame 4 (10,20) 32x16 (3,30) 5");
    // A click on the mark is a click on the thumbnail.
    QTest::mouseClick(mark, Qt::LeftButton, Qt::ShiftModifier, QPoint(4, 4));
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks[0][0].toInt(), 1);
    // Taken away, the thumbnail looks as it did.
    sf->SetJitterMark("");
    EXPECT_TRUE(sf->JitterMark().isEmpty() && mark->isHidden());
    EXPECT_EQ(sf->grab().toImage(), plain);
}
