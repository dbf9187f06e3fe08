#pragma once
// A fresh main window per test, with scripted dialogs, recorded messages and
// the project globals back at their program-start values.
#include <QTest>
#include <functional>
#include <QtWidgets>
#include <gtest/gtest.h>

#include "base/Messages.h"
#include "controls/SpriteFrame.h"
#include "editor/Form1.h"
#include "platform/CommDlgs.h"
#include "platform/DeferredCall.h"
#include "platform/PictureBox.h"
#include "support/TestSupport.h"

namespace SP = SpriteProject;
using Strings = std::vector<std::string>;

// A sheet whose every pixel tells where it is: red = x, green = y (mod 256), blue 0x40.
inline int32_t PositionColor(int x, int y) { return (x & 0xFF) | ((y & 0xFF) << 8) | (0x40 << 16); }
inline TestPicture PositionSheet(int w, int h) {
    TestPicture p = MakePicture(w, h);
    for (int i = 0; i < w * h; ++i) p.Colors[i] = PositionColor(i % w, i / w);
    return p;
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        SP::SheetFile = SP::ProjectFile = SP::FoundSheetPath = "";
        SP::MaskColor = 0, SP::SelAnchor = -1;
        SP::ClipFrames.clear(), Fresh();
    }
    void Fresh() { window = std::make_unique<Form1>(), window->show(); }
    Form1& W() { return *window; }

    // New Project with a position sheet of that size written into the scratch folder.
    void NewSheet(int w, int h, const std::string& name = "s.bmp") {
        WriteFileBytes(dir / name, MakeBmp24(PositionSheet(w, h)));
        Menu(W().mnuNew, dir / name);
    }
    // Triggers a menu item whose file dialog answers `path` ("" = cancel).
    void Menu(QAction* a, const std::string& path) { dialogs.FileAnswers.push_back(path), a->trigger(); }
    void AddActions(int n) { for (int i = 0; i < n; ++i) W().Command1_Click(); }
    // New Project with a w x h position sheet, one action whose direction 0 holds
    // `count` frames made by frame(i), that action and direction picked (the
    // strip follows after the deferred rebuild).
    void FillDirection(int w, int h, int count, const std::function<FrameData(int)>& frame) {
        NewSheet(w, h), W().Command1_Click();
        DirectionData& d = SP::Actions[0].Directions[0];
        d.Frames.resize(count), d.FrameUBound = static_cast<int16_t>(count - 1);
        for (int i = 0; i < count; ++i) d.Frames[i] = frame(i);
        W().lstAction_Click(0), W().lstDirection_Click(0);
    }
    // Lets the event loop run until the deferred strip rebuild has fired.
    void WaitForRebuild() {
        for (QDeadlineTimer end(3000); W().StripRebuild->Pending() && !end.hasExpired();)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    std::vector<FrameData>& Dir0() { return SP::Actions[0].Directions[0].Frames; }
    QPoint Centre() { return {W().ZoomCenterX, W().ZoomCenterY}; }
    int32_t Zoomed(int x, int y) { return W().Picture1->PixelAt(x, y); }
    int32_t Overview(int x, int y) { return W().Picture2->PixelAt(x, y); }
    std::string Names() { return SP::WorkDir + "|" + SP::SheetFile + "|" + SP::ProjectFile; }
    static QStringList Items(QComboBox* c) {
        QStringList out;
        for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
        return out;
    }
    static void SendKey(QWidget* target, int key, const QString& text = QString()) {
        QKeyEvent ev(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &ev);
    }
    static void SendMouse(QWidget* target, QEvent::Type type, QPointF pos, Qt::MouseButton button,
                          Qt::MouseButtons buttons) {
        QMouseEvent ev(type, pos, target->mapToGlobal(pos), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &ev);
    }
    // Real presses and moves on the zoom view.
    void Press(QPointF p, Qt::MouseButton b = Qt::LeftButton) { SendMouse(W().Picture1, QEvent::MouseButtonPress, p, b, b); }
    void Move(QPointF p) { SendMouse(W().Picture1, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton); }
    void CtrlKey(Qt::Key k) { QTest::keyClick(&W(), k, Qt::ControlModifier); }
    // Clicks the delete cross of thumbnail i and answers the question.
    void DeleteThumb(int i, MsgAnswer answer = MsgAnswer::Yes) {
        messages.Answers.push_back(answer);
        QTest::mouseClick(W().ThumbWidget(i)->findChild<QWidget*>("Image1"), Qt::LeftButton, {}, QPoint(4, 4));
    }
    QString Captions(int i) {
        SpriteFrame* t = W().ThumbWidget(i);
        return t->NumText() + " " + t->LocText() + " " + t->SizeText() + " " + t->HSText() + " " + t->DelayText();
    }

    TempDir dir;
    ScriptedDialogs dialogs;
    MessageRecorder messages;
    std::unique_ptr<Form1> window;
};

// A real click on a thumbnail's panel, with the modifier keys held.
inline void ClickThumbOf(Form1& w, int i, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    SpriteFrame* t = w.ThumbWidget(i);
    ASSERT_NE(t, nullptr) << "thumbnail " << i << " is not laid out";
    QTest::mouseClick(t->childAt(4, 150), Qt::LeftButton, mods, QPoint(4, 150));
}
