#include "core/protocol/SevenBitCodec.h"
#include "core/protocol/TransferHeader.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

} // namespace

class TestSevenBitCodec : public QObject
{
    Q_OBJECT

private slots:
    void packsWorkedExamples_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("packed");
        QTest::newRow("full group") << bytes({0x81, 0x02, 0x83, 0x04, 0x05, 0x06, 0xFF})
                                    << bytes({0x51, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x7F});
        QTest::newRow("partial group") << bytes({0x00, 0xFF, 0x00}) << bytes({0x20, 0x00, 0x7F, 0x00});
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("one high byte") << bytes({0x80}) << bytes({0x40, 0x00});
    }
    void packsWorkedExamples()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, packed);
        QCOMPARE(SevenBitCodec::Pack(raw), packed);
        QCOMPARE(SevenBitCodec::Unpack(packed), raw);
    }

    void lengthsFollowTheGroupRule()
    {
        QCOMPARE(SevenBitCodec::Pack(QByteArray(129, '\xAA')).size(), 148);
        QCOMPARE(SevenBitCodec::Unpack(QByteArray(148, '\x01')).size(), 129);
        QCOMPARE(SevenBitCodec::Pack(QByteArray(14, '\x01')).size(), 16);
        // A trailing group of a flag alone carries nothing.
        QCOMPARE(SevenBitCodec::Unpack(QByteArray(9, '\x00')).size(), 7);
        QCOMPARE(SevenBitCodec::Unpack(QByteArray(1, '\x00')).size(), 0);
    }

    void packedBytesAreSysExSafe()
    {
        QByteArray raw(300, '\xFF');
        const QByteArray packed = SevenBitCodec::Pack(raw);
        for (char c : packed)
            QVERIFY((static_cast<unsigned char>(c) & 0x80) == 0);
    }

    // Malformed input from a device: a data byte that already has its top bit set and a flag
    // bit for it wraps modulo 256, exactly as the instrument's own arithmetic does.
    void unpackAddsRatherThanOrs()
    {
        QCOMPARE(SevenBitCodec::Unpack(bytes({0x40, 0x80})), bytes({0x00}));
        // The same wrap on the word-at-a-time path (several full groups).
        QByteArray packed(24, '\0');
        packed[8] = 0x40;
        packed[9] = static_cast<char>(0x85);
        const QByteArray raw = SevenBitCodec::Unpack(packed);
        QCOMPARE(raw.size(), 21);
        QCOMPARE(static_cast<unsigned char>(raw.at(7)), 0x05);
    }

    void packThenUnpackIsIdentityForEveryLength()
    {
        auto *random = QRandomGenerator::global();
        for (int length = 0; length <= 300; ++length) {
            for (int round = 0; round < 4; ++round) {
                QByteArray raw(length, Qt::Uninitialized);
                for (auto &c : raw)
                    c = static_cast<char>(random->bounded(256));
                const QByteArray packed = SevenBitCodec::Pack(raw);
                QCOMPARE(packed.size(), length + (length + 6) / 7);
                QCOMPARE(SevenBitCodec::Unpack(packed), raw);
            }
        }
    }

    void headerFrame()
    {
        std::uint8_t header[TransferHeader::size];
        TransferHeader::write(header, TransferHeader::FirmwareAnnouncement, 0x18, 0x01, 0x2C);
        const QByteArray expected = bytes({0xF0, 0x00, 0x20, 0x63, 0x00, 0x01, 0x00, 0x04, 0x00, 0x18, 0x01, 0x2C, 0x89});
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(header), TransferHeader::size), expected);
        QVERIFY(TransferHeader::matches(header, TransferHeader::size, TransferHeader::FirmwareAnnouncement));
        QVERIFY(!TransferHeader::matches(header, TransferHeader::size, TransferHeader::TemplateImage));
        QVERIFY(!TransferHeader::matches(header, 7, TransferHeader::FirmwareAnnouncement));
    }
};

QTEST_APPLESS_MAIN(TestSevenBitCodec)
#include "tst_SevenBitCodec.moc"
