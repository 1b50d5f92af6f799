// The star list: its column arithmetic, the texts of its cells, which row a
// click or double click lands on at each text size and scroll position, how
// the selected row looks, and the three dialogs that belong to it.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>
#include <climits>
#include <functional>
#include <memory>

#include "app/zyr_app.h"
#include "dialogs/font_size_dlg.h"
#include "dialogs/note_view.h"
#include "dialogs/star_settings_dlg.h"
#include "model/galaxy.h"
#include "platform/doc_template.h"
#include "platform/document.h"
#include "platform/mdi_frame.h"
#include "platform/prompter.h"
#include "tests/support/galaxy_builder.h"
#include "tests/support/program_under_test.h"
#include "view/command_ids.h"

namespace {

namespace C = CommandId;

QPushButton* button(const QWidget* dialog, const QString& text) {
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

std::vector<TestStar> numberedStars(int n) {
    std::vector<TestStar> stars;
    for (int i = 0; i < n; ++i) stars.push_back({1.0 + i, 10.0 * i, 0.0, 0.0});
    return stars;
}

QRgb rgb(int r, int g, int b) { return qRgb(r, g, b); }

// As a window system delivers it: press and release, then the second press
// comes as the double click.
void doubleClick(QWidget* widget, QPoint at) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
}

}  // namespace

class StarListTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init();
    void cleanup();

    void columnsAtTwelvePoints();
    void cellTexts();
    void colourOutsideTheListIsEmpty();

    void clickSelectsRow_data();
    void clickSelectsRow();
    void doubleClickOpensTheRowsStar_data();
    void doubleClickOpensTheRowsStar();
    void doubleClickOffTheStarsOpensNothing();

    void selectedRowIsDrawnInverted();
    void unusableSizesAreClampedWhenDrawing();
    void cornerBetweenScrollBarsIsPlain();

    void starEditorShowsAndKeepsTheStar();
    void starEditorMassRule();
    void starEditorRejectsNonNumbers();
    void starEditorColour();

    void fontSizeDialogBounds_data();
    void fontSizeDialogBounds();
    void helpDialogThenList();

private:
    CNoteView* showList();
    // Sends the command and runs drive inside the dialog's event loop; the
    // dialog is closed with Cancel if drive leaves it open.
    void runDialog(const std::function<void()>& trigger, const std::function<void(QDialog*)>& drive, bool& ran);

    std::unique_ptr<CZyrApp> app_;
    ScriptedPrompter* prompter_ = nullptr;
};

void StarListTest::init() {
    g_galaxy.requestedStars = 16;
    g_galaxy.listFontSize = 12;
    selectedRow = -1;
    prompter_ = startProgram(app_);
    if (QTest::currentTestFailed()) return;
}

void StarListTest::cleanup() {
    stopProgram(app_);
}

CNoteView* StarListTest::showList() {
    if (!app_->mainFrame()->executeCommand(C::ShowList)) return nullptr;
    Document* doc = app_->noteTemplate->firstDocument();
    auto* view = doc ? qobject_cast<CNoteView*>(doc->firstView()) : nullptr;
    if (view) {
        view->window()->resize(900, 700);
        view->parentWidget()->resize(700, 400);
        QCoreApplication::processEvents();
        view->RedrawNow();
    }
    return view;
}

void StarListTest::runDialog(const std::function<void()>& trigger, const std::function<void(QDialog*)>& drive,
                             bool& ran) {
    ran = false;
    QTimer::singleShot(0, this, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        ran = true;
        drive(dialog);
        if (dialog->isVisible()) {
            if (QPushButton* cancel = button(dialog, QStringLiteral("Cancel")))
                cancel->click();
            else
                dialog->reject();
        }
    });
    trigger();
    // A trigger that opened nothing leaves the timer pending; let it pass.
    QCoreApplication::processEvents();
}

// ---- layout and texts -------------------------------------------------------

void StarListTest::columnsAtTwelvePoints() {
    const int expected[] = {40, 110, 180, 250, 320, 390, 460, 530};
    for (int c = 0; c < 8; ++c) QCOMPARE(noteColumnRight(12, c), expected[c]);
    QCOMPARE(noteColorLeft(12), 560);
    QCOMPARE(noteTableWidth(12), 650);
    QCOMPARE(noteColumnRight(16, 7), 80 * 16 - 430);
    QCOMPARE(noteTableWidth(kMinListFontSize), 20);
}

