// The Galaxy Settings and Model Settings dialogs driven through their menu
// commands: their controls as the templates give them, the checks of OK in
// their order, and that nothing changes until every check passes; number
// fields, theirs and the star editor's, that show their texts whole; and the
// number reading and writing beneath them, whatever the user's locale.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <climits>
#include <clocale>
#include <cmath>
#include <functional>
#include <memory>

#include "app/zyr_app.h"
#include "dialogs/galaxy_settings_dlg.h"
#include "dialogs/model_settings_dlg.h"
#include "dialogs/note_view.h"
#include "dialogs/star_settings_dlg.h"
#include "model/galaxy.h"
#include "platform/data_exchange.h"
#include "platform/dialog_units.h"
#include "platform/framework_ids.h"
#include "platform/mdi_frame.h"
#include "platform/prompter.h"
#include "tests/support/program_under_test.h"
#include "view/command_ids.h"

namespace {

namespace C = CommandId;

QStringList entries(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

QPushButton* button(const QWidget* dialog, const QString& text) {
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

QStringList labels(const QWidget* dialog) {
    QStringList texts;
    for (const QLabel* label : dialog->findChildren<QLabel*>())
        if (!label->text().isEmpty()) texts << label->text();
    return texts;
}

// Every field either dialog writes, to see that a dialog changed nothing.
struct Settings {
    int requestedStars, shape, darkMatterSetting;
    double starMass, centralMass, rotationFactor, darkRadiusSetting, darkFractionSetting;
    int forceSetting, forceMethod, integrationSetting, integrationMethod, historyCount;
    double timeStepSetting, timeStep, shieldSetting, shieldModifier;
    int softeningSetting, softening;
    double epsilonSetting, epsilon, openingAngleSetting, openingAngle, forceErrorSetting, forceError;

    static Settings now() {
        const CGalaxy& g = g_galaxy;
        return {g.requestedStars,     g.shape,           g.darkMatterSetting,  g.starMass,
                g.centralMass,        g.rotationFactor,  g.darkRadiusSetting,  g.darkFractionSetting,
                g.forceSetting,       g.forceMethod,     g.integrationSetting, g.integrationMethod,
                g.historyCount,       g.timeStepSetting, g.timeStep,           g.shieldSetting,
                g.shieldModifier,     g.softeningSetting, g.softening,         g.epsilonSetting,
                g.epsilon,            g.openingAngleSetting, g.openingAngle,   g.forceErrorSetting,
                g.forceError};
    }
    bool operator==(const Settings&) const = default;
};

void restoreDefaults() {
    CGalaxy& g = g_galaxy;
    g.requestedStars = 16;
    g.randomSeed = 5u;
    g.shape = GalaxyShape::Sphere;
    g.starMass = 400.0;
    g.centralMass = 0.0;
    g.rotationFactor = 1.0;
    g.darkMatterSetting = DarkMatterModel::None;
    g.darkRadiusSetting = 5.0;
    g.darkFractionSetting = 0.9;
    g.timeStepSetting = g.timeStep = 8.0;
    g.shieldSetting = g.shieldModifier = 10.0;
    g.softeningSetting = g.softening = Softening::Shield;
    g.epsilonSetting = g.epsilon = 0.05;
    g.openingAngleSetting = g.openingAngle = 0.4;
    g.forceErrorSetting = g.forceError = 0.0;
    g.forceSetting = g.forceMethod = ForceMethod::Direct;
    g.integrationSetting = g.integrationMethod = IntegrationMethod::ImprovedEuler;
}

}  // namespace

class SettingsDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init();
    void cleanup();

    void scanningReadsLikeScanf_data();
    void scanningReadsLikeScanf();
    void formattingIgnoresTheLocale();
    void wholeNumberExchange();

    void commandsEnabledWithAndWithoutWindows();

    void galaxyDialogControls();
    void galaxyDefaultsRoundTrip_data();
    void galaxyDefaultsRoundTrip();
    void okKeepsWhatSixDecimalsWouldLose();
    void galaxyChecks_data();
    void galaxyChecks();
    void galaxyAcceptsWhatTheChecksAllow();
    void typedTextStaysAsTyped();

    void modelDialogControls();
    void modelDefaultsRoundTripResetsHistory();
    void modelChecks_data();
    void modelChecks();
    void modelStoresLiveValuesAndSettings();
    void modelKeepsMethodsTheListDoesNotOffer();

    void numberFieldsShowTheirWholeText_data();
    void numberFieldsShowTheirWholeText();

private:
    // Sends the command and runs drive inside the dialog's event loop; the
    // dialog is closed with Cancel if drive leaves it open.
    void runDialog(int command, const std::function<void(QDialog*)>& drive);

    std::unique_ptr<CZyrApp> app_;
    ScriptedPrompter* prompter_ = nullptr;
};

void SettingsDialogsTest::init() {
    restoreDefaults();
    prompter_ = startProgram(app_);
    if (QTest::currentTestFailed()) return;
}

void SettingsDialogsTest::cleanup() {
    stopProgram(app_);
}

void SettingsDialogsTest::runDialog(int command, const std::function<void(QDialog*)>& drive) {
    bool ran = false;
    QTimer::singleShot(0, this, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        ran = true;
        drive(dialog);
        if (dialog->isVisible()) button(dialog, QStringLiteral("Cancel"))->click();
    });
    QVERIFY(app_->mainFrame()->executeCommand(command));
    QVERIFY(ran);
}

