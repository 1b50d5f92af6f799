#include "dialogs/about_dlg.h"

#include <QLabel>

#include "platform/dialog_buttons.h"
#include "platform/dialog_units.h"
#include "view/icons.h"

namespace {

QLabel* iconLabel(const QIcon& icon, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(icon.pixmap(32, 32));
    return label;
}

QLabel* textLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Zyr"));
    const DialogUnits du(font());
    setFixedSize(du.size(217, 157));

    iconLabel(applicationIcon(), this)->setGeometry(du.rect(11, 10, 21, 20));
    textLabel(QStringLiteral("Quasarix 2.05 (for Windows)"), this)->setGeometry(du.rect(40, 10, 115, 10));
    textLabel(QStringLiteral("Build a model galaxy of stars, set it turning and watch gravity shape it: "
                             "clusters collapse, discs wind up, rings break apart."),
              this)
        ->setGeometry(du.rect(40, 34, 130, 40));
    textLabel(QStringLiteral("Change the force method, the integrator or the time step and see what "
                             "happens to energy and momentum: a laboratory for students of astronomy "
                             "and numerical physics."),
              this)
        ->setGeometry(du.rect(40, 82, 130, 56));
    iconLabel(infoIcon(), this)->setGeometry(du.rect(185, 82, 21, 20));

    addOkButton(this, du.rect(160, 7, 50, 14));
}
