#include "devices/midi/UsbLinkInputPort.h"

#include "devices/midi/UsbMidiConnection.h"

UsbLinkInputPort::UsbLinkInputPort(std::shared_ptr<UsbMidiConnection> link)
    : connection(std::move(link))
{
}

UsbLinkInputPort::~UsbLinkInputPort()
{
    connection->setReceiver({});
}
