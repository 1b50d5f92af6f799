#include "dialogs/star_info_help_dlg.h"


#include "dialogs/dialog_controls.h"
#include "platform/dialog_buttons.h"
#include "platform/dialog_units.h"

CStarInfoHelpDlg::CStarInfoHelpDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About StarInfo"));
    const DialogUnits du(font());
    setFixedSize(du.size(230, 70));
    makeStaticText(this, QStringLiteral("a) To highlight a star, click on the respective row"),
                   du.rect(10, 10, 210, 10));
    makeStaticText(this, QStringLiteral("b) To modify star information, double click on that row"),
                   du.rect(10, 24, 210, 10));
    addOkButton(this, du.rect(90, 46, 50, 14));
}
