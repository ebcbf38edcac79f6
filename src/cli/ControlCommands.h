#pragma once

#include <QStringList>

#include <cstdio>
#include <functional>
#include <memory>

class InstrumentSimulator;
class MidiSystem;
class MidiPortBackend;

// The commands of zorvikctl: list ports, send a file, receive a dump, send a curve, play a song,
// through the same transfer engine and checks as the editor. run() reads the options, checks
// what every command shares, sets up the MIDI parts and the chosen devices, and hands over to the
// command's own class through a table. Exit codes are stable for scripts; a command that
// succeeds prints one summary line on standard output, errors are one line on standard error.
class ControlCommands
{
public:
    enum ExitCode {
        Done = 0,
        UsageError = 1,
        FileRefused = 2,   // also a received dump that is not a whole template
        DeviceError = 3,
        InstrumentSilent = 4,
        SaveFailed = 5,    // also output that could not be written
    };

    // systemPorts: the back end for the system's ports (RtMidi's default when null, JACK with
    // --jack). Tests pass their own.
    using BackendFactory = std::function<std::unique_ptr<MidiPortBackend>(bool jack)>;
    explicit ControlCommands(BackendFactory factory = {});

    // arguments without the program name; runs the Qt event loop as long as a command needs.
    int run(const QStringList &arguments);

    static QString usage();

    // For tests: reach the MIDI system a command runs on and its built-in simulator (valid
    // during run()).
    std::function<void(MidiSystem &, InstrumentSimulator &)> onStarted;

private:
    BackendFactory factory;
};
