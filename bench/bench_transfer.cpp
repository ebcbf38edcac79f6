// A firmware transfer of 1 MiB through the transfer engine (packing, announcement, one block per
// ReplyNext): to the built-in simulator, against handing the same blocks to its port in a bare
// loop; and to zorvik-sim over a private JACK server, against a bare RtMidi sender that sends
// each block when the simulator asks for it. Also the median time from a ReplyNext arriving to
// its block handed to the port, and for the paced transfers over JACK the server's cycles per
// block (`jack_periods_per_block`) and the share of blocks sent one cycle after the one before
// (`one_period_apart`; the others went two or more cycles after it).
#include "core/midi/MidiParts.h"
#include "core/midi/MidiPortBackend.h"
#include "core/protocol/SevenBitCodec.h"
#include "core/protocol/TransferHeader.h"
#include "core/sim/SimulatorBackend.h"
#include "core/transfer/TransferDriver.h"
#include "devices/midi/RtMidiBackend.h"
#include "support/ScriptedPrompts.h"

#include "support/InstrumentMessage.h"
#include "support/JackRig.h"

#include <RtMidi.h>
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
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
std::map<std::string, double> periodsPerBlock;

// The firmware's data blocks as the transfer sends them.
std::vector<QByteArray> firmwareBlocks()
{
    const QByteArray packed = SevenBitCodec::Pack(firmwareImage());
    std::vector<QByteArray> blocks;
    for (qsizetype offset = 0, index = 0; offset < packed.size(); offset += 1024, ++index)
        blocks.push_back(instrumentMessage(TransferHeader::DataBlock, TransferHeader::noNumber, int(index), packed.mid(offset, 1024)));
    return blocks;
}

void BM_BareBlocksToSimulator(benchmark::State &state)
{
    MidiParts midi(std::make_unique<SimulatorBackend>());
    const std::vector<QByteArray> blocks = firmwareBlocks();
    MidiOutputPort *port = midi.ports().output(MidiDevice::builtIn());
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
bool rigReady = false;

// How far apart in cycles the blocks went: a block either follows the one before in the next
// cycle or, when the request for it missed a cycle on the way, in the one after.
struct BlockSpacing
{
    std::uint32_t last = 0;
    bool started = false;
    int oneCycle = 0;
    int gaps = 0;

    void sent(std::uint32_t frame)
    {
        if (started) {
            ++gaps;
            oneCycle += frame - last == std::uint32_t(rig->period());
        }
        last = frame;
        started = true;
    }
};

// The server's cycles that `frames` took, per block, and the share of blocks one cycle apart.
void recordPeriods(benchmark::State &state, const std::string &name, std::uint32_t frames, int blocks,
                   const BlockSpacing &spacing)
{
    periodsPerBlock[name] = double(frames) / rig->period() / double(blocks);
    state.counters["jack_periods_per_block"] = periodsPerBlock[name];
    if (spacing.gaps > 0)
        state.counters["one_period_apart"] = double(spacing.oneCycle) / spacing.gaps;
}

// One transfer per iteration on the devices in use; records time and reply handling,
// and the server's cycles per block when it goes over JACK.
void transferLoop(benchmark::State &state, MidiParts &midi, const std::string &name, bool overJack)
{
    ScriptedPrompts prompts;
    const QByteArray image = firmwareImage();
    std::vector<qint64> handling;
    double seconds = 0;
    std::uint32_t frames = 0;
    int blocks = 0;
    BlockSpacing spacing;
    for (auto _ : state) {
        TransferDriver driver(midi.ports(), midi.devices(), midi.capture(), prompts);
        driver.open(FileKind::Firmware, image);
        QEventLoop loop;
        QObject::connect(&driver, &TransferDriver::finished, &loop, &QEventLoop::quit);
        QObject::connect(&driver, &TransferDriver::timedOut, &loop, &QEventLoop::quit);
        QObject::connect(&driver, &TransferDriver::failed, &loop, &QEventLoop::quit);
        QObject::connect(&driver, &TransferDriver::closeRequested, &loop, &QEventLoop::quit);
        spacing.started = false;
        int sent = 0;
        QObject::connect(&driver, &TransferDriver::changed, &loop, [&] {
            if (driver.session().state() != TransferSession::State::AwaitingReady && driver.session().blocksSent() > 0)
                handling.push_back(driver.lastReplyToBlockMicros());
            if (overJack && driver.session().blocksSent() != sent) {
                sent = driver.session().blocksSent();
                spacing.sent(rig->cycleFrame());
            }
        });
        QElapsedTimer clock;
        clock.start();
        const std::uint32_t first = overJack ? rig->cycleFrame() : 0;
        driver.send();
        if (driver.busy())
            loop.exec();
        seconds += clock.nsecsElapsed() / 1e9;
        if (overJack)
            frames += rig->cycleFrame() - first;
        blocks += driver.session().blocksSent();
        if (driver.session().state() != TransferSession::State::Finished) {
            // Say where it stopped and why.
            const TransferOutcome &outcome = driver.session().outcome();
            QString cause = outcome.failureText();
            if (outcome.what == TransferOutcome::What::TimedOut)
                cause = QStringLiteral("the instrument stopped answering");
            else if (cause.isEmpty())
                cause = QStringLiteral("it was cut short");
            static std::string why;
            why = QStringLiteral("the transfer did not finish: %1 of %2 blocks sent; %3")
                      .arg(driver.session().blocksSent())
                      .arg(driver.session().blockCount())
                      .arg(cause)
                      .toStdString();
            state.SkipWithError(why.c_str());
            return;
        }
    }
    secondsPerIteration[name] = seconds / double(state.iterations());
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kImageSize);
    if (!handling.empty()) {
        std::nth_element(handling.begin(), handling.begin() + handling.size() / 2, handling.end());
        state.counters["median_reply_to_block_us"] = double(handling[handling.size() / 2]);
    }
    if (overJack && blocks > 0)
        recordPeriods(state, name, frames, blocks, spacing);
}

