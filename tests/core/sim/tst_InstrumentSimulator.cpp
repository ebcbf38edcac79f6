#include "core/panel/PanelSettings.h"
#include "core/protocol/SevenBitCodec.h"
#include "core/protocol/TransferHeader.h"
#include "core/sim/InstrumentSimulator.h"
#include "support/InstrumentMessage.h"

#include <QTest>

#include <tuple>

namespace {

QByteArray message(std::uint8_t command, std::uint8_t number, int count, const QByteArray &payload = {})
{
    return instrumentMessage(command, number, count, payload);
}

const QByteArray ready("\x90\x3C\x11", 3);
const QByteArray next("\x90\x3C\x33", 3);

} // namespace

class TestInstrumentSimulator : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        sim = std::make_unique<InstrumentSimulator>();
        replies.clear();
        connect(sim.get(), &InstrumentSimulator::reply, this, [this](const QByteArray &b) { replies.append(b); });
    }

    void templatesGoToTheirMemory()
    {
        PanelSettings panel;
        panel.storeDefaultBoxes();
        const QByteArray defaults = panel.buildTemplateSysEx();
        sim->sendDump();
        QCOMPARE(replies, QList<QByteArray>{defaults});   // the factory template before any store

        QByteArray t = defaults;
        t[9] = 8;
        t[20] = 0x11;
        sim->receive(t);
        QCOMPARE(sim->templateMemory(8), t);
        QVERIFY(sim->templateMemory(1).isEmpty());
        t[9] = 9;   // no such memory: becomes the current template, stored nowhere
        sim->receive(t);
        for (int n = 1; n <= 7; ++n)
            QVERIFY(sim->templateMemory(n).isEmpty());
        sim->sendDump();
        QCOMPARE(replies.last().size(), 162);
        QCOMPARE(uchar(replies.last().at(9)), uchar(0x18));
        QCOMPARE(replies.last().at(20), char(0x11));
    }

    void blockTransferIsReassembledAndUnpacked()
    {
        QByteArray image(3000, 0);
        for (int i = 0; i < image.size(); ++i)
            image[i] = char(255 - i % 251);
        const QByteArray packed = SevenBitCodec::Pack(image);
        const int blocks = int((packed.size() + 1023) / 1024);
        QCOMPARE(blocks, 4);

        sim->receive(message(TransferHeader::SongAnnouncement, 12, blocks));
        QCOMPARE(replies, (QList<QByteArray>{ready, next}));
        sim->receive(message(TransferHeader::DataBlock, 12, 1, packed.mid(1024, 1024)));   // out of order
        QCOMPARE(sim->lastTransfer().blocksReceived, 0);
        for (int i = 0; i < blocks; ++i)
            sim->receive(message(TransferHeader::DataBlock, 12, i, packed.mid(i * 1024, 1024)));
        const auto &t = sim->lastTransfer();
        QVERIFY(t.complete);
        QCOMPARE(t.number, 12);
        QCOMPARE(t.image, image);
        QCOMPARE(replies.size(), 2 + blocks - 1);   // no request after the last block
        sim->receive(message(TransferHeader::DataBlock, 12, 4, QByteArray(10, 1)));
        QCOMPARE(t.image, image);
    }

    void emptyTransferAnswersReadyOnly()
    {
        sim->receive(message(TransferHeader::FirmwareAnnouncement, 0x18, 0));
        QCOMPARE(replies, QList<QByteArray>{ready});
        QVERIFY(sim->lastTransfer().complete);
        QVERIFY(sim->lastTransfer().image.isEmpty());
    }

    void faultsShapeTheReplies()
    {
        sim->faults.dropReply = 2;
        sim->receive(message(TransferHeader::SongAnnouncement, 1, 3));
        QCOMPARE(replies, QList<QByteArray>{ready});   // the first request is lost

        replies.clear();
        sim->faults = {};
        sim->faults.garbleReply = 1;
        sim->receive(message(TransferHeader::SongAnnouncement, 1, 3));
        QCOMPARE(replies.size(), 2);
        QVERIFY(replies.at(0) != ready);
        QCOMPARE(replies.at(1), next);

        replies.clear();
        sim->faults = {};
        sim->faults.stopAfterBlock = 1;
        sim->receive(message(TransferHeader::SongAnnouncement, 1, 3));
        sim->receive(message(TransferHeader::DataBlock, 1, 0, QByteArray(1024, 0)));
        QCOMPARE(replies, (QList<QByteArray>{ready, next}));
    }

    void velocityCurveShapesPlayedNotes()
    {
        sim->playNote(60, 100);
        QCOMPARE(replies.last(), QByteArray("\x90\x3C\x64", 3));
        QByteArray map(127, 0);
        for (int i = 0; i < 127; ++i)
            map[i] = char(qMax(1, 127 - i));
        sim->receive(message(TransferHeader::VelocityCurve, 0x18, 1, map));
        QCOMPARE(sim->curvesReceived(), 1);
        sim->playNote(61, 100);
        QCOMPARE(replies.last(), QByteArray("\x90\x3D\x1B", 3));
        sim->playNote(200, 500);   // out of range is clamped, never out of the map
        QCOMPARE(replies.last().at(1), char(127));
    }

    // Channels as the user counts them (1-16); bend from -8192 to 8191 around the centre 8192.
    void controllersAndPitchBend()
    {
        QVERIFY(sim->controlChange(1, 72, 100));
        QVERIFY(sim->controlChange(16, 0, 127));
        QVERIFY(sim->pitchBend(1, 0));
        QVERIFY(sim->pitchBend(3, -8192));
        QVERIFY(sim->pitchBend(3, 8191));
        QCOMPARE(replies, (QList<QByteArray>{QByteArray("\xB0\x48\x64", 3), QByteArray("\xBF\x00\x7F", 3),
                                             QByteArray("\xE0\x00\x40", 3), QByteArray("\xE2\x00\x00", 3),
                                             QByteArray("\xE2\x7F\x7F", 3)}));
        QCOMPARE(sim->events().last(), QStringLiteral("pitch bend 8191 on channel 3"));
        for (const auto &[channel, number, value] : {std::tuple{0, 1, 1}, {17, 1, 1}, {1, 128, 1}, {1, -1, 1}, {1, 1, 128}})
            QVERIFY(!sim->controlChange(channel, number, value));
        QVERIFY(!sim->pitchBend(0, 0));
        QVERIFY(!sim->pitchBend(1, 8192));
        QVERIFY(!sim->pitchBend(1, -8193));
        QCOMPARE(replies.size(), 5);
    }

    void foreignBytesAreIgnored()
    {
        sim->receive(QByteArray("\xF0\x7E\x00\x06\x01\xF7", 6));
        sim->receive(QByteArray("\x90\x3C", 2));
        sim->receive(QByteArray(10000, char(0xF0)));
        QVERIFY(replies.isEmpty());
        QCOMPARE(sim->received().size(), 3);
        QVERIFY(sim->events().last().startsWith(QLatin1String("ignored")));
    }

private:
    std::unique_ptr<InstrumentSimulator> sim;
    QList<QByteArray> replies;
};

QTEST_GUILESS_MAIN(TestInstrumentSimulator)
#include "tst_InstrumentSimulator.moc"
