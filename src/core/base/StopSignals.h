#pragma once

#include <QObject>

#include <csignal>
#include <initializer_list>
#include <vector>

class QSocketNotifier;

// Ctrl+C, SIGTERM and SIGHUP: the first one is reported through the event loop (interrupted()),
// so a command can stop between two messages, say how far it got and give its devices back (a
// USB instrument's link among them), and the editor can end as if closed; a second one ends the
// process at once, as the signal would have, removing what removeOnForcedStop() names. The
// handlers are in place while an instance lives; then the ones before are back. One instance at
// a time: a signal handler reaches only process-wide state, so there is one set of it.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    // watched: the signals stopped this way.
    explicit StopSignals(std::initializer_list<int> watched = {SIGINT, SIGTERM, SIGHUP});
    ~StopSignals() override;
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // The signal that came, 0 while none did.
    int received() const { return signalNumber; }
    // The shell's code for a process ended by `signal`: 130 for SIGINT, 143 for SIGTERM.
    static int exitCode(int signal) { return 128 + signal; }

    // A file the second signal removes as it ends the process (a save's temporary file, which
    // would otherwise be left beside the file it was to replace); empty for none. One at a time.
    static void removeOnForcedStop(const QString &path);

signals:
    void interrupted(int signal);

private:
    struct Handler
    {
        int signal;
        struct sigaction before;
    };

    std::vector<Handler> handlers;
    QSocketNotifier *notifier = nullptr;
    int signalNumber = 0;
};
