#include "editor/Form1.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <limits>

#include "controls/SpriteFrame.h"
#include "platform/DeferredCall.h"
#include "platform/PictureBox.h"

using namespace SpriteProject;

namespace {

// Black shapes on a transparent ground, one string per row ('B' = black).
QPixmap MakeImage(const std::vector<const char*>& rows) {
    const int h = static_cast<int>(rows.size());
    const int w = static_cast<int>(std::strlen(rows[0]));
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (rows[y][x] == 'B') img.setPixel(x, y, 0xFF000000u);
    return QPixmap::fromImage(img);
}

// A row of `black` black pixels, then transparent ones, `width` in all.
std::string Row(int lead, int gap, int black, int width) {
    std::string r(width, '.');
    for (int i = 0; i < lead; ++i) r[i] = 'B';
    for (int i = 0; i < black; ++i) r[lead + gap + i] = 'B';
    return r;
}

QScrollBar* MakeScroll(Qt::Orientation o, QWidget* parent, const char* name, int x, int y, int w, int h, int min,
                       int max, int small, int large, int value) {
    auto* s = new QScrollBar(o, parent);
    s->setObjectName(name);
    s->setGeometry(x, y, w, h);
    s->setRange(min, max);
    s->setSingleStep(small);
    s->setPageStep(large);
    s->setValue(value);
    return s;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(x, y, w, h);
    return l;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(x, y, w, h);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

QComboBox* MakeList(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setGeometry(x, y, w, h);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setCompleter(nullptr); // typed text is a new name, never completed from the entries
    return c;
}

} // namespace

Form1::Form1(QWidget* parent)
    : QMainWindow(parent),
      LastCellX(std::numeric_limits<double>::quiet_NaN()),
      LastCellY(std::numeric_limits<double>::quiet_NaN()) {
    setWindowTitle("Celwright (Beta 1.8)");
    BuildControls();
    BuildPreview();
    BuildMenus();
    resize(minimumSizeHint());
    Client->installEventFilter(this);
    // Wheel events that a view or a thumbnail leaves reach these.
    for (QWidget* w : {static_cast<QWidget*>(Picture1), Picture3, Picture4}) w->installEventFilter(this);
    Form_Load();
    SetupDesktop();
}

Form1::~Form1() {
    StopRecovery();
    // Unloading the window releases the sheet.
    Sheet = cBitMap();
}

void Form1::BuildControls() {
    Client = new QWidget(this);
    Client->setObjectName("Client");
    // The default size is the smallest: every control keeps its place there.
    Client->setMinimumSize(DefaultClientWidth, DefaultClientHeight);
    Client->resize(DefaultClientWidth, DefaultClientHeight);
    setCentralWidget(Client);

    Label3 = MakeLabel(Client, "Label3", "Zoom: 2x", 8, 8, 57, 17);
    HScroll1 = MakeScroll(Qt::Horizontal, Client, "HScroll1", 72, 6, 113, 17, 2, 10, 1, 2, 2);

    Label6 = MakeLabel(Client, "Label6", "Mask Color", 192, 6, 72, 17);
    Label6->setAutoFillBackground(true);
    Label6->setToolTip("Color in bitmap to treat as transparent. DoubleClick to change");
    {
        QPalette pal = Label6->palette();
        pal.setColor(QPalette::Window, Qt::black);
        pal.setColor(QPalette::WindowText, Qt::white);
        Label6->setPalette(pal);
    }
    Label6->installEventFilter(this);

    Picture1 = new PictureBox(Client);
    Picture1->setObjectName("Picture1");
    Picture1->move(8, 24);
    Picture1->SetPictureSize(256, 256);
    Picture1->SetBackColor(0);
    Picture1->SetDrawWidth(2);
    Picture1->SetPressOnDoubleClick(true); // two quick clicks start and end marking
    // A click on a view takes the keyboard from the lists' text fields.
    Picture1->setFocusPolicy(Qt::ClickFocus);

    Picture3 = new QWidget(Client);
    Picture3->setObjectName("Picture3");
    Picture3->setGeometry(272, 8, 256, 256);
    Picture2 = new PictureBox(Picture3);
    Picture2->setObjectName("Picture2");
    Picture2->move(0, 0);
    Picture2->SetPictureSize(1, 1);
    Picture2->SetBackColor(0);
    Picture2->SetDrawWidth(1);
    Picture2->setFocusPolicy(Qt::ClickFocus);

    TNScrollH = MakeScroll(Qt::Horizontal, Client, "TNScrollH", 272, 264, 257, 17, 0, 0, 5, 20, 0);
    TNScrollV = MakeScroll(Qt::Vertical, Client, "TNScrollV", 528, 8, 17, 257, 0, 0, 5, 20, 0);

    Label1 = MakeLabel(Client, "Label1", "Action", -8, 290, 57, 17);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lstAction = MakeList(Client, "lstAction", 56, 288, 137, 21);
    Command1 = MakeButton(Client, "Command1", "+", 192, 288, 17, 21);
    Command2 = MakeButton(Client, "Command2", "--", 208, 288, 17, 21);

    Label2 = MakeLabel(Client, "Label2", "Direction", -8, 322, 57, 17);
    Label2->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lstDirection = MakeList(Client, "lstDirection", 56, 320, 137, 21);
    Command4 = MakeButton(Client, "Command4", "+", 192, 320, 17, 21);
    Command3 = MakeButton(Client, "Command3", "--", 208, 320, 17, 21);

    Picture4 = new QWidget(Client);
    Picture4->setObjectName("Picture4");
    Picture4->setGeometry(240, 288, 305, 165);
    for (int s = 0; s < StripWindow; ++s) ThumbPool.push_back({MakeThumbWidget(s), -1});
    lblNewFrame = MakeLabel(Picture4, "lblNewFrame", "", 88, 0, 49, 161);
    lblNewFrame->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblNewFrame->installEventFilter(this);
    lblNewFrame->hide();
    FrameScroll = MakeScroll(Qt::Horizontal, Client, "FrameScroll", 240, 456, 305, 17, 0, 0, 1, 1, 0);

    for (QComboBox* list : {lstAction, lstDirection}) {
        list->installEventFilter(this);
        list->lineEdit()->installEventFilter(this);
    }

    connect(HScroll1, &QScrollBar::valueChanged, this, [this] { HScroll1_Change(); });
    connect(TNScrollH, &QScrollBar::valueChanged, this, [this] { TNScrollH_Change(); });
    connect(TNScrollV, &QScrollBar::valueChanged, this, [this] { TNScrollV_Change(); });
    connect(Picture2, &PictureBox::MouseDown, this, &Form1::Picture2_MouseDown);
    connect(Picture2, &PictureBox::MouseMove, this, &Form1::Picture2_MouseMove);
    connect(Picture2, &PictureBox::MouseUp, this, &Form1::Picture2_MouseUp);
    // The middle button pans when dragged; a middle click stays a press.
    connect(Picture1, &PictureBox::MouseDown, this, [this](int button, int shift, double x, double y) {
        if (button == 4)
            ZoomPan_Down(shift, x, y);
        else
            Picture1_MouseDown(button, shift, x, y);
    });
    connect(Picture1, &PictureBox::MouseMove, this, [this](int button, int shift, double x, double y) {
        if (Pan)
            ZoomPan_Move(x, y);
        else
            Picture1_MouseMove(button, shift, x, y);
    });
    connect(Picture1, &PictureBox::MouseUp, this, [this](int button, int, double x, double y) {
        if (button == 4) ZoomPan_Up(x, y);
    });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(lstAction, &QComboBox::activated, this, [this](int i) { lstAction_Click(i); });
    connect(lstDirection, &QComboBox::activated, this, [this](int i) { lstDirection_Click(i); });
    connect(FrameScroll, &QScrollBar::valueChanged, this, [this] { FrameScroll_Change(); });

    StripRebuild = new DeferredCall([this] { RebuildStrip(true); }, 10, this);
}

void Form1::BuildPreview() {
    Frame1 = new QGroupBox(" Animation Preview ", Client);
    Frame1->setObjectName("Frame1");
    Frame1->setGeometry(8, 352, 217, 121);

    Picture5 = new PictureBox(Frame1);
    Picture5->setObjectName("Picture5");
    Picture5->move(16, 16);
    Picture5->SetPictureSize(90, 90);
    Picture5->SetBackColor(0);
    Picture5->setToolTip(" DoubleClick to change background color ");

    VScroll1 = MakeScroll(Qt::Vertical, Frame1, "VScroll1", 7, 16, 10, 90, 0, 90, 1, 15, 45);
    HScroll4 = MakeScroll(Qt::Horizontal, Frame1, "HScroll4", 16, 104, 90, 10, 0, 90, 1, 15, 45);

    std::vector<std::string> play, step;
    const int playRows[13] = {2, 4, 6, 8, 10, 12, 13, 12, 10, 8, 6, 4, 2};
    const int stepRows[13] = {1, 3, 5, 7, 9, 11, 12, 11, 9, 7, 5, 3, 1};
    for (int r = 0; r < 13; ++r) {
        play.push_back(Row(playRows[r], 0, 0, 13));
        step.push_back(Row(2, 2, stepRows[r], 16));
    }
    std::vector<const char*> playPtr, stepPtr, stopPtr;
    const std::string stopRow(13, 'B');
    for (int r = 0; r < 13; ++r) {
        playPtr.push_back(play[r].c_str());
        stepPtr.push_back(step[r].c_str());
        stopPtr.push_back(stopRow.c_str());
    }
    PlayImage = MakeImage(playPtr);
    StepImage = MakeImage(stepPtr);
    StopImage = MakeImage(stopPtr);

    cmdPlay = MakeButton(Frame1, "cmdPlay", "", 112, 16, 25, 25);
    cmdPlay->setToolTip(" Play / Stop ");
    cmdPlay->setIconSize(QSize(13, 13));
    cmdStep = MakeButton(Frame1, "cmdStep", "", 136, 16, 25, 25);
    cmdStep->setToolTip(" Step one frame");
    cmdStep->setIconSize(QSize(16, 13));
    cmdStep->setIcon(QIcon(StepImage));

    picPlay = MakeLabel(Frame1, "picPlay", "", 96, 16, 9, 9);
    picPlay->setPixmap(PlayImage);
    picPlay->hide();
    picStop = MakeLabel(Frame1, "picStop", "", 96, 24, 9, 9);
    picStop->setPixmap(StopImage);
    picStop->hide();

    Check1 = new QCheckBox("Loop", Frame1);
    Check1->setObjectName("Check1");
    Check1->setGeometry(167, 11, 45, 33);
    Check1->setChecked(true);

    Label4 = MakeLabel(Frame1, "Label4", "Speed (1)", 112, 48, 65, 17);
    HScroll2 = MakeScroll(Qt::Horizontal, Frame1, "HScroll2", 112, 64, 97, 13, 1, 1000, 1, 50, 1);
    Label5 = MakeLabel(Frame1, "Label5", "Scale (1x)", 112, 80, 65, 17);
    HScroll3 = MakeScroll(Qt::Horizontal, Frame1, "HScroll3", 112, 96, 97, 13, 1, 16, 1, 2, 4);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1);
    Timer1->setTimerType(Qt::PreciseTimer); // speed 1 means a tick every millisecond, as near as the system allows

