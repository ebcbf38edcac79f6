#pragma once

#include <QString>

#include <chrono>
#include <memory>

// Ends zorvikctl when a command has made no progress for its allowance: a stalled MIDI server
// can keep a call into its library from ever returning, and a script must get its answer in
// time all the same. When it strikes it says that the MIDI server did not respond and ends the
// process at once with the command's exit code if one was decided (nothing is said when that
// code is success), else with `code`.
class CommandWatchdog
{
public:
    CommandWatchdog(QString program, std::chrono::milliseconds allowance, int code);
    ~CommandWatchdog();
    CommandWatchdog(const CommandWatchdog &) = delete;
    CommandWatchdog &operator=(const CommandWatchdog &) = delete;

    // Progress: the allowance starts again.
    void feed();
    // The command's outcome is known; what is left is tidying up.
    void decided(int exitCode);

private:
    struct Shared;
    std::shared_ptr<Shared> shared;
};
