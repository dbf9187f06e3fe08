#pragma once
// A modal window for long work: it appears once the work has taken about half
// a second, shows how far it has come, and has a Cancel button. The work gets
// Reporter() and reports from the user-interface thread; the window and the
// rest of the program keep repainting in between. Tests replace the window
// with a script that sees every report and may cancel.
#include <QElapsedTimer>
#include <QPointer>
#include <functional>
#include <string>

#include "base/Progress.h"

class QProgressDialog;
class QWidget;

class ProgressWindow {
public:
    static constexpr int ShowAfterMs = 500;

    ProgressWindow(QWidget* owner, const std::string& label);
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    const Progress& Reporter() const { return progress_; }
    bool Cancelled() const { return progress_.Cancelled(); }

    // Receives every report (the window's label and the share done) instead of
    // a window; returning false cancels. An empty script restores the window.
    using Script = std::function<bool(const std::string& label, double done)>;
    static Script SetScript(Script script);

private:
    bool Report(double done);

    QWidget* owner_;
    std::string label_;
    QPointer<QProgressDialog> dialog_;
    QElapsedTimer started_, lastEvents_;
    Progress progress_;
};
