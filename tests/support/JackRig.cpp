#include "support/JackRig.h"

#include "devices/midi/RtMidiBackend.h"
#ifdef ZORVIK_HAVE_JACK
#include "devices/midi/JackBackend.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#endif

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <sys/types.h>

namespace {

constexpr int startLimitMs = 10000;

// A test may have left the process stopped (SIGSTOP): it must run to hear that it should end.
void resume(const QProcess &process)
{
    if (process.state() != QProcess::NotRunning)
        ::kill(pid_t(process.processId()), SIGCONT);
}

// True when the process ended when asked, false when it had to be killed.
bool end(QProcess &process, int ms)
{
    if (process.state() == QProcess::NotRunning)
        return true;
    resume(process);
    process.terminate();
    if (process.waitForFinished(ms))
        return true;
    process.kill();
    process.waitForFinished(3000);
    return false;
}

} // namespace

#ifdef ZORVIK_HAVE_JACK
struct JackRig::Clock
{
    jack_client_t *client = nullptr;
    ~Clock()
    {
        if (client)
            jack_client_close(client);
    }
};
#else
struct JackRig::Clock
{
};
#endif

JackRig::JackRig(int period, int rate)
    : frames(period), sampleRate(rate)
{
}

JackRig::~JackRig()
{
    stop();
}

bool JackRig::start()
{
    if (running())
        return true;
    const QString jackd = QStandardPaths::findExecutable(QStringLiteral("jackd"));
    if (jackd.isEmpty()) {
        why = QStringLiteral("jackd is not installed (Debian package jackd2)");
        return false;
    }
#ifndef ZORVIK_HAVE_JACK
    why = QStringLiteral("built without JACK's client library");
    return false;
#else
    if (!dir.isValid()) {
        why = QStringLiteral("no temporary folder for the JACK server's log");
        return false;
    }
    const QString program = QCoreApplication::applicationFilePath();
    name = QStringLiteral("zorvik-%1-%2").arg(QFileInfo(program).fileName()).arg(qChecksum(program.toUtf8()));
    if (!started) {
        hadServerName = qEnvironmentVariableIsSet("JACK_DEFAULT_SERVER");
        savedServerName = qgetenv("JACK_DEFAULT_SERVER");
        started = true;
    }
    qputenv("JACK_DEFAULT_SERVER", name.toUtf8());

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("JACK_NO_AUDIO_RESERVATION"), QStringLiteral("1"));   // no device to reserve
    server.setProcessEnvironment(environment);
    // The server's complaints go to a file: a pipe nobody reads would fill and stop it.
    server.setProcessChannelMode(QProcess::MergedChannels);
    const QString log = dir.filePath(QStringLiteral("jackd.log"));
    server.setStandardOutputFile(log);
    server.start(jackd, {QStringLiteral("-n"), name, QStringLiteral("-d"), QStringLiteral("dummy"),
                         QStringLiteral("-r"), QString::number(sampleRate), QStringLiteral("-p"), QString::number(frames)});
    if (!server.waitForStarted(5000)) {
        why = QStringLiteral("jackd could not be started: ") + server.errorString();
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < startLimitMs) {
        if (JackBackend().reachable())
            return true;
        if (server.waitForFinished(100)) {   // also the wait between tries
            QFile said(log);
            said.open(QIODevice::ReadOnly);
            why = QStringLiteral("jackd ended: ") + QString::fromLocal8Bit(said.readAll()).simplified().right(300);
            return false;
        }
    }
    why = QStringLiteral("the JACK server did not take clients within 10 s");
    return false;
#endif
}

bool JackRig::startSimulator(const QStringList &arguments)
{
    const auto ready = [this] {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 3000) {
            while (sim.canReadLine()) {
                if (sim.readLine().trimmed() == "ready")
                    return true;
            }
            if (sim.state() != QProcess::Running)
                return false;
            sim.waitForReadyRead(50);
        }
        return false;
    };
    const auto listed = [this] {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 3000) {
            if (simulatorListed())
                return true;
            QThread::msleep(50);
        }
        return false;
    };
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < startLimitMs && running()) {
        sim.start(QStringLiteral(ZORVIK_SIM_PATH), QStringList{QStringLiteral("--jack")} + arguments);
        if (sim.waitForStarted(3000) && ready() && listed())
            return true;
        sim.kill();
        sim.waitForFinished(1000);
        QThread::msleep(200);
    }
    why = QStringLiteral("the simulator did not come up on the JACK server within 10 s");
    return false;
}

bool JackRig::simulatorListed() const
{
    RtMidiBackend ports(RtMidi::UNIX_JACK);
    return !ports.outputNames().filter(QStringLiteral("Zorvik Simulator")).isEmpty();
}

void JackRig::quitSimulator()
{
    if (sim.state() == QProcess::NotRunning)
        return;
    resume(server);
    sim.write("quit\n");
    if (!sim.waitForFinished(5000))
        end(sim, 10000);
}

QString JackRig::simulatorStatus(int ms)
{
    sim.write("status\n");
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        while (sim.canReadLine()) {
            const QString text = QString::fromUtf8(sim.readLine()).trimmed();
            if (text.startsWith(QLatin1String("status ")))
                return text;
        }
        if (sim.state() != QProcess::Running)
            break;
        sim.waitForReadyRead(10);
    }
    return {};
}

JackRig::Clock *JackRig::clock()
{
#ifdef ZORVIK_HAVE_JACK
    if (!clockClient && running()) {
        auto opened = std::make_unique<Clock>();
        const QByteArray serverName = name.toUtf8();
        opened->client = jack_client_open("zorvik rig clock", JackOptions(JackNoStartServer | JackServerName),
                                          nullptr, serverName.constData());
        if (opened->client)
            clockClient = std::move(opened);
    }
#endif
    return clockClient.get();
}

std::uint32_t JackRig::cycleFrame()
{
#ifdef ZORVIK_HAVE_JACK
    if (Clock *c = clock())
        return jack_last_frame_time(c->client);
#endif
    return 0;
}

int JackRig::connectionsOfSimulator(bool output)
{
#ifdef ZORVIK_HAVE_JACK
    Clock *c = clock();
    if (!c)
        return 0;
    // zorvik-sim's input and output are two clients of the same name (one numbered by JACK).
    const char **names = jack_get_ports(c->client, "zorvik-sim.*:Zorvik Simulator", JACK_DEFAULT_MIDI_TYPE,
                                        output ? JackPortIsOutput : JackPortIsInput);
    int count = 0;
    for (const char **each = names; each && *each; ++each)
        if (jack_port_t *port = jack_port_by_name(c->client, *each))
            count += jack_port_connected(port);
    jack_free(names);
    return count;
#else
    (void)output;
    return 0;
#endif
}

std::size_t JackRig::midiBufferSize()
{
#ifdef ZORVIK_HAVE_JACK
    if (Clock *c = clock())
        return jack_port_type_get_buffer_size(c->client, JACK_DEFAULT_MIDI_TYPE);
#endif
    return 0;
}

bool JackRig::stop()
{
    quitSimulator();
    clockClient.reset();   // a client of its own, gone before its server
    const bool clean = end(server, 10000);
    if (started) {
        if (hadServerName)
            qputenv("JACK_DEFAULT_SERVER", savedServerName);
        else
            qunsetenv("JACK_DEFAULT_SERVER");
        started = false;
    }
    return clean;
}
