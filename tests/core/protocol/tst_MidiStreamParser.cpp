// Input as it comes from a port, in pieces, joined into whole messages.
#include "core/protocol/MidiStreamParser.h"
#include "support/MidiBytes.h"

#include <QTest>

class TestMidiStreamParser : public QObject
{
    Q_OBJECT

private slots:
    void parserJoinsPiecesAndDropsRealtime()
    {
        QList<QByteArray> out;
        MidiStreamParser parser([&](const QByteArray &m) { out.append(m); });
        QByteArray dump = midiBytes({0xF0, 0x00, 0x20, 0x63}) + QByteArray(600, 0x11) + char(0xF7);
        QByteArray noisy = dump;
        noisy.insert(300, char(0xF8));   // clock inside the SysEx
        parser.feed(midiBytes({0xFE}));       // active sensing between messages
        for (int at = 0; at < noisy.size(); at += 256)
            parser.feed(noisy.mid(at, 256));
        parser.feed(midiBytes({0x90, 0x3C, 0x11}));
        QCOMPARE(out.size(), 2);
        QCOMPARE(out.at(0), dump);
        QCOMPARE(out.at(1), midiBytes({0x90, 0x3C, 0x11}));
    }

    void parserNeverGluesTwoDumps()
    {
        QList<QByteArray> out;
        MidiStreamParser parser([&](const QByteArray &m) { out.append(m); });
        parser.feed(midiBytes({0xF0, 0x01, 0x02}));             // F7 lost
        parser.feed(midiBytes({0xF0, 0x03, 0xF7}));
        parser.feed(midiBytes({0xF0, 0x00, 0x89, 0xF8, 0x01}));  // the frame's 0x89 stays, the clock goes
        parser.feed(midiBytes({0x02, 0xF7, 0x05, 0xF7}));       // stray data and a stray F7
        parser.feed(midiBytes({0x90, 0x3C, 0x33}));
        QCOMPARE(out, (QList<QByteArray>{midiBytes({0xF0, 0x03, 0xF7}), midiBytes({0xF0, 0x00, 0x89, 0x01, 0x02, 0xF7}),
                                         midiBytes({0x90, 0x3C, 0x33})}));

        // The instrument's side takes a whole message as it is: block 0x00F7 of a transfer.
        out.clear();
        MidiStreamParser verbatim([&](const QByteArray &m) { out.append(m); }, 64,
                                  MidiStreamParser::WholePieces::Verbatim);
        const QByteArray block = midiBytes({0xF0, 0x00, 0x20, 0x63, 0x00, 0x01, 0x00, 0x7F, 0x00, 0x18, 0x00, 0xF7, 0x89, 0x01, 0xF7});
        verbatim.feed(block);
        QCOMPARE(out, QList<QByteArray>{block});
    }

    // The device's SysEx lost its F7 and its next message came as a piece of its own: that
    // message ends the SysEx. Inside one piece, top-bit bytes still belong to the SysEx.
    void parserEndsAnUnfinishedSysExAtAShortMessage()
    {
        for (const auto mode : {MidiStreamParser::WholePieces::Filtered, MidiStreamParser::WholePieces::Verbatim}) {
            QList<QByteArray> out;
            MidiStreamParser parser([&](const QByteArray &m) { out.append(m); }, 64, mode);
            parser.feed(midiBytes({0xF0, 0x00, 0x20, 0x63, 0x89, 0x01}));   // no F7
            parser.feed(midiBytes({0x90, 0x3C, 0x11}));
            parser.feed(midiBytes({0xF0, 0x00, 0x89, 0x90, 0x3C, 0x11, 0xF7}));
            parser.feed(midiBytes({0xF0, 0x05}));
            parser.feed(midiBytes({0x90, 0x3C}));                          // not a whole message
            parser.feed(midiBytes({0xF7}));
            parser.feed(midiBytes({0xF0, 0x06}));
            parser.feed(midiBytes({0xC0, 0x07}));
            QCOMPARE(out, (QList<QByteArray>{midiBytes({0x90, 0x3C, 0x11}),
                                             midiBytes({0xF0, 0x00, 0x89, 0x90, 0x3C, 0x11, 0xF7}),
                                             midiBytes({0xF0, 0x05, 0x90, 0x3C, 0xF7}), midiBytes({0xC0, 0x07})}));
        }
    }

    void parserExpandsRunningStatusAndDropsStrays()
    {
        QList<QByteArray> out;
        MidiStreamParser parser([&](const QByteArray &m) { out.append(m); });
        parser.feed(midiBytes({0x3C, 0x11}));                       // no status yet: noise
        parser.feed(midiBytes({0x90, 0x3C, 0x11, 0x3C, 0x33, 0x40}));  // running status, then half a message
        parser.feed(midiBytes({0xC0, 0x05, 0x06, 0xF6}));
        QCOMPARE(out, (QList<QByteArray>{midiBytes({0x90, 0x3C, 0x11}), midiBytes({0x90, 0x3C, 0x33}),
                                         midiBytes({0xC0, 0x05}), midiBytes({0xC0, 0x06}), midiBytes({0xF6})}));
    }

    void parserCapsHugeSysEx()
    {
        QList<QByteArray> out;
        MidiStreamParser parser([&](const QByteArray &m) { out.append(m); }, 100);
        parser.feed(char(0xF0) + QByteArray(10000, 0x22) + char(0xF7));
        QCOMPARE(out.size(), 1);
        QCOMPARE(out.at(0).size(), 100);
        QCOMPARE(uchar(out.at(0).back()), uchar(0xF7));
    }
};

QTEST_APPLESS_MAIN(TestMidiStreamParser)
#include "tst_MidiStreamParser.moc"
