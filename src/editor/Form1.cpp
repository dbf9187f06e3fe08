#include "editor/Form1.h"

#include <QMenuBar>

Form1::Form1(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("Celwright (Beta 1.8)");
    QMenu* file = menuBar()->addMenu("File");
    file->addAction("New Project");
    QMenu* edit = menuBar()->addMenu("Edit");
    edit->addAction("Cut Frame(s)");
    resize(553, 483);
}
