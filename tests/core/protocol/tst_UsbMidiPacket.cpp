#include "core/protocol/MidiStreamParser.h"
#include "core/protocol/UsbMidiPacket.h"

#include <QRandomGenerator>
#include <QTest>

class TestUsbMidiPacket : public QObject
{
    Q_OBJECT

private slots:
    // Golden packets: the code index follows where a byte stands in the message, never its value.
    void codesByPosition_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("cable");
        QTest::addColumn<QByteArray>("packets");
        QTest::newRow("announcement, 0x89 before F7")
            << QByteArray::fromHex("f0002063000100040018000189f7") << 0
            << QByteArray::fromHex("04f0002004630001040004000418000106" "89f700");
        QTest::newRow("ends with one byte") << QByteArray::fromHex("f00102f7") << 0 << QByteArray::fromHex("04f0010205f70000");
        QTest::newRow("ends with two bytes") << QByteArray::fromHex("f0010203f7") << 0 << QByteArray::fromHex("04f001020603f700");
        QTest::newRow("ends with three bytes") << QByteArray::fromHex("f001f7") << 0 << QByteArray::fromHex("07f001f7");
        QTest::newRow("block numbers F7 and F0 inside") << QByteArray::fromHex("f000f7f089f7") << 0
                                                        << QByteArray::fromHex("04f000f707f089f7");
        QTest::newRow("cable 1") << QByteArray::fromHex("f07ef7") << 1 << QByteArray::fromHex("17f07ef7");
        QTest::newRow("note on") << QByteArray::fromHex("903c11") << 0 << QByteArray::fromHex("09903c11");
        QTest::newRow("program change") << QByteArray::fromHex("c005") << 2 << QByteArray::fromHex("2cc00500");
        QTest::newRow("clock") << QByteArray::fromHex("f8") << 0 << QByteArray::fromHex("0ff80000");
        QTest::newRow("song position") << QByteArray::fromHex("f21020") << 0 << QByteArray::fromHex("03f21020");
        QTest::newRow("nothing") << QByteArray() << 0 << QByteArray();
    }
    void codesByPosition()
    {
        QFETCH(QByteArray, message);
        QFETCH(int, cable);
        QFETCH(QByteArray, packets);
        QCOMPARE(UsbMidiPacket::encode(message, cable).toHex(' '), packets.toHex(' '));
        QCOMPARE(UsbMidiPacket::decode(packets, cable), message);
    }

    // What a device sends: other cables, reserved codes and a cut packet are left out, and the
    // bytes parse into the messages the device meant.
    void readsWhatADeviceSends()
    {
        const QByteArray packets = QByteArray::fromHex("09903c11" "19903c22" "00000000" "0ff80000" "04f00020"
                                                       "04630001" "0400030f" "0689f700" "08803c");
        const QByteArray stream = UsbMidiPacket::decode(packets);
        QCOMPARE(stream.toHex(' '), QByteArray::fromHex("903c11f8f0002063000100030f89f7").toHex(' '));
        QList<QByteArray> messages;
        MidiStreamParser parser([&messages](const QByteArray &m) { messages.append(m); });
        parser.feed(stream);
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages.at(1), QByteArray::fromHex("f0002063000100030f89f7"));
    }

    void anyMessageComesBackWhole()
    {
        auto *random = QRandomGenerator::global();
        for (int round = 0; round < 500; ++round) {
            QByteArray message(int(random->bounded(2, 1200)), Qt::Uninitialized);
            for (char &b : message)
                b = char(random->bounded(256));
            message[0] = char(0xF0);
            message[message.size() - 1] = char(0xF7);
            const int cable = int(random->bounded(16));
            const QByteArray packets = UsbMidiPacket::encode(message, cable);
            QCOMPARE(packets.size() % 4, 0);
            QCOMPARE(UsbMidiPacket::decode(packets, cable), message);
            QVERIFY(UsbMidiPacket::decode(packets, (cable + 1) % 16).isEmpty());
        }
    }
};

QTEST_APPLESS_MAIN(TestUsbMidiPacket)
#include "tst_UsbMidiPacket.moc"
