#include "dialogs/gadget4_export_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <cmath>
#include <string>
#include <utility>

#include "dialogs/dialog_controls.h"
#include "io/gadget4_export.h"
#include "model/galaxy.h"
#include "platform/data_exchange.h"
#include "platform/dialog_buttons.h"
#include "platform/dialog_units.h"

CGadget4ExportDlg::CGadget4ExportDlg(QWidget* parent)
    : QDialog(parent),
      endTime(defaultGadget4Run(g_galaxy).until),
      snapshots(defaultGadget4Run(g_galaxy).snapshots) {
    const CGalaxy& g = g_galaxy;
    const QString unit = QString::fromStdString(g.timeUnitName[g.scale]);
    setWindowTitle(QStringLiteral("Export for GADGET-4"));
    const DialogUnits du(font());
    setFixedSize(du.size(206, 110));

    const QString note = QStringLiteral("GADGET-4 runs the galaxy from its time, %1 %2, with steps of at most %3 %2.")
                             .arg(formatSignificant(g.time), unit, formatSignificant(std::fabs(g.timeStep)));
    makeStaticText(this, note, du.rect(10, 8, 186, 24))->setObjectName(QString::number(IdNote));

    const std::pair<QString, int> fields[] = {
        {QStringLiteral("End time (%1):").arg(unit), IdEndTime},
        {QStringLiteral("Snapshots after the start:"), IdSnapshots},
    };
    int top = 38;
    for (const auto& [label, id] : fields) {
        makeStaticText(this, label, du.rect(10, top, 100, 12));
        auto* line = new QLineEdit(this);
        line->setObjectName(QString::number(id));
        line->setGeometry(du.rect(116, top, 80, 12));
        top += 19;
    }

    addOkButton(this, du.rect(40, 86, 50, 14));
    addCancelButton(this, du.rect(116, 86, 50, 14));

    UpdateData(false);
}

QWidget* CGadget4ExportDlg::control(int id) const { return findChild<QWidget*>(QString::number(id)); }

bool CGadget4ExportDlg::UpdateData(bool saveAndValidate) {
    DataExchange dx(saveAndValidate);
    DoDataExchange(dx);
    return !dx.failed();
}

void CGadget4ExportDlg::DoDataExchange(DataExchange& dx) {
    dx.number(static_cast<QLineEdit*>(control(IdEndTime)), endTime);
    dx.number(static_cast<QLineEdit*>(control(IdSnapshots)), snapshots);
}

void CGadget4ExportDlg::accept() {
    // A rejected entry has been reported; the dialog stays for a correction.
    if (!UpdateData(true)) return;
    const std::string why = gadget4RunRefusal(g_galaxy, Gadget4Run{endTime, snapshots});
    if (!why.empty()) {
        // The reason as a sentence: "The end time ... must be later ...".
        QString text = QString::fromStdString(why);
        text[0] = text[0].toUpper();
        processingError(text + QLatin1Char('.'));
        return;
    }
    QDialog::accept();
}