// ---- numbers ------------------------------------------------------------------

void SettingsDialogsTest::scanningReadsLikeScanf_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("doubleResult");
    QTest::addColumn<double>("doubleValue");
    QTest::addColumn<int>("intResult");
    QTest::addColumn<int>("intValue");
    const int number = int(ScanResult::Number), nan = int(ScanResult::NotANumber), range = int(ScanResult::OutOfRange);
    // The untouched value is 99 in both columns.
    QTest::newRow("six decimals") << "400.000000" << number << 400.0 << number << 400;
    QTest::newRow("blanks and trailing text") << " \t12.5 stars" << number << 12.5 << number << 12;
    QTest::newRow("plus sign") << "+3" << number << 3.0 << number << 3;
    QTest::newRow("two signs") << "+-3" << nan << 99.0 << nan << 99;
    QTest::newRow("exponent") << "2.5e3x" << number << 2500.0 << number << 2;
    QTest::newRow("fraction only") << ".5" << number << 0.5 << nan << 99;
    QTest::newRow("comma is not a point") << "0,5" << number << 0.0 << number << 0;
    QTest::newRow("letters") << "abc" << nan << 99.0 << nan << 99;
    QTest::newRow("empty") << "" << nan << 99.0 << nan << 99;
    QTest::newRow("nan") << "nan" << range << 99.0 << nan << 99;
    QTest::newRow("inf") << "-inf" << range << 99.0 << nan << 99;
    QTest::newRow("too large") << "1e400" << range << 99.0 << number << 1;
    QTest::newRow("too small is zero") << "-1e-400" << number << -0.0 << number << -1;
    QTest::newRow("int limit") << "-2147483648" << number << -2147483648.0 << number << INT_MIN;
    QTest::newRow("past int limit") << "2147483648" << number << 2147483648.0 << range << 99;
}

void SettingsDialogsTest::scanningReadsLikeScanf() {
    QFETCH(QString, text);
    QFETCH(int, doubleResult);
    QFETCH(double, doubleValue);
    QFETCH(int, intResult);
    QFETCH(int, intValue);
    double d = 99.0;
    QCOMPARE(int(scanDouble(text, d)), doubleResult);
    QCOMPARE(d, doubleValue);
    QCOMPARE(std::signbit(d), std::signbit(doubleValue));
    int i = 99;
    QCOMPARE(int(scanInt(text, i)), intResult);
    QCOMPARE(i, intValue);
}

void SettingsDialogsTest::formattingIgnoresTheLocale() {
    // A desktop whose numbers use a decimal comma.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char* previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    QCOMPARE(formatFixed(400.0), QStringLiteral("400.000000"));
    QCOMPARE(formatFixed(-1.25), QStringLiteral("-1.250000"));
    QCOMPARE(formatFixed(0.00001), QStringLiteral("0.000010"));
    QCOMPARE(formatFixed(0.0000004), QStringLiteral("0.000000"));
    QCOMPARE(formatFixed(2.5e9), QStringLiteral("2500000000.000000"));
    QCOMPARE(formatInt(-512), QStringLiteral("-512"));
    double d = 0.0;
    QCOMPARE(scanDouble(QStringLiteral("0.25"), d), ScanResult::Number);
    QCOMPARE(d, 0.25);
    if (previous) std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());
}

