// UsbMidiPacket: whatever a USB device sends, read on any cable, gives exactly the bytes its
// packets' code indexes say, never more; and any SysEx made of the input, coded and read back,
// is the same message, with a code index that follows the position of its bytes.
#include "FuzzSupport.h"

#include "core/protocol/UsbMidiPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const int cable = in.byte() & 0x0F;
    const QByteArray packets = in.rest();

    std::size_t expected = 0;
    for (qsizetype at = 0; at + 4 <= packets.size(); at += 4)
        if ((std::uint8_t(packets[at]) >> 4) == cable)
            expected += std::size_t(UsbMidiPacket::bytesCarried(std::uint8_t(packets[at]) & 0x0F));
    const QByteArray stream = UsbMidiPacket::decode(packets, cable);
    FUZZ_CHECK(std::size_t(stream.size()) == expected);
    FUZZ_CHECK(stream.size() <= packets.size() / 4 * 3);

    QByteArray message = packets;
    message.prepend(char(0xF0)).append(char(0xF7));
    const QByteArray coded = UsbMidiPacket::encode(message, cable);
    FUZZ_CHECK(coded.size() == (message.size() + 2) / 3 * 4);
    for (qsizetype at = 0; at < coded.size(); at += 4) {
        const int cin = std::uint8_t(coded[at]) & 0x0F;
        const bool last = at + 4 == coded.size();
        FUZZ_CHECK((std::uint8_t(coded[at]) >> 4) == cable);
        FUZZ_CHECK(last ? cin >= 5 && cin <= 7 : cin == 4);
    }
    FUZZ_CHECK(UsbMidiPacket::decode(coded, cable) == message);
    return 0;
}
