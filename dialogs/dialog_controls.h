#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class QComboBox;
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
