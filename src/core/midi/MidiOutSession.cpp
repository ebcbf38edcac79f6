#include "core/midi/MidiOutSession.h"

#include "core/base/PromptService.h"
#include "core/midi/DeviceChoice.h"
#include "core/midi/MidiSystem.h"

MidiOutSession::MidiOutSession(MidiSystem &midi, PromptService &prompts)
    : midi(midi), prompts(prompts)
{
}

std::chrono::milliseconds MidiOutSession::waitLimit(std::size_t length)
{
    return std::chrono::milliseconds(1000 + (length * 640 + 999) / 1000);
}

SendResult MidiOutSession::Send(const std::uint8_t *buffer, std::uint32_t length, Caller caller)
{
    MidiOutputPort *port = midi.output(DeviceChoice::midiOut);
    if (!port) {
        tell(SendResult::DeviceNotOpened, caller);
        return SendResult::DeviceNotOpened;
    }
    if (!buffer || length == 0 || length > port->maxMessageLength()) {
        // Nothing the device could take whole: nothing is sent, and the device is closed.
        midi.releaseOutput();
        return SendResult::HeaderNotPrepared;
    }
    if (port->send(buffer, length, waitLimit(length)) != MidiOutputPort::Delivery::Delivered) {
        midi.releaseOutput();
        tell(SendResult::MessageRefused, caller);
        return SendResult::MessageRefused;
    }
    return SendResult::Sent;
}

SendResult MidiOutSession::Confirm(Caller caller)
{
    MidiOutputPort *port = midi.output(DeviceChoice::midiOut);
    bool arrived = port && port->flush(waitLimit(0)) == MidiOutputPort::Delivery::Delivered;
    if (arrived) {
        midi.recheckOutput();
        arrived = midi.output(DeviceChoice::midiOut) == port;
    }
    if (!arrived) {
        midi.releaseOutput();
        tell(SendResult::MessageRefused, caller);
        return SendResult::MessageRefused;
    }
    return SendResult::Sent;
}

void MidiOutSession::tell(SendResult result, Caller caller)
{
    const QString updata = QStringLiteral("Zorvik Updata");
    if (result == SendResult::DeviceNotOpened) {
        if (caller == Caller::CurveSend)
            prompts.inform(QStringLiteral("Open the device is err, please set device!"));
        else
            prompts.inform(QStringLiteral("There are no MIDI output devices!"), updata);
    } else if (result == SendResult::MessageRefused) {
        prompts.inform(QStringLiteral("Send the longMSG is err!"),
                       caller == Caller::TransferTemplate ? updata : QString());
    }
}