    connect(cmdPlay, &QPushButton::clicked, this, [this] { cmdPlay_Click(); });
    connect(cmdStep, &QPushButton::clicked, this, [this] { cmdStep_Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    connect(HScroll2, &QScrollBar::valueChanged, this, [this] { HScroll2_Change(); });
    connect(HScroll3, &QScrollBar::valueChanged, this, [this] { HScroll3_Change(); });
    connect(Picture5, &PictureBox::DblClick, this, [this] { Picture5_DblClick(); });
}

void Form1::BuildMenus() {
    mnuFile = menuBar()->addMenu("File");
    mnuFile->setObjectName("mnuFile");
    auto add = [this](QMenu* menu, const char* name, const QString& text) {
        QAction* a = menu->addAction(text);
        a->setObjectName(name);
        return a;
    };
    mnuNew = add(mnuFile, "mnuNew", "New Project");
    mnuOpen = add(mnuFile, "mnuOpen", "Open Project");
    mnuSave = add(mnuFile, "mnuSave", "Save Project");
    mnuSaveAs = add(mnuFile, "mnuSaveAs", "Save Project As...");
    mnuFile->addSeparator();
    mnuImportCCA = add(mnuFile, "mnuImportCCA", "Import from CCA");
    mnuImportCCA->setEnabled(false); // offered by the menu but not available
    mnuImportSIF = add(mnuFile, "mnuImportSIF", "Import SIF");
    mnuExportSIFTop = mnuFile->addMenu("Export to SIF");
    mnuExportSIFTop->setObjectName("mnuExportSIFTop");
    const std::pair<int, const char*> depths[] = {
        {1, "Black && White"}, {2, "Greyscale"}, {4, "16-bit color"}, {5, "24-bit color"}};
    for (const auto& [index, caption] : depths) {
        QAction* a = mnuExportSIFTop->addAction(caption);
        a->setObjectName(QString("mnuExportSIF%1").arg(index));
        mnuExportSIF[index] = a;
        connect(a, &QAction::triggered, this, [this, i = index] { mnuExportSIF_Click(i); });
    }
    mnuFile->addSeparator();
    mnuCompress[0] = add(mnuFile, "mnuCompress0", "Compress Structure Data");
    mnuCompress[1] = add(mnuFile, "mnuCompress1", "Compress Image Data");
    for (QAction* a : mnuCompress) {
        // A checkable item flips its own check mark when chosen.
        a->setCheckable(true);
        a->setChecked(true);
    }
    mnuFile->addSeparator();
    mnuExit = add(mnuFile, "mnuExit", "Exit");

    mnuEdit = menuBar()->addMenu("Edit");
    mnuEdit->setObjectName("mnuEdit");
    mnuUndo = add(mnuEdit, "mnuUndo", "Undo");
    mnuUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    mnuRedo = add(mnuEdit, "mnuRedo", "Redo");
    mnuRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    mnuEdit->addSeparator();
    mnuCut = add(mnuEdit, "mnuCut", "Cut Frame(s)");
    mnuCut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    mnuCopy = add(mnuEdit, "mnuCopy", "Copy Frame(s)");
    mnuCopy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    mnuPaste = add(mnuEdit, "mnuPaste", "Paste Frames(s)");
    mnuPaste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));

