// zorvik-sim: the simulated instrument on virtual MIDI ports, driven from the command line.
#include "devices/sim/VirtualPortSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSocketNotifier>
#include <QTextStream>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

int signalPipe[2] = {-1, -1};

// SIGINT and SIGTERM end the program through its event loop, so the ports close properly.
void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

// A whole number of at least `minimum` (or -1, "off", where that is allowed), or nothing.
std::optional<int> wholeNumber(const QString &text, int minimum, bool offAllowed)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || (value < minimum && !(offAllowed && value == -1)))
        return std::nullopt;
    return value;
}

// The words after a command as whole numbers, each within its range (low, high); nothing when
// there are more or fewer of them, or one is not such a number.
std::optional<QList<int>> commandNumbers(const QStringList &words, std::initializer_list<std::pair<int, int>> ranges)
{
    if (words.size() != qsizetype(ranges.size()) + 1)
        return std::nullopt;
    QList<int> values;
    qsizetype at = 1;
    for (const auto &[low, high] : ranges) {
        bool ok = false;
        const int value = words.at(at++).toInt(&ok);
        if (!ok || value < low || value > high)
            return std::nullopt;
        values.append(value);
    }
    return values;
}

} // namespace

int main(int argc, char **argv)
{
    // Started with standard input closed, descriptor 0 would go to the next file or socket
    // opened (a sound server's, say), and the command reader below would read from it.
    if (::fcntl(STDIN_FILENO, F_GETFD) == -1)
        ::open("/dev/null", O_RDONLY);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zorvik-sim"));

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral(
        "Simulated Zorvik instrument on virtual ports named \"Zorvik Simulator\".\n"
        "Commands on standard input: dump | note <key> <velocity> | cc <channel 1-16> <number> <value>\n"
        "  | bend <channel 1-16> <value -8192..8191, 0 the centre> | status | fault <name> <value> | quit\n"
        "(fault names as the options: delay, stop-after, drop-reply, garble-reply, unfinished-sysex,\n"
        " vanish-before-last 1|0; -1 turns a numbered fault off)\n"
        "It runs until quit, SIGINT or SIGTERM, also when standard input ends."));
    options.addHelpOption();
    const QCommandLineOption jack(QStringLiteral("jack"), QStringLiteral("Use JACK instead of ALSA."));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("Reply delay in ms (0 or more)."), QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption stopAfter(QStringLiteral("stop-after"), QStringLiteral("Stop answering after block k (0 or more)."), QStringLiteral("k"), QStringLiteral("-1"));
    const QCommandLineOption drop(QStringLiteral("drop-reply"), QStringLiteral("Never send the n-th reply of a transfer (1 or more)."), QStringLiteral("n"), QStringLiteral("-1"));
    const QCommandLineOption garble(QStringLiteral("garble-reply"), QStringLiteral("Garble the n-th reply of a transfer (1 or more)."), QStringLiteral("n"), QStringLiteral("-1"));
    const QCommandLineOption unfinished(QStringLiteral("unfinished-sysex"),
                                        QStringLiteral("Send a SysEx without its F7 before the n-th reply of a transfer (1 or more)."),
                                        QStringLiteral("n"), QStringLiteral("-1"));
    const QCommandLineOption vanish(QStringLiteral("vanish-before-last"),
                                    QStringLiteral("Close the ports when asking for the last block of a transfer."));
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("Print only ready, status and errors."));
    options.addOptions({jack, delay, stopAfter, drop, garble, unfinished, vanish, quiet});
    options.process(app);

    // The delay is a number of milliseconds; each fault is off (-1, its default) or a number
    // from its least sensible value.
    QTextStream err(stderr);
    VirtualPortSimulator sim;
    auto &faults = sim.simulator().faults;
    const struct
    {
        const QCommandLineOption &option;
        int minimum;
        bool offAllowed;
        int &target;
    } numbers[] = {{delay, 0, false, faults.replyDelayMs}, {stopAfter, 0, true, faults.stopAfterBlock},
                   {drop, 1, true, faults.dropReply}, {garble, 1, true, faults.garbleReply},
                   {unfinished, 1, true, faults.unfinishedSysEx}};
    for (const auto &number : numbers) {
        if (!options.isSet(number.option))
            continue;
        const auto value = wholeNumber(options.value(number.option), number.minimum, number.offAllowed);
        if (!value) {
            err << "zorvik-sim: --" << number.option.names().constFirst() << " takes a whole number from "
                << number.minimum << ", not \"" << options.value(number.option) << "\"\n\n"
                << options.helpText() << Qt::flush;
            return 1;
        }
        number.target = *value;
    }
    faults.vanishBeforeLast = options.isSet(vanish);
    // A fault set on standard input, by the name of its option: empty when set, else the usage
    // to refuse it with (an unknown name, a value the option would refuse). The switch takes 1
    // for on and 0 for off.
    const QString faultNames = QStringLiteral("delay, stop-after, drop-reply, garble-reply, unfinished-sysex, vanish-before-last");
    auto setFault = [&](const QStringList &words) -> QString {
        const QString name = words.size() > 1 ? words.at(1) : QString();
        if (name == vanish.names().constFirst()) {
            if (words.size() == 3 && (words.at(2) == QLatin1String("0") || words.at(2) == QLatin1String("1"))) {
                faults.vanishBeforeLast = words.at(2) == QLatin1String("1");
                return {};
            }
            return QStringLiteral("fault vanish-before-last 1|0 (on or off)");
        }
        for (const auto &number : numbers) {
            if (number.option.names().constFirst() != name)
                continue;
            const auto value = words.size() == 3 ? wholeNumber(words.at(2), number.minimum, number.offAllowed) : std::nullopt;
            if (value) {
                number.target = *value;
                return {};
            }
            return QStringLiteral("fault %1 N(%2 or more%3)")
                .arg(name)
                .arg(number.minimum)
                .arg(number.offAllowed ? QStringLiteral(", -1 off") : QString());
        }
        return QStringLiteral("fault NAME VALUE, NAME one of %1").arg(faultNames);
    };

    QString error;
    if (!sim.open(options.isSet(jack) ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA, &error)) {
        err << "zorvik-sim: cannot open the virtual ports: " << error << Qt::endl;
        return 2;
    }
    int exitCode = 0;
    QObject::connect(&sim, &VirtualPortSimulator::serverLost, &app, [&] {
        err << "zorvik-sim: the MIDI server has gone away; the ports are closed." << Qt::endl;
        exitCode = 3;
        app.quit();
    });

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        err << "zorvik-sim: cannot set up signal handling" << Qt::endl;
        return 2;
    }
    QSocketNotifier signalNotifier(signalPipe[1], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[1], &byte, 1);
        app.quit();
    });
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    QTextStream out(stdout);
    // One line per event, flushed at once: other programs (tests) read it as it comes.
    if (!options.isSet(quiet)) {
        QObject::connect(&sim, &VirtualPortSimulator::received, [&out](const QByteArray &m) {
            out << "recv " << m.toHex(' ').toUpper() << Qt::endl;
        });
        QObject::connect(&sim, &VirtualPortSimulator::sent, [&out](const QByteArray &m) {
            out << "sent " << m.toHex(' ').toUpper() << Qt::endl;
        });
        QObject::connect(&sim.simulator(), &InstrumentSimulator::happened, [&out](const QString &text) {
            out << "log " << text << Qt::endl;
        });
    }

    // Commands come on standard input. Its end (Ctrl+D, /dev/null, a closed pipe) ends only the
    // commands: the instrument runs until quit, SIGINT or SIGTERM.
    // A background job that reads its terminal gets an error instead of being stopped.
    std::signal(SIGTTIN, SIG_IGN);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    // One command a line, at most maxLine bytes: the bytes of a longer one are dropped up to
    // its newline, said once, so that endless input without a newline costs neither memory nor
    // time (only the bytes just read are searched for the newline).
    constexpr qsizetype maxLine = 4096;
    QByteArray pending;
    bool dropping = false;
    const auto run = [&](const QByteArray &line) {
        const QStringList words = QString::fromUtf8(line).simplified().split(' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            return;
        const QString command = words.first();
        const auto refuse = [&out, &words](const QString &usage) {
            out << "error usage: " << usage << ": " << words.join(' ') << Qt::endl;
        };
        if (command == QLatin1String("dump")) {
            if (words.size() == 1)
                sim.simulator().sendDump();
            else
                refuse(QStringLiteral("dump"));
        } else if (command == QLatin1String("note")) {
            if (const auto v = commandNumbers(words, {{0, 127}, {0, 127}}))
                sim.simulator().playNote(v->at(0), v->at(1));
            else
                refuse(QStringLiteral("note KEY(0-127) VELOCITY(0-127)"));
        } else if (command == QLatin1String("cc")) {
            if (const auto v = commandNumbers(words, {{1, 16}, {0, 127}, {0, 127}}))
                sim.simulator().controlChange(v->at(0), v->at(1), v->at(2));
            else
                refuse(QStringLiteral("cc CH(1-16) NUMBER(0-127) VALUE(0-127)"));
        } else if (command == QLatin1String("bend")) {
            if (const auto v = commandNumbers(words, {{1, 16}, {InstrumentSimulator::bendLowest,
                                                               InstrumentSimulator::bendHighest}}))
                sim.simulator().pitchBend(v->at(0), v->at(1));
            else
                refuse(QStringLiteral("bend CH(1-16) VALUE(-8192..8191, 0 the centre)"));
        } else if (command == QLatin1String("status")) {
            if (words.size() != 1) {
                refuse(QStringLiteral("status"));
                return;
            }
            const auto &t = sim.simulator().lastTransfer();
            out << "status received " << sim.receivedCount() << " transfer " << t.blocksReceived << '/'
                << t.blockCount << (t.complete ? " complete " : " open ") << t.image.size() << " bytes sha1 "
                << QCryptographicHash::hash(t.image, QCryptographicHash::Sha1).toHex() << Qt::endl;
        } else if (command == QLatin1String("fault")) {
            if (const QString usage = setFault(words); usage.isEmpty())
                out << "fault " << words.at(1) << ' ' << words.at(2) << Qt::endl;
            else
                refuse(usage);
        } else if (command == QLatin1String("quit")) {
            if (words.size() == 1)
                app.quit();
            else
                refuse(QStringLiteral("quit"));
        } else {
            out << "error unknown command: " << words.join(' ') << Qt::endl;
        }
    };
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        static char chunk[64 * 1024];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (n <= 0) {
            // The end of the commands is not the end of the instrument: a script's
            // "zorvik-sim --jack &" has no input at all. quit or a signal ends it.
            input.setEnabled(false);
            return;
        }
        const char *at = chunk;
        const char *const end = chunk + n;
        while (at < end) {
            const char *newline = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)));
            const char *stop = newline ? newline : end;
            if (!dropping) {
                pending.append(at, stop - at);
                if (pending.size() > maxLine) {
                    out << "error: line too long (more than " << maxLine << " bytes); it is dropped" << Qt::endl;
                    pending.clear();
                    pending.squeeze();
                    dropping = true;
                }
            }
            if (!newline)
                break;
            if (!dropping)
                run(pending);
            pending.clear();
            dropping = false;
            at = newline + 1;
        }
    });

    out << "ready" << Qt::endl;
    const int code = app.exec();
    return exitCode != 0 ? exitCode : code;
}
