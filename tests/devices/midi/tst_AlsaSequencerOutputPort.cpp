// SysEx straight to the ALSA sequencer: the port is found by the address its listed name ends in.
#include "devices/midi/AlsaSequencerOutputPort.h"

#include <QTest>

class TestAlsaSequencerOutputPort : public QObject
{
    Q_OBJECT

private slots:
    void alsaPortIsFoundByItsListedAddress()
    {
        int client = -1, port = -1;
        QVERIFY(AlsaSequencerOutputPort::parseAddress(QStringLiteral("Synth:Synth MIDI 1 24:0"), &client, &port));
        QCOMPARE(client, 24);
        QCOMPARE(port, 0);
        QVERIFY(!AlsaSequencerOutputPort::parseAddress(QStringLiteral("Synth MIDI"), &client, &port));
        QString error;
        // No sequencer on a machine without sound devices, and never an address-less name.
        if (!AlsaSequencerOutputPort::open(QStringLiteral("Nothing 250:7"), &error))
            QVERIFY(!error.isEmpty());
        QVERIFY(!AlsaSequencerOutputPort::open(QStringLiteral("Nothing"), &error));
    }
};

QTEST_GUILESS_MAIN(TestAlsaSequencerOutputPort)
#include "tst_AlsaSequencerOutputPort.moc"
