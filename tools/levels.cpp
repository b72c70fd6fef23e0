// tervalon-levels [--budget STATES] [FILE]: checks a level file for what the
// game needs and what a player would trip over, naming level and file line;
// proves each level can be played through both ways, and measures the slack
// of the recorded solutions in the folder "solutions" beside the file. Exit 0
// when usable.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "base/file.h"
#include "game/rules/level_file.h"
#include "game/rules/level_rows.h"
#include "game/rules/text_cells.h"
#include "tools/levels_reach.h"
#include "tools/levels_slack.h"

using namespace tervalon;

namespace {

struct Finding {
  std::uint64_t line;
  std::string what;
};

std::vector<Finding> findings;
std::vector<std::string> measures;  // what was proven and measured

void report(std::uint64_t line, int level, const std::string& what) {
  findings.push_back({line, level >= 0 ? "level " + std::to_string(level) + ": " + what : what});
}

// Exit codes of the checker's own (the game's run-time errors keep theirs).
constexpr int EXIT_FINDINGS = 1, EXIT_USAGE = 2, EXIT_OUT_OF_MEMORY = 203, EXIT_UNEXPECTED = 217;

constexpr const char* USAGE = "usage: tervalon-levels [--budget STATES] [FILE]   (default ./tervalon.dat)\n";

// Every byte of a regular file (or of what a symbolic link leads to); empty
// for anything else, which the game's loader then refuses with its own words.
// Opened without blocking, as the loader does, so a FIFO never waits for a
// writer, and a device is never read.
std::string regular_file_bytes(const std::string& path) {
  std::string all, why;
  int error = 0;
  base::read_regular(path, all, error, why);
  return all;
}

// The file's lines as the loader counts them (LF, CR LF or a lone CR), so the
// board rows can be read back by the line numbers of the loader's map.
std::vector<std::string> file_lines(const std::string& path) { return split_lines(regular_file_bytes(path)); }

// A board row as the loader saw it: the first BDW bytes of its line. A short
// line swallows the next one, which the loader reads as cells too.
std::string row_bytes(const Game& g, const std::vector<std::string>& lines, std::uint64_t line) {
  std::string row;
  for (std::uint64_t l = line; l >= 1 && l <= lines.size() && row.size() < static_cast<std::size_t>(g.BDW); ++l) {
    row += lines[l - 1];
    if (row.size() < static_cast<std::size_t>(g.BDW)) row += '\n';
  }
  return row.substr(0, static_cast<std::size_t>(g.BDW));
}

const char* cell_name(char c) { return c == 'i' ? "entry" : c == 'o' ? "exit" : "end cell"; }

void check_level(const Game& g, int l, const LevelFileMap& map, const std::vector<std::string>& lines) {
  if (g.STPM[l] == 0) report(map.stpm_line[l], l, "the least trail length is 0; it must be at least 1");

  std::vector<std::string> rows;
  rows.reserve(static_cast<std::size_t>(std::max(0, int{g.BDH})));
  for (int y = 0; y < g.BDH; ++y) rows.push_back(row_bytes(g, lines, map.row_line[l][y]));

  for (char letter : {'i', 'o', 'e'}) {
    if (letter == 'e' && l != 0) continue;
    std::vector<std::pair<int, int>> at;  // column, row
    for (int y = 0; y < g.BDH; ++y)
      for (int x = 0; x < static_cast<int>(rows[y].size()); ++x)
        if (rows[y][x] == letter) at.push_back({x, y});
    std::string name = cell_name(letter);
    if (at.empty()) {
      report(map.stpm_line[l], l, std::string("no ") + name + " '" + letter + "'");
      continue;
    }
    for (std::size_t k = 1; k < at.size(); ++k)
      report(map.row_line[l][at[k].second], l,
             std::string("a second ") + name + " '" + letter + "' at column " + std::to_string(at[k].first) +
                 " (only the last one counts)");
    auto [x, y] = at.back();
    std::uint64_t line = map.row_line[l][y];
    if (x == 0 || y == 0 || x == g.BDW - 1 || y == g.BDH - 1) {
      report(line, l, name + " '" + letter + "' at column " + std::to_string(x) + " lies on the border, which is wall");
    } else if (letter != 'e') {
      if (g.BD[l][x][y + 1] != 1)
        report(line, l,
               name + " '" + letter + "' at column " + std::to_string(x) +
                   " has no wall under it: the player starts falling");
      // The player is almost two cells tall: its head is in the cell above.
      if (g.BD[l][x][y - 1] == 1)
        report(line, l,
               name + " '" + letter + "' at column " + std::to_string(x) +
                   " has a wall above it: the player stands with its head in the wall");
    }
  }
}

// The story layout of the drawing: 14 x 28 pixel character cells, lines 30
// pixels apart, the block a little above the middle, clamped to the top edge.
constexpr std::int64_t CELL_W = 14, LINE_H = 28, PITCH = 30, LIFT = 100;

std::int64_t text_top(const Game& g, int i) {
  return std::max<std::int64_t>(0, (std::int64_t{g.BDH} * BDSZ - LINE_H) / 2 + PITCH * i - LIFT);
}

void check_text(const Game& g, int l, int half, const LevelFileMap& map) {
  const std::int64_t w = std::int64_t{g.BDW} * BDSZ, h = std::int64_t{g.BDH} * BDSZ;
  int above = 0;  // the last line with text
  for (int i = 1; i <= 4; ++i) {
    const std::string& text = g.STEXT[l][half][i];
    if (text.empty()) continue;
    std::uint64_t line = map.text_line[l][half][i];
    std::int64_t width = std::int64_t{text_cells(text, g.story_in_gbk)} * CELL_W;
    if (width > w)
      report(line, l,
             "story line is " + std::to_string(width) + " pixels wide, wider than the board's " + std::to_string(w));
    if (text_top(g, i) + LINE_H > h)
      report(line, l,
             "story line " + std::to_string(i) + " leaves the board at the bottom: the board is " + std::to_string(h) +
                 " pixels high");
    else if (above && text_top(g, i) < text_top(g, above) + LINE_H)
      report(line, l,
             "story line " + std::to_string(i) + " is drawn over line " + std::to_string(above) + ": the board is " +
                 std::to_string(h) + " pixels high, " + std::to_string(2 * (LIFT - PITCH) + LINE_H) + " are needed");
    above = i;
  }
}

// Cells a player can stand in but never leave for the pass's goal.
void report_one_way(int l, const std::vector<Cell>& cells, const LevelFileMap& map, const std::string& from,
                    const std::string& goal) {
  if (cells.empty()) return;
  std::string more = cells.size() > 1 ? " (and " + std::to_string(cells.size() - 1) + " more cells)" : "";
  report(map.row_line[l][cells[0].y], l,
         "a one-way place: standing at column " + std::to_string(cells[0].x) + ", row " + std::to_string(cells[0].y) +
             ", reached from the " + from + ", the " + goal + " is never reached from there" + more);
}

void check_reach(const Game& g, int l, const LevelFileMap& map, std::size_t budget) {
  Reach r = search_level(g, l, budget);
  std::uint64_t line = map.stpm_line[l];
  char took[64];
  std::snprintf(took, sizeof took, "%zu states, %.2f s", r.states, r.seconds);
  auto frames = [](long f) { return f >= 0 ? "in " + std::to_string(f) + " frames" : std::string("not proven"); };
  auto unreached = [&](long f, const std::string& what) {
    if (f >= 0) return;
    if (r.out_of_budget)
      report(line, l,
             what + " not found before the search ran out of its budget (" + took + "); raise --budget to know");
    else
      report(line, l, what + " cannot be reached");
  };
  std::string said = "level " + std::to_string(l) + " (line " + std::to_string(line) + "): ";
  if (l == 0) {
    unreached(r.entry_to_exit, "the exit, from the entry,");
    unreached(r.entry_to_end, "the end cell, from the entry,");
    said += "exit " + frames(r.entry_to_exit) + ", end cell " + frames(r.entry_to_end);
  } else {
    unreached(r.entry_to_exit, "the exit, from the entry,");
    unreached(r.exit_to_entry, "the entry, from the exit,");
    said += "exit from the entry " + frames(r.entry_to_exit) + ", entry from the exit " + frames(r.exit_to_entry);
  }
  if (r.out_of_budget) {
    if (r.entry_to_exit >= 0 && (l == 0 ? r.entry_to_end : r.exit_to_entry) >= 0)
      report(line, l, std::string("one-way places not known: the search ran out of its budget (") + took + ")");
  } else {
    // Where the goal is never reached at all, every place is one-way: said already.
    if (r.entry_to_exit >= 0) report_one_way(l, r.one_way_forward, map, "entry", l == 0 ? "exit or end cell" : "exit");
    if (r.exit_to_entry >= 0) report_one_way(l, r.one_way_backward, map, "exit", "entry");
    said += "; no one-way places";
  }
  measures.push_back(said + " (" + took + ")");
}

// The solutions beside the file, played in name order as a whole game.
void check_solutions(const Game& g, const std::string& path) {
  namespace fs = std::filesystem;
  fs::path dir = fs::path(path).parent_path() / "solutions";
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return;
  std::vector<std::string> scripts;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.is_regular_file()) scripts.push_back(e.path().string());
  std::sort(scripts.begin(), scripts.end());
  const char* passes[] = {"hub", "forward", "back"};
  for (const StageSlack& s : measure_slack(g, scripts, 10)) {
    std::string stage = "level " + std::to_string(s.level) + " " + passes[s.pass];
    if (!s.finished) {
      findings.push_back({0, s.script + ": does not finish " + stage + " (the solutions after it are not played)"});
      continue;
    }
    std::string said = s.script + ": " + stage + ", " + std::to_string(s.frames) + " frames, " +
                       std::to_string(s.presses.size()) + (s.presses.size() == 1 ? " press" : " presses");
    auto tight = std::min_element(s.presses.begin(), s.presses.end(), [](const PressSlack& a, const PressSlack& b) {
      return std::min(a.earlier, a.later) < std::min(b.earlier, b.later);
    });
    if (tight != s.presses.end())
      said += "; tightest at line " + std::to_string(tight->line) + ": " + std::to_string(tight->earlier) +
              " frames earlier, " + std::to_string(tight->later) + " later";
    measures.push_back(said);
  }
}

