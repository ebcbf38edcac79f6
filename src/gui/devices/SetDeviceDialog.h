#pragma once

#include "core/midi/MidiSystem.h"

#include <QDialog>

class QComboBox;

// "Set Device": picks the MIDI Out and MIDI In devices. Changes the devices in use (MidiSystem's
// DeviceSelection) on OK only; a list with no selection stands for -2 (output) or -1 (input),
// which the next send or capture reports as a device that cannot be opened. It opens on the
// devices in use; picking an entry makes OK a choice of the user's, kept for the rest of the
// run, while Refresh goes back to the instrument found.
class SetDeviceDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int noOutput = -2;
    static constexpr int noInput = -1;

    explicit SetDeviceDialog(MidiSystem &midi, QWidget *parent = nullptr);

    int pendingOut = 0;
    int pendingIn = 0;

    QComboBox *outList() const { return outCombo; }
    QComboBox *inList() const { return inCombo; }

public slots:
    void accept() override;
    void refresh();

private:
    void fillLists();
    void readSelections();

    MidiSystem &midi;
    QComboBox *outCombo;
    QComboBox *inCombo;
    QList<MidiSystem::Device> outDevices;
    QList<MidiSystem::Device> inDevices;
    bool picked = false;      // an entry was picked since opening or Refresh
    bool refreshed = false;   // Refresh went back to the instrument found
};
