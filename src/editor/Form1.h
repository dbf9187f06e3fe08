#pragma once
// Form1: the editor's main window. At its default (and smallest) size every
// editing control sits at a fixed position in the 553 x 483 client area; a
// larger window gives the extra room to the two sheet views and the strip
// (Form1_Layout.cpp). The handlers read and write the project globals of
// SpriteProject directly. Controls, handlers and window state are public so
// that tests can reach them.
//
// The code is split by concern: Form1.cpp (construction, menus, start-up,
// reset), Form1_Project.cpp (File menu project commands), Form1_SheetView.cpp
// (zoom view and overview), Form1_Lists.cpp (action and direction lists),
// Form1_Strip.cpp (frame strip), Form1_Marking.cpp (marking frames on the
// zoom view), Form1_Thumbs.cpp (the thumbnails' click, delete and delay
// events), Form1_Preview.cpp (animation preview and mask colour),
// Form1_Clipboard.cpp (cut, copy and paste of frames), Form1_Sif.cpp (SIF
// export and import), Form1_Frames.cpp (the Frames menu), Form1_Layout.cpp
// (the window's geometry and its remembered size), Form1_ViewNav.cpp
// (wheel zoom, wheel scrolling and middle-button panning), Form1_Onion.cpp
// (the View menu's onion skin on the zoom view) and Form1_Jitter.cpp (the
// thumbnails' jitter marks).
#include <QMainWindow>
#include <QPixmap>
#include <QElapsedTimer>
#include <QLockFile>
#include <QPointer>
#include <QPoint>
#include <QRectF>
#include <array>
#include <optional>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editor/OnionSkin.h"
#include "history/UndoHistory.h"
#include "project/Recovery.h"
#include "project/SpriteProject.h"
#include "sprites/Jitter.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;
class QTimer;
class DeferredCall;
class Form2;
class PictureBox;
class SpriteFrame;
class FramesDialog;
enum class FramesSource;
enum class FramesArea;
struct FramesFound;
struct SpriteRect;
struct SheetPiece;
struct GridFound;

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // ---- Controls (names as the handlers use them) ----
    QWidget* Client = nullptr; // the client area under the menu bar, 553 x 483 at the default size

    QLabel* Label3 = nullptr;      // "Zoom: 2x"
    QScrollBar* HScroll1 = nullptr; // zoom factor 2..10
    QLabel* Label6 = nullptr;      // "Mask Color" swatch
    PictureBox* Picture1 = nullptr; // zoom view
    QWidget* Picture3 = nullptr;    // viewport of the overview, 256 x 256 at the default size
    PictureBox* Picture2 = nullptr; // overview, child of Picture3
    QScrollBar* TNScrollH = nullptr;
    QScrollBar* TNScrollV = nullptr;

    QLabel* Label1 = nullptr; // "Action"
    QComboBox* lstAction = nullptr;
    QPushButton* Command1 = nullptr; // "+" action
    QPushButton* Command2 = nullptr; // "--" action
    QLabel* Label2 = nullptr;        // "Direction"
    QComboBox* lstDirection = nullptr;
    QPushButton* Command4 = nullptr; // "+" direction
    QPushButton* Command3 = nullptr; // "--" direction

    QWidget* Picture4 = nullptr; // container of the frame strip
    QLabel* lblNewFrame = nullptr;
    QScrollBar* FrameScroll = nullptr;

    QGroupBox* Frame1 = nullptr; // " Animation Preview "
    PictureBox* Picture5 = nullptr;
    QScrollBar* VScroll1 = nullptr;
    QScrollBar* HScroll4 = nullptr;
    QPushButton* cmdPlay = nullptr;
    QPushButton* cmdStep = nullptr;
    QCheckBox* Check1 = nullptr;
    QLabel* Label4 = nullptr;
    QScrollBar* HScroll2 = nullptr;
    QLabel* Label5 = nullptr;
    QScrollBar* HScroll3 = nullptr;
    QLabel* picPlay = nullptr; // hidden holders of the play and stop images
    QLabel* picStop = nullptr;
    QTimer* Timer1 = nullptr;

    // ---- Menus ----
    QMenu* mnuFile = nullptr;
    QAction* mnuNew = nullptr;
    QAction* mnuOpen = nullptr;
    QAction* mnuSave = nullptr;
    QAction* mnuSaveAs = nullptr;
    QAction* mnuImportCCA = nullptr;
    QAction* mnuImportSIF = nullptr;
    QMenu* mnuExportSIFTop = nullptr;
    std::array<QAction*, 6> mnuExportSIF{}; // indices 1, 2, 4 and 5 exist
    std::array<QAction*, 2> mnuCompress{};
    QAction* mnuExit = nullptr;
    QMenu* mnuEdit = nullptr;
    QAction* mnuUndo = nullptr;
    QAction* mnuRedo = nullptr;
    QAction* mnuCut = nullptr;
    QAction* mnuCopy = nullptr;
    QAction* mnuPaste = nullptr;
    QMenu* mnuFrames = nullptr;
    QAction* mnuFitFrame = nullptr;
    QAction* mnuTrimFrames = nullptr;
    QAction* mnuAddGrid = nullptr;
    QAction* mnuAddSprites = nullptr;
    QMenu* mnuView = nullptr;
    QAction* mnuOnionSkin = nullptr;        // check item, Ctrl+K
    QMenu* mnuOnionFramesTop = nullptr;     // "Onion Skin Frames"
    std::array<QAction*, 3> mnuOnionFrames{}; // indices 1 and 2 exist, one checked

    // ---- Window state ----
    int32_t ContrastColor = 0xFFFFFF;
    int32_t ZoomCenterX = 64;
    int32_t ZoomCenterY = 64;
    int32_t ZoomFactor = 2;
    bool OverviewDragging = false;
    bool Marking = false;
    int32_t AnchorX = 0;
    int32_t AnchorY = 0;
    double LastCellX;
    double LastCellY;
    bool Playing = false;
    int16_t Counter = 0;
    int16_t ClipCount = 0;
    int16_t PasteMode = 3;

    // The images of the preview's play button.
    QPixmap PlayImage;
    QPixmap StopImage;
    QPixmap StepImage;
    bool PlayImageShown = true; // cmdPlay shows the play image (false: the stop image)
    void ShowPlayImage(bool play);

    // ---- Start-up and reset (Form1.cpp) ----
    void Form_Load();
    void ResetProject();

    // ---- Project commands (Form1_Project.cpp) ----
    void mnuNew_Click();
    void mnuOpen_Click();
    void mnuSave_Click();
    void mnuSaveAs_Click();
    void mnuExit_Click();
    // The commands once their file is chosen (no dialog, no question).
    void NewProjectFrom(const std::string& sheetPath);
    void OpenProjectFrom(const std::string& projectPath);
    void ImportSifFrom(const std::string& sifPath);
    // Loads a sheet file into `fresh` with a progress window; false when the
    // user cancelled (then nothing was shown or changed). A refused file was
    // reported and leaves `fresh` empty.
    bool LoadSheetInto(cBitMap& fresh, const std::string& path);
    // The names and the mask colour a project command changes before it is sure
    // to go through, so that Cancel can put them back.
    struct ProjectNames {
        std::string WorkDir, ProjectFile, SheetFile, FoundSheetPath;
        int32_t MaskColor = 0;
    };
    ProjectNames CurrentProjectNames() const;
    void RestoreProjectNames(const ProjectNames& names);

    // ---- Sheet views (Form1_SheetView.cpp) ----
    void SetupSheetView();
    void HScroll1_Change();
    void ApplyZoomFactor(); // the zoom bar's value: caption, ZoomFactor and pen width
    void TNScrollH_Change();
    void TNScrollV_Change();
    void Picture2_MouseDown(int Button, int Shift, double X, double Y);
    void Picture2_MouseMove(int Button, int Shift, double X, double Y);
    void Picture2_MouseUp(int Button, int Shift, double X, double Y);
    void DrawZoomView();
    void DrawOverviewSheet();
    void DrawFrameBox();
    void DrawZoomBox();
    // The overview as usual: sheet, frame box, zoom box, presented.
    void RedrawOverview();
    // Half the zoom view's width and height in sheet pixels: 128 / ZoomFactor
    // at the default size.
    double HalfX() const;
    double HalfY() const;
    // The zoom view's size in view pixels (256 x 256 at the default size).
    int ZoomViewWidth() const;
    int ZoomViewHeight() const;
    // Places the zoom centre at sheet pixel (x, y) within the overview's clamps.
    void ClampZoomCentre(int32_t x, int32_t y);
    // Sets the overview's scroll ranges for the sheet and the viewport's size.
    void UpdateOverviewScrollRanges();
    int32_t ZoomOriginX() const;
    int32_t ZoomOriginY() const;

    // ---- Action and direction lists (Form1_Lists.cpp) ----
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void lstAction_Click(int index);
    void lstDirection_Click(int index);
    void lstAction_KeyDown(int KeyCode);
    void lstDirection_KeyDown(int KeyCode);

    // ---- Frame strip (Form1_Strip.cpp) ----
    // A virtual array: thumbnail i stands for frame i of the current direction,
    // but widgets exist only for the (up to six) thumbnails laid out.
    enum class ThumbLook : uint8_t {
        Fresh,   // created by the new-frame label, never filled: the control's initial captions
        Cleared, // re-initialised by the reset
        Filled,  // shows its frame (SetInfo and picture)
    };
    static constexpr int StripWindow = 6; // thumbnails laid out at once at the default size
    static constexpr int ThumbWidth = 89;
    static constexpr int ThumbHeight = 161;
    std::vector<int16_t> ThumbHighlight; // one per thumbnail
    std::vector<ThumbLook> ThumbLooks;   // one per thumbnail
    struct ThumbSlot {
        SpriteFrame* Widget = nullptr;
        int Shown = -1; // thumbnail index the widget shows, -1 = none
    };
    std::vector<ThumbSlot> ThumbPool; // thumbnail i uses slot i % its size
    // Thumbnails laid out at once: six, or as many as a wider strip shows plus one.
    int StripSlots() const;
    DeferredCall* StripRebuild = nullptr;
    int StripRebuilds = 0; // rebuilds run so far

    void RequestStripRebuild();
    void RebuildStrip(bool fromTimer);
    // Rebuilds the strip at once and lays it out from thumbnail `first` (or the
    // last one, when the direction is shorter).
    void RebuildStripAt(int first);
    void FrameScroll_Change();
    void lblNewFrame_Click();
    int ThumbCount() const { return static_cast<int>(ThumbLooks.size()); }
    // The widget showing thumbnail i when it is laid out and visible, else nullptr.
    SpriteFrame* ThumbWidget(int i) const;
    // The widget holding thumbnail i, shown or not, else nullptr: what is told
    // to it stays on screen when the layout shows it again.
    SpriteFrame* ThumbHolding(int i) const;
    // Marks thumbnail i as showing its frame and redraws it if it is on screen.
    void ThumbChanged(int i);
    void SetThumbHighlight(int i, int16_t flag);
    // Frame i of the current direction, or nullptr when there is none.
    FrameData* CurrentFrameAt(int i) const;

    // ---- SIF menu (Form1_Sif.cpp) ----
    void mnuExportSIF_Click(int Index);
    void mnuCompress_Click(int Index);
    void mnuImportSIF_Click();

    // ---- Marking frames on the zoom view (Form1_Marking.cpp) ----
    void Picture1_MouseDown(int Button, int Shift, double X, double Y);
    void Picture1_MouseMove(int Button, int Shift, double X, double Y);
    // The zoomed pixel under a zoom-view position, as (column, row) of the view.
    QPoint ZoomCell(double X, double Y) const;

    // ---- Thumbnail events (Form1_Thumbs.cpp) ----
    void ucSF_Click(int Index, int16_t Shift);
    void ucSF_DoDelete(int Index);
    void ucSF_SetDelay(int Index, int16_t Val);
    // Sets the highlight of thumbnails first..last (inclusive, clipped to the strip).
    void SetThumbHighlights(int first, int last, int16_t flag);

    // ---- Animation preview and mask colour (Form1_Preview.cpp) ----
    void cmdPlay_Click();
    void cmdStep_Click();
    void Timer1_Timer();
    void HScroll2_Change();
    void HScroll3_Change();
    void Picture5_DblClick();
    void Label6_DblClick();

    // ---- Frame clipboard and the paste dialog (Form1_Clipboard.cpp, Form2) ----
    void mnuCut_Click();
    void mnuCopy_Click();
    void mnuPaste_Click();
    void DoPaste(int16_t iType);
    // Why a paste at that position cannot be made now, or "" when it can.
    std::string PasteRefusal(int16_t iType) const;
    // The current direction, or nullptr when there is none.
    DirectionData* CurrentDirection() const;
    QPointer<Form2> PasteDialog; // the open "Paste Frames..." window, if any

    // ---- Frames menu (Form1_Frames.cpp, FramesDialog) ----
    void mnuFitFrame_Click();
    void mnuTrimFrames_Click();
    void mnuAddGrid_Click();
    void mnuAddSprites_Click();
    // Opens the window of that source (one at a time), first offering a mask
    // colour from the sheet when its border has none of the current one.
    void ShowFramesDialog(FramesSource source);
    QPointer<FramesDialog> FramesWindow; // the open "Add Frames from ..." window, if any
    // The sheet rectangle a search area stands for now.
    SpriteRect FramesSearchArea(FramesArea area) const;
    // The frames the open window's options make now.
    FramesFound FramesFromWindow() const;
    // Works the frames out again: their count in the window, their boxes on the overview.
    void UpdateFramesPreview();
    void FramesWindow_Finished(int result);
    // Appends frames to the current direction as one step; false when there
    // are none or they are refused.
    bool AddFoundFrames(const std::vector<FrameData>& frames);
    // Appends a direction per row of found frames to the current action as one
    // step; false when there are none or they are refused.
    bool AddFoundDirections(const FramesFound& found);
    // The grid found in the sheet rectangle of a search area, or why there is none.
    GridFound DetectGridIn(FramesArea area, QWidget* owner) const;
    // Shows frame i's new rectangle and hot spot in its thumbnail.
    void ShowChangedFrame(int i);
    // Makes sure a Frames command has a sheet and a direction to work on: without a
    // sheet it says so and returns false; without a direction it picks the current
    // action's first one, or adds and picks "Action 0" / "Dir 0" as "+" would.
    bool ChooseFramesTarget();
    bool FramesStepOpen = false; // the Frames window's command began an edit step that its end closes

    // ---- Jitter marks on the thumbnails (Form1_Jitter.cpp) ----
    // A thumbnail whose frame's sprite stands more than JitterLimit pixels off
    // the direction's other frames (against the hot spot) carries a mark with
    // a tooltip saying how far and which way.
    int32_t JitterLimit = DefaultJitterLimit;
    JitterTracker Jitter;
    std::vector<int32_t> JitterOfFrame; // per frame of the current direction: index into Jitter.Flags(), or -1
    // Measures the current direction again (only changed rectangles are
    // scanned; sheetChanged scans all) and updates the marks of the widgets
    // holding thumbnails. Run after every change to frames, the sheet or the mask.
    void RefreshJitterMarks(bool sheetChanged = false);
    // The mark's text for thumbnail i, "" for none.
    QString JitterText(int i) const;
    void ShowJitterMark(SpriteFrame* w, int i) const;

    // ---- Undo history and unsaved changes (Form1_History.cpp) ----
    // Every command that changes the project runs inside one EditStep: the
    // project as it was when the outermost one began is compared with the
    // project when it ends, and the difference becomes one undo step.
    class EditStep {
    public:
        EditStep(Form1& window, const char* name) : w_(window), name_(name) { w_.BeginEdit(); }
        ~EditStep() { w_.EndEdit(name_); }
        EditStep(const EditStep&) = delete;
        EditStep& operator=(const EditStep&) = delete;

    private:
        Form1& w_;
        const char* name_;
    };
    struct EditSnapshot {
        std::vector<ActionData> Actions;
        int32_t Mask = 0;
        History::Selection Shown;
    };
    History::UndoHistory EditHistory;
    std::optional<EditSnapshot> OpenEdit;    // of the outermost running EditStep
    int EditDepth = 0;
    std::optional<EditSnapshot> MarkingEdit; // since marking began, while it is on
    bool MarkingChanged = false;             // a marking move changed the frame since MarkingEdit began

    void BeginEdit();
    void EndEdit(const char* name);
    void StartMarkingStep();
    void EndMarkingStep();
    void mnuUndo_Click();
    void mnuRedo_Click();
    void StepHistory(bool redo);
    bool Modified() const;
    // Asks "Save changes to the project?" when there are unsaved changes; false
    // when the user cancels (or a save fails or its dialog is cancelled).
    bool SaveChangesFirst();
    // Save and Save As..., true when the project file was written.
    bool SaveProject();
    bool SaveProjectAs();
    void ForgetHistory(); // a new project: nothing to undo, nothing unsaved
    void UpdateEditMenu();
    void UpdateCaption();

    // ---- Desktop (Form1_Desktop.cpp): files named on the command line or
    // dropped on the window, and the sheet file watched for changes ----
    void SetupDesktop(); // from the constructor
    // Opens a .sip as Open Project does, a .bmp or .png as New Project does and
    // a .sif as Import SIF does, after asking about unsaved changes. A missing
    // file or another kind is refused with a message and changes nothing.
    // Returns true when the command ran.
    bool OpenPath(const std::string& path);
    // The path of a drop that OpenPath would take: one local file of a kind it
    // opens, or "" when the drop is to be refused.
    static std::string DroppedPath(const class QMimeData* data);
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Every SheetWatchMs the sheet file's stamp is compared with the one it had
    // when loaded; a change that holds for two looks reloads it (ReloadSheet).
    static constexpr int SheetWatchMs = 200;
    QTimer* SheetWatch = nullptr;
    std::string WatchedSheet;              // the sheet file the stamps below belong to
    std::optional<FileStamp> SheetPending; // a change seen once, waiting to hold
    std::optional<FileStamp> SheetFailed;  // a version that could not be read, said once
    int SheetReloads = 0;                  // reloads done so far
    void SheetWatch_Timer();
    // Loads the sheet file again under the current mask colour, keeping the
    // selection and the zoom position, and redraws the views and the strip's
    // pictures. The marked frames follow their pictures on the new sheet
    // (FollowSheetChanges). A file that cannot be read keeps the old picture
    // and is reported once. Returns true when reloaded.
    bool ReloadSheet();
    // Moves every marked frame to where its old pixels (the pieces, taken from
    // the sheet before it was replaced) went on the sheet now loaded, as one
    // undo step "Follow Sheet Changes", and says in one message how many moved
    // and which were found nowhere. Nothing moved: no step and no message.
    void FollowSheetChanges(const std::vector<SheetPiece>& pieces);

    // ---- Recovery of unsaved work (Form1_Recovery.cpp) ----
    // Each instance keeps its unsaved project in a recovery file of its own in
    // a folder of the user's data, guarded by a lock file. After an edit step
    // (at most once a second) a copy of the project goes to a writer thread;
    // saving, giving the changes up and a normal exit remove the file.
    // Without StartRecovery (as in most tests) nothing is written.
    static constexpr int RecoveryIntervalMs = 1000;
    // Takes this instance's file in folder; false when the folder cannot be used.
    bool StartRecovery(const std::string& folder);
    // At start: the newest recovery file of an instance no longer running is
    // offered ("Yes" opens it, marked as changed; "No" removes it); damaged
    // ones are set aside with one message. True when a project was recovered.
    bool OfferRecovery();
    // Finishes what is queued (the newest state of unsaved work stays on disk)
    // and gives the lock up. From the destructor.
    void StopRecovery();
    void NoteProjectChanged(); // after an edit step, an undo or redo, a marking move
    void SyncRecovery();       // the timer: writes or removes the file as the project stands
    void DiscardRecovery();    // the changes were saved or given up
    std::shared_ptr<const RecoveryData> RecoverySnapshot() const;
    // Puts a recovered project in the window, marked as changed.
    void ShowRecovered(const RecoveryData& data);
    std::string RecoveryFolder, RecoveryPath; // "" until started
    std::unique_ptr<QLockFile> RecoveryLock;
    std::unique_ptr<RecoveryWriter> Recovery;
    QTimer* RecoveryTimer = nullptr;
    QElapsedTimer RecoveryClock; // since the last write was handed over
    uint64_t RecoveryChanges = 0, RecoveryHandled = 0;
    int64_t RecoveryChangedMs = 0; // time of the last change, ms since 1970
    std::string SheetSifPath;      // the SIF file an imported sheet came from
    bool RecoveryFailureTold = false; // a recovery file that cannot be written is said once
    // The sheet file gone from disk while its picture is open: told once, after
    // SheetMissingLooks looks of the sheet watch (a save may remove it briefly).
    static constexpr int SheetMissingLooks = 5;
    int SheetMissingSeen = 0;

    // ---- Window geometry (Form1_Layout.cpp) ----
    static constexpr int DefaultClientWidth = 553;
    static constexpr int DefaultClientHeight = 483;
    // Places every control for the client area's present size: the default
    // positions plus each control's share of the extra width and height.
    void LayoutClient();
    // The window's size, position and zoom factor from the last run, if they fit the
    // screen, and the View menu's options.
    void RestoreWindowState();
    void SaveWindowState() const;
    int Relayouts = 0; // layouts that changed a size so far

    // ---- Wheel and middle-button navigation (Form1_ViewNav.cpp) ----
    // One zoom step in (steps > 0) or out around zoom-view position (X, Y),
    // keeping the sheet pixel under it in place where the clamps allow.
    void ZoomViewWheel(int steps, double X, double Y);
    // Middle-button drag on the zoom view: the sheet follows the pointer. A
    // middle press that never moves to another zoomed pixel is an ordinary press.
    void ZoomPan_Down(int Shift, double X, double Y);
    void ZoomPan_Move(double X, double Y);
    void ZoomPan_Up(double X, double Y);
    struct PanState {
        int Shift = 0;
        double StartX = 0, StartY = 0;
        int32_t CentreX = 0, CentreY = 0;
        bool Moved = false;
    };
    std::optional<PanState> Pan; // while the middle button is held on the zoom view
    QPoint WheelRest;            // parts of a wheel notch from fine-grained devices, not yet used
    // Redraws the zoom view with the crosshair on the zoomed pixel under (X, Y)
    // without touching any frame.
    void DrawZoomViewAt(double X, double Y);
    void DrawCrosshairAt(double X, double Y);
    // The crosshair on the zoomed pixel of (LastCellX, LastCellY), presented.
    void DrawCrosshair();
    bool CrosshairShown = false; // the zoom view shows the crosshair drawn since its last redraw

    // ---- Onion skin (Form1_Onion.cpp): the frames around the current one,
    // tinted and translucent over the zoom view's sheet, aligned on the hot spot ----
    bool OnionSkin = false; // follows the check mark of mnuOnionSkin
    int OnionDepth = 1;     // frames on each side, follows mnuOnionFrames
    std::vector<Onion::Layer> OnionShown; // the layers the zoom view shows now
    // The layers the zoom view would show now; none while the onion skin is off.
    std::vector<Onion::Layer> OnionPlan() const;
    // Draws the layers over the sheet just drawn on the zoom view (from DrawZoomView).
    void DrawOnionSkin();
    // Redraws the zoom view, crosshair kept, when the layers it shows are not
    // those of the project and settings now: after an edit, a change of the
    // current frame or direction, or a change of the View menu's options.
    void UpdateOnionSkin();
    void mnuOnionSkin_Toggled(bool on);
    void mnuOnionFrames_Toggled(int Index, bool on);
    // The zoom box's corners on the overview.
    QRectF ZoomBoxRect() const;
    // Redraws the overview for a zoom box that was at `from`: only the old
    // outline's pixels are drawn again, then the frame box and the new zoom box.
    void MoveZoomBox(const QRectF& from);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool WheelEvent(QObject* watched, class QWheelEvent* event);

private:
    void BuildControls();
    void BuildPreview();
    void BuildMenus();
    void FillActionList();
    History::Selection ShownSelection() const;
    EditSnapshot TakeSnapshot() const;
    void CommitSnapshot(const EditSnapshot& from, const std::string& name);
    // Shows the project after an undo or redo: lists, strip and both views.
    void ShowRestoredState(const History::Selection& shown, bool maskChanged);
    SpriteFrame* MakeThumbWidget(int slot);
    void ShowThumbIn(ThumbSlot& slot, int i);
    void DrawThumbPicture(SpriteFrame* w, const FrameData& f);
};

// Cuts a name typed into a list to what a project file can hold.
std::string CutName(const std::string& utf8);
// Splits a chosen path at its last "/": dir keeps the "/", file is the rest.
void SplitChosenPath(const std::string& path, std::string& dir, std::string& file);
