// tervalon-replay SCRIPT: plays the game's rules from a script with no window,
// printing the state after every pass. The test bench for the rules, for level
// authors, for recorded level solutions and for recordings of the game; the
// language is described in game/replay/script.h.
//
// Output per pass: FRAME BDLV GSIT PAUSE CTEMP STPN PX PY VX VY KL KR KU, then
// "end" when the end cell is reached and "closed" after Escape. Exit code 0,
// 2 for wrong usage or a script that cannot be read or played to its end (a
// malformed or too long line, a snap that cannot be written), 3 when a
// level-file, cheat or expect line fails.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "base/file.h"
#include "base/printable.h"
#include "display/surface.h"
#include "display/window.h"
#include "game/replay/script.h"
#include "game/rules/level_file.h"
#include "game/rules/level_start.h"
#include "game/view/window_setup.h"

using namespace tervalon;

namespace {

constexpr const char* USAGE =
    "usage: tervalon-replay [--] SCRIPT   (SCRIPT is a file, or - for standard input)\n"
    "       tervalon-replay --help | --version\n"
    "Plays the rules of Tervalon from SCRIPT with no window, on tervalon.dat in the\n"
    "current folder, and prints the state after every pass.\n"
    "Exit status: 0 played; 2 wrong usage, or a script that cannot be read or played\n"
    "(a malformed or too long line, a snap that cannot be written); 3 a failed check;\n"
    "the level file's errors as in tervalon. See tervalon-replay(6).\n";

// The picture as a binary PPM.
std::string ppm_bytes(const display::BITMAP& B) {
  std::string out = "P6\n" + std::to_string(B.WIDTH) + " " + std::to_string(B.HEIGHT) + "\n255\n";
  out.reserve(out.size() + std::size_t{B.WIDTH} * B.HEIGHT * 3);
  for (std::uint32_t y = 0; y < B.HEIGHT; ++y)
    for (std::uint32_t x = 0; x < B.WIDTH; ++x) {
      const std::uint32_t p = B.at(x, y);
      out += static_cast<char>(p & 0xFF);
      out += static_cast<char>((p >> 8) & 0xFF);
      out += static_cast<char>((p >> 16) & 0xFF);
    }
  return out;
}

bool write_all(int fd, const std::string& bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes `bytes` to `name` in the current folder through a new file beside
// it, renamed over the name when complete: a link or a second hard link found
// there is replaced, never written through, and no half picture is left.
// Empty when done, else why not.
std::string write_beside(const std::string& name, const std::string& bytes) {
  struct stat st {};
  if (lstat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return S_ISLNK(st.st_mode) ? "it is a symbolic link" : "it is not a regular file";
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temp = ".snap-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || attempt == 100)) return base::error_text(errno);
  }
  bool written = write_all(fd, bytes);
  int error = errno;
  if (close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && rename(temp.c_str(), name.c_str()) == 0) return "";
  if (written) error = errno;
  unlink(temp.c_str());
  return base::error_text(error);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string first = argc > 1 ? argv[1] : "";
  if (argc == 2 && (first == "--help" || first == "-h")) {
    std::fputs(USAGE, stdout);
    return 0;
  }
  if (argc == 2 && first == "--version") {
    std::puts("tervalon-replay " TERVALON_VERSION);
    return 0;
  }
  const bool marked = argc == 3 && first == "--";
  if (!marked && (argc != 2 || (first.size() > 1 && first[0] == '-'))) {
    if (argc == 2) std::fprintf(stderr, "tervalon-replay: unknown option %s\n", base::printable(first).c_str());
    std::fputs(USAGE, stderr);
    return 2;
  }
  const std::string script = marked ? argv[2] : first;
  ScriptInput input;
  std::string why;
  if (script == "-" && !marked)
    input.standard_input();
  else if (!input.open(script, why)) {
    std::fprintf(stderr, "%s: %s\n", base::printable(script, SIZE_MAX).c_str(), why.c_str());
    return 2;
  }

  const std::unique_ptr<Game> g = INITBD();
  INITLV(*g);
  // The window, tiles and work surfaces, off-screen, made at the first snap
  // so that scripts without one never touch the display library.
  std::unique_ptr<View> view;
  auto snap = [&](const Game& now, const std::string& name) {
    if (!view) {
      view = std::make_unique<View>();
      display::use_headless_backend();
      INITWIN(now, *view);
    }
    compose_frame(now, *view);
    return write_beside(name, ppm_bytes(*display::PMAIN));
  };
  return replay(*g, input, script, snap);
}
