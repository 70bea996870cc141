// The sample conversions on the audio path, one 1024-frame stereo 16-bit
// buffer's worth per iteration:
//   RoiColumnInt16ToFloat    one channel of the interleaved frames to packed
//                            floats (what the meter and the DC remover read)
//   RoiColumnFloatToInt16    packed floats back into one channel, rounded to
//                            nearest (what the DC remover writes)
//   ConvertInt16ColumnToDouble
//                            one channel to doubles (what the channel
//                            splitter reads)
//   ScaleInt16               every sample of the buffer scaled and rounded,
//                            as the amplifier does with any Coefficient but 1
// Each reports items_per_second in samples; both channels are converted per
// iteration, as the components do.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "audio/MoskSampleConversion.h"
#include "signal/transforms/MoskDispatcher.h"

namespace {

constexpr std::int32_t kFrames = 1024;
constexpr std::int32_t kChannels = 2;
constexpr std::int32_t kFrameBytes = 2 * kChannels;

// A tone on both channels, with sample values that are not round numbers
// once filtered.
std::vector<std::int16_t> Frames() {
  std::vector<std::int16_t> frames(kFrames * kChannels);
  for (std::int32_t i = 0; i < kFrames * kChannels; ++i)
    frames[static_cast<std::size_t>(i)] =
        static_cast<std::int16_t>(std::lround(12000.0 * std::sin(0.0123 * i)));
  return frames;
}

void BM_RoiColumnInt16ToFloat(benchmark::State& state) {
  const std::vector<std::int16_t> frames = Frames();
  std::vector<float> channel(kFrames);
  for (auto _ : state) {
    for (std::int32_t c = 0; c < kChannels; ++c)
      RoiConvertInt16ToFloat(frames.data() + c, kFrameBytes, channel.data(), 4, 1, kFrames);
    benchmark::DoNotOptimize(channel.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFrames * kChannels);
}
BENCHMARK(BM_RoiColumnInt16ToFloat);

void BM_RoiColumnFloatToInt16(benchmark::State& state) {
  std::vector<std::int16_t> frames = Frames();
  std::vector<float> channel(kFrames);
  for (std::int32_t i = 0; i < kFrames; ++i)
    channel[static_cast<std::size_t>(i)] = 0.37f * static_cast<float>(frames[2 * i]) + 0.5f;
  for (auto _ : state) {
    for (std::int32_t c = 0; c < kChannels; ++c)
      RoiConvertFloatToInt16(channel.data(), 4, frames.data() + c, kFrameBytes, 1, kFrames, 1);
    benchmark::DoNotOptimize(frames.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFrames * kChannels);
}
BENCHMARK(BM_RoiColumnFloatToInt16);

void BM_ConvertInt16ColumnToDouble(benchmark::State& state) {
  const std::vector<std::int16_t> frames = Frames();
  std::vector<double> channel(kFrames);
  for (auto _ : state) {
    for (std::int32_t c = 0; c < kChannels; ++c)
      ConvertColumnToDouble(16, frames.data() + c, kFrameBytes, channel.data(), kFrames);
    benchmark::DoNotOptimize(channel.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFrames * kChannels);
}
BENCHMARK(BM_ConvertInt16ColumnToDouble);

void BM_ScaleInt16(benchmark::State& state) {
  std::vector<std::int16_t> frames = Frames();
  for (auto _ : state) {
    // -1 keeps the samples from saturating away over the iterations; the
    // code takes the same steps for every factor but 1.
    ScaleSamples(16, -1.0, frames.data(), kFrames * kChannels);
    benchmark::DoNotOptimize(frames.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFrames * kChannels);
}
BENCHMARK(BM_ScaleInt16);

}  // namespace
