#include "cli/CommandWatchdog.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

struct CommandWatchdog::Shared
{
    std::mutex mutex;
    std::condition_variable wake;
    std::chrono::steady_clock::time_point deadline;
    std::chrono::milliseconds allowance;
    QByteArray program;
    int code = 0;
    int decided = -1;
    bool stop = false;
};

CommandWatchdog::CommandWatchdog(QString program, std::chrono::milliseconds allowance, int code)
    : shared(std::make_shared<Shared>())
{
    shared->program = program.toLocal8Bit();
    shared->allowance = allowance;
    shared->code = code;
    shared->deadline = std::chrono::steady_clock::now() + allowance;
    std::thread([shared = shared] {
        std::unique_lock lock(shared->mutex);
        while (!shared->stop) {
            if (shared->wake.wait_until(lock, shared->deadline) == std::cv_status::no_timeout
                || std::chrono::steady_clock::now() < shared->deadline)
                continue;
            if (shared->decided != 0) {
                std::fprintf(stderr, "%s: the MIDI server did not respond\n", shared->program.constData());
                std::fflush(stderr);
            }
            std::fflush(stdout);
            // No exit handlers: they could wait on the very library call that is stuck.
            std::_Exit(shared->decided >= 0 ? shared->decided : shared->code);
        }
    }).detach();
}

CommandWatchdog::~CommandWatchdog()
{
    {
        std::lock_guard lock(shared->mutex);
        shared->stop = true;
    }
    shared->wake.notify_all();
}

void CommandWatchdog::feed()
{
    std::lock_guard lock(shared->mutex);
    shared->deadline = std::chrono::steady_clock::now() + shared->allowance;
}

void CommandWatchdog::decided(int exitCode)
{
    std::lock_guard lock(shared->mutex);
    shared->decided = exitCode;
}
