#pragma once
// The file dialog and colour chooser of the program. Every file name and colour
// the user picks passes through these two functions; tests script them with
// ScriptedDialogs instead of showing real dialogs.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QColor;
class QString;
class QWidget;

// DialogKind 1 = open (the file must exist), anything else = save (asks before
// replacing an existing file). Filter is description + '\0' + pattern, or
// several such pairs joined by '\0' (the first is selected). Returns
// the full chosen path, or "" when the user cancels.
std::string FileDialog(QWidget* hWndOwner, int16_t DialogKind, const std::string& Title,
                       const std::string& DefaultName, const std::string& Filter, const std::string& InitDir,
                       const std::string& DefExt);

// Returns the chosen colour 0x00BBGGRR, or nothing when the user cancels.
// The 16 custom colours are kept for the whole run.
std::optional<int32_t> ColorDialog(QWidget* hWndOwner);

// The chooser's custom colours (0x00BBGGRR), black at start.
std::array<int32_t, 16>& CustomColors();

struct FileDialogRequest {
    int16_t DialogKind = 0;
    std::string Title, DefaultName, Filter, InitDir, DefExt;
};

// While one lives, no dialog is shown: FileDialog and ColorDialog record the
// request and answer from the queues (an empty queue answers "cancel").
class ScriptedDialogs {
public:
    ScriptedDialogs();
    ~ScriptedDialogs();
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    std::deque<std::string> FileAnswers;                 // "" = cancel
    std::deque<std::optional<int32_t>> ColorAnswers;     // nullopt = cancel
    std::vector<FileDialogRequest> FileRequests;
    int ColorRequests = 0;

    // Stands for what the user does to the custom colours while the chooser is
    // open: called with the colours handed to it (also when the answer is a
    // cancel); what it leaves there is taken back.
    std::function<void(std::array<int32_t, 16>&)> EditCustomColors;

    static ScriptedDialogs* Active();

private:
    ScriptedDialogs* previous_ = nullptr;
};

// The Qt name filter for a "description\0pattern" filter: the description with
// the patterns in parentheses (added unless it already ends with them);
// several patterns separated by ";" become space separated. Several pairs
// ("desc\0pattern\0desc\0pattern") become filters separated by ";;".
QString QtNameFilter(const std::string& Filter);

// The colour 0x00BBGGRR as a QColor and back.
QColor BgrToQColor(int32_t color);
int32_t QColorToBgr(const QColor& color);
