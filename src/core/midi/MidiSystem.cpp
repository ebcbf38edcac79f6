#include "core/midi/MidiSystem.h"

#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiInCapture.h"
#include "core/midi/MidiPortBackend.h"

namespace {

// Without a back end for the system's ports there are none: only the built-in device.
class NoSystemPorts : public MidiPortBackend
{
public:
    QStringList outputNames() override { return {}; }
    QStringList inputNames() override { return {}; }
    std::unique_ptr<MidiOutputPort> openOutput(int, QString *error) override
    {
        if (error)
            *error = QStringLiteral("no system MIDI ports");
        return nullptr;
    }
    std::unique_ptr<MidiInputPort> openInput(int, MidiInputPort::Receiver, QString *error) override
    {
        if (error)
            *error = QStringLiteral("no system MIDI ports");
        return nullptr;
    }
};

} // namespace

MidiSystem::MidiSystem(std::unique_ptr<MidiPortBackend> builtInPorts, std::unique_ptr<MidiPortBackend> systemPorts)
    : builtIn(builtInPorts ? std::move(builtInPorts) : std::make_unique<NoSystemPorts>()),
      builtInDevice(builtIn->outputNames().value(0)),
      system(systemPorts ? std::move(systemPorts) : std::make_unique<NoSystemPorts>())
{
    inCapture = std::make_unique<MidiInCapture>(*this);
    selection = std::make_unique<DeviceSelection>(*this);
}

MidiSystem::~MidiSystem()
{
    // The capture's port and the kept output go before the back ends they came from.
    selection.reset();
    inCapture.reset();
    kept.reset();
}

QList<MidiSystem::Device> MidiSystem::outputs()
{
    QList<Device> list{{simulatorOutput, builtInDevice}};
    const QStringList names = system->outputNames();
    for (int i = 0; i < names.size(); ++i)
        if (!names.at(i).isEmpty())
            list.append({i, names.at(i)});
    return list;
}

QList<MidiSystem::Device> MidiSystem::inputs()
{
    QList<Device> list{{simulatorInput, builtInDevice}};
    const QStringList names = system->inputNames();
    for (int i = 0; i < names.size(); ++i)
        if (!names.at(i).isEmpty())
            list.append({i + 1, names.at(i)});
    return list;
}

MidiOutputPort *MidiSystem::output(int device, QString *error)
{
    if (device == simulatorOutput) {
        if (!kept || keptDevice != device) {
            releaseOutput();
            kept = builtIn->openOutput(0, error);
            keptDevice = device;
            keptName = builtInDevice;
        }
        return kept.get();
    }
    if (device < 0) {
        releaseOutput();
        if (error)
            *error = QStringLiteral("no output device %1").arg(device);
        return nullptr;
    }
    // The device must still be there under the same name: an unplugged device must fail, not
    // swallow messages. Listing costs nearly a millisecond on JACK, as much as sending a whole
    // data block, so a kept device is looked up again only when its last check is stale.
    if (kept && keptDevice == device && keptCheck.isValid() && keptCheck.elapsed() < recheckMs)
        return kept.get();
    const QStringList names = system->outputNames();
    keptCheck.start();
    // A kept device is followed by its name, not its place in the list: other programs' ports
    // coming and going shift the places of the rest, and a transfer must not carry on into
    // whatever port now stands at the old place.
    const bool keptListed = kept && keptDevice == device && names.contains(keptName);
    if (keptListed)
        return kept.get();
    if (kept && keptDevice == device) {
        if (error)
            *error = QStringLiteral("output device \"%1\" is gone").arg(keptName);
        releaseOutput();   // unplugged: fail, and let the next send open afresh
        return nullptr;
    }
    if (device >= names.size() || names.at(device).isEmpty()) {
        releaseOutput();
        if (error)
            *error = QStringLiteral("no output device %1").arg(device);
        return nullptr;
    }

    releaseOutput();
    kept = system->openOutput(device, error);
    if (!kept)
        return nullptr;
    keptDevice = device;
    keptName = names.at(device);
    return kept.get();
}

QString MidiSystem::outputName(int device)
{
    if (device == simulatorOutput)
        return builtInDevice;
    if (device < 0)
        return {};
    const QStringList names = system->outputNames();
    if (kept && keptDevice == device && names.contains(keptName))
        return keptName;
    return device < names.size() ? names.at(device) : QString();
}

void MidiSystem::recheckOutput()
{
    keptCheck.invalidate();
}

void MidiSystem::releaseOutput()
{
    kept.reset();
    keptCheck.invalidate();
    keptName.clear();
}

std::unique_ptr<MidiInputPort> MidiSystem::openInput(int device, MidiInputPort::Receiver receiver,
                                                     QString *error)
{
    if (device == simulatorInput)
        return builtIn->openInput(0, std::move(receiver), error);
    if (device < 1) {
        if (error)
            *error = QStringLiteral("no input device %1").arg(device);
        return nullptr;
    }
    QString why;
    auto port = system->openInput(device - 1, std::move(receiver), &why);
    if (!port && error)
        *error = why.isEmpty() ? QStringLiteral("no input device %1").arg(device) : why;
    return port;
}
