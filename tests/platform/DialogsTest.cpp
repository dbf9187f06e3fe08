#include <QApplication>
#include <QColorDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

#include "base/Messages.h"
#include "platform/CommDlgs.h"
#include "platform/QtMessages.h"
#include "support/TestSupport.h"

using namespace std::string_literals;

namespace {

// Acts on the next modal window as soon as it is open (the dialogs under test
// block in their own event loop). A guard closes it should the act not.
void WhenModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QWidget* previous = QApplication::activeModalWidget();
    QElapsedTimer since;
    since.start();
    QObject::connect(timer, &QTimer::timeout, [timer, act, previous, since] {
        if (since.elapsed() > 10000) { // never came: leave later tests alone
            timer->stop();
            timer->deleteLater();
            return;
        }
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w == previous) return;
        timer->stop();
        timer->deleteLater();
        act(w);
    });
    timer->start();
}

struct ModalGuard {
    QTimer timer;
    ModalGuard() {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ADD_FAILURE() << "a dialog was left open";
                d->reject();
            }
        });
        timer.start(10000);
    }
};

// Remembers and restores the message handler around a test that installs its own.
struct HandlerScope {
    HandlerScope() : previous(SetMessageHandler(nullptr)) { SetMessageHandler(previous); }
    ~HandlerScope() { SetMessageHandler(previous); }
    MessageHandler previous;
};

// Qt's own dialogs remember folders and custom colours in a settings file of
// theirs; the tests must not write into the user's. Set before QApplication
// starts, since Qt reads the location once.
const bool kQtSettingsAway = [] {
    const auto dir = std::filesystem::temp_directory_path() / "celwright-test-qt-config";
    return setenv("XDG_CONFIG_HOME", dir.c_str(), 1) == 0;
}();

} // namespace

TEST(ScriptedDialogs, FileRequestsAreRecordedAndAnsweredInOrder) {
    const std::string filter = "Bitmap Files (*.bmp)"s + '\0' + "*.bmp";
    ScriptedDialogs script;
    EXPECT_EQ(ScriptedDialogs::Active(), &script);
    script.FileAnswers = {"/tmp/a.bmp", ""};

    EXPECT_EQ(FileDialog(nullptr, 1, "Load Sprite Sheet", "*.bmp", filter, "/work/dir/", "bmp"), "/tmp/a.bmp");
    EXPECT_EQ(FileDialog(nullptr, 0, "Save Sprite Project As...", "*.sip", "x", "/w/", "sip"), "");
    EXPECT_EQ(FileDialog(nullptr, 7, "T", "", "", "", ""), "") << "an empty queue answers cancel";

    ASSERT_EQ(script.FileRequests.size(), 3u);
    const FileDialogRequest& r = script.FileRequests[0];
    EXPECT_EQ(r.DialogKind, 1);
    EXPECT_EQ(r.Title, "Load Sprite Sheet");
    EXPECT_EQ(r.DefaultName, "*.bmp");
    EXPECT_EQ(r.Filter, filter);
    EXPECT_EQ(r.Filter.size(), 26u) << "the NUL between description and pattern is kept";
    EXPECT_EQ(r.InitDir, "/work/dir/");
    EXPECT_EQ(r.DefExt, "bmp");
    EXPECT_EQ(script.FileRequests[1].DialogKind, 0);
    EXPECT_EQ(script.FileRequests[2].DialogKind, 7);
    EXPECT_EQ(script.ColorRequests, 0);
}

TEST(ScriptedDialogs, ColorAnswersAndCustomColorsKeptAcrossCalls) {
    CustomColors().fill(0);
    ScriptedDialogs script;
    script.ColorAnswers = {0x00FF00FF, std::nullopt, 0x7F123456};
    // The user adds a custom colour in every use of the chooser, cancelled or not.
    int calls = 0;
    std::array<int32_t, 16> handed{};
    script.EditCustomColors = [&](std::array<int32_t, 16>& colors) {
        handed = colors;
        colors[static_cast<size_t>(calls)] = 0x101010 * (calls + 1);
        ++calls;
    };

    EXPECT_EQ(ColorDialog(nullptr), std::optional<int32_t>(0x00FF00FF));
    EXPECT_EQ(handed, (std::array<int32_t, 16>{})) << "black at start";
    EXPECT_EQ(CustomColors()[0], 0x101010);

    EXPECT_EQ(ColorDialog(nullptr), std::nullopt) << "cancel";
    EXPECT_EQ(handed[0], 0x101010) << "colours of the first use are offered again";
    EXPECT_EQ(CustomColors()[1], 0x202020) << "taken back after a cancel as well";

    CustomColors()[15] = 0x0000FF; // changed by the program between uses
    EXPECT_EQ(ColorDialog(nullptr), std::optional<int32_t>(0x123456)) << "only 0x00BBGGRR comes back";
    EXPECT_EQ(handed[15], 0x0000FF);
    EXPECT_EQ(handed[1], 0x202020);

    EXPECT_EQ(ColorDialog(nullptr), std::nullopt) << "an empty queue answers cancel";
    EXPECT_EQ(script.ColorRequests, 4);
    EXPECT_TRUE(script.FileRequests.empty());
    CustomColors().fill(0);
}

