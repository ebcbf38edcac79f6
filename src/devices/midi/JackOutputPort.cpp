#include "devices/midi/JackOutputPort.h"

#include "devices/midi/JackBackend.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

// Shared by the port, the process callback and the closing task on the call thread, so that it
// outlives a client whose closing is stuck in a stalled server.
struct JackOutputPort::State
{
    jack_client_t *client = nullptr;
    jack_port_t *port = nullptr;
    jack_ringbuffer_t *ring = jack_ringbuffer_create(ringSize);
    std::atomic<std::uint64_t> queued{0};    // messages put into the ring (the sender only)
    std::atomic<std::uint64_t> drained{0};   // messages taken out of it (the process callback only)
    std::atomic<std::uint64_t> lost{0};      // of these, messages that went to no connection
    std::atomic<bool> dead{false};           // the server shut the client down
    bool stalled = false;                    // a wait for the server's cycle ran out
    std::uint64_t lostAtFlush = 0;
    bool live = false;
    std::string error;

    ~State()
    {
        if (ring)
            jack_ringbuffer_free(ring);
    }

    void close()
    {
        if (client)
            jack_client_close(client);
        client = nullptr;
        port = nullptr;
    }

    static void shutdown(void *self) { static_cast<State *>(self)->dead = true; }

    // The server's cycle: whole messages from the ring into the port, in order, as many as fit.
    static int process(jack_nframes_t frames, void *self)
    {
        auto *s = static_cast<State *>(self);
        void *buffer = jack_port_get_buffer(s->port, frames);
        jack_midi_clear_buffer(buffer);
        const bool connected = jack_port_connected(s->port) > 0;
        std::uint32_t length = 0;
        while (jack_ringbuffer_peek(s->ring, reinterpret_cast<char *>(&length), sizeof length) == sizeof length
               && jack_ringbuffer_read_space(s->ring) >= sizeof length + length) {
            jack_midi_data_t *room = connected ? jack_midi_event_reserve(buffer, 0, length) : nullptr;
            if (connected && !room && jack_midi_get_event_count(buffer) > 0)
                break;   // this cycle's buffer is full: the rest goes out in the next one
            jack_ringbuffer_read_advance(s->ring, sizeof length);
            if (room) {
                jack_ringbuffer_read(s->ring, reinterpret_cast<char *>(room), length);
            } else {
                // No connection, or a message larger than the port can ever take: it goes nowhere.
                jack_ringbuffer_read_advance(s->ring, length);
                s->lost.fetch_add(1, std::memory_order_relaxed);
            }
            s->drained.fetch_add(1, std::memory_order_release);
        }
        return 0;
    }
};

