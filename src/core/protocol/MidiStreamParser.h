#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <functional>

// Turns the pieces of input a back end delivers into whole messages. The ALSA sequencer and
// JACK hand over a long SysEx in pieces, and a line may carry running status, realtime bytes
// and noise; the capture wants one complete message at a time:
// - a SysEx is joined from F0 to F7; a new F0 drops an unfinished one, so a lost F7 never glues
//   two dumps together. Other bytes with the top bit set stay in a SysEx: the instrument's frame
//   has them (0x89, the count bytes). But a piece that is one whole channel message (status
//   80-EF and its data bytes) drops an unfinished SysEx and is delivered: the device sent it as
//   a message of its own, so its SysEx lost the F7;
// - realtime bytes (F8-FF) are removed wherever they occur;
// - data bytes after a channel status continue it (running status); stray data bytes are dropped;
// - a SysEx longer than `maxSysEx` keeps its first `maxSysEx` bytes and its F7.
class MidiStreamParser
{
public:
    using Sink = std::function<void(const QByteArray &message)>;

    static constexpr std::size_t defaultMaxSysEx = 64 * 1024;

    // Verbatim: a piece that is one whole SysEx (JACK delivers each message as one event) is
    // taken as it is, for the instrument's side, whose data blocks carry full 8-bit block
    // numbers that may look like F7 or realtime bytes. Filtered: every byte is examined.
    enum class WholePieces { Filtered, Verbatim };

    explicit MidiStreamParser(Sink sink, std::size_t maxSysEx = defaultMaxSysEx,
                              WholePieces wholePieces = WholePieces::Filtered);

    void feed(const std::uint8_t *bytes, std::size_t length);
    void feed(const QByteArray &bytes);
    void reset();

    static int dataLength(std::uint8_t status);
    // One channel message whole: a status byte 80-EF and exactly its data bytes.
    static bool isShortMessage(const std::uint8_t *bytes, std::size_t length);

private:
    void byte(std::uint8_t b);

    Sink sink;
    std::size_t maxSysEx;
    WholePieces wholePieces;
    bool inSysEx = false;
    QByteArray sysEx;
    std::uint8_t runningStatus = 0;   // 0: none
    std::uint8_t message[3] = {};
    int have = 0;                     // bytes of `message` filled, status included
    int need = 0;                     // bytes the current short message needs, status included
};
