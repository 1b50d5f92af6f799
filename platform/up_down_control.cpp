#include "platform/up_down_control.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

constexpr int kRepeatDelayMs = 400;
constexpr int kRepeatIntervalMs = 60;

}  // namespace

UpDownControl::UpDownControl(Qt::Orientation orientation, QWidget* parent)
    : QAbstractSpinBox(parent), orientation_(orientation) {
    // There is no value to edit, only the two buttons.
    lineEdit()->hide();
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    setFrame(false);
    setFocusPolicy(Qt::StrongFocus);
    connect(&repeat_, &QTimer::timeout, this, &UpDownControl::repeatStep);
}

void UpDownControl::stepBy(int steps) {
    if (steps != 0) emit positionChanging(steps);
}

QSize UpDownControl::sizeHint() const {
    return orientation_ == Qt::Horizontal ? QSize(32, 16) : QSize(16, 32);
}

QSize UpDownControl::minimumSizeHint() const {
    return orientation_ == Qt::Horizontal ? QSize(16, 8) : QSize(8, 16);
}

QRect UpDownControl::buttonRect(int delta) const {
    const QRect all = rect();
    if (orientation_ == Qt::Horizontal) {
        const int half = all.width() / 2;
        return delta > 0 ? QRect(half, 0, all.width() - half, all.height()) : QRect(0, 0, half, all.height());
    }
    const int half = all.height() / 2;
    return delta > 0 ? QRect(0, 0, all.width(), half) : QRect(0, half, all.width(), all.height() - half);
}

QAbstractSpinBox::StepEnabled UpDownControl::stepEnabled() const { return StepUpEnabled | StepDownEnabled; }

void UpDownControl::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    for (const int delta : {-1, 1}) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = buttonRect(delta);
        button.state |= pressedDelta_ == delta ? QStyle::State_Sunken : QStyle::State_Raised;
        painter.drawControl(QStyle::CE_PushButtonBevel, button);
        QStyleOption arrow = button;
        arrow.rect = button.rect.adjusted(2, 2, -2, -2);
        QStyle::PrimitiveElement element;
        if (orientation_ == Qt::Horizontal)
            element = delta > 0 ? QStyle::PE_IndicatorArrowRight : QStyle::PE_IndicatorArrowLeft;
        else
            element = delta > 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown;
        painter.drawPrimitive(element, arrow);
    }
}

void UpDownControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    pressedDelta_ = buttonRect(1).contains(event->position().toPoint()) ? 1 : -1;
    update();
    stepBy(pressedDelta_);
    repeat_.start(kRepeatDelayMs);
}

void UpDownControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    repeat_.stop();
    pressedDelta_ = 0;
    update();
}

void UpDownControl::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        stepBy(1);
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
        stepBy(-1);
        break;
    default:
        // Not the spin box's own editing keys: Return and Escape must reach the dialog.
        QWidget::keyPressEvent(event);
        break;
    }
}

void UpDownControl::repeatStep() {
    if (pressedDelta_ == 0) {
        repeat_.stop();
        return;
    }
    repeat_.setInterval(kRepeatIntervalMs);
    stepBy(pressedDelta_);
}
