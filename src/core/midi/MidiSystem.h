#pragma once

#include "core/midi/MidiDevice.h"
#include "core/midi/MidiDirectLink.h"
#include "core/midi/MidiExchange.h"
#include "core/midi/MidiInputPort.h"
#include "core/midi/MidiOutputPort.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class MidiPortBackend;

// The registry of the program's MIDI ports: its two back ends (the built-in device, the
// system's ports), their listings, the connection to the output device last used (kept, since
// opening a system port is costly here: a new sequencer or JACK client per open), inputs opened
// on demand, and the exchanges that take a device's direct link. Which devices are in use is
// the DeviceSelection's, listening is the MidiInCapture's; neither is known here.
class MidiSystem
{
public:
    // How long a kept output is trusted without looking it up again.
    static constexpr int recheckMs = 100;

    struct Device
    {
        MidiDevice id;
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

    // The output for `device`, kept open between calls as long as the same device is asked for
    // and the port it opened is still listed (at any place). Null when it does not exist or
    // cannot be opened.
    MidiOutputPort *output(MidiDevice device, QString *error = nullptr);
    // The name of the port that output(device) sends to, without opening anything: the kept
    // one while it is still listed, else the one listed at the device's place. Empty when none.
    QString outputName(MidiDevice device);
    // Closes the kept output; the next call to output() opens afresh.
    void releaseOutput();
    // The next call to output() looks the kept device up in the listing, however recent the
    // last look was.
    void recheckOutput();

    std::unique_ptr<MidiInputPort> openInput(MidiDevice device, MidiInputPort::Receiver receiver,
                                             QString *error = nullptr);

    // Starts an exchange of SysEx with `output` and `input` (either may be none). When the
    // device has a direct link (a USB instrument), the link is taken from the system for as long
    // as the exchange is open: output() and openInput() for that device go through it, and the
    // device stays listed at its place although its system ports are gone meanwhile. Exchanges
    // nest: one opened inside another shares it. A closed exchange, with `error`, when the link
    // cannot be taken: nothing may be sent to that device then.
    MidiExchange openExchange(MidiDevice output, MidiDevice input, QString *error = nullptr);
    bool exchangeOpen() const { return exchangeDepth > 0; }
    // Told around every change of a device's route, as its link is taken and as it is given
    // back: `before` closes what has an input open (its system port is about to go), `after`
    // opens it again over the route now in place. The input capture, wired by whoever builds both.
    void onRouteChange(std::function<void()> before, std::function<void()> after);
    // Whether SysEx to `output` must go through a direct link (and so inside an exchange).
    bool needsDirectLink(MidiDevice output);
    // What carries SysEx to the device listed as `name` when not its port ("USB link"), or empty.
    QString directRoute(const QString &name);
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
    std::function<void()> routeChanging;
    std::function<void()> routeChanged;

    MidiDevice keptDevice;
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
