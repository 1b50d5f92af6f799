#include "dialogs/star_settings_dlg.h"

#include <QComboBox>
#include <QLineEdit>

#include "dialogs/dialog_controls.h"
#include "dialogs/note_view.h"
#include "model/galaxy.h"
#include "platform/data_exchange.h"
#include "platform/dialog_buttons.h"
#include "platform/dialog_units.h"

CStarSettingsDlg::CStarSettingsDlg(QWidget* parent) : QDialog(parent), star_(selectedRow - 1) {
    const CGalaxy& g = g_galaxy;
    massValue = g.mass[star_];
    colorIndex = g.color[star_];
    posX = g.pos.x[star_];
    posY = g.pos.y[star_];
    posZ = g.pos.z[star_];
    velX = g.vel.x[star_];
    velY = g.vel.y[star_];
    velZ = g.vel.z[star_];

    setWindowTitle(QStringLiteral("Star Settings"));
    const DialogUnits du(font());
    setFixedSize(du.size(186, 196));

    makeStaticText(this, QStringLiteral("Star Mass:"), du.rect(10, 10, 60, 12));
    makeComboBox(this, IdMass, ComboKind::DropDown,
                 sortedItems({"0.001", "0.01", "0.1", "1", "10", "30", "50", "100", "200", "400", "500"}),
                 du.rect(80, 10, 90, 12));
    makeStaticText(this, QStringLiteral("Star Color:"), du.rect(10, 30, 60, 12));
    makeComboBox(this, IdColor, ComboKind::DropDownList,
                 {"White", "Red ", "Orange", "Yellow", "Green", "Blue", "Purple", "Cyan"}, du.rect(80, 30, 90, 12));

    const std::pair<const char*, int> fields[] = {
        {"X position:", IdPosX}, {"Y position:", IdPosY}, {"Z position:", IdPosZ},
        {"X velocity:", IdVelX}, {"Y velocity:", IdVelY}, {"Z velocity:", IdVelZ},
    };
    int top = 52;
    for (const auto& [label, id] : fields) {
        makeStaticText(this, QString::fromLatin1(label), du.rect(10, top, 60, 12));
        auto* line = new QLineEdit(this);
        line->setObjectName(QString::number(id));
        line->setGeometry(du.rect(80, top, 90, 12));
        top += 18;
    }
    // A value in all seventeen digits, with its sign and a two-digit exponent.
    fitNumberFields(this,
                    {control(IdMass), control(IdPosX), control(IdPosY), control(IdPosZ), control(IdVelX),
                     control(IdVelY), control(IdVelZ)},
                    QStringLiteral("-1.2345678901234567e-05"), du.x(10));

    addOkButton(this, du.rect(30, 172, 50, 14));
    addCancelButton(this, du.rect(106, 172, 50, 14));

    // Shown with every digit the value needs, where the data exchange's six
    // decimals would round a star's small velocities and masses to zero.
    static_cast<QComboBox*>(control(IdMass))->lineEdit()->setText(formatSignificant(massValue));
    const std::pair<int, double> shown[] = {{IdPosX, posX}, {IdPosY, posY}, {IdPosZ, posZ},
                                            {IdVelX, velX}, {IdVelY, velY}, {IdVelZ, velZ}};
    for (const auto& [id, value] : shown) edit(id)->setText(formatSignificant(value));
    DataExchange(false).listIndex(static_cast<QComboBox*>(control(IdColor)), colorIndex);
}

QWidget* CStarSettingsDlg::control(int id) const { return findChild<QWidget*>(QString::number(id)); }

QLineEdit* CStarSettingsDlg::edit(int id) const { return static_cast<QLineEdit*>(control(id)); }

bool CStarSettingsDlg::readControls() {
    DataExchange dx(true);
    dx.number(static_cast<QComboBox*>(control(IdMass))->lineEdit(), massValue);
    dx.listIndex(static_cast<QComboBox*>(control(IdColor)), colorIndex);
    dx.number(edit(IdPosX), posX);
    dx.number(edit(IdPosY), posY);
    dx.number(edit(IdPosZ), posZ);
    dx.number(edit(IdVelX), velX);
    dx.number(edit(IdVelY), velY);
    dx.number(edit(IdVelZ), velZ);
    return !dx.failed();
}

void CStarSettingsDlg::accept() {
    if (!readControls()) return;
    // Checked before anything is written, so that a refused entry, and Cancel
    // after it, leave the star exactly as it was.
    EntryChecks checks;
    checks.check(massValue <= 0.0, "Star mass must be greater than 0",
                 static_cast<QComboBox*>(control(IdMass))->lineEdit());
    if (!checks.passed()) return;
    CGalaxy& g = g_galaxy;
    const int k = star_;
    g.pos.x[k] = posX;
    g.vel.x[k] = velX;
    g.pos.y[k] = posY;
    g.vel.y[k] = velY;
    g.pos.z[k] = posZ;
    g.vel.z[k] = velZ;
    g.color[k] = colorIndex;
    g.mass[k] = massValue;
    g.changes += 1;
    QDialog::accept();
}