std::unique_ptr<JackOutputPort> JackOutputPort::open(const QString &device, std::shared_ptr<JackServerCalls> calls,
                                                     const JackServerCalls::Heartbeat &heartbeat, QString *error)
{
    auto state = std::make_shared<State>();
    const std::string target = device.toStdString();
    const bool answered = calls->call(
        [state, target] {
            State &s = *state;
            s.client = jack_client_open(JackBackend::clientName, JackNoStartServer, nullptr);
            if (!s.client) {
                s.error = "the JACK server cannot be reached";
                return;
            }
            jack_on_shutdown(s.client, &State::shutdown, &s);
            s.port = jack_port_register(s.client, "Zorvik Halden Out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
            if (!s.ring || !s.port || jack_set_process_callback(s.client, &State::process, &s) != 0
                || jack_activate(s.client) != 0) {
                s.error = "output device \"" + target + "\" cannot be opened";
                s.close();
                return;
            }
            s.error = JackBackend::connectAndWait(s.client, s.port, jack_port_name(s.port), target.c_str(),
                                                  "output device \"" + target + "\"");
            s.live = s.error.empty();
            if (!s.live)
                s.close();
        },
        heartbeat, [state] { state->close(); });
    if (!answered || !state->live) {
        if (error)
            *error = answered ? QString::fromStdString(state->error) : JackBackend::notResponding();
        return nullptr;
    }
    return std::unique_ptr<JackOutputPort>(new JackOutputPort(state, std::move(calls), device));
}

JackOutputPort::JackOutputPort(std::shared_ptr<State> sharedState, std::shared_ptr<JackServerCalls> serverCalls,
                               QString device)
    : state(std::move(sharedState)), calls(std::move(serverCalls)), deviceName(std::move(device))
{
}

JackOutputPort::~JackOutputPort()
{
    // What was sent goes out before the client closes, as long as the server keeps cycling.
    if (!state->stalled)
        drained(std::chrono::milliseconds(500));
    calls->post([state = state] { state->close(); });
}

bool JackOutputPort::drained(std::chrono::milliseconds limit)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto lastMove = start;
    std::uint32_t lastFrame = jack_last_frame_time(state->client);
    const std::uint64_t target = state->queued.load(std::memory_order_relaxed);
    while (state->drained.load(std::memory_order_acquire) != target) {
        const auto now = Clock::now();
        const std::uint32_t frame = jack_last_frame_time(state->client);
        if (frame != lastFrame) {
            lastFrame = frame;
            lastMove = now;
        }
        if (state->dead)
            return false;
        if (now - start > limit || now - lastMove > JackServerCalls::silence) {
            state->stalled = true;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

MidiOutputPort::Delivery JackOutputPort::send(const std::uint8_t *bytes, std::size_t length,
                                              std::chrono::milliseconds limit)
{
    // A port without a connection would swallow the message: the device went away.
    if (length == 0 || length > maxLength || state->dead || jack_port_connected(state->port) <= 0)
        return Delivery::Refused;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + limit;
    const std::uint32_t size = std::uint32_t(length);
    while (jack_ringbuffer_write_space(state->ring) < sizeof size + length) {
        if (state->dead)
            return Delivery::Refused;
        if (Clock::now() > deadline) {
            state->stalled = true;
            return Delivery::TimedOut;   // the server stopped taking messages
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    enqueue(*state, bytes, length);
    return Delivery::Delivered;
}

void JackOutputPort::enqueue(State &s, const std::uint8_t *bytes, std::size_t length)
{
    // Length and bytes become readable in one step, so the callback never sees half a message.
    const std::uint32_t size = std::uint32_t(length);
    jack_ringbuffer_data_t parts[2];
    jack_ringbuffer_get_write_vector(s.ring, parts);
    std::size_t written = 0;
    auto put = [&](const char *from, std::size_t count) {
        while (count > 0) {
            const bool first = written < parts[0].len;
            const std::size_t offset = first ? written : written - parts[0].len;
            const std::size_t chunk = std::min(count, (first ? parts[0].len : parts[1].len) - offset);
            std::memcpy((first ? parts[0].buf : parts[1].buf) + offset, from, chunk);
            from += chunk;
            count -= chunk;
            written += chunk;
        }
    };
    put(reinterpret_cast<const char *>(&size), sizeof size);
    put(reinterpret_cast<const char *>(bytes), length);
    jack_ringbuffer_write_advance(s.ring, written);
    s.queued.fetch_add(1, std::memory_order_relaxed);
}

MidiOutputPort::QuickSender JackOutputPort::quickSender()
{
    // Called on the input's thread in the server's cycle: it never waits, and a message that
    // does not fit now is left to the ordinary send. Only one of the two writes at a time: the
    // armed answer runs while the UI thread waits for the very reply that fires it.
    return [s = state](const QByteArray &message) {
        const std::size_t length = std::size_t(message.size());
        if (length == 0 || length > maxLength || s->dead
            || jack_ringbuffer_write_space(s->ring) < sizeof(std::uint32_t) + length)
            return false;
        enqueue(*s, reinterpret_cast<const std::uint8_t *>(message.constData()), length);
        return true;
    };
}

MidiOutputPort::Delivery JackOutputPort::flush(std::chrono::milliseconds limit)
{
    if (!drained(limit))
        return Delivery::TimedOut;
    const std::uint64_t lost = state->lost.load(std::memory_order_relaxed);
    const bool allArrived = lost == state->lostAtFlush;
    state->lostAtFlush = lost;
    return allArrived && !state->dead ? Delivery::Delivered : Delivery::Refused;
}
