#include "core/midi/IdleInputListener.h"

#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiInCapture.h"
#include "core/midi/MidiSystem.h"

IdleInputListener::IdleInputListener(MidiSystem &midiSystem, QObject *parent)
    : QObject(parent), midi(midiSystem)
{
    claimTimer.setSingleShot(true);
    claimTimer.setInterval(0);
    connect(&claimTimer, &QTimer::timeout, this, &IdleInputListener::claim);
    MidiInCapture &capture = midi.capture();
    connect(&capture, &MidiInCapture::ownerChanged, this, &IdleInputListener::ownerChanged);
    connect(&capture, &MidiInCapture::shortMessage, this, [this](quint8 status, quint8 data1, quint8 data2) {
        if (this->midi.capture().isOpenFor(this))
            emit shortMessage(status, data1, data2);
    });
    connect(&midi.devices(), &DeviceSelection::changed, this, &IdleInputListener::deviceChanged);
}

IdleInputListener::~IdleInputListener()
{
    // The capture outlives this listener; its ownerChanged() must not reach a half-gone object.
    disconnect(&midi.capture(), nullptr, this, nullptr);
    midi.capture().close(this);
}

bool IdleInputListener::isListening() const
{
    return midi.capture().isOpenFor(this);
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
    midi.capture().close(this);
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
    if (midi.capture().owner() == nullptr)
        claimLater();
}

void IdleInputListener::deviceChanged()
{
    // The devices change only while the input is free or ours. claim() listens afresh to a new
    // input device, or to another device now behind the same number, and tries again one that
    // could not be opened before.
    claimLater();
}

void IdleInputListener::claim()
{
    if (!enabled)
        return;
    MidiInCapture &capture = midi.capture();
    const int device = midi.devices().input();
    const QString name = inputName(device);
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

QString IdleInputListener::inputName(int device) const
{
    if (device == MidiSystem::simulatorInput)
        return midi.builtInName();
    for (const MidiSystem::Device &d : midi.inputs()) {
        if (d.number == device)
            return d.name;
    }
    return {};
}
