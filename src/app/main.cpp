#include <QApplication>
#include <QFont>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

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
    "  -h, --help     show this text and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "Qt's own options (such as -platform or -style) are understood as well.\n";

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
    window.RestoreWindowState();
    window.show();
    // Once the window is up, so that any question or message has it as owner.
    if (!file.empty()) QTimer::singleShot(0, &window, [&window, file] { window.OpenPath(file); });
    const int status = app.exec();
    window.SaveWindowState();
    return status;
}