void SettingsDialogsTest::wholeNumberExchange() {
    QWidget parent;
    auto* edit = new QLineEdit(&parent);
    int count = 7;
    double mass = 2.0;
    {
        DataExchange show(false);
        show.number(edit, mass);
        QCOMPARE(edit->text(), QStringLiteral("2.000000"));
        show.number(edit, count);
        QCOMPARE(edit->text(), QStringLiteral("7"));
    }
    edit->setText(QStringLiteral(" 12 "));
    DataExchange read(true);
    read.number(edit, count);
    QCOMPARE(count, 12);
    QVERIFY(!read.failed());

    // Unlike the settings dialogs' texts, a number field takes no trailing text.
    edit->setText(QStringLiteral("12 stars"));
    read.number(edit, count);
    QVERIFY(read.failed());
    QCOMPARE(count, 12);
    edit->setText(QStringLiteral("3.5"));
    read.number(edit, mass);  // skipped after the first failure
    QCOMPARE(mass, 2.0);
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QCOMPARE(prompter_->messages[0].text, QStringLiteral("Please enter an integer."));
    QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Processing Error"));

    for (const char* bad : {"inf", "1e999", "", "4x"}) {
        edit->setText(QString::fromLatin1(bad));
        DataExchange one(true);
        one.number(edit, mass);
        QVERIFY2(one.failed(), bad);
    }
    QCOMPARE(mass, 2.0);
    QCOMPARE(prompter_->messages.back().text, QStringLiteral("Please enter a number."));
}

// ---- commands -----------------------------------------------------------------

void SettingsDialogsTest::commandsEnabledWithAndWithoutWindows() {
    MdiFrame* frame = app_->mainFrame();
    for (int pass = 0; pass < 2; ++pass) {
        QVERIFY(frame->queryCommand(C::GalaxySettings).enabled());
        QVERIFY(frame->queryCommand(C::ModelSettings).enabled());
        frame->updateCommandUI();
        for (int id : {int(C::GalaxySettings), int(C::ModelSettings)}) {
            QCOMPARE(frame->commandActions(id).size(), 1);
            QVERIFY(frame->commandActions(id).front()->isEnabled());
        }
        app_->closeAllDocuments();
    }
    runDialog(C::ModelSettings, [](QDialog* dialog) { QVERIFY(qobject_cast<CModelSettingsDlg*>(dialog)); });
}

// ---- Galaxy Settings ----------------------------------------------------------

void SettingsDialogsTest::galaxyDialogControls() {
    runDialog(C::GalaxySettings, [](QDialog* dialog) {
        auto* dlg = qobject_cast<CGalaxySettingsDlg*>(dialog);
        QVERIFY(dlg);
        QCOMPARE(dlg->windowTitle(), QString());
        QCOMPARE(dlg->size(), DialogUnits(dlg->font()).size(220, 208));
        struct Expected {
            int id;
            bool editable;
            QStringList items;
            QString text;
        };
        const QStringList masses = {"0.001", "0.01", "0.1", "1", "10", "30", "50", "100", "200", "300", "400", "500"};
        const Expected expected[] = {
            {1004,
             false,
             {"Sphere", "Disc", "Cube", "2D Grid", "3D Grid", "Rings", "Plummer", "Hernquist", "NFW", "Disc Galaxy"},
             "Sphere"},
            {1002, true, {"8", "16", "32", "64", "128", "256", "512", "1024", "2048"}, "16"},
            {1003, true, masses, "400.000000"},
            {1005, true, {"0.0", "0.25", "0.5", "0.75", "1.0", "1.25", "1.5", "1.75", "2.0"}, "1.000000"},
            {1006, true, masses, "0.000000"},
            {1021, false, {"None", "Sphere", "NFW", "Hernquist"}, "None"},
            {1017, true, {"0.1", "1.0", "10.0", "100.0"}, "5.000000"},
            {1019, true, {"0.01", "0.1", "0.5", "0.9", "0.99"}, "0.900000"},
        };
        for (const Expected& e : expected) {
            auto* combo = qobject_cast<QComboBox*>(dlg->control(e.id));
            QVERIFY2(combo, qPrintable(QString::number(e.id)));
            QCOMPARE(combo->isEditable(), e.editable);
            QCOMPARE(entries(combo), e.items);
            QCOMPARE(combo->currentText(), e.text);
            QVERIFY(combo->isEnabled());
            if (e.editable) QCOMPARE(combo->insertPolicy(), QComboBox::NoInsert);
        }
        QCOMPARE(labels(dlg),
                 QStringList({"Distribution:", "Stars:", "Star Mass:", "Rotation Factor:", "Central Mass:",
                              "Dark Matter:", "Dark Matter Radius:", "fraction of total mass:",
                              "Note: These changes will not take effect until the next time \"New Galaxy\" is "
                              "selected."}));
        auto* heading = qobject_cast<QLabel*>(dlg->control(CGalaxySettingsDlg::IdHeading));
        QVERIFY(heading);
        QCOMPARE(heading->pixmap().size(), QSize(110, 24));
        QVERIFY(button(dlg, "OK") && button(dlg, "Cancel"));
    });
}

