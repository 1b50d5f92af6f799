#pragma once

#include <QDialog>

#include "model/quaternion.h"

class UpDownControl;

// Turns the galaxy view in steps of 0.2 rad with two up-down controls; Cancel
// puts the orientation back as it was when the dialog was made.
class CRotateDlg : public QDialog {
    Q_OBJECT
public:
    explicit CRotateDlg(QWidget* parent = nullptr);

    // Control 1000 (horizontal) turns about the view's y axis, 1001 (vertical)
    // about its x axis.
    UpDownControl* control(int id) const;

    Quaternion savedOrientation;

    void reject() override;

private:
    void OnDeltaPos(int controlId, int delta);

    UpDownControl* spinY_;
    UpDownControl* spinX_;
};
