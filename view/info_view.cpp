#include "view/info_view.h"

#include <QElapsedTimer>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>
#include <algorithm>
#include <cmath>

#include "model/galaxy.h"
#include "model/number_text.h"
#include "physics/methods.h"
#include "platform/child_frame.h"
#include "platform/mdi_frame.h"

namespace {

// The report was laid out for lines formatted into 80-character buffers.
constexpr std::size_t kMaxLineLength = 79;

const QColor kWhite(255, 255, 255);
const QColor kInactiveTab(170, 190, 190);

// "%7.2e"
std::string exponent(double value) {
    std::string text = numberText(value, std::chars_format::scientific, 2);
    if (text.size() < 7) text.insert(0, 7 - text.size(), ' ');
    return text;
}

// "%lf"
std::string fixed(double value) { return numberText(value, std::chars_format::fixed, 6); }

// A unit name of the scale in force; a scale without names has none.
const std::string& unitName(const CGalaxy::NameTable& table, int scale) {
    static const std::string none;
    return scale >= 0 && scale < static_cast<int>(table.size()) ? table[static_cast<std::size_t>(scale)] : none;
}

const char* shapeLine(int shape) {
    switch (shape) {
    case GalaxyShape::Sphere: return " Galaxy Shape: Sphere";
    case GalaxyShape::Disc: return " Galaxy Shape: Disc";
    case GalaxyShape::Cube: return " Galaxy Shape: Cube";
    case GalaxyShape::Grid2D: return " Galaxy Shape: 2D Grid";
    case GalaxyShape::Grid3D: return " Galaxy Shape: 3D Grid";
    case GalaxyShape::Rings: return " Galaxy Shape: Rings";
    default: return nullptr;
    }
}

const char* forceLine(int forceMethod, int integrationMethod) {
    // Dynamic Euler sums its pairs itself, whatever force method is chosen.
    if (integrationMethod == IntegrationMethod::DynamicEuler) return " Force Method: Direct";
    switch (forceMethod) {
    case ForceMethod::Direct: return " Force Method: Direct";
    case ForceMethod::BarnesHut: return " Force Method: Barnes-Hut";
    case ForceMethod::ParticleMesh: return " Force Method: Particle-Mesh";
    default: return nullptr;
    }
}

const char* integrationLine(int integrationMethod) {
    switch (integrationMethod) {
    case IntegrationMethod::Euler: return " Integration: Euler";
    case IntegrationMethod::ImprovedEuler: return " Integration: Improved Euler";
    case IntegrationMethod::RungeKutta4: return " Integration: Runge Kutta 4";
    case IntegrationMethod::AdamsMoulton: return " Integration: Adams-Moulton";
    case IntegrationMethod::DynamicEuler: return " Integration: Dynamic Euler";
    case IntegrationMethod::Leapfrog: return " Integration: Leapfrog";
    default: return nullptr;
    }
}

const char* potentialOrigin(int source) {
    switch (source) {
    case PotentialSource::Tree: return "the tree walk";
    case PotentialSource::Mesh: return "the grid cells";
    default: return "all pairs (exact)";
    }
}

class LineList {
public:
    void add(int x, int y, std::string text) {
        if (text.size() > kMaxLineLength) text.resize(kMaxLineLength);
        lines_.push_back({x, y, std::move(text)});
    }
    // A setting outside its known range has no line.
    void add(int x, int y, const char* text) {
        if (text) add(x, y, std::string(text));
    }
    std::vector<ReportLine> take() { return std::move(lines_); }

private:
    std::vector<ReportLine> lines_;
};

// The report's face at the cell the layout was made for: 12 pixels from the
// top of the tallest glyph to the bottom of the lowest, characters 6 pixels
// wide on average. "Times" is often missing; the serif hint then picks the
// closest face there is.
QFont reportFont() {
    constexpr int kCellHeight = 12;
    constexpr int kAverageWidth = 6;
    QFont font(QStringLiteral("Times"));
    font.setStyleHint(QFont::Serif, QFont::PreferQuality);
    font.setWeight(QFont::Normal);
    int pixelSize = kCellHeight;
    font.setPixelSize(pixelSize);
    while (pixelSize > 1 && QFontMetrics(font).height() > kCellHeight) font.setPixelSize(--pixelSize);
    const int average = QFontMetrics(font).averageCharWidth();
    if (average > 0)
        font.setStretch(std::clamp(static_cast<int>(std::lround(100.0 * kAverageWidth / average)), 1, 4000));
    return font;
}

// Fills a rectangle and leaves its colour as the text background, so that a
// title written next stands on its tab's colour.
void fillSolid(QPainter& painter, int x, int y, int w, int h, const QColor& colour) {
    painter.fillRect(x, y, w, h, colour);
    painter.setBackground(colour);
}

// Text with its cell's top-left corner at (x, y), on the current background.
void textOut(QPainter& painter, int x, int y, const QString& text) {
    painter.drawText(x, y + painter.fontMetrics().ascent(), text);
}

}  // namespace

