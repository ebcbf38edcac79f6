#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <memory>

// A private JACK server with the dummy driver, for a test or a benchmark, and zorvik-sim on it
// when asked. The server's name is fixed per executable and build tree and set as this
// process's JACK_DEFAULT_SERVER, so the process's own clients and the programs it starts use it
// and a JACK server of the machine is never touched.
//
// JACK keeps a registry of servers, eight at most; a server that does not end cleanly leaves
// its entry behind, and only a server of the same name takes it back (hence the fixed name).
// A server ending while it cleans up after a killed client may fail to leave, so stop() always
// tells the simulator to quit (it closes its clients) before it ends the server.
class JackRig
{
public:
    // period: frames per cycle; a message put out waits for the next cycle of its sender.
    explicit JackRig(int period = 512, int rate = 48000);
    ~JackRig();
    JackRig(const JackRig &) = delete;
    JackRig &operator=(const JackRig &) = delete;

    // Starts the server and waits until it takes clients, up to ten seconds. False when jackd
    // is not installed, this build has no JACK client library, or the server did not come up;
    // problem() says which.
    bool start();
    QString problem() const { return why; }
    bool running() const { return server.state() == QProcess::Running; }
    QString serverName() const { return name; }
    qint64 serverPid() const { return server.processId(); }
    int period() const { return frames; }
    int rate() const { return sampleRate; }
    double periodSeconds() const { return double(frames) / sampleRate; }

    // Starts `zorvik-sim --jack` with the extra arguments and waits for its "ready" and its
    // port in the server's list; it fails while the server is still coming up, so it is tried
    // again for up to ten seconds. Its output stays unread for the caller.
    bool startSimulator(const QStringList &arguments = {});
    QProcess &simulator() { return sim; }
    // Tells the simulator to quit and waits for it; ends it when it does not.
    void quitSimulator();
    // The simulator's answer to "status" ("status received N transfer ..."), empty without one.
    // Lines before it are read and dropped.
    QString simulatorStatus(int ms = 5000);

    // The server's clock, read through a client of the rig's own that takes no part in the
    // cycle: the frame at which the current cycle started (0 without a server). Two readings
    // apart by k periods are k cycles apart.
    std::uint32_t cycleFrame();
    // The bytes a MIDI port carries in one cycle (0 without a server).
    std::size_t midiBufferSize();
    // How many connections zorvik-sim's output (or input) port has: a program listening to it
    // (or sending to it) holds one.
    int connectionsOfSimulator(bool output);

    // Quits the simulator, then ends the server and gives the process its JACK server name
    // back. True when the server ended when asked, without being killed.
    bool stop();

private:
    struct Clock;
    bool simulatorListed() const;
    Clock *clock();

    int frames;
    int sampleRate;
    QString name;
    QString why;
    QProcess server;
    QProcess sim;
    QTemporaryDir dir;   // the server's log
    std::unique_ptr<Clock> clockClient;
    QByteArray savedServerName;
    bool hadServerName = false;
    bool started = false;
};