    mnuFrames = menuBar()->addMenu("Frames");
    mnuFrames->setObjectName("mnuFrames");
    mnuFitFrame = add(mnuFrames, "mnuFitFrame", "Fit Frame to Sprite");
    mnuFitFrame->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    mnuTrimFrames = add(mnuFrames, "mnuTrimFrames", "Trim Frames");
    mnuTrimFrames->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    mnuFrames->addSeparator();
    mnuAddGrid = add(mnuFrames, "mnuAddGrid", "Add Frames from Grid...");
    mnuAddSprites = add(mnuFrames, "mnuAddSprites", "Add Frames from Sprites...");

    mnuView = menuBar()->addMenu("View");
    mnuView->setObjectName("mnuView");
    mnuOnionSkin = add(mnuView, "mnuOnionSkin", "Onion Skin");
    mnuOnionSkin->setCheckable(true);
    mnuOnionSkin->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    mnuOnionFramesTop = mnuView->addMenu("Onion Skin Frames");
    mnuOnionFramesTop->setObjectName("mnuOnionFramesTop");
    auto* counts = new QActionGroup(this); // exclusive: one count is checked
    for (int index = 1; index <= Onion::MaxDepth; ++index) {
        QAction* a = mnuOnionFramesTop->addAction(QString::number(index));
        a->setObjectName(QString("mnuOnionFrames%1").arg(index));
        a->setCheckable(true);
        a->setChecked(index == OnionDepth);
        counts->addAction(a);
        mnuOnionFrames[index] = a;
        connect(a, &QAction::toggled, this, [this, index](bool on) { mnuOnionFrames_Toggled(index, on); });
    }
    // Toggled, not triggered: a check mark set from the remembered settings counts too.
    connect(mnuOnionSkin, &QAction::toggled, this, [this](bool on) { mnuOnionSkin_Toggled(on); });

