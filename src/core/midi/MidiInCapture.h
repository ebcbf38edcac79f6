#pragma once

#include "core/midi/MidiInputPort.h"
#include "core/midi/MidiLongDataEvent.h"
#include "core/protocol/MidiStreamParser.h"

#include <QObject>
#include <QPointer>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

class MidiSystem;
class PromptService;

// Listens to the input device `DeviceChoice::midiIn` on behalf of one target object at a time.
// Input from the device's thread is queued to this object and handed on to the target, in
// arrival order, on the UI thread: short messages as MidiShortEvent, a SysEx in the one
// 256-byte input buffer as MidiLongDataEvent. Nothing is delivered inside a send, since sends
// never run the event loop. One instance, owned by MidiSystem.
class MidiInCapture : public QObject
{
    Q_OBJECT

public:
    enum class Mode { ShortMessages, SysExDump };
    enum OpenResult { OpenOk = 1, OpenFailed = 2 };
    // Who opens: each caller has its own message for a device that cannot be opened.
    enum class Caller { VelocityMonitor, TransferDialog, ReceiveDialog };

    static constexpr std::size_t inputBufferSize = 256;
    static constexpr std::size_t receivedDumpSize = 336;

    explicit MidiInCapture(MidiSystem &midi);
    ~MidiInCapture() override;

    OpenResult Open(QObject *target, Mode mode, Caller caller, PromptService &prompts);
    // Gives a returned input buffer back to the input (ignored while closing or closed).
    void Requeue(InputBufferHeader *header);
    // Stops input and closes the device; without an open capture it does nothing.
    void Close();

    // The dump rule of the receive side, for a returned buffer: ignored while closing; an empty
    // buffer or one that is not a template dump (bytes 2, 3, 7 not 20 63 03) is requeued and
    // gives nothing; an accepted one is copied into ReceivedDump and its length returned. The
    // caller then shows the result, requeues and closes.
    std::optional<int> takeDump(InputBufferHeader *header);

    bool isOpen() const { return port != nullptr; }
    bool closing() const { return closingFlag; }
    Mode mode() const { return currentMode; }
    const InputBufferHeader &header() const { return inputHeader; }

    // The last accepted dump, byte for byte, and how many bytes it holds.
    std::array<std::uint8_t, receivedDumpSize> ReceivedDump{};
    int receivedDumpLength = 0;

protected:
    void customEvent(QEvent *event) override;

private:
    class RawInput;
    void deliver(const QByteArray &message);

    MidiSystem &midi;
    std::unique_ptr<MidiInputPort> port;
    QPointer<QObject> target;
    Mode currentMode = Mode::ShortMessages;
    bool closingFlag = false;
    std::uint64_t session = 0;   // input queued for an earlier capture is dropped
    std::uint64_t feeding = 0;   // the capture whose input is being handed on
    MidiStreamParser parser;
    std::array<std::uint8_t, inputBufferSize> InputBuffer{};
    InputBufferHeader inputHeader;
};