void BM_FirmwareTransferToSimulator(benchmark::State &state)
{
    MidiParts midi(std::make_unique<SimulatorBackend>());
    transferLoop(state, midi, "transfer", false);
}

void BM_FirmwareTransferOverJack(benchmark::State &state)
{
    if (!rigReady) {
        state.SkipWithError("no JACK server");
        return;
    }
    MidiParts midi(std::make_unique<SimulatorBackend>(), std::make_unique<RtMidiBackend>(RtMidi::UNIX_JACK));
    MidiDevice out;
    MidiDevice in;
    for (const auto &d : midi.ports().outputs())
        if (d.id.isSystem() && d.name.contains(QStringLiteral("Zorvik Simulator")))
            out = d.id;
    for (const auto &d : midi.ports().inputs())
        if (d.id.isSystem() && d.name.contains(QStringLiteral("Zorvik Simulator")))
            in = d.id;
    if (out.isNone() || in.isNone()) {
        state.SkipWithError("the simulator's ports are not listed");
        return;
    }
    midi.devices().choose(out, in);
    transferLoop(state, midi, "jack", true);
}

// The simulator's replies, heard on RtMidi's JACK input: the sender waits for each request.
struct Requests
{
    std::mutex lock;
    std::condition_variable arrived;
    int ready = 0;   // ReplyReady messages so far
    int next = 0;    // ReplyNext messages so far

    static void heard(double, std::vector<unsigned char> *message, void *self)
    {
        auto *r = static_cast<Requests *>(self);
        if (message->size() != 3 || (*message)[0] != 0x90 || (*message)[1] != 0x3C)
            return;
        const std::lock_guard<std::mutex> hold(r->lock);
        r->ready += (*message)[2] == 0x11;
        r->next += (*message)[2] == 0x33;
        r->arrived.notify_one();
    }
    bool waitFor(const int &counter, int count, std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        std::unique_lock<std::mutex> hold(lock);
        return arrived.wait_for(hold, limit, [&] { return counter >= count; });
    }
    void restart()
    {
        const std::lock_guard<std::mutex> hold(lock);
        next = 0;
    }
};

