#pragma once

#include <QDialog>

// Help > Tapewise Manual (F1): a short manual in a window of its own, beside the main window.
class CManualDlg : public QDialog {
    Q_OBJECT

public:
    explicit CManualDlg(QWidget* parent = nullptr);

    // The manual's text, as rich text.
    static const char* Text();
};
