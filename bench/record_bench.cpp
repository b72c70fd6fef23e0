// What recording costs: one pass of busy play (key messages, frames, fade
// bookkeeping) with and without the recorder, and the size of the recording
// of an hour of it; what continuing such an hour costs (playing it through
// without a window) and what handing a save of it to the writer costs the
// game thread.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "base/saved_file.h"
#include "game/replay/journey.h"
#include "game/replay/session.h"
#include "game/rules/rules.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

// Level 0 with the exit out of reach, so that play never pauses.
std::unique_ptr<Game> open_level() {
  auto g = std::make_unique<Game>();
  start(*g, {{1, room(32, 24, 3, 22, 28, 2)}});
  return g;
}

// One pass of busy play, pass `t`: a run key held with the keyboard's
// auto-repeat (25 key-downs a second), the direction changed every second, a
// jump every 45 frames, and now and then a catch-up burst of 3 frames.
void busy_pass(Game& g, Recorder& recorder, std::uint64_t t) {
  auto message = [&](std::uint32_t m, std::int32_t key) {
    recorder.message(m, key);
    handle_message(g, m, key);
  };
  const bool left = t / 60 % 2 == 1;
  if (t % 60 == 0) {
    message(WM_KEYUP, left ? K_RIGHT : K_LEFT);
    message(WM_KEYDOWN, left ? K_LEFT : K_RIGHT);
  } else if (t * 5 % 12 < 5) {
    message(WM_KEYDOWN, left ? K_LEFT : K_RIGHT);
  }
  if (t % 45 == 0) message(WM_KEYDOWN, K_UP);
  if (t % 45 == 6) message(WM_KEYUP, K_UP);
  recorder.pass(frame_pass(g, t % 97 == 0 ? 3 : 1).frames);
}

std::string recording_path() { return std::filesystem::temp_directory_path() / "tervalon-bench-recording.txt"; }

// Passes of busy play, recorded when `recording` (a recorder with no file
// writes nothing).
void passes(benchmark::State& state, bool recording) {
  auto g = open_level();
  Recorder recorder(*g);
  recorder.open(recording ? recording_path() : "");
  std::uint64_t t = 0;
  for (auto _ : state) busy_pass(*g, recorder, ++t);
}

void BM_BusyPass(benchmark::State& state) { passes(state, false); }
void BM_BusyPassRecorded(benchmark::State& state) { passes(state, true); }
BENCHMARK(BM_BusyPass);
BENCHMARK(BM_BusyPassRecorded);

void BM_HourOfBusyPlayRecorded(benchmark::State& state) {
  for (auto _ : state) {
    auto g = open_level();
    Recorder recorder(*g);
    recorder.open(recording_path());
    for (std::uint64_t t = 1; t <= std::uint64_t{60} * 60 * 60; ++t) busy_pass(*g, recorder, t);
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(recording_path()));
  std::filesystem::remove(recording_path());
}
BENCHMARK(BM_HourOfBusyPlayRecorded)->Iterations(1)->Unit(benchmark::kMillisecond);

// The recording of an hour of busy play, made once.
const std::string& hour_recording() {
  static const std::string text = [] {
    auto g = open_level();
    Recorder recorder(*g);
    recorder.begin();
    for (std::uint64_t t = 1; t <= std::uint64_t{60} * 60 * 60; ++t) busy_pass(*g, recorder, t);
    return recorder.text();
  }();
  return text;
}

void BM_ContinueHourOfBusyPlay(benchmark::State& state) {
  const std::string& text = hour_recording();
  const auto start = open_level();
  for (auto _ : state) {
    auto g = std::make_unique<Game>(*start);
    const Played p = play_through(*g, text);
    if (!p.ok || g->FRAME < std::uint64_t{60} * 60 * 60) state.SkipWithError("the hour did not play through");
  }
  state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_ContinueHourOfBusyPlay)->Unit(benchmark::kMillisecond);

// The game thread's part of a save: the copy handed to the writer thread.
void BM_SaveOfAnHourHandedOver(benchmark::State& state) {
  const std::string& text = hour_recording();
  base::SavedFile file(recording_path(), recording_path() + ".bak");
  for (auto _ : state) file.save(text);
  std::filesystem::remove(recording_path());
  std::filesystem::remove(recording_path() + ".bak");
}
BENCHMARK(BM_SaveOfAnHourHandedOver)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tervalon::test
