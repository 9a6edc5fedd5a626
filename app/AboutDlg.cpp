#include "app/AboutDlg.h"

#include <QPushButton>

#include "app/DialogBuilder.h"
#include "app/LoaderResources.h"
#include "res/DialogTemplates.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    LoadTapewiseResources();
    CDialogBuilder(AboutTemplate()).Build(this);
    if (auto* ok = qobject_cast<QPushButton*>(DialogItem(this, QDialog::Accepted))) {
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
}
