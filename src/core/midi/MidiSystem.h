#pragma once

#include "core/midi/MidiDirectLink.h"
#include "core/midi/MidiExchange.h"
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
    // No device in that direction (an exchange that only listens).
    static constexpr int noDevice = -1000;
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

    // Starts an exchange of SysEx with `output` and `input` (either may be noDevice). When the
    // device has a direct link (a USB instrument), the link is taken from the system for as long
    // as the exchange is open: output() and openInput() for that device go through it, the
    // device stays listed under its number although its system ports are gone meanwhile, and
    // the input capture moves onto the link and back. Exchanges nest: one opened inside another
    // shares it. A closed exchange, with `error`, when the link cannot be taken: nothing may be
    // sent to that device then.
    MidiExchange openExchange(int output, int input, QString *error = nullptr);
    bool exchangeOpen() const { return exchangeDepth > 0; }
    // Whether SysEx to `output` must go through a direct link (and so inside an exchange).
    bool needsDirectLink(int output);
    // What carries SysEx to the device listed as `name` when not its port ("USB link"), or empty.
    QString directRoute(const QString &name);
    MidiInCapture &capture() { return *inCapture; }
    DeviceSelection &devices() { return *selection; }
    MidiPortBackend &systemPorts() { return *system; }
    // The name the built-in device is listed under ("Zorvik Simulator").
    QString builtInName() const { return builtInDevice; }

private:
    friend class MidiExchange;
    void endExchange();
    // The system's port names, with a device held by the direct link kept at its number.
    QStringList systemOutputNames();
    QStringList systemInputNames();

    std::unique_ptr<MidiPortBackend> builtIn;
    QString builtInDevice;
    std::unique_ptr<MidiPortBackend> system;
    std::unique_ptr<MidiInCapture> inCapture;
    std::unique_ptr<DeviceSelection> selection;

    int keptDevice = 0;
    QString keptName;
    std::unique_ptr<MidiOutputPort> kept;
    QElapsedTimer keptCheck;   // since the kept device was last found in the listing
    bool keptOnLink = false;   // the kept output goes through the direct link

    int exchangeDepth = 0;
    std::unique_ptr<MidiDirectLink> link;   // taken while an exchange needs it
    QString linkRoute;
    QString linkOutput;        // the names the link stands for, and where they were listed
    QString linkInput;
    int linkOutputIndex = 0;
    int linkInputIndex = 0;
};
