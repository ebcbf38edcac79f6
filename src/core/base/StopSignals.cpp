#include "core/base/StopSignals.h"

#include <QFile>
#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A signal handler can only reach state of the process; this is it.
int wakeUp[2] = {-1, -1};
std::atomic_int signalsSeen{0};
// What the second signal removes: a fixed buffer, as a handler may not allocate; the flag says
// whether it holds a whole path.
char forcedStopFile[4096];
std::atomic_bool forcedStopFileSet{false};

void onSignal(int signal)
{
    if (signalsSeen.fetch_add(1) > 0) {
        // The second one: the user insists.
        if (forcedStopFileSet)
            ::unlink(forcedStopFile);
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(wakeUp[0], &byte, 1);
}

} // namespace

void StopSignals::removeOnForcedStop(const QString &path)
{
    forcedStopFileSet = false;
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || name.size() >= qsizetype(sizeof forcedStopFile))
        return;
    std::memcpy(forcedStopFile, name.constData(), size_t(name.size()) + 1);
    forcedStopFileSet = true;
}

StopSignals::StopSignals(std::initializer_list<int> watched)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, wakeUp) != 0)
        return;
    signalsSeen = 0;
    notifier = new QSocketNotifier(wakeUp[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(wakeUp[1], &byte, 1) == 1 && signalNumber == 0) {
            signalNumber = byte;
            emit interrupted(signalNumber);
        }
    });
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : watched) {
        Handler handler{signal, {}};
        if (sigaction(signal, &action, &handler.before) == 0)
            handlers.push_back(handler);
    }
}

StopSignals::~StopSignals()
{
    for (const Handler &handler : handlers)
        sigaction(handler.signal, &handler.before, nullptr);
    delete notifier;
    for (int &fd : wakeUp) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}
