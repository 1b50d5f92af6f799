#pragma once

#include <QAbstractSpinBox>
#include <QTimer>

// A pair of arrow buttons without a value: each click, arrow key or wheel step
// reports a change of +1 (up or right) or -1 (down or left) through
// positionChanging, and the receiver does what it likes with it. Holding a
// button down repeats it.
class UpDownControl : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit UpDownControl(Qt::Orientation orientation, QWidget* parent = nullptr);

    Qt::Orientation orientation() const { return orientation_; }
    void stepBy(int steps) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The area of the button that steps by +1 or -1.
    QRect buttonRect(int delta) const;

signals:
    void positionChanging(int delta);

protected:
    StepEnabled stepEnabled() const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void repeatStep();

    Qt::Orientation orientation_;
    int pressedDelta_ = 0;
    QTimer repeat_;
};
