#pragma once
// The file dialog and colour chooser of the program. Every file name and colour
// the user picks passes through these two functions; tests script them with
// ScriptedDialogs instead of showing real dialogs.
#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class QWidget;

// DialogKind 1 = open (the file must exist), anything else = save (asks before
// replacing an existing file). Filter is description + '\0' + pattern. Returns
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

    static ScriptedDialogs* Active();
};
