// The audio thread's work per device buffer (512 frames, 10.7 ms of sound):
// the mixer with no voice, and with all 16 playing; muted for comparison.
#include <benchmark/benchmark.h>

#include "display/audio.h"

namespace {

std::vector<std::vector<std::int16_t>> sounds() {
  // Ten sounds of 0.3 s, as long as any sound of play (only the journey's end is longer).
  std::vector<std::vector<std::int16_t>> all;
  for (int k = 0; k < 10; ++k) {
    std::vector<std::int16_t> s(display::AUDIO_RATE * 3 / 10);
    for (std::size_t i = 0; i < s.size(); ++i)
      s[i] = static_cast<std::int16_t>((i * 37 + static_cast<std::size_t>(k) * 101) % 20000 - 10000);
    all.push_back(std::move(s));
  }
  return all;
}

void BM_MixBuffer(benchmark::State& state) {
  const auto voices = static_cast<std::size_t>(state.range(0));
  display::Mixer mixer(sounds());
  std::vector<std::int16_t> out(display::AUDIO_BUFFER);
  std::uint32_t next = 0;
  for (auto _ : state) {
    // Keep the voices playing: a voice ends, a new request takes its place.
    for (std::size_t v = mixer.voices(); v < voices; ++v) mixer.request(next++ % 10);
    mixer.mix(out.data(), out.size(), display::Mixer::volume_gain(80));
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["voices"] = static_cast<double>(mixer.voices());
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(out.size()));
}
BENCHMARK(BM_MixBuffer)->Arg(0)->Arg(16);

void BM_MutedBuffer(benchmark::State& state) {
  display::Mixer mixer(sounds());
  std::vector<std::int16_t> out(display::AUDIO_BUFFER);
  for (auto _ : state) {
    mixer.silence(out.data(), out.size());
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_MutedBuffer);

}  // namespace
