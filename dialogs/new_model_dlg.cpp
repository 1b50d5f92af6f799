#include "dialogs/new_model_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <iterator>

#include "dialogs/dialog_controls.h"
#include "dialogs/model_preview.h"
#include "model/galaxy.h"
#include "model/number_text.h"
#include "platform/data_exchange.h"
#include "platform/dialog_buttons.h"
#include "platform/dialog_units.h"

namespace {

enum class Kind {
    Choice,   // a list: the model or the halo
    Check,    // constantQ
    Number,   // a double of ModelParameters
    Stars,    // requestedStars
    Count,    // the stars of the bulge or the halo: a count, or empty for a share of the disc's
    Seed,     // the generator's seed, or empty for the time
};
enum class Unit { None, Mass, Length };
// Which models a field belongs to.
enum class Use { Always, Sphere, Concentration, Disc, Halo };

struct Row {
    int id;
    const char* name;
    Kind kind;
    Unit unit = Unit::None;
    Use use = Use::Always;
    double ModelParameters::*number = nullptr;
    int ModelParameters::*count = nullptr;
};

using D = CNewModelDlg;
using P = ModelParameters;

// The fields in the order they are read, down the left column and then the
// right one.
const Row kRows[] = {
    {D::IdModel, "Model", Kind::Choice},
    {D::IdTotalMass, "Total mass", Kind::Number, Unit::Mass, Use::Sphere, &P::totalMass},
    {D::IdScaleRadius, "Scale radius", Kind::Number, Unit::Length, Use::Sphere, &P::scaleRadius},
    {D::IdDiscMass, "Disc mass", Kind::Number, Unit::Mass, Use::Disc, &P::discMass},
    {D::IdDiscScaleLength, "Disc scale length", Kind::Number, Unit::Length, Use::Disc, &P::discScaleLength},
    {D::IdDiscHeight, "Disc height", Kind::Number, Unit::Length, Use::Disc, &P::discHeight},
    {D::IdToomreQ, "Toomre Q", Kind::Number, Unit::None, Use::Disc, &P::toomreQ},
    {D::IdConstantQ, "Q at every radius", Kind::Check, Unit::None, Use::Disc},
    {D::IdBulgeMass, "Bulge mass", Kind::Number, Unit::Mass, Use::Disc, &P::bulgeMass},
    {D::IdBulgeRadius, "Bulge radius", Kind::Number, Unit::Length, Use::Disc, &P::bulgeRadius},
    {D::IdHalo, "Halo", Kind::Choice, Unit::None, Use::Disc},
    {D::IdHaloMass, "Halo mass", Kind::Number, Unit::Mass, Use::Halo, &P::haloMass},
    {D::IdHaloRadius, "Halo radius", Kind::Number, Unit::Length, Use::Halo, &P::haloRadius},
    {D::IdConcentration, "Concentration", Kind::Number, Unit::None, Use::Concentration, &P::concentration},
    {D::IdMassCutoff, "Mass cutoff", Kind::Number, Unit::None, Use::Always, &P::massCutoff},
    {D::IdStars, "Stars", Kind::Stars},
    {D::IdBulgeStars, "Bulge stars", Kind::Count, Unit::None, Use::Disc, nullptr, &P::bulgeStars},
    {D::IdHaloStars, "Halo stars", Kind::Count, Unit::None, Use::Halo, nullptr, &P::haloStars},
    {D::IdSeed, "Seed", Kind::Seed},
};
constexpr int kLeftRows = 10;

const QStringList kModels = {"Plummer", "Hernquist", "NFW", "Disc Galaxy"};
const QStringList kHalos = {"None", "NFW", "Hernquist"};
const QString kAutomatic = QStringLiteral("auto");

// The layout in dialog units.
constexpr int kRowHeight = 15;
constexpr int kColumnLeft[] = {7, 184};
constexpr int kLabelWidth = 66;
constexpr int kFieldWidth = 52;
constexpr int kUnitWidth = 48;
constexpr int kNoteTop = 7 + kLeftRows * kRowHeight + 2;
constexpr int kPreviewTop = kNoteTop + 22;
constexpr int kPreviewHeight = 112;
constexpr int kWidth = 361;
constexpr int kButtonTop = kPreviewTop + kPreviewHeight + 6;

bool applies(Use use, int shape, int halo) {
    const bool disc = shape == GalaxyShape::DiscGalaxy;
    switch (use) {
    case Use::Sphere: return !disc;
    case Use::Concentration: return shape == GalaxyShape::NFW || (disc && halo == ModelHalo::NFW);
    case Use::Disc: return disc;
    case Use::Halo: return disc && halo != ModelHalo::None;
    case Use::Always: break;
    }
    return true;
}

QString unitName(Unit unit) {
    const CGalaxy& g = g_galaxy;
    switch (unit) {
    case Unit::Mass: return QString::fromStdString(g.massUnitName[g.scale]);
    case Unit::Length: return QString::fromStdString(g.lengthUnitName[g.scale]);
    case Unit::None: break;
    }
    return {};
}

QString shownCount(int count) { return count == kAutomaticStars ? QString() : formatInt(count); }

}  // namespace

