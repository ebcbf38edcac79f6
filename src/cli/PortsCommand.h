#pragma once

class MidiSystem;

// "zorvikctl ports": the system's MIDI outputs and inputs with the numbers --out and --in take,
// the built-in simulator among them; a device whose SysEx goes around its port says so.
class PortsCommand
{
public:
    explicit PortsCommand(MidiSystem &ports) : midi(ports) {}

    // Done, DeviceError (a MIDI server that does not answer) or SaveFailed (the list could not be
    // written).
    int run();

private:
    MidiSystem &midi;
};
