#include "core/protocol/SevenBitCodec.h"
#include "core/transfer/TransferSession.h"
#include "support/InstrumentMessage.h"

#include <QTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// Records what the session hands to the port, answering with a chosen result.
struct FakePort
{
    QList<QByteArray> sent;
    QList<TransferSession::Message> kinds;
    SendResult answer = SendResult::Sent;

    TransferSession::Sender sender()
    {
        return [this](const QByteArray &message, TransferSession::Message what) {
            sent.append(message);
            kinds.append(what);
            return answer;
        };
    }
};

QByteArray imagePackingTo(int packedLength)
{
    // Lengths that pack to exactly packedLength bytes (groups of 8 with partial groups of >= 2).
    const int full = packedLength / 8;
    const int rest = packedLength % 8;
    return QByteArray(7 * full + (rest ? rest - 1 : 0), '\x42');
}

} // namespace

class TestTransferSession : public QObject
{
    Q_OBJECT

private slots:
    void tinyFirmwareIsOneShortBlock()
    {
        FakePort port;
        TransferSession session(port.sender());
        session.open(FileKind::Firmware, hex("01 02 03 04 05 06 87"));
        QVERIFY(!session.carriesNumber());
        QCOMPARE(session.send(0), TransferSession::StartResult::Started);
        QCOMPARE(session.blockCount(), 1);
        QCOMPARE(session.lastBlockLength(), 8);
        QCOMPARE(port.sent.at(0), hex("F0 00 20 63 00 01 00 04 00 18 00 01 89 F7"));
        QCOMPARE(session.outcome().what, TransferOutcome::What::Announced);

        session.onShortMessage(TransferSession::replyReady, 10);
        QCOMPARE(session.outcome().what, TransferOutcome::What::Sending);
        QCOMPARE(session.progressMaximum(), 1);
        QCOMPARE(session.onShortMessage(TransferSession::replyNext, 20), TransferSession::Event::Finished);
        QCOMPARE(port.sent.size(), 2);
        QCOMPARE(port.sent.at(1).size(), 22);
        QCOMPARE(port.sent.at(1).left(13), hex("F0 00 20 63 00 01 00 7F 00 18 00 00 89"));
        QCOMPARE(port.sent.at(1).mid(13, 8), hex("01 01 02 03 04 05 06 07"));
        QCOMPARE(session.outcome().what, TransferOutcome::What::Finished);
        QVERIFY(session.delivered());
        QCOMPARE(session.state(), TransferSession::State::Finished);
    }

    void blockSplitting_data()
    {
        QTest::addColumn<int>("packedLength");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("lastLength");
        QTest::newRow("2048") << 2048 << 2 << 0;
        QTest::newRow("1026") << 1026 << 2 << 2;
        QTest::newRow("1024") << 1024 << 1 << 0;
    }
    void blockSplitting()
    {
        QFETCH(int, packedLength);
        QFETCH(int, blocks);
        QFETCH(int, lastLength);
        FakePort port;
        TransferSession session(port.sender());
        const QByteArray image = imagePackingTo(packedLength);
        QCOMPARE(SevenBitCodec::packedLength(image.size()), std::size_t(packedLength));
        session.open(FileKind::Song, image);
        session.setNumber(5);
        session.send(0);
        QCOMPARE(session.blockCount(), blocks);
        QCOMPARE(session.lastBlockLength(), lastLength);
        QCOMPARE(static_cast<unsigned char>(port.sent.at(0).at(9)), 5);
        QCOMPARE(static_cast<unsigned char>(port.sent.at(0).at(11)), blocks);

        const QByteArray packed = SevenBitCodec::Pack(image);
        session.onShortMessage(TransferSession::replyReady, 0);
        QByteArray reassembled;
        for (int k = 0; k < blocks; ++k) {
            session.onShortMessage(TransferSession::replyNext, 0);
            QCOMPARE(session.progressValue(), k + 1);
            const QByteArray block = port.sent.last();
            QCOMPARE(static_cast<unsigned char>(block.at(7)), 0x7F);
            QCOMPARE(static_cast<unsigned char>(block.at(11)), k);
            reassembled += block.mid(13, block.size() - 14);
        }
        QCOMPARE(reassembled, packed);
        QVERIFY(session.delivered());
        // More requests than blocks send nothing.
        const auto count = port.sent.size();
        session.onShortMessage(TransferSession::replyNext, 0);
        QCOMPARE(port.sent.size(), count);
    }

