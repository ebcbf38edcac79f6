#pragma once

class ControlOptions;
class MidiSystem;
class DeviceSelection;
class PromptService;
class StopSignals;
class SysExSender;

// "zorvikctl curve FILE.crv": sends the curve file's stored map to the output in use as the one
// message the curve editor's Send makes. A stop asked for before it goes keeps it from going.
class CurveCommand
{
public:
    CurveCommand(MidiSystem &ports, DeviceSelection &devices, SysExSender &sender, PromptService &prompts,
                 const ControlOptions &options, StopSignals &interrupts);

    // Done, FileRefused, DeviceError, SaveFailed (the summary could not be written), or the
    // shell's code for the signal that stopped it.
    int run();

private:
    MidiSystem &midi;
    DeviceSelection &devices;
    SysExSender &sender;
    PromptService &prompts;
    const ControlOptions &options;
    StopSignals &interrupts;
};