void SettingsDialogsTest::galaxyDefaultsRoundTrip_data() {
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("darkMatter");
    QTest::addColumn<QString>("shapeText");
    QTest::addColumn<QString>("darkMatterText");
    QTest::newRow("sphere") << int(GalaxyShape::Sphere) << int(DarkMatterModel::None) << "Sphere" << "None";
    // The models and rigid halos come after the original's entries.
    QTest::newRow("disc galaxy in an NFW halo") << int(GalaxyShape::DiscGalaxy) << int(DarkMatterModel::NFW)
                                                << "Disc Galaxy" << "NFW";
    QTest::newRow("Plummer in a Hernquist halo") << int(GalaxyShape::Plummer) << int(DarkMatterModel::Hernquist)
                                                 << "Plummer" << "Hernquist";
}

void SettingsDialogsTest::galaxyDefaultsRoundTrip() {
    QFETCH(int, shape);
    QFETCH(int, darkMatter);
    QFETCH(QString, shapeText);
    QFETCH(QString, darkMatterText);
    g_galaxy.shape = shape;
    g_galaxy.darkMatterSetting = darkMatter;
    // Values that six decimals hold exactly, and one they round.
    g_galaxy.starMass = 0.125;
    g_galaxy.darkFractionSetting = 0.99;
    const Settings before = Settings::now();
    runDialog(C::GalaxySettings, [&](QDialog* dialog) {
        auto* dlg = static_cast<CGalaxySettingsDlg*>(dialog);
        QCOMPARE(static_cast<QComboBox*>(dlg->control(1004))->currentText(), shapeText);
        QCOMPARE(static_cast<QComboBox*>(dlg->control(1021))->currentText(), darkMatterText);
        button(dialog, "OK")->click();
        QVERIFY(!dialog->isVisible());
    });
    QVERIFY(prompter_->messages.empty());
    QVERIFY(Settings::now() == before);
}

void SettingsDialogsTest::okKeepsWhatSixDecimalsWouldLose() {
    CGalaxy& g = g_galaxy;
    g.starMass = 1e-7;
    g.centralMass = 3e-7;
    g.rotationFactor = 0.1 + 0.2;  // seventeen digits
    g.darkRadiusSetting = 2.5e-9;
    g.darkFractionSetting = 1.0 / 3.0;
    g.timeStepSetting = g.timeStep = 8.0 / 3.0;
    g.shieldSetting = g.shieldModifier = 4e-7;
    g.historyCount = 0;
    const Settings before = Settings::now();
    runDialog(C::GalaxySettings, [](QDialog* dialog) {
        auto* mass = static_cast<QComboBox*>(static_cast<CGalaxySettingsDlg*>(dialog)->control(1003));
        QCOMPARE(mass->currentText(), QStringLiteral("1e-07"));
        button(dialog, "OK")->click();
        QVERIFY(!dialog->isVisible());
    });
    runDialog(C::ModelSettings, [](QDialog* dialog) {
        button(dialog, "OK")->click();
        QVERIFY(!dialog->isVisible());
    });
    QVERIFY(prompter_->messages.empty());
    QVERIFY(Settings::now() == before);
}

void SettingsDialogsTest::galaxyChecks_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("id2");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<QString>("message");
    const QString stars = "Number of stars must be greater than 0";
    QTest::newRow("no stars") << 1002 << "0" << 0 << "" << stars;
    QTest::newRow("no stars and negative mass") << 1002 << "0" << 1003 << "-5" << stars;
    QTest::newRow("negative stars and negative fraction") << 1002 << "-3" << 1019 << "-0.1" << stars;
    QTest::newRow("too many stars") << 1002 << "99999999999" << 0 << ""
                                    << "Number of stars must be between 1 and 2147483647";
    QTest::newRow("zero mass") << 1003 << "0" << 1006 << "-1" << "Star mass must be greater than 0";
    QTest::newRow("negative central mass") << 1006 << "-0.5" << 1017 << "0" << "Central mass cannot be less than 0";
    QTest::newRow("zero radius") << 1017 << "0.0" << 1019 << "2" << "Dark matter radius must be greater than 0";
    QTest::newRow("fraction of one") << 1019 << "1" << 0 << ""
                                     << "Dark matter fraction must be\nnon negative and less than 1";
    QTest::newRow("negative fraction") << 1019 << "-0.01" << 0 << ""
                                       << "Dark matter fraction must be\nnon negative and less than 1";
    QTest::newRow("nan mass") << 1003 << "nan" << 0 << "" << "Star mass must be a finite number";
    QTest::newRow("nan rotation before a bad mass") << 1005 << "NaN" << 1003 << "0"
                                                    << "Rotation factor must be a finite number";
    QTest::newRow("infinite central mass") << 1006 << "inf" << 0 << "" << "Central mass must be a finite number";
    QTest::newRow("overflowing radius") << 1017 << "1e999" << 0 << "" << "Dark matter radius must be a finite number";
    QTest::newRow("infinite fraction") << 1019 << "-infinity" << 0 << ""
                                       << "Dark matter fraction must be a finite number";
    QTest::newRow("letters for stars") << 1002 << "many" << 0 << "" << "Please enter an integer.";
    QTest::newRow("empty mass before a bad fraction") << 1003 << "" << 1019 << "2" << "Please enter a number.";
    QTest::newRow("blank central mass") << 1006 << "  " << 0 << "" << "Please enter a number.";
}

