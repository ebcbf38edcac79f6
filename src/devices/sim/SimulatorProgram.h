#pragma once

class QCoreApplication;
class SimulatorOptions;

// zorvik-sim once its options are read: the simulated instrument on virtual MIDI ports with the
// faults the options name, driven from its console on standard input, until quit, a signal
// (which ends it through the event loop, so the ports close properly) or the MIDI server's end.
class SimulatorProgram
{
public:
    enum ExitCode {
        Ended = 0,
        FaultRefused = 1,   // said with the usage
        PortsNotOpened = 2,
        ServerLost = 3,
    };

    static int run(QCoreApplication &app, const SimulatorOptions &options);
};
