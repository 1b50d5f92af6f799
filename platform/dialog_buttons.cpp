#include "platform/dialog_buttons.h"

#include <QDialog>
#include <QPushButton>

QPushButton* addOkButton(QDialog* dialog, const QRect& geometry) {
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setDefault(true);
    ok->setGeometry(geometry);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    return ok;
}

QPushButton* addCancelButton(QDialog* dialog, const QRect& geometry) {
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    cancel->setGeometry(geometry);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return cancel;
}