void SettingsDialogsTest::galaxyChecks() {
    QFETCH(int, id);
    QFETCH(QString, text);
    QFETCH(int, id2);
    QFETCH(QString, text2);
    QFETCH(QString, message);
    const Settings before = Settings::now();
    runDialog(C::GalaxySettings, [&](QDialog* dialog) {
        auto* dlg = static_cast<CGalaxySettingsDlg*>(dialog);
        // Choices that would be stored if OK went through.
        static_cast<QComboBox*>(dlg->control(1004))->setCurrentIndex(5);
        static_cast<QComboBox*>(dlg->control(1002))->setEditText("100");
        static_cast<QComboBox*>(dlg->control(id))->setEditText(text);
        if (id2) static_cast<QComboBox*>(dlg->control(id2))->setEditText(text2);
        // The focus where a click on OK leaves it.
        button(dlg, "OK")->setFocus();
        button(dlg, "OK")->click();
        QVERIFY(dlg->isVisible());
        QCOMPARE(prompter_->messages.size(), std::size_t{1});
        QCOMPARE(prompter_->messages[0].text, message);
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Processing Error"));
        QCOMPARE(prompter_->messages[0].buttons, MessageButtons::Ok);
        QVERIFY(Settings::now() == before);
        // The typed text is still there to be corrected, at its field and
        // selected to be typed over.
        QCOMPARE(static_cast<QComboBox*>(dlg->control(id))->currentText(), text);
        QCOMPARE(dlg->focusWidget(), dlg->control(id));
        QCOMPARE(static_cast<QComboBox*>(dlg->control(id))->lineEdit()->selectedText(), text);
    });
    // Cancel after the failed OK.
    QVERIFY(Settings::now() == before);
}

void SettingsDialogsTest::galaxyAcceptsWhatTheChecksAllow() {
    const int starsOnScreen = g_galaxy.numStars;
    const QList<double> firstStar = {g_galaxy.mass[0], g_galaxy.pos.x[0]};
    runDialog(C::GalaxySettings, [](QDialog* dialog) {
        auto* dlg = static_cast<CGalaxySettingsDlg*>(dialog);
        auto combo = [dlg](int id) { return static_cast<QComboBox*>(dlg->control(id)); };
        combo(1004)->setCurrentIndex(combo(1004)->findText("Rings"));
        combo(1002)->setEditText("5000");          // beyond the list: no upper bound
        combo(1003)->setEditText("250");           // beyond the list
        combo(1005)->setEditText(" -0.5 turns");   // trailing text ignored; no check
        combo(1006)->setEditText("0");             // no central star
        combo(1021)->setCurrentIndex(1);
        combo(1017)->setEditText("1e2");
        combo(1019)->setEditText("0");
        button(dlg, "OK")->click();
        QVERIFY(!dlg->isVisible());
    });
    QVERIFY(prompter_->messages.empty());
    const CGalaxy& g = g_galaxy;
    QCOMPARE(g.shape, int(GalaxyShape::Rings));
    QCOMPARE(g.requestedStars, 5000);
    QCOMPARE(g.starMass, 250.0);
    QCOMPARE(g.rotationFactor, -0.5);
    QCOMPARE(g.centralMass, 0.0);
    QCOMPARE(g.darkMatterSetting, int(DarkMatterModel::Sphere));
    QCOMPARE(g.darkRadiusSetting, 100.0);
    QCOMPARE(g.darkFractionSetting, 0.0);
    // The galaxy on screen waits for New Galaxy.
    QCOMPARE(g.numStars, starsOnScreen);
    QCOMPARE(QList<double>({g.mass[0], g.pos.x[0]}), firstStar);
}

