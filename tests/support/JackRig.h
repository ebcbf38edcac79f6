#pragma once

#include "devices/midi/RtMidiBackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

// A private JACK server and the simulator on it, for the length of the run.
struct JackRig
{
    QProcess server;
    QProcess sim;
    bool ready = false;

    // period: frames per JACK cycle at 48 kHz; replies wait for the next cycle.
    explicit JackRig(int period = 512)
    {
        const QString jackd = QStandardPaths::findExecutable(QStringLiteral("jackd"));
        if (jackd.isEmpty())
            return;
        // Fixed per build tree: JACK keeps a registry entry for every server name that ever ran.
        const QString name = QStringLiteral("zorvik-bench-%1").arg(qHash(QCoreApplication::applicationFilePath()) % 10000);
        qputenv("JACK_DEFAULT_SERVER", name.toUtf8());
        qputenv("JACK_NO_AUDIO_RESERVATION", "1");
        server.start(jackd, {"-n", name, "-d", "dummy", "-r", "48000", "-p", QString::number(period)});
        if (!server.waitForStarted(5000))
            return;
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Ready when the simulator's port shows up; it ends at once while the server starts.
        RtMidiBackend ports(RtMidi::UNIX_JACK);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000 && !ready) {
            if (sim.state() == QProcess::NotRunning) {
                sim.start(QStringLiteral(ZORVIK_SIM_PATH), {"--jack", "--quiet"});
                sim.waitForStarted(3000);
            }
            sim.waitForFinished(100);   // also notices a simulator that ended
            ready = ports.outputNames().filter(QStringLiteral("Zorvik Simulator")).size() == 1;
        }
    }
    // How many messages the simulator has received so far.
    qint64 received()
    {
        QThread::msleep(300);   // let the last cycles through
        sim.readAll();
        sim.write("status\n");
        QElapsedTimer clock;
        clock.start();
        QByteArray line;
        while (clock.elapsed() < 3000 && !line.endsWith('\n')) {
            sim.waitForReadyRead(100);
            line += sim.readLine();
        }
        const QList<QByteArray> words = line.split(' ');
        return words.size() > 2 ? words.at(2).toLongLong() : -1;
    }

    ~JackRig()
    {
        // The simulator closes its clients when it quits; a server ending while it cleans up
        // after a killed one may fail to leave JACK's registry of servers (eight at most).
        sim.write("quit\n");
        sim.waitForFinished(3000);
        for (QProcess *p : {&sim, &server}) {
            p->terminate();
            if (!p->waitForFinished(3000)) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }
};

