#include "core/midi/MidiInCapture.h"

#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiSystem.h"

MidiInCapture::MidiInCapture(MidiSystem &midi)
    : midi(midi), parser([this](const QByteArray &message) { deliver(message); })
{
}

MidiInCapture::~MidiInCapture()
{
    disconnect(holderGone);
    port.reset();
}

bool MidiInCapture::open(const QObject *owner, Mode mode, QString *error)
{
    // One capture at a time: a capture left open by an earlier owner ends here.
    end();
    ++session;
    parser.reset();

    const std::uint64_t tag = session;
    port = midi.openInput(midi.devices().input(), [this, tag](const QByteArray &bytes) {
        // Called on the device's thread: the bytes go to the UI thread, in order.
        QMetaObject::invokeMethod(this, [this, tag, bytes] { feed(tag, bytes); }, Qt::QueuedConnection);
    }, error);
    if (!port)
        return false;

    holder = owner;
    currentMode = mode;
    if (owner)
        holderGone = connect(owner, &QObject::destroyed, this, [this] { end(); });
    return true;
}

void MidiInCapture::close(const QObject *owner)
{
    if (isOpenFor(owner))
        end();
}

void MidiInCapture::end()
{
    disconnect(holderGone);
    holder = nullptr;
    if (!port)
        return;
    port.reset();
    ++session;
}

void MidiInCapture::feed(std::uint64_t tag, const QByteArray &bytes)
{
    if (tag != session || !port)
        return;
    feeding = session;
    parser.feed(bytes);
    if (feeding != session)
        parser.reset();   // the owner closed or another opened meanwhile: start clean
}

void MidiInCapture::deliver(const QByteArray &message)
{
    // A consumer may close the capture from its slot; what follows is then dropped.
    if (!port || feeding != session || message.isEmpty())
        return;
    const auto byte = [&message](qsizetype at) { return at < message.size() ? quint8(message.at(at)) : quint8(0); };
    if (byte(0) != 0xF0) {
        emit shortMessage(byte(0), byte(1), byte(2));
        return;
    }
    if (currentMode == Mode::SysExDump)
        emit sysEx(message);
}
