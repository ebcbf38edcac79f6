#include "cli/SendCommand.h"

#include "cli/CommandOutput.h"
#include "cli/CommandWatchdog.h"
#include "cli/ControlCommands.h"
#include "cli/ControlOptions.h"
#include "core/base/StopSignals.h"
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiPortBackend.h"
#include "core/midi/MidiSystem.h"
#include "core/transfer/SendPreparation.h"
#include "core/transfer/TransferDriver.h"

#include <QEventLoop>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

namespace {

QString kindName(FileKind kind)
{
    switch (kind) {
    case FileKind::Song: return QStringLiteral("song");
    case FileKind::Template: return QStringLiteral("template");
    case FileKind::Csf: return QStringLiteral("song file");
    case FileKind::Firmware: return QStringLiteral("firmware");
    case FileKind::None: break;
    }
    return {};
}

} // namespace

CommandDevices::Uses SendCommand::uses(const ControlOptions &options)
{
    return {true, FileKinds::isBlockTransfer(options.kind())};
}

SendCommand::SendCommand(MidiSystem &ports, DeviceSelection &selection, MidiInCapture &input, PromptService &prompter,
                         const ControlOptions &given, CommandWatchdog &dog, StopSignals &stops)
    : midi(ports), devices(selection), capture(input), prompts(prompter), options(given), watchdog(dog),
      interrupts(stops)
{
}

// A progress bar on a terminal; nothing on a pipe, where scripts read only the last line.
void SendCommand::showProgress(int value, int maximum) const
{
    if (options.quiet || !isatty(fileno(stderr)) || maximum <= 0)
        return;
    constexpr int width = 30;
    const int filled = width * value / maximum;
    std::fprintf(stderr, "\r[%s%s] %3d%% %d/%d blocks", QByteArray(filled, '#').constData(),
                 QByteArray(width - filled, ' ').constData(), 100 * value / maximum, value, maximum);
    if (value == maximum)
        std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

int SendCommand::run()
{
    const FileKind kind = options.kind();
    const auto prepared = SendPreparation::prepareFile(kind, options.file, QFileInfo(options.file).fileName());
    QByteArray image = prepared.image;
    if (prepared.otherFormat && options.merge && !prepared.formatZero.isEmpty()) {
        image = prepared.formatZero;
    } else if (!prepared.ok) {
        PromptService::Prompt problem = prepared.problem;
        if (prepared.otherFormat) {
            problem.text += prepared.formatZero.isEmpty()
                                ? QStringLiteral(" It cannot be converted to format 0: %1.").arg(prepared.whyNotMerged)
                                : QStringLiteral(" Use --merge to convert it to format 0 and send it.");
        }
        prompts.ask(problem);
        return ControlCommands::FileRefused;
    }

    TransferDriver driver(midi, devices, capture, prompts);
    // --timeout is the whole of how long the instrument may take, also to get ready.
    driver.session().setReplyTimeout(qint64(options.timeoutSeconds) * 1000);
    driver.session().setReadyTimeout(qint64(options.timeoutSeconds) * 1000);
    driver.open(kind, image);
    const int number = options.number.value_or(1);
    driver.session().setNumber(number);
    if (driver.session().number() != number) {
        CommandOutput::fail(QStringLiteral("--number must be from 1 to %1 for this kind of file")
                                .arg(driver.session().numberMaximum()));
        return ControlCommands::UsageError;
    }

    QEventLoop loop;
    int code = ControlCommands::Done;
    QObject::connect(&driver, &TransferDriver::changed, &loop, [&] {
        watchdog.feed();
        if (driver.session().state() == TransferSession::State::Sending)
            showProgress(driver.session().progressValue(), driver.session().progressMaximum());
    });
    QObject::connect(&driver, &TransferDriver::finished, &loop, [&] {
        showProgress(driver.session().blockCount(), driver.session().blockCount());
        loop.quit();
    });
    QObject::connect(&driver, &TransferDriver::closeRequested, &loop, [&] {
        code = CommandOutput::deviceError(midi);
        loop.quit();
    });
    QObject::connect(&driver, &TransferDriver::failed, &loop, [&] {
        // A template the device refused was told as it happened; a block that did not go, or a
        // device that cannot be taken, is said here.
        const TransferOutcome &outcome = driver.session().outcome();
        if (outcome.what == TransferOutcome::What::BlockFailed)
            CommandOutput::fail(outcome.failureText() + QStringLiteral(" Check the device and send the file again."));
        else if (!outcome.failureText().isEmpty())
            CommandOutput::fail(outcome.failureText());
        code = CommandOutput::deviceError(midi);
        loop.quit();
    });
    // Ctrl+C or SIGTERM: stop between two messages, say what the instrument holds now, and give
    // the device back.
    QObject::connect(&interrupts, &StopSignals::interrupted, &loop, [&](int signal) {
        const TransferSession &session = driver.session();
        const bool started = session.state() == TransferSession::State::Sending
                             || session.state() == TransferSession::State::AwaitingReady;
        driver.abort();
        if (kind == FileKind::Template || !started)
            CommandOutput::fail(QStringLiteral("stopped before anything was sent"));
        else
            CommandOutput::fail(
                QStringLiteral("stopped after %1 of %2 blocks: the instrument keeps only part of the file; %3")
                    .arg(session.blocksSent())
                    .arg(session.blockCount())
                    .arg(kind == FileKind::Firmware ? QStringLiteral("a firmware update must be sent again")
                                                    : QStringLiteral("send it again")));
        code = StopSignals::exitCode(signal);
        loop.quit();
    });
    QObject::connect(&driver, &TransferDriver::timedOut, &loop, [&] {
        CommandOutput::fail(QStringLiteral("the instrument stopped answering after %1 of %2 blocks")
                                .arg(driver.session().blocksSent())
                                .arg(driver.session().blockCount()));
        const QString why = midi.systemPorts().problem();
        if (!why.isEmpty())
            CommandOutput::fail(why);
        code = why.isEmpty() ? ControlCommands::InstrumentSilent : ControlCommands::DeviceError;
        loop.quit();
    });

    QElapsedTimer clock;
    clock.start();
    driver.send();
    if (driver.busy())   // waiting for the device, or a block transfer under way
        loop.exec();
    if (code != ControlCommands::Done)
        return code;
    if (!driver.session().delivered())
        return ControlCommands::DeviceError;
    const int blocks = driver.session().blockCount();
    const QString how = kind == FileKind::Template ? QStringLiteral("one message")
                        : blocks == 1              ? QStringLiteral("1 block")
                                                   : QStringLiteral("%1 blocks").arg(blocks);
    const QString where = kind == FileKind::Firmware ? QString() : QStringLiteral(" as number %1").arg(number);
    return CommandOutput::summarize(
        options.quiet, QStringLiteral("sent %1 %2%3: %4 bytes in %5 to %6 in %7")
                           .arg(kindName(kind), CommandOutput::shown(options.file), where)
                           .arg(prepared.image.size())
                           .arg(how, CommandDevices::nameOf(midi.outputs(), devices.output(), CommandDevices::Way::Out),
                                CommandOutput::seconds(clock)));
}
