#pragma once

#include <QDialog>

class DataExchange;

// Asks how far GADGET-4 is to run the galaxy of File > Export for GADGET-4:
// the end time, in the scale's time unit, and the number of snapshots after
// the one at the start. It opens with 1000 time steps beyond the galaxy's
// time and 10 snapshots; OK closes it only for a run GADGET-4 can make.
class CGadget4ExportDlg : public QDialog {
    Q_OBJECT
public:
    // Control ids of the dialog.
    enum : int {
        IdEndTime = 1201,
        IdSnapshots = 1202,
        IdNote = 1203,
    };

    explicit CGadget4ExportDlg(QWidget* parent = nullptr);

    // The control with an id, null for an unknown id.
    QWidget* control(int id) const;

    // Reads the controls into the members (save) or shows the members in
    // them; false when an entry was rejected.
    bool UpdateData(bool saveAndValidate);

    void accept() override;

    double endTime;
    int snapshots;

private:
    void DoDataExchange(DataExchange& dx);
};
