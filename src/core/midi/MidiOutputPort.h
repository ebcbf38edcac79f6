#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <cstddef>
#include <cstdint>

// One open MIDI output connection. A port sends complete messages only: a SysEx goes to the
// device whole, in one call, because several back ends break a message sent in pieces.
class MidiOutputPort
{
public:
    enum class Delivery {
        Delivered,   // the back end took the whole message
        Refused,     // the back end reported an error; nothing more will go out for it
        TimedOut,    // the back end did not finish within the allowed time
    };

    virtual ~MidiOutputPort() = default;

    // Sends one message, waiting at most `limit` for the back end to take it.
    virtual Delivery send(const std::uint8_t *bytes, std::size_t length,
                          std::chrono::milliseconds limit) = 0;

    // Waits at most `limit` until every message sent so far has left for the device. Delivered
    // when they went to the device as far as the back end can tell, Refused when some went
    // nowhere (the device was no longer connected). Back ends that hand a message over at once,
    // or cannot tell, say Delivered.
    virtual Delivery flush(std::chrono::milliseconds limit)
    {
        (void)limit;
        return Delivery::Delivered;
    }

    // A send that never waits, callable from an input port's own thread (an answer armed with
    // MidiInputPort::armAnswer); true when the message was queued whole. Empty where the back
    // end's send may wait. It holds what it needs, so it may outlive the port.
    using QuickSender = std::function<bool(const QByteArray &message)>;
    virtual QuickSender quickSender() { return {}; }

    // The longest message the back end takes whole; a longer one must not be handed over.
    virtual std::size_t maxMessageLength() const = 0;

    // The name of the device as it was listed when the port was opened.
    virtual QString name() const = 0;
};
