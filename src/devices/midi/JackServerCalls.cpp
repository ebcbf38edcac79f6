#include "devices/midi/JackServerCalls.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct JackServerCalls::Shared
{
    struct Job
    {
        Task task;
        std::shared_ptr<bool> done;       // set by the call thread; guarded by `mutex`
        std::shared_ptr<bool> abandoned;  // set by a caller that stopped waiting
        Task abandon;
    };

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    bool stuck = false;      // a call was given up on and is not over yet
    bool stop = false;
};

JackServerCalls::JackServerCalls()
    : shared(std::make_shared<Shared>())
{
    // Detached from the start: a thread stuck in the server must not hold up the program's end.
    std::thread(&JackServerCalls::work, shared).detach();
}

JackServerCalls::~JackServerCalls()
{
    {
        std::lock_guard lock(shared->mutex);
        shared->stop = true;   // after the queued closing work
    }
    shared->wake.notify_all();
}

void JackServerCalls::work(std::shared_ptr<Shared> shared)
{
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->wake.wait(lock, [&] { return !shared->jobs.empty() || shared->stop; });
        if (shared->jobs.empty())
            return;
        Shared::Job job = std::move(shared->jobs.front());
        shared->jobs.pop_front();
        const bool start = !(job.abandoned && *job.abandoned);
        lock.unlock();
        if (start && job.task)
            job.task();
        lock.lock();
        if (job.done)
            *job.done = true;
        const bool givenUp = job.abandoned && *job.abandoned;
        if (givenUp)
            shared->stuck = false;   // the call that was given up on is over
        shared->wake.notify_all();
        if (givenUp && start && job.abandon) {
            lock.unlock();
            job.abandon();
            lock.lock();
        }
    }
}

bool JackServerCalls::stuck() const
{
    std::lock_guard lock(shared->mutex);
    return shared->stuck;
}

void JackServerCalls::post(Task task)
{
    {
        std::lock_guard lock(shared->mutex);
        shared->jobs.push_back({std::move(task), {}, {}, {}});
    }
    shared->wake.notify_all();
}

bool JackServerCalls::call(Task task, const Heartbeat &heartbeat, Task abandon)
{
    using Clock = std::chrono::steady_clock;
    auto done = std::make_shared<bool>(false);
    auto abandoned = std::make_shared<bool>(false);
    std::uint32_t lastFrame = heartbeat ? heartbeat() : 0;
    std::unique_lock lock(shared->mutex);
    if (shared->stuck)
        return false;   // never queued: nothing to clean up
    shared->jobs.push_back({std::move(task), done, abandoned, std::move(abandon)});
    shared->wake.notify_all();

    const auto start = Clock::now();
    auto lastMove = start;
    for (;;) {
        if (shared->wake.wait_for(lock, std::chrono::milliseconds(20), [&] { return *done; }))
            return true;
        const auto now = Clock::now();
        bool giveUp = false;
        if (!heartbeat) {
            giveUp = now - start > blind;
        } else {
            lock.unlock();
            const std::uint32_t frame = heartbeat();
            lock.lock();
            if (*done)
                return true;
            if (frame != lastFrame) {
                lastFrame = frame;
                lastMove = now;
            }
            giveUp = now - lastMove > silence || now - start > longest;
        }
        if (giveUp) {
            *abandoned = true;
            shared->stuck = true;
            return false;
        }
    }
}
