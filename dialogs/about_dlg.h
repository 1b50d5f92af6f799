#pragma once

#include <QDialog>

// The About box: the program's icon, its line of name and version, two lines on
// what it is for, the information window's icon, and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
