#include "devices/midi/UsbMidiConnection.h"

#include "core/protocol/UsbMidiPacket.h"

#include <libusb.h>

#include <algorithm>
#include <climits>

namespace {

const char *const udevRule = "/usr/lib/udev/rules.d/70-zorvik-halden.rules";

QString named(const UsbMidiAddress &address)
{
    return address.product.isEmpty() ? address.node() : QStringLiteral("%1 (%2)").arg(address.node(), address.product);
}

QString openProblem(const UsbMidiAddress &address, int code)
{
    switch (code) {
    case LIBUSB_ERROR_ACCESS:
        return QStringLiteral("no permission to use the USB device %1. Install Zorvik Halden's udev rule "
                              "(%2, part of the package) and plug the instrument in again, or ask the "
                              "administrator for access to the device")
            .arg(named(address), QLatin1String(udevRule));
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND:
        return QStringLiteral("the USB device %1 is no longer connected").arg(named(address));
    case LIBUSB_ERROR_BUSY:
        return QStringLiteral("the USB device %1 is in use by another program").arg(named(address));
    default:
        return QStringLiteral("cannot use the USB device %1: %2").arg(named(address), QString::fromUtf8(libusb_strerror(code)));
    }
}

// The interfaces that matter of a USB MIDI device: its AudioControl interface, and its
// MIDIStreaming interface with the two bulk endpoints.
struct Interfaces
{
    int control = -1;
    int streaming = -1;
    int streamingSetting = 0;
    unsigned char out = 0;
    unsigned char in = 0;
    int inPacketSize = 64;
};

Interfaces interfacesOf(libusb_device *device)
{
    Interfaces found;
    libusb_config_descriptor *config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0 || !config)
        return found;
    for (int i = 0; i < config->bNumInterfaces; ++i) {
        const libusb_interface &interface = config->interface[i];
        for (int s = 0; s < interface.num_altsetting; ++s) {
            const libusb_interface_descriptor &d = interface.altsetting[s];
            if (d.bInterfaceClass != LIBUSB_CLASS_AUDIO)
                continue;
            if (d.bInterfaceSubClass == 1 && found.control < 0)
                found.control = d.bInterfaceNumber;
            if (d.bInterfaceSubClass != 3 || found.streaming >= 0)
                continue;
            unsigned char out = 0, in = 0;
            int inSize = 64;
            for (int e = 0; e < d.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor &ep = d.endpoint[e];
                if ((ep.bmAttributes & 0x03) != LIBUSB_TRANSFER_TYPE_BULK)
                    continue;
                if (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) {
                    in = ep.bEndpointAddress;
                    inSize = ep.wMaxPacketSize > 0 ? ep.wMaxPacketSize : 64;
                } else {
                    out = ep.bEndpointAddress;
                }
            }
            if (out && in) {
                found.streaming = d.bInterfaceNumber;
                found.streamingSetting = d.bAlternateSetting;
                found.out = out;
                found.in = in;
                found.inPacketSize = inSize;
            }
        }
    }
    libusb_free_config_descriptor(config);
    return found;
}

// Opens the device at the address; 0 or a libusb error code.
int openAt(libusb_context *context, const UsbMidiAddress &address, libusb_device_handle **handle, Interfaces *interfaces)
{
    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    if (count < 0)
        return int(count);
    int result = LIBUSB_ERROR_NO_DEVICE;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device *device = list[i];
        if (libusb_get_bus_number(device) != address.bus || libusb_get_device_address(device) != address.device)
            continue;
        *interfaces = interfacesOf(device);
        result = interfaces->streaming < 0 ? LIBUSB_ERROR_NOT_SUPPORTED : libusb_open(device, handle);
        break;
    }
    libusb_free_device_list(list, 1);
    return result;
}

} // namespace

std::shared_ptr<UsbMidiConnection> UsbMidiConnection::take(const UsbMidiAddress &address, QString *error)
{
    std::shared_ptr<UsbMidiConnection> link(new UsbMidiConnection);
    link->where = address;
    const auto fail = [&](int code) {
        if (error)
            *error = openProblem(address, code);
        return nullptr;   // what was taken so far is given back as `link` goes
    };
    if (const int code = libusb_init(&link->context); code != 0) {
        link->context = nullptr;
        return fail(code);
    }
    Interfaces interfaces;
    if (const int code = openAt(link->context, address, &link->handle, &interfaces); code != 0) {
        link->handle = nullptr;
        return fail(code);
    }
    link->controlInterface = interfaces.control;
    link->outEndpoint = interfaces.out;
    link->inEndpoint = interfaces.in;
    link->inPacketSize = interfaces.inPacketSize;

    // The kernel's audio driver holds both audio interfaces of the device; both are taken from
    // it, so that giving the control interface back binds it afresh and it takes the streaming
    // one with it.
    for (const int interface : {interfaces.streaming, interfaces.control}) {
        if (interface < 0 || libusb_kernel_driver_active(link->handle, interface) != 1)
            continue;
        const int code = libusb_detach_kernel_driver(link->handle, interface);
        if (code != 0 && code != LIBUSB_ERROR_NOT_FOUND)
            return fail(code);
        if (interface == interfaces.control)
            link->controlDetached = true;
    }
    if (const int code = libusb_claim_interface(link->handle, interfaces.streaming); code != 0)
        return fail(code);
    link->streamingInterface = interfaces.streaming;
    if (interfaces.streamingSetting != 0) {
        if (const int code = libusb_set_interface_alt_setting(link->handle, interfaces.streaming, interfaces.streamingSetting); code != 0)
            return fail(code);
    }
    return link;
}

