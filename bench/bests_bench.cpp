// What keeping a best costs beside a 100 MB bests list: offer() on the game's
// thread, which only queues the run (with a short recording and with an
// hour's), then the writer's whole merge and write of the list, and reading
// the list at start.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "game/journey/bests.h"
#include "game/rules/level_file.h"

namespace tervalon {
namespace {

constexpr std::size_t LIST_BYTES = std::size_t{100} << 20;

// A folder whose bests.txt holds LIST_BYTES of other level files' bests.
class Folder {
 public:
  Folder() {
    char name[] = "/tmp/tervalon-bench-bests-XXXXXX";
    path_ = mkdtemp(name);
    std::string list;
    list.reserve(LIST_BYTES + 128);
    char line[128];
    for (std::uint64_t i = 0; list.size() < LIST_BYTES; ++i) {
      std::snprintf(line, sizeof line, "%064" PRIx64 " %d %" PRIu64 "\n", i, static_cast<int>(i % 2 + 1), i + 1000);
      list += line;
    }
    std::ofstream(path_ + "/bests.txt", std::ios::binary) << list;
  }
  ~Folder() { std::filesystem::remove_all(path_); }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const Folder& folder() {
  static const Folder f;
  return f;
}

// Each offer a new best, so that each is queued while the writer is busy
// with the ones before.
void BM_OfferOnGameThread(benchmark::State& state) {
  const auto g = load_levels(TERVALON_LEVEL_FILE);
  Bests bests;
  bests.load(folder().path(), *g);
  const std::string recording(static_cast<std::size_t>(state.range(0)), 'f');
  std::uint64_t frames = UINT64_MAX - 1;
  for (auto _ : state) {
    std::string run = recording;  // as the game hands over its recorder's text
    benchmark::DoNotOptimize(bests.offer(1, 1, frames--, std::move(run)));
  }
  bests.flush();  // after the loop: not timed
}
BENCHMARK(BM_OfferOnGameThread)->Arg(64)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

void BM_WriterMergesAndWrites(benchmark::State& state) {
  const auto g = load_levels(TERVALON_LEVEL_FILE);
  Bests bests;
  bests.load(folder().path(), *g);
  std::uint64_t frames = UINT64_MAX / 2;
  for (auto _ : state) {
    bests.offer(1, 2, frames--, "run");
    bests.flush();
  }
}
BENCHMARK(BM_WriterMergesAndWrites)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_LoadAtStart(benchmark::State& state) {
  const auto g = load_levels(TERVALON_LEVEL_FILE);
  for (auto _ : state) {
    Bests bests;
    bests.load(folder().path(), *g);
    benchmark::DoNotOptimize(bests.best(1, 1));
  }
}
BENCHMARK(BM_LoadAtStart)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tervalon
