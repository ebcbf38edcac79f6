#include "devices/midi/JackInputPort.h"

#include "devices/midi/JackBackend.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

struct JackInputPort::State
{
    jack_client_t *client = nullptr;
    jack_port_t *port = nullptr;
    std::mutex mutex;        // held by the process callback while it hands input on
    Receiver receiver;       // empty once the port is closed
    bool live = false;
    std::string error;

    // The armed answer: whoever holds it in a state touches its data (the UI thread while
    // Writing, the process callback while Firing), so neither waits for a lock in the cycle.
    enum Arm : int { Idle, Writing, Armed, Firing, Fired };
    std::atomic<int> arm{Idle};
    std::uint8_t trigger[3] = {};
    std::size_t triggerLength = 0;
    std::function<void()> answer;

    // Takes the answer away from the process callback (waiting out one that runs).
    int claim(int next)
    {
        for (;;) {
            int current = arm.load(std::memory_order_acquire);
            if (current == Firing) {
                std::this_thread::yield();
                continue;
            }
            if (arm.compare_exchange_weak(current, next, std::memory_order_acq_rel))
                return current;
        }
    }

    void answerIfArmed(const jack_midi_event_t &event)
    {
        int armed = Armed;
        if (!arm.compare_exchange_strong(armed, Firing, std::memory_order_acq_rel))
            return;
        if (event.size != triggerLength || std::memcmp(event.buffer, trigger, triggerLength) != 0) {
            arm.store(Armed, std::memory_order_release);
            return;
        }
        answer();
        arm.store(Fired, std::memory_order_release);
    }

    void close()
    {
        if (client)
            jack_client_close(client);
        client = nullptr;
        port = nullptr;
    }

    static int process(jack_nframes_t frames, void *self)
    {
        auto *s = static_cast<State *>(self);
        // Never waits in the server's cycle: input that meets the port closing is dropped.
        std::unique_lock lock(s->mutex, std::try_to_lock);
        if (!lock.owns_lock() || !s->receiver)
            return 0;
        void *buffer = jack_port_get_buffer(s->port, frames);
        const std::uint32_t count = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0)
                continue;
            s->answerIfArmed(event);
            s->receiver(QByteArray(reinterpret_cast<const char *>(event.buffer), qsizetype(event.size)));
        }
        return 0;
    }
};

std::unique_ptr<JackInputPort> JackInputPort::open(const QString &device, Receiver receiver,
                                                   std::shared_ptr<JackServerCalls> calls,
                                                   const JackServerCalls::Heartbeat &heartbeat, QString *error)
{
    auto state = std::make_shared<State>();
    state->receiver = std::move(receiver);
    const std::string source = device.toStdString();
    const bool answered = calls->call(
        [state, source] {
            State &s = *state;
            s.client = jack_client_open(JackBackend::clientName, JackNoStartServer, nullptr);
            if (!s.client) {
                s.error = "the JACK server cannot be reached";
                return;
            }
            s.port = jack_port_register(s.client, "Zorvik Halden In", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
            if (!s.port || jack_set_process_callback(s.client, &State::process, &s) != 0 || jack_activate(s.client) != 0) {
                s.error = "input device \"" + source + "\" cannot be opened";
                s.close();
                return;
            }
            s.error = JackBackend::connectAndWait(s.client, s.port, source.c_str(), jack_port_name(s.port),
                                                  "input device \"" + source + "\"");
            s.live = s.error.empty();
            if (!s.live)
                s.close();
        },
        heartbeat, [state] { state->close(); });
    if (!answered || !state->live) {
        {
            std::lock_guard lock(state->mutex);
            state->receiver = nullptr;
        }
        if (error)
            *error = answered ? QString::fromStdString(state->error) : JackBackend::notResponding();
        return nullptr;
    }
    return std::unique_ptr<JackInputPort>(new JackInputPort(state, std::move(calls)));
}

JackInputPort::JackInputPort(std::shared_ptr<State> sharedState, std::shared_ptr<JackServerCalls> serverCalls)
    : state(std::move(sharedState)), calls(std::move(serverCalls))
{
}

JackInputPort::~JackInputPort()
{
    {
        std::lock_guard lock(state->mutex);
        state->receiver = nullptr;
    }
    calls->post([state = state] { state->close(); });
}

bool JackInputPort::armAnswer(const QByteArray &trigger, std::function<void()> answer)
{
    if (trigger.isEmpty() || std::size_t(trigger.size()) > sizeof state->trigger)
        return false;
    state->claim(State::Writing);
    std::memcpy(state->trigger, trigger.constData(), std::size_t(trigger.size()));
    state->triggerLength = std::size_t(trigger.size());
    state->answer = std::move(answer);
    state->arm.store(State::Armed, std::memory_order_release);
    return true;
}

bool JackInputPort::disarmAnswer()
{
    const bool ran = state->claim(State::Idle) == State::Fired;
    state->answer = nullptr;
    return ran;
}
