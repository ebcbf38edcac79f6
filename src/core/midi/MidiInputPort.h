#pragma once

#include <QByteArray>

#include <functional>

// One open MIDI input connection. The port hands every piece of input it receives, in
// arrival order, to the function given when it was opened. That function may be called on a
// thread of the back end, never inside a send of the caller's thread; it must only queue.
class MidiInputPort
{
public:
    using Receiver = std::function<void(const QByteArray &bytes)>;

    virtual ~MidiInputPort() = default;
};
