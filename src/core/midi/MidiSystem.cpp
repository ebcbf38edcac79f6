#include "core/midi/MidiSystem.h"

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
}

MidiSystem::~MidiSystem()
{
    // The kept output goes before the back end it came from, and a link still held is given
    // back to the system.
    kept.reset();
    link.reset();
}

void MidiSystem::onRouteChange(std::function<void()> before, std::function<void()> after)
{
    routeChanging = std::move(before);
    routeChanged = std::move(after);
}

QStringList MidiSystem::systemOutputNames()
{
    QStringList names = system->outputNames();
    // While the link holds the device its system ports are gone; it keeps its number (and so
    // the devices after it theirs) until it is given back or unplugged.
    if (link && !linkOutput.isEmpty() && !names.contains(linkOutput) && link->connected())
        names.insert(qMin(linkOutputIndex, int(names.size())), linkOutput);
    return names;
}

QStringList MidiSystem::systemInputNames()
{
    QStringList names = system->inputNames();
    if (link && !linkInput.isEmpty() && !names.contains(linkInput) && link->connected())
        names.insert(qMin(linkInputIndex, int(names.size())), linkInput);
    return names;
}

QList<MidiSystem::Device> MidiSystem::outputs()
{
    QList<Device> list{{MidiDevice::builtIn(), builtInDevice}};
    const QStringList names = systemOutputNames();
    for (int i = 0; i < names.size(); ++i)
        if (!names.at(i).isEmpty())
            list.append({MidiDevice::system(i), names.at(i)});
    return list;
}

QList<MidiSystem::Device> MidiSystem::inputs()
{
    QList<Device> list{{MidiDevice::builtIn(), builtInDevice}};
    const QStringList names = systemInputNames();
    for (int i = 0; i < names.size(); ++i)
        if (!names.at(i).isEmpty())
            list.append({MidiDevice::system(i), names.at(i)});
    return list;
}

MidiOutputPort *MidiSystem::output(MidiDevice device, QString *error)
{
    if (device.isBuiltIn()) {
        if (!kept || keptDevice != device) {
            releaseOutput();
            kept = builtIn->openOutput(0, error);
            keptDevice = device;
            keptName = builtInDevice;
        }
        return kept.get();
    }
    if (!device.isSystem()) {
        releaseOutput();
        if (error)
            *error = QStringLiteral("no output device %1").arg(device.outputNumber());
        return nullptr;
    }
    // The device must still be there under the same name: an unplugged device must fail, not
    // swallow messages. Listing costs nearly a millisecond on JACK, as much as sending a whole
    // data block, so a kept device is looked up again only when its last check is stale.
    if (kept && keptDevice == device && keptCheck.isValid() && keptCheck.elapsed() < recheckMs)
        return kept.get();
    const QStringList names = systemOutputNames();
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
    const int index = device.index();
    if (index >= names.size() || names.at(index).isEmpty()) {
        releaseOutput();
        if (error)
            *error = QStringLiteral("no output device %1").arg(device.outputNumber());
        return nullptr;
    }

    releaseOutput();
    const QString name = names.at(index);
    if (link && name == linkOutput) {
        kept = link->openOutput(error);
        keptOnLink = true;
    } else if (!system->directRoute(name).isEmpty()) {
        // Its system port would damage the instrument's messages: only the link may carry them.
        if (error)
            *error = QStringLiteral("\"%1\" is reached only through its %2, which is not taken")
                         .arg(name, system->directRoute(name));
        return nullptr;
    } else {
        // While the link holds a device, the back end's own numbering lacks it.
        kept = system->openOutput(link ? int(system->outputNames().indexOf(name)) : index, error);
    }
    if (!kept)
        return nullptr;
    keptDevice = device;
    keptName = name;
    return kept.get();
}

QString MidiSystem::outputName(MidiDevice device)
{
    if (device.isBuiltIn())
        return builtInDevice;
    if (!device.isSystem())
        return {};
    const QStringList names = systemOutputNames();
    if (kept && keptDevice == device && names.contains(keptName))
        return keptName;
    return names.value(device.index());
}

