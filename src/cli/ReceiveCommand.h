#pragma once

class ControlOptions;
class DeviceSelection;
class InstrumentSimulator;
class MidiInCapture;
class MidiSystem;
class PromptService;
class StopSignals;

// "zorvikctl receive FILE.syx": listens on the input in use for one template dump and saves it
// whole, or saves nothing. The instrument is followed by its name while it is listened to: one
// that goes away and comes back is listened to again.
class ReceiveCommand
{
public:
    // simulator: the built-in one, which sends its dump by itself when it is the input.
    ReceiveCommand(MidiSystem &ports, DeviceSelection &devices, MidiInCapture &capture, InstrumentSimulator &simulator,
                   PromptService &prompts, const ControlOptions &options, StopSignals &interrupts);

    // One of ControlCommands' exit codes, or the shell's code for the signal that stopped it.
    int run();

private:
    MidiSystem &midi;
    DeviceSelection &devices;
    MidiInCapture &capture;
    InstrumentSimulator &simulator;
    PromptService &prompts;
    const ControlOptions &options;
    StopSignals &interrupts;
};