void StarListTest::cellTexts() {
    QVERIFY(installStars(g_galaxy, {{400.0, -0.00123, 1e100, 0.0, 12345.678, -1e-100, 5.0, 7},
                                    {1.0, 2.5e-5, -3.0, 99.99, 0.0, 0.0, 0.0, 3}}));
    const auto header = noteHeaderCells();
    const QString headerTexts[] = {"Star", "Mass", "xPos", "yPos", "zPos", "xVel", "yVel", "zVel", "Color"};
    for (int c = 0; c < kNoteColumns; ++c) QCOMPARE(header[c], headerTexts[c]);

    const auto first = noteStarCells(g_galaxy, 0);
    const QString firstTexts[] = {"0",         "4.00e+02", "-1.23e-03", "1.00e+100", "0.00e+00",
                                  "1.23e+04",  "-1.00e-100", "5.00e+00", "cyan  "};
    for (int c = 0; c < kNoteColumns; ++c) QCOMPARE(first[c], firstTexts[c]);
    const auto second = noteStarCells(g_galaxy, 1);
    QCOMPARE(second[0], QStringLiteral("1"));
    QCOMPARE(second[2], QStringLiteral("2.50e-05"));
    QCOMPARE(second[4], QStringLiteral("1.00e+02"));
    QCOMPARE(second[8], QStringLiteral("yellow"));
    // Wider numbers than seven characters are not cut; narrower ones are padded.
    QCOMPARE(formatListNumber(std::numeric_limits<double>::infinity()), QStringLiteral("    inf"));
    QCOMPARE(formatListNumber(-std::numeric_limits<double>::quiet_NaN()).trimmed().endsWith("nan"), true);
    QCOMPARE(formatListNumber(0.0).size(), 8);
}

void StarListTest::colourOutsideTheListIsEmpty() {
    const QString names[] = {"white ", "red   ", "orange", "yellow", "green ", "blue  ", "purple", "cyan  "};
    for (int c = 0; c < 8; ++c) QCOMPARE(listColorName(c), names[c]);
    QVERIFY(installStars(g_galaxy, {{1.0, 0, 0, 0, 0, 0, 0, -1}, {1.0, 0, 0, 0, 0, 0, 0, 8},
                                    {1.0, 0, 0, 0, 0, 0, 0, INT_MAX}, {1.0, 0, 0, 0, 0, 0, 0, INT_MIN}}));
    for (int i = 0; i < 4; ++i) QVERIFY(noteStarCells(g_galaxy, i)[8].isEmpty());
    selectedRow = 2;
    CNoteView* view = showList();
    QVERIFY(view);
    QVERIFY(!view->grab().isNull());
}

// ---- clicks -----------------------------------------------------------------

void StarListTest::clickSelectsRow_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("scroll");
    QTest::addColumn<int>("clientY");
    QTest::addColumn<int>("row");  // -1: the selection stays as it was
    for (const int s : {12, 14, 16}) {
        const QByteArray p = QByteArray::number(s) + " pt ";
        QTest::newRow(p + "header") << s << 0 << s / 2 << -1;
        QTest::newRow(p + "header's last pixel") << s << 0 << s << -1;
        QTest::newRow(p + "row of star 5, first pixel") << s << 0 << 6 * s << 6;
        QTest::newRow(p + "row of star 5, last pixel") << s << 0 << 7 * s - 1 << 6;
        QTest::newRow(p + "scrolled by 10 rows") << s << 10 * s << 3 * s + 1 << 13;
        QTest::newRow(p + "scrolled by an odd amount") << s << 37 << 2 * s << (2 * s + 37) / s;
        // Scrolled, the top of the window is no longer the header.
        QTest::newRow(p + "scrolled, top pixel") << s << 5 * s << 0 << 5;
    }
}

void StarListTest::clickSelectsRow() {
    QFETCH(int, size);
    QFETCH(int, scroll);
    QFETCH(int, clientY);
    QFETCH(int, row);
    QVERIFY(installStars(g_galaxy, numberedStars(200)));
    g_galaxy.listFontSize = size;
    CNoteView* view = showList();
    QVERIFY(view);
    auto* bar = view->findChildren<QScrollBar*>().at(1);
    QCOMPARE(bar->orientation(), Qt::Vertical);
    QVERIFY(bar->isVisible());
    bar->setValue(scroll);
    QCOMPARE(listScrollPos.y(), scroll);

    selectedRow = 3;
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(100, clientY));
    QCOMPARE(selectedRow, row < 0 ? 3 : row);
}

