#pragma once

#include <QDialog>
#include <QString>

class DataExchange;

// Chooses the time step, the force method, the integrator and the shield
// radius modifier. Unlike the galaxy settings these take effect at the next
// step. OK writes nothing unless both numbers pass their checks.
class CModelSettingsDlg : public QDialog {
    Q_OBJECT
public:
    // Control ids of the dialog template.
    enum : int {
        IdHeading = 142,
        IdTimeStep = 1010,
        IdForceMethod = 1014,
        IdIntegration = 1015,
        IdShield = 1016,
    };

    explicit CModelSettingsDlg(QWidget* parent = nullptr);

    // The control with a template id, null for an unknown id.
    QWidget* control(int id) const;

    // Reads the controls into the members (save) or shows the members in
    // them; false when an entry was rejected.
    bool UpdateData(bool saveAndValidate);

    void accept() override;

    int forceIndex;
    int integrationIndex;
    QString timeStepText;
    QString shieldText;

private:
    void DoDataExchange(DataExchange& dx);
};
