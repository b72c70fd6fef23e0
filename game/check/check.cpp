// The level checker's job: the checks of the file as loaded, then the search
// of every level, then the slack of the solutions, each only when what came
// before found nothing (the search stands on the special cells the checks
// vouch for, the solutions on levels that can be played).
#include "game/check/check.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "game/rules/level_rows.h"
#include "game/rules/text_cells.h"

namespace tervalon {

namespace {

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

// The story layout of the drawing: 14 x 28 pixel character cells, lines 30
// pixels apart, the block a little above the middle, clamped to the top edge.
constexpr std::int64_t CELL_W = 14, LINE_H = 28, PITCH = 30, LIFT = 100;

std::int64_t text_top(const Game& g, int i) {
  return std::max<std::int64_t>(0, (std::int64_t{g.BDH} * BDSZ - LINE_H) / 2 + PITCH * i - LIFT);
}

// What a search cost, as the findings and the proof lines say it.
std::string took(const Reach& r) {
  char said[64];
  std::snprintf(said, sizeof said, "%zu states, %.2f s", r.states, r.seconds);
  return said;
}

const char* const PASSES[] = {"hub", "forward", "back"};

}  // namespace

struct CheckJob::Work {
  enum class Stage { look, reach, slack, done };

  Work(std::string all, std::string file, CheckSettings given)
      : bytes(std::move(all)), name(std::move(file)), settings(std::move(given)) {}

  void report(std::uint64_t line, int level, const std::string& what) {
    out.findings.push_back({line, level, -1, level >= 0 ? "level " + std::to_string(level) + ": " + what : what});
  }

  // Everything but the search and the solutions: cheap, done in one piece.
  void look() {
    std::vector<std::string> lines = split_lines(bytes);
    // Rows of the wrong length derail the loader far from the row at fault.
    for (const RowFinding& f : scan_rows(lines)) out.findings.push_back({f.line, f.level, -1, f.what});
    if (!out.findings.empty()) return finish();
    LevelParse parsed = parse_levels(bytes, name, settings.cheat);
    bytes = {};
    if (!parsed.ok()) {
      out.refused = std::move(parsed.findings);
      return finish();
    }
    game = std::move(parsed.game);
    map = std::make_unique<LevelFileMap>(parsed.map);
    const Game& g = *game;
    out.last_level = g.BDLN;
    out.width = g.BDW;
    out.height = g.BDH;

    if (g.BDLN < 1 || g.BDLN > BDLMAX)
      report(map->levels_line, -1,
             "the last level index " + std::to_string(g.BDLN) + " is outside 1.." + std::to_string(BDLMAX));
    if (g.BDW < 1 || g.BDH < 1)
      report(
          map->size_line, -1,
          "the board is " + std::to_string(g.BDW) + " x " + std::to_string(g.BDH) + " cells; each side must be 1..127");
    // With no board or no level to play the rest has nothing to stand on.
    if (g.BDW >= 1 && g.BDH >= 1 && g.BDLN >= 0) {
      for (int l = 0; l <= g.BDLN; ++l) {
        check_text(l, 1);
        if (l >= 1) check_text(l, 2);
        check_level(l, lines);
      }
    }
    if (!out.findings.empty()) return finish();
    stage = Stage::reach;
  }

  void check_level(int l, const std::vector<std::string>& lines) {
    const Game& g = *game;
    if (g.STPM[l] == 0) report(map->stpm_line[l], l, "the least trail length is 0; it must be at least 1");

    std::vector<std::string> rows;
    rows.reserve(static_cast<std::size_t>(std::max(0, int{g.BDH})));
    for (int y = 0; y < g.BDH; ++y) rows.push_back(row_bytes(g, lines, map->row_line[l][y]));

    for (char letter : {'i', 'o', 'e'}) {
      if (letter == 'e' && l != 0) continue;
      std::vector<std::pair<int, int>> at;  // column, row
      for (int y = 0; y < g.BDH; ++y)
        for (int x = 0; x < static_cast<int>(rows[y].size()); ++x)
          if (rows[y][x] == letter) at.push_back({x, y});
      std::string cell = cell_name(letter);
      if (at.empty()) {
        report(map->stpm_line[l], l, std::string("no ") + cell + " '" + letter + "'");
        continue;
      }
      for (std::size_t k = 1; k < at.size(); ++k)
        report(map->row_line[l][at[k].second], l,
               std::string("a second ") + cell + " '" + letter + "' at column " + std::to_string(at[k].first) +
                   " (only the last one counts)");
      auto [x, y] = at.back();
      std::uint64_t line = map->row_line[l][y];
      if (x == 0 || y == 0 || x == g.BDW - 1 || y == g.BDH - 1) {
        report(line, l,
               cell + " '" + letter + "' at column " + std::to_string(x) + " lies on the border, which is wall");
      } else if (letter != 'e') {
        if (g.BD[l][x][y + 1] != 1)
          report(line, l,
                 cell + " '" + letter + "' at column " + std::to_string(x) +
                     " has no wall under it: the player starts falling");
        // The player is almost two cells tall: its head is in the cell above.
        if (g.BD[l][x][y - 1] == 1)
          report(line, l,
                 cell + " '" + letter + "' at column " + std::to_string(x) +
                     " has a wall above it: the player stands with its head in the wall");
      }
    }
  }

