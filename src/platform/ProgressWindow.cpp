#include "platform/ProgressWindow.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QWidget>

namespace {

ProgressWindow::Script& CurrentScript() {
    static ProgressWindow::Script script;
    return script;
}

// Events are let through this often while the work runs: enough to repaint and
// to see a click on Cancel, rare enough to cost the work nothing.
constexpr int EventsEveryMs = 25;
constexpr int Steps = 1000;

} // namespace

ProgressWindow::ProgressWindow(QWidget* owner, const std::string& label)
    : owner_(owner), label_(label), progress_([this](double done) { return Report(done); }) {
    started_.start();
    lastEvents_.start();
}

ProgressWindow::~ProgressWindow() { delete dialog_; }

ProgressWindow::Script ProgressWindow::SetScript(Script script) {
    Script previous = std::move(CurrentScript());
    CurrentScript() = std::move(script);
    return previous;
}

bool ProgressWindow::Report(double done) {
    if (const Script& script = CurrentScript()) return script(label_, done);
    if (!dialog_ && started_.elapsed() >= ShowAfterMs) {
        dialog_ = new QProgressDialog(QString::fromStdString(label_), "Cancel", 0, Steps, owner_);
        dialog_->setWindowTitle("Celwright");
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->show();
    }
    if (dialog_) dialog_->setValue(static_cast<int>(done * Steps));
    if (lastEvents_.elapsed() >= EventsEveryMs) {
        lastEvents_.restart();
        // Until the window is up nothing may start another command meanwhile;
        // once it is, it keeps the rest of the program from input itself.
        QCoreApplication::processEvents(dialog_ ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    }
    return !(dialog_ && dialog_->wasCanceled());
}