TEST(CommDlgs, NameFilterFromDescriptionAndPattern) {
    EXPECT_EQ(QtNameFilter("Bitmap Files (*.bmp)"s + '\0' + "*.bmp"), "Bitmap Files (*.bmp)");
    EXPECT_EQ(QtNameFilter("Sprite Image Projects (*.sip)"s + '\0' + "*.sip" + '\0' + '\0'),
              "Sprite Image Projects (*.sip)");
    EXPECT_EQ(QtNameFilter("Pictures"s + '\0' + "*.bmp;*.dib"), "Pictures (*.bmp *.dib)");
    EXPECT_EQ(QtNameFilter("*.sif"), "*.sif");
    EXPECT_EQ(QtNameFilter(""), "*");
}

TEST(CommDlgs, OpenDialogIsSetUpFromTheParametersAndCancelGivesEmpty) {
    ModalGuard guard;
    TempDir dir;
    const std::string filter = "Sprite Image Projects (*.sip)"s + '\0' + "*.sip";
    bool seen = false;
    WhenModal([&](QWidget* w) {
        auto* dlg = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dlg, nullptr);
        seen = true;
        EXPECT_EQ(dlg->windowTitle(), "Load Sprite Project");
        EXPECT_EQ(dlg->nameFilters(), QStringList{"Sprite Image Projects (*.sip)"});
        EXPECT_EQ(dlg->fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(dlg->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dlg->defaultSuffix(), "sip");
        EXPECT_EQ(std::filesystem::path(dlg->directory().absolutePath().toStdString()),
                  std::filesystem::path(dir.Path()).parent_path());
        dlg->reject();
    });
    EXPECT_EQ(FileDialog(nullptr, 1, "Load Sprite Project", "*.sip", filter, dir.Path(), "sip"), "");
    EXPECT_TRUE(seen);
}

TEST(CommDlgs, OpenDialogReturnsTheFullPathOfAnExistingFile) {
    ModalGuard guard;
    TempDir dir;
    WriteFileBytes(dir / "walk.sip", {1, 2, 3});
    WhenModal([&](QWidget* w) {
        auto* dlg = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dlg, nullptr);
        dlg->selectFile(QString::fromStdString(dir / "walk.sip"));
        static_cast<QDialog*>(dlg)->accept();
    });
    EXPECT_EQ(FileDialog(nullptr, 1, "Load", "*.sip", "P"s + '\0' + "*.sip", dir.Path(), "sip"), dir / "walk.sip");
}

TEST(CommDlgs, SaveDialogAddsTheDefaultSuffixAndAsksBeforeReplacing) {
    ModalGuard guard;
    TempDir dir;
    const std::string filter = "Sprite Image Format files (*.sif)"s + '\0' + "*.sif";
    // A name without extension gets DefExt.
    WhenModal([&](QWidget* w) {
        auto* dlg = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->acceptMode(), QFileDialog::AcceptSave);
        dlg->selectFile(QString::fromStdString(dir / "hero"));
        static_cast<QDialog*>(dlg)->accept();
    });
    EXPECT_EQ(FileDialog(nullptr, 0, "Save Sprite Image File As...", "*.sif", filter, dir.Path(), "sif"),
              dir / "hero.sif");

    // An existing file: the dialog asks; No keeps it open, Yes returns the name.
    WriteFileBytes(dir / "old.sif", {9});
    int questions = 0;
    WhenModal([&](QWidget* w) {
        auto* dlg = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dlg, nullptr);
        dlg->selectFile(QString::fromStdString(dir / "old.sif"));
        WhenModal([&](QWidget* q) {
            auto* box = qobject_cast<QMessageBox*>(q);
            ASSERT_NE(box, nullptr);
            ++questions;
            box->button(QMessageBox::No)->click();
        });
        static_cast<QDialog*>(dlg)->accept();
        EXPECT_TRUE(dlg->isVisible()) << "No must keep the dialog open";
        WhenModal([&](QWidget* q) {
            auto* box = qobject_cast<QMessageBox*>(q);
            ASSERT_NE(box, nullptr);
            ++questions;
            box->button(QMessageBox::Yes)->click();
        });
        static_cast<QDialog*>(dlg)->accept();
    });
    EXPECT_EQ(FileDialog(nullptr, 2, "Save", "*.sif", filter, dir.Path(), "sif"), dir / "old.sif");
    EXPECT_EQ(questions, 2);
    EXPECT_EQ(ReadFileBytes(dir / "old.sif"), std::vector<uint8_t>{9}) << "the dialog itself writes nothing";
}

