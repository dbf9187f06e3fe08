#include "controls/SpriteFrame.h"

#include <QApplication>
#include <QFocusEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <cmath>
#include <optional>
#include <string>

#include "base/Messages.h"
#include "platform/PictureBox.h"

namespace {

constexpr int kWidth = 89;
constexpr int kHeight = 161;
constexpr int kThumbSide = 72;

// The delete button: a black cross on a transparent ground, row by row.
constexpr const char* kCrossRows[9] = {
    "BB.....BB", "BBB...BBB", ".BBB.BBB.", "..BBBBB..", "...BBB...",
    "..BBBBB..", ".BBB.BBB.", "BBB...BBB", "BB.....BB",
};

QPixmap CrossPixmap() {
    QImage img(9, 9, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            if (kCrossRows[y][x] == 'B') img.setPixel(x, y, 0xFF000000u);
    return QPixmap::fromImage(img);
}

// The typed delay as a 16-bit integer: a plain decimal number (sign, digits,
// fraction, exponent), rounded to the nearest integer with halves to even.
// Anything else, or a value outside -32768..32767, has no conversion.
std::optional<int16_t> DelayFromText(const QString& text) {
    const std::string s = text.trimmed().toStdString();
    size_t i = 0;
    auto digits = [&] {
        const size_t start = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
        return i - start;
    };
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t mantissa = digits();
    if (i < s.size() && s[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        if (digits() == 0) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    const double value = std::strtod(s.c_str(), nullptr);
    if (!std::isfinite(value)) return std::nullopt;
    const double rounded = std::nearbyint(value); // the default mode rounds halves to even
    if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
    return static_cast<int16_t>(rounded);
}

// The jitter mark: an orange dot with a dark rim, 8 x 8.
QPixmap JitterPixmap() {
    QImage img(8, 8, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const int dx = 2 * x - 7, dy = 2 * y - 7, d = dx * dx + dy * dy;
            if (d <= 40) img.setPixel(x, y, d <= 20 ? 0xFFFF8C00u : 0xFF603000u);
        }
    return QPixmap::fromImage(img);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry, bool rightAligned) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment((rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    label->setAutoFillBackground(false); // transparent: the panel and its highlight show through
    return label;
}


} // namespace

SpriteFrame::SpriteFrame(QWidget* parent) : QWidget(parent) {
    QFont f = font();
    f.setPointSizeF(8.25);
    setFont(f);
    resize(kWidth, kHeight);
    // A click on a thumbnail takes the keyboard from text fields elsewhere, so
    // the window's keys (Cut, Copy, Paste) reach the window.
    setFocusPolicy(Qt::ClickFocus);

    // Children in back-to-front order; later ones lie on top where they overlap.
    Picture2 = new QWidget(this);
    Picture2->setObjectName("Picture2");
    Picture2->setGeometry(0, 0, kWidth, kHeight);
    Picture2->setAutoFillBackground(true);

    lblMyNum = MakeLabel(this, "lblMyNum", "Frame 0", QRect(8, 2, 57, 17), false);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(72, 2, 9, 9);
    Image1->setPixmap(CrossPixmap());

    Picture1 = new PictureBox(this);
    Picture1->setObjectName("Picture1");
    Picture1->setGeometry(8, 16, kThumbSide, kThumbSide);
    Picture1->SetPictureSize(kThumbSide, kThumbSide);

    Label6[0] = MakeLabel(this, "Label6_0", "At:", QRect(8, 92, 25, 17), false);
    lblLoc = MakeLabel(this, "lblLoc", "(?,?)", QRect(16, 92, 65, 17), true);
    Label6[1] = MakeLabel(this, "Label6_1", "Size:", QRect(8, 108, 25, 17), false);
    lblSize = MakeLabel(this, "lblSize", "?x?", QRect(16, 108, 65, 17), true);
    Label6[2] = MakeLabel(this, "Label6_2", "HS:", QRect(8, 124, 41, 17), false);
    lblHS = MakeLabel(this, "lblHS", "(?,?)", QRect(24, 124, 57, 17), true);
    Label6[3] = MakeLabel(this, "Label6_3", "Delay:", QRect(8, 140, 33, 17), false);
    lblDelay = MakeLabel(this, "lblDelay", "1", QRect(40, 140, 41, 17), true);

    Text1 = new QLineEdit(this);
    Text1->setObjectName("Text1");
    Text1->setGeometry(40, 112, 41, 19);
    Text1->hide();
    // The editor covers the delay label when shown.
    Text1->move(lblDelay->x(), lblDelay->y());

    for (QWidget* w : std::initializer_list<QWidget*>{Picture2, lblMyNum, Image1, Picture1, Label6[0], lblLoc,
                                                       Label6[1], lblSize, Label6[2], lblHS, Label6[3], lblDelay,
                                                       Text1})
        w->installEventFilter(this);

    delay_ = 1;
    lblDelay->setText("1");
    SetHighlight(0);
}

void SpriteFrame::SetID(int16_t IDNum) {
    number_ = IDNum;
    lblMyNum->setText("Frame " + QString::number(IDNum));
}

int16_t SpriteFrame::ID() const { return number_; }

PixelSurface SpriteFrame::hDC() { return Picture1->Surface(); }

void SpriteFrame::SetInfo(int32_t PosX, int32_t PosY, int32_t w, int32_t H, int16_t D) {
    lblLoc->setText("(" + QString::number(PosX) + "," + QString::number(PosY) + ")");
    lblSize->setText(QString::number(H) + "x" + QString::number(w)); // height first
    delay_ = D >= 1 ? D : int16_t{1};
    lblDelay->setText(QString::number(delay_));
    CloseDelayEditor();
}

void SpriteFrame::SetHS(int32_t PosX, int32_t PosY) {
    lblHS->setText("(" + QString::number(PosX) + "," + QString::number(PosY) + ")");
}

void SpriteFrame::RefreshThumb() { Picture1->Present(); }

void SpriteFrame::ClearThumb() { Picture1->Cls(); }

void SpriteFrame::ReInit() {
    lblLoc->setText("(?,?)");
    lblSize->setText("(?x?)");
    delay_ = 0;
    lblDelay->setText("1");
    CloseDelayEditor();
    Text1->setText("1");
    lblMyNum->setText("Frame 0");
    number_ = 0;
    ClearThumb();
}

void SpriteFrame::SetHighlight(int16_t Flag) {
    highlight_ = Flag;
    QPalette pal = Picture2->palette();
    pal.setColor(QPalette::Window, Flag != 0 ? QColor(255, 255, 255) : QApplication::palette().color(QPalette::Button));
    Picture2->setPalette(pal);
    CloseDelayEditor();
}

int16_t SpriteFrame::Highlight() const { return highlight_; }
int16_t SpriteFrame::Delay() const { return delay_; }

void SpriteFrame::SetJitterMark(const QString& Text) {
    if (Text.isEmpty()) {
        if (lblJitter) lblJitter->hide();
        return;
    }
    if (!lblJitter) {
        // Made on first use: most thumbnails never carry one, and a strip
        // makes and lays out many of them.
        static const QPixmap mark = JitterPixmap();
        lblJitter = new QLabel(this);
        lblJitter->setObjectName("lblJitter");
        // In the corner right of the delay and below the picture, where no other child lies.
        lblJitter->setGeometry(81, 150, 8, 8);
        lblJitter->setPixmap(mark);
        lblJitter->installEventFilter(this);
    }
    lblJitter->setToolTip(Text);
    lblJitter->show();
}

QString SpriteFrame::JitterMark() const {
    return lblJitter && !lblJitter->isHidden() ? lblJitter->toolTip() : QString();
}

QString SpriteFrame::NumText() const { return lblMyNum->text(); }
QString SpriteFrame::LocText() const { return lblLoc->text(); }
QString SpriteFrame::SizeText() const { return lblSize->text(); }
QString SpriteFrame::HSText() const { return lblHS->text(); }
QString SpriteFrame::DelayText() const { return lblDelay->text(); }
bool SpriteFrame::DelayEditorVisible() const { return !Text1->isHidden(); }
PictureBox* SpriteFrame::Thumb() const { return Picture1; }

void SpriteFrame::OpenDelayEditor() {
    Text1->setText(lblDelay->text());
    Text1->show();
    Text1->raise(); // the focus stays where it is
}

void SpriteFrame::CloseDelayEditor() {
    // Hiding the editor while it has the focus takes the focus away; that is
    // not the user leaving it, so the loss-of-focus handling must not run.
    closingEditor_ = true;
    Text1->hide();
    closingEditor_ = false;
}

void SpriteFrame::CommitDelayEditor() {
    const std::optional<int16_t> value = DelayFromText(Text1->text());
    if (!value) {
        // No 16-bit integer: the frame keeps its delay, and the label with it.
        lblDelay->setText(QString::number(delay_));
        CloseDelayEditor();
        return;
    }
    delay_ = *value;
    lblDelay->setText(QString::number(delay_));
    CloseDelayEditor();
    emit SetDelay(*value); // 0 and negative values are passed on as typed
}

void SpriteFrame::AskDelete() {
    QPointer<SpriteFrame> self(this);
    const MsgAnswer answer = MsgBox("Delete Frame " + std::to_string(number_) + "?", MsgButtons::YesNo,
                                    MsgIcon::Question, "Waitaminute...");
    if (self && answer == MsgAnswer::Yes) emit DoDelete();
}

bool SpriteFrame::RaiseClickOnRelease(QEvent* event) {
    auto* e = static_cast<QMouseEvent*>(event);
    // Only where the pointer is on the release counts: over the delay label,
    // its editor or the delete button, or outside the control, nothing is raised.
    QWidget* under = childAt(mapFromGlobal(e->globalPosition().toPoint()));
    if (!under || under == lblDelay || under == Text1 || under == Image1) return true;
    if (under != Picture2 && under != Picture1 && under != lblMyNum && under != lblLoc && under != lblSize &&
        under != lblHS && under != Label6[0] && under != Label6[1] && under != Label6[2] && under != Label6[3] &&
        (!lblJitter || under != lblJitter))
        return true;
    emit Click(static_cast<int16_t>(ShiftCode(e->modifiers())));
    return true;
}

bool SpriteFrame::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();

    if (watched == Text1) {
        if (type == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                CommitDelayEditor();
                return true;
            }
            if (key == Qt::Key_Escape) {
                // The edit is dropped: the label goes on showing the stored delay.
                lblDelay->setText(QString::number(delay_));
                CloseDelayEditor();
                return true;
            }
        } else if (type == QEvent::FocusOut && !closingEditor_ && !Text1->isHidden()) {
            // Switching to another window or opening the editor's menu is no leaving it.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
                // Leaving without Enter keeps the stored delay; no event is raised.
                lblDelay->setText(QString::number(delay_));
                CloseDelayEditor();
            }
        }
        return false;
    }

    const bool press = type == QEvent::MouseButtonPress;
    const bool release = type == QEvent::MouseButtonRelease;
    const bool dblClick = type == QEvent::MouseButtonDblClick;
    if (!press && !release && !dblClick) return QWidget::eventFilter(watched, event);

    if (watched == lblDelay) {
        if (dblClick) OpenDelayEditor();
        return true; // no Click from the delay label
    }
    if (watched == Image1) {
        auto* e = static_cast<QMouseEvent*>(event);
        if (release && e->button() == Qt::LeftButton && Image1->rect().contains(e->position().toPoint()))
            AskDelete();
        return true;
    }
    if (watched == Picture1) {
        // The thumbnail keeps its own mouse signals; the release also clicks the control.
        if (!release) return false;
        QPointer<QObject> alive(watched);
        RaiseClickOnRelease(event);
        return !alive; // the handler may have removed the control
    }
    if (watched == Picture2 || watched == lblMyNum || watched == lblLoc || watched == lblSize || watched == lblHS ||
        watched == Label6[0] || watched == Label6[1] || watched == Label6[2] || watched == Label6[3] ||
        (lblJitter && watched == lblJitter)) {
        if (release) return RaiseClickOnRelease(event);
        return true; // presses stay inside the control
    }
    return QWidget::eventFilter(watched, event);
}
