#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QtTest>

// Answers every message box that comes up while it lives with OK, and keeps what each one said.
class CBoxWatcher {
public:
    CBoxWatcher() {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr && box->isVisible()) {
                titles << box->windowTitle();
                texts << box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        m_poll.start(5);
    }
    QStringList titles;
    QStringList texts;

private:
    QTimer m_poll;
};
