// New Model as the user meets it: OK builds the model at once from the
// fields, a field or a model that is refused changes nothing, and neither
// does Cancel.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <optional>
#include <tuple>

#include "app/zyr_app.h"
#include "dialogs/model_preview.h"
#include "dialogs/new_model_dlg.h"
#include "model/galaxy.h"
#include "platform/mdi_frame.h"
#include "platform/prompter.h"
#include "tests/support/program_under_test.h"
#include "view/command_ids.h"

namespace {

using Dlg = CNewModelDlg;

QAbstractButton* button(QDialog* dialog, const QString& text) {
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

void type(const Dlg* dialog, int id, const QString& text) {
    static_cast<QLineEdit*>(dialog->control(id))->setText(text);
}

void chooseModel(const Dlg* dialog, int shape) {
    static_cast<QComboBox*>(dialog->control(Dlg::IdModel))->setCurrentIndex(shape - GalaxyShape::Plummer);
}

auto parametersOf(const ModelParameters& p) {
    return std::tuple(p.totalMass, p.scaleRadius, p.concentration, p.discMass, p.discScaleLength, p.discHeight,
                      p.toomreQ, p.constantQ, p.bulgeMass, p.bulgeRadius, p.bulgeStars, p.halo, p.haloMass,
                      p.haloRadius, p.haloStars, p.massCutoff);
}

// The parameter a field of the rows below edits.
double ModelParameters::*parameterOf(int field) {
    switch (field) {
    case Dlg::IdScaleRadius: return &ModelParameters::scaleRadius;
    case Dlg::IdConcentration: return &ModelParameters::concentration;
    case Dlg::IdToomreQ: return &ModelParameters::toomreQ;
    default: return &ModelParameters::discMass;
    }
}

// What OK writes, and the galaxy it builds.
struct Written {
    int shape, requestedStars, numStars;
    std::optional<unsigned> seed;
    decltype(parametersOf(ModelParameters())) parameters;
    double firstX;

    static Written now() {
        const CGalaxy& g = g_galaxy;
        return {g.shape, g.requestedStars, g.numStars, g.randomSeed, parametersOf(g.modelSetting), g.pos.x[0]};
    }
    bool operator==(const Written&) const = default;
};

}  // namespace

class NewModelTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init();
    void cleanup() { stopProgram(app_); }

    void okBuildsTheModel_data();
    void okBuildsTheModel();
    void refusedEntriesChangeNothing_data();
    void refusedEntriesChangeNothing();
    void cancelChangesNothing();

private:
    // Fires New Model and hands the dialog to drive; a dialog still open
    // afterwards is cancelled.
    void runDialog(const std::function<void(Dlg*)>& drive);

    std::unique_ptr<CZyrApp> app_;
    ScriptedPrompter* prompter_ = nullptr;
};

void NewModelTest::init() {
    CGalaxy& g = g_galaxy;
    g.shape = GalaxyShape::Sphere;
    g.centralMass = 0.0;
    g.darkMatterSetting = DarkMatterModel::None;
    g.modelSetting = ModelParameters();
    prompter_ = startProgram(app_, 16, 5u);
}

void NewModelTest::runDialog(const std::function<void(Dlg*)>& drive) {
    bool ran = false;
    QTimer::singleShot(0, this, [&] {
        auto* dialog = qobject_cast<Dlg*>(QApplication::activeModalWidget());
        if (!dialog) return;
        ran = true;
        drive(dialog);
        if (dialog->isVisible()) button(dialog, QStringLiteral("Cancel"))->click();
    });
    QVERIFY(app_->mainFrame()->executeCommand(CommandId::NewModel));
    QVERIFY(ran);
}

void NewModelTest::okBuildsTheModel_data() {
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("bulgeStars");
    QTest::addColumn<QString>("haloStars");
    QTest::addColumn<QString>("seed");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("bulgeCount");
    QTest::addColumn<int>("haloCount");
    QTest::newRow("Plummer") << int(GalaxyShape::Plummer) << int(Dlg::IdScaleRadius) << " 12.5 " << ""
                             << "" << "11" << 12.5 << kAutomaticStars << kAutomaticStars;
    QTest::newRow("NFW, seed from the time") << int(GalaxyShape::NFW) << int(Dlg::IdConcentration) << "7" << ""
                                             << "" << "" << 7.0 << kAutomaticStars << kAutomaticStars;
    QTest::newRow("disc galaxy, rigid bulge") << int(GalaxyShape::DiscGalaxy) << int(Dlg::IdToomreQ) << "1.2"
                                              << "0" << "auto" << "3" << 1.2 << 0 << kAutomaticStars;
    QTest::newRow("disc galaxy, rigid halo") << int(GalaxyShape::DiscGalaxy) << int(Dlg::IdDiscMass) << "4e10"
                                             << "" << "0" << "4294967295" << 4e10 << kAutomaticStars << 0;
}