    connect(mnuNew, &QAction::triggered, this, [this] { mnuNew_Click(); });
    connect(mnuOpen, &QAction::triggered, this, [this] { mnuOpen_Click(); });
    connect(mnuSave, &QAction::triggered, this, [this] { mnuSave_Click(); });
    connect(mnuSaveAs, &QAction::triggered, this, [this] { mnuSaveAs_Click(); });
    connect(mnuImportSIF, &QAction::triggered, this, [this] { mnuImportSIF_Click(); });
    connect(mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });
    connect(mnuUndo, &QAction::triggered, this, [this] { mnuUndo_Click(); });
    connect(mnuRedo, &QAction::triggered, this, [this] { mnuRedo_Click(); });
    connect(mnuCut, &QAction::triggered, this, [this] { mnuCut_Click(); });
    connect(mnuCopy, &QAction::triggered, this, [this] { mnuCopy_Click(); });
    connect(mnuPaste, &QAction::triggered, this, [this] { mnuPaste_Click(); });
    connect(mnuFitFrame, &QAction::triggered, this, [this] { mnuFitFrame_Click(); });
    connect(mnuTrimFrames, &QAction::triggered, this, [this] { mnuTrimFrames_Click(); });
    connect(mnuAddGrid, &QAction::triggered, this, [this] { mnuAddGrid_Click(); });
    connect(mnuAddSprites, &QAction::triggered, this, [this] { mnuAddSprites_Click(); });
}

