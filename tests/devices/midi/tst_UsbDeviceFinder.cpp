// The USB device behind a port, read from a sysfs tree made here as the kernel lays it out.
#include "devices/midi/UsbDeviceFinder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestUsbDeviceFinder : public QObject
{
    Q_OBJECT

    QTemporaryDir sys;

    void write(const QString &path, const QByteArray &text)
    {
        QVERIFY(QDir().mkpath(QFileInfo(sys.filePath(path)).path()));
        QFile file(sys.filePath(path));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text + '\n');
    }
    void link(const QString &target, const QString &path)
    {
        QVERIFY(QDir().mkpath(QFileInfo(sys.filePath(path)).path()));
        QVERIFY(QFile::link(sys.filePath(target), sys.filePath(path)));
    }

    // A USB device with an AudioControl and a MIDIStreaming interface, its sound card `card`.
    void addMidiDevice(const QString &name, int bus, int devnum, const QByteArray &product, int card, bool withDriver = true)
    {
        const QString dir = QStringLiteral("devices/pci0000:00/usb%1/%2").arg(bus).arg(name);
        write(dir + QStringLiteral("/busnum"), QByteArray::number(bus));
        write(dir + QStringLiteral("/devnum"), QByteArray::number(devnum));
        write(dir + QStringLiteral("/product"), product);
        for (const auto &[number, subclass] : {std::pair{0, 1}, std::pair{1, 3}}) {
            const QString interface = dir + QStringLiteral("/%1:1.%2").arg(name).arg(number);
            write(interface + QStringLiteral("/bInterfaceClass"), "01");
            write(interface + QStringLiteral("/bInterfaceSubClass"), "0" + QByteArray::number(subclass));
            write(interface + QStringLiteral("/bInterfaceNumber"), "0" + QByteArray::number(number));
            if (withDriver)
                link(QStringLiteral("bus/usb/drivers/snd-usb-audio"), interface + QStringLiteral("/driver"));
        }
        QDir().mkpath(sys.filePath(QStringLiteral("bus/usb/drivers/snd-usb-audio")));
        link(dir, QStringLiteral("bus/usb/devices/") + name);
        if (card >= 0)
            link(dir + QStringLiteral("/%1:1.0").arg(name), QStringLiteral("class/sound/card%1/device").arg(card));
    }

private slots:
    void init()
    {
        QVERIFY(sys.isValid());
        QDir(sys.path()).removeRecursively();
        QVERIFY(QDir().mkpath(sys.path()));
        addMidiDevice(QStringLiteral("1-2"), 1, 7, "Zorvik K8", 1);
        addMidiDevice(QStringLiteral("3-1"), 3, 2, "Practice keys", 2);
        // A sound card that is no USB device.
        write(QStringLiteral("devices/pci0000:00/0000:00:1f.3/vendor"), "0x8086");
        link(QStringLiteral("devices/pci0000:00/0000:00:1f.3"), QStringLiteral("class/sound/card0/device"));
    }

    void aSequencerPortLeadsThroughItsCard()
    {
        const UsbDeviceFinder finder(sys.path());
        const auto found = finder.forSoundCard(1, 0);
        QVERIFY(found);
        QCOMPARE(found->bus, 1);
        QCOMPARE(found->device, 7);
        QCOMPARE(found->product, QStringLiteral("Zorvik K8"));
        QCOMPARE(found->cable, 0);
        QCOMPARE(found->node(), QStringLiteral("/dev/bus/usb/001/007"));
        QCOMPARE(finder.forSoundCard(2, 1)->cable, 1);
        QVERIFY(!finder.forSoundCard(0, 0));   // not a USB device
        QVERIFY(!finder.forSoundCard(5, 0));   // no such card
        QCOMPARE(finder.interfaceDriver(*found, 1), QStringLiteral("snd-usb-audio"));
        QVERIFY(finder.present(*found));
    }

    void aJackPortLeadsThroughTheProductName()
    {
        const UsbDeviceFinder finder(sys.path());
        const auto found = finder.forProductName(QStringLiteral("bridge:Zorvik K8 [24] (playback): Zorvik K8 MIDI 2"));
        QVERIFY(found);
        QCOMPARE(found->device, 7);
        QCOMPARE(found->cable, 1);
        QVERIFY(!finder.forProductName(QStringLiteral("system:midi_playback_1")));
    }

    // A program that ended while it held the link leaves both interfaces without a driver; one
    // that holds it now (usbfs) or the kernel's driver do not count.
    void driverlessZorvikDevicesAreOrphans()
    {
        addMidiDevice(QStringLiteral("1-4"), 1, 9, "ZORVIK P4", 3, false);
        addMidiDevice(QStringLiteral("1-5"), 1, 10, "Other synth", 4, false);
        const UsbDeviceFinder finder(sys.path());
        const QList<UsbMidiAddress> orphans = finder.orphans();
        QCOMPARE(orphans.size(), 1);
        QCOMPARE(orphans.first().device, 9);
        QVERIFY(finder.interfaceDriver(orphans.first(), 0).isEmpty());
    }

    void aReplugIsAnotherDevice()
    {
        const UsbDeviceFinder finder(sys.path());
        const auto found = finder.forSoundCard(1, 0);
        QVERIFY(found);
        write(QStringLiteral("devices/pci0000:00/usb1/1-2/devnum"), "8");
        QVERIFY(!finder.present(*found));
    }
};

QTEST_APPLESS_MAIN(TestUsbDeviceFinder)
#include "tst_UsbDeviceFinder.moc"
