#include "core/protocol/MidiStreamParser.h"

#include <algorithm>
#include <utility>

MidiStreamParser::MidiStreamParser(Sink deliver, std::size_t sysExLimit, WholePieces piecesAreWhole)
    : sink(std::move(deliver)), maxSysEx(sysExLimit < 2 ? 2 : sysExLimit), wholePieces(piecesAreWhole)
{
}

int MidiStreamParser::dataLength(std::uint8_t status)
{
    if (status < 0x80)
        return -1;
    if (status < 0xF0) {
        const std::uint8_t kind = status & 0xF0;
        return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
    }
    switch (status) {
    case 0xF1:
    case 0xF3:
        return 1;
    case 0xF2:
        return 2;
    default:
        return 0;
    }
}

void MidiStreamParser::feed(const QByteArray &bytes)
{
    feed(reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size()));
}

void MidiStreamParser::feed(const std::uint8_t *bytes, std::size_t length)
{
    // A piece that is one whole SysEx (JACK delivers every message as one event) goes as it is:
    // the instrument's count bytes are full 8-bit values and may look like F7 or realtime bytes.
    if (wholePieces == WholePieces::Verbatim && !inSysEx && length >= 2 && bytes[0] == 0xF0 && bytes[length - 1] == 0xF7) {
        reset();
        const auto count = std::min(length, maxSysEx);
        QByteArray whole(reinterpret_cast<const char *>(bytes), qsizetype(count));
        whole.back() = char(0xF7);
        sink(whole);
        return;
    }
    // A piece that is one whole short message is the device's next message, not more of a SysEx
    // that lost its F7: back ends hand over each message of the device as a piece of its own.
    if (inSysEx && isShortMessage(bytes, length)) {
        inSysEx = false;
        sysEx.clear();
    }
    for (std::size_t i = 0; i < length; ++i)
        byte(bytes[i]);
}

bool MidiStreamParser::isShortMessage(const std::uint8_t *bytes, std::size_t length)
{
    if (length == 0 || bytes[0] < 0x80 || bytes[0] > 0xEF || length != std::size_t(1 + dataLength(bytes[0])))
        return false;
    return std::all_of(bytes + 1, bytes + length, [](std::uint8_t b) { return b < 0x80; });
}

void MidiStreamParser::reset()
{
    inSysEx = false;
    sysEx.clear();
    runningStatus = 0;
    have = need = 0;
}

void MidiStreamParser::byte(std::uint8_t b)
{
    if (b >= 0xF8)
        return;   // realtime: never part of a message, never delivered

    if (b == 0xF0) {
        sysEx.clear();
        sysEx.append(char(b));
        inSysEx = true;
        runningStatus = 0;
        have = need = 0;
        return;
    }
    if (b == 0xF7) {
        if (inSysEx) {
            sysEx.append(char(b));
            inSysEx = false;
            const QByteArray done = std::exchange(sysEx, QByteArray());
            sink(done);
        }
        return;   // an F7 without its F0 is noise
    }
    if (inSysEx) {
        // The instrument's frame carries bytes with the top bit set inside its SysEx (0x89 and
        // the count bytes), so only F7 ends a SysEx and only F0 starts a new one.
        if (std::size_t(sysEx.size()) < maxSysEx - 1)
            sysEx.append(char(b));
        return;
    }
    if (b & 0x80) {
        message[0] = b;
        have = 1;
        need = 1 + dataLength(b);
        runningStatus = b < 0xF0 ? b : 0;
    } else if (have == 0 || have >= need) {
        if (runningStatus == 0)
            return;   // a data byte with no status to belong to
        message[0] = runningStatus;
        message[1] = b;
        have = 2;
        need = 1 + dataLength(runningStatus);
    } else {
        message[have++] = b;
    }

    if (have == need) {
        sink(QByteArray(reinterpret_cast<const char *>(message), need));
        if (runningStatus == 0)
            have = need = 0;
    }
}
