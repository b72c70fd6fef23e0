// What the app says, in both languages.
#include "game/app/words.h"

#include <cstdio>

#include "game/replay/recorder.h"

namespace tervalon {

std::string level_zh(const Entry& e) {
  return e.level == 0 ? "起点" : "第" + std::to_string(e.level) + "关" + (e.pass == 2 ? "（回程）" : "（去程）");
}

std::string level_en(const Entry& e) {
  return e.level == 0 ? "the hub" : "level " + std::to_string(e.level) + (e.pass == 2 ? " back" : " forward");
}

std::string play_time(std::uint64_t frames) {
  const std::uint64_t s = frames / 60;
  char text[32];
  std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", static_cast<unsigned long long>(s / 3600),
                static_cast<unsigned long long>(s / 60 % 60), static_cast<unsigned long long>(s % 60));
  return text;
}

std::string stamp() { return utc_now("%Y%m%d-%H%M%S"); }

}  // namespace tervalon
