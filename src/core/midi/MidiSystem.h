#pragma once

#include "core/midi/MidiInputPort.h"
#include "core/midi/MidiOutputPort.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <memory>

class DeviceSelection;
class MidiInCapture;
class MidiPortBackend;

// The one owner of the program's MIDI devices. Device numbers as the rest of the program sees
// them: output -1 and input 0 are the built-in device (the simulator, given by whoever builds
// the system); the system's outputs follow as 0, 1, ... and its inputs as 1, 2, .... It also
// keeps the connection to the output device last used, since opening a system port is costly
// here (a new sequencer or JACK client per open), and owns the one input capture and the device
// selection (which devices are in use, and which is the instrument).
class MidiSystem
{
public:
    static constexpr int simulatorOutput = -1;
    static constexpr int simulatorInput = 0;
    // How long a kept output is trusted without looking it up again.
    static constexpr int recheckMs = 100;

    struct Device
    {
        int number;
        QString name;
    };

    // builtIn: the built-in device, its first output and input listed as -1 and 0 (the
    // simulator's back end). Without a back end for the system's ports there are none, only
    // the built-in device.
    explicit MidiSystem(std::unique_ptr<MidiPortBackend> builtIn, std::unique_ptr<MidiPortBackend> systemPorts = {});
    ~MidiSystem();
    MidiSystem(const MidiSystem &) = delete;
    MidiSystem &operator=(const MidiSystem &) = delete;

    // Fresh lists, in device order; a device whose name cannot be read is left out.
    QList<Device> outputs();
    QList<Device> inputs();

    // The output for `device`, kept open between calls as long as the same number is asked for
    // and the device it opened is still listed (under any number). Null when it does not exist
    // or cannot be opened.
    MidiOutputPort *output(int device, QString *error = nullptr);
    // The name of the device that output(device) sends to, without opening anything: the kept
    // one while it is still listed, else the one listed under the number. Empty when none.
    QString outputName(int device);
    // Closes the kept output; the next call to output() opens afresh.
    void releaseOutput();
    // The next call to output() looks the kept device up in the listing, however recent the
    // last look was.
    void recheckOutput();

    std::unique_ptr<MidiInputPort> openInput(int device, MidiInputPort::Receiver receiver,
                                             QString *error = nullptr);

    MidiInCapture &capture() { return *inCapture; }
    DeviceSelection &devices() { return *selection; }
    MidiPortBackend &systemPorts() { return *system; }
    // The name the built-in device is listed under ("Zorvik Simulator").
    QString builtInName() const { return builtInDevice; }

private:
    std::unique_ptr<MidiPortBackend> builtIn;
    QString builtInDevice;
    std::unique_ptr<MidiPortBackend> system;
    std::unique_ptr<MidiInCapture> inCapture;
    std::unique_ptr<DeviceSelection> selection;

    int keptDevice = 0;
    QString keptName;
    std::unique_ptr<MidiOutputPort> kept;
    QElapsedTimer keptCheck;   // since the kept device was last found in the listing
};
