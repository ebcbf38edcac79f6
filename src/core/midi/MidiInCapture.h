#pragma once

#include "core/midi/MidiInputPort.h"
#include "core/protocol/MidiStreamParser.h"

#include <QByteArray>
#include <QMetaObject>
#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>

// Listens to the input device in use for one owner at a time. Input from the device's thread is
// queued to this object and emitted on the UI thread, whole message by whole message, in arrival
// order: shortMessage() for a channel or system message, sysEx() for a SysEx (only in SysExDump
// mode). Nothing is emitted inside a send, since sends never run the event loop. One instance
// for the program; what it opens is the opener's to say (the device in use, by its route).
//
// Consumers connect to the signals and act only while they own the capture (isOpenFor(this)):
// open() makes the caller the owner, and a later open() by anyone ends the earlier capture, so
// input from before is never mistaken for the new owner's. Only the owner's close() ends it, and
// the owner's destruction does too.
//
// A listener that wants the input only while nobody else needs it (the live panel) opens with
// openWhenIdle(): its capture gives way to any other open, does not count as busy (the devices in
// use may change under it), and it takes the input again when ownerChanged() says it is free.
class MidiInCapture : public QObject
{
    Q_OBJECT

public:
    enum class Mode {
        ShortMessages,   // short messages only; SysEx is dropped
        SysExDump,       // short messages and every SysEx, whole
    };

    // Opens the input device in use, delivering to `receiver` on the device's thread; null, with
    // `error` saying why, when it cannot be opened.
    using Opener = std::function<std::unique_ptr<MidiInputPort>(MidiInputPort::Receiver receiver, QString *error)>;

    explicit MidiInCapture(Opener openInput);
    ~MidiInCapture() override;

    // Opens the input device in use for `owner`, ending any capture open before. False when the
    // device cannot be opened: `error` then says why, and the caller tells the user.
    bool open(const QObject *owner, Mode mode, QString *error = nullptr);
    // As open(), for a listener that fills the time nobody needs the input: false, with no
    // error, while another owner holds it. Any later open() ends this capture.
    bool openWhenIdle(const QObject *owner, Mode mode, QString *error = nullptr);
    // Stops input and closes the device, when `owner` holds the capture; otherwise nothing.
    void close(const QObject *owner);

    bool isOpen() const { return port != nullptr; }
    bool isOpenFor(const QObject *candidate) const { return port && candidate && holder == candidate; }
    // Who holds the input; null while it is closed.
    const QObject *owner() const { return port ? holder : nullptr; }
    Mode mode() const { return currentMode; }
    // Open for an owner that needs the input (a transfer, a receive, the velocity monitor), not
    // for a listener opened with openWhenIdle().
    bool isBusy() const { return port != nullptr && !idleHolder; }

    // The owner's answer to a message it waits for, run on the input's own thread as the message
    // arrives (MidiInputPort::armAnswer); false when the capture is not the owner's or the back
    // end cannot. disarmAnswer() tells whether it ran. A capture that closes drops its answer.
    bool armAnswer(const QObject *owner, const QByteArray &trigger, std::function<void()> answer);
    bool disarmAnswer(const QObject *owner);

    // The input device's route changes (a device's direct link is taken for an exchange, or
    // given back: MidiSystem::onRouteChange): suspend() closes the port and reopen() opens the
    // device in use again for the same owner and mode, unseen by the owner. When it cannot be
    // opened again the capture ends, as it would with the device unplugged.
    void suspend();
    void reopen();

signals:
    // owner() changed: a capture opened for another owner, closed, or ended with its owner.
    // Emitted after the change; a listener that wants to open in answer does so later (from the
    // event loop), not inside the emitter's open or close.
    void ownerChanged();
    // One short message: 90 3C 11 is status 0x90, data1 0x3C, data2 0x11. A message with fewer
    // data bytes has zeros in their place.
    void shortMessage(quint8 status, quint8 data1, quint8 data2);
    // One SysEx, F0 to F7, as it arrived (at most the parser's limit).
    void sysEx(const QByteArray &message);

private:
    bool openFor(const QObject *owner, Mode mode, bool idle, QString *error);
    bool openPort(QString *error);
    void end();
    void tellOwnerChange(const QObject *before);
    void feed(std::uint64_t tag, const QByteArray &bytes);
    void deliver(const QByteArray &message);

    Opener opener;
    std::unique_ptr<MidiInputPort> port;
    const QObject *holder = nullptr;
    QMetaObject::Connection holderGone;
    Mode currentMode = Mode::ShortMessages;
    bool idleHolder = false;   // opened with openWhenIdle()
    bool suspended = false;    // the port is closed until reopen()
    std::uint64_t session = 0;   // input queued for an earlier capture is dropped
    std::uint64_t feeding = 0;   // the capture whose input is being handed on
    MidiStreamParser parser;
};