CNewModelDlg::CNewModelDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("New Model"));
    const DialogUnits du(font());
    setFixedSize(du.size(kWidth, kButtonTop + 21));

    const CGalaxy& g = g_galaxy;
    const ModelParameters& p = g.modelSetting;
    for (int k = 0; k < static_cast<int>(std::size(kRows)); ++k) {
        const Row& row = kRows[k];
        const int left = kColumnLeft[k < kLeftRows ? 0 : 1];
        const int top = 7 + (k < kLeftRows ? k : k - kLeftRows) * kRowHeight;
        const QString name = QString::fromLatin1(row.name);
        const QRect field = du.rect(left + kLabelWidth, top, kFieldWidth, 12);
        if (row.kind == Kind::Check) {
            auto* check = new QCheckBox(name, this);
            check->setObjectName(QString::number(row.id));
            check->setGeometry(du.rect(left + kLabelWidth, top, kFieldWidth + kUnitWidth, 12));
            check->setChecked(p.constantQ);
            connect(check, &QCheckBox::toggled, this, [this] { previewDelay_.start(); });
            continue;
        }
        makeStaticText(this, name + QLatin1Char(':'), du.rect(left, top, kLabelWidth, 12));
        if (row.kind == Kind::Choice) {
            const bool model = row.id == IdModel;
            QComboBox* combo = makeComboBox(this, row.id, ComboKind::DropDownList, model ? kModels : kHalos,
                                            du.rect(left + kLabelWidth, top, kFieldWidth + kUnitWidth / 2, 12));
            combo->setCurrentIndex(model ? (isModelShape(g.shape) ? g.shape - GalaxyShape::Plummer : 0) : p.halo);
            connect(combo, &QComboBox::currentIndexChanged, this, [this] {
                enableFields();
                previewDelay_.start();
            });
            continue;
        }
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::number(row.id));
        edit->setGeometry(field);
        switch (row.kind) {
        // The shortest text that reads back as the same number: 1e+11, not twelve digits.
        case Kind::Number: edit->setText(QString::fromStdString(shortestText(p.*row.number))); break;
        case Kind::Stars: edit->setText(formatInt(g.requestedStars)); break;
        case Kind::Count:
            edit->setText(shownCount(p.*row.count));
            edit->setPlaceholderText(kAutomatic);
            break;
        case Kind::Seed:
            if (g.randomSeed) edit->setText(QString::number(*g.randomSeed));
            edit->setPlaceholderText(QStringLiteral("time"));
            break;
        case Kind::Choice:
        case Kind::Check: break;
        }
        connect(edit, &QLineEdit::textChanged, this, [this] { previewDelay_.start(); });
        if (row.unit != Unit::None) {
            makeStaticText(this, unitName(row.unit),
                           du.rect(left + kLabelWidth + kFieldWidth + 3, top, kUnitWidth, 12));
        }
    }
    makeStaticText(this,
                   QStringLiteral("Bulge and halo stars: empty or \"auto\" for a share of the disc's, 0 for a rigid "
                                  "part. Seed: empty for the time."),
                   du.rect(7, kNoteTop, kWidth - 14, 20));

    preview_ = new CModelPreview(this);
    preview_->setObjectName(QString::number(IdPreview));
    preview_->setGeometry(du.rect(7, kPreviewTop, kWidth - 14, kPreviewHeight));

    addOkButton(this, du.rect(kWidth - 121, kButtonTop, 50, 14));
    addCancelButton(this, du.rect(kWidth - 57, kButtonTop, 50, 14));

    previewDelay_.setSingleShot(true);
    previewDelay_.setInterval(150);
    connect(&previewDelay_, &QTimer::timeout, this, &CNewModelDlg::updatePreview);
    enableFields();
    updatePreview();
}

