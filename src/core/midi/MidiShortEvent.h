#pragma once

#include <QEvent>

#include <cstdint>

// One short message from the MIDI input, delivered to the capture's target object: status in
// bits 0-7, first data byte in bits 8-15, second in bits 16-23 (90 3C 11 arrives as 0x113C90).
class MidiShortEvent : public QEvent
{
public:
    explicit MidiShortEvent(std::uint32_t value) : QEvent(eventType()), value(value) {}

    static QEvent::Type eventType()
    {
        static const auto type = QEvent::Type(QEvent::registerEventType());
        return type;
    }

    std::uint8_t status() const { return value & 0xFF; }
    std::uint8_t data1() const { return (value >> 8) & 0xFF; }
    std::uint8_t data2() const { return (value >> 16) & 0xFF; }

    const std::uint32_t value;
};
