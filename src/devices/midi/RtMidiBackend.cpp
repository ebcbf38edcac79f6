#include "devices/midi/RtMidiBackend.h"

#include "devices/midi/RtMidiInputPort.h"
#include "devices/midi/RtMidiOutputPort.h"

#include "devices/midi/SoundLibraries.h"

#ifdef ZORVIK_HAVE_USB
#include "devices/midi/UsbMidiLink.h"
#include "devices/midi/UsbPortLocator.h"
#endif

#ifdef ZORVIK_HAVE_ALSA
#include "devices/midi/AlsaSequencerOutputPort.h"
#endif
#ifdef ZORVIK_HAVE_JACK
#include "devices/midi/JackBackend.h"
#endif

#include <algorithm>
#include <iostream>
#include <sstream>

namespace {

// A missing ALSA sequencer or JACK server is a normal state here (the back end simply offers no
// ports), but the sound libraries and RtMidi report it on stderr at every try. Their own error
// hooks are silenced once; RtMidi's warnings from a constructor, which come before an error
// callback can be set, go to a discarded stream while the listers and probes are made.
class QuietSoundLibraries
{
public:
    QuietSoundLibraries()
    {
        SoundLibraries::silenceErrorOutput();
        saved = std::cerr.rdbuf(discard.rdbuf());
    }
    ~QuietSoundLibraries() { std::cerr.rdbuf(saved); }
    QuietSoundLibraries(const QuietSoundLibraries &) = delete;
    QuietSoundLibraries &operator=(const QuietSoundLibraries &) = delete;

private:
    std::ostringstream discard;
    std::streambuf *saved = nullptr;
};

// Listing problems are not errors for the user: a device that cannot be read is left out.
void quiet(RtMidiError::Type, const std::string &, void *) {}

template<typename Port>
QStringList names(std::unique_ptr<Port> &lister, RtMidi::Api api)
{
    QStringList result;
    try {
        if (!lister) {
            const QuietSoundLibraries hush;
            lister = std::make_unique<Port>(api, RtMidiBackend::clientName);
            lister->setErrorCallback(quiet, nullptr);
        }
        const unsigned count = lister->getPortCount();
        for (unsigned i = 0; i < count; ++i) {
            const QString name = QString::fromStdString(lister->getPortName(i));
            if (!RtMidiBackend::isOwnPort(name))
                result.append(name);
        }
    } catch (const RtMidiError &) {
        lister.reset();
        result.clear();
    }
    return result;
}

} // namespace

RtMidiBackend::RtMidiBackend(RtMidi::Api api)
    : chosenApi(api)
{
}

RtMidiBackend::~RtMidiBackend() = default;

RtMidi::Api RtMidiBackend::api()
{
    if (chosenApi != RtMidi::UNSPECIFIED)
        return chosenApi;
    // RtMidi's own choice gives up when its first API cannot start (the ALSA sequencer without
    // sound devices): take the first compiled API that starts, JACK after ALSA.
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (RtMidi::Api candidate : apis) {
#ifdef ZORVIK_HAVE_JACK
        if (candidate == RtMidi::UNIX_JACK) {
            chosenApi = candidate;   // our own JACK ports never fail to start, as RtMidi's do not
            break;
        }
#endif
        try {
            const QuietSoundLibraries hush;
            RtMidiOut probe(candidate, clientName);
            chosenApi = candidate;
            break;
        } catch (const RtMidiError &) {
        }
    }
    return chosenApi;
}

MidiPortBackend *RtMidiBackend::direct()
{
#ifdef ZORVIK_HAVE_JACK
    if (api() == RtMidi::UNIX_JACK) {
        if (!directPorts)
            directPorts = std::make_unique<JackBackend>();
        return directPorts.get();
    }
#endif
    return nullptr;
}

QString RtMidiBackend::problem()
{
    MidiPortBackend *ports = direct();
    return ports ? ports->problem() : QString();
}

QString RtMidiBackend::place()
{
    MidiPortBackend *ports = direct();
    return ports ? ports->place() : QString();
}

