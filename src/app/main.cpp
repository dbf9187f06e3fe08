#include <QApplication>
#include <QFont>

#include "editor/Form1.h"
#include "platform/QtMessages.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The window's fixed layout was drawn for a small 8-point face; larger
    // default faces would cut captions such as "Direction" short.
    QFont font = QApplication::font();
    font.setPointSizeF(8.25);
    QApplication::setFont(font);
    Form1 window;
    InstallQtMessageBoxes(&window);
    window.show();
    return app.exec();
}
