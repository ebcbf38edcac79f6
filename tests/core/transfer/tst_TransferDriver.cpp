// A block transfer driven over the MIDI ports: its device kept to its end.
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiSystem.h"
#include "core/protocol/TransferHeader.h"
#include "core/transfer/TransferDriver.h"
#include "support/FakeMidiRig.h"

#include <QSignalSpy>
#include <QTest>

class TestTransferDriver : public QObject, FakeMidiRig
{
    Q_OBJECT

private slots:
    void init() { renewMidi(); }
    void cleanup() { closeMidi(); }

    // Unplugged in the middle of a transfer: the transfer keeps its device and ends with its
    // own messages; plugged in again, the next send goes to it.
    void instrumentUnpluggedDuringATransfer()
    {
        fake->outputs = {QStringLiteral("Zorvik K8 (USB)")};
        fake->inputs = {QStringLiteral("Zorvik K8 (USB)")};
        DeviceSelection &devices = midi->devices();
        devices.update();
        QCOMPARE(devices.output(), MidiDevice::system(0));
        QCOMPARE(devices.input(), MidiDevice::system(0));

        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy failed(&driver, &TransferDriver::failed);
        driver.open(FileKind::Firmware, QByteArray(3000, 0x21));
        driver.send();
        QCOMPARE(fake->sent.size(), 1);   // the announcement
        QVERIFY(fake->input);
        fake->input(midiBytes({0x90, 0x3C, 0x11}));   // ready
        fake->input(midiBytes({0x90, 0x3C, 0x33}));   // next
        QTRY_COMPARE(fake->sent.size(), 2);

        fake->outputs.clear();
        fake->inputs.clear();
        devices.update();
        QCOMPARE(devices.output(), MidiDevice::system(0));   // not changed under the transfer
        QCOMPARE(devices.label(), QStringLiteral("Zorvik K8 (USB) — not connected"));
        QTest::qWait(MidiSystem::recheckMs + 20);
        fake->input(midiBytes({0x90, 0x3C, 0x33}));   // the last reply before the cable went
        QTRY_COMPARE(failed.size(), 1);
        QCOMPARE(fake->sent.size(), 2);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.at(0).text, QStringLiteral("There are no MIDI output devices!"));
        QVERIFY(driver.session().outcome().failureText().startsWith(QStringLiteral("Block 2 could not be sent")));

        devices.update();   // the transfer is over: the simulator stands in
        QCOMPARE(devices.output(), MidiDevice::builtIn());
        QCOMPARE(devices.input(), MidiDevice::builtIn());

        fake->outputs = {QStringLiteral("Zorvik K8 (USB)")};
        fake->inputs = {QStringLiteral("Zorvik K8 (USB)")};
        devices.update();
        QCOMPARE(devices.output(), MidiDevice::system(0));
        driver.send();
        QTRY_COMPARE(fake->sent.size(), 3);   // announced again, to the instrument
        QCOMPARE(quint8(fake->sent.last().at(7)), quint8(TransferHeader::FirmwareAnnouncement));
        driver.abort();
    }
};

QTEST_GUILESS_MAIN(TestTransferDriver)
#include "tst_TransferDriver.moc"