QStringList RtMidiBackend::outputNames()
{
    if (MidiPortBackend *ports = direct())
        return ports->outputNames();
    const RtMidi::Api current = api();
    return current == RtMidi::UNSPECIFIED ? QStringList() : names(outLister, current);
}

QStringList RtMidiBackend::inputNames()
{
    if (MidiPortBackend *ports = direct())
        return ports->inputNames();
    const RtMidi::Api current = api();
    return current == RtMidi::UNSPECIFIED ? QStringList() : names(inLister, current);
}

bool RtMidiBackend::isOwnPort(const QString &name)
{
    return name.startsWith(QLatin1String(clientName));
}

QString RtMidiBackend::nameAt(const QStringList &names, int index, QString *error)
{
    if (index < 0 || index >= names.size() || names.at(index).isEmpty()) {
        if (error)
            *error = QStringLiteral("no device %1").arg(index);
        return {};
    }
    return names.at(index);
}

std::unique_ptr<MidiOutputPort> RtMidiBackend::openOutput(int index, QString *error)
{
    if (MidiPortBackend *ports = direct())
        return ports->openOutput(index, error);
    const QString name = nameAt(outputNames(), index, error);
    if (name.isEmpty())
        return nullptr;
#ifdef ZORVIK_HAVE_ALSA
    if (api() == RtMidi::LINUX_ALSA)
        return AlsaSequencerOutputPort::open(name, error);
#endif
    return RtMidiOutputPort::open(api(), name, error);
}

std::unique_ptr<MidiInputPort> RtMidiBackend::openInput(int index, MidiInputPort::Receiver receiver,
                                                        QString *error)
{
    if (MidiPortBackend *ports = direct())
        return ports->openInput(index, std::move(receiver), error);
    const QString name = nameAt(inputNames(), index, error);
    if (name.isEmpty())
        return nullptr;
    return RtMidiInputPort::open(api(), name, std::move(receiver), error);
}

std::optional<UsbMidiAddress> RtMidiBackend::usbDevice(const QString &name)
{
#ifdef ZORVIK_HAVE_USB
    if (name.isEmpty())
        return std::nullopt;
    const RtMidi::Api current = api();
    if (current != RtMidi::LINUX_ALSA && current != RtMidi::UNIX_JACK)
        return std::nullopt;
    if (!usbPorts)
        usbPorts = std::make_unique<UsbPortLocator>();
    return usbPorts->locate(name, current == RtMidi::UNIX_JACK ? UsbPortLocator::Naming::Jack
                                                               : UsbPortLocator::Naming::AlsaSequencer);
#else
    (void)name;
    return std::nullopt;
#endif
}

QString RtMidiBackend::directRoute(const QString &name)
{
    return usbDevice(name) ? QString::fromLatin1(usbRoute) : QString();
}

std::unique_ptr<MidiDirectLink> RtMidiBackend::directLink(const QString &outputName, const QString &inputName)
{
#ifdef ZORVIK_HAVE_USB
    const QString name = outputName.isEmpty() ? inputName : outputName;
    const auto device = usbDevice(name);
    if (!device)
        return nullptr;
    const auto input = usbDevice(inputName);
    const bool carriesInput = input && input->sameDevice(*device);
    // Given back, the device is there again once any of the ports listed leads to it.
    return std::make_unique<UsbMidiLink>(*device, name, carriesInput, [this, device = *device] { return listsDevice(device); });
#else
    (void)outputName;
    (void)inputName;
    return nullptr;
#endif
}

bool RtMidiBackend::listsDevice(const UsbMidiAddress &device)
{
    const QStringList names = outputNames() + inputNames();
    return std::any_of(names.begin(), names.end(), [&](const QString &listed) {
        const auto found = usbDevice(listed);
        return found && found->sameDevice(device);
    });
}

QStringList RtMidiBackend::recoverDevices()
{
#ifdef ZORVIK_HAVE_USB
    return UsbMidiLink::rebindOrphans([this](const UsbMidiAddress &device) { return listsDevice(device); });
#else
    return {};
#endif
}