void MidiSystem::recheckOutput()
{
    keptCheck.invalidate();
}

void MidiSystem::releaseOutput()
{
    kept.reset();
    keptOnLink = false;
    keptCheck.invalidate();
    keptName.clear();
}

std::unique_ptr<MidiInputPort> MidiSystem::openInput(MidiDevice device, MidiInputPort::Receiver receiver,
                                                     QString *error)
{
    if (device.isBuiltIn())
        return builtIn->openInput(0, std::move(receiver), error);
    if (!device.isSystem()) {
        if (error)
            *error = QStringLiteral("no input device %1").arg(device.inputNumber());
        return nullptr;
    }
    const QString name = systemInputNames().value(device.index());
    if (link && !name.isEmpty() && name == linkInput)
        return link->openInput(std::move(receiver), error);
    QString why;
    const int index = link && !name.isEmpty() ? int(system->inputNames().indexOf(name)) : device.index();
    auto port = system->openInput(index, std::move(receiver), &why);
    if (!port && error)
        *error = why.isEmpty() ? QStringLiteral("no input device %1").arg(device.inputNumber()) : why;
    return port;
}

bool MidiSystem::needsDirectLink(MidiDevice output)
{
    if (!output.isSystem())
        return false;
    // A kept port opened lately is known: outside an exchange only a system port is kept.
    if (kept && keptDevice == output && !keptOnLink && keptCheck.isValid() && keptCheck.elapsed() < recheckMs)
        return false;
    const QString name = outputName(output);
    return !name.isEmpty() && !directRoute(name).isEmpty();
}

QString MidiSystem::directRoute(const QString &name)
{
    if (link && !name.isEmpty() && (name == linkOutput || name == linkInput))
        return linkRoute;
    return system->directRoute(name);
}

MidiExchange MidiSystem::openExchange(MidiDevice output, MidiDevice input, QString *error)
{
    const QStringList outs = systemOutputNames();
    const QStringList ins = systemInputNames();
    const QString outName = outs.value(output.index());
    const QString inName = ins.value(input.index());

    if (exchangeDepth > 0) {
        // Inside an exchange (a message of a transfer): it shares that one, unless it needs a
        // link the open exchange does not hold.
        const auto covered = [this](const QString &name, const QString &held) {
            return name.isEmpty() || (link && name == held) || system->directRoute(name).isEmpty();
        };
        if (!covered(outName, linkOutput) || !covered(inName, linkInput)) {
            if (error)
                *error = QStringLiteral("another exchange with the instrument is under way");
            return {};
        }
        ++exchangeDepth;
        return MidiExchange(this);
    }

    std::unique_ptr<MidiDirectLink> candidate;
    if (!outName.isEmpty() || !inName.isEmpty())
        candidate = system->directLink(outName, inName);
    if (candidate) {
        const QString route = system->directRoute(outName.isEmpty() ? inName : outName);
        // An open input and the kept output may be on the device's system ports, which go when
        // the link is taken: both close first, and the input opens again afterwards (through
        // the link when it listens to that device).
        if (routeChanging)
            routeChanging();
        releaseOutput();
        if (!candidate->take(error)) {
            candidate.reset();
            if (routeChanged)
                routeChanged();
            return {};
        }
        link = std::move(candidate);
        linkRoute = route;
        linkOutput = outName;
        linkInput = link->carriesInput() ? inName : QString();
        linkOutputIndex = int(outs.indexOf(outName));
        linkInputIndex = int(ins.indexOf(inName));
        if (routeChanged)
            routeChanged();
    }
    exchangeDepth = 1;
    return MidiExchange(this);
}

void MidiSystem::endExchange()
{
    if (exchangeDepth == 0 || --exchangeDepth > 0)
        return;
    if (!link)
        return;
    if (keptOnLink)
        releaseOutput();
    if (routeChanging)
        routeChanging();
    link.reset();   // given back; waits until the system lists the device's ports again
    linkRoute.clear();
    linkOutput.clear();
    linkInput.clear();
    if (routeChanged)
        routeChanged();
}
