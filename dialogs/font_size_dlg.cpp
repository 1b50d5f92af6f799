#include "dialogs/font_size_dlg.h"

#include <QComboBox>
#include <QLineEdit>

#include "dialogs/dialog_controls.h"
#include "dialogs/note_view.h"
#include "model/galaxy.h"
#include "platform/data_exchange.h"
#include "platform/dialog_buttons.h"
#include "platform/dialog_units.h"

CFontSizeDlg::CFontSizeDlg(QWidget* parent) : QDialog(parent), fontSize(g_galaxy.listFontSize) {
    setWindowTitle(QStringLiteral("Dialog"));
    const DialogUnits du(font());
    setFixedSize(du.size(160, 70));
    makeStaticText(this, QStringLiteral("Font Size:"), du.rect(10, 12, 50, 12));
    auto* combo = makeComboBox(this, IdFontSize, ComboKind::DropDown, sortedItems({"12", "14", "16"}),
                               du.rect(65, 12, 80, 12));

    addOkButton(this, du.rect(20, 46, 50, 14));
    addCancelButton(this, du.rect(90, 46, 50, 14));

    DataExchange dx(false);
    dx.number(combo->lineEdit(), fontSize);
}

QWidget* CFontSizeDlg::control(int id) const { return findChild<QWidget*>(QString::number(id)); }

void CFontSizeDlg::accept() {
    QLineEdit* field = static_cast<QComboBox*>(control(IdFontSize))->lineEdit();
    DataExchange dx(true);
    dx.number(field, fontSize);
    if (dx.failed()) return;
    EntryChecks checks;
    checks.check(fontSize < kMinListFontSize || fontSize > kMaxListFontSize, "Font size must be between 5 and 100",
                 field);
    if (!checks.passed()) return;
    g_galaxy.listFontSize = fontSize;
    QDialog::accept();
}
