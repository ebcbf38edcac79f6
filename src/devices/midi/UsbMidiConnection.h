#pragma once

#include "core/midi/MidiInputPort.h"
#include "core/midi/MidiOutputPort.h"
#include "devices/midi/UsbDeviceFinder.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

struct libusb_context;
struct libusb_device_handle;
struct libusb_transfer;

// The MIDIStreaming interface of one USB MIDI device, taken from the kernel's driver and used
// directly (libusb): what goes out is written to its bulk OUT endpoint as USB-MIDI packets coded
// by position, what comes in is read from its bulk IN endpoint and handed on as MIDI bytes.
// Taking it detaches the kernel's audio driver from the device's audio interfaces (its ALSA
// ports vanish meanwhile); giving it back binds the driver again through the AudioControl
// interface, which brings them back.
class UsbMidiConnection
{
public:
    // Takes the interface. Null, with `error` naming the device node and what to do, when the
    // device cannot be opened (no permission, gone) or its interface is in use.
    static std::shared_ptr<UsbMidiConnection> take(const UsbMidiAddress &address, QString *error);
    ~UsbMidiConnection();
    UsbMidiConnection(const UsbMidiConnection &) = delete;
    UsbMidiConnection &operator=(const UsbMidiConnection &) = delete;

    // Gives the interface back to the kernel's driver; everything after fails. Safe to call twice.
    void giveBack();

    // Writes one message's packets, waiting at most `limit` for the device to take them.
    MidiOutputPort::Delivery write(const QByteArray &packets, std::chrono::milliseconds limit);
    // Starts handing the device's input to `receiver` (on the link's own thread), or stops with
    // an empty one. Only one receiver at a time.
    bool setReceiver(MidiInputPort::Receiver receiver);

    // False once a transfer found the device gone.
    bool gone() const { return deviceGone; }
    const UsbMidiAddress &address() const { return where; }
    // The longest message whose packets one write takes.
    static constexpr std::size_t maxMessageLength = 64 * 1024;

    // Binds the kernel's driver again to a device whose interfaces have none (left so by a
    // program that ended while it held them). False with `error` when it cannot.
    static bool rebind(const UsbMidiAddress &address, QString *error);

private:
    UsbMidiConnection() = default;
    void stopInput();
    static void inputArrived(libusb_transfer *transfer);

    UsbMidiAddress where;
    libusb_context *context = nullptr;
    libusb_device_handle *handle = nullptr;
    int controlInterface = -1;     // AudioControl: where the kernel's audio driver binds
    int streamingInterface = -1;   // MIDIStreaming: ours while taken
    bool controlDetached = false;
    unsigned char outEndpoint = 0;
    unsigned char inEndpoint = 0;
    int inPacketSize = 64;
    std::atomic_bool deviceGone{false};

    std::mutex receiverLock;
    MidiInputPort::Receiver receiver;
    std::thread events;
    std::atomic_bool stopping{false};
    std::atomic_int inFlight{0};
    libusb_transfer *inTransfers[2] = {nullptr, nullptr};
};
