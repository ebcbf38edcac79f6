#pragma once

#include "core/midi/MidiPortBackend.h"

#include <jack/types.h>

#include <cstdint>
#include <memory>
#include <string>

class JackServerCalls;

// The JACK server's MIDI ports, straight through libjack. Listing goes through one client that
// is never activated, so it costs the server's cycle nothing; every open port is a client of its
// own. Every libjack call that waits for the server runs on JackServerCalls with a bounded wait,
// so a stalled server makes calls fail (problem() says why) instead of hanging the caller.
// Without a server the back end offers no ports and tries again at the next listing.
class JackBackend : public MidiPortBackend
{
public:
    JackBackend();
    ~JackBackend() override;

    QStringList outputNames() override;
    QStringList inputNames() override;
    std::unique_ptr<MidiOutputPort> openOutput(int index, QString *error) override;
    std::unique_ptr<MidiInputPort> openInput(int index, MidiInputPort::Receiver receiver,
                                             QString *error) override;
    QString problem() override;
    QString place() override;

    // True when a server answered (now or at the last listing).
    bool reachable();

    static QString notResponding();
    // Connects `from` to `to` (one of them `own`, a port of an activated client) and waits until
    // the server carries the connection. Empty when it does, else why not, naming `device`. Runs
    // on the call thread.
    static std::string connectAndWait(jack_client_t *client, jack_port_t *own, const char *from, const char *to,
                                      const std::string &device);
    static constexpr const char *clientName = "Zorvik Halden";

private:
    struct Lister;
    QStringList names(unsigned long flags);
    bool ensureLister();
    std::uint32_t heartbeat() const;

    std::shared_ptr<JackServerCalls> calls;
    std::shared_ptr<Lister> lister;
    bool silent = false;   // problem() last found the server's frame counter standing still
};
