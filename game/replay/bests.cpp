#include "game/replay/bests.h"

#include <cstdio>
#include <sstream>

#include "base/file.h"
#include "base/numbers.h"
#include "base/saved_file.h"
#include "base/sha256.h"

namespace tervalon {

std::string level_hash(const Game& g, int level) {
  std::string bytes = std::to_string(g.BDW) + " " + std::to_string(g.BDH);
  for (const auto* cells : {&g.BDIX, &g.BDIY, &g.BDOX, &g.BDOY, &g.BDEX, &g.BDEY})
    bytes += " " + std::to_string((*cells)[level]);
  // The cheat marker makes every level's least trail 1: a best made so is
  // not kept anyway.
  bytes += " " + std::to_string(g.STPM[level]) + "\n";
  for (int x = 0; x < g.BDW; ++x)
    for (int y = 0; y < g.BDH; ++y) bytes += static_cast<char>('0' + g.BD[level][x][y]);
  return base::sha256_hex(bytes);
}

std::string seconds(std::uint64_t frames) {
  char text[32];
  std::snprintf(text, sizeof text, "%llu.%02llu s", static_cast<unsigned long long>(frames / 60),
                static_cast<unsigned long long>(frames % 60 * 100 / 60));
  return text;
}

std::string Bests::key(int level, int pass) const {
  const auto h = hashes_.find(level);
  return (h == hashes_.end() ? std::string("?") : h->second) + " " + std::to_string(pass);
}

void Bests::load(const std::string& folder, const Game& g) {
  folder_ = folder;
  for (int level = 1; level <= g.BDLN; ++level) hashes_[level] = level_hash(g, level);
  std::string text, why;
  int error = 0;
  if (folder_.empty() || !base::read_regular(folder_ + "/bests.txt", text, error, why)) return;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string hash, pass, frames;
    std::uint64_t n = 0;
    words >> hash >> pass >> frames;
    bool ours = false;
    for (const auto& [level, h] : hashes_) ours = ours || h == hash;
    if (ours && (pass == "1" || pass == "2") && base::parse_whole<std::uint64_t>(frames, 1, UINT64_MAX, n))
      best_[hash + " " + pass] = n;
    else if (!line.empty())
      other_lines_ += line + "\n";
  }
}

std::uint64_t Bests::best(int level, int pass) const {
  const auto b = best_.find(key(level, pass));
  return b == best_.end() ? 0 : b->second;
}

bool Bests::offer(int level, int pass, std::uint64_t frames, const std::string& run, std::string& why) {
  const std::uint64_t before = best(level, pass);
  if (frames == 0 || (before != 0 && before <= frames) || !hashes_.count(level)) return false;
  best_[key(level, pass)] = frames;
  if (folder_.empty()) return true;
  std::string list = other_lines_;
  for (const auto& [k, n] : best_) list += k + " " + std::to_string(n) + "\n";
  const std::string name = "best-" + hashes_[level].substr(0, 16) + "-" + std::to_string(pass) + ".txt";
  if (!base::replace_file(folder_ + "/" + name, run, why) || !base::replace_file(folder_ + "/bests.txt", list, why))
    why = folder_ + ": " + why;
  return true;
}

}  // namespace tervalon
