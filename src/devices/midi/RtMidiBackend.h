#pragma once

#include "core/midi/MidiPortBackend.h"

#include "devices/midi/UsbDeviceFinder.h"

#include <RtMidi.h>

#include <memory>
#include <optional>

class UsbPortLocator;

// The operating system's MIDI ports through RtMidi: the ALSA sequencer or JACK on Linux, the
// Windows and macOS services elsewhere. Without a given API the first one that starts is used.
// A back end that cannot start (no sound devices, no JACK server) simply offers no ports;
// listing tries again each time. JACK's ports go straight through libjack (JackBackend), where
// RtMidi would glue input to an unfinished SysEx and wait on a stalled server without end.
class RtMidiBackend : public MidiPortBackend
{
public:
    explicit RtMidiBackend(RtMidi::Api api = RtMidi::UNSPECIFIED);
    ~RtMidiBackend() override;

    QStringList outputNames() override;
    QStringList inputNames() override;
    std::unique_ptr<MidiOutputPort> openOutput(int index, QString *error) override;
    std::unique_ptr<MidiInputPort> openInput(int index, MidiInputPort::Receiver receiver,
                                             QString *error) override;
    QString problem() override;
    QString place() override;
    // A USB MIDI device's SysEx goes through the USB link (UsbMidiLink): the kernel's driver
    // behind its sequencer or JACK ports cuts it.
    QString directRoute(const QString &name) override;
    std::unique_ptr<MidiDirectLink> directLink(const QString &outputName, const QString &inputName) override;
    QStringList recoverDevices() override;

    // The API in use; UNSPECIFIED until one has started.
    RtMidi::Api api();

    // Our own clients' ports are not devices to choose (nor to shift the others' numbers).
    static constexpr const char *clientName = "Zorvik Halden";
    static bool isOwnPort(const QString &name);

    static constexpr const char *usbRoute = "USB link";

private:
    std::optional<UsbMidiAddress> usbDevice(const QString &name);
    // Whether any listed port leads to the USB device.
    bool listsDevice(const UsbMidiAddress &device);
    static QString nameAt(const QStringList &names, int index, QString *error);
    // The back end that drives the chosen API's ports itself, if any.
    MidiPortBackend *direct();

    RtMidi::Api chosenApi;
    std::unique_ptr<RtMidiOut> outLister;
    std::unique_ptr<RtMidiIn> inLister;
    std::unique_ptr<MidiPortBackend> directPorts;
#ifdef ZORVIK_HAVE_USB
    std::unique_ptr<UsbPortLocator> usbPorts;
#endif
};
