#include "library/TransferDriver.h"

#include "midi/MidiInCapture.h"
#include "midi/MidiShortEvent.h"
#include "midi/MidiSystem.h"

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
}

TransferDriver::~TransferDriver()
{
    stopListening();
}

void TransferDriver::open(FileKind kind, QByteArray image)
{
    abort();
    transfer.open(kind, std::move(image));
    emit changed();
}

bool TransferDriver::busy() const
{
    return transfer.state() == TransferSession::State::AwaitingReady
           || transfer.state() == TransferSession::State::Sending;
}

void TransferDriver::send()
{
    if (busy())
        return;
    if (transfer.fileKind() == FileKind::Template) {
        const auto result = transfer.send(now());
        emit changed();
        if (result == TransferSession::StartResult::CloseDialog)
            emit closeRequested();
        return;
    }
    if (transfer.needsRepeatDelay()) {
        transfer.prepareRepeat();
        emit changed();
        QTimer::singleShot(TransferSession::repeatDelayMs, this, &TransferDriver::startBlockTransfer);
        return;
    }
    startBlockTransfer();
}

void TransferDriver::startBlockTransfer()
{
    if (busy())
        return;
    MidiInCapture &capture = midi.capture();
    if (capture.Open(this, MidiInCapture::Mode::ShortMessages, MidiInCapture::Caller::TransferDialog, prompts)
        != MidiInCapture::OpenOk) {
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
}

void TransferDriver::stopListening()
{
    if (!listening)
        return;
    listening = false;
    midi.capture().Close();
}
