#pragma once
// A fresh main window per test, with scripted dialogs, recorded messages and
// the project globals back at their program-start values.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <gtest/gtest.h>
#include <memory>

#include "base/Messages.h"
#include "controls/SpriteFrame.h"
#include "editor/Form1.h"
#include "platform/CommDlgs.h"
#include "platform/DeferredCall.h"
#include "platform/PictureBox.h"
#include "project/SpriteProject.h"
#include "support/TestSupport.h"

namespace SP = SpriteProject;

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        SP::SheetFile.clear();
        SP::ProjectFile.clear();
        SP::MaskColor = 0;
        SP::ClipFrames.clear();
        SP::SelAnchor = -1;
        SP::FoundSheetPath.clear();
        Fresh();
    }
    void TearDown() override { window.reset(); }
    void Fresh() {
        window = std::make_unique<Form1>();
        window->show();
    }
    Form1& W() { return *window; }

    std::string WriteSheet(const std::string& name, const TestPicture& pic) {
        WriteFileBytes(dir / name, MakeBmp24(pic));
        return dir / name;
    }
    // Triggers a menu item whose file dialog answers `path` ("" = cancel).
    void Menu(QAction* a, const std::string& path) {
        dialogs.FileAnswers.push_back(path);
        a->trigger();
    }
    void NewProject(const std::string& path) { Menu(W().mnuNew, path); }
    // Lets the event loop run until the deferred strip rebuild has fired.
    void WaitForRebuild() {
        QElapsedTimer t;
        t.start();
        while (W().StripRebuild->Pending() && t.elapsed() < 3000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    static void SendKey(QWidget* target, int key, const QString& text = QString()) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &release);
    }
    static void SendMouse(QWidget* target, QEvent::Type type, QPointF pos, Qt::MouseButton button,
                          Qt::MouseButtons buttons) {
        QMouseEvent ev(type, pos, target->mapToGlobal(pos), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &ev);
    }

    TempDir dir;
    ScriptedDialogs dialogs;
    MessageRecorder messages;
    std::unique_ptr<Form1> window;
};

// A sheet whose every pixel tells where it is: red = x, green = y (mod 256), blue fixed.
inline int32_t PositionColor(int x, int y) { return (x & 0xFF) | ((y & 0xFF) << 8) | (0x40 << 16); }
inline TestPicture PositionSheet(int w, int h) {
    TestPicture p = MakePicture(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.At(x, y) = PositionColor(x, y);
    return p;
}