  void check_text(int l, int half) {
    const Game& g = *game;
    const std::int64_t w = std::int64_t{g.BDW} * BDSZ, h = std::int64_t{g.BDH} * BDSZ;
    int above = 0;  // the last line with text
    for (int i = 1; i <= 4; ++i) {
      const std::string& text = g.STEXT[l][half][i];
      if (text.empty()) continue;
      std::uint64_t line = map->text_line[l][half][i];
      std::int64_t width = std::int64_t{text_cells(text, g.story_in_gbk)} * CELL_W;
      if (width > w)
        report(line, l,
               "story line is " + std::to_string(width) + " pixels wide, wider than the board's " + std::to_string(w));
      if (text_top(g, i) + LINE_H > h)
        report(line, l,
               "story line " + std::to_string(i) + " leaves the board at the bottom: the board is " +
                   std::to_string(h) + " pixels high");
      else if (above && text_top(g, i) < text_top(g, above) + LINE_H)
        report(line, l,
               "story line " + std::to_string(i) + " is drawn over line " + std::to_string(above) + ": the board is " +
                   std::to_string(h) + " pixels high, " + std::to_string(2 * (LIFT - PITCH) + LINE_H) + " are needed");
      above = i;
    }
  }

  // Cells a player can stand in but never leave for the pass's goal.
  void report_one_way(int l, const std::vector<Cell>& cells, const std::string& from, const std::string& goal) {
    if (cells.empty()) return;
    std::string more = cells.size() > 1 ? " (and " + std::to_string(cells.size() - 1) + " more cells)" : "";
    report(map->row_line[l][cells[0].y], l,
           "a one-way place: standing at column " + std::to_string(cells[0].x) + ", row " + std::to_string(cells[0].y) +
               ", reached from the " + from + ", the " + goal + " is never reached from there" + more);
  }

  // The findings of a level's search.
  void judge(int l, const Reach& r) {
    const std::uint64_t line = map->stpm_line[l];
    auto unreached = [&](long f, const std::string& what) {
      if (f >= 0) return;
      if (r.out_of_budget)
        report(line, l,
               what + " not found before the search ran out of its budget (" + took(r) + "); raise --budget to know");
      else
        report(line, l, what + " cannot be reached");
    };
    unreached(r.entry_to_exit, "the exit, from the entry,");
    if (l == 0)
      unreached(r.entry_to_end, "the end cell, from the entry,");
    else
      unreached(r.exit_to_entry, "the entry, from the exit,");
    if (r.out_of_budget) {
      if (r.entry_to_exit >= 0 && (l == 0 ? r.entry_to_end : r.exit_to_entry) >= 0)
        report(line, l, "one-way places not known: the search ran out of its budget (" + took(r) + ")");
    } else {
      // Where the goal is never reached at all, every place is one-way: said already.
      if (r.entry_to_exit >= 0) report_one_way(l, r.one_way_forward, "entry", l == 0 ? "exit or end cell" : "exit");
      if (r.exit_to_entry >= 0) report_one_way(l, r.one_way_backward, "exit", "entry");
    }
    out.proofs.push_back({l, line, r});
  }

  bool search(Meter& m) {
    while (searched <= game->BDLN) {
      if (!reach) reach = std::make_unique<ReachSearch>(*game, searched, settings.budget);
      if (!reach->run(m)) return false;
      judge(searched, reach->result());
      reach.reset();
      ++searched;
    }
    if (!out.findings.empty() || settings.solutions.empty()) {
      finish();
    } else {
      stage = Stage::slack;
    }
    return true;
  }

