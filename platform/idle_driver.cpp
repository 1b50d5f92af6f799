#include "platform/idle_driver.h"

#include <QApplication>
#include <QEvent>
#include <utility>

namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

}  // namespace

IdleDriver::IdleDriver(Hook hook) : hook_(std::move(hook)) {
    timer_.setInterval(0);
    // A coarse timer may fire 5% early or late to share wake-ups; a paced
    // simulation keeps to its rate instead.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &IdleDriver::idle);
    qApp->installEventFilter(this);
}

IdleDriver::~IdleDriver() = default;

void IdleDriver::start() {
    started_ = true;
    satisfied_ = false;
    idleCount_ = 0;
    resume();
}

void IdleDriver::stop() {
    started_ = false;
    timer_.stop();
}

void IdleDriver::setInterval(int msec) { timer_.setInterval(msec); }

void IdleDriver::resume() {
    if (started_ && !satisfied_ && !QApplication::activeModalWidget()) timer_.start();
}

void IdleDriver::idle() {
    if (QApplication::activeModalWidget()) {
        timer_.stop();
        return;
    }
    if (!hook_(idleCount_++)) {
        satisfied_ = true;
        timer_.stop();
    }
}

bool IdleDriver::eventFilter(QObject*, QEvent* event) {
    const QEvent::Type type = event->type();
    if (isUserInput(type)) {
        idleCount_ = 0;
        if (satisfied_) {
            satisfied_ = false;
            resume();
        }
    } else if (type == QEvent::WindowBlocked) {
        timer_.stop();
    } else if (type == QEvent::WindowUnblocked) {
        resume();
    }
    return false;
}
