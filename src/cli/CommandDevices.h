#pragma once

#include "core/midi/MidiDevice.h"
#include "core/midi/MidiSystem.h"

#include <QList>
#include <QString>

class ControlOptions;
class DeviceSelection;

// Which devices a zorvikctl command uses, from --out and --in or, named by neither, the
// instrument found by its name; and the numbers zorvikctl shows and takes for them: -1 the
// built-in output, 0 the built-in input, the system's outputs from 0 and its inputs from 1.
class CommandDevices
{
public:
    // Which way a device list goes: zorvikctl numbers the two ways differently.
    enum class Way { Out, In };

    // Which directions a command uses: a template or a curve only goes out, a dump only comes in.
    struct Uses
    {
        bool out = false;
        bool in = false;
    };

    static int numberOf(MidiDevice device, Way way);
    // The device's name as listed, else its number.
    static QString nameOf(const QList<MidiSystem::Device> &devices, MidiDevice wanted, Way way);

    // Chooses the devices in use from --out and --in into `devices`; one of ControlCommands'
    // exit codes, Done when both are chosen, having said why not otherwise.
    static int choose(MidiSystem &midi, DeviceSelection &devices, const ControlOptions &options, Uses uses);
};
