#include "app/signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QtGlobal>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

int pipeFds[2] = {-1, -1};
struct sigaction previous[kSignals.size()];

void OnSignal(int) {
    int saved = errno;
    const char byte = 1;
    // A full pipe already holds a pending wake-up, so a failed write loses nothing.
    ssize_t ignored = write(pipeFds[1], &byte, 1);
    (void)ignored;
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        // The program still works; only a signal then ends it without flushing the log.
        qWarning("termination signals not handled: pipe2: %s", std::strerror(errno));
        pipeFds[0] = pipeFds[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::Drain);

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // the GUI thread's system calls carry on after the byte
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &previous[i]);
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_) return;
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &previous[i], nullptr);
    delete notifier_;
    notifier_ = nullptr;
    close(pipeFds[0]);
    close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

void TerminationSignals::Drain() {
    char bytes[64];
    while (read(pipeFds[0], bytes, sizeof bytes) > 0) {
    }
    if (onSignal_) onSignal_();
}
