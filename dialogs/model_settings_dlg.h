#pragma once

#include <QDialog>
#include <QString>

class DataExchange;

// Chooses the time step, the force method, the integrator and the shield
// radius modifier, and below them the softening with its length and the
// tree's opening angle and force error target. Unlike the galaxy settings
// these take effect at the next step. OK writes nothing unless every number
// passes its checks.
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
        IdSoftening = 1017,
        IdEpsilon = 1018,
        IdOpeningAngle = 1019,
        IdForceError = 1020,
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
    int softeningIndex;
    QString epsilonText;
    QString openingAngleText;
    QString forceErrorText;

private:
    void DoDataExchange(DataExchange& dx);
};
