#include "platform/QtMessages.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "base/Messages.h"

namespace {

QMessageBox::Icon ToQtIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

MsgAnswer ShowMessage(QWidget* parent, const Message& m) {
    QMessageBox box(parent);
    box.setIcon(ToQtIcon(m.Icon));
    box.setWindowTitle(QString::fromStdString(m.Title.empty() ? AppTitle : m.Title));
    // Texts carry file and frame names: never let them turn into markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(m.Text));

    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton first = QMessageBox::Ok;
    QMessageBox::StandardButton escape = QMessageBox::Ok;
    switch (m.Buttons) {
    case MsgButtons::OK: break;
    case MsgButtons::OKCancel:
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
        break;
    case MsgButtons::YesNo:
        buttons = QMessageBox::Yes | QMessageBox::No;
        first = QMessageBox::Yes;
        escape = QMessageBox::No;
        break;
    case MsgButtons::YesNoCancel:
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        first = QMessageBox::Yes;
        escape = QMessageBox::Cancel;
        break;
    }
    box.setStandardButtons(buttons);
    box.setDefaultButton(first);
    box.setEscapeButton(escape);
    box.exec();

    // Closing the box counts as its escape answer, never as a yes.
    QAbstractButton* clicked = box.clickedButton();
    QMessageBox::StandardButton answer = clicked ? box.standardButton(clicked) : escape;
    switch (answer) {
    case QMessageBox::Ok: return MsgAnswer::OK;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    default: break;
    }
    switch (escape) {
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    case QMessageBox::No: return MsgAnswer::No;
    default: return MsgAnswer::OK;
    }
}

} // namespace

void InstallQtMessageBoxes(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    SetMessageHandler([owner](const Message& m) { return ShowMessage(owner.data(), m); });
}
