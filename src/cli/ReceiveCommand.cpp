#include "cli/ReceiveCommand.h"

#include "cli/CommandDevices.h"
#include "cli/CommandOutput.h"
#include "cli/ControlCommands.h"
#include "cli/ControlOptions.h"
#include "core/base/PendingSave.h"
#include "core/base/StopSignals.h"
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiPortBackend.h"
#include "core/midi/MidiSystem.h"
#include "core/sim/InstrumentSimulator.h"
#include "core/transfer/DumpReceiver.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <optional>

ReceiveCommand::ReceiveCommand(MidiSystem &ports, DeviceSelection &selection, MidiInCapture &input,
                               InstrumentSimulator &builtIn, PromptService &prompter, const ControlOptions &given,
                               StopSignals &stops)
    : midi(ports), devices(selection), capture(input), simulator(builtIn), prompts(prompter), options(given),
      interrupts(stops)
{
}

int ReceiveCommand::run()
{
    if (QFileInfo(options.file).suffix() != QLatin1String("syx")) {
        CommandOutput::fail(QStringLiteral("the dump is saved as a .syx file"));
        return ControlCommands::UsageError;
    }
    // Before listening: a dump that arrives must have somewhere to go. The save's own file is
    // made now, which proves what no look at the folder can (a name too long, a full table).
    PendingSave save(options.file);
    if (const QString problem = save.prepare(); !problem.isEmpty()) {
        CommandOutput::fail(problem);
        return ControlCommands::SaveFailed;
    }
    // The name the input is followed by, as listed now (empty for the built-in simulator).
    QString inputName;
    for (const auto &device : midi.inputs())
        if (device.id == devices.input() && !device.id.isBuiltIn())
            inputName = device.name;
    DumpReceiver receiver(midi, devices, capture, prompts);
    QEventLoop loop;
    bool got = false;
    QObject::connect(&receiver, &DumpReceiver::received, &loop, [&] {
        got = true;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    if (!receiver.listen()) {
        if (!receiver.lastProblem().isEmpty() && !midi.systemPorts().problem().contains(receiver.lastProblem()))
            CommandOutput::fail(receiver.lastProblem());
        return CommandOutput::deviceError(midi);
    }
    QTimer::singleShot(options.timeoutSeconds * 1000, &loop, &QEventLoop::quit);
    int stoppedBy = 0;
    QObject::connect(&interrupts, &StopSignals::interrupted, &loop, [&](int signal) {
        stoppedBy = signal;
        receiver.stop();
        loop.quit();
    });
    // The instrument is followed by its name, as the editor follows it: one that goes away
    // (unplugged, its program restarted) is listened to again when it is back, under whatever
    // number it then has.
    QTimer follow;
    follow.setInterval(200);
    bool gone = false;
    int missed = 0;                // looks in a row that did not find it
    std::optional<MidiDevice> failedAt;   // where it was listed when it could not be opened
    QObject::connect(&follow, &QTimer::timeout, &loop, [&] {
        if (!midi.systemPorts().problem().isEmpty())
            return;   // a stalled server lists nothing; the timeout tells
        const QList<MidiSystem::Device> inputs = midi.inputs();
        std::optional<MidiDevice> now;
        for (const auto &device : inputs)
            if (!device.id.isBuiltIn() && device.name == inputName)
                now = device.id;
        if (now && *now == devices.input() && (!gone || failedAt == *now)) {
            missed = 0;
            return;   // still there; or back where it could not be opened, until it moves again
        }
        // A listing taken while another program registers its ports may miss one: a port is
        // taken for gone only when two looks in a row do not find it.
        if (!now && !gone && ++missed < 2)
            return;
        missed = 0;
        receiver.stop();
        if (now) {
            devices.choose(devices.output(), *now);
            if (receiver.listen()) {
                if (gone)
                    CommandOutput::fail(QStringLiteral("%1 is back; listening again").arg(inputName));
                gone = false;
                failedAt.reset();
                return;
            }
            failedAt = *now;
        }
        if (!gone)
            CommandOutput::fail(QStringLiteral("%1 has gone; listening for it to come back").arg(inputName));
        gone = true;
    });
    if (!inputName.isEmpty())
        follow.start();
    // The built-in simulator has no button to press: it sends its dump by itself.
    if (devices.input().isBuiltIn())
        QTimer::singleShot(0, &simulator, [&builtIn = simulator] { builtIn.sendDump(); });
    loop.exec();
    follow.stop();
    if (stoppedBy == 0 && interrupts.received() != 0)
        stoppedBy = interrupts.received();
    if (stoppedBy != 0) {
        CommandOutput::fail(QStringLiteral("stopped while listening; nothing was saved"));
        return StopSignals::exitCode(stoppedBy);
    }
    if (!got) {
        CommandOutput::fail(QStringLiteral("no template dump arrived within %1 seconds").arg(options.timeoutSeconds));
        const QString why = midi.systemPorts().problem();
        if (!why.isEmpty())
            CommandOutput::fail(why);
        return why.isEmpty() ? ControlCommands::InstrumentSilent : ControlCommands::DeviceError;
    }
    const QString notWhole = DumpReceiver::notWholeReason(receiver.dump());
    if (!notWhole.isEmpty()) {
        CommandOutput::fail(notWhole + QStringLiteral(" Nothing was saved."));
        return ControlCommands::FileRefused;
    }
    const QString error = save.commit(receiver.dump());
    if (!error.isEmpty()) {
        CommandOutput::fail(error);
        return ControlCommands::SaveFailed;
    }
    return CommandOutput::summarize(
        options.quiet, QStringLiteral("saved the dump in %1: %2 bytes from %3 in %4")
                           .arg(CommandOutput::shown(options.file))
                           .arg(receiver.dump().size())
                           .arg(CommandDevices::nameOf(midi.inputs(), devices.input(), CommandDevices::Way::In),
                                CommandOutput::seconds(clock)));
}
