#pragma once

#include "core/midi/MidiDirectLink.h"
#include "devices/midi/UsbDeviceFinder.h"

#include <functional>
#include <memory>

class UsbMidiConnection;

// The direct link to a USB MIDI instrument (MidiDirectLink): for one exchange its MIDIStreaming
// interface is taken from the kernel's driver (UsbMidiConnection) and the instrument's SysEx
// goes out and comes in as USB-MIDI packets; at the end the driver gets the device back, and
// the link waits until the system lists the device's ports again.
class UsbMidiLink : public MidiDirectLink
{
public:
    // portsBack: whether the system lists the device's ports again (asked after giving it back).
    UsbMidiLink(UsbMidiAddress address, QString portName, bool carriesInput, std::function<bool()> portsBack);
    ~UsbMidiLink() override;

    bool take(QString *error) override;
    std::unique_ptr<MidiOutputPort> openOutput(QString *error) override;
    std::unique_ptr<MidiInputPort> openInput(MidiInputPort::Receiver receiver, QString *error) override;
    bool connected() override;
    bool carriesInput() const override { return input; }

    // How long giving back waits for the device's ports at most.
    static constexpr int portsBackMs = 3000;

    // Gives their driver back to Zorvik USB devices whose audio interfaces have none, as a
    // program that ended while it held one leaves them; once, at the start of a program.
    // Returns what was done, one line per device, for those who want to say it.
    // listed: whether the system lists the device's ports (waited for, as after an exchange).
    static QStringList rebindOrphans(const std::function<bool(const UsbMidiAddress &)> &listed,
                                     const UsbDeviceFinder &finder = UsbDeviceFinder());

private:
    static void waitForPorts(const UsbMidiAddress &address, const UsbDeviceFinder &finder, const std::function<bool()> &back);

    UsbMidiAddress address;
    QString portName;
    bool input;
    std::function<bool()> portsBack;
    std::shared_ptr<UsbMidiConnection> connection;
    UsbDeviceFinder finder;
};
