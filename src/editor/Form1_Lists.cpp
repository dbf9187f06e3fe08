// The action and direction lists with their "+" and "--" buttons: adding,
// removing, selecting and renaming entries.
#include <QComboBox>
#include <QLineEdit>

#include "base/Messages.h"
#include "editor/Form1.h"

using namespace SpriteProject;

namespace {

// The project file stores a name's length in one byte, one byte per character.
constexpr int MaxNameChars = 255;
// Counts are stored as 16-bit upper bounds.
constexpr int MaxEntries = 32768;

// Appends an entry without selecting it: a combo box that had no current entry
// keeps none, and keeps the text of its edit field.
void AppendEntry(QComboBox* list, const QString& text) {
    const int current = list->currentIndex();
    const QString edit = list->currentText();
    list->addItem(text);
    if (current < 0) {
        list->setCurrentIndex(-1);
        list->setEditText(edit);
    }
}

void RenameEntry(QComboBox* list, int index, std::string& name) {
    name = CutName(list->currentText().toStdString());
    const QString text = QString::fromStdString(name);
    list->setItemText(index, text);
    list->setEditText(list->itemText(index));
}

} // namespace

std::string CutName(const std::string& utf8) {
    const QString s = QString::fromStdString(utf8);
    if (s.size() <= MaxNameChars) return utf8;
    // Count characters, not UTF-16 units, so no surrogate pair is split.
    const QList<uint> chars = s.toUcs4();
    if (chars.size() <= MaxNameChars) return utf8;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()), MaxNameChars).toStdString();
}

void Form1::FillActionList() {
    lstAction->clear();
    for (const ActionData& a : Actions) lstAction->addItem(QString::fromStdString(a.Name));
    lstAction->setCurrentIndex(-1);
    lstAction->clearEditText();
}

void Form1::Command1_Click() {
    const EditStep step(*this, "Add Action");
    const int n = lstAction->count();
    if (n >= MaxEntries) {
        MsgBox("A project can hold no more than 32768 actions.", MsgButtons::OK, MsgIcon::Exclamation);
        return;
    }
    AppendEntry(lstAction, QString("Action %1").arg(n));
    Actions.resize(static_cast<size_t>(n) + 1);
    ActionData& a = Actions[n];
    a.DirUBound = 0;
    a.Directions.assign(1, NewDirection());
}

void Form1::Command2_Click() {
    const EditStep step(*this, "Remove Action");
    if (CurAction < 0) return;
    const int count = lstAction->count();
    if (count == 1) return;
    if (CurAction >= count || static_cast<size_t>(count) > Actions.size()) return;
    for (int k = CurAction; k <= count - 2; ++k) Actions[k] = Actions[k + 1];
    Actions.resize(static_cast<size_t>(count) - 1);
    lstAction->removeItem(CurAction);
    lstAction->setCurrentIndex(-1);
    lstAction->clearEditText();
    CurAction = -1;
    CurDirection = -1;
    lstDirection->clear();
    lstDirection->clearEditText();
    RequestStripRebuild();
}

void Form1::lstAction_Click(int index) {
    if (index == CurAction) return;
    CurAction = index;
    CurDirection = -1;
    lstDirection->clear();
    lstDirection->clearEditText();
    if (index >= 0 && static_cast<size_t>(index) < Actions.size()) {
        const ActionData& a = Actions[index];
        for (int j = 0; j <= a.DirUBound && static_cast<size_t>(j) < a.Directions.size(); ++j) {
            const std::string& name = a.Directions[j].Name;
            lstDirection->addItem(QString::fromStdString(name.empty() ? DefaultDirectionName(j) : name));
        }
        lstDirection->setCurrentIndex(-1);
        lstDirection->clearEditText();
    }
    RequestStripRebuild();
    UpdateOnionSkin(); // no direction, no onion skin
}

void Form1::lstAction_KeyDown(int KeyCode) {
    if (KeyCode != 13 || CurAction < 0) return;
    const EditStep step(*this, "Rename Action");
    if (static_cast<size_t>(CurAction) >= Actions.size() || CurAction >= lstAction->count()) return;
    RenameEntry(lstAction, CurAction, Actions[CurAction].Name);
}

void Form1::Command4_Click() {
    const EditStep step(*this, "Add Direction");
    if (CurAction < 0 || static_cast<size_t>(CurAction) >= Actions.size()) return;
    ActionData& a = Actions[CurAction];
    if (a.DirUBound + 1 >= MaxEntries) {
        MsgBox("An action can hold no more than 32768 directions.", MsgButtons::OK, MsgIcon::Exclamation);
        return;
    }
    const int n = lstDirection->count();
    AppendEntry(lstDirection, QString("Dir %1").arg(n));
    a.DirUBound = static_cast<int16_t>(a.DirUBound + 1);
    a.Directions.resize(static_cast<size_t>(a.DirUBound) + 1);
    a.Directions.back() = NewDirection();
}

void Form1::Command3_Click() {
    const EditStep step(*this, "Remove Direction");
    if (CurAction < 0 || CurDirection < 0) return;
    const int count = lstDirection->count();
    if (count == 1) return;
    if (static_cast<size_t>(CurAction) >= Actions.size()) return;
    ActionData& a = Actions[CurAction];
    if (CurDirection >= count || static_cast<size_t>(count) > a.Directions.size()) return;
    for (int k = CurDirection; k <= count - 2; ++k) a.Directions[k] = a.Directions[k + 1];
    lstDirection->removeItem(CurDirection);
    lstDirection->setCurrentIndex(-1);
    lstDirection->clearEditText();
    a.DirUBound = static_cast<int16_t>(a.DirUBound - 1);
    a.Directions.resize(static_cast<size_t>(a.DirUBound) + 1);
    CurDirection = -1;
    RequestStripRebuild();
}

void Form1::lstDirection_Click(int index) {
    if (CurAction < 0) return;
    if (index == CurDirection) return;
    CurDirection = index;
    if (CurDirection != -1) RequestStripRebuild();
    // Until the rebuild the current frame is that index in the new direction.
    UpdateOnionSkin();
}

void Form1::lstDirection_KeyDown(int KeyCode) {
    if (KeyCode != 13 || CurAction < 0 || CurDirection < 0) return;
    const EditStep step(*this, "Rename Direction");
    if (static_cast<size_t>(CurAction) >= Actions.size()) return;
    ActionData& a = Actions[CurAction];
    if (static_cast<size_t>(CurDirection) >= a.Directions.size() || CurDirection >= lstDirection->count()) return;
    RenameEntry(lstDirection, CurDirection, a.Directions[CurDirection].Name);
}
