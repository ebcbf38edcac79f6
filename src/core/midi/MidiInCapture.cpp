#include "core/midi/MidiInCapture.h"

MidiInCapture::MidiInCapture(Opener openInput)
    : opener(std::move(openInput)), parser([this](const QByteArray &message) { deliver(message); })
{
}

MidiInCapture::~MidiInCapture()
{
    disconnect(holderGone);
    port.reset();
}

bool MidiInCapture::open(const QObject *owner, Mode mode, QString *error)
{
    return openFor(owner, mode, false, error);
}

bool MidiInCapture::openWhenIdle(const QObject *owner, Mode mode, QString *error)
{
    if (this->owner() != nullptr && this->owner() != owner)
        return false;
    return openFor(owner, mode, true, error);
}

bool MidiInCapture::openFor(const QObject *owner, Mode mode, bool idle, QString *error)
{
    const QObject *before = this->owner();
    // One capture at a time: a capture left open by an earlier owner ends here.
    end();
    ++session;
    parser.reset();

    if (!openPort(error)) {
        tellOwnerChange(before);
        return false;
    }

    holder = owner;
    currentMode = mode;
    idleHolder = idle;
    if (owner) {
        holderGone = connect(owner, &QObject::destroyed, this, [this] {
            const QObject *gone = holder;
            end();
            tellOwnerChange(gone);
        });
    }
    tellOwnerChange(before);
    return true;
}

bool MidiInCapture::openPort(QString *error)
{
    const std::uint64_t tag = session;
    port = opener([this, tag](const QByteArray &bytes) {
        // Called on the device's thread: the bytes go to the UI thread, in order.
        QMetaObject::invokeMethod(this, [this, tag, bytes] { feed(tag, bytes); }, Qt::QueuedConnection);
    }, error);
    return port != nullptr;
}

bool MidiInCapture::armAnswer(const QObject *owner, const QByteArray &trigger, std::function<void()> answer)
{
    return isOpenFor(owner) && port->armAnswer(trigger, std::move(answer));
}

bool MidiInCapture::disarmAnswer(const QObject *owner)
{
    return isOpenFor(owner) && port->disarmAnswer();
}

void MidiInCapture::suspend()
{
    if (!port)
        return;
    port.reset();
    ++session;
    parser.reset();
    suspended = true;
}

void MidiInCapture::reopen()
{
    if (!suspended)
        return;
    suspended = false;
    if (!holder || openPort(nullptr))
        return;
    // The device did not come back: the capture ends as it would with the device unplugged.
    end();
    emit ownerChanged();
}

void MidiInCapture::close(const QObject *owner)
{
    if (!isOpenFor(owner))
        return;
    end();
    tellOwnerChange(owner);
}

void MidiInCapture::tellOwnerChange(const QObject *before)
{
    if (owner() != before)
        emit ownerChanged();
}

void MidiInCapture::end()
{
    disconnect(holderGone);
    holder = nullptr;
    idleHolder = false;
    suspended = false;
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
