#pragma once

#include <QDialog>

// The About box: the program icon, its name and "Version 1.01"; OK, Escape and the close box all
// simply close it.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent);
};
