// MidiStreamParser: input in arbitrary pieces, with noise, realtime bytes, running status and
// broken SysEx, comes out as whole messages only: a SysEx from F0 to F7 within the size limit,
// or one short message of exactly its status's length whose data bytes are data bytes.
#include "FuzzSupport.h"

#include "core/protocol/MidiStreamParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const std::uint8_t setup = in.byte();
    const auto mode = (setup & 1) ? MidiStreamParser::WholePieces::Verbatim : MidiStreamParser::WholePieces::Filtered;
    // A small limit now and then, so that the cutting of long SysEx is reached.
    const std::size_t maxSysEx = (setup & 2) ? 2 + in.byte() : MidiStreamParser::defaultMaxSysEx;

    std::size_t messages = 0;
    std::size_t bytesOut = 0;
    MidiStreamParser parser([&](const QByteArray &message) {
        ++messages;
        bytesOut += std::size_t(message.size());
        FUZZ_CHECK(!message.isEmpty());
        const auto first = std::uint8_t(message.front());
        if (first == 0xF0) {
            FUZZ_CHECK(message.size() >= 2);
            FUZZ_CHECK(std::uint8_t(message.back()) == 0xF7);
            FUZZ_CHECK(std::size_t(message.size()) <= maxSysEx);
            if (mode == MidiStreamParser::WholePieces::Filtered) {
                for (qsizetype i = 1; i + 1 < message.size(); ++i) {
                    const auto b = std::uint8_t(message[i]);
                    FUZZ_CHECK(b != 0xF0 && b != 0xF7 && b < 0xF8);
                }
            }
            return;
        }
        FUZZ_CHECK(first >= 0x80 && first != 0xF7 && first < 0xF8);
        FUZZ_CHECK(message.size() == 1 + MidiStreamParser::dataLength(first));
        for (qsizetype i = 1; i < message.size(); ++i)
            FUZZ_CHECK(std::uint8_t(message[i]) < 0x80);
    }, maxSysEx, mode);

    std::size_t bytesIn = 0;
    while (!in.empty()) {
        const std::uint8_t control = in.byte();
        if (control == 0xFF) {
            parser.reset();
            continue;
        }
        const QByteArray piece = in.bytes(control % 64);
        bytesIn += std::size_t(piece.size());
        parser.feed(piece);
    }
    // Nothing is made up: the output is never larger than the input.
    FUZZ_CHECK(bytesOut <= bytesIn + messages);   // + a supplied F7 per cut SysEx at most
    return 0;
}
