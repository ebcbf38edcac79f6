// Sending speed: 1 MiB as 1038-byte SysEx blocks to zorvik-sim over a private JACK server,
// through SysExSender::send and through a bare RtMidi send loop, in one run; and one send
// to the built-in simulator. Both JACK loops must deliver every block: the counter `lost` says
// how many never reached the simulator, and only delivered bytes count as processed. The counter
// `jack_periods` is the server's cycles one MiB took. The ratio send / bare loop is printed at
// the end.
#include "core/midi/MidiParts.h"
#include "core/protocol/TransferHeader.h"
#include "core/sim/SimulatorBackend.h"
#include "devices/midi/RtMidiBackend.h"

#include "support/JackRig.h"

#include <RtMidi.h>
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kBlocks = 1024;   // 1 MiB of data in 1024-byte blocks
constexpr std::size_t kBlockSize = 1038;

std::vector<std::vector<std::uint8_t>> megabyteOfBlocks()
{
    std::vector<std::vector<std::uint8_t>> blocks(kBlocks, std::vector<std::uint8_t>(kBlockSize));
    for (int i = 0; i < kBlocks; ++i) {
        auto &b = blocks[std::size_t(i)];
        TransferHeader::write(b.data(), TransferHeader::DataBlock, 1, std::uint8_t(i >> 8), std::uint8_t(i));
        for (std::size_t k = 13; k < kBlockSize - 1; ++k)
            b[k] = std::uint8_t((i + k) & 0x7F);
        b[kBlockSize - 1] = 0xF7;
    }
    return blocks;
}

std::unique_ptr<JackRig> rig;
bool rigReady = false;
std::map<std::string, double> secondsPerIteration;

// How many messages the simulator has received so far (-1 when it does not say): asked until
// two answers agree, as the last cycles and the simulator's own queue may still be on the way.
qint64 received()
{
    qint64 last = -2;
    for (int tries = 0; tries < 50; ++tries) {
        QThread::msleep(100);
        const QStringList words = rig->simulatorStatus().split(QLatin1Char(' '));
        const qint64 count = words.size() > 2 ? words.at(2).toLongLong() : -1;
        if (count == last)
            return count;
        last = count;
    }
    return last;
}

void waitForNextCycle(std::uint32_t cycle)
{
    while (rig->cycleFrame() == cycle)
        QThread::usleep(200);
}

// Time, cycles and delivery of a loop that sent `kBlocks` blocks per iteration.
void record(benchmark::State &state, const std::string &name, double seconds, std::uint32_t frames,
            qint64 before)
{
    const double iterations = double(state.iterations());
    const qint64 delivered = received() - before;
    secondsPerIteration[name] = seconds / iterations;
    state.SetBytesProcessed(std::int64_t(delivered) * std::int64_t(kBlockSize));
    state.counters["lost"] = iterations * kBlocks - double(delivered);
    state.counters["jack_periods"] = double(frames) / rig->period() / iterations;
}

void BM_SendJack(benchmark::State &state)
{
    if (!rigReady) {
        state.SkipWithError("no JACK server");
        return;
    }
    MidiParts midi(std::make_unique<SimulatorBackend>(), std::make_unique<RtMidiBackend>(RtMidi::UNIX_JACK));
    SysExSender sender(midi.ports(), midi.devices());
    MidiDevice device;
    for (const auto &d : midi.ports().outputs())
        if (d.id.isSystem() && d.name.contains(QStringLiteral("Zorvik Simulator")))
            device = d.id;
    if (device.isNone()) {
        state.SkipWithError("the simulator's port is not listed");
        return;
    }
    midi.devices().choose(device, MidiDevice::builtIn());
    const auto blocks = megabyteOfBlocks();
    const qint64 before = received();
    double seconds = 0;
    std::uint32_t frames = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const std::uint32_t first = rig->cycleFrame();
        for (const auto &b : blocks)
            if (sender.send(b.data(), kBlockSize) != SendResult::Sent)
                state.SkipWithError("send failed");
        seconds += clock.nsecsElapsed() / 1e9;
        frames += rig->cycleFrame() - first;
    }
    record(state, "send", seconds, frames, before);
}

