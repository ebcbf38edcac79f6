// Sending speed: 1 MiB as 1038-byte SysEx blocks to zorvik-sim over a private JACK server,
// through MidiOutSession::send and through a bare RtMidi send loop, in one run; and one send
// to the built-in simulator. The ratio send / bare loop is printed at the end.
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiOutSession.h"
#include "core/midi/MidiSystem.h"
#include "core/protocol/TransferHeader.h"
#include "core/sim/SimulatorBackend.h"
#include "devices/midi/RtMidiBackend.h"

#include "support/JackRig.h"

#include <RtMidi.h>
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kBlocks = 1024;   // 1 MiB of data in 1024-byte blocks

std::vector<std::vector<std::uint8_t>> megabyteOfBlocks()
{
    std::vector<std::vector<std::uint8_t>> blocks(kBlocks, std::vector<std::uint8_t>(1038));
    for (int i = 0; i < kBlocks; ++i) {
        auto &b = blocks[std::size_t(i)];
        TransferHeader::write(b.data(), TransferHeader::DataBlock, 1, std::uint8_t(i >> 8), std::uint8_t(i));
        for (std::size_t k = 13; k < 1037; ++k)
            b[k] = std::uint8_t((i + k) & 0x7F);
        b[1037] = 0xF7;
    }
    return blocks;
}

std::unique_ptr<JackRig> rig;
std::map<std::string, double> secondsPerIteration;

void record(benchmark::State &state, const std::string &name, double seconds, qint64 before)
{
    secondsPerIteration[name] = seconds / double(state.iterations());
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kBlocks * 1038);
    // Messages that never reached the simulator: RtMidi's JACK port drops what does not fit in
    // one cycle's MIDI buffer, without a word.
    state.counters["lost"] = double(state.iterations() * kBlocks - (rig->received() - before));
}

void BM_SendJack(benchmark::State &state)
{
    if (!rig || !rig->ready) {
        state.SkipWithError("no JACK server");
        return;
    }
    MidiSystem midi(std::make_unique<SimulatorBackend>(), std::make_unique<RtMidiBackend>(RtMidi::UNIX_JACK));
    MidiOutSession session(midi);
    int device = -2;
    for (const auto &d : midi.outputs())
        if (d.number >= 0 && d.name.contains(QStringLiteral("Zorvik Simulator")))
            device = d.number;
    if (device < 0) {
        state.SkipWithError("the simulator's port is not listed");
        return;
    }
    midi.devices().choose(device, MidiSystem::simulatorInput);
    const auto blocks = megabyteOfBlocks();
    const qint64 before = rig->received();
    double seconds = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        for (const auto &b : blocks)
            if (session.send(b.data(), 1038) != SendResult::Sent)
                state.SkipWithError("send failed");
        seconds += clock.nsecsElapsed() / 1e9;
    }
    record(state, "send", seconds, before);
}

void BM_BareRtMidiJack(benchmark::State &state)
{
    if (!rig || !rig->ready) {
        state.SkipWithError("no JACK server");
        return;
    }
    RtMidiOut out(RtMidi::UNIX_JACK, "bench bare");
    unsigned port = 0;
    while (port < out.getPortCount() && out.getPortName(port).find("Zorvik Simulator") == std::string::npos)
        ++port;
    out.openPort(port);
    const auto blocks = megabyteOfBlocks();
    const qint64 before = rig->received();
    double seconds = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        for (const auto &b : blocks)
            out.sendMessage(b.data(), b.size());
        seconds += clock.nsecsElapsed() / 1e9;
    }
    record(state, "bare", seconds, before);
}

void BM_SendBuiltInSimulator(benchmark::State &state)
{
    MidiSystem midi(std::make_unique<SimulatorBackend>());
    MidiOutSession session(midi);
    midi.devices().choose(MidiSystem::simulatorOutput, MidiSystem::simulatorInput);
    const auto blocks = megabyteOfBlocks();
    for (auto _ : state)
        benchmark::DoNotOptimize(session.send(blocks[0].data(), 1038));
}

} // namespace

// Alternating order, so neither loop always runs on a fresher server.
BENCHMARK(BM_BareRtMidiJack)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SendJack)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SendBuiltInSimulator)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    rig = std::make_unique<JackRig>();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    rig.reset();
    if (secondsPerIteration.count("send") && secondsPerIteration.count("bare"))
        std::printf("Send / bare RtMidi loop, 1 MiB over JACK: %.3f\n",
                    secondsPerIteration["send"] / secondsPerIteration["bare"]);
    return 0;
}