QWidget* CNewModelDlg::control(int id) const { return findChild<QWidget*>(QString::number(id)); }

int CNewModelDlg::chosenShape() const {
    return GalaxyShape::Plummer + static_cast<QComboBox*>(control(IdModel))->currentIndex();
}

int CNewModelDlg::chosenHalo() const { return static_cast<QComboBox*>(control(IdHalo))->currentIndex(); }

void CNewModelDlg::enableFields() {
    const int shape = chosenShape(), halo = chosenHalo();
    for (const Row& row : kRows) control(row.id)->setEnabled(applies(row.use, shape, halo));
}

CNewModelDlg::Reading CNewModelDlg::read() const {
    const CGalaxy& g = g_galaxy;
    Reading reading{modelInputsOf(g), g.randomSeed, {}};
    ModelInputs& in = reading.inputs;
    in.shape = chosenShape();
    in.p.halo = chosenHalo();
    in.p.constantQ = static_cast<QCheckBox*>(control(IdConstantQ))->isChecked();
    auto fail = [&reading](const QString& message) {
        if (reading.failure.isEmpty()) reading.failure = message;
    };
    for (const Row& row : kRows) {
        if (!applies(row.use, in.shape, in.p.halo)) continue;
        const QString name = QString::fromLatin1(row.name);
        const QString text = row.kind == Kind::Choice || row.kind == Kind::Check
                                 ? QString()
                                 : static_cast<QLineEdit*>(control(row.id))->text().trimmed();
        switch (row.kind) {
        case Kind::Number:
            switch (scanWholeDouble(text, in.p.*row.number)) {
            case ScanResult::Number: break;
            case ScanResult::NotANumber: fail(name + QStringLiteral(" must be a number")); break;
            case ScanResult::OutOfRange: fail(name + QStringLiteral(" must be a finite number")); break;
            }
            break;
        case Kind::Count:
            if (text.isEmpty() || text.compare(kAutomatic, Qt::CaseInsensitive) == 0) {
                in.p.*row.count = kAutomaticStars;
                break;
            }
            [[fallthrough]];
        case Kind::Stars: {
            int& count = row.kind == Kind::Stars ? in.stars : in.p.*row.count;
            if (scanWholeInt(text, count) != ScanResult::Number)
                fail(name + QStringLiteral(" must be a whole number"));
            break;
        }
        case Kind::Seed: {
            if (text.isEmpty()) {
                reading.seed.reset();
                break;
            }
            bool ok = false;
            const unsigned seed = text.toUInt(&ok);
            if (ok)
                reading.seed = seed;
            else
                fail(QStringLiteral("Seed must be empty or a whole number from 0 to 4294967295"));
            break;
        }
        case Kind::Choice:
        case Kind::Check: break;
        }
    }
    if (reading.failure.isEmpty()) reading.failure = QString::fromStdString(modelProblem(in));
    return reading;
}

void CNewModelDlg::updatePreview() {
    previewDelay_.stop();
    const Reading reading = read();
    if (!reading.failure.isEmpty()) {
        preview_->showProblem(reading.failure);
        return;
    }
    const CGalaxy& g = g_galaxy;
    preview_->showCurves(modelCurves(reading.inputs, 200), QString::fromStdString(g.lengthUnitName[g.scale]),
                         QString::fromStdString(g.timeUnitName[g.scale]));
}

void CNewModelDlg::accept() {
    const Reading reading = read();
    if (!reading.failure.isEmpty()) {
        processingError(reading.failure);
        return;
    }
    CGalaxy& g = g_galaxy;
    g.shape = reading.inputs.shape;
    g.requestedStars = reading.inputs.stars;
    g.modelSetting = reading.inputs.p;
    g.randomSeed = reading.seed;
    QDialog::accept();
}
