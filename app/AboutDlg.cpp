#include "app/AboutDlg.h"

#include <QPushButton>

#include "app/LoaderResources.h"
#include "res/DialogTemplates.h"
#include "ui/DialogBuilder.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    LoadTapewiseResources();
    CDialogBuilder(AboutTemplate()).Build(this);
    if (auto* ok = qobject_cast<QPushButton*>(DialogItem(this, QDialog::Accepted))) {
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
}
