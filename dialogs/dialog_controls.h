#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class QComboBox;
class QDialog;
class QLabel;
class QWidget;

// Controls of the settings dialogs, made the way the dialog templates describe
// them. Each control is named by its numeric id, so that it can be found again
// with findChild<...>(QString::number(id)).

enum class ComboKind {
    DropDownList,  // choose an entry only
    DropDown,      // an entry or any typed text
};

// One labelled combo box of a dialog template.
struct ComboRow {
    const char* label;
    int id;
    ComboKind kind;
    QStringList entries;
};

// Entries appear in the order given; sort them first for a sorted list. An
// editable box neither inserts what is typed (Qt would add it on Return) nor
// completes it from the entries (typing "5" must not become "512").
QComboBox* makeComboBox(QWidget* parent, int id, ComboKind kind, const QStringList& entries, const QRect& geometry);

QLabel* makeStaticText(QWidget* parent, const QString& text, const QRect& geometry);

// A heading drawn by the program in place of a bitmap: the title in white bold
// letters on dark blue, of the bitmap's size in pixels.
QLabel* makeHeadingPicture(QWidget* parent, int id, const QString& title, QSize pixels, bool sunkenFrame);

// The widest text a number field of the settings dialogs is made to show: a
// setting of a million, in six decimals.
inline constexpr char kWidestSetting[] = "1000000.000000";

// Widens number fields (line edits and editable combo boxes) to the right,
// so that a text as wide as widest shows whole instead of scrolling its front
// out of sight. They keep one right edge, that of the widest field when it is
// wide enough already. The dialog grows with them where they would reach into
// its right margin, in pixels.
void fitNumberFields(QDialog* dialog, const QList<QWidget*>& fields, const QString& widest, int margin);
