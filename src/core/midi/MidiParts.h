#pragma once

#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiInCapture.h"
#include "core/midi/MidiSystem.h"
#include "core/midi/SysExSender.h"

#include <memory>

class MidiPortBackend;

// The program's MIDI objects, built and wired in one place for the programs and the tests: the
// registry of ports (MidiSystem), the devices in use (DeviceSelection), the one input capture
// (MidiInCapture) and a sender of SysEx (SysExSender). Each gets only what it needs of the
// others, here: the selection a view of what keeps the devices from changing (a busy capture,
// an open exchange), the capture a way to open the input in use, the registry two hooks that
// move the capture when a direct link is taken or given back. Whoever builds this hands its
// users the pieces they use, never this (the editor's Workspace, which assembles the window's
// parts, takes it whole and does the same).
class MidiParts
{
public:
    // builtIn: the built-in device (the simulator's back end); systemPorts: the system's ports
    // (none without).
    explicit MidiParts(std::unique_ptr<MidiPortBackend> builtIn, std::unique_ptr<MidiPortBackend> systemPorts = {});
    MidiParts(const MidiParts &) = delete;
    MidiParts &operator=(const MidiParts &) = delete;

    MidiSystem &ports() { return registry; }
    DeviceSelection &devices() { return selection; }
    MidiInCapture &capture() { return input; }
    SysExSender &sender() { return sysEx; }

private:
    MidiSystem registry;
    DeviceSelection selection;
    MidiInCapture input;
    SysExSender sysEx;
};
