#include "dialogs/model_settings_dlg.h"

#include <QComboBox>
#include <QLabel>
#include <algorithm>
#include <iterator>

#include "dialogs/dialog_controls.h"
#include "model/galaxy.h"
#include "platform/data_exchange.h"
#include "platform/dialog_buttons.h"
#include "platform/dialog_units.h"

namespace {

// The integrators of the list, in its order; Dynamic Euler is not offered.
constexpr int kListedIntegrators[] = {IntegrationMethod::Euler, IntegrationMethod::ImprovedEuler,
                                      IntegrationMethod::RungeKutta4, IntegrationMethod::AdamsMoulton,
                                      IntegrationMethod::Leapfrog};

int listIndexOf(int integrator) {
    const auto* found = std::find(std::begin(kListedIntegrators), std::end(kListedIntegrators), integrator);
    return found == std::end(kListedIntegrators) ? -1 : static_cast<int>(found - std::begin(kListedIntegrators));
}

}  // namespace

CModelSettingsDlg::CModelSettingsDlg(QWidget* parent)
    : QDialog(parent),
      forceIndex(g_galaxy.forceMethod),
      integrationIndex(listIndexOf(g_galaxy.integrationMethod)),
      timeStepText(formatExact(g_galaxy.timeStepSetting)),
      shieldText(formatExact(g_galaxy.shieldSetting)),
      softeningIndex(g_galaxy.softening),
      epsilonText(formatExact(g_galaxy.epsilonSetting)),
      openingAngleText(formatExact(g_galaxy.openingAngleSetting)),
      forceErrorText(formatExact(g_galaxy.forceErrorSetting)) {
    setWindowTitle(QStringLiteral("b"));
    const DialogUnits du(font());
    setFixedSize(du.size(187, 244));

    makeHeadingPicture(this, IdHeading, QStringLiteral("Model Settings"), QSize(122, 23), true)
        ->move(du.x(32), du.y(7));

    // Particle-Mesh and Dynamic Euler are not offered here.
    const ComboRow rows[] = {
        {"Time Step", IdTimeStep, ComboKind::DropDown, sortedItems({"0.25", "0.5", "1", "2", "4", "8"})},
        {"Force calculation method", IdForceMethod, ComboKind::DropDownList, {"Direct", "Barnes-Hut"}},
        {"Integration Method", IdIntegration, ComboKind::DropDownList,
         {"Euler", "Improved Euler", "Runge Kutta 4", "Adams-Moulton", "Leapfrog"}},
        {"Sheild Radius Modifier", IdShield, ComboKind::DropDown, {"0.1", "0.5", "1", "5", "10"}},
        // Zyr's own, below the original's four and closer together.
        {"Softening", IdSoftening, ComboKind::DropDownList, {"Shield", "Plummer", "Spline"}},
        {"Softening Length", IdEpsilon, ComboKind::DropDown, {"0.01", "0.02", "0.05", "0.1", "0.2"}},
        {"Tree Opening Angle", IdOpeningAngle, ComboKind::DropDown, {"0.3", "0.4", "0.5", "0.7", "1"}},
        {"Tree Force Error", IdForceError, ComboKind::DropDown, {"0", "0.003", "0.001", "0.0003"}},
    };
    int top = 40;
    QList<QWidget*> numberFields;
    for (const ComboRow& row : rows) {
        makeStaticText(this, QString::fromLatin1(row.label), du.rect(7, top, 90, 20));
        QComboBox* combo = makeComboBox(this, row.id, row.kind, row.entries, du.rect(100, top + 4, 80, 12));
        if (row.kind == ComboKind::DropDown) numberFields << combo;
        top += row.id < IdSoftening ? 23 : 21;
    }
    fitNumberFields(this, numberFields, QString::fromLatin1(kWidestSetting), du.x(7));

    addOkButton(this, du.rect(35, 222, 50, 14));
    addCancelButton(this, du.rect(102, 222, 50, 14));

    UpdateData(false);
}

QWidget* CModelSettingsDlg::control(int id) const { return findChild<QWidget*>(QString::number(id)); }

bool CModelSettingsDlg::UpdateData(bool saveAndValidate) {
    DataExchange dx(saveAndValidate);
    DoDataExchange(dx);
    return !dx.failed();
}

void CModelSettingsDlg::DoDataExchange(DataExchange& dx) {
    auto combo = [this](int id) { return static_cast<QComboBox*>(control(id)); };
    dx.listIndex(combo(IdForceMethod), forceIndex);
    dx.listIndex(combo(IdIntegration), integrationIndex);
    dx.text(combo(IdTimeStep), timeStepText);
    dx.text(combo(IdShield), shieldText);
    dx.listIndex(combo(IdSoftening), softeningIndex);
    dx.text(combo(IdEpsilon), epsilonText);
    dx.text(combo(IdOpeningAngle), openingAngleText);
    dx.text(combo(IdForceError), forceErrorText);
}

void CModelSettingsDlg::accept() {
    if (!UpdateData(true)) return;
    CGalaxy& g = g_galaxy;
    auto field = [this](int id) { return static_cast<QComboBox*>(control(id))->lineEdit(); };

    double timeStep = g.timeStepSetting;
    double shield = g.shieldSetting;
    double epsilon = g.epsilonSetting;
    double openingAngle = g.openingAngleSetting;
    double forceError = g.forceErrorSetting;

    // As values, "nan" and "inf" would pass the comparisons below.
    EntryChecks checks;
    checks.number(field(IdTimeStep), timeStepText, timeStep, "Timestep must be a finite number");
    checks.check(timeStep == 0.0, "Timestep cannot be 0", field(IdTimeStep));
    checks.number(field(IdShield), shieldText, shield, "Shield radius must be a finite number");
    checks.check(shield < 0.0, "Shield radius cannot be negative", field(IdShield));
    checks.number(field(IdEpsilon), epsilonText, epsilon, "Softening length must be a finite number");
    checks.check(!(epsilon > 0.0), "Softening length must be greater than 0", field(IdEpsilon));
    checks.number(field(IdOpeningAngle), openingAngleText, openingAngle, "Opening angle must be a finite number");
    checks.check(!(openingAngle > 0.0), "Opening angle must be greater than 0", field(IdOpeningAngle));
    checks.number(field(IdForceError), forceErrorText, forceError, "Force error must be a finite number");
    checks.check(forceError < 0.0, "Force error cannot be negative", field(IdForceError));
    if (!checks.passed()) return;

    g.timeStepSetting = timeStep;
    g.timeStep = timeStep;
    g.forceSetting = forceIndex;
    g.forceMethod = forceIndex;
    // An integrator the list does not show stays as it is.
    if (integrationIndex >= 0) g.integrationSetting = g.integrationMethod = kListedIntegrators[integrationIndex];
    g.shieldSetting = shield;
    g.shieldModifier = shield;
    // A softening the list does not show stays as it is.
    if (softeningIndex >= 0) g.softeningSetting = g.softening = softeningIndex;
    g.epsilonSetting = g.epsilon = epsilon;
    g.openingAngleSetting = g.openingAngle = openingAngle;
    g.forceErrorSetting = g.forceError = forceError;
    // Adams-Moulton starts its history anew, even when nothing changed.
    g.historyCount = 0;
    QDialog::accept();
}
