#include "dialogs/add_galaxy_dlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <optional>
#include <utility>

#include "dialogs/dialog_controls.h"
#include "platform/application.h"
#include "platform/data_exchange.h"
#include "platform/dialog_buttons.h"
#include "platform/dialog_units.h"
#include "platform/prompter.h"

CAddGalaxyDlg::CAddGalaxyDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Add Galaxy"));
    const DialogUnits du(font());
    setFixedSize(du.size(206, 196));

    makeStaticText(this, QStringLiteral("Galaxy file:"), du.rect(10, 10, 60, 12));
    auto* name = new QLineEdit(this);
    name->setObjectName(QString::number(IdFileName));
    name->setGeometry(du.rect(10, 24, 130, 12));
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    browse->setObjectName(QString::number(IdBrowse));
    browse->setGeometry(du.rect(146, 23, 50, 14));
    connect(browse, &QPushButton::clicked, this, &CAddGalaxyDlg::OnBrowse);

    const std::pair<const char*, int> fields[] = {
        {"X offset:", IdOffsetX},     {"Y offset:", IdOffsetY},     {"Z offset:", IdOffsetZ},
        {"X velocity:", IdVelocityX}, {"Y velocity:", IdVelocityY}, {"Z velocity:", IdVelocityZ},
    };
    int top = 46;
    for (const auto& [label, id] : fields) {
        makeStaticText(this, QString::fromLatin1(label), du.rect(10, top, 60, 12));
        auto* line = new QLineEdit(this);
        line->setObjectName(QString::number(id));
        line->setGeometry(du.rect(80, top, 90, 12));
        top += 19;
    }

    addOkButton(this, du.rect(40, 172, 50, 14));
    addCancelButton(this, du.rect(116, 172, 50, 14));

    UpdateData(false);
}

QWidget* CAddGalaxyDlg::control(int id) const { return findChild<QWidget*>(QString::number(id)); }

QLineEdit* CAddGalaxyDlg::edit(int id) const { return static_cast<QLineEdit*>(control(id)); }

bool CAddGalaxyDlg::UpdateData(bool saveAndValidate) {
    DataExchange dx(saveAndValidate);
    DoDataExchange(dx);
    return !dx.failed();
}

void CAddGalaxyDlg::DoDataExchange(DataExchange& dx) {
    dx.text(edit(IdFileName), fileName);
    for (int axis = 0; axis < 3; ++axis) dx.number(edit(IdOffsetX + axis), offset[axis]);
    for (int axis = 0; axis < 3; ++axis) dx.number(edit(IdVelocityX + axis), velocity[axis]);
}

void CAddGalaxyDlg::accept() {
    // A rejected entry has been reported; the dialog stays for a correction.
    if (UpdateData(true)) QDialog::accept();
}

void CAddGalaxyDlg::OnBrowse() {
    FileRequest request;
    request.caption = QStringLiteral("Add Galaxy");
    request.filter = QStringLiteral("Galaxy Files (*.zyr);;HDF5 Snapshots (*.hdf5)");
    request.fileName = QStringLiteral("*.zyr");
    const std::optional<QString> path = Application::instance()->prompter().openFileName(request);
    if (path) edit(IdFileName)->setText(*path);
}
