#pragma once

#include <QRect>

class QDialog;
class QPushButton;

// The OK button of a dialog (the default button, closing it with accept) and
// its Cancel button (closing it with reject), at the given place.
QPushButton* addOkButton(QDialog* dialog, const QRect& geometry);
QPushButton* addCancelButton(QDialog* dialog, const QRect& geometry);
