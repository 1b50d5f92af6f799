#pragma once

#include <QDialog>

// Chooses the star list's text size. Sizes the list cannot be drawn at are
// refused with a message, and the dialog stays open.
class CFontSizeDlg : public QDialog {
    Q_OBJECT
public:
    enum : int { IdFontSize = 1010 };

    explicit CFontSizeDlg(QWidget* parent = nullptr);

    QWidget* control(int id) const;

    void accept() override;

    int fontSize;
};
