// The receive side's SysEx acceptance: MidiInCapture in dump mode, with DumpReceiver as its
// owner, fed arbitrary input in arbitrary pieces through a stand-in input device. Only a
// template dump (20 63 at bytes 2, 3 and 03 at byte 7) is ever accepted, at most one input
// buffer of it, byte for byte as it arrived; the first accepted dump ends the capture.
#include "FuzzSupport.h"

#include "core/midi/MidiParts.h"
#include "core/midi/MidiPortBackend.h"
#include "core/sim/SimulatorBackend.h"
#include "core/transfer/DumpReceiver.h"
#include "support/ScriptedPrompts.h"

#include <QCoreApplication>

#include <memory>

namespace {

// One input device whose receiver the fuzzer calls; no outputs.
class FuzzPorts : public MidiPortBackend
{
public:
    MidiInputPort::Receiver receiver;

    QStringList outputNames() override { return {}; }
    QStringList inputNames() override { return {QStringLiteral("fuzz in")}; }
    std::unique_ptr<MidiOutputPort> openOutput(int, QString *) override { return nullptr; }
    std::unique_ptr<MidiInputPort> openInput(int index, MidiInputPort::Receiver r, QString *) override
    {
        if (index != 0)
            return nullptr;
        receiver = std::move(r);
        return std::make_unique<Input>(*this);
    }

private:
    class Input : public MidiInputPort
    {
    public:
        explicit Input(FuzzPorts &ports) : ports(ports) {}
        ~Input() override { ports.receiver = nullptr; }

    private:
        FuzzPorts &ports;
    };
};

QCoreApplication *app = nullptr;
FuzzPorts *ports = nullptr;
MidiParts *midi = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    app = new QCoreApplication(*argc, *argv);
    auto owned = std::make_unique<FuzzPorts>();
    ports = owned.get();
    midi = new MidiParts(std::make_unique<SimulatorBackend>(), std::move(owned));
    midi->devices().choose(MidiDevice::builtIn(), MidiDevice::system(0));   // the first system input: ours
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    ScriptedPrompts prompts;
    DumpReceiver receiver(midi->ports(), midi->devices(), midi->capture(), prompts);
    int accepted = 0;
    QByteArray all;   // every byte the device delivered, in order, realtime bytes left out
    QObject::connect(&receiver, &DumpReceiver::received, [&](const QByteArray &dump) {
        ++accepted;
        FUZZ_CHECK(dump.size() >= 8 && dump.size() <= int(DumpReceiver::inputBufferSize));
        FUZZ_CHECK(std::uint8_t(dump[0]) == 0xF0);
        FUZZ_CHECK(dump[2] == 0x20 && dump[3] == 0x63 && dump[7] == 0x03);
        FUZZ_CHECK(all.contains(dump));   // byte for byte as it arrived
    });
    FUZZ_CHECK(receiver.listen());

    while (!in.empty() && ports->receiver) {
        const std::uint8_t control = in.byte();
        const QByteArray piece = in.bytes(control % 128);
        for (const char c : piece) {
            if (std::uint8_t(c) < 0xF8)
                all += c;
        }
        ports->receiver(piece);
        if (control & 0x80)
            QCoreApplication::sendPostedEvents();
    }
    QCoreApplication::sendPostedEvents();
    FUZZ_CHECK(accepted <= 1);
    FUZZ_CHECK(receiver.listening() == (accepted == 0));
    receiver.stop();
    FUZZ_CHECK(!midi->capture().isOpen());
    QCoreApplication::sendPostedEvents();
    return 0;
}
