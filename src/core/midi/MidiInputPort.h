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

    // Arms an answer: the next message equal to `trigger` makes `answer` run on the port's own
    // thread before the message is handed on, so that a reply the device paces (the next block
    // of a transfer) leaves in the very cycle its request came, not after a trip to the UI
    // thread. False where the back end cannot; the caller then answers when the message reaches
    // it. One answer at a time: arming again replaces the one armed.
    virtual bool armAnswer(const QByteArray &trigger, std::function<void()> answer)
    {
        (void)trigger;
        (void)answer;
        return false;
    }
    // Disarms; true when the armed answer ran.
    virtual bool disarmAnswer() { return false; }
};