void StarListTest::doubleClickOpensTheRowsStar_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("scroll");
    QTest::addColumn<int>("clientY");
    QTest::addColumn<int>("star");
    for (const int s : {12, 14, 16}) {
        const QByteArray p = QByteArray::number(s) + " pt ";
        QTest::newRow(p + "first star") << s << 0 << s + 1 << 0;
        QTest::newRow(p + "star 5") << s << 0 << 6 * s + s / 2 << 5;
        QTest::newRow(p + "scrolled") << s << 20 * s + 3 << 2 * s << 21;
    }
}

void StarListTest::doubleClickOpensTheRowsStar() {
    QFETCH(int, size);
    QFETCH(int, scroll);
    QFETCH(int, clientY);
    QFETCH(int, star);
    QVERIFY(installStars(g_galaxy, numberedStars(100)));
    g_galaxy.listFontSize = size;
    CNoteView* view = showList();
    QVERIFY(view);
    view->findChildren<QScrollBar*>().at(1)->setValue(scroll);

    bool ran = false;
    QString shownX;
    runDialog([&] { doubleClick(view, QPoint(100, clientY)); },
              [&](QDialog* dialog) {
                  QCOMPARE(dialog->windowTitle(), QStringLiteral("Star Settings"));
                  shownX = static_cast<CStarSettingsDlg*>(dialog)->findChild<QLineEdit*>("1023")->text();
              },
              ran);
    QVERIFY(ran);
    QCOMPARE(selectedRow, star + 1);
    QCOMPARE(shownX, QString::number(10 * star));
}

void StarListTest::doubleClickOffTheStarsOpensNothing() {
    QVERIFY(installStars(g_galaxy, numberedStars(3)));
    CNoteView* view = showList();
    QVERIFY(view);
    bool ran = true;
    for (const int y : {2, 12, 4 * 12 + 1, 10 * 12}) {
        runDialog([&] { doubleClick(view, QPoint(100, y)); }, [](QDialog*) {}, ran);
        QVERIFY2(!ran, qPrintable(QString("y = %1").arg(y)));
    }
    // Below the last star the click still selects that empty row.
    QCOMPARE(selectedRow, 10);
}

// ---- drawing ----------------------------------------------------------------

void StarListTest::selectedRowIsDrawnInverted() {
    QVERIFY(installStars(g_galaxy, numberedStars(8)));
    CNoteView* view = showList();
    QVERIFY(view);
    const int s = 12;
    selectedRow = 3;
    const QImage image = view->grab().toImage().convertToFormat(QImage::Format_RGB32);

    // The text cells may be a pixel or two lower than the row; their middle
    // lies inside it.
    auto countIn = [&](int row, int x0, int x1, QRgb colour) {
        int count = 0;
        for (int y = row * s + 2; y < (row + 1) * s - 2; ++y)
            for (int x = x0; x < x1; ++x) count += image.pixel(x, y) == colour ? 1 : 0;
        return count;
    };
    const QRgb white = rgb(255, 255, 255), black = rgb(0, 0, 0), bar = rgb(170, 190, 190);
    // The mass cell ends at 110: dark cells with white text on the selected
    // row, black text on white on the others.
    QVERIFY(countIn(3, 100, 110, black) > 0);
    QVERIFY(countIn(3, 100, 110, white) > 0);
    QCOMPARE(countIn(3, 100, 110, bar), 0);
    QVERIFY(countIn(3, 100, 110, black) > countIn(3, 100, 110, white));
    QVERIFY(countIn(2, 100, 110, white) > countIn(2, 100, 110, black));
    QCOMPARE(countIn(2, 0, 650, bar), 0);
    // Between the index and the mass cells the bar shows.
    QCOMPARE(countIn(3, 42, 50, bar), 8 * (s - 4));
    // The header row has no selection colours.
    QCOMPARE(countIn(0, 0, 650, bar), 0);

    // A selection beyond the last star shows only the bar, no dark cells.
    selectedRow = 12;
    const QImage past = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int dark = 0;
    for (int x = 0; x < 600; ++x) dark += past.pixel(x, 12 * s + s / 2) == black ? 1 : 0;
    QCOMPARE(dark, 0);
}

void StarListTest::unusableSizesAreClampedWhenDrawing() {
    QVERIFY(installStars(g_galaxy, numberedStars(30)));
    CNoteView* view = showList();
    QVERIFY(view);
    for (const int size : {0, -3, 4, 1000000}) {
        g_galaxy.listFontSize = size;
        QVERIFY(!view->grab().isNull());
        selectedRow = -1;
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(50, 3 * kMinListFontSize));
        QCOMPARE(selectedRow, size < kMinListFontSize ? 3 : -1);
    }
}

