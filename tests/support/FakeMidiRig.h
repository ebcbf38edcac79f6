#pragma once

#include "support/FakePorts.h"
#include "support/MidiBytes.h"
#include "support/MidiDeviceText.h"
#include "support/ScriptedPrompts.h"
#include "support/SimulatedMidi.h"

#include <QCoreApplication>

#include <memory>

// The MIDI objects as the programs build them, over fake system ports, for the tests of the MIDI
// core and its users: the built-in simulator, two system outputs ("Port A", "Port B") and one
// input ("In A"), and scripted answers to every question. A test class derives from it beside
// QObject, calls renewMidi() in init() and closeMidi() in cleanup().
class FakeMidiRig
{
protected:
    std::shared_ptr<FakePorts::State> fake;
    std::unique_ptr<SimulatedMidi> midi;
    ScriptedPrompts prompts;

    void renewMidi()
    {
        fake = std::make_shared<FakePorts::State>();
        fake->outputs = {QStringLiteral("Port A"), QStringLiteral("Port B")};
        fake->inputs = {QStringLiteral("In A")};
        midi = std::make_unique<SimulatedMidi>(std::make_unique<FakePorts>(fake));
        prompts = ScriptedPrompts();
    }
    void closeMidi() { midi.reset(); }

    // Input that came in is delivered from the event loop, as from a back end's thread.
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
};
