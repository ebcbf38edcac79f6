// TransferSession fed an arbitrary sequence of replies, time steps, repeats and aborts, with a
// sender that may fail. Whatever the instrument answers: no block is sent twice or out of
// order, nothing beyond the image is sent, every message is one framed SysEx, the progress
// stays within its bar, and a finished transfer has sent exactly the packed image.
#include "FuzzSupport.h"

#include "core/protocol/SevenBitCodec.h"
#include "core/protocol/TransferHeader.h"
#include "core/transfer/TransferSession.h"

#include <vector>

namespace {

void checkFrame(const QByteArray &message)
{
    FUZZ_CHECK(message.size() >= qsizetype(TransferHeader::size) + 1);
    FUZZ_CHECK(std::uint8_t(message.front()) == 0xF0);
    FUZZ_CHECK(std::uint8_t(message.back()) == 0xF7);
    FUZZ_CHECK(message[2] == 0x20 && message[3] == 0x63);
    if (std::uint8_t(message[7]) == TransferHeader::TemplateImage)
        return;   // a template goes as the file holds it, only byte 9 set: nothing else of its frame is ours
    FUZZ_CHECK(std::uint8_t(message[12]) == 0x89);
    FUZZ_CHECK(message.size() <= qsizetype(TransferHeader::size) + TransferSession::blockSize + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const auto kind = FileKind(in.byte() % 5);
    // Images up to a few blocks, made from the input or as a run of one byte for longer ones.
    const int imageSize = in.word() % 6000;
    QByteArray image = in.bytes(std::size_t(imageSize));
    if (image.size() < imageSize)
        image.append(QByteArray(imageSize - image.size(), char(0xA5)));

    std::vector<QByteArray> sent;
    std::uint8_t failures = 0;   // bit n: the n-th send fails
    TransferSession session([&](const QByteArray &message, TransferSession::Message) {
        sent.push_back(message);
        const bool fail = (failures & 1) != 0;
        failures >>= 1;
        return fail ? SendResult::MessageRefused : SendResult::Sent;
    });
    session.open(kind, image);

    std::int64_t now = 0;
    std::size_t transferStart = 0;   // index in `sent` of the current announcement
    bool transferRunning = false;
    std::size_t checked = 0;
    for (int steps = 0; steps < 400 && !in.empty(); ++steps) {
        const std::uint8_t op = in.byte();
        switch (op % 8) {
        case 0: {   // Send (after the repeat delay when needed)
            if (session.needsRepeatDelay())
                session.prepareRepeat();
            now += TransferSession::repeatDelayMs;
            const std::size_t before = sent.size();
            const auto result = session.send(now);
            if (result == TransferSession::StartResult::Refused)
                FUZZ_CHECK(sent.size() == before);
            if (result == TransferSession::StartResult::Started) {
                transferStart = before;
                transferRunning = true;
                FUZZ_CHECK(sent.size() == before + 1);
            }
            break;
        }
        case 1: case 2: case 3:
            session.onShortMessage(TransferSession::replyNext, now);
            break;
        case 4:
            session.onShortMessage(TransferSession::replyReady, now);
            break;
        case 5:   // garbled or foreign input
            session.onShortMessage(in.u32(), now);
            break;
        case 6: {   // time passes
            now += std::int64_t(in.word()) * 4;
            if (session.checkTimeout(now) == TransferSession::Event::TimedOut)
                transferRunning = false;
            break;
        }
        case 7:
            if (op & 0x80) {
                session.abort();
                transferRunning = false;
            } else if (op & 0x40) {
                failures = in.byte();
            } else {
                session.setNumber(int(std::int8_t(in.byte())));
                FUZZ_CHECK(session.number() >= session.numberMinimum());
                FUZZ_CHECK(session.number() <= session.numberMaximum());
            }
            break;
        }

        FUZZ_CHECK(session.progressValue() >= 0);
        FUZZ_CHECK(session.progressValue() <= session.progressMaximum());
        FUZZ_CHECK(session.blocksSent() <= session.blockCount() || session.blockCount() == 0);
        for (; checked < sent.size(); ++checked)
            checkFrame(sent[checked]);

        if (transferRunning && session.state() == TransferSession::State::Finished) {
            transferRunning = false;
            // The announcement, then blocks 0, 1, ... in order, whose payloads are the packed image.
            const QByteArray packed = SevenBitCodec::Pack(session.image());
            const std::size_t blocks = sent.size() - transferStart - 1;
            FUZZ_CHECK(int(blocks) == session.blockCount());
            QByteArray joined;
            for (std::size_t b = 0; b < blocks; ++b) {
                const QByteArray &m = sent[transferStart + 1 + b];
                FUZZ_CHECK(std::uint8_t(m[7]) == TransferHeader::DataBlock);
                FUZZ_CHECK(int(std::uint8_t(m[10])) * 256 + int(std::uint8_t(m[11])) == int(b));
                joined += m.mid(qsizetype(TransferHeader::size), m.size() - qsizetype(TransferHeader::size) - 1);
            }
            FUZZ_CHECK(joined == packed);
            FUZZ_CHECK(SevenBitCodec::Unpack(joined) == session.image());
        }
    }
    return 0;
}
