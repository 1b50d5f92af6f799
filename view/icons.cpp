#include "view/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>
#include <numbers>

#include "platform/framework_ids.h"

namespace {

constexpr QSize kButtonSize(16, 15);
constexpr int kIconSide = 32;

QIcon drawn(QSize size, const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    draw(painter);
    painter.end();
    return QIcon(pixmap);
}

// A sheet of paper with a folded upper right corner.
void page(QPainter& p, int x, int y, int w, int h) {
    const QPolygon outline({{x, y}, {x + w - 4, y}, {x + w, y + 4}, {x + w, y + h}, {x, y + h}});
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawPolygon(outline);
    p.drawLine(x + w - 4, y, x + w - 4, y + 4);
    p.drawLine(x + w - 4, y + 4, x + w, y + 4);
}

void newButton(QPainter& p) { page(p, 3, 1, 10, 13); }

void openButton(QPainter& p) {
    p.setPen(Qt::black);
    p.setBrush(QColor(230, 190, 60));
    p.drawPolygon(QPolygon({{1, 4}, {5, 4}, {6, 5}, {12, 5}, {12, 13}, {1, 13}}));
    p.setBrush(QColor(250, 220, 110));
    p.drawPolygon(QPolygon({{3, 8}, {15, 8}, {12, 13}, {1, 13}}));
}

void saveButton(QPainter& p) {
    p.setPen(Qt::black);
    p.setBrush(QColor(40, 70, 160));
    p.drawRect(1, 1, 13, 13);
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 5);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(4, 9, 7, 5);
}

void cutButton(QPainter& p) {
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(5, 1, 10, 9);
    p.drawLine(10, 1, 5, 9);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(2, 9, 4, 4);
    p.drawEllipse(9, 9, 4, 4);
}

void copyButton(QPainter& p) {
    page(p, 1, 1, 8, 10);
    page(p, 6, 4, 8, 10);
}

void pasteButton(QPainter& p) {
    p.setPen(Qt::black);
    p.setBrush(QColor(150, 100, 50));
    p.drawRect(1, 2, 10, 12);
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(4, 1, 4, 2);
    page(p, 6, 5, 8, 9);
}

void printButton(QPainter& p) {
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 8, 6);
    p.setBrush(QColor(180, 180, 180));
    p.drawRect(1, 6, 14, 6);
    p.setBrush(Qt::white);
    p.drawRect(4, 10, 8, 4);
}

void aboutButton(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 90, 200));
    p.drawEllipse(1, 0, 14, 14);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(1, 0, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
}

}  // namespace

QIcon toolBarIcon(int commandId) {
    switch (commandId) {
    case FrameworkId::FileNew:
        return drawn(kButtonSize, newButton);
    case FrameworkId::FileOpen:
        return drawn(kButtonSize, openButton);
    case FrameworkId::FileSave:
        return drawn(kButtonSize, saveButton);
    case FrameworkId::EditCut:
        return drawn(kButtonSize, cutButton);
    case FrameworkId::EditCopy:
        return drawn(kButtonSize, copyButton);
    case FrameworkId::EditPaste:
        return drawn(kButtonSize, pasteButton);
    case FrameworkId::FilePrint:
        return drawn(kButtonSize, printButton);
    case FrameworkId::AppAbout:
        return drawn(kButtonSize, aboutButton);
    default:
        return {};
    }
}

QIcon applicationIcon() {
    // A small spiral galaxy on the night sky.
    return drawn({kIconSide, kIconSide}, [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(10, 10, 40));
        p.drawRoundedRect(0, 0, kIconSide, kIconSide, 4, 4);
        const QPointF centre(kIconSide / 2.0, kIconSide / 2.0);
        for (int arm = 0; arm < 2; ++arm) {
            for (int k = 0; k < 24; ++k) {
                const double t = k / 24.0;
                const double angle = arm * std::numbers::pi + t * 3.0 * std::numbers::pi;
                const double radius = 2.0 + t * 12.0;
                const QPointF star = centre + QPointF(std::cos(angle) * radius, std::sin(angle) * radius * 0.7);
                p.setBrush(QColor::fromHsv(200 + static_cast<int>(t * 40.0), 60, 255));
                p.drawEllipse(star, 1.1, 1.1);
            }
        }
        p.setBrush(QColor(255, 240, 200));
        p.drawEllipse(centre, 3.0, 2.5);
    });
}

QIcon infoIcon() {
    return drawn({kIconSide, kIconSide}, [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(20, 60, 150), 2));
        p.setBrush(QColor(220, 235, 255));
        p.drawEllipse(2, 2, kIconSide - 4, kIconSide - 4);
        QFont font(QStringLiteral("serif"));
        font.setBold(true);
        font.setPixelSize(22);
        p.setFont(font);
        p.drawText(QRect(0, 0, kIconSide, kIconSide), Qt::AlignCenter, QStringLiteral("i"));
    });
}

QIcon listIcon() {
    return drawn({kIconSide, kIconSide}, [](QPainter& p) {
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawRect(4, 2, kIconSide - 9, kIconSide - 5);
        p.setPen(QColor(60, 60, 60));
        for (int y = 7; y < kIconSide - 5; y += 4) p.drawLine(8, y, kIconSide - 9, y);
    });
}