void StarListTest::cornerBetweenScrollBarsIsPlain() {
    QVERIFY(installStars(g_galaxy, numberedStars(100)));
    CNoteView* view = showList();
    QVERIFY(view);
    // Narrower and shorter than the table: both scroll bars show.
    view->parentWidget()->resize(400, 300);
    QWidget* window = view->window();
    const QImage shot = window->grab().toImage();
    const QPoint corner = view->mapTo(window, QPoint(view->width() - 3, view->height() - 3));
    QCOMPARE(QColor(shot.pixel(corner)), view->palette().window().color());
}

// ---- star settings ----------------------------------------------------------

void StarListTest::starEditorShowsAndKeepsTheStar() {
    QVERIFY(installStars(g_galaxy, {{1.5e-7, 0.1, -2.0 / 3.0, 123456.789, 1e-9, 0.0, -4.25, 5}}));
    selectedRow = 1;
    CStarSettingsDlg dialog;
    QCOMPARE(dialog.findChild<QComboBox*>("1003")->currentText(), QStringLiteral("1.5e-07"));
    QCOMPARE(dialog.findChild<QLineEdit*>("1023")->text(), QStringLiteral("0.1"));
    QCOMPARE(dialog.findChild<QLineEdit*>("1026")->text(), QStringLiteral("1e-09"));
    QCOMPARE(dialog.findChild<QComboBox*>("1030")->currentIndex(), 5);
    QStringList masses;
    for (int i = 0; i < dialog.findChild<QComboBox*>("1003")->count(); ++i)
        masses << dialog.findChild<QComboBox*>("1003")->itemText(i);
    QCOMPARE(masses, QStringList({"0.001", "0.01", "0.1", "1", "10", "100", "200", "30", "400", "50", "500"}));

    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(prompter_->messages.empty());
    const CGalaxy& g = g_galaxy;
    QCOMPARE(g.mass[0], 1.5e-7);
    QCOMPARE(g.pos.x[0], 0.1);
    QVERIFY(g.pos.y[0] == -2.0 / 3.0);  // exactly: QCOMPARE of doubles is fuzzy
    QCOMPARE(g.pos.z[0], 123456.789);
    QCOMPARE(g.vel.x[0], 1e-9);
    QCOMPARE(g.vel.z[0], -4.25);
    QCOMPARE(g.color[0], 5);
}

void StarListTest::starEditorMassRule() {
    QVERIFY(installStars(g_galaxy, numberedStars(3)));
    selectedRow = 2;
    const CGalaxy& g = g_galaxy;
    const auto star = [&g] {
        return QList<double>({g.mass[1], g.pos.x[1], g.pos.y[1], g.pos.z[1], g.vel.x[1], g.vel.y[1], g.vel.z[1],
                              double(g.color[1])});
    };
    const QList<double> before = star();
    // A refused mass, then Cancel; a refused mass, then a mass that passes.
    for (const bool cancel : {true, false}) {
        CStarSettingsDlg dialog;
        auto* mass = dialog.findChild<QComboBox*>("1003");
        dialog.findChild<QLineEdit*>("1024")->setText("7.5");
        dialog.findChild<QComboBox*>("1030")->setCurrentIndex(3);
        for (const char* rejected : {"0", "-5"}) {
            mass->setEditText(QString::fromLatin1(rejected));
            dialog.accept();
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QCOMPARE(prompter_->messages.size(), std::size_t(1));
            QCOMPARE(prompter_->messages.back().caption, QStringLiteral("Processing Error"));
            QCOMPARE(prompter_->messages.back().text, QStringLiteral("Star mass must be greater than 0"));
            prompter_->messages.clear();
            QCOMPARE(star(), before);
            QCOMPARE(mass->currentText(), QString::fromLatin1(rejected));
            // ready to be typed over
            QCOMPARE(dialog.focusWidget(), mass);
            QCOMPARE(mass->lineEdit()->selectedText(), mass->currentText());
        }
        if (cancel) {
            dialog.reject();
            QCOMPARE(star(), before);
            continue;
        }
        // A mass typed that the list does not have.
        mass->setEditText("250");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(star(), QList<double>({250.0, 10.0, 7.5, 0.0, 0.0, 0.0, 0.0, 3.0}));
    }
    QCOMPARE(g.mass[0], 1.0);
    QCOMPARE(g.mass[2], 3.0);
}

