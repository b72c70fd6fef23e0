// tervalon-slack-search FILE SCRIPT-NUMBER [TARGET [TRIES [SEED]]]: moves the
// key presses of one recorded solution (in the folder "solutions" beside FILE)
// a few frames at a time until every press has TARGET frames of slack each
// way, measured as the level checker measures it, while the whole journey,
// this script and the ones after it, still reaches the end cell. Prints the
// script so found, its comments kept, on standard output, and each press's
// slack on standard error; with SLACK_WHY set, the state each failed move of
// a press ends in. A helper for recording solutions, not for players.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "game/replay/script.h"
#include "game/rules/level_file.h"
#include "game/rules/level_start.h"
#include "game/rules/rules.h"

using namespace tervalon;

namespace {

struct Event {
  std::int64_t at;  // frames run before it arrives
  int seq;          // its place in the script: the order among events of one frame
  bool down;
  std::int32_t key;
  std::vector<std::string> before;  // comment lines written above it
};

struct Script {
  std::vector<Event> events;  // in time order
  std::int64_t frames = 0;
  std::vector<std::string> tail;  // comments after the last event
};

// False, with what is wrong on standard error, for a script that cannot be searched.
bool read_text(const std::string& path, Script& s) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> pending;
  for (std::string line; std::getline(in, line);) {
    Command c;
    std::string why;
    if (!parse_command(line, c, why)) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), why.c_str());
      return false;
    }
    if (c.op == Command::Op::none) pending.push_back(line);
    if (c.op == Command::Op::frames) s.frames += static_cast<std::int64_t>(c.count);
    if (c.op == Command::Op::down || c.op == Command::Op::up) {
      s.events.push_back({s.frames, static_cast<int>(s.events.size()), c.op == Command::Op::down, c.key, pending});
      pending.clear();
    }
    if (c.op == Command::Op::burst || c.op == Command::Op::snap || c.op == Command::Op::expect) {
      std::fprintf(stderr, "%s: only frames, down and up can be searched\n", path.c_str());
      return false;
    }
  }
  s.tail = pending;
  return static_cast<bool>(in) || in.eof();
}

// A whole decimal number of at most `most`, or -1.
long number(const char* text, long most) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  return end != text && *end == 0 && v >= 0 && v <= most ? v : -1;
}

void sort_events(Script& s) {
  std::stable_sort(s.events.begin(), s.events.end(),
                   [](const Event& a, const Event& b) { return a.at != b.at ? a.at < b.at : a.seq < b.seq; });
}

enum class Outcome { not_finished, next_stage, end };

// Plays `s` as the replay tool does. With `whole` false it stops where the
// stage is decided: the key press that takes the game on from its story text.
Outcome play(Game& g, const Script& s, bool whole) {
  std::size_t m = 0;
  for (std::int64_t f = 0;; ++f) {
    for (; m < s.events.size() && s.events[m].at <= f; ++m) {
      const Event& e = s.events[m];
      if (e.down && g.PAUSE == 2 && !whole) return Outcome::next_stage;
      handle_message(g, e.down ? WM_KEYDOWN : WM_KEYUP, e.key);
    }
    if (f == s.frames) return Outcome::not_finished;
    if (frame_pass(g, 1).end) return Outcome::end;
  }
}

bool moves(std::int32_t key) { return key == K_LEFT || key == K_RIGHT || key == K_UP; }

// The release that belongs to the press at `i`.
std::size_t release(const Script& s, std::size_t i) {
  std::size_t up = i + 1;
  while (up < s.events.size() && (s.events[up].down || s.events[up].key != s.events[i].key)) ++up;
  return up;
}

struct Press {
  int line;  // its place in the script
  int earlier, later;
};

// Each press moved 1..cap frames either way, as the checker moves it.
std::vector<Press> slack(const Game& start, const Script& s, int cap, int give_up_below) {
  std::vector<Press> out;
  auto g = std::make_unique<Game>(start);
  for (std::size_t i = 0; i < s.events.size(); ++i) {
    const Event& e = s.events[i];
    if (!e.down || !moves(e.key)) continue;
    std::size_t up = release(s, i);
    bool tap = e.key == K_UP;
    Press p{e.seq, 0, 0};
    for (int dir : {-1, 1}) {
      for (int d = 1; d <= cap; ++d) {
        std::int64_t by = dir < 0 ? -std::min<std::int64_t>(d, e.at) : d;
        if (!tap && up < s.events.size() && e.at + by >= s.events[up].at) break;
        Script t = s;
        t.events[i].at += by;
        if (tap && up < t.events.size()) t.events[up].at += by;
        sort_events(t);
        *g = start;
        if (play(*g, t, false) != Outcome::next_stage) {
          if (std::getenv("SLACK_WHY"))
            std::fprintf(stderr, "press %d by %lld: %s\n", e.seq, static_cast<long long>(by), state_line(*g).c_str());
          break;
        }
        (dir < 0 ? p.earlier : p.later) = d;
      }
    }
    out.push_back(p);
    if (std::min(p.earlier, p.later) < give_up_below) break;
  }
  return out;
}

struct Score {
  int least = -1;
  long total = -1;
  bool operator<(const Score& o) const { return least != o.least ? least < o.least : total < o.total; }
};

