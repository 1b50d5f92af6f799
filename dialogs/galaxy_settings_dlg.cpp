#include "dialogs/galaxy_settings_dlg.h"

#include <QComboBox>
#include <QLabel>

#include "dialogs/dialog_controls.h"
#include "model/galaxy.h"
#include "platform/data_exchange.h"
#include "platform/dialog_buttons.h"
#include "platform/dialog_units.h"

namespace {

const QStringList kMasses = {"0.001", "0.01", "0.1", "1", "10", "30", "50", "100", "200", "300", "400", "500"};

}  // namespace

CGalaxySettingsDlg::CGalaxySettingsDlg(QWidget* parent)
    : QDialog(parent),
      shapeIndex(g_galaxy.shape),
      starsText(formatInt(g_galaxy.requestedStars)),
      starMassText(formatExact(g_galaxy.starMass)),
      rotationText(formatExact(g_galaxy.rotationFactor)),
      centralMassText(formatExact(g_galaxy.centralMass)),
      darkMatterIndex(g_galaxy.darkMatterSetting),
      darkRadiusText(formatExact(g_galaxy.darkRadiusSetting)),
      darkFractionText(formatExact(g_galaxy.darkFractionSetting)) {
    setWindowTitle(QString());
    const DialogUnits du(font());
    setFixedSize(du.size(220, 208));

    makeHeadingPicture(this, IdHeading, QStringLiteral("Galaxy Setup"), QSize(110, 24), false)->move(du.x(7), du.y(7));

    const ComboRow rows[] = {
        {"Distribution:", IdDistribution, ComboKind::DropDownList,
         {"Sphere", "Disc", "Cube", "2D Grid", "3D Grid", "Rings", "Plummer", "Hernquist", "NFW", "Disc Galaxy"}},
        {"Stars:", IdStars, ComboKind::DropDown, {"8", "16", "32", "64", "128", "256", "512", "1024", "2048"}},
        {"Star Mass:", IdStarMass, ComboKind::DropDown, kMasses},
        {"Rotation Factor:", IdRotation, ComboKind::DropDown,
         {"0.0", "0.25", "0.5", "0.75", "1.0", "1.25", "1.5", "1.75", "2.0"}},
        {"Central Mass:", IdCentralMass, ComboKind::DropDown, kMasses},
        {"Dark Matter:", IdDarkMatter, ComboKind::DropDownList, {"None", "Sphere", "NFW", "Hernquist"}},
        {"Dark Matter Radius:", IdDarkRadius, ComboKind::DropDown, sortedItems({"0.1", "1.0", "10.0", "100.0"})},
        {"fraction of total mass:", IdDarkFraction, ComboKind::DropDown,
         sortedItems({"0.01", "0.1", "0.5", "0.9", "0.99"})},
    };
    int top = 38;
    QList<QWidget*> numberFields;
    for (const ComboRow& row : rows) {
        makeStaticText(this, QString::fromLatin1(row.label), du.rect(7, top, 85, 12));
        QComboBox* combo = makeComboBox(this, row.id, row.kind, row.entries, du.rect(95, top, 65, 12));
        if (row.kind == ComboKind::DropDown) numberFields << combo;
        top += 17;
    }
    fitNumberFields(this, numberFields, QString::fromLatin1(kWidestSetting), du.x(7));
    makeStaticText(this,
                   QStringLiteral("Note: These changes will not take effect until the next time \"New Galaxy\" is "
                                  "selected."),
                   du.rect(7, top + 2, 206, 24));

    addOkButton(this, du.rect(163, 7, 50, 14));
    addCancelButton(this, du.rect(163, 24, 50, 14));

    UpdateData(false);
}

QWidget* CGalaxySettingsDlg::control(int id) const { return findChild<QWidget*>(QString::number(id)); }

bool CGalaxySettingsDlg::UpdateData(bool saveAndValidate) {
    DataExchange dx(saveAndValidate);
    DoDataExchange(dx);
    return !dx.failed();
}

void CGalaxySettingsDlg::DoDataExchange(DataExchange& dx) {
    auto combo = [this](int id) { return static_cast<QComboBox*>(control(id)); };
    dx.listIndex(combo(IdDistribution), shapeIndex);
    dx.text(combo(IdStars), starsText);
    dx.text(combo(IdStarMass), starMassText);
    dx.text(combo(IdRotation), rotationText);
    dx.text(combo(IdCentralMass), centralMassText);
    dx.listIndex(combo(IdDarkMatter), darkMatterIndex);
    dx.text(combo(IdDarkRadius), darkRadiusText);
    dx.text(combo(IdDarkFraction), darkFractionText);
}

void CGalaxySettingsDlg::accept() {
    if (!UpdateData(true)) return;
    CGalaxy& g = g_galaxy;
    auto field = [this](int id) { return static_cast<QComboBox*>(control(id))->lineEdit(); };

    int stars = g.requestedStars;
    double rotation = g.rotationFactor;
    double starMass = g.starMass;
    double centralMass = g.centralMass;
    double darkRadius = g.darkRadiusSetting;
    double darkFraction = g.darkFractionSetting;

    // Only the first failure is reported. As values, "nan" and "inf" would
    // pass every comparison below, so they are refused first.
    EntryChecks checks;
    checks.number(field(IdStars), starsText, stars, "Number of stars must be between 1 and 2147483647");
    checks.check(stars < 1, "Number of stars must be greater than 0", field(IdStars));
    checks.number(field(IdRotation), rotationText, rotation, "Rotation factor must be a finite number");
    checks.number(field(IdStarMass), starMassText, starMass, "Star mass must be a finite number");
    checks.check(starMass <= 0.0, "Star mass must be greater than 0", field(IdStarMass));
    checks.number(field(IdCentralMass), centralMassText, centralMass, "Central mass must be a finite number");
    checks.check(centralMass < 0.0, "Central mass cannot be less than 0", field(IdCentralMass));
    checks.number(field(IdDarkRadius), darkRadiusText, darkRadius, "Dark matter radius must be a finite number");
    checks.check(darkRadius <= 0.0, "Dark matter radius must be greater than 0", field(IdDarkRadius));
    checks.number(field(IdDarkFraction), darkFractionText, darkFraction,
                  "Dark matter fraction must be a finite number");
    checks.check(darkFraction < 0.0 || darkFraction >= 1.0,
                 "Dark matter fraction must be\nnon negative and less than 1", field(IdDarkFraction));
    if (!checks.passed()) return;

    g.requestedStars = stars;
    g.rotationFactor = rotation;
    g.starMass = starMass;
    g.centralMass = centralMass;
    g.darkRadiusSetting = darkRadius;
    g.darkFractionSetting = darkFraction;
    g.shape = shapeIndex;
    g.darkMatterSetting = darkMatterIndex;
    QDialog::accept();
}
