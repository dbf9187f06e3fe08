#pragma once
// Form2: the small modeless "Paste Frames..." window. The user picks where the
// clipboard's frames go; OK hands the choice to the main window's DoPaste.
// Escape closes it whichever control has the focus (the window sees key
// releases before its controls). It deletes itself when closed.
#include <QPointer>
#include <QWidget>
#include <array>
#include <cstdint>

class Form1;
class QPushButton;
class QRadioButton;

class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(Form1* owner);

    std::array<QRadioButton*, 4> Option1{}; // paste positions 0 to 3
    QPushButton* Command2 = nullptr;        // "&OK"
    QPushButton* Command1 = nullptr;        // "Cancel"
    int16_t Choice = 3;                     // the option selected last

    // Selects option Index as a click would (out of range: "Insert at end").
    void SelectOption(int16_t Index);

    void Option1_Click(int Index);
    void Command2_Click();
    void Command1_Click();
    void Form_KeyUp(int KeyCode, int Shift);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<Form1> owner_;
};