void SettingsDialogsTest::typedTextStaysAsTyped() {
    runDialog(C::GalaxySettings, [](QDialog* dialog) {
        auto* stars = static_cast<QComboBox*>(static_cast<CGalaxySettingsDlg*>(dialog)->control(1002));
        QApplication::setActiveWindow(dialog);
        stars->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        stars->lineEdit()->clear();
        // "5" would complete to "512" in a combo box with completion.
        QTest::keyClicks(stars->lineEdit(), "5");
        QTest::keyClick(stars->lineEdit(), Qt::Key_Return);
        QCOMPARE(stars->count(), 9);
        QCOMPARE(stars->currentText(), QStringLiteral("5"));
        if (dialog->isVisible()) button(dialog, "OK")->click();
    });
    QCOMPARE(g_galaxy.requestedStars, 5);
}

// ---- Model Settings -----------------------------------------------------------

void SettingsDialogsTest::modelDialogControls() {
    g_galaxy.forceMethod = ForceMethod::BarnesHut;
    g_galaxy.integrationMethod = IntegrationMethod::AdamsMoulton;
    runDialog(C::ModelSettings, [](QDialog* dialog) {
        auto* dlg = qobject_cast<CModelSettingsDlg*>(dialog);
        QVERIFY(dlg);
        QCOMPARE(dlg->windowTitle(), QStringLiteral("b"));
        QCOMPARE(dlg->size(), DialogUnits(dlg->font()).size(187, 244));
        auto combo = [dlg](int id) { return qobject_cast<QComboBox*>(dlg->control(id)); };
        QVERIFY(combo(1010) && combo(1014) && combo(1015) && combo(1016));
        QVERIFY(combo(1017) && combo(1018) && combo(1019) && combo(1020));
        QCOMPARE(entries(combo(1017)), QStringList({"Shield", "Plummer", "Spline"}));
        QVERIFY(!combo(1017)->isEditable() && combo(1018)->isEditable() && combo(1020)->isEditable());
        QCOMPARE(combo(1017)->currentText(), QStringLiteral("Shield"));
        QCOMPARE(combo(1018)->currentText(), QStringLiteral("0.050000"));
        QCOMPARE(combo(1019)->currentText(), QStringLiteral("0.400000"));
        QCOMPARE(combo(1020)->currentText(), QStringLiteral("0.000000"));
        QCOMPARE(entries(combo(1010)), QStringList({"0.25", "0.5", "1", "2", "4", "8"}));
        QCOMPARE(entries(combo(1014)), QStringList({"Direct", "Barnes-Hut"}));
        QCOMPARE(entries(combo(1015)), QStringList({"Euler", "Improved Euler", "Runge Kutta 4", "Adams-Moulton", "Leapfrog"}));
        QCOMPARE(entries(combo(1016)), QStringList({"0.1", "0.5", "1", "5", "10"}));
        QVERIFY(combo(1010)->isEditable() && combo(1016)->isEditable());
        QVERIFY(!combo(1014)->isEditable() && !combo(1015)->isEditable());
        QCOMPARE(combo(1010)->insertPolicy(), QComboBox::NoInsert);
        QCOMPARE(combo(1016)->insertPolicy(), QComboBox::NoInsert);
        QCOMPARE(combo(1010)->currentText(), QStringLiteral("8.000000"));
        QCOMPARE(combo(1016)->currentText(), QStringLiteral("10.000000"));
        QCOMPARE(combo(1014)->currentText(), QStringLiteral("Barnes-Hut"));
        QCOMPARE(combo(1015)->currentText(), QStringLiteral("Adams-Moulton"));
        QCOMPARE(labels(dlg), QStringList({"Time Step", "Force calculation method", "Integration Method",
                                           "Sheild Radius Modifier", "Softening", "Softening Length",
                                           "Tree Opening Angle", "Tree Force Error"}));
        auto* heading = qobject_cast<QLabel*>(dlg->control(CModelSettingsDlg::IdHeading));
        QVERIFY(heading);
        QCOMPARE(heading->pixmap().size(), QSize(122, 23));
        QCOMPARE(heading->frameShadow(), QFrame::Sunken);
    });
}

void SettingsDialogsTest::modelDefaultsRoundTripResetsHistory() {
    g_galaxy.historyCount = 3;
    // The dialog shows the settings, which Halve Timestep changes with the live value.
    QVERIFY(app_->mainFrame()->executeCommand(C::HalveTimestep));
    Settings expected = Settings::now();
    expected.historyCount = 0;
    runDialog(C::ModelSettings, [](QDialog* dialog) {
        QCOMPARE(static_cast<QComboBox*>(static_cast<CModelSettingsDlg*>(dialog)->control(1010))->currentText(),
                 QStringLiteral("4.000000"));
        button(dialog, "OK")->click();
        QVERIFY(!dialog->isVisible());
    });
    QVERIFY(prompter_->messages.empty());
    QVERIFY(Settings::now() == expected);
}

