#pragma once
// A one-shot call on the user-interface thread: Request() (re)starts a single
// timer, so several requests before it fires cause one call, made after the
// requesting handler has returned.
#include <QObject>
#include <QTimer>
#include <functional>

class DeferredCall : public QObject {
    Q_OBJECT
public:
    explicit DeferredCall(std::function<void()> fn, int intervalMs = 10, QObject* parent = nullptr);
    void Request();
    void Cancel();
    bool Pending() const;
    // Runs a pending call now (tests, and callers that must not wait).
    void Flush();

private:
    std::function<void()> fn_;
    QTimer timer_;
};
