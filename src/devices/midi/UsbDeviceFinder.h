#pragma once

#include <QList>
#include <QString>

#include <optional>

// Where a USB MIDI device is: its bus and address (as libusb and /dev/bus/usb/BBB/DDD know it),
// the cable of the port, and its folder in sysfs, read from the kernel's sysfs. A port of the
// ALSA sequencer leads to its sound card and from there to the USB interface the card's driver
// bound; a JACK port bridged from ALSA carries the device's product name.
struct UsbMidiAddress
{
    int bus = 0;
    int device = 0;
    int cable = 0;
    QString product;
    QString folder;      // /sys/bus/usb/devices/1-1, say
    int card = -1;       // the ALSA sound card of its driver, when known

    bool sameDevice(const UsbMidiAddress &other) const { return bus == other.bus && device == other.device; }
    QString node() const;   // /dev/bus/usb/001/002
};

class UsbDeviceFinder
{
public:
    // sysRoot: the sysfs mount ("/sys"); tests hand in a folder of their own.
    explicit UsbDeviceFinder(QString sysRoot = QStringLiteral("/sys"));

    // The USB MIDI device whose driver made sound card `card`, with `port` (the sequencer port
    // or raw MIDI port index) as its cable. Nothing when the card is not a USB device's, or the
    // device has no MIDIStreaming interface.
    std::optional<UsbMidiAddress> forSoundCard(int card, int port) const;
    // A USB MIDI device whose product name the port's name carries (a JACK port bridged from
    // ALSA); its cable from a trailing "MIDI n" (n from 1), else 0.
    std::optional<UsbMidiAddress> forProductName(const QString &portName) const;
    // Devices with "Zorvik" in their product name whose audio interfaces have no driver at all,
    // neither the kernel's nor a program's: left so by a program that ended while it held them.
    QList<UsbMidiAddress> orphans() const;

    // Whether the device is still there (the same address in the same sysfs folder).
    bool present(const UsbMidiAddress &address) const;
    // The driver bound to interface `interfaceNumber` of the device ("snd-usb-audio", "usbfs"),
    // empty when none.
    QString interfaceDriver(const UsbMidiAddress &address, int interfaceNumber) const;

private:
    std::optional<UsbMidiAddress> deviceAt(const QString &folder) const;
    // Interface folders of a device with audio class 1 and `subclass` (1 control, 3 MIDI).
    QStringList audioInterfaces(const QString &deviceFolder, int subclass) const;

    QString root;
};
