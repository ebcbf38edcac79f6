#pragma once

#include "core/midi/MidiParts.h"
#include "core/midi/MidiPortBackend.h"
#include "core/sim/SimulatorBackend.h"

#include <memory>

// The MIDI objects as the programs build them: the built-in simulator as the built-in device,
// beside the given system ports (none without), with the simulator at hand for the test.
class SimulatedMidi : public MidiParts
{
public:
    explicit SimulatedMidi(std::unique_ptr<MidiPortBackend> systemPorts = {})
        : SimulatedMidi(new SimulatorBackend, std::move(systemPorts))
    {
    }

    InstrumentSimulator &simulator() { return builtIn.simulator(); }

private:
    SimulatedMidi(SimulatorBackend *ports, std::unique_ptr<MidiPortBackend> systemPorts)
        : MidiParts(std::unique_ptr<MidiPortBackend>(ports), std::move(systemPorts)), builtIn(*ports)
    {
    }

    SimulatorBackend &builtIn;   // owned by the MIDI system
};
