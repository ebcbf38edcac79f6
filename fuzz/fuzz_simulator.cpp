// InstrumentSimulator::receive: any sequence of messages from the program is taken without
// harm; its logs stay within their limit, and a transfer it calls complete reassembled an image
// that is the unpacked form of the blocks it joined.
#include "FuzzSupport.h"

#include "core/protocol/SevenBitCodec.h"
#include "core/sim/InstrumentSimulator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    InstrumentSimulator sim;
    sim.faults.garbleReply = in.byte() % 4 - 1;
    sim.faults.dropReply = in.byte() % 4 - 1;
    int replies = 0;
    QObject::connect(&sim, &InstrumentSimulator::reply, [&](const QByteArray &bytes) {
        ++replies;
        FUZZ_CHECK(!bytes.isEmpty());
    });

    // Messages mostly carry the instrument's frame, so that the commands behind it are reached.
    static const QByteArray frame = QByteArray::fromHex("f0002063000100");
    while (!in.empty()) {
        const std::uint8_t control = in.byte();
        QByteArray message;
        if (control & 0x80)
            message = frame + in.bytes(control & 0x7F);
        else
            message = in.bytes(std::size_t(control) * 16);
        if (control & 0x40)
            message.append(char(0xF7));
        sim.receive(message);
        if (control == 0x3F)
            sim.playNote(in.byte(), in.byte());
    }
    FUZZ_CHECK(sim.received().size() <= InstrumentSimulator::logLimit);
    FUZZ_CHECK(sim.events().size() <= InstrumentSimulator::logLimit);
    const auto &transfer = sim.lastTransfer();
    if (transfer.complete)
        FUZZ_CHECK(transfer.image == SevenBitCodec::Unpack(transfer.packed));
    FUZZ_CHECK(transfer.blocksReceived >= 0);
    for (int n = 1; n <= InstrumentSimulator::templateCount; ++n)
        (void)sim.templateMemory(n);
    return 0;
}
