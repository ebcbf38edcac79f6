// A firmware transfer of 1 MiB through the transfer engine (packing, announcement, one block per
// ReplyNext): to the built-in simulator, against handing the same blocks to its port in a bare
// loop; and to zorvik-sim over a private JACK server. Also the median time from a ReplyNext
// arriving to its block handed to the port.
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiPortBackend.h"
#include "core/midi/MidiSystem.h"
#include "core/protocol/SevenBitCodec.h"
#include "core/protocol/TransferHeader.h"
#include "core/sim/SimulatorBackend.h"
#include "core/transfer/TransferDriver.h"
#include "support/ScriptedPrompts.h"

#include "support/JackRig.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kImageSize = 1 << 20;

QByteArray firmwareImage()
{
    QByteArray image(kImageSize, Qt::Uninitialized);
    for (int i = 0; i < image.size(); ++i)
        image[i] = char((i * 37) ^ (i >> 9));
    return image;
}

std::map<std::string, double> secondsPerIteration;

void BM_BareBlocksToSimulator(benchmark::State &state)
{
    MidiSystem midi(std::make_unique<SimulatorBackend>());
    const QByteArray packed = SevenBitCodec::Pack(firmwareImage());
    std::vector<QByteArray> blocks;
    for (qsizetype offset = 0, index = 0; offset < packed.size(); offset += 1024, ++index) {
        const QByteArray payload = packed.mid(offset, 1024);
        QByteArray message(TransferHeader::size, Qt::Uninitialized);
        TransferHeader::write(reinterpret_cast<std::uint8_t *>(message.data()), TransferHeader::DataBlock, 0x18,
                              std::uint8_t(index >> 8), std::uint8_t(index));
        blocks.push_back(message + payload + QByteArray(1, '\xF7'));
    }
    MidiOutputPort *port = midi.output(MidiSystem::simulatorOutput);
    double seconds = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        for (const QByteArray &b : blocks)
            port->send(reinterpret_cast<const std::uint8_t *>(b.constData()), std::size_t(b.size()),
                       std::chrono::milliseconds(1000));
        seconds += clock.nsecsElapsed() / 1e9;
    }
    secondsPerIteration["bare"] = seconds / double(state.iterations());
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kImageSize);
}

std::unique_ptr<JackRig> rig;

// One transfer per iteration on the devices in use; records time and reply handling.
void transferLoop(benchmark::State &state, MidiSystem &midi, const std::string &name)
{
    ScriptedPrompts prompts;
    const QByteArray image = firmwareImage();
    std::vector<qint64> handling;
    double seconds = 0;
    for (auto _ : state) {
        TransferDriver driver(midi, prompts);
        driver.open(FileKind::Firmware, image);
        QEventLoop loop;
        QObject::connect(&driver, &TransferDriver::finished, &loop, &QEventLoop::quit);
        QObject::connect(&driver, &TransferDriver::timedOut, &loop, &QEventLoop::quit);
        QObject::connect(&driver, &TransferDriver::failed, &loop, &QEventLoop::quit);
        QObject::connect(&driver, &TransferDriver::closeRequested, &loop, &QEventLoop::quit);
        QObject::connect(&driver, &TransferDriver::changed, &loop, [&] {
            if (driver.session().state() != TransferSession::State::AwaitingReady && driver.session().blocksSent() > 0)
                handling.push_back(driver.lastReplyToBlockMicros());
        });
        QElapsedTimer clock;
        clock.start();
        driver.send();
        if (driver.busy())
            loop.exec();
        seconds += clock.nsecsElapsed() / 1e9;
        if (driver.session().state() != TransferSession::State::Finished) {
            state.SkipWithError("the transfer did not finish");
            return;
        }
    }
    secondsPerIteration[name] = seconds / double(state.iterations());
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kImageSize);
    if (!handling.empty()) {
        std::nth_element(handling.begin(), handling.begin() + handling.size() / 2, handling.end());
        state.counters["median_reply_to_block_us"] = double(handling[handling.size() / 2]);
    }
}

void BM_FirmwareTransferToSimulator(benchmark::State &state)
{
    MidiSystem midi(std::make_unique<SimulatorBackend>());
    transferLoop(state, midi, "transfer");
}

void BM_FirmwareTransferOverJack(benchmark::State &state)
{
    if (!rig || !rig->ready) {
        state.SkipWithError("no JACK server");
        return;
    }
    MidiSystem midi(std::make_unique<SimulatorBackend>(), std::make_unique<RtMidiBackend>(RtMidi::UNIX_JACK));
    int out = -2;
    int in = -1;
    for (const auto &d : midi.outputs())
        if (d.number >= 0 && d.name.contains(QStringLiteral("Zorvik Simulator")))
            out = d.number;
    for (const auto &d : midi.inputs())
        if (d.number >= 1 && d.name.contains(QStringLiteral("Zorvik Simulator")))
            in = d.number;
    if (out < 0 || in < 1) {
        state.SkipWithError("the simulator's ports are not listed");
        return;
    }
    midi.devices().choose(out, in);
    transferLoop(state, midi, "jack");
}

} // namespace

BENCHMARK(BM_BareBlocksToSimulator)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirmwareTransferToSimulator)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirmwareTransferOverJack)->Unit(benchmark::kMillisecond)->Iterations(2);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // A short JACK cycle: every reply waits for the next one.
    rig = std::make_unique<JackRig>(128);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    rig.reset();
    if (secondsPerIteration.count("transfer") && secondsPerIteration.count("bare"))
        std::printf("Transfer / bare block loop, 1 MiB firmware to the built-in simulator: %.2f\n",
                    secondsPerIteration["transfer"] / secondsPerIteration["bare"]);
    if (secondsPerIteration.count("jack"))
        std::printf("1 MiB firmware over JACK: %.2f s, %.1f KiB/s\n", secondsPerIteration["jack"],
                    1024.0 / secondsPerIteration["jack"]);
    return 0;
}
