// tervalon-levels [--budget STATES] [FILE]: checks a level file for what the
// game needs and what a player would trip over, naming level and file line;
// proves each level can be played through both ways, and measures the slack
// of the recorded solutions in the folder "solutions" beside the file. Exit 0
// when usable.

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "game/check/check.h"

using namespace tervalon;

namespace {

// Exit codes of the checker's own (the game's run-time errors keep theirs).
constexpr int EXIT_FINDINGS = 1, EXIT_USAGE = 2, EXIT_OUT_OF_MEMORY = 203, EXIT_UNEXPECTED = 217;

constexpr const char* USAGE = "usage: tervalon-levels [--budget STATES] [FILE]   (default ./tervalon.dat)\n";

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
  // Every byte, opened as the game opens it: a file it cannot open or read
  // gives the game's own error.
  std::string bytes;
  LevelFinding unread;
  if (!read_level_bytes(path, bytes, unread)) stop_on_level_file({unread});
  CheckSettings settings;
  settings.budget = budget;
  settings.cheat = cheat_marker_present();
  settings.solutions = solutions_beside(path);
  const CheckReport report = check_all(std::move(bytes), path, std::move(settings));
  // A file the game rejects stops here with the game's error.
  if (!report.refused.empty()) stop_on_level_file(report.refused);

  for (const CheckFinding& f : report.findings) {
    if (f.line)
      std::printf("%s:%llu: %s\n", path.c_str(), static_cast<unsigned long long>(f.line), f.what.c_str());
    else
      std::printf("%s\n", f.what.c_str());
  }
  if (report.findings.empty())
    std::printf("%s: usable, levels 0..%d on a %d x %d board\n", path.c_str(), report.last_level, report.width,
                report.height);
  // What was proven and measured, indented under the verdict.
  for (const LevelProof& p : report.proofs) std::printf("  %s\n", proof_line(p).c_str());
  for (const StageSlack& s : report.slack)
    if (s.finished) std::printf("  %s\n", slack_line(s).c_str());
  return report.findings.empty() ? 0 : EXIT_FINDINGS;
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
