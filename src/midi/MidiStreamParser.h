#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <functional>

// Turns the pieces of input a back end delivers into whole messages. The ALSA sequencer and
// JACK hand over a long SysEx in pieces, and a line may carry running status, realtime bytes
// and noise; the capture wants one complete message at a time:
// - a SysEx is joined from F0 to F7; a new F0 (or any other status byte) drops an unfinished one,
//   so a lost F7 never glues two dumps together;
// - realtime bytes (F8-FF) are removed wherever they occur;
// - data bytes after a channel status continue it (running status); stray data bytes are dropped;
// - a SysEx longer than `maxSysEx` keeps its first `maxSysEx` bytes and its F7.
class MidiStreamParser
{
public:
    using Sink = std::function<void(const QByteArray &message)>;

    static constexpr std::size_t defaultMaxSysEx = 64 * 1024;

    explicit MidiStreamParser(Sink sink, std::size_t maxSysEx = defaultMaxSysEx);

    void feed(const std::uint8_t *bytes, std::size_t length);
    void feed(const QByteArray &bytes);
    void reset();

    static int dataLength(std::uint8_t status);

private:
    void byte(std::uint8_t b);

    Sink sink;
    std::size_t maxSysEx;
    bool inSysEx = false;
    QByteArray sysEx;
    std::uint8_t runningStatus = 0;   // 0: none
    std::uint8_t message[3] = {};
    int have = 0;                     // bytes of `message` filled, status included
    int need = 0;                     // bytes the current short message needs, status included
};
