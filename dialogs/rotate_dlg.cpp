#include "dialogs/rotate_dlg.h"

#include <QLabel>
#include <cmath>

#include "model/galaxy.h"
#include "platform/dialog_buttons.h"
#include "platform/dialog_units.h"
#include "platform/up_down_control.h"
#include "view/galaxy_window.h"
#include "view/zyr_view.h"

namespace {

constexpr int kSpinAboutY = 1000;
constexpr int kSpinAboutX = 1001;

QLabel* staticText(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

}  // namespace

CRotateDlg::CRotateDlg(QWidget* parent)
    : QDialog(parent),
      savedOrientation(g_galaxy.orientation),
      spinY_(new UpDownControl(Qt::Horizontal, this)),
      spinX_(new UpDownControl(Qt::Vertical, this)) {
    setWindowTitle(QStringLiteral("Dialog"));
    const DialogUnits du(font());
    setFixedSize(du.size(155, 116));

    addOkButton(this, du.rect(98, 7, 50, 14));
    addCancelButton(this, du.rect(98, 24, 50, 14));

    spinY_->setObjectName(QStringLiteral("Spin1"));
    spinY_->setGeometry(du.rect(53, 84, 34, 7));
    connect(spinY_, &UpDownControl::positionChanging, this, [this](int delta) { OnDeltaPos(kSpinAboutY, delta); });
    spinX_->setObjectName(QStringLiteral("Spin2"));
    spinX_->setGeometry(du.rect(42, 53, 8, 31));
    connect(spinX_, &UpDownControl::positionChanging, this, [this](int delta) { OnDeltaPos(kSpinAboutX, delta); });

    staticText(QStringLiteral("Rotate about y axis"), this)->setGeometry(du.rect(34, 29, 38, 18));
    staticText(QStringLiteral("Rotate about z axis"), this)->setGeometry(du.rect(92, 80, 38, 20));
}

UpDownControl* CRotateDlg::control(int id) const {
    return id == kSpinAboutY ? spinY_ : id == kSpinAboutX ? spinX_ : nullptr;
}

void CRotateDlg::reject() {
    g_galaxy.orientation = savedOrientation;
    if (g_galaxyView) g_galaxyView->RedrawNow();
    QDialog::reject();
}

void CRotateDlg::OnDeltaPos(int controlId, int delta) {
    const double a = -0.1 * (delta > 0 ? 1.0 : -1.0);
    const Quaternion r = controlId == kSpinAboutY ? Quaternion(std::cos(a), 0.0, std::sin(a), 0.0)
                                                  : Quaternion(std::cos(a), std::sin(a), 0.0, 0.0);
    g_galaxy.orientation = r * g_galaxy.orientation;
    // The view found when the dialog's commands last looked; no new lookup.
    if (g_galaxyView) g_galaxyView->RedrawNow();
}
