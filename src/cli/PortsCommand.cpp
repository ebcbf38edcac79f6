#include "cli/PortsCommand.h"

#include "cli/CommandDevices.h"
#include "cli/CommandOutput.h"
#include "cli/ControlCommands.h"
#include "core/midi/MidiPortBackend.h"
#include "core/midi/MidiSystem.h"

#include <cstdio>

int PortsCommand::run()
{
    using Way = CommandDevices::Way;
    const auto outputs = midi.outputs();
    const auto inputs = midi.inputs();
    const QString why = midi.systemPorts().problem();
    if (!why.isEmpty()) {
        CommandOutput::fail(why);
        return ControlCommands::DeviceError;
    }
    // A device whose SysEx goes around its port (a USB instrument) says so.
    const auto print = [this](const MidiSystem::Device &device, Way way) {
        const QString route = device.id.isBuiltIn() ? QString() : midi.directRoute(device.name);
        std::printf("%4d  %s%s\n", CommandDevices::numberOf(device.id, way), qPrintable(device.name),
                    route.isEmpty() ? "" : qPrintable(QStringLiteral("  (SysEx through the %1)").arg(route)));
    };
    std::printf("Out:\n");
    for (const auto &device : outputs)
        print(device, Way::Out);
    std::printf("In:\n");
    for (const auto &device : inputs)
        print(device, Way::In);
    return CommandOutput::finish();
}