void NewModelTest::okBuildsTheModel() {
    QFETCH(int, shape);
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, bulgeStars);
    QFETCH(QString, haloStars);
    QFETCH(QString, seed);
    QFETCH(double, value);
    QFETCH(int, bulgeCount);
    QFETCH(int, haloCount);
    runDialog([&](Dlg* dialog) {
        chooseModel(dialog, shape);
        type(dialog, field, text);
        type(dialog, Dlg::IdStars, "120");
        if (shape == GalaxyShape::DiscGalaxy) {
            type(dialog, Dlg::IdBulgeStars, bulgeStars);
            type(dialog, Dlg::IdHaloStars, haloStars);
        }
        type(dialog, Dlg::IdSeed, seed);
        // The preview follows the fields once typing pauses.
        QTRY_VERIFY(!dialog->preview()->curves().radius.empty());
        QVERIFY(dialog->preview()->problem().isEmpty());
        button(dialog, "OK")->click();
        QVERIFY(!dialog->isVisible());
    });
    QVERIFY(prompter_->messages.empty());
    const CGalaxy& g = g_galaxy;
    QCOMPARE(g.shape, shape);
    QCOMPARE(g.requestedStars, 120);
    QCOMPARE(g.randomSeed, seed.isEmpty() ? std::nullopt : std::optional<unsigned>(seed.toUInt()));
    QCOMPARE(g.modelSetting.*parameterOf(field), value);
    QCOMPARE(g.modelSetting.bulgeStars, bulgeCount);
    QCOMPARE(g.modelSetting.haloStars, haloCount);
    // Built at once, with the stars of every live part.
    QCOMPARE(g.numStars, modelStarCounts(g.shape, g.requestedStars, g.centralMass, g.modelSetting).total());
    QVERIFY(!g.modelNote.empty());
    QCOMPARE(app_->mainFrame()->statusBar()->currentMessage(), QString::fromStdString(g.modelNote));
}

void NewModelTest::refusedEntriesChangeNothing_data() {
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const int disc = GalaxyShape::DiscGalaxy, plummer = GalaxyShape::Plummer;
    QTest::newRow("Toomre Q of 0") << disc << int(Dlg::IdToomreQ) << "0" << "Toomre Q must be greater than 0";
    QTest::newRow("negative disc mass") << disc << int(Dlg::IdDiscMass) << "-5e10"
                                        << "Disc mass cannot be less than 0";
    QTest::newRow("letters") << plummer << int(Dlg::IdScaleRadius) << "ten" << "Scale radius must be a number";
    QTest::newRow("trailing text") << plummer << int(Dlg::IdTotalMass) << "1e11 suns"
                                   << "Total mass must be a number";
    QTest::newRow("infinite mass") << int(GalaxyShape::Hernquist) << int(Dlg::IdTotalMass) << "inf"
                                   << "Total mass must be a finite number";
    QTest::newRow("half a star") << plummer << int(Dlg::IdStars) << "2.5" << "Stars must be a whole number";
    QTest::newRow("halo stars in words") << disc << int(Dlg::IdHaloStars) << "many"
                                         << "Halo stars must be a whole number";
    QTest::newRow("negative seed") << plummer << int(Dlg::IdSeed) << "-1"
                                   << "Seed must be empty or a whole number from 0 to 4294967295";
}

void NewModelTest::refusedEntriesChangeNothing() {
    QFETCH(int, shape);
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    const Written before = Written::now();
    runDialog([&](Dlg* dialog) {
        chooseModel(dialog, shape);
        type(dialog, field, text);
        QTRY_COMPARE(dialog->preview()->problem(), message);
        button(dialog, "OK")->click();
        QVERIFY(dialog->isVisible());
        QCOMPARE(prompter_->messages.size(), std::size_t{1});
        QCOMPARE(prompter_->messages[0].text, message);
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Processing Error"));
        QVERIFY(Written::now() == before);
    });
    QVERIFY(Written::now() == before);
}

void NewModelTest::cancelChangesNothing() {
    const Written before = Written::now();
    runDialog([](Dlg* dialog) {
        chooseModel(dialog, GalaxyShape::DiscGalaxy);
        type(dialog, Dlg::IdStars, "64");
        type(dialog, Dlg::IdSeed, "9");
        type(dialog, Dlg::IdDiscMass, "1e10");
        button(dialog, "Cancel")->click();
    });
    QVERIFY(prompter_->messages.empty());
    QVERIFY(Written::now() == before);
}

QTEST_MAIN(NewModelTest)
#include "new_model_qtest.moc"