UsbMidiConnection::~UsbMidiConnection()
{
    giveBack();
}

void UsbMidiConnection::giveBack()
{
    stopInput();
    if (handle) {
        if (streamingInterface >= 0)
            libusb_release_interface(handle, streamingInterface);
        if (controlDetached)
            libusb_attach_kernel_driver(handle, controlInterface);
        // Normally the audio driver took the streaming interface with the control one; a
        // device without a control interface of its own gets its driver here.
        if (streamingInterface >= 0)
            libusb_attach_kernel_driver(handle, streamingInterface);
        libusb_close(handle);
        handle = nullptr;
        streamingInterface = -1;
        controlDetached = false;
    }
    if (context) {
        libusb_exit(context);
        context = nullptr;
    }
}

MidiOutputPort::Delivery UsbMidiConnection::write(const QByteArray &packets, std::chrono::milliseconds limit)
{
    if (!handle || streamingInterface < 0 || deviceGone)
        return MidiOutputPort::Delivery::Refused;
    int done = 0;
    const auto timeout = static_cast<unsigned int>(std::clamp<long long>(limit.count(), 1, INT_MAX));
    auto *data = reinterpret_cast<unsigned char *>(const_cast<char *>(packets.constData()));
    const int code = libusb_bulk_transfer(handle, outEndpoint, data, int(packets.size()), &done, timeout);
    if (code == 0 && done == packets.size())
        return MidiOutputPort::Delivery::Delivered;
    if (code == LIBUSB_ERROR_NO_DEVICE)
        deviceGone = true;
    return code == LIBUSB_ERROR_TIMEOUT ? MidiOutputPort::Delivery::TimedOut : MidiOutputPort::Delivery::Refused;
}

bool UsbMidiConnection::setReceiver(MidiInputPort::Receiver next)
{
    if (!next) {
        stopInput();
        return true;
    }
    {
        const std::lock_guard<std::mutex> hold(receiverLock);
        receiver = std::move(next);
    }
    if (events.joinable())
        return true;
    if (!handle || deviceGone)
        return false;
    // Two reads always waiting on the IN endpoint, so nothing the device sends waits for us.
    for (libusb_transfer *&transfer : inTransfers) {
        transfer = libusb_alloc_transfer(0);
        auto *buffer = new unsigned char[std::size_t(inPacketSize) * 8];
        libusb_fill_bulk_transfer(transfer, handle, inEndpoint, buffer, inPacketSize * 8, &UsbMidiConnection::inputArrived, this, 0);
        transfer->flags = LIBUSB_TRANSFER_FREE_BUFFER;
        if (libusb_submit_transfer(transfer) == 0)
            ++inFlight;
    }
    if (inFlight == 0) {
        stopInput();
        return false;
    }
    stopping = false;
    events = std::thread([this] {
        while (!stopping || inFlight > 0) {
            timeval wait{0, 100000};
            libusb_handle_events_timeout_completed(context, &wait, nullptr);
        }
    });
    return true;
}

void UsbMidiConnection::inputArrived(libusb_transfer *transfer)
{
    auto *self = static_cast<UsbMidiConnection *>(transfer->user_data);
    if (transfer->status == LIBUSB_TRANSFER_COMPLETED && transfer->actual_length > 0) {
        const QByteArray bytes = UsbMidiPacket::decode(transfer->buffer, std::size_t(transfer->actual_length), self->where.cable);
        const std::lock_guard<std::mutex> hold(self->receiverLock);
        if (!bytes.isEmpty() && self->receiver && !self->stopping)
            self->receiver(bytes);
    }
    if (transfer->status == LIBUSB_TRANSFER_NO_DEVICE)
        self->deviceGone = true;
    const bool again = !self->stopping
                       && (transfer->status == LIBUSB_TRANSFER_COMPLETED || transfer->status == LIBUSB_TRANSFER_TIMED_OUT);
    if (!again || libusb_submit_transfer(transfer) != 0)
        --self->inFlight;
}

void UsbMidiConnection::stopInput()
{
    stopping = true;
    for (libusb_transfer *transfer : inTransfers)
        if (transfer)
            libusb_cancel_transfer(transfer);
    if (events.joinable())
        events.join();
    for (libusb_transfer *&transfer : inTransfers) {
        if (transfer)
            libusb_free_transfer(transfer);
        transfer = nullptr;
    }
    inFlight = 0;
    const std::lock_guard<std::mutex> hold(receiverLock);
    receiver = nullptr;
}

bool UsbMidiConnection::rebind(const UsbMidiAddress &address, QString *error)
{
    libusb_context *context = nullptr;
    if (const int code = libusb_init(&context); code != 0) {
        if (error)
            *error = openProblem(address, code);
        return false;
    }
    libusb_device_handle *handle = nullptr;
    Interfaces interfaces;
    int code = openAt(context, address, &handle, &interfaces);
    if (code == 0) {
        if (interfaces.control >= 0)
            code = libusb_attach_kernel_driver(handle, interfaces.control);
        libusb_attach_kernel_driver(handle, interfaces.streaming);
        libusb_close(handle);
    }
    libusb_exit(context);
    if (code != 0 && code != LIBUSB_ERROR_BUSY && error)
        *error = openProblem(address, code);
    return code == 0 || code == LIBUSB_ERROR_BUSY;
}
