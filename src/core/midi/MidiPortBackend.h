#pragma once

#include "core/midi/MidiDirectLink.h"
#include "core/midi/MidiInputPort.h"
#include "core/midi/MidiOutputPort.h"

#include <QString>
#include <QStringList>

#include <memory>

// A source of MIDI ports: the operating system's, or the built-in simulator. Indices are the
// back end's own, from 0, in the order of the name lists.
class MidiPortBackend
{
public:
    virtual ~MidiPortBackend() = default;

    virtual QStringList outputNames() = 0;
    virtual QStringList inputNames() = 0;

    // Null when the port cannot be opened; `error` then says why.
    virtual std::unique_ptr<MidiOutputPort> openOutput(int index, QString *error) = 0;
    virtual std::unique_ptr<MidiInputPort> openInput(int index, MidiInputPort::Receiver receiver,
                                                     QString *error) = 0;

    // Empty while the back end works; otherwise why nothing goes through (a MIDI server that
    // stopped answering). A back end without a server to stall always says nothing.
    virtual QString problem() { return {}; }
    // What tells the back end's devices apart from same-named ones elsewhere (the JACK server
    // they live on); empty when the name alone does.
    virtual QString place() { return {}; }

    // What carries SysEx to the device listed as `name` when it is not the port itself, in words
    // for the user ("USB link"); empty when the port carries it.
    virtual QString directRoute(const QString &name)
    {
        (void)name;
        return {};
    }
    // The direct link to the device behind the output `outputName` (or, with no output named,
    // behind the input `inputName`), not taken yet; null when the ports carry SysEx whole.
    virtual std::unique_ptr<MidiDirectLink> directLink(const QString &outputName, const QString &inputName)
    {
        (void)outputName;
        (void)inputName;
        return nullptr;
    }
    // Gives back to the system the devices that a program which ended while it held their
    // direct link left without a driver, and waits for their ports; once, as a program starts.
    // What was done, one line each.
    virtual QStringList recoverDevices() { return {}; }
};
