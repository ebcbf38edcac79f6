#pragma once

#include <QEvent>

#include <cstdint>

// The capture's input buffer, as it is handed back to the target object with a SysEx in it.
struct InputBufferHeader
{
    std::uint8_t *data = nullptr;
    std::uint32_t bufferLength = 0;
    std::uint32_t bytesRecorded = 0;
    std::uint32_t flags = 0;
    bool queued = false;   // given to the input, waiting for a SysEx
};

// A returned input buffer, delivered to the capture's target object.
class MidiLongDataEvent : public QEvent
{
public:
    explicit MidiLongDataEvent(InputBufferHeader *header) : QEvent(eventType()), header(header) {}

    static QEvent::Type eventType()
    {
        static const auto type = QEvent::Type(QEvent::registerEventType());
        return type;
    }

    InputBufferHeader *const header;
};
