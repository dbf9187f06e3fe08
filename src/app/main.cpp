#include <QApplication>
#include <QFont>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "base/FileIO.h"
#include "base/Messages.h"

#include "editor/Form1.h"
#include "platform/HeapPolicy.h"
#include "platform/QtMessages.h"

#ifndef CELWRIGHT_VERSION
#define CELWRIGHT_VERSION "0"
#endif

namespace {

const char* const HelpText =
    "Usage: celwright [FILE]\n"
    "\n"
    "Celwright, the sprite-sheet animation editor. FILE opens at start-up as the\n"
    "File menu would open it:\n"
    "  PROJECT.sip           as Open Project\n"
    "  SHEET.bmp, SHEET.png  as New Project, with that sheet\n"
    "  IMAGE.sif             as Import SIF\n"
    "Such a file can also be dropped on the window.\n"
    "\n"
    "Unsaved work is kept for recovery in celwright/celwright/recovery under the\n"
    "user's data folder ($XDG_DATA_HOME, by default ~/.local/share); after a crash\n"
    "the next start offers it back (before FILE is opened).\n"
    "\n"
    "  -h, --help     show this text and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "Qt's own options (such as -platform or -style) are understood as well.\n";

// For the tests that run the program itself (a crash and what the next start
// offers cannot be had inside one test process). CELWRIGHT_TEST_ANSWERS="yes,no"
// answers the message boxes in turn (then each with its escape answer) and
// prints them on stderr instead of showing them. Once start-up is over,
// CELWRIGHT_TEST_EDIT=1 adds an action; CELWRIGHT_TEST_DUMP=PATH then writes,
// when the recovery file holds that edit, the project the window holds to
// PATH as a save would, and the names and caption to PATH.txt;
// CELWRIGHT_TEST_QUIT=1 then closes the window as Exit does.
void InstallTestAnswers(const char* list) {
    std::deque<MsgAnswer> answers;
    std::string word;
    for (const char* c = list;; ++c) {
        if (*c && *c != ',') {
            word += *c;
            continue;
        }
        if (word == "yes") answers.push_back(MsgAnswer::Yes);
        if (word == "no") answers.push_back(MsgAnswer::No);
        if (word == "cancel") answers.push_back(MsgAnswer::Cancel);
        if (word == "ok") answers.push_back(MsgAnswer::OK);
        word.clear();
        if (!*c) break;
    }
    SetMessageHandler([answers](const Message& m) mutable {
        std::fprintf(stderr, "celwright message: %s: %s\n", m.Title.c_str(), m.Text.c_str());
        if (!answers.empty()) {
            const MsgAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return m.Buttons == MsgButtons::YesNo ? MsgAnswer::No
               : m.Buttons == MsgButtons::OK  ? MsgAnswer::OK
                                              : MsgAnswer::Cancel;
    });
}

void RunTestHooks(Form1& window) {
    const bool edit = std::getenv("CELWRIGHT_TEST_EDIT") != nullptr;
    if (!edit && !std::getenv("CELWRIGHT_TEST_DUMP") && !std::getenv("CELWRIGHT_TEST_QUIT")) return;
    if (edit) window.Command1_Click();
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, edit] {
        if (edit && (!window.Recovery || window.Recovery->Written() == 0)) return;
        poll->stop();
        namespace SP = SpriteProject;
        if (const char* dump = std::getenv("CELWRIGHT_TEST_DUMP")) {
            std::vector<uint8_t> bytes;
            std::string error;
            if (BuildProjectBytes(SP::MaskColor, SP::WorkDir + SP::SheetFile, SP::Actions, bytes, error))
                WriteFileAtomic(dump, bytes.data(), bytes.size(), error);
            const std::string names = SP::WorkDir + "|" + SP::ProjectFile + "|" + SP::SheetFile + "|" +
                                      window.windowTitle().toStdString() + "\n";
            WriteFileAtomic(std::string(dump) + ".txt", names.data(), names.size(), error);
        }
        if (std::getenv("CELWRIGHT_TEST_QUIT")) window.close();
    });
    poll->start(10);
}

int Usage(const std::string& problem) {
    std::fprintf(stderr, "celwright: %s (see celwright --help)\n", problem.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so that they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(HelpText, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("celwright %s\n", CELWRIGHT_VERSION);
            return 0;
        }
    }

    KeepFreedBuffers();
    QApplication app(argc, argv);
    // Where the remembered window size and zoom live (QSettings, under XDG_CONFIG_HOME).
    QCoreApplication::setOrganizationName("celwright");
    QCoreApplication::setApplicationName("celwright");
    // What Qt left of the command line: the file to open, if any.
    std::string file;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--" && !optionsEnded) {
            optionsEnded = true;
        } else if (!optionsEnded && a.size() > 1 && a[0] == '-') {
            return Usage("unknown option " + a);
        } else if (!file.empty()) {
            return Usage("only one FILE can be opened");
        } else {
            file = a;
        }
    }

    // The window's fixed layout was drawn for a small 8-point face; larger
    // default faces would cut captions such as "Direction" short.
    QFont font = QApplication::font();
    font.setPointSizeF(8.25);
    QApplication::setFont(font);
    Form1 window;
    InstallQtMessageBoxes(&window);
    if (const char* answers = std::getenv("CELWRIGHT_TEST_ANSWERS")) InstallTestAnswers(answers);
    window.RestoreWindowState();
    // Unsaved work goes to a file of this instance under the user's data (XDG_DATA_HOME).
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (data.isEmpty() || !window.StartRecovery((data + "/recovery").toStdString()))
        std::fprintf(stderr, "celwright: unsaved work cannot be kept for recovery in %s\n", qPrintable(data));
    window.show();
    // Once the window is up, so that any question or message has it as owner.
    // Work recovered from an earlier run comes first; the file named on the
    // command line is then not opened, so that the question about unsaved
    // changes cannot put the recovered work at risk straight away.
    QTimer::singleShot(0, &window, [&window, file] {
        const bool recovered = window.OfferRecovery();
        if (!recovered && !file.empty()) window.OpenPath(file);
        RunTestHooks(window);
    });
    const int status = app.exec();
    window.SaveWindowState();
    return status;
}
