#pragma once

#include <QDialog>
#include <QString>

class DataExchange;
class QLineEdit;

// Asks for a galaxy file to add to the present one and for where it goes: an
// offset of its stars and a velocity given to all of them, so that two
// galaxies can be set on a collision course. OK closes the dialog only when
// all six numbers are finite; the file itself is read by the caller.
class CAddGalaxyDlg : public QDialog {
    Q_OBJECT
public:
    // Control ids of the dialog.
    enum : int {
        IdFileName = 1101,
        IdBrowse = 1102,
        IdOffsetX = 1103,
        IdOffsetY = 1104,
        IdOffsetZ = 1105,
        IdVelocityX = 1106,
        IdVelocityY = 1107,
        IdVelocityZ = 1108,
    };

    explicit CAddGalaxyDlg(QWidget* parent = nullptr);

    // The control with an id, null for an unknown id.
    QWidget* control(int id) const;

    // Reads the controls into the members (save) or shows the members in
    // them; false when an entry was rejected.
    bool UpdateData(bool saveAndValidate);

    void accept() override;

    QString fileName;
    double offset[3] = {0.0, 0.0, 0.0};
    double velocity[3] = {0.0, 0.0, 0.0};

private:
    void DoDataExchange(DataExchange& dx);
    void OnBrowse();
    QLineEdit* edit(int id) const;
};