std::vector<ReportLine> infoReportLines(const CGalaxy& g, int page) {
    LineList lines;
    if (page == 0) {
        lines.add(10, 33, " Time:  " + exponent(g.time));
        lines.add(230, 33, " Time Unit:  " + unitName(g.timeUnitName, g.scale));
        lines.add(10, 47, " Box Edge Length:  " + fixed(g.boxSize));
        lines.add(230, 47, " Length Unit:  " + unitName(g.lengthUnitName, g.scale));
        lines.add(10, 61, " Total Mass:  " + exponent(g.totalMass));
        lines.add(230, 61, " Mass Unit:  " + unitName(g.massUnitName, g.scale));
        lines.add(10, 89, " Number of Stars: " + std::to_string(g.numStars));
        lines.add(230, 89, shapeLine(g.shape));
        lines.add(10, 103, forceLine(g.forceMethod, g.integrationMethod));
        lines.add(230, 103, integrationLine(g.integrationMethod));
        // Lines of what Zyr adds to the original's gravity, only where it is
        // in use, so the original's report stays as it was.
        if (const std::string text = treeOpeningText(g); !text.empty()) lines.add(10, 75, " " + text);
        if (const std::string text = softeningText(g); !text.empty()) lines.add(10, 117, " " + text);
        if (const int tests = testStarCount(g); tests > 0) lines.add(230, 117, " Test Stars: " + std::to_string(tests));
        lines.add(10, 131, " Time Step:  " + exponent(g.timeStep));
        lines.add(230, 131, " Iter/sec " + exponent(g.itersPerSecond));
        if (!g.modelNote.empty()) lines.add(10, 145, " Model: " + g.modelNote);
    } else {
        lines.add(10, 33, " Total Energy:  " + exponent(g.totalEnergy));
        lines.add(230, 33, " Energy Unit:  " + unitName(g.energyUnitName, g.scale));
        lines.add(10, 47, " Kinetic Energy:  " + exponent(g.kineticEnergy));
        lines.add(230, 47, " Momentum Unit:  " + unitName(g.momentumUnitName, g.scale));
        lines.add(10, 61, " Potential Energy:  " + exponent(g.potentialEnergy));
        lines.add(230, 61, " Length Unit:  " + unitName(g.lengthUnitName, g.scale));
        lines.add(10, 89, " X Momentum:  " + exponent(g.momentumX));
        lines.add(230, 89, " X Center of Mass:  " + exponent(g.centerX));
        lines.add(10, 103, " Y Momentum:  " + exponent(g.momentumY));
        lines.add(230, 103, " Y Center of Mass:  " + exponent(g.centerY));
        lines.add(10, 117, " Z Momentum:  " + exponent(g.momentumZ));
        lines.add(230, 117, " Z Center of Mass:  " + exponent(g.centerZ));
        // Tree and grid runs say where their potential comes from; a
        // direct run's is the exact one, as it always was.
        if (g.forceMethod != ForceMethod::Direct && g.integrationMethod != IntegrationMethod::DynamicEuler)
            lines.add(10, 131, std::string(" Potential from ") + potentialOrigin(g.potentialSource));
    }
    return lines.take();
}

QSize CInfoView::sizeHint() const { return {490, 170}; }

void CInfoView::bookkeepingWithProgress() {
    // The pass over all pairs of a large galaxy takes seconds; past half a
    // second the status bar tells how far it has come.
    QStatusBar* status = parentFrame() && parentFrame()->mainFrame() ? parentFrame()->mainFrame()->statusBar() : nullptr;
    QElapsedTimer clock;
    clock.start();
    bool shown = false;
    g_galaxy.bookkeeping([&](double share) {
        if (!status || clock.elapsed() < 500) return;
        status->showMessage(QStringLiteral("Exact energy: %1%").arg(static_cast<int>(share * 100)));
        status->repaint();
        shown = true;
    });
    if (shown) status->clearMessage();
}

void CInfoView::OnUpdate() {
    bookkeepingWithProgress();
    View::OnUpdate();
}

void CInfoView::RedrawNow() {
    // As a paint would, only when there is something to paint on.
    if (!isVisible()) return;
    bookkeepingWithProgress();
    View::RedrawNow();
}

void CInfoView::OnDraw(QPainter& target) {
    QImage image(size(), QImage::Format_RGB32);
    if (image.isNull()) return;
    QPainter dc(&image);
    dc.fillRect(image.rect(), kWhite);

    dc.setPen(Qt::black);
    static constexpr int kOutline[][4] = {
        {5, 20, 10, 20},   {230, 20, 480, 20}, {480, 20, 480, 160}, {480, 160, 5, 160}, {5, 160, 5, 20},
        {10, 20, 10, 2},   {10, 2, 230, 2},    {230, 2, 230, 20},   {230, 3, 470, 3},   {470, 3, 470, 20},
    };
    for (const auto& l : kOutline) dc.drawLine(l[0], l[1], l[2], l[3]);

    dc.setFont(reportFont());
    dc.setBackgroundMode(Qt::OpaqueMode);

    if (page == 0) {
        fillSolid(dc, 11, 4, 219, 17, kWhite);
        textOut(dc, 80, 3, QStringLiteral("Model"));
        fillSolid(dc, 231, 4, 238, 16, kInactiveTab);
        textOut(dc, 300, 4, QStringLiteral("Position/Energy"));
        dc.drawLine(230, 20, 470, 20);
    } else {
        // The white tab also covers the body's top line under it, opening the tab.
        fillSolid(dc, 231, 4, 239, 17, kWhite);
        textOut(dc, 300, 4, QStringLiteral("Position/Energy"));
        fillSolid(dc, 11, 3, 219, 17, kInactiveTab);
        textOut(dc, 80, 3, QStringLiteral("Model"));
        dc.drawLine(10, 20, 230, 20);
    }
    dc.setBackground(kWhite);
    for (const ReportLine& line : infoReportLines(g_galaxy, page))
        textOut(dc, line.x, line.y, QString::fromStdString(line.text));
    dc.end();

    target.drawImage(0, 0, image);
}

void CInfoView::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (p.y() >= 2 && p.y() <= 20) {
        // The Model tab shows from the next repaint on; the other tab at once.
        if (p.x() > 10 && p.x() < 230) {
            page = 0;
        } else if (p.x() > 230 && p.x() < 470) {
            page = 1;
            RedrawNow();
        }
    }
    // Passed on, so that a click activates the window as on any child window.
    View::mousePressEvent(event);
}
