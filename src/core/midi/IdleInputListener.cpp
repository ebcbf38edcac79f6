#include "core/midi/IdleInputListener.h"

#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiInCapture.h"

IdleInputListener::IdleInputListener(MidiInCapture &inputCapture, DeviceSelection &selection, QObject *parent)
    : QObject(parent), capture(inputCapture), devices(selection)
{
    claimTimer.setSingleShot(true);
    claimTimer.setInterval(0);
    connect(&claimTimer, &QTimer::timeout, this, &IdleInputListener::claim);
    connect(&capture, &MidiInCapture::ownerChanged, this, &IdleInputListener::ownerChanged);
    connect(&capture, &MidiInCapture::shortMessage, this, [this](quint8 status, quint8 data1, quint8 data2) {
        if (this->capture.isOpenFor(this))
            emit shortMessage(status, data1, data2);
    });
    connect(&devices, &DeviceSelection::changed, this, &IdleInputListener::deviceChanged);
}

IdleInputListener::~IdleInputListener()
{
    // The capture outlives this listener; its ownerChanged() must not reach a half-gone object.
    disconnect(&capture, nullptr, this, nullptr);
    capture.close(this);
}

bool IdleInputListener::isListening() const
{
    return capture.isOpenFor(this);
}

void IdleInputListener::setEnabled(bool on)
{
    if (on == enabled)
        return;
    enabled = on;
    if (on) {
        claimLater();
        return;
    }
    claimTimer.stop();
    capture.close(this);
}

void IdleInputListener::claimLater()
{
    if (enabled)
        claimTimer.start();
}

void IdleInputListener::ownerChanged()
{
    const bool listening = isListening();
    if (listening != wasListening) {
        wasListening = listening;
        emit listeningChanged(listening);
    }
    // Free again: take it when the one who let go has finished what it was doing.
    if (capture.owner() == nullptr)
        claimLater();
}

void IdleInputListener::deviceChanged()
{
    // The devices change only while the input is free or ours. claim() listens afresh to a new
    // input device, or to another port now listed at the same place, and tries again one that
    // could not be opened before.
    claimLater();
}

void IdleInputListener::claim()
{
    if (!enabled)
        return;
    const MidiDevice device = devices.input();
    const QString name = devices.inputName();
    if (capture.isOpenFor(this) && device == openedDevice && name == openedName)
        return;
    if (capture.owner() != nullptr && !capture.isOpenFor(this))
        return;
    openedDevice = device;
    openedName = name;
    // A device that cannot be opened is tried again when the devices or the input's owner change,
    // not in a loop; nothing is said to the user, who did not ask for this capture.
    capture.openWhenIdle(this, MidiInCapture::Mode::ShortMessages);
}