void SettingsDialogsTest::modelChecks_data() {
    QTest::addColumn<QString>("timeStep");
    QTest::addColumn<QString>("shield");
    QTest::addColumn<QString>("message");
    // Optionally one of the softening and tree fields with its text.
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    const QString zero = "Timestep cannot be 0";
    QTest::newRow("zero") << "0" << "10" << zero << 0 << QString();
    QTest::newRow("zero with decimals") << "0.0" << "10" << zero << 0 << QString();
    QTest::newRow("negative zero") << "-0" << "10" << zero << 0 << QString();
    QTest::newRow("zero and negative shield") << "0" << "-1" << zero << 0 << QString();
    QTest::newRow("negative shield") << "2" << "-1" << "Shield radius cannot be negative" << 0 << QString();
    QTest::newRow("nan step") << "nan" << "-1" << "Timestep must be a finite number" << 0 << QString();
    QTest::newRow("infinite step") << "inf" << "1" << "Timestep must be a finite number" << 0 << QString();
    QTest::newRow("infinite shield") << "2" << "1e400" << "Shield radius must be a finite number" << 0 << QString();
    QTest::newRow("zero epsilon") << "2" << "1" << "Softening length must be greater than 0" << 1018 << "0";
    QTest::newRow("nan epsilon") << "2" << "1" << "Softening length must be a finite number" << 1018 << "nan";
    QTest::newRow("negative angle") << "2" << "1" << "Opening angle must be greater than 0" << 1019 << "-0.4";
    QTest::newRow("infinite error") << "2" << "1" << "Force error must be a finite number" << 1020 << "inf";
    QTest::newRow("negative error") << "2" << "1" << "Force error cannot be negative" << 1020 << "-1e-3";
    QTest::newRow("letters for step") << "fast" << "1" << "Please enter a number." << 0 << QString();
    QTest::newRow("empty epsilon") << "2" << "1" << "Please enter a number." << 1018 << "";
}

void SettingsDialogsTest::modelChecks() {
    QFETCH(QString, timeStep);
    QFETCH(QString, shield);
    QFETCH(QString, message);
    QFETCH(int, field);
    QFETCH(QString, text);
    g_galaxy.historyCount = 2;
    const Settings before = Settings::now();
    runDialog(C::ModelSettings, [&](QDialog* dialog) {
        auto* dlg = static_cast<CModelSettingsDlg*>(dialog);
        static_cast<QComboBox*>(dlg->control(1014))->setCurrentIndex(1);
        static_cast<QComboBox*>(dlg->control(1010))->setEditText(timeStep);
        static_cast<QComboBox*>(dlg->control(1016))->setEditText(shield);
        if (field) static_cast<QComboBox*>(dlg->control(field))->setEditText(text);
        button(dlg, "OK")->click();
        QVERIFY(dlg->isVisible());
        QCOMPARE(prompter_->messages.size(), std::size_t{1});
        QCOMPARE(prompter_->messages[0].text, message);
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Processing Error"));
        QVERIFY(Settings::now() == before);
    });
    QVERIFY(Settings::now() == before);
}

