#include "editor/Form2.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "editor/Form1.h"

Form2::Form2(Form1* owner) : QWidget(owner, Qt::Dialog), owner_(owner) {
    setObjectName("Form2");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Paste Frames...");
    static const char* const captions[4] = {"Paste before selected frame", "Paste after selected frame",
                                            "Insert at beginning", "Insert at end"};
    for (int i = 0; i < 4; ++i) {
        auto* o = new QRadioButton(captions[i], this);
        o->setObjectName(QString("Option1_%1").arg(i));
        // The designed width, or wider where this platform's font would cut the caption.
        o->setGeometry(8, 8 + 16 * i, std::max(161, o->sizeHint().width()), 17);
        // Programmatic selection counts as a click, so toggled is the event.
        connect(o, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) Option1_Click(i);
        });
        Option1[i] = o;
    }
    Option1[3]->setChecked(true);

    Command2 = new QPushButton("&OK", this);
    Command2->setObjectName("Command2");
    Command2->setGeometry(8, 80, 73, 25);
    Command1 = new QPushButton("Cancel", this);
    Command1->setObjectName("Command1");
    Command1->setGeometry(88, 80, 73, 25);
    int right = 169;
    for (const QRadioButton* o : Option1) right = std::max(right, o->geometry().right() + 1);
    setFixedSize(right + 8, 113);
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    // Key preview: the window hears keys before whichever control has the focus.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

void Form2::SelectOption(int16_t Index) {
    if (Index < 0 || Index > 3) Index = 3;
    Option1[Index]->setChecked(true);
    Option1[Index]->setFocus(); // arrow keys move on from the selected option
    Option1_Click(Index);       // also when it was already selected
}

void Form2::Option1_Click(int Index) {
    Choice = static_cast<int16_t>(Index);
}

void Form2::Command2_Click() {
    // The window is modeless: DoPaste checks again that the paste can be made.
    if (owner_) owner_->DoPaste(Choice);
    close();
}

void Form2::Command1_Click() {
    close();
}

void Form2::Form_KeyUp(int KeyCode, int /*Shift*/) {
    if (KeyCode == 27) close();
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat() && key->key() == Qt::Key_Escape) {
            Form_KeyUp(27, 0);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
