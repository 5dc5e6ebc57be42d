#include "quitsignals.h"

#include "logcategories.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The pipe's two ends; the handler only ever writes to the second.
int pipeEnds[2] = {-1, -1};

void defaultActions()
{
    for (const int signal : QuitSignals::handled())
        std::signal(signal, SIG_DFL);
}

extern "C" void onQuitSignal(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a request to quit.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

} // namespace

const QList<int>& QuitSignals::handled()
{
    static const QList<int> quitting{SIGTERM, SIGINT, SIGHUP};
    return quitting;
}

QuitSignals::QuitSignals(QObject* parent) : QObject(parent)
{
    if (pipeEnds[0] >= 0) {
        qCWarning(lcApp) << "the quit signals are already taken";
        return;
    }
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcApp) << "no pipe for the quit signals:" << std::strerror(errno);
        pipeEnds[0] = pipeEnds[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::readPipe);

    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted calls carry on: the quit happens in the event loop, not in the middle
    // of a write.
    action.sa_flags = SA_RESTART;
    for (const int signal : handled()) {
        if (::sigaction(signal, &action, nullptr) != 0)
            qCWarning(lcApp) << "couldn't handle signal" << signal << std::strerror(errno);
    }
}

QuitSignals::~QuitSignals()
{
    if (!notifier_)
        return;
    defaultActions();
    delete notifier_;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void QuitSignals::readPipe()
{
    unsigned char byte = 0;
    int signal = 0;
    while (::read(pipeEnds[0], &byte, 1) == 1) {
        if (signal == 0)
            signal = byte;
    }
    if (signal == 0)
        return;
    defaultActions();
    qCInfo(lcApp) << "signal" << signal << "received; quitting";
    emit received(signal);
}