// RtMidi's JACK output puts each message into a ring of its own (16 KiB; sendMessage spins while
// it is full), and its process callback moves whole messages from the ring into the port until
// the ring is empty, dropping what the port's buffer cannot take. A sender that refills the ring
// while the callback runs, as one spinning on a full ring does, keeps it going past the buffer:
// left to itself the loop lost most of its blocks in some runs. So the bare loop paces itself as
// JACK takes the messages: per cycle less than the ring and at most half the port's buffer, so
// that a callback meeting the next cycle's batch still stays within the buffer; then it sleeps
// until the next cycle starts.
void BM_BareRtMidiJack(benchmark::State &state)
{
    if (!rigReady) {
        state.SkipWithError("no JACK server");
        return;
    }
    constexpr std::size_t rtMidiRing = 16384;    // RtMidi's JACK output ring
    constexpr std::size_t lengthWord = sizeof(int);   // RtMidi's length before each message in it
    const std::size_t perCycle = std::min(rtMidiRing - 1, rig->midiBufferSize() / 2);
    if (perCycle < kBlockSize + lengthWord) {
        state.SkipWithError("the JACK port's buffer does not take a block");
        return;
    }
    RtMidiOut out(RtMidi::UNIX_JACK, "bench bare");
    unsigned port = 0;
    while (port < out.getPortCount() && out.getPortName(port).find("Zorvik Simulator") == std::string::npos)
        ++port;
    out.openPort(port);
    // The connection carries messages a cycle or more after it was made: a probe that the
    // simulator counts (a SysEx it ignores) shows when it does.
    const std::uint8_t probe[] = {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7};
    const qint64 unconnected = received();
    qint64 before = unconnected;
    for (int tries = 0; tries < 20 && before == unconnected; ++tries) {
        out.sendMessage(probe, sizeof probe);
        before = received();
    }
    const auto blocks = megabyteOfBlocks();
    double seconds = 0;
    std::uint32_t frames = 0;
    std::uint32_t cycle = rig->cycleFrame();
    std::size_t taken = 0;   // bytes handed over in this cycle, across iterations too
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const std::uint32_t first = rig->cycleFrame();
        for (const auto &b : blocks) {
            if (taken + b.size() + lengthWord > perCycle) {
                waitForNextCycle(cycle);
                cycle = rig->cycleFrame();
                taken = 0;
            }
            out.sendMessage(b.data(), b.size());
            taken += b.size() + lengthWord;
        }
        seconds += clock.nsecsElapsed() / 1e9;
        frames += rig->cycleFrame() - first;
    }
    record(state, "bare", seconds, frames, before);
}

void BM_SendBuiltInSimulator(benchmark::State &state)
{
    MidiParts midi(std::make_unique<SimulatorBackend>());
    SysExSender sender(midi.ports(), midi.devices());
    midi.devices().choose(MidiDevice::builtIn(), MidiDevice::builtIn());
    const auto blocks = megabyteOfBlocks();
    for (auto _ : state)
        benchmark::DoNotOptimize(sender.send(blocks[0].data(), kBlockSize));
}

} // namespace

// Alternating order, so neither loop always runs on a fresher server.
BENCHMARK(BM_BareRtMidiJack)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_SendJack)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_SendBuiltInSimulator)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    rig = std::make_unique<JackRig>(512);
    rigReady = rig->start() && rig->startSimulator({QStringLiteral("--quiet")});
    if (!rigReady)
        std::fprintf(stderr, "bench_midi: %s\n", qPrintable(rig->problem()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    rig.reset();
    if (secondsPerIteration.count("send") && secondsPerIteration.count("bare"))
        std::printf("Send / bare RtMidi loop, 1 MiB over JACK: %.3f\n",
                    secondsPerIteration["send"] / secondsPerIteration["bare"]);
    return 0;
}