TEST(CommDlgs, SaveDialogRefusesAMissingFolderAndOffersARealDefaultName) {
    ModalGuard guard;
    TempDir dir;
    MessageRecorder messages;
    WhenModal([&](QWidget* w) {
        auto* dlg = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dlg, nullptr);
        // A real default name is offered in the name field.
        auto* edit = dlg->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), "sheet.sip");
        dlg->selectFile(QString::fromStdString(dir / "missing/x.sip"));
        static_cast<QDialog*>(dlg)->accept();
        EXPECT_TRUE(dlg->isVisible());
        dlg->reject();
    });
    EXPECT_EQ(FileDialog(nullptr, 0, "Save", "sheet.sip", "P"s + '\0' + "*.sip", dir.Path(), "sip"), "");
    ASSERT_EQ(messages.Shown.size(), 1u);
    EXPECT_NE(messages.Shown[0].Text.find("does not exist"), std::string::npos);
    EXPECT_EQ(messages.Shown[0].Icon, MsgIcon::Exclamation);
}

TEST(CommDlgs, ColorChooserGetsAndReturnsTheCustomColours) {
    ASSERT_TRUE(kQtSettingsAway);
    ModalGuard guard;
    CustomColors().fill(0);
    CustomColors()[2] = 0x00332211;

    // Cancel: no colour, but a custom colour added in the chooser is kept.
    WhenModal([&](QWidget* w) {
        auto* dlg = qobject_cast<QColorDialog*>(w);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(QColorDialog::customColor(2), QColor(0x11, 0x22, 0x33));
        EXPECT_EQ(QColorDialog::customColor(0), QColor(0, 0, 0));
        QColorDialog::setCustomColor(5, QColor(0xAA, 0xBB, 0xCC));
        dlg->reject();
    });
    EXPECT_EQ(ColorDialog(nullptr), std::nullopt);
    EXPECT_EQ(CustomColors()[5], 0x00CCBBAA);
    EXPECT_EQ(CustomColors()[2], 0x00332211);

    // OK: the chosen colour as 0x00BBGGRR; the program's own palette goes in again.
    CustomColors()[5] = 0x000000FF;
    WhenModal([&](QWidget* w) {
        auto* dlg = qobject_cast<QColorDialog*>(w);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(QColorDialog::customColor(5), QColor(0xFF, 0, 0));
        dlg->setCurrentColor(QColor(0x12, 0x34, 0x56));
        static_cast<QDialog*>(dlg)->accept();
    });
    EXPECT_EQ(ColorDialog(nullptr), std::optional<int32_t>(0x00563412));
    CustomColors().fill(0);
}

TEST(QtMessages, BoxesShowIconButtonsTitleAndReturnTheAnswer) {
    ModalGuard guard;
    HandlerScope scope;
    QWidget owner;
    InstallQtMessageBoxes(&owner);

    struct Case {
        MsgButtons buttons;
        MsgIcon icon;
        std::string title;
        QMessageBox::StandardButtons expectButtons;
        QMessageBox::Icon expectIcon;
        QMessageBox::StandardButton press; // NoButton = close the box
        MsgAnswer expectAnswer;
    };
    const Case cases[] = {
        {MsgButtons::OK, MsgIcon::Critical, "Whoops", QMessageBox::Ok, QMessageBox::Critical, QMessageBox::Ok,
         MsgAnswer::OK},
        {MsgButtons::OKCancel, MsgIcon::Exclamation, "Hold up!", QMessageBox::Ok | QMessageBox::Cancel,
         QMessageBox::Warning, QMessageBox::Cancel, MsgAnswer::Cancel},
        {MsgButtons::YesNo, MsgIcon::Question, "Waitaminute...", QMessageBox::Yes | QMessageBox::No,
         QMessageBox::Question, QMessageBox::Yes, MsgAnswer::Yes},
        {MsgButtons::YesNo, MsgIcon::Question, "Waitaminute...", QMessageBox::Yes | QMessageBox::No,
         QMessageBox::Question, QMessageBox::NoButton, MsgAnswer::No},
        {MsgButtons::YesNoCancel, MsgIcon::Information, "", QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
         QMessageBox::Information, QMessageBox::No, MsgAnswer::No},
        {MsgButtons::OK, MsgIcon::None, "Ahem...", QMessageBox::Ok, QMessageBox::NoIcon, QMessageBox::NoButton,
         MsgAnswer::OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title + " " + std::to_string(static_cast<int>(c.buttons)));
        WhenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->parentWidget(), &owner);
            EXPECT_EQ(box->windowTitle().toStdString(), c.title.empty() ? AppTitle : c.title);
            EXPECT_EQ(box->text(), "Line one\n<b>two</b>");
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->standardButtons(), c.expectButtons);
            EXPECT_EQ(box->icon(), c.expectIcon);
            if (c.press == QMessageBox::NoButton)
                box->reject();
            else
                box->button(c.press)->click();
        });
        EXPECT_EQ(MsgBox("Line one\n<b>two</b>", c.buttons, c.icon, c.title), c.expectAnswer);
    }
}
