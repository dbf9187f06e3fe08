#pragma once
// SpriteFrame: the thumbnail of one frame in the frame strip (89 x 161 pixels):
// its number, a 72 x 72 picture, position, size, hot spot and delay, a delete
// button and an in-place delay editor. It holds no frame data of its own; the
// container pushes everything in and hears back through three signals.
#include <QWidget>
#include <cstdint>

#include "bitmap/PixelSurface.h"

class QLabel;
class QLineEdit;
class PictureBox;

class SpriteFrame : public QWidget {
    Q_OBJECT
public:
    explicit SpriteFrame(QWidget* parent = nullptr);

    void SetID(int16_t IDNum);    // number := IDNum; "Frame " & IDNum
    int16_t ID() const;
    PixelSurface hDC();           // the 72 x 72 thumbnail's drawing context
    void SetInfo(int32_t PosX, int32_t PosY, int32_t w, int32_t H, int16_t D);
    void SetHS(int32_t PosX, int32_t PosY);
    void RefreshThumb();
    void ClearThumb();
    void ReInit();
    void SetHighlight(int16_t Flag);
    int16_t Highlight() const;
    int16_t Delay() const;
    // A small mark in the bottom-right corner, over nothing else the thumbnail
    // shows, telling that the frame's sprite jitters; Text is its tooltip, and
    // an empty Text takes the mark away.
    void SetJitterMark(const QString& Text);
    QString JitterMark() const; // the mark's tooltip, "" when there is none

    // What the user sees, for tests and for the container.
    QString NumText() const;
    QString LocText() const;
    QString SizeText() const;
    QString HSText() const;
    QString DelayText() const;
    bool DelayEditorVisible() const;
    PictureBox* Thumb() const;

signals:
    void DoDelete();
    void Click(int16_t Shift);
    void SetDelay(int16_t Val);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OpenDelayEditor();
    void CloseDelayEditor();     // hides the editor without the loss-of-focus handling
    void CommitDelayEditor();    // Enter
    void AskDelete();
    bool RaiseClickOnRelease(QEvent* event);

    int16_t number_ = 0;
    int16_t delay_ = 1;
    int16_t highlight_ = 0;
    bool closingEditor_ = false;

    QWidget* Picture2 = nullptr;  // background panel, shows the highlight
    QLabel* lblMyNum = nullptr;
    QLabel* Image1 = nullptr;     // delete button
    PictureBox* Picture1 = nullptr;
    QLabel* Label6[4] = {};
    QLabel* lblLoc = nullptr;
    QLabel* lblSize = nullptr;
    QLabel* lblHS = nullptr;
    QLabel* lblDelay = nullptr;
    QLineEdit* Text1 = nullptr;   // delay editor
    QLabel* lblJitter = nullptr;  // the jitter mark, made when first shown
};
