#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGHUP (a logout, a closed terminal, `kill`) into a Qt signal on the window's
// thread, so that the window can keep unsaved blocks before the program ends. The handler only
// writes the signal's number to a pipe; a second such signal ends the program at once, as if
// nothing had been watching, in case the window cannot answer.
class CTerminationWatch : public QObject {
    Q_OBJECT

public:
    explicit CTerminationWatch(QObject* parent = nullptr);
    ~CTerminationWatch() override;

signals:
    void Terminating(int signalNumber);

private:
    void Read();

    QSocketNotifier* m_notifier = nullptr;
};
