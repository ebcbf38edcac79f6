#include "cli/CurveCommand.h"

#include "cli/CommandDevices.h"
#include "cli/CommandOutput.h"
#include "cli/ControlCommands.h"
#include "cli/ControlOptions.h"
#include "core/base/StopSignals.h"
#include "core/curve/CurveFile.h"
#include "core/curve/CurveSysEx.h"
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiSystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>

CurveCommand::CurveCommand(MidiSystem &ports, DeviceSelection &selection, SysExSender &sysEx, PromptService &prompter,
                           const ControlOptions &given, StopSignals &stops)
    : midi(ports), devices(selection), sender(sysEx), prompts(prompter), options(given), interrupts(stops)
{
}

int CurveCommand::run()
{
    const CurveFile::Result curve = CurveFile::load(options.file);
    if (!curve.ok) {
        CommandOutput::fail(curve.message);
        return ControlCommands::FileRefused;
    }
    QElapsedTimer clock;
    clock.start();
    // A stop asked for before the one message goes out keeps it from going; once under way,
    // it goes whole.
    QCoreApplication::processEvents();
    if (const int signal = interrupts.received(); signal != 0) {
        CommandOutput::fail(QStringLiteral("stopped before anything was sent"));
        return StopSignals::exitCode(signal);
    }
    // The file's stored map is what the instrument gets, as with Send from the curve editor.
    if (!CurveSysEx::send(sender, prompts, curve.contents.map))
        return CommandOutput::deviceError(midi);
    return CommandOutput::summarize(
        options.quiet, QStringLiteral("sent curve %1: %2 bytes in one message to %3 in %4")
                           .arg(CommandOutput::shown(options.file))
                           .arg(CurveSysEx::size)
                           .arg(CommandDevices::nameOf(midi.outputs(), devices.output(), CommandDevices::Way::Out),
                                CommandOutput::seconds(clock)));
}
