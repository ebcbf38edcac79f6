#pragma once

#include "core/midi/MidiInCapture.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <cstdint>
#include <functional>

// Stands in for a consumer of the MIDI input: holds the capture while it listens and records
// what reaches it then. Short messages are kept as the protocol's tables write them, one word
// with the status lowest (90 3C 11 as 0x113C90).
class InputListener : public QObject
{
public:
    explicit InputListener(MidiInCapture &inputCapture) : capture(inputCapture)
    {
        connect(&capture, &MidiInCapture::shortMessage, this, [this](quint8 status, quint8 data1, quint8 data2) {
            if (!this->capture.isOpenFor(this))
                return;
            const std::uint32_t value = status | std::uint32_t(data1) << 8 | std::uint32_t(data2) << 16;
            shorts.append(value);
            if (onShort)
                onShort(value);
        });
        connect(&capture, &MidiInCapture::sysEx, this, [this](const QByteArray &message) {
            if (this->capture.isOpenFor(this))
                sysExes.append(message);
        });
    }

    bool open(MidiInCapture::Mode mode = MidiInCapture::Mode::ShortMessages) { return capture.open(this, mode); }
    void close() { capture.close(this); }

    QList<std::uint32_t> shorts;
    QList<QByteArray> sysExes;
    std::function<void(std::uint32_t)> onShort;

private:
    MidiInCapture &capture;
};
