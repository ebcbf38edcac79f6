#include "core/curve/VelocityCurve.h"
#include "core/panel/PanelSettings.h"
#include "core/protocol/SevenBitCodec.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr std::size_t kMiB = 1 << 20;

std::vector<std::uint8_t> randomBytes(std::size_t length)
{
    std::mt19937 random(42);
    std::vector<std::uint8_t> bytes(length);
    for (auto &b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

// The baseline the codec is measured against: copying the same megabyte.
void BM_Memcpy(benchmark::State &state)
{
    const auto input = randomBytes(kMiB);
    std::vector<std::uint8_t> output(SevenBitCodec::packedLength(kMiB));
    for (auto _ : state) {
        std::memcpy(output.data(), input.data(), kMiB);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kMiB);
}
BENCHMARK(BM_Memcpy);

void BM_Pack(benchmark::State &state)
{
    const auto input = randomBytes(kMiB);
    std::vector<std::uint8_t> output(SevenBitCodec::packedLength(kMiB));
    for (auto _ : state) {
        SevenBitCodec::packInto(input.data(), input.size(), output.data());
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kMiB);
}
BENCHMARK(BM_Pack);

void BM_Unpack(benchmark::State &state)
{
    const auto raw = randomBytes(kMiB);
    std::vector<std::uint8_t> packed(SevenBitCodec::packedLength(kMiB));
    SevenBitCodec::packInto(raw.data(), raw.size(), packed.data());
    std::vector<std::uint8_t> output(kMiB);
    for (auto _ : state) {
        SevenBitCodec::unpackInto(packed.data(), packed.size(), output.data());
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kMiB);
}
BENCHMARK(BM_Unpack);

// The allocating forms the callers use, for comparison with the raw loops.
void BM_PackAllocating(benchmark::State &state)
{
    const auto input = randomBytes(kMiB);
    for (auto _ : state)
        benchmark::DoNotOptimize(SevenBitCodec::Pack(input.data(), input.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kMiB);
}
BENCHMARK(BM_PackAllocating);

void BM_TemplateBuild(benchmark::State &state)
{
    PanelSettings settings;
    for (auto _ : state)
        benchmark::DoNotOptimize(settings.buildTemplateSysEx());
}
BENCHMARK(BM_TemplateBuild);

void BM_TemplateParse(benchmark::State &state)
{
    PanelSettings settings;
    const QByteArray message = settings.buildTemplateSysEx();
    for (auto _ : state)
        benchmark::DoNotOptimize(settings.applyTemplateSysEx(message));
}
BENCHMARK(BM_TemplateParse);

void BM_VelocityMap(benchmark::State &state)
{
    VelocityCurve curve;
    VelocityMap map{};
    for (auto _ : state) {
        curve.computeMap(map);
        benchmark::DoNotOptimize(map.data());
    }
}
BENCHMARK(BM_VelocityMap);

} // namespace

BENCHMARK_MAIN();
