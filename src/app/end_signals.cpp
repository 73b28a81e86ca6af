#include "app/end_signals.h"

#include <fcntl.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>

namespace {

constexpr std::array kEndSignals{SIGTERM, SIGINT, SIGHUP};
int pipeFds[2] = {-1, -1};  // read end, write end

// Runs in whatever thread the signal lands on: only async-signal-safe calls.
void OnEndSignal(int signal) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = write(pipeFds[1], &byte, 1);
    errno = saved;
}

void SetHandlers(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kEndSignals)
        sigaction(signal, &action, nullptr);
}

}  // namespace

CEndSignals::CEndSignals(QObject* parent) : QObject(parent) {
    if (pipeFds[0] >= 0 || pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;  // without the pipe the signals keep their default: the program ends at once
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CEndSignals::OnReadable);
    SetHandlers(OnEndSignal);
}

CEndSignals::~CEndSignals() {
    if (notifier_ == nullptr)
        return;
    // The handlers go before the pipe, so none writes to a closed (or reused) descriptor.
    SetHandlers(SIG_DFL);
    delete notifier_;
    close(pipeFds[0]);
    close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

void CEndSignals::OnReadable() {
    unsigned char byte = 0;
    while (read(pipeFds[0], &byte, 1) == 1)
        emit Requested(byte);
}
