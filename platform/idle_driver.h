#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

// Calls an idle hook whenever the event queue is empty, through a timer of
// zero interval, or, when paced, once every interval and sleeping in between.
// The hook gets the number of idle calls since the last user input (0 for the
// first after any key, mouse or wheel event). No idle call is made while a
// modal dialog or message box is open: Qt keeps firing timers in their event
// loops, so the driver stops when its windows are blocked and resumes when
// they are unblocked.
class IdleDriver : public QObject {
    Q_OBJECT
public:
    // hook returns whether it wants more idle calls; without more, the calls
    // resume at the next input.
    using Hook = std::function<bool(long idleCount)>;

    explicit IdleDriver(Hook hook);
    ~IdleDriver() override;

    void start();
    void stop();
    // One call every msec milliseconds; 0, the default, calls whenever the
    // event queue is empty. A running driver keeps running at the new pace.
    void setInterval(int msec);
    // The timer whose every tick is one idle call.
    const QTimer& timer() const { return timer_; }
    // Started, not waiting for input, and not held by a modal window.
    bool isCalling() const { return timer_.isActive(); }
    long idleCount() const { return idleCount_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void idle();
    void resume();

    Hook hook_;
    QTimer timer_;
    long idleCount_ = 0;
    bool started_ = false;
    bool satisfied_ = false;
};