// Every key's presses and releases still alternate, and Up stays a one-frame tap.
bool sound(const Script& s) {
  for (std::int32_t key : {K_LEFT, K_RIGHT, K_UP, 32}) {
    bool held = false;
    std::int64_t since = 0;
    for (const Event& e : s.events) {
      if (e.key != key) continue;
      if (e.at < 0 || e.down == held) return false;
      if (!e.down && key != K_UP && e.at <= since) return false;
      if (!e.down && key == K_UP && e.at != since + 1) return false;
      if (!e.down && key == 32 && e.at != since) return false;  // the story text's key stays a tap
      held = e.down;
      since = e.at;
    }
  }
  return s.events.empty() || s.events.back().at <= s.frames;
}

void write(const Script& s, std::FILE* out) {
  // Comments stay above the event they were above, wherever it has moved.
  std::int64_t at = 0;
  for (const Event& e : s.events) {
    // The script's heading stays on top.
    if (at == 0)
      for (const std::string& c : e.before) std::fprintf(out, "%s\n", c.c_str());
    if (e.at > at) std::fprintf(out, "frames %lld\n", static_cast<long long>(e.at - at));
    if (at != 0)
      for (const std::string& c : e.before) std::fprintf(out, "%s\n", c.c_str());
    at = e.at;
    std::fprintf(out, "%s %s\n", e.down ? "down" : "up", key_word(e.key).c_str());
  }
  if (s.frames > at) std::fprintf(out, "frames %lld\n", static_cast<long long>(s.frames - at));
  for (const std::string& c : s.tail) std::fprintf(out, "%s\n", c.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: tervalon-slack-search FILE SCRIPT-NUMBER [TARGET [TRIES [SEED]]]\n", stderr);
    return 2;
  }
  namespace fs = std::filesystem;
  std::string file = argv[1];
  long which = number(argv[2], 1000);
  long target = argc > 3 ? number(argv[3], 10) : 3;
  long tries = argc > 4 ? number(argv[4], 100000000) : 2000;
  long seed = argc > 5 ? number(argv[5], 1000000) : 1;
  if (which < 0 || target < 0 || tries < 0 || seed < 0) {
    std::fputs("tervalon-slack-search: SCRIPT-NUMBER, TARGET (0..10), TRIES and SEED are whole numbers\n", stderr);
    return 2;
  }
  const auto stage = static_cast<std::size_t>(which);
  const int goal = static_cast<int>(target);
  std::mt19937 rng(static_cast<unsigned>(seed));

  std::vector<std::string> paths;
  for (const auto& entry : fs::directory_iterator(fs::path(file).parent_path() / "solutions"))
    if (entry.is_regular_file()) paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  if (stage >= paths.size()) return 2;
  std::vector<Script> scripts(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i)
    if (!read_text(paths[i], scripts[i])) return 2;

  std::unique_ptr<Game> loaded = load_levels(file);
  INITLV(*loaded);
  for (std::size_t i = 0; i < stage; ++i) play(*loaded, scripts[i], true);
  const Game& start = *loaded;

  // Whether the journey from here, with `s` for this stage, reaches the end.
  auto journey = [&](const Script& s) {
    auto g = std::make_unique<Game>(start);
    if (play(*g, s, true) == Outcome::end) return false;
    for (std::size_t i = stage + 1; i < scripts.size(); ++i)
      if (play(*g, scripts[i], true) == Outcome::end) return i + 1 == scripts.size();
    return false;
  };
  auto score = [&](const Script& s, int give_up_below) {
    Score sc{-1, -1};
    {
      auto g = std::make_unique<Game>(start);
      if (play(*g, s, false) != Outcome::next_stage) return sc;
    }
    std::vector<Press> ps = slack(start, s, goal, give_up_below);
    sc.least = goal;
    sc.total = 0;
    for (const Press& p : ps) {
      sc.least = std::min({sc.least, p.earlier, p.later});
      sc.total += p.earlier + p.later;
    }
    if (sc.least >= give_up_below && !journey(s)) return Score{-1, -1};
    return sc;
  };

  Script best = scripts[stage];
  Score now = score(best, 0);
  std::fprintf(stderr, "as recorded: least %d, total %ld\n", now.least, now.total);
  for (long t = 0; t < tries && now.least < goal; ++t) {
    Script c = best;
    std::size_t n = c.events.size();
    std::size_t i = std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    int by = std::uniform_int_distribution<int>(-5, 5)(rng);
    if (by == 0) continue;
    int kind = std::uniform_int_distribution<int>(0, 2)(rng);
    if (kind == 0) {  // one event, or an Up tap whole
      if (c.events[i].key == K_UP && !c.events[i].down)
        while (i > 0 && !(c.events[i].key == K_UP && c.events[i].down)) --i;
      c.events[i].at += by;
      if (c.events[i].key == K_UP) c.events[release(c, i)].at += by;
    } else if (kind == 1) {  // everything from here on
      for (std::size_t k = i; k < n; ++k) c.events[k].at += by;
      c.frames += by;
    } else {  // everything at this event's frame
      std::int64_t at = c.events[i].at;
      for (Event& e : c.events)
        if (e.at == at) e.at += by;
    }
    sort_events(c);
    if (!sound(c)) continue;
    Score sc = score(c, now.least);
    if (sc < now) continue;
    if (now < sc) std::fprintf(stderr, "try %ld: least %d, total %ld\n", t, sc.least, sc.total);
    best = c;
    now = sc;
  }
  for (const Press& p : slack(start, best, 10, 0))
    std::fprintf(stderr, "  press %d: %d earlier, %d later\n", p.line, p.earlier, p.later);
  write(best, stdout);
  return now.least >= goal ? 0 : 1;
}
