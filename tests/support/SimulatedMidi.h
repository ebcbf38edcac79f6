#pragma once

#include "core/midi/MidiPortBackend.h"
#include "core/midi/MidiSystem.h"
#include "core/sim/SimulatorBackend.h"

#include <memory>

// A MidiSystem as the programs build it: the built-in simulator as its built-in device, beside
// the given system ports (none without), with the simulator at hand for the test.
class SimulatedMidi : public MidiSystem
{
public:
    explicit SimulatedMidi(std::unique_ptr<MidiPortBackend> systemPorts = {})
        : SimulatedMidi(new SimulatorBackend, std::move(systemPorts))
    {
    }

    InstrumentSimulator &simulator() { return builtIn.simulator(); }

private:
    SimulatedMidi(SimulatorBackend *ports, std::unique_ptr<MidiPortBackend> systemPorts)
        : MidiSystem(std::unique_ptr<MidiPortBackend>(ports), std::move(systemPorts)), builtIn(*ports)
    {
    }

    SimulatorBackend &builtIn;   // owned by MidiSystem
};
