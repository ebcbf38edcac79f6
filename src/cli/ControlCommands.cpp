#include "cli/ControlCommands.h"

#include "cli/CommandDevices.h"
#include "cli/CommandOutput.h"
#include "cli/CommandWatchdog.h"
#include "cli/ConsolePrompts.h"
#include "cli/ControlOptions.h"
#include "cli/CurveCommand.h"
#include "cli/PortsCommand.h"
#include "cli/ReceiveCommand.h"
#include "cli/SendCommand.h"
#include "cli/SongPlayCommand.h"
#include "core/base/LibraryLocation.h"
#include "core/base/SafeFile.h"
#include "core/base/StopSignals.h"
#include "core/midi/MidiParts.h"
#include "core/midi/MidiPortBackend.h"
#include "core/sim/InstrumentSimulator.h"
#include "core/sim/SimulatorBackend.h"
#include "devices/midi/RtMidiBackend.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

// What run() builds for a command that reaches MIDI devices; each command is handed the pieces
// it uses.
struct Session
{
    const ControlOptions &options;
    MidiParts &parts;
    InstrumentSimulator &simulator;
    ConsolePrompts &prompts;
    CommandWatchdog &watchdog;
    StopSignals &interrupts;
};

struct Command
{
    const char *name;
    bool takesFile = false;   // FILE must be given
    bool makesFile = false;   // FILE is made, so a plain name is not looked for in the library
    bool transfer = false;    // FILE goes to the instrument as a transfer: its kind must be known,
                              // and --number and --merge apply
    int (*alone)(const ControlOptions &) = nullptr;                  // runs without MIDI devices
    CommandDevices::Uses (*uses)(const ControlOptions &) = nullptr;   // the devices chosen before it runs
    int (*run)(Session &) = nullptr;
};

const Command commands[] = {
    {.name = "ports", .run = [](Session &s) { return PortsCommand(s.parts.ports()).run(); }},
    {.name = "send",
     .takesFile = true,
     .transfer = true,
     .uses = SendCommand::uses,
     .run =
         [](Session &s) {
             return SendCommand(s.parts.ports(), s.parts.devices(), s.parts.capture(), s.prompts, s.options, s.watchdog,
                                s.interrupts)
                 .run();
         }},
    {.name = "receive",
     .takesFile = true,
     .makesFile = true,
     .uses = [](const ControlOptions &) { return CommandDevices::Uses{.out = false, .in = true}; },
     .run =
         [](Session &s) {
             return ReceiveCommand(s.parts.ports(), s.parts.devices(), s.parts.capture(), s.simulator, s.prompts,
                                   s.options, s.interrupts)
                 .run();
         }},
    {.name = "curve",
     .takesFile = true,
     .uses = [](const ControlOptions &) { return CommandDevices::Uses{.out = true, .in = false}; },
     .run =
         [](Session &s) {
             return CurveCommand(s.parts.ports(), s.parts.devices(), s.parts.sender(), s.prompts, s.options,
                                 s.interrupts)
                 .run();
         }},
    {.name = "play",
     .takesFile = true,
     .alone =
         [](const ControlOptions &options) {
             SongEngine::Options engine;
             engine.audioDriver = options.audioDriver;
             return SongPlayCommand(CommandOutput::program(), engine).run(options.file);
         }},
};

const Command *commandNamed(const QString &name)
{
    const auto found = std::find_if(std::begin(commands), std::end(commands),
                                    [&name](const Command &command) { return name == QLatin1String(command.name); });
    return found != std::end(commands) ? found : nullptr;
}

} // namespace

ControlCommands::ControlCommands(BackendFactory backendFactory)
    : factory(std::move(backendFactory))
{
}

QString ControlCommands::usage()
{
    return ControlOptions::usage();
}

int ControlCommands::run(const QStringList &arguments)
{
    // Output past the file size limit fails with a message and exit code 5, not a signal.
    SafeFile::ignoreFileSizeSignal();
    ControlOptions options = ControlOptions::parse(arguments);
    if (!options.error.isEmpty()) {
        CommandOutput::fail(options.error);
        return UsageError;
    }
    if (options.help) {
        std::printf("%s", qPrintable(usage()));
        return CommandOutput::finish();
    }
    const Command *command = commandNamed(options.command);
    // A plain file name that is not in the current directory is looked for in the library.
    const LibraryLocation library = LibraryLocation::decide(options.library, LibraryLocation::userLibraryFolder());
    if (library.source() == LibraryLocation::Source::CommandLine && !library.exists()) {
        CommandOutput::fail(QStringLiteral("the library folder %1 does not exist").arg(library.displayPath()));
        return UsageError;
    }
    if (!command || (command->takesFile && options.file.isEmpty())) {
        std::fprintf(stderr, "%s", qPrintable(usage()));
        return UsageError;
    }
    if (!command->makesFile)
        options.file = library.lookUp(options.file);
    const FileKind kind = options.kind();
    if (command->transfer && kind == FileKind::None) {
        CommandOutput::fail(QStringLiteral("cannot tell the kind of %1: use .mid, .syx, .csf or .bin")
                                .arg(CommandOutput::shown(options.file)));
        return UsageError;
    }
    if (options.merge && (!command->transfer || kind != FileKind::Song)) {
        CommandOutput::fail(QStringLiteral("--merge applies only to sending a .mid song"));
        return UsageError;
    }
    if (options.number && (!command->transfer || kind == FileKind::Firmware)) {
        CommandOutput::fail(QStringLiteral("--number applies only to sending a song, a song file or a template"));
        return UsageError;
    }
    if (command->alone)
        return command->alone(options);

    // Every command ends in time, whatever the MIDI server does: no progress for the timeout
    // and two seconds more ends the process (a transfer makes progress with every reply).
    CommandWatchdog watchdog(CommandOutput::program(), std::chrono::seconds(options.timeoutSeconds + 2), DeviceError);
    auto decided = [&watchdog](int code) {
        watchdog.decided(code);
        return code;
    };
    std::unique_ptr<MidiPortBackend> backend;
    if (factory)
        backend = factory(options.jack);
    else if (options.jack)
        backend = std::make_unique<RtMidiBackend>(RtMidi::UNIX_JACK);
    else
        backend = std::make_unique<RtMidiBackend>();
    auto builtIn = std::make_unique<SimulatorBackend>();
    InstrumentSimulator &simulator = builtIn->simulator();
    MidiParts parts(std::move(builtIn), std::move(backend));
    ConsolePrompts prompts(CommandOutput::program());
    StopSignals interrupts;
    // A USB instrument that a program left without its driver (it ended while it held the
    // instrument's link) is given back first, so it is found.
    for (const QString &line : parts.ports().systemPorts().recoverDevices())
        CommandOutput::fail(line);
    if (onStarted)
        onStarted(parts.ports(), simulator);

    if (command->uses) {
        const int code = CommandDevices::choose(parts.ports(), parts.devices(), options, command->uses(options));
        if (code != Done)
            return decided(code);
    }
    Session session{options, parts, simulator, prompts, watchdog, interrupts};
    return decided(command->run(session));
}
