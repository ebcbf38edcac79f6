#include "core/transfer/TransferDriver.h"

#include "core/midi/DeviceChoice.h"
#include "core/midi/DeviceLock.h"
#include "core/midi/MidiInCapture.h"
#include "core/midi/MidiPortBackend.h"
#include "core/midi/MidiShortEvent.h"
#include "core/midi/MidiSystem.h"

TransferDriver::TransferDriver(MidiSystem &midi, PromptService &prompts, QObject *parent)
    : QObject(parent)
    , midi(midi)
    , prompts(prompts)
    , transfer([&midi, &prompts](const QByteArray &message, MidiOutSession::Caller caller) {
        MidiOutSession out(midi, prompts);
        return out.Send(reinterpret_cast<const std::uint8_t *>(message.constData()),
                        static_cast<std::uint32_t>(message.size()), caller);
    }, [&midi, &prompts](MidiOutSession::Caller caller) { return MidiOutSession(midi, prompts).Confirm(caller); })
{
    clock.start();
    watchdog.setInterval(200);
    connect(&watchdog, &QTimer::timeout, this, &TransferDriver::checkWatchdog);
    devicePoll.setInterval(100);
    connect(&devicePoll, &QTimer::timeout, this, &TransferDriver::pollDevice);
}

TransferDriver::~TransferDriver()
{
    stopListening();
    releaseDevice();
}

void TransferDriver::open(FileKind kind, QByteArray image)
{
    abort();
    transfer.open(kind, std::move(image));
    emit changed();
}

bool TransferDriver::busy() const
{
    return pendingStart || transfer.state() == TransferSession::State::AwaitingReady
           || transfer.state() == TransferSession::State::Sending;
}

void TransferDriver::send()
{
    if (busy())
        return;
    if (transfer.fileKind() == FileKind::Template) {
        reserveDevice(&TransferDriver::sendTemplate);
        return;
    }
    if (transfer.needsRepeatDelay()) {
        transfer.prepareRepeat();
        emit changed();
        QTimer::singleShot(TransferSession::repeatDelayMs, this,
                           [this] { reserveDevice(&TransferDriver::startBlockTransfer); });
        return;
    }
    reserveDevice(&TransferDriver::startBlockTransfer);
}

void TransferDriver::reserveDevice(void (TransferDriver::*start)())
{
    if (busy())
        return;
    // The device the messages will go to; nothing is opened or connected before it is ours, as
    // a new connection to the device is felt by the transfer under way. The built-in simulator
    // belongs to this process alone, and a device that is not listed fails on the first send
    // as it always did: neither needs a lock.
    const QString device = DeviceChoice::midiOut == MidiSystem::simulatorOutput ? QString()
                                                                                : midi.outputName(DeviceChoice::midiOut);
    if (device.isEmpty()) {
        (this->*start)();
        return;
    }
    deviceLock = std::make_unique<DeviceLock>(midi.systemPorts().place() + QLatin1Char('\n') + device);
    QString error;
    if (deviceLock->tryAcquire(&error)) {
        (this->*start)();
        return;
    }
    if (!error.isEmpty()) {
        deviceLock.reset();
        transfer.deviceUnavailable(error);
        emit changed();
        emit failed();
        return;
    }
    pendingStart = start;
    deviceDeadline = now() + transfer.replyTimeout();
    transfer.waitForDevice();
    devicePoll.start();
    emit changed();
}

void TransferDriver::pollDevice()
{
    if (!pendingStart || !deviceLock) {
        devicePoll.stop();
        return;
    }
    const auto start = pendingStart;
    if (deviceLock->tryAcquire()) {
        devicePoll.stop();
        pendingStart = nullptr;
        (this->*start)();
        return;
    }
    if (now() < deviceDeadline)
        return;
    devicePoll.stop();
    pendingStart = nullptr;
    deviceLock.reset();
    transfer.deviceUnavailable(DeviceLock::busyMessage());
    emit changed();
    emit failed();
}

void TransferDriver::releaseDevice()
{
    devicePoll.stop();
    pendingStart = nullptr;
    deviceLock.reset();
}

void TransferDriver::sendTemplate()
{
    const auto result = transfer.send(now());
    releaseDevice();
    emit changed();
    if (result == TransferSession::StartResult::CloseDialog)
        emit closeRequested();
    else if (result == TransferSession::StartResult::Sent)
        emit finished();
    else
        emit failed();
}

void TransferDriver::startBlockTransfer()
{
    if (busy())
        return;
    MidiInCapture &capture = midi.capture();
    if (capture.Open(this, MidiInCapture::Mode::ShortMessages, MidiInCapture::Caller::TransferDialog, prompts)
        != MidiInCapture::OpenOk) {
        releaseDevice();
        emit closeRequested();
        return;
    }
    listening = true;
    if (transfer.send(now()) != TransferSession::StartResult::Started) {
        stopListening();
        emit changed();
        return;
    }
    watchdog.start();
    emit changed();
}

void TransferDriver::customEvent(QEvent *event)
{
    if (event->type() != MidiShortEvent::eventType())
        return;
    QElapsedTimer handling;
    handling.start();
    const auto result = transfer.onShortMessage(static_cast<MidiShortEvent *>(event)->value, now());
    replyToBlockMicros = handling.nsecsElapsed() / 1000;
    if (result == TransferSession::Event::Finished || result == TransferSession::Event::Failed) {
        watchdog.stop();
        stopListening();
        emit changed();
        if (result == TransferSession::Event::Finished)
            emit finished();
        else
            emit failed();
        return;
    }
    emit changed();
}

void TransferDriver::checkWatchdog()
{
    if (transfer.checkTimeout(now()) != TransferSession::Event::TimedOut)
        return;
    watchdog.stop();
    stopListening();
    emit changed();
    emit timedOut();
}

void TransferDriver::abort()
{
    watchdog.stop();
    transfer.abort();
    stopListening();
    releaseDevice();
}

void TransferDriver::stopListening()
{
    // A block transfer ends here, whichever way: the device is free for others again.
    releaseDevice();
    if (!listening)
        return;
    listening = false;
    midi.capture().Close();
}
