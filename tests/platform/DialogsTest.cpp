#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include "base/Messages.h"
#include "platform/CommDlgs.h"
#include "platform/QtMessages.h"
#include "support/TestSupport.h"

using namespace std::string_literals;

namespace {

// Acts on the next modal dialog, of type T, once it runs its own event loop.
// A dialog of another kind, or one the act leaves open, is closed as a failure.
template <class T> void WhenModal(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout,
                     [=, previous = QApplication::activeModalWidget(), tries = 0]() mutable {
                         auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                         if ((!dlg || dlg == previous) && ++tries < 2000) return;
                         timer->stop();
                         timer->deleteLater();
                         if (!dlg || dlg == previous) return;
                         if (auto* wanted = qobject_cast<T*>(dlg)) act(wanted);
                         if (dlg->isVisible()) {
                             ADD_FAILURE() << "an unexpected dialog, or one left open";
                             dlg->reject();
                         }
                     });
    timer->start(5);
}

const std::string kSip = "Sprite Image Projects (*.sip)"s + '\0' + "*.sip";

} // namespace

TEST(CommDlgs, OpenTakesExistingFilesSaveAddsTheSuffixRefusesMissingFoldersAndAsksBeforeReplacing) {
    TempDir dir;
    WriteFileBytes(dir / "old.sip", {9});
    auto choose = [](const std::string& path) { // selects and accepts, and cancels if that is refused
        WhenModal<QFileDialog>([path](QFileDialog* dlg) {
            dlg->selectFile(QString::fromStdString(path));
            static_cast<QDialog*>(dlg)->accept();
            if (dlg->isVisible()) dlg->reject();
        });
    };
    choose(dir / "old.sip");
    EXPECT_EQ(FileDialog(nullptr, 1, "Load", "*.sip", kSip, dir.Path(), "sip"), dir / "old.sip");
    MessageRecorder messages;
    choose(dir / "missing/x.sip");
    EXPECT_EQ(FileDialog(nullptr, 0, "Save", "sheet.sip", kSip, dir.Path(), "sip"), "");
    ASSERT_EQ(messages.Shown.size(), 1u);
    EXPECT_NE(messages.Shown[0].Text.find("does not exist"), std::string::npos);

    // "old" becomes old.sip, which exists: No keeps the dialog open, Yes returns the name.
    WhenModal<QFileDialog>([&](QFileDialog* dlg) {
        dlg->selectFile(QString::fromStdString(dir / "old"));
        for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            WhenModal<QMessageBox>([answer](QMessageBox* box) { box->button(answer)->click(); });
            static_cast<QDialog*>(dlg)->accept();
            EXPECT_EQ(dlg->isVisible(), answer == QMessageBox::No);
        }
    });
    EXPECT_EQ(FileDialog(nullptr, 2, "Save", "*.sip", kSip, dir.Path(), "sip"), dir / "old.sip");
    EXPECT_EQ(ReadFileBytes(dir / "old.sip"), std::vector<uint8_t>{9}) << "the dialog itself writes nothing";
}

TEST(CommDlgs, ColorChooserHandsOverAndTakesBackTheCustomColours) {
    CustomColors().fill(0);
    CustomColors()[2] = 0x00332211;
    for (bool ok : {false, true}) {
        WhenModal<QColorDialog>([&](QColorDialog* dlg) {
            EXPECT_EQ(QColorDialog::customColor(2), QColor(0x11, 0x22, 0x33));
            QColorDialog::setCustomColor(5, QColor(0xAA, 0xBB, ok ? 0xCC : 0xDD));
            dlg->setCurrentColor(QColor(0x12, 0x34, 0x56));
            ok ? static_cast<QDialog*>(dlg)->accept() : dlg->reject();
        });
        EXPECT_EQ(ColorDialog(nullptr), ok ? std::optional<int32_t>(0x00563412) : std::nullopt);
        EXPECT_EQ(CustomColors()[5], ok ? 0x00CCBBAA : 0x00DDBBAA) << "taken back after OK and Cancel";
    }
}

TEST(QtMessages, BoxesShowIconButtonsTitleAndReturnTheAnswer) {
    MessageRecorder restoreAfter; // puts the handler of before back at the end
    QWidget owner;
    InstallQtMessageBoxes(&owner);
    using B = QMessageBox;
    auto ask = [&](MsgButtons buttons, MsgIcon icon, const std::string& title, B::StandardButtons shown,
                   B::Icon shownIcon, B::StandardButton press) { // NoButton: close the box
        WhenModal<B>([&](B* box) {
            EXPECT_EQ(std::tuple(box->parentWidget(), box->windowTitle().toStdString(), box->text(),
                                 box->textFormat(), box->standardButtons(), box->icon()),
                      std::tuple(&owner, title.empty() ? AppTitle : title, QString("Line one\n<b>two</b>"),
                                 Qt::PlainText, shown, shownIcon));
            press == B::NoButton ? box->reject() : box->button(press)->click();
        });
        return MsgBox("Line one\n<b>two</b>", buttons, icon, title);
    };
    using enum MsgIcon;
    EXPECT_EQ(ask(MsgButtons::OKCancel, Exclamation, "Hold up!", B::Ok | B::Cancel, B::Warning, B::Cancel),
              MsgAnswer::Cancel);
    EXPECT_EQ(ask(MsgButtons::YesNo, Question, "Wait", B::Yes | B::No, B::Question, B::NoButton), MsgAnswer::No);
    EXPECT_EQ(ask(MsgButtons::YesNoCancel, Critical, "", B::Yes | B::No | B::Cancel, B::Critical, B::Yes),
              MsgAnswer::Yes);
}
