#include "core/transfer/TransferDriver.h"

#include "core/base/PromptService.h"
#include "core/midi/DeviceLock.h"
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiInCapture.h"
#include "core/midi/MidiPortBackend.h"
#include "core/midi/MidiSystem.h"

#include <algorithm>

TransferDriver::TransferDriver(MidiSystem &midiPorts, DeviceSelection &selection, MidiInCapture &inputCapture,
                               PromptService &promptService, QObject *parent)
    : QObject(parent)
    , ports(midiPorts)
    , devices(selection)
    , capture(inputCapture)
    , prompts(promptService)
    , sysEx(midiPorts, selection)
    , transfer([this](const QByteArray &message, TransferSession::Message what) {
        return tell(sysEx.send(reinterpret_cast<const std::uint8_t *>(message.constData()),
                                static_cast<std::uint32_t>(message.size())),
                    what);
    }, [this](TransferSession::Message what) { return tell(sysEx.confirm(), what); })
{
    clock.start();
    watchdog.setInterval(200);
    connect(&watchdog, &QTimer::timeout, this, &TransferDriver::checkWatchdog);
    devicePoll.setInterval(100);
    connect(&devicePoll, &QTimer::timeout, this, &TransferDriver::pollDevice);
    connect(&capture, &MidiInCapture::shortMessage, this, &TransferDriver::onShortMessage);
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
    const MidiDevice output = devices.output();
    const QString device = output.isBuiltIn() ? QString() : ports.outputName(output);
    deviceName = device;
    if (device.isEmpty()) {
        startExchange(start);
        return;
    }
    deviceLock = std::make_unique<DeviceLock>(ports.systemPorts().place() + QLatin1Char('\n') + device);
    QString error;
    if (deviceLock->tryAcquire(&error)) {
        startExchange(start);
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

void TransferDriver::startExchange(void (TransferDriver::*start)())
{
    // The whole transfer is one exchange: a USB instrument's link is held from the first
    // message to the end, and its replies come back over it.
    QString error;
    exchange = ports.openExchange(devices.output(), devices.input(), &error);
    if (!exchange.isOpen()) {
        deviceLock.reset();
        transfer.deviceUnavailable(error);
        emit changed();
        emit failed();
        return;
    }
    (this->*start)();
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
        startExchange(start);
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
    exchange.end();
    deviceLock.reset();
}

void TransferDriver::sendTemplate()
{
    const auto result = transfer.send(now());
    releaseDevice();
    emit changed();
    if (result == TransferSession::StartResult::NoOutputDevice)
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
    if (!capture.open(this, MidiInCapture::Mode::ShortMessages)) {
        prompts.inform(QStringLiteral("There are no MIDI input devices!"), QStringLiteral("Zorvik Updata"));
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

SendResult TransferDriver::tell(SendResult result, TransferSession::Message what)
{
    const QString updata = QStringLiteral("Zorvik Updata");
    if (result == SendResult::DeviceNotOpened)
        prompts.inform(QStringLiteral("There are no MIDI output devices!"), updata);
    else if (result == SendResult::MessageRefused)
        prompts.inform(QStringLiteral("Send the longMSG is err!"),
                       what == TransferSession::Message::Template ? updata : QString());
    return result;
}

void TransferDriver::onShortMessage(quint8 status, quint8 data1, quint8 data2)
{
    if (!listening || !capture.isOpenFor(this))
        return;
    QElapsedTimer handling;
    handling.start();
    // The replies as the protocol writes them: one word, status lowest.
    const std::uint32_t value = status | std::uint32_t(data1) << 8 | std::uint32_t(data2) << 16;
    // The block this request asks for may have left already, answered on the input's thread.
    bool sentAhead = false;
    if (answered && value == TransferSession::replyNext) {
        sentAhead = capture.disarmAnswer(this) && answered->load();
        answered.reset();
    }
    const auto result = transfer.onShortMessage(value, now(), sentAhead);
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
    armNextBlock();
    emit changed();
}

void TransferDriver::armNextBlock()
{
    // The next block waits at the input, to leave in the very cycle its request arrives: a trip
    // to this thread and back makes it miss that cycle, and the transfer takes a cycle more per
    // block. Where the back ends cannot, the block goes when the request reaches us.
    if (answered)
        return;
    const QByteArray block = transfer.nextBlockMessage();
    if (block.isEmpty())
        return;
    MidiOutputPort *port = ports.output(devices.output());
    MidiOutputPort::QuickSender sender = port ? port->quickSender() : MidiOutputPort::QuickSender();
    if (!sender)
        return;
    auto sent = std::make_shared<std::atomic_bool>(false);
    const QByteArray request = QByteArray::fromRawData(reinterpret_cast<const char *>(&TransferSession::replyNextBytes[0]), 3);
    if (capture.armAnswer(this, QByteArray(request), [sender, block, sent] { sent->store(sender(block)); }))
        answered = sent;
}

bool TransferDriver::deviceListed()
{
    if (deviceName.isEmpty())
        return true;
    const QList<MidiSystem::Device> outputs = ports.outputs();
    return std::any_of(outputs.begin(), outputs.end(), [this](const MidiSystem::Device &d) { return d.name == deviceName; });
}

void TransferDriver::checkWatchdog()
{
    // A device that left is not waited for: the user learns at once that the transfer stopped.
    if (!deviceListed() && transfer.deviceGone() == TransferSession::Event::Failed) {
        watchdog.stop();
        stopListening();
        emit changed();
        emit failed();
        return;
    }
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
    // A block transfer ends here, whichever way: the device is free for others again, its
    // input closed before its link is given back.
    answered.reset();   // the armed block goes with the capture
    if (listening) {
        listening = false;
        capture.close(this);
    }
    releaseDevice();
}