// A budget is a whole decimal number of states, 1..REACH_BUDGET_MAX, digits
// only: no sign, exponent or blanks. False for anything else.
bool parse_budget(const std::string& text, std::size_t& budget) {
  if (text.empty() || text.size() > 20) return false;
  std::size_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<std::size_t>(c - '0');
    if (v > REACH_BUDGET_MAX) return false;
  }
  budget = v;
  return v >= 1;
}

int usage_error() {
  std::fputs(USAGE, stderr);
  return EXIT_USAGE;
}

int check(int argc, char** argv) {
  std::size_t budget = REACH_BUDGET;
  std::string path = "tervalon.dat";
  bool have_path = false;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help") {
      std::fputs(USAGE, stdout);
      std::printf(
          "Checks a level file for what the game needs and what a player would trip over.\n"
          "  --budget STATES  the most states the search of one level may meet, 1..%zu (default %zu)\n"
          "  --version        the version\n"
          "Exit status: 0 usable, 1 findings, 2 wrong usage or no such file, 203 out of memory,\n"
          "217 an unexpected error; a file the game refuses gives the game's status.\n",
          REACH_BUDGET_MAX, REACH_BUDGET);
      return 0;
    }
    if (a == "--version") {
      std::printf("tervalon-levels %s\n", TERVALON_VERSION);
      return 0;
    }
    if (a == "--budget") {
      if (i + 1 == args.size() || !parse_budget(args[++i], budget)) return usage_error();
    } else if ((a.size() > 1 && a[0] == '-') || have_path) {
      // An option not known (a file of such a name goes as ./NAME), or a second file.
      return usage_error();
    } else {
      path = a;
      have_path = true;
    }
  }
  std::vector<std::string> lines = file_lines(path);

  // Rows of the wrong length derail the loader far from the row at fault.
  for (const RowFinding& f : scan_rows(lines)) findings.push_back({f.line, f.what});
  std::unique_ptr<Game> game;
  if (findings.empty()) {
    LevelFileMap map;
    game = load_levels(path, &map);  // a file the game rejects stops here with the game's error
    const Game& g = *game;

    if (g.BDLN < 1 || g.BDLN > BDLMAX)
      report(map.levels_line, -1,
             "the last level index " + std::to_string(g.BDLN) + " is outside 1.." + std::to_string(BDLMAX));
    if (g.BDW < 1 || g.BDH < 1)
      report(
          map.size_line, -1,
          "the board is " + std::to_string(g.BDW) + " x " + std::to_string(g.BDH) + " cells; each side must be 1..127");

    // With no board or no level to play the rest has nothing to stand on.
    if (g.BDW >= 1 && g.BDH >= 1 && g.BDLN >= 0) {
      for (int l = 0; l <= g.BDLN; ++l) {
        check_text(g, l, 1, map);
        if (l >= 1) check_text(g, l, 2, map);
        check_level(g, l, map, lines);
      }
      // The search stands on the special cells the checks above vouch for.
      if (findings.empty())
        for (int l = 0; l <= g.BDLN; ++l) check_reach(g, l, map, budget);
      if (findings.empty()) check_solutions(g, path);
    }
  }

  std::stable_sort(findings.begin(), findings.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
  for (const Finding& f : findings) {
    if (f.line)
      std::printf("%s:%llu: %s\n", path.c_str(), static_cast<unsigned long long>(f.line), f.what.c_str());
    else
      std::printf("%s\n", f.what.c_str());
  }
  if (findings.empty())
    std::printf("%s: usable, levels 0..%d on a %d x %d board\n", path.c_str(), game->BDLN, game->BDW, game->BDH);
  // What was proven and measured, indented under the verdict.
  for (const std::string& m : measures) std::printf("  %s\n", m.c_str());
  return findings.empty() ? 0 : EXIT_FINDINGS;
}

}  // namespace

// No exception leaves: what escapes the checker is said in words, with an
// exit status of its own. Findings are only printed at the very end, so
// nothing half written precedes it.
int main(int argc, char** argv) {
  try {
    return check(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("tervalon-levels: out of memory; a lower --budget needs less\n", stderr);
    return EXIT_OUT_OF_MEMORY;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tervalon-levels: stopped by an unexpected error: %s\n", e.what());
    return EXIT_UNEXPECTED;
  } catch (...) {
    std::fputs("tervalon-levels: stopped by an unexpected error\n", stderr);
    return EXIT_UNEXPECTED;
  }
}