// The reference for the paced transfer: RtMidi alone, the announcement and then each block as
// soon as the simulator asks for it, on the same transport. Timed from the announcement to the
// request for the last block: one round trip per block.
void BM_BarePacedOverJack(benchmark::State &state)
{
    if (!rigReady) {
        state.SkipWithError("no JACK server");
        return;
    }
    const std::vector<QByteArray> blocks = firmwareBlocks();
    const int count = int(blocks.size());
    const QByteArray announcement = instrumentMessage(TransferHeader::FirmwareAnnouncement, TransferHeader::noNumber, count);
    RtMidiOut out(RtMidi::UNIX_JACK, "bench bare out");
    RtMidiIn in(RtMidi::UNIX_JACK, "bench bare in");
    const auto find = [](RtMidi &ports) {
        unsigned port = 0;
        while (port < ports.getPortCount() && ports.getPortName(port).find("Zorvik Simulator") == std::string::npos)
            ++port;
        return port;
    };
    Requests requests;
    in.setCallback(&Requests::heard, &requests);
    in.openPort(find(in));
    out.openPort(find(out));
    const auto send = [&](const QByteArray &m) {
        out.sendMessage(reinterpret_cast<const unsigned char *>(m.constData()), std::size_t(m.size()));
    };
    // New connections carry messages a cycle or more after they were made: an empty transfer,
    // which the simulator answers with ReplyReady alone, shows when both ways do.
    const QByteArray empty = instrumentMessage(TransferHeader::FirmwareAnnouncement, TransferHeader::noNumber, 0);
    bool answered = false;
    for (int tries = 0; tries < 20 && !answered; ++tries) {
        send(empty);
        answered = requests.waitFor(requests.ready, 1, std::chrono::milliseconds(250));
    }
    if (!answered) {
        state.SkipWithError("the simulator does not answer");
        return;
    }
    double seconds = 0;
    std::uint32_t frames = 0;
    BlockSpacing spacing;
    for (auto _ : state) {
        requests.restart();
        spacing.started = false;
        QElapsedTimer clock;
        clock.start();
        const std::uint32_t first = rig->cycleFrame();
        send(announcement);
        for (int i = 0; i < count; ++i) {
            if (!requests.waitFor(requests.next, i + 1)) {
                state.SkipWithError("the simulator stopped asking for blocks");
                return;
            }
            spacing.sent(rig->cycleFrame());
            if (i + 1 == count) {
                frames += rig->cycleFrame() - first;
                seconds += clock.nsecsElapsed() / 1e9;
            }
            send(blocks[std::size_t(i)]);
        }
        QThread::msleep(100);   // the last block lands before the next announcement
    }
    secondsPerIteration["bare jack"] = seconds / double(state.iterations());
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kImageSize);
    recordPeriods(state, "bare jack", frames, count * int(state.iterations()), spacing);
}

} // namespace

BENCHMARK(BM_BareBlocksToSimulator)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirmwareTransferToSimulator)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirmwareTransferOverJack)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_BarePacedOverJack)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // A short JACK cycle: every reply waits for the next one.
    rig = std::make_unique<JackRig>(128);
    rigReady = rig->start() && rig->startSimulator({QStringLiteral("--quiet")});
    if (!rigReady)
        std::fprintf(stderr, "bench_transfer: %s\n", qPrintable(rig->problem()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    rig.reset();
    if (secondsPerIteration.count("transfer") && secondsPerIteration.count("bare"))
        std::printf("Transfer / bare block loop, 1 MiB firmware to the built-in simulator: %.2f\n",
                    secondsPerIteration["transfer"] / secondsPerIteration["bare"]);
    if (secondsPerIteration.count("jack"))
        std::printf("1 MiB firmware over JACK: %.2f s, %.1f KiB/s\n", secondsPerIteration["jack"],
                    1024.0 / secondsPerIteration["jack"]);
    for (const auto &[name, periods] : periodsPerBlock)
        std::printf("JACK periods per block, %s: %.2f\n", name == "jack" ? "transfer" : "bare RtMidi sender", periods);
    return 0;
}
