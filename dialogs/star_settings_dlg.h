#pragma once

#include <QDialog>

class QLineEdit;

// Edits the star of the star list's selected row: mass, colour, position and
// velocity go straight into the galaxy; nothing else is recomputed, so a
// running simulation carries on from the edited star.
class CStarSettingsDlg : public QDialog {
    Q_OBJECT
public:
    // Control ids of the dialog template.
    enum : int {
        IdMass = 1003,
        IdPosX = 1023,
        IdPosY = 1024,
        IdPosZ = 1025,
        IdVelX = 1026,
        IdVelY = 1027,
        IdVelZ = 1028,
        IdColor = 1030,
    };

    // Takes the star of selectedRow, which must name one.
    explicit CStarSettingsDlg(QWidget* parent = nullptr);

    // The control with a template id, null for an unknown id.
    QWidget* control(int id) const;

    void accept() override;

    double massValue;
    int colorIndex;
    double posX, posY, posZ;
    double velX, velY, velZ;

private:
    // Reads every control into its member; false, with the failure shown,
    // at the first text that is not a number.
    bool readControls();
    QLineEdit* edit(int id) const;

    int star_;
};