void SettingsDialogsTest::modelStoresLiveValuesAndSettings() {
    g_galaxy.historyCount = 4;
    runDialog(C::ModelSettings, [](QDialog* dialog) {
        auto* dlg = static_cast<CModelSettingsDlg*>(dialog);
        auto combo = [dlg](int id) { return static_cast<QComboBox*>(dlg->control(id)); };
        combo(1014)->setCurrentIndex(1);
        combo(1015)->setCurrentIndex(4);  // after Adams-Moulton, and not Dynamic Euler
        combo(1010)->setEditText("-2.5 days");  // negative steps are allowed
        combo(1016)->setEditText("0");
        combo(1017)->setCurrentIndex(2);
        combo(1018)->setEditText("0.002");
        combo(1019)->setEditText("0.7");
        combo(1020)->setEditText("1e-3");
        button(dlg, "OK")->click();
        QVERIFY(!dlg->isVisible());
    });
    const CGalaxy& g = g_galaxy;
    QCOMPARE(g.forceMethod, int(ForceMethod::BarnesHut));
    QCOMPARE(g.forceSetting, int(ForceMethod::BarnesHut));
    QCOMPARE(g.integrationMethod, int(IntegrationMethod::Leapfrog));
    QCOMPARE(g.integrationSetting, int(IntegrationMethod::Leapfrog));
    QCOMPARE(g.timeStep, -2.5);
    QCOMPARE(g.timeStepSetting, -2.5);
    QCOMPARE(g.shieldModifier, 0.0);
    QCOMPARE(g.shieldSetting, 0.0);
    QCOMPARE(g.softening, int(Softening::Spline));
    QCOMPARE(g.softeningSetting, int(Softening::Spline));
    QCOMPARE(g.epsilon, 0.002);
    QCOMPARE(g.epsilonSetting, 0.002);
    QCOMPARE(g.openingAngle, 0.7);
    QCOMPARE(g.openingAngleSetting, 0.7);
    QCOMPARE(g.forceError, 1e-3);
    QCOMPARE(g.forceErrorSetting, 1e-3);
    QCOMPARE(g.historyCount, 0);

    // Letters are refused, and Cancel keeps the previous values.
    runDialog(C::ModelSettings, [](QDialog* dialog) {
        auto* dlg = static_cast<CModelSettingsDlg*>(dialog);
        static_cast<QComboBox*>(dlg->control(1010))->setEditText("fast");
        static_cast<QComboBox*>(dlg->control(1016))->setEditText("");
        button(dlg, "OK")->click();
        QVERIFY(dlg->isVisible());
    });
    QCOMPARE(g.timeStep, -2.5);
    QCOMPARE(g.shieldModifier, 0.0);
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QCOMPARE(prompter_->messages[0].text, QStringLiteral("Please enter a number."));
}

void SettingsDialogsTest::modelKeepsMethodsTheListDoesNotOffer() {
    // Set elsewhere than in this dialog (zyr-sim, a test): not in its lists.
    g_galaxy.forceMethod = g_galaxy.forceSetting = ForceMethod::ParticleMesh;
    g_galaxy.integrationMethod = g_galaxy.integrationSetting = IntegrationMethod::DynamicEuler;
    runDialog(C::ModelSettings, [](QDialog* dialog) {
        auto* dlg = static_cast<CModelSettingsDlg*>(dialog);
        QCOMPARE(static_cast<QComboBox*>(dlg->control(1014))->currentIndex(), -1);
        QCOMPARE(static_cast<QComboBox*>(dlg->control(1015))->currentIndex(), -1);
        button(dlg, "OK")->click();
    });
    QCOMPARE(g_galaxy.forceMethod, int(ForceMethod::ParticleMesh));
    QCOMPARE(g_galaxy.integrationMethod, int(IntegrationMethod::DynamicEuler));
}

// ---- number fields ------------------------------------------------------------

void SettingsDialogsTest::numberFieldsShowTheirWholeText_data() {
    QTest::addColumn<bool>("starEditor");
    QTest::addColumn<QStringList>("texts");
    // As Galaxy Settings shows large settings and the star editor a star's
    // values after a run, field by field.
    QTest::newRow("galaxy settings") << false << QStringList{"2000000", "100000.000000", "-12.500000",
                                                             "100000.000000", "100000.000000", "0.990000"};
    QTest::newRow("star editor") << true << QStringList{"1.5e-07", "-66666.666666666672", "-0.66666666666666663",
                                                        "123456.789", "-0.0033333333333333335",
                                                        "-1.2345678901234567e-05", "-4.25"};
}

void SettingsDialogsTest::numberFieldsShowTheirWholeText() {
    QFETCH(bool, starEditor);
    QFETCH(QStringList, texts);
    selectedRow = 1;
    const std::unique_ptr<QDialog> dialog(starEditor ? static_cast<QDialog*>(new CStarSettingsDlg)
                                                     : new CGalaxySettingsDlg);
    const QList<QLineEdit*> edits = dialog->findChildren<QLineEdit*>();
    QCOMPARE(edits.size(), texts.size());
    for (qsizetype i = 0; i < edits.size(); ++i) {
        edits[i]->setText(texts[i]);
        // Drawn with the cursor at the end, where setting a text leaves it, a
        // field looks as with the cursor at the start, unless it scrolled.
        QWidget* parent = edits[i]->parentWidget();
        QWidget* field = qobject_cast<QComboBox*>(parent) ? parent : edits[i];
        const QImage atEnd = field->grab().toImage();
        edits[i]->home(false);
        QVERIFY2(field->grab().toImage() == atEnd, qPrintable(texts[i]));
        QVERIFY(dialog->rect().contains(field->geometry()));
    }
}

QTEST_MAIN(SettingsDialogsTest)
#include "settings_dialogs_qtest.moc"
