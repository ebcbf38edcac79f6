#pragma once

#include "core/midi/MidiInputPort.h"

#include <memory>

class UsbMidiConnection;

// An input over a USB MIDI device's taken interface: the packets read from its IN endpoint go to
// the receiver as the MIDI bytes they carry, on the link's own thread, until the port closes.
class UsbLinkInputPort : public MidiInputPort
{
public:
    explicit UsbLinkInputPort(std::shared_ptr<UsbMidiConnection> connection);
    ~UsbLinkInputPort() override;

private:
    std::shared_ptr<UsbMidiConnection> connection;
};
