#pragma once

#include "cli/CommandDevices.h"

class CommandWatchdog;
class ControlOptions;
class DeviceSelection;
class MidiInCapture;
class MidiSystem;
class PromptService;
class StopSignals;

// "zorvikctl send FILE": a song, song file, template or firmware to the instrument through the
// same preparation and transfer as the editor's, with a progress bar on a terminal. Ctrl+C stops
// between two messages and says what the instrument holds then.
class SendCommand
{
public:
    // A template only goes out; a block transfer also waits for the instrument's replies.
    static CommandDevices::Uses uses(const ControlOptions &options);

    // watchdog: fed with every step of the transfer.
    SendCommand(MidiSystem &ports, DeviceSelection &devices, MidiInCapture &capture, PromptService &prompts,
                const ControlOptions &options, CommandWatchdog &watchdog, StopSignals &interrupts);

    // One of ControlCommands' exit codes, or the shell's code for the signal that stopped it.
    int run();

private:
    void showProgress(int value, int maximum) const;

    MidiSystem &midi;
    DeviceSelection &devices;
    MidiInCapture &capture;
    PromptService &prompts;
    const ControlOptions &options;
    CommandWatchdog &watchdog;
    StopSignals &interrupts;
};
