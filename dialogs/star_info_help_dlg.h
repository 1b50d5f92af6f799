#pragma once

#include <QDialog>

// How to use the star list, in two lines.
class CStarInfoHelpDlg : public QDialog {
    Q_OBJECT
public:
    explicit CStarInfoHelpDlg(QWidget* parent = nullptr);
};