void Form1::Form_Load() {
    ResetProject();
    lblNewFrame->setText("\n\n\n\nNew\nFrame");
    WorkDir = QCoreApplication::applicationDirPath().toStdString();
    ContrastColor = 0xFFFFFF;
    PasteMode = 3;
}

void Form1::ShowPlayImage(bool play) {
    PlayImageShown = play;
    cmdPlay->setIcon(QIcon(play ? PlayImage : StopImage));
}

void Form1::ResetProject() {
    // The model's part: placeholder tree, no current entries, a new empty sheet.
    ResetModel();
    Timer1->stop();
    HScroll1->setValue(2);

    Picture2->SetPictureSize(1, 1);
    Picture2->SetBackColor(0);
    Picture2->Cls();
    Picture1->SetBackColor(0);
    Picture1->Cls();
    OnionShown.clear();
    CrosshairShown = false;
    Picture5->SetBackColor(0);
    Picture5->Cls();

    ZoomCenterX = 64;
    ZoomCenterY = 64;
    ZoomFactor = 2;
    OverviewDragging = false;
    Marking = false;
    AnchorX = 0;
    AnchorY = 0;
    Playing = false;
    Counter = 0;

    // Only thumbnail 0 remains, re-initialised and hidden, and the label hides.
    ThumbHighlight.assign(1, 0);
    ThumbLooks.assign(1, ThumbLook::Cleared);
    for (ThumbSlot& slot : ThumbPool) {
        slot.Shown = -1;
        slot.Widget->hide();
    }
    ThumbPool[0].Widget->ReInit();
    ThumbPool[0].Shown = 0;
    lblNewFrame->hide();

    lstAction->clear();
    lstAction->clearEditText();
    lstDirection->clear();
    lstDirection->clearEditText();

    ShowPlayImage(true);
    // A new project: nothing to undo, nothing unsaved.
    ForgetHistory();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Client && event->type() == QEvent::Resize) LayoutClient();
    if (event->type() == QEvent::Wheel && WheelEvent(watched, static_cast<QWheelEvent*>(event))) return true;
    // A combo box hands the check to its text field directly, so both are watched.
    const bool listField = watched == lstAction || watched == lstAction->lineEdit() || watched == lstDirection ||
                           watched == lstDirection->lineEdit();
    if (event->type() == QEvent::ShortcutOverride && listField) {
        // The Edit and Frames menus' keys act on frames, and the View menu's on the
        // zoom view, wherever the focus is, as menu accelerators do; the text
        // field must not claim them for its text.
        const QKeySequence keys(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const QAction* a : {mnuUndo, mnuRedo, mnuCut, mnuCopy, mnuPaste, mnuFitFrame, mnuTrimFrames, mnuOnionSkin})
            if (a->shortcuts().contains(keys)) return true;
    }
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        // Enter renames; it must not reach the combo box, which would pick an
        // entry whose text matches what was typed.
        if (enter && watched == lstAction->lineEdit()) {
            lstAction_KeyDown(13);
            return true;
        }
        if (enter && watched == lstDirection->lineEdit()) {
            lstDirection_KeyDown(13);
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease && watched == lblNewFrame) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (lblNewFrame->rect().contains(mouse->position().toPoint())) lblNewFrame_Click();
        return true;
    } else if (event->type() == QEvent::MouseButtonDblClick && watched == Label6) {
        Label6_DblClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
    // Exit and closing the window ask before unsaved work goes.
    if (!SaveChangesFirst()) {
        event->ignore();
        return;
    }
    Timer1->stop();
    StripRebuild->Cancel();
    DiscardRecovery(); // a normal exit: nothing to recover
    Sheet = cBitMap();
    event->accept();
}
