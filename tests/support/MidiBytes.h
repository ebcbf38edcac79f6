#pragma once

#include <QByteArray>

#include <cstdint>
#include <initializer_list>

// Bytes as the MIDI tables write them: midiBytes({0x90, 0x3C, 0x11}).
inline QByteArray midiBytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values)
        result.append(char(v));
    return result;
}

inline const std::uint8_t *bytesOf(const QByteArray &b)
{
    return reinterpret_cast<const std::uint8_t *>(b.constData());
}
