// zorvik-sim: the simulated instrument on virtual MIDI ports, driven from the command line.
#include "sim/VirtualPortSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSocketNotifier>
#include <QTextStream>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
        "Commands on standard input: dump | note <key> <velocity> | status | quit"));
    options.addHelpOption();
    const QCommandLineOption jack(QStringLiteral("jack"), QStringLiteral("Use JACK instead of ALSA."));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("Reply delay in ms."), QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption stopAfter(QStringLiteral("stop-after"), QStringLiteral("Stop answering after block k."), QStringLiteral("k"), QStringLiteral("-1"));
    const QCommandLineOption drop(QStringLiteral("drop-reply"), QStringLiteral("Never send the n-th reply of a transfer."), QStringLiteral("n"), QStringLiteral("-1"));
    const QCommandLineOption garble(QStringLiteral("garble-reply"), QStringLiteral("Garble the n-th reply of a transfer."), QStringLiteral("n"), QStringLiteral("-1"));
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("Print only ready, status and errors."));
    options.addOptions({jack, delay, stopAfter, drop, garble, quiet});
    options.process(app);

    QTextStream out(stdout);
    VirtualPortSimulator sim;
    auto &faults = sim.simulator().faults;
    faults.replyDelayMs = options.value(delay).toInt();
    faults.stopAfterBlock = options.value(stopAfter).toInt();
    faults.dropReply = options.value(drop).toInt();
    faults.garbleReply = options.value(garble).toInt();

    QString error;
    if (!sim.open(options.isSet(jack) ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA, &error)) {
        QTextStream(stderr) << "zorvik-sim: cannot open the virtual ports: " << error << Qt::endl;
        return 2;
    }

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

    // Commands come on standard input. When it is a terminal or a pipe, its end ends the
    // program (Ctrl+D, or the program feeding it has gone). With no input to read (closed,
    // /dev/null, a file, a terminal it runs in the background of), it runs until it is stopped.
    struct stat inputKind {};
    const bool commandChannel = ::isatty(STDIN_FILENO)
                                || (::fstat(STDIN_FILENO, &inputKind) == 0
                                    && (S_ISFIFO(inputKind.st_mode) || S_ISSOCK(inputKind.st_mode)));
    // A background job that reads its terminal gets an error instead of being stopped.
    std::signal(SIGTTIN, SIG_IGN);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char chunk[512];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (n == 0 && commandChannel) {
            app.quit();
            return;
        }
        if (n <= 0) {
            input.setEnabled(false);   // no commands from here on; the ports stay
            return;
        }
        pending.append(chunk, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QStringList words = QString::fromUtf8(pending.left(end)).simplified().split(' ', Qt::SkipEmptyParts);
            pending.remove(0, end + 1);
            if (words.isEmpty())
                continue;
            const QString command = words.first();
            if (command == QLatin1String("dump")) {
                sim.simulator().sendDump();
            } else if (command == QLatin1String("note") && words.size() == 3) {
                sim.simulator().playNote(words.at(1).toInt(), words.at(2).toInt());
            } else if (command == QLatin1String("status")) {
                const auto &t = sim.simulator().lastTransfer();
                out << "status received " << sim.receivedCount() << " transfer " << t.blocksReceived
                    << '/' << t.blockCount << (t.complete ? " complete " : " open ") << t.image.size()
                    << " bytes sha1 "
                    << QCryptographicHash::hash(t.image, QCryptographicHash::Sha1).toHex() << Qt::endl;
            } else if (command == QLatin1String("quit")) {
                app.quit();
            } else {
                out << "error unknown command: " << words.join(' ') << Qt::endl;
            }
        }
    });

    out << "ready" << Qt::endl;
    return app.exec();
}
