// zorvik-sim: the simulated instrument on virtual MIDI ports, driven from the command line.
#include "sim/VirtualPortSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSocketNotifier>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zorvik-sim"));

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral(
        "Simulated Zorvik instrument on virtual ports named \"Zorvik Simulator\".\n"
        "Commands on standard input: dump | note <key> <velocity> | status | fault <name> <value> | quit\n"
        "(fault names as the options: delay, stop-after, drop-reply, garble-reply, unfinished-sysex, vanish-before-last)"));
    options.addHelpOption();
    const QCommandLineOption jack(QStringLiteral("jack"), QStringLiteral("Use JACK instead of ALSA."));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("Reply delay in ms."), QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption stopAfter(QStringLiteral("stop-after"), QStringLiteral("Stop answering after block k."), QStringLiteral("k"), QStringLiteral("-1"));
    const QCommandLineOption drop(QStringLiteral("drop-reply"), QStringLiteral("Never send the n-th reply of a transfer."), QStringLiteral("n"), QStringLiteral("-1"));
    const QCommandLineOption garble(QStringLiteral("garble-reply"), QStringLiteral("Garble the n-th reply of a transfer."), QStringLiteral("n"), QStringLiteral("-1"));
    const QCommandLineOption unfinished(QStringLiteral("unfinished-sysex"),
                                        QStringLiteral("Send a SysEx without its F7 before the n-th reply of a transfer."),
                                        QStringLiteral("n"), QStringLiteral("-1"));
    const QCommandLineOption vanish(QStringLiteral("vanish-before-last"),
                                    QStringLiteral("Close the ports when asking for the last block of a transfer."));
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("Print only ready, status and errors."));
    options.addOptions({jack, delay, stopAfter, drop, garble, unfinished, vanish, quiet});
    options.process(app);

    QTextStream out(stdout);
    VirtualPortSimulator sim;
    auto &faults = sim.simulator().faults;
    // Sets a fault by the name of its option; false for an unknown name.
    auto setFault = [&faults](const QString &name, const QString &value) {
        const int n = value.toInt();
        if (name == QLatin1String("delay"))
            faults.replyDelayMs = n;
        else if (name == QLatin1String("stop-after"))
            faults.stopAfterBlock = n;
        else if (name == QLatin1String("drop-reply"))
            faults.dropReply = n;
        else if (name == QLatin1String("garble-reply"))
            faults.garbleReply = n;
        else if (name == QLatin1String("unfinished-sysex"))
            faults.unfinishedSysEx = n;
        else if (name == QLatin1String("vanish-before-last"))
            faults.vanishBeforeLast = n != 0;
        else
            return false;
        return true;
    };
    for (const QCommandLineOption *option : {&delay, &stopAfter, &drop, &garble, &unfinished})
        setFault(option->names().first(), options.value(*option));
    faults.vanishBeforeLast = options.isSet(vanish);

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

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char chunk[512];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            app.quit();   // end of input ends the program
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
            } else if (command == QLatin1String("fault") && words.size() == 3 && setFault(words.at(1), words.at(2))) {
                out << "fault " << words.at(1) << ' ' << words.at(2) << Qt::endl;
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
