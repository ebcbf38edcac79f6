#pragma once

#include "core/midi/MidiDevice.h"
#include "core/midi/MidiSystem.h"

#include <QDialog>

class DeviceSelection;
class QComboBox;

// "Set Device": picks the MIDI Out and MIDI In devices from the ports listed. Changes the devices
// in use (DeviceSelection) on OK only; a list with no selection stands for no device, which the
// next send or capture reports as a device that cannot be opened. It opens on the
// devices in use; picking an entry makes OK a choice of the user's, kept for the rest of the
// run, while Refresh goes back to the instrument found.
class SetDeviceDialog : public QDialog
{
    Q_OBJECT

public:
    SetDeviceDialog(MidiSystem &ports, DeviceSelection &devices, QWidget *parent = nullptr);

    MidiDevice pendingOut;
    MidiDevice pendingIn;

    QComboBox *outList() const { return outCombo; }
    QComboBox *inList() const { return inCombo; }

public slots:
    void accept() override;
    void refresh();

private:
    void fillLists();
    void readSelections();

    MidiSystem &ports;
    DeviceSelection &devices;
    QComboBox *outCombo;
    QComboBox *inCombo;
    QList<MidiSystem::Device> outDevices;
    QList<MidiSystem::Device> inDevices;
    bool picked = false;      // an entry was picked since opening or Refresh
    bool refreshed = false;   // Refresh went back to the instrument found
};
