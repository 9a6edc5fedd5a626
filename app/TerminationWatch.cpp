#include "app/TerminationWatch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>

namespace {

// The write end is read by the handler: one watch per process.
int s_pipe[2] = {-1, -1};
constexpr std::array<int, 2> kWatched = {SIGTERM, SIGHUP};

void OnSignal(int number) {
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = write(s_pipe[1], &byte, 1);
}

}  // namespace

CTerminationWatch::CTerminationWatch(QObject* parent) : QObject(parent) {
    if (s_pipe[0] >= 0 || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_pipe) != 0) {
        return;
    }
    fcntl(s_pipe[1], F_SETFL, O_NONBLOCK);
    m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CTerminationWatch::Read);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int number : kWatched) {
        sigaction(number, &action, nullptr);
    }
}

CTerminationWatch::~CTerminationWatch() {
    if (m_notifier == nullptr) {
        return;
    }
    for (const int number : kWatched) {
        signal(number, SIG_DFL);
    }
    close(s_pipe[0]);
    close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}

void CTerminationWatch::Read() {
    unsigned char number = 0;
    if (read(s_pipe[0], &number, 1) == 1) {
        emit Terminating(number);
    }
}
