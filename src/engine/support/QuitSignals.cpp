#include "support/QuitSignals.h"

#include "support/FileIO.h"
#include "support/Log.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int pipeFDs[2] = {-1, -1};

void onSignal(int signal) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] ssize_t ignored = ::write(pipeFDs[1], &byte, 1);
    errno = saved;
}

void report(const char* what) {
    Log::line(QStringLiteral("Vorlix Agents: %1 failed (%2); SIGINT and SIGTERM will not remove the socket file")
                  .arg(QLatin1String(what), FileIO::errorText(errno)));
}
} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    if (pipeFDs[0] < 0 && ::pipe2(pipeFDs, O_CLOEXEC | O_NONBLOCK) != 0) {
        report("pipe2");
        pipeFDs[0] = pipeFDs[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(pipeFDs[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(pipeFDs[0], &byte, 1) == 1)
            emit received(byte);
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM}) {
        if (::sigaction(signal, &action, nullptr) != 0)
            report("sigaction");
    }
}

QuitSignals::~QuitSignals() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}
