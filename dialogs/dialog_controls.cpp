#include "dialogs/dialog_controls.h"

#include <QComboBox>
#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <algorithm>

namespace {

// Qt's line edit keeps two pixels between its contents and its text on
// either side, and its cursor after the last character takes one more.
constexpr int kLineEditTextMargins = 2 * 2 + 1;

// The pixels of a line edit's width that its text cannot use.
int lineEditChrome(const QLineEdit* edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    const QMargins text = edit->textMargins();
    return option.rect.width() - contents.width() + text.left() + text.right() + kLineEditTextMargins;
}

// The pixels of an editable combo box's width that its line edit does not get.
int comboChrome(const QComboBox* combo) {
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = true;
    option.frame = combo->hasFrame();
    const QRect field =
        combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    return option.rect.width() - field.width();
}

}  // namespace

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

void fitNumberFields(QDialog* dialog, const QList<QWidget*>& fields, const QString& widest, int margin) {
    int right = 0;
    for (const QWidget* field : fields) {
        const auto* combo = qobject_cast<const QComboBox*>(field);
        const QLineEdit* edit = combo ? combo->lineEdit() : static_cast<const QLineEdit*>(field);
        const int needed =
            field->fontMetrics().horizontalAdvance(widest) + lineEditChrome(edit) + (combo ? comboChrome(combo) : 0);
        right = std::max(right, field->x() + std::max(field->width(), needed));
    }
    for (QWidget* field : fields) field->resize(right - field->x(), field->height());
    if (right + margin > dialog->width()) dialog->setFixedWidth(right + margin);
}
