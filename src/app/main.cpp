#include <QApplication>

#include "editor/Form1.h"
#include "platform/QtMessages.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Form1 window;
    InstallQtMessageBoxes(&window);
    window.show();
    return app.exec();
}