    void repliesOutOfOrderAreIgnored()
    {
        FakePort port;
        TransferSession session(port.sender());
        session.open(FileKind::Csf, imagePackingTo(3000));
        session.send(0);
        session.onShortMessage(TransferSession::replyNext, 0);   // before ready: nothing
        session.onShortMessage(0x00333C91, 0);                   // other channel: nothing
        QCOMPARE(port.sent.size(), 1);
        QCOMPARE(session.state(), TransferSession::State::AwaitingReady);
        session.onShortMessage(TransferSession::replyReady, 0);
        session.onShortMessage(TransferSession::replyNext, 0);
        session.onShortMessage(TransferSession::replyReady, 0);  // a second ready changes nothing
        QCOMPARE(session.blocksSent(), 1);
        QCOMPARE(session.state(), TransferSession::State::Sending);

        // The number read before every block: a change shows in the next block's byte 9.
        session.setNumber(9);
        session.onShortMessage(TransferSession::replyNext, 0);
        QCOMPARE(static_cast<unsigned char>(port.sent.at(1).at(9)), 1);
        QCOMPARE(static_cast<unsigned char>(port.sent.at(2).at(9)), 9);
    }

    void templateSendWritesTheNumberOnly()
    {
        FakePort port;
        TransferSession session(port.sender());
        QByteArray image(162, '\x11');
        image.replace(0, 13, instrumentMessage(TransferHeader::TemplateImage, TransferHeader::noNumber, 1).left(13));
        image[161] = '\xF7';
        session.open(FileKind::Template, image);
        QCOMPARE(session.numberMaximum(), 8);
        session.setNumber(12);
        QCOMPARE(session.number(), 8);
        QCOMPARE(session.send(0), TransferSession::StartResult::Sent);
        QByteArray expected = image;
        expected[9] = 8;
        QCOMPARE(port.sent.at(0), expected);
        QCOMPARE(port.kinds.at(0), TransferSession::Message::Template);
        QCOMPARE(session.outcome().what, TransferOutcome::What::TemplateSent);
        QVERIFY(session.delivered());

        port.answer = SendResult::MessageRefused;
        QCOMPARE(session.send(0), TransferSession::StartResult::SendFailed);
        QCOMPARE(session.outcome().what, TransferOutcome::What::TemplateFailed);
        QVERIFY(!session.delivered());
        port.answer = SendResult::DeviceNotOpened;
        QCOMPARE(session.send(0), TransferSession::StartResult::NoOutputDevice);
        QCOMPARE(session.outcome().what, TransferOutcome::What::NoOutputDevice);
    }

    void imagesTheCountCannotCarryAreRefused()
    {
        FakePort port;
        TransferSession session(port.sender());
        QVERIFY(!TransferSession::refusal(FileKind::Firmware, {}).isEmpty());
        QVERIFY(!TransferSession::refusal(FileKind::Template, QByteArray(13, '\0')).isEmpty());
        const qint64 limit = TransferSession::maxImageSize(FileKind::Firmware);
        QCOMPARE(SevenBitCodec::packedLength(std::size_t(limit)), std::size_t(0xFFFF) * 1024);
        QVERIFY(TransferSession::refusal(FileKind::Song, QByteArray(limit, '\0')).isEmpty());
        QVERIFY(!TransferSession::refusal(FileKind::Song, QByteArray(limit + 1, '\0')).isEmpty());

        session.open(FileKind::Firmware, {});
        QCOMPARE(session.send(0), TransferSession::StartResult::Refused);
        QCOMPARE(session.outcome().what, TransferOutcome::What::Refused);
        QVERIFY(port.sent.isEmpty());
    }