  bool measure(Meter& m) {
    if (!slack) slack = std::make_unique<SlackMeasure>(*game, std::move(settings.solutions), settings.slack_cap);
    if (!slack->run(m)) return false;
    out.slack = slack->result();
    for (const StageSlack& s : out.slack)
      if (!s.finished)
        out.findings.push_back({0, s.level, s.pass,
                                s.script + ": does not finish level " + std::to_string(s.level) + " " + PASSES[s.pass] +
                                    " (the solutions after it are not played)"});
    finish();
    return true;
  }

  void finish() {
    std::stable_sort(out.findings.begin(), out.findings.end(),
                     [](const CheckFinding& a, const CheckFinding& b) { return a.line < b.line; });
    bytes = {};
    reach.reset();
    slack.reset();
    game.reset();
    map.reset();
    stage = Stage::done;
  }

  std::string bytes, name;
  CheckSettings settings;
  Stage stage = Stage::look;
  CheckReport out;
  std::unique_ptr<Game> game;
  std::unique_ptr<LevelFileMap> map;
  int searched = 0;  // the level being searched
  std::unique_ptr<ReachSearch> reach;
  std::unique_ptr<SlackMeasure> slack;
};

CheckJob::CheckJob(std::string bytes, std::string name, CheckSettings settings)
    : work_(std::make_unique<Work>(std::move(bytes), std::move(name), std::move(settings))) {}

CheckJob::~CheckJob() = default;

bool CheckJob::run(const Slice& slice) {
  Work& w = *work_;
  Meter m(slice, cancelled_);
  while (w.stage != Work::Stage::done) {
    if (cancelled_.load()) {
      w.out.cancelled = true;
      w.finish();
      break;
    }
    if (w.stage == Work::Stage::look) {
      w.look();
      m.use(1);
    } else if (!(w.stage == Work::Stage::reach ? w.search(m) : w.measure(m)) && !cancelled_.load()) {
      return false;
    }
  }
  return true;
}

bool CheckJob::done() const { return work_->stage == Work::Stage::done; }

const CheckReport& CheckJob::report() const { return work_->out; }

CheckReport check_all(std::string bytes, std::string name, CheckSettings settings) {
  CheckJob job(std::move(bytes), std::move(name), std::move(settings));
  job.run(Slice::whole());
  return job.report();
}

std::string proof_line(const LevelProof& proof) {
  const Reach& r = proof.reach;
  auto frames = [](long f) { return f >= 0 ? "in " + std::to_string(f) + " frames" : std::string("not proven"); };
  std::string said = "level " + std::to_string(proof.level) + " (line " + std::to_string(proof.line) + "): ";
  if (proof.level == 0)
    said += "exit " + frames(r.entry_to_exit) + ", end cell " + frames(r.entry_to_end);
  else
    said += "exit from the entry " + frames(r.entry_to_exit) + ", entry from the exit " + frames(r.exit_to_entry);
  if (!r.out_of_budget && r.one_way_forward.empty() && r.one_way_backward.empty()) said += "; no one-way places";
  return said + " (" + took(r) + ")";
}

std::string slack_line(const StageSlack& s) {
  std::string said = s.script + ": level " + std::to_string(s.level) + " " + PASSES[s.pass] + ", " +
                     std::to_string(s.frames) + " frames, " + std::to_string(s.presses.size()) +
                     (s.presses.size() == 1 ? " press" : " presses");
  auto tight = std::min_element(s.presses.begin(), s.presses.end(), [](const PressSlack& a, const PressSlack& b) {
    return std::min(a.earlier, a.later) < std::min(b.earlier, b.later);
  });
  if (tight != s.presses.end())
    said += "; tightest at line " + std::to_string(tight->line) + ": " + std::to_string(tight->earlier) +
            " frames earlier, " + std::to_string(tight->later) + " later";
  return said;
}

std::vector<Solution> solutions_beside(const std::string& path) {
  namespace fs = std::filesystem;
  fs::path dir = fs::path(path).parent_path() / "solutions";
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return {};
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.is_regular_file()) names.push_back(e.path().string());
  std::sort(names.begin(), names.end());
  std::vector<Solution> solutions;
  for (const std::string& name : names) {
    Solution s{name, {}, true};
    std::string why;
    s.readable = read_script(name, s.lines, why);
    solutions.push_back(std::move(s));
  }
  return solutions;
}

}  // namespace tervalon
