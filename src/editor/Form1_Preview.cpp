// The animation preview in the group box Frame1 and the mask-colour command.
// Each tick draws one frame of the current direction transparently into the
// 90 x 90 box Picture5, its hot spot on the anchor set by the two small bars.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <limits>

#include "editor/Form1.h"
#include "editor/ViewMath.h"
#include "platform/CommDlgs.h"
#include "platform/PictureBox.h"

using namespace SpriteProject;

using ViewMath::RoundEven;

void Form1::cmdPlay_Click() {
    if (CurAction < 0 || CurDirection < 0) return;
    Playing = !Playing;
    if (Playing) Counter = 0;
    ShowPlayImage(!Playing);
    if (Playing)
        Timer1->start();
    else
        Timer1->stop();
}

void Form1::cmdStep_Click() {
    ShowPlayImage(true);
    Timer1->stop();
    // Going back one makes the tick below show again the frame on display.
    if (Playing) Counter = static_cast<int16_t>(Counter == 0 ? std::max(0, ThumbCount() - 1) : Counter - 1);
    Playing = false;
    Timer1_Timer();
}

void Form1::Timer1_Timer() {
    const DirectionData* d = CurrentDirection();
    if (!d) {
        // Playing and the button stay as they are: the next Play stops.
        Timer1->stop();
        return;
    }
    // Counted in int so that a Counter already at the top still passes the
    // last frame; it is stored saturated and never wraps negative.
    const int next = Counter + 1;
    Counter = static_cast<int16_t>(std::min<int>(next, std::numeric_limits<int16_t>::max()));
    if (next > d->FrameUBound) {
        if (!Check1->isChecked()) {
            Playing = false;
            ShowPlayImage(true);
            Timer1->stop();
            return;
        }
        Counter = 0;
    }

    Picture5->Cls();
    if (const FrameData* f = CurrentFrameAt(Counter)) {
        const double s = HScroll3->value() / 4.0;
        const double ax = 90 - HScroll4->value();
        const double ay = 90 - VScroll1->value();
        const int32_t toX = RoundEven(ax - f->HotSpotX * s);
        const int32_t toY = RoundEven(ay - f->HotSpotY * s);
        // The box is small and held whole, so it is drawn into directly.
        Sheet.DrawTrans(Picture5->Surface(), f->X, f->Y, toX, toY, f->Width, f->Height, s, s);
    }
    Picture5->Present();
}

void Form1::HScroll2_Change() {
    const int value = HScroll2->value();
    Label4->setText(QString("Speed (%1)").arg(value));
    // A running clock restarts at the new interval and keeps running.
    Timer1->setInterval(value);
}

void Form1::HScroll3_Change() {
    // Quarters in their shortest decimal form: 0.25, 0.5, 0.75, 1, 1.25 ...
    Label5->setText("Scale (" + QString::number(HScroll3->value() / 4.0) + "x)");
}

void Form1::Picture5_DblClick() {
    // A cancelled chooser keeps the old background.
    const std::optional<int32_t> color = ColorDialog(this);
    if (!color) return;
    Picture5->SetBackColor(*color);
    Picture5->Present();
}

void Form1::Label6_DblClick() {
    // A cancelled chooser keeps the old mask colour.
    const std::optional<int32_t> color = ColorDialog(this);
    if (!color) return;
    const EditStep step(*this, "Change Mask Color");
    MaskColor = *color;
    SetupSheetView();
}
