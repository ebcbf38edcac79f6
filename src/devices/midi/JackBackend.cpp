#include "devices/midi/JackBackend.h"

#include "devices/midi/JackInputPort.h"
#include "devices/midi/JackOutputPort.h"
#include "devices/midi/JackServerCalls.h"
#include "devices/midi/RtMidiBackend.h"

#include <jack/jack.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

// The listing client: opened on the call thread, read under `mutex` from the caller's.
struct JackBackend::Lister
{
    std::mutex mutex;
    jack_client_t *client = nullptr;
    std::atomic<bool> dead{false};   // the server went away; open afresh next time

    static void shutdown(void *self) { static_cast<Lister *>(self)->dead = true; }
};

namespace {

void quiet(const char *) {}

} // namespace

JackBackend::JackBackend()
    : calls(std::make_shared<JackServerCalls>()), lister(std::make_shared<Lister>())
{
    // A missing server is a normal state here, not something to print at every try.
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(quiet);
        jack_set_info_function(quiet);
    });
}

JackBackend::~JackBackend()
{
    auto close = [lister = lister] {
        jack_client_t *client = nullptr;
        {
            std::lock_guard lock(lister->mutex);
            std::swap(client, lister->client);
        }
        if (client)
            jack_client_close(client);
    };
    // The ports closed before are closed on the call thread in turn: a program that ends right
    // after must not pull the library away under them. A server known to be stalled is not
    // waited for.
    if (silent || calls->stuck())
        calls->post(close);
    else
        calls->call(close, [this] { return heartbeat(); });
}

QString JackBackend::notResponding()
{
    return QStringLiteral("the MIDI server did not respond");
}

std::string JackBackend::connectAndWait(jack_client_t *client, jack_port_t *own, const char *from, const char *to,
                                        const std::string &device)
{
    const int connected = jack_connect(client, from, to);
    if (connected != 0 && connected != EEXIST)
        return device + " is gone";
    // The connection carries messages once the server has switched to the new graph.
    for (int i = 0; i < 1000; ++i) {
        if (jack_port_connected(own) > 0)
            return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return device + " was not connected in time";
}

std::uint32_t JackBackend::heartbeat() const
{
    std::lock_guard lock(lister->mutex);
    return lister->client ? jack_last_frame_time(lister->client) : 0;
}

bool JackBackend::ensureLister()
{
    {
        std::lock_guard lock(lister->mutex);
        if (lister->client && !lister->dead)
            return true;
    }
    auto state = lister;
    const bool answered = calls->call(
        [state] {
            jack_client_t *old = nullptr;
            {
                std::lock_guard lock(state->mutex);
                std::swap(old, state->client);
            }
            if (old)
                jack_client_close(old);
            state->dead = false;
            // Never activated: listing needs no share of the server's cycle.
            jack_client_t *client = jack_client_open(clientName, JackNoStartServer, nullptr);
            if (client)
                jack_on_shutdown(client, &Lister::shutdown, state.get());
            std::lock_guard lock(state->mutex);
            state->client = client;
        },
        {});
    std::lock_guard lock(lister->mutex);
    return answered && lister->client;
}

bool JackBackend::reachable()
{
    return ensureLister();
}

QStringList JackBackend::names(unsigned long flags)
{
    QStringList result;
    if (!ensureLister())
        return result;
    // Read from the server's shared memory: this never waits for the server.
    std::lock_guard lock(lister->mutex);
    const char **ports = jack_get_ports(lister->client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    if (!ports)
        return result;
    for (const char **port = ports; *port; ++port) {
        const QString name = QString::fromUtf8(*port);
        if (!RtMidiBackend::isOwnPort(name))
            result.append(name);
    }
    jack_free(ports);
    return result;
}

QStringList JackBackend::outputNames()
{
    return names(JackPortIsInput);   // ports that take messages
}

QStringList JackBackend::inputNames()
{
    return names(JackPortIsOutput);
}

std::unique_ptr<MidiOutputPort> JackBackend::openOutput(int index, QString *error)
{
    const QStringList list = outputNames();
    if (index < 0 || index >= list.size()) {
        if (error)
            *error = calls->stuck() ? notResponding() : QStringLiteral("no device %1").arg(index);
        return nullptr;
    }
    return JackOutputPort::open(list.at(index), calls, [this] { return heartbeat(); }, error);
}

std::unique_ptr<MidiInputPort> JackBackend::openInput(int index, MidiInputPort::Receiver receiver, QString *error)
{
    const QStringList list = inputNames();
    if (index < 0 || index >= list.size()) {
        if (error)
            *error = calls->stuck() ? notResponding() : QStringLiteral("no device %1").arg(index);
        return nullptr;
    }
    return JackInputPort::open(list.at(index), std::move(receiver), calls, [this] { return heartbeat(); }, error);
}

QString JackBackend::place()
{
    // The server libjack talks to: every private server has ports of the same names.
    const QString server = qEnvironmentVariable("JACK_DEFAULT_SERVER");
    return QStringLiteral("jack:") + (server.isEmpty() ? QStringLiteral("default") : server);
}

QString JackBackend::problem()
{
    if (calls->stuck())
        return notResponding();
    {
        std::lock_guard lock(lister->mutex);
        if (!lister->client || lister->dead)
            return {};   // no server, or it went away: nothing stalled
    }
    // A working server moves its frame counter every cycle (a tenth of a second at the most);
    // a stopped one does not.
    const std::uint32_t first = heartbeat();
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(500)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (heartbeat() != first) {
            silent = false;
            return {};
        }
    }
    silent = true;
    return notResponding();
}
