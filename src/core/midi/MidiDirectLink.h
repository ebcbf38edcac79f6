#pragma once

#include "core/midi/MidiInputPort.h"
#include "core/midi/MidiOutputPort.h"

#include <QString>

#include <memory>

// A way to a device around the system's MIDI ports, for a device whose ports would damage the
// instrument's messages: a USB instrument sits behind the kernel's USB MIDI driver, which cuts a
// SysEx at its first byte of 0x80 or more (every frame has 0x89). The link is taken from the
// system for one exchange of SysEx and given back when that ends; while it is held, the device's
// system ports may be gone from the listings.
class MidiDirectLink
{
public:
    // Gives the device back to the system if it was taken, and waits a bounded time for its
    // ports to be listed again, so that what follows finds them.
    virtual ~MidiDirectLink() = default;

    // Takes the device for this program. False, with `error` saying why and what to do, when it
    // cannot be taken (no permission, in use, gone): then nothing may go to the device another
    // way, since that way would damage it.
    virtual bool take(QString *error) = 0;

    // Ports over the taken link. Null, with `error`, once the device has gone.
    virtual std::unique_ptr<MidiOutputPort> openOutput(QString *error) = 0;
    virtual std::unique_ptr<MidiInputPort> openInput(MidiInputPort::Receiver receiver, QString *error) = 0;

    // False once the device is known to have gone (unplugged while taken).
    virtual bool connected() = 0;

    // Whether the link also reaches the input named when it was asked for (the same device).
    virtual bool carriesInput() const = 0;
};
