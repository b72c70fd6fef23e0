// What recording costs: one pass of busy play (key messages, frames, fade
// bookkeeping) with and without the recorder, and the size of the recording
// of an hour of it; what continuing such an hour costs (playing it through
// without a window); what a save costs the game thread for a journey of a
// minute, an hour and a hundred hours, and how much play a kill loses when
// every sync takes a second.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "base/storage.h"
#include "game/replay/playback.h"
#include "game/replay/recorder.h"
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

// A journey of `minutes` of busy play: the hour's recording, repeated (or
// cut at a line) to that length.
std::string journey_of(std::uint64_t minutes) {
  const std::string& hour = hour_recording();
  std::string text;
  for (std::uint64_t m = minutes; m >= 60; m -= 60) text += hour;
  if (minutes % 60) text += hour.substr(0, hour.find('\n', hour.size() * (minutes % 60) / 60) + 1);
  return text;
}

// The game thread's part of a save, after half a second of busy play, in a
// journey saved to a file and continued: only what was added is handed over.
void BM_SaveHandedOver(benchmark::State& state) {
  const std::uint64_t minutes = static_cast<std::uint64_t>(state.range(0));
  std::string text = journey_of(minutes);
  const std::size_t bytes = text.size();
  std::ofstream(recording_path(), std::ios::binary) << text;
  auto g = open_level();
  Recorder recorder(*g);
  recorder.continue_from(std::move(text), g->FRAME);
  recorder.keep_progress(recording_path(), nullptr, bytes);
  std::uint64_t t = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < 30; ++i) busy_pass(*g, recorder, ++t);
    state.ResumeTiming();
    recorder.save();
  }
  recorder.end();
  state.counters["journey_MB"] = static_cast<double>(bytes) / 1e6;
  std::filesystem::remove(recording_path());
  std::filesystem::remove(recording_path() + ".bak");
}
BENCHMARK(BM_SaveHandedOver)->Arg(1)->Arg(60)->Arg(6000)->Unit(benchmark::kMicrosecond);

// The play a kill loses: a journey's file written as the game writes it (a
// line a frame, handed over twice a second) with every sync taking a second;
// at moments spread over ten seconds, what the file holds is read as a kill
// would leave it, and the loss is the age of its newest frame.
void BM_LossWithASlowSync(benchmark::State& state) {
  using clock = std::chrono::steady_clock;
  const std::uint64_t minutes = static_cast<std::uint64_t>(state.range(0));
  const std::string text = journey_of(minutes);
  std::ofstream(recording_path(), std::ios::binary) << text;
  double most = 0, sum = 0;
  int samples = 0;
  for (auto _ : state) {
    const auto origin = clock::now();
    auto ms = [&] { return std::chrono::duration<double, std::milli>(clock::now() - origin).count(); };
    const std::unique_ptr<base::Journal> file = base::storage().journal(
        recording_path(), {recording_path() + ".bak", nullptr, [](int fd) {
                             std::this_thread::sleep_for(std::chrono::seconds(1));
                             return fdatasync(fd);
                           }});
    file->adopt(text.size());
    std::atomic<bool> playing{true};
    std::thread game([&] {
      std::string added;
      auto next_save = clock::now();
      for (auto next_frame = clock::now(); playing; next_frame += std::chrono::microseconds(16667)) {
        std::this_thread::sleep_until(next_frame);
        added += "# " + std::to_string(ms()) + "\n";
        if (clock::now() >= next_save) {
          file->append(std::move(added));
          added.clear();
          next_save += std::chrono::milliseconds(500);
        }
      }
    });
    std::mt19937 random(1);
    for (int i = 0; i < 40; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(150 + random() % 200));
      std::ifstream in(recording_path(), std::ios::binary);
      std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      const double now = ms();
      kept.resize(kept.rfind('\n') + 1);
      const std::size_t last = kept.rfind("\n# ", kept.size() - 2);
      const double newest = kept.size() > text.size() && last != std::string::npos ? std::stod(kept.substr(last + 3))
                                                                                   : 0;
      most = std::max(most, now - newest);
      sum += now - newest;
      ++samples;
    }
    playing = false;
    game.join();
  }
  state.counters["loss_most_ms"] = most;
  state.counters["loss_mean_ms"] = sum / samples;
  state.counters["journey_MB"] = static_cast<double>(text.size()) / 1e6;
  std::filesystem::remove(recording_path());
  std::filesystem::remove(recording_path() + ".bak");
}
BENCHMARK(BM_LossWithASlowSync)->Arg(1)->Arg(60)->Arg(6000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tervalon::test