void StarListTest::starEditorRejectsNonNumbers() {
    QVERIFY(installStars(g_galaxy, numberedStars(2)));
    selectedRow = 2;
    for (const char* bad : {"abc", "", "nan", "1e400", "3 4"}) {
        CStarSettingsDlg dialog;
        dialog.findChild<QLineEdit*>("1023")->setText("55");
        dialog.findChild<QLineEdit*>("1028")->setText(QString::fromLatin1(bad));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(prompter_->messages.size(), std::size_t(1));
        QCOMPARE(prompter_->messages.back().caption, QStringLiteral("Processing Error"));
        prompter_->messages.clear();
        QCOMPARE(g_galaxy.pos.x[1], 10.0);
        QCOMPARE(g_galaxy.vel.z[1], 0.0);
    }
}

void StarListTest::starEditorColour() {
    QVERIFY(installStars(g_galaxy, numberedStars(2)));
    selectedRow = 1;
    CStarSettingsDlg dialog;
    auto* colours = dialog.findChild<QComboBox*>("1030");
    QCOMPARE(colours->itemText(1), QStringLiteral("Red "));
    colours->setCurrentIndex(1);
    dialog.accept();
    QCOMPARE(g_galaxy.color[0], 1);
    QCOMPARE(noteStarCells(g_galaxy, 0)[8], QStringLiteral("red   "));

    // A colour the list does not have shows no selection and is kept.
    g_galaxy.color[0] = 42;
    CStarSettingsDlg second;
    QCOMPARE(second.findChild<QComboBox*>("1030")->currentIndex(), -1);
    second.accept();
    QCOMPARE(g_galaxy.color[0], 42);
}

// ---- list options dialogs ---------------------------------------------------

void StarListTest::fontSizeDialogBounds_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");  // 0: rejected, the size stays 14
    QTest::addColumn<QString>("message");
    const QString range = QStringLiteral("Font size must be between 5 and 100");
    QTest::newRow("from the list") << "16" << 16 << QString();
    QTest::newRow("typed") << "9" << 9 << QString();
    QTest::newRow("smallest") << "5" << 5 << QString();
    QTest::newRow("largest") << "100" << 100 << QString();
    QTest::newRow("too small") << "4" << 0 << range;
    QTest::newRow("zero") << "0" << 0 << range;
    QTest::newRow("negative") << "-12" << 0 << range;
    QTest::newRow("too large") << "101" << 0 << range;
    QTest::newRow("not a number") << "big" << 0 << QStringLiteral("Please enter an integer.");
    QTest::newRow("fraction") << "12.5" << 0 << QStringLiteral("Please enter an integer.");
}

void StarListTest::fontSizeDialogBounds() {
    QFETCH(QString, typed);
    QFETCH(int, stored);
    QFETCH(QString, message);
    g_galaxy.listFontSize = 14;
    QVERIFY(!app_->noteTemplate->firstDocument());
    bool ran = false;
    runDialog([&] { QVERIFY(app_->mainFrame()->executeCommand(C::FontSizeDialog)); },
              [&](QDialog* dialog) {
                  QCOMPARE(dialog->windowTitle(), QStringLiteral("Dialog"));
                  auto* combo = dialog->findChild<QComboBox*>("1010");
                  QCOMPARE(combo->currentText(), QStringLiteral("14"));
                  combo->setEditText(typed);
                  button(dialog, QStringLiteral("OK"))->click();
                  QCOMPARE(dialog->isVisible(), stored == 0);
              },
              ran);
    QVERIFY(ran);
    QCOMPARE(g_galaxy.listFontSize, stored ? stored : 14);
    if (message.isEmpty()) {
        QVERIFY(prompter_->messages.empty());
    } else {
        QCOMPARE(prompter_->messages.size(), std::size_t(1));
        QCOMPARE(prompter_->messages.back().text, message);
    }
    // The list opens after the dialog, whichever way it closed.
    QVERIFY(app_->noteTemplate->firstDocument() && app_->noteTemplate->firstDocument()->firstView());
}

void StarListTest::helpDialogThenList() {
    bool ran = false;
    runDialog([&] { QVERIFY(app_->mainFrame()->executeCommand(C::StarInfoHelp)); },
              [&](QDialog* dialog) {
                  QCOMPARE(dialog->windowTitle(), QStringLiteral("About StarInfo"));
                  QStringList texts;
                  for (const QLabel* label : dialog->findChildren<QLabel*>()) texts << label->text();
                  QCOMPARE(texts, QStringList({"a) To highlight a star, click on the respective row",
                                               "b) To modify star information, double click on that row"}));
                  button(dialog, QStringLiteral("OK"))->click();
              },
              ran);
    QVERIFY(ran);
    QVERIFY(app_->noteTemplate->firstDocument()->firstView());
}

QTEST_MAIN(StarListTest)
#include "star_list_qtest.moc"
