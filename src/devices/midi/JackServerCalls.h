#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

// The libjack calls that wait for the JACK server (opening and closing a client, registering
// and connecting ports) never return while the server is stopped. They run here, one after the
// other, on a thread of their own; the caller waits a bounded time and goes on without the
// answer when the server is not working. A call given up on finishes, or not, on its own; its
// task must clean up after itself then. Calls made while an earlier one is still stuck fail at
// once, so a stalled server costs the program one bounded wait, not one per call.
class JackServerCalls
{
public:
    using Task = std::function<void()>;
    // The server's frame counter: it moves on with every cycle of a working server.
    using Heartbeat = std::function<std::uint32_t()>;

    // How long a call may take without a heartbeat to watch, and with one: as long as the
    // server keeps cycling (up to `longest`), but no more than `silence` of a still counter.
    static constexpr std::chrono::milliseconds blind{2000};
    static constexpr std::chrono::milliseconds silence{1000};
    static constexpr std::chrono::milliseconds longest{10000};

    JackServerCalls();
    ~JackServerCalls();
    JackServerCalls(const JackServerCalls &) = delete;
    JackServerCalls &operator=(const JackServerCalls &) = delete;

    // Runs `task` on the call thread and waits for it within the bounds above. False when it did
    // not finish in time; `abandon` then runs on the call thread once the task has finished after
    // all (a task that had not started yet is dropped). Also false, without queuing anything,
    // while an earlier call is still stuck.
    bool call(Task task, const Heartbeat &heartbeat, Task abandon = {});
    // Queues `task` without waiting for it (closing what is no longer used).
    void post(Task task);

    // An earlier call is still stuck in the server.
    bool stuck() const;

private:
    struct Shared;
    static void work(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared;
};