    // A block that does not reach the device stops the transfer: no hole in the image, and no
    // success claimed for an image that is not whole.
    void failedBlockStopsTheTransfer_data()
    {
        QTest::addColumn<int>("failingBlock");
        QTest::newRow("middle block") << 1;
        QTest::newRow("last block") << 2;
    }
    void failedBlockStopsTheTransfer()
    {
        QFETCH(int, failingBlock);
        FakePort port;
        TransferSession session(port.sender());
        session.open(FileKind::Firmware, imagePackingTo(3 * 1024));
        session.send(0);
        session.onShortMessage(TransferSession::replyReady, 0);
        for (int k = 0; k < failingBlock; ++k)
            QCOMPARE(session.onShortMessage(TransferSession::replyNext, 0), TransferSession::Event::None);
        port.answer = SendResult::MessageRefused;
        QCOMPARE(session.onShortMessage(TransferSession::replyNext, 0), TransferSession::Event::Failed);
        QCOMPARE(session.state(), TransferSession::State::Ready);
        QCOMPARE(session.outcome().what, TransferOutcome::What::BlockFailed);
        QCOMPARE(session.outcome().block, failingBlock);
        QCOMPARE(session.outcome().failureText(), TransferOutcome::blockFailedText(failingBlock));
        QVERIFY(!session.delivered());
        QCOMPARE(session.progressValue(), failingBlock);
        const auto count = port.sent.size();
        session.onShortMessage(TransferSession::replyNext, 0);
        QCOMPARE(port.sent.size(), count);
    }

    void silentInstrumentTimesOut()
    {
        FakePort port;
        TransferSession session(port.sender());
        session.open(FileKind::Song, imagePackingTo(4096));
        session.send(1000);
        QCOMPARE(session.checkTimeout(1000 + TransferSession::replyTimeoutMs - 1), TransferSession::Event::None);
        session.onShortMessage(TransferSession::replyReady, 5000);
        session.onShortMessage(TransferSession::replyNext, 9000);   // every reply restarts the wait
        QCOMPARE(session.checkTimeout(18000), TransferSession::Event::None);
        QCOMPARE(session.checkTimeout(19000), TransferSession::Event::TimedOut);
        QCOMPARE(session.state(), TransferSession::State::Ready);
        QCOMPARE(session.outcome().what, TransferOutcome::What::TimedOut);

        // The next Send starts afresh from the announcement.
        port.sent.clear();
        session.send(20000);
        QCOMPARE(static_cast<unsigned char>(port.sent.at(0).at(7)), 0x02);
        QCOMPARE(session.blocksSent(), 0);
    }

    // A firmware announcement gives the instrument a minute to get ready (it may erase its
    // memory first); between blocks the wait stays ten seconds.
    void firmwareGetsAMinuteToGetReady()
    {
        FakePort port;
        TransferSession session(port.sender());
        session.open(FileKind::Firmware, imagePackingTo(4096));
        session.send(0);
        QCOMPARE(session.outcome().what, TransferOutcome::What::Announced);
        QCOMPARE(session.checkTimeout(59999), TransferSession::Event::None);
        session.onShortMessage(TransferSession::replyReady, 59000);
        QCOMPARE(session.outcome().what, TransferOutcome::What::Sending);
        session.onShortMessage(TransferSession::replyNext, 60000);
        QCOMPARE(session.checkTimeout(69999), TransferSession::Event::None);
        QCOMPARE(session.checkTimeout(70000), TransferSession::Event::TimedOut);

        session.send(100000);
        QCOMPARE(session.checkTimeout(160000), TransferSession::Event::TimedOut);
        QCOMPARE(session.outcome().what, TransferOutcome::What::TimedOut);

        // Songs are not flashed before their first block: the usual ten seconds.
        session.open(FileKind::Song, imagePackingTo(4096));
        session.send(0);
        QCOMPARE(session.checkTimeout(10000), TransferSession::Event::TimedOut);
    }

    void repeatedSendRepacksTheSameImage()
    {
        FakePort port;
        TransferSession session(port.sender());
        session.open(FileKind::Firmware, imagePackingTo(100));
        session.send(0);
        session.onShortMessage(TransferSession::replyReady, 0);
        session.onShortMessage(TransferSession::replyNext, 0);
        QVERIFY(session.needsRepeatDelay());
        session.prepareRepeat();
        QCOMPARE(session.outcome().what, TransferOutcome::What::RepeatPending);
        session.send(0);
        session.onShortMessage(TransferSession::replyReady, 0);
        session.onShortMessage(TransferSession::replyNext, 0);
        QCOMPARE(port.sent.size(), 4);
        QCOMPARE(port.sent.at(3), port.sent.at(1));
    }
};

QTEST_APPLESS_MAIN(TestTransferSession)
#include "tst_TransferSession.moc"
