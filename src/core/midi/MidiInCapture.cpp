#include "core/midi/MidiInCapture.h"

#include "core/base/PromptService.h"
#include "core/midi/DeviceChoice.h"
#include "core/midi/MidiShortEvent.h"
#include "core/midi/MidiSystem.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>

// Input as it came from the device's thread, tagged with the capture it belongs to.
class MidiInCapture::RawInput : public QEvent
{
public:
    RawInput(std::uint64_t session, QByteArray bytes)
        : QEvent(eventType()), session(session), bytes(std::move(bytes)) {}

    static QEvent::Type eventType()
    {
        static const auto type = QEvent::Type(QEvent::registerEventType());
        return type;
    }

    const std::uint64_t session;
    const QByteArray bytes;
};

MidiInCapture::MidiInCapture(MidiSystem &midi)
    : midi(midi), parser([this](const QByteArray &message) { deliver(message); })
{
}

MidiInCapture::~MidiInCapture()
{
    port.reset();
}

MidiInCapture::OpenResult MidiInCapture::Open(QObject *newTarget, Mode mode, Caller caller,
                                              PromptService &prompts)
{
    // One capture at a time: a capture left open by an earlier user ends here.
    if (port)
        Close();
    closingFlag = false;
    ++session;
    parser.reset();

    QString error;
    const std::uint64_t tag = session;
    port = midi.openInput(DeviceChoice::midiIn, [this, tag](const QByteArray &bytes) {
        QCoreApplication::postEvent(this, new RawInput(tag, bytes));
    }, &error);
    if (!port) {
        switch (caller) {
        case Caller::VelocityMonitor:
            prompts.inform(QStringLiteral("Error opening the default MIDI In Device!\r\n"), {},
                           PromptService::Icon::Stop);
            break;
        case Caller::TransferDialog:
            prompts.inform(QStringLiteral("There are no MIDI input devices!"),
                           QStringLiteral("Zorvik Updata"));
            break;
        case Caller::ReceiveDialog:
            prompts.inform(QStringLiteral("Error opening the default MIDI In Device!\r\n"),
                           QStringLiteral("Zorvik Halden"), PromptService::Icon::Stop);
            break;
        }
        return OpenFailed;
    }

    target = newTarget;
    currentMode = mode;
    inputHeader = InputBufferHeader{};
    inputHeader.data = InputBuffer.data();
    inputHeader.bufferLength = inputBufferSize;
    // Short messages only: the buffer is handed straight back, so no SysEx is ever recorded.
    inputHeader.queued = mode == Mode::SysExDump;
    return OpenOk;
}

void MidiInCapture::Requeue(InputBufferHeader *header)
{
    if (closingFlag || !port || header != &inputHeader)
        return;
    header->bytesRecorded = 0;
    header->queued = true;
}

void MidiInCapture::Close()
{
    if (!port)
        return;
    closingFlag = true;
    inputHeader.queued = false;
    port.reset();
    target = nullptr;
    ++session;
}

std::optional<int> MidiInCapture::takeDump(InputBufferHeader *header)
{
    if (closingFlag || header != &inputHeader)
        return std::nullopt;
    const std::uint8_t *bytes = header->data;
    const std::uint32_t count = std::min<std::uint32_t>(header->bytesRecorded, inputBufferSize);
    if (count == 0 || count < 8 || bytes[2] != 0x20 || bytes[3] != 0x63 || bytes[7] != 0x03) {
        Requeue(header);
        return std::nullopt;
    }
    std::memcpy(ReceivedDump.data(), bytes, count);
    receivedDumpLength = int(count);
    return receivedDumpLength;
}

void MidiInCapture::customEvent(QEvent *event)
{
    if (event->type() != RawInput::eventType())
        return;
    auto *raw = static_cast<RawInput *>(event);
    if (raw->session != session || !port)
        return;
    feeding = session;
    parser.feed(raw->bytes);
    if (feeding != session)
        parser.reset();   // the target closed or reopened meanwhile: start clean
}

void MidiInCapture::deliver(const QByteArray &message)
{
    // The target may close the capture from its handler; what follows is then dropped.
    if (!port || !target || feeding != session || message.isEmpty())
        return;
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(message.constData());
    if (bytes[0] != 0xF0) {
        std::uint32_t value = bytes[0];
        if (message.size() > 1)
            value |= std::uint32_t(bytes[1]) << 8;
        if (message.size() > 2)
            value |= std::uint32_t(bytes[2]) << 16;
        MidiShortEvent event(value);
        QCoreApplication::sendEvent(target, &event);
        return;
    }
    if (!inputHeader.queued || closingFlag)
        return;   // no buffer waiting: the SysEx is lost, as it would be on the wire
    // A longer SysEx fills the buffer; its first 256 bytes come back as one buffer.
    const auto count = std::min<std::size_t>(std::size_t(message.size()), inputBufferSize);
    std::memcpy(InputBuffer.data(), bytes, count);
    inputHeader.bytesRecorded = std::uint32_t(count);
    inputHeader.queued = false;
    MidiLongDataEvent event(&inputHeader);
    QCoreApplication::sendEvent(target, &event);
}
