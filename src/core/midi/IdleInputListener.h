#pragma once

#include "core/midi/MidiDevice.h"

#include <QObject>
#include <QString>
#include <QTimer>

class DeviceSelection;
class MidiInCapture;

// Listens to the input device in use whenever nobody else needs it: it opens the capture only
// while the capture is free (MidiInCapture::openWhenIdle), gives way at once to any other open
// (a transfer, a receive, the velocity monitor), and takes the input again from the event loop
// once it is free, never inside the other owner's close. It follows the devices in use: when
// the input device changes, it listens to the new one. Short messages reach shortMessage() only
// while it holds the input.
class IdleInputListener : public QObject
{
    Q_OBJECT

public:
    IdleInputListener(MidiInCapture &capture, DeviceSelection &devices, QObject *parent = nullptr);
    ~IdleInputListener() override;

    // On: take the input as soon as it is free. Off: give it back and stay away.
    void setEnabled(bool on);
    bool isEnabled() const { return enabled; }
    // Holds the input now.
    bool isListening() const;

signals:
    void shortMessage(quint8 status, quint8 data1, quint8 data2);
    // isListening() changed.
    void listeningChanged(bool listening);

private:
    void claimLater();
    void claim();
    void deviceChanged();
    void ownerChanged();

    MidiInCapture &capture;
    DeviceSelection &devices;
    bool enabled = false;
    bool wasListening = false;
    MidiDevice openedDevice;
    QString openedName;
    QTimer claimTimer;   // one pending claim, from the event loop
};
