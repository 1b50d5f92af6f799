#include "dialogs/dialog_controls.h"

#include <QComboBox>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

QComboBox* makeComboBox(QWidget* parent, int id, ComboKind kind, const QStringList& entries, const QRect& geometry) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::number(id));
    if (kind == ComboKind::DropDown) {
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
    }
    combo->addItems(entries);
    combo->setGeometry(geometry);
    return combo;
}

QLabel* makeStaticText(QWidget* parent, const QString& text, const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setGeometry(geometry);
    return label;
}

QLabel* makeHeadingPicture(QWidget* parent, int id, const QString& title, QSize pixels, bool sunkenFrame) {
    QPixmap picture(pixels);
    picture.fill(QColor(0, 0, 128));
    {
        QPainter painter(&picture);
        QFont font = painter.font();
        font.setBold(true);
        // As large as the height allows, smaller where the title is too wide.
        for (int size = pixels.height() * 2 / 3; size > 6; --size) {
            font.setPixelSize(size);
            if (QFontMetrics(font).horizontalAdvance(title) <= pixels.width() - 6) break;
        }
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(picture.rect(), Qt::AlignCenter, title);
    }
    auto* label = new QLabel(parent);
    label->setObjectName(QString::number(id));
    label->setPixmap(picture);
    label->setAccessibleName(title);
    if (sunkenFrame) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    const int frame = sunkenFrame ? 2 * label->frameWidth() : 0;
    label->setFixedSize(pixels.width() + frame, pixels.height() + frame);
    return label;
}
