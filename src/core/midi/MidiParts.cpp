#include "core/midi/MidiParts.h"

#include "core/midi/MidiPortBackend.h"

MidiParts::MidiParts(std::unique_ptr<MidiPortBackend> builtIn, std::unique_ptr<MidiPortBackend> systemPorts)
    : registry(std::move(builtIn), std::move(systemPorts))
    , selection(registry, [this] { return input.isBusy() || registry.exchangeOpen(); })
    , input([this](MidiInputPort::Receiver receiver, QString *error) {
        return registry.openInput(selection.input(), std::move(receiver), error);
    })
    , sysEx(registry, selection)
{
    // The capture's port may be on a device's system ports, which go while its link is taken.
    registry.onRouteChange([this] { input.suspend(); }, [this] { input.reopen(); });
}
