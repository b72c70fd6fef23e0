// tervalon-levels [FILE]: checks a level file for what the game needs and what
// a player would trip over, naming level and file line. Exit 0 when usable.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "level_file.h"
#include "state.h"
#include "text_cells.h"

using namespace tervalon;

namespace {

struct Finding {
  std::uint64_t line;
  std::string what;
};

std::vector<Finding> findings;

void report(std::uint64_t line, int level, const std::string& what) {
  findings.push_back({line, level >= 0 ? "level " + std::to_string(level) + ": " + what : what});
}

// The file's lines as the loader counts them (LF, CR LF or a lone CR), so the
// board rows can be read back by the line numbers of the loader's map.
std::vector<std::string> file_lines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < all.size(); ++i) {
    char c = all[i];
    if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < all.size() && all[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back().push_back(c);
    }
  }
  return lines;
}

// A board row as the loader saw it: the first BDW bytes of its line. A short
// line swallows the next one, which the loader reads as cells too.
std::string row_bytes(const std::vector<std::string>& lines, std::uint64_t line) {
  std::string row;
  for (std::uint64_t l = line; l >= 1 && l <= lines.size() && row.size() < static_cast<std::size_t>(BDW); ++l) {
    row += lines[l - 1];
    if (row.size() < static_cast<std::size_t>(BDW)) row += '\n';
  }
  return row.substr(0, static_cast<std::size_t>(BDW));
}

const char* cell_name(char c) { return c == 'i' ? "entry" : c == 'o' ? "exit" : "end cell"; }

void check_level(int l, const LevelFileMap& map, const std::vector<std::string>& lines) {
  if (STPM[l] == 0) report(map.stpm_line[l], l, "the least trail length is 0; it must be at least 1");

  std::vector<std::string> rows;
  for (int y = 0; y < BDH; ++y) rows.push_back(row_bytes(lines, map.row_line[l][y]));

  for (char letter : {'i', 'o', 'e'}) {
    if (letter == 'e' && l != 0) continue;
    std::vector<std::pair<int, int>> at;  // column, row
    for (int y = 0; y < BDH; ++y)
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
    if (x == 0 || y == 0 || x == BDW - 1 || y == BDH - 1) {
      report(line, l, name + " '" + letter + "' at column " + std::to_string(x) + " lies on the border, which is wall");
    } else if (letter != 'e') {
      if (BD[l][x][y + 1] != 1)
        report(line, l, name + " '" + letter + "' at column " + std::to_string(x) +
                            " has no wall under it: the player starts falling");
      // The player is almost two cells tall: its head is in the cell above.
      if (BD[l][x][y - 1] == 1)
        report(line, l, name + " '" + letter + "' at column " + std::to_string(x) +
                            " has a wall above it: the player stands with its head in the wall");
    }
  }
}

void check_text(int l, int half, const LevelFileMap& map) {
  for (int i = 1; i <= 4; ++i) {
    std::uint32_t width = text_cells(STEXT[l][half][i]) * 14;
    if (width > static_cast<std::uint32_t>(BDW) * BDSZ)
      report(map.text_line[l][half][i], l,
             "story line is " + std::to_string(width) + " pixels wide, wider than the board's " +
                 std::to_string(BDW * BDSZ));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "usage: tervalon-levels [FILE]   (default ./tervalon.dat)\n");
    return 2;
  }
  std::string path = argc == 2 ? argv[1] : "tervalon.dat";
  LevelFileMap map;
  load_levels(path, &map);  // a file the game rejects stops here with the game's error

  if (BDLN < 1 || BDLN > BDLMAX)
    report(map.levels_line, -1, "the last level index " + std::to_string(BDLN) + " is outside 1.." +
                                    std::to_string(BDLMAX));
  if (BDW < 1 || BDH < 1)
    report(map.size_line, -1, "the board is " + std::to_string(BDW) + " x " + std::to_string(BDH) +
                                  " cells; each side must be 1..127");

  // With no board or no level to play the rest has nothing to stand on.
  if (BDW >= 1 && BDH >= 1 && BDLN >= 0) {
    std::vector<std::string> lines = file_lines(path);
    for (int l = 0; l <= BDLN; ++l) {
      check_text(l, 1, map);
      if (l >= 1) check_text(l, 2, map);
      check_level(l, map, lines);
    }
  }

  for (const Finding& f : findings) std::printf("%s:%llu: %s\n", path.c_str(), static_cast<unsigned long long>(f.line), f.what.c_str());
  if (!findings.empty()) return 1;
  std::printf("%s: usable, levels 0..%d on a %d x %d board\n", path.c_str(), BDLN, BDW, BDH);
  return 0;
}
