// The run-time error's box on a bare X server (built-in fonts only, no window
// manager, no dialog helpers on the PATH): it shows before the window and over
// it, centred, with the reason as its first line, and every way of dismissing
// it ends the game with the error number; killing the game leaves no box.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>

#include "base/checked.h"
#include "base/runtime_error.h"
#include "display/sdl/window.h"
#include "display/text.h"
#include "display/window.h"
#include "game_process.h"
#include "waiting.h"

namespace tervalon::test {
namespace {

// Polls for `ok` every 50 ms until it holds; false after the failure bound.
template <typename Ok>
bool soon(Ok ok) {
  return eventually(ok, PATIENCE, 50ms);
}

int geometry(unsigned long window, const std::string& field) {
  std::string out = run("xwininfo -id " + std::to_string(window) + " | grep '" + field + "' | sed 's/.*: *//'");
  return out.empty() ? -1 : std::stoi(out);
}

// Whether `line`, drawn in the library's default font, stands in the top-left
// part of the picture: its dark pixels and the picture's agree at some offset.
bool shows_line(const std::vector<std::uint8_t>& rgb, int width, const std::string& line) {
  display::GETSTRINGSIZE(line);
  display::BITMAP t;
  t.WIDTH = static_cast<std::uint32_t>(display::STRZ.CX);
  t.HEIGHT = static_cast<std::uint32_t>(display::STRZ.CY);
  t.pixels.assign(std::size_t{t.WIDTH} * t.HEIGHT, display::WHITE);
  display::DRAWTEXTXY(&t, line, 0, 0, display::BLACK);
  const int height = width > 0 ? static_cast<int>(rgb.size() / 3 / width) : 0;
  // Dark is below the middle of the picture's own range, whatever its colours.
  int darkest = 255, lightest = 0;
  for (std::size_t i = 0; i < rgb.size(); i += 3)
    darkest = std::min<int>(darkest, rgb[i]), lightest = std::max<int>(lightest, rgb[i]);
  const int middle = (darkest + lightest + 1) / 2;
  for (int oy = 0; oy + static_cast<int>(t.HEIGHT) <= std::min(height, 60); ++oy)
    for (int ox = 0; ox + static_cast<int>(t.WIDTH) <= width && ox < 60; ++ox) {
      int ink = 0, differ = 0;
      for (std::uint32_t y = 0; y < t.HEIGHT; ++y)
        for (std::uint32_t x = 0; x < t.WIDTH; ++x) {
          const bool want = (t.at(x, y) & 0xFF) < 128;
          const bool got = rgb[(std::size_t(oy + y) * width + ox + x) * 3] < middle;
          ink += want;
          differ += want != got;
        }
      if (ink > 0 && differ * 50 <= ink) return true;
    }
  return false;
}

class ErrorBox : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(x_.ok()) << "Xvfb did not start"; }
  void TearDown() override { std::filesystem::remove_all(no_helpers_); }

  // The game in a fresh folder holding `level_file` (none when null), with a
  // PATH on which no dialog program can be found.
  std::unique_ptr<GameProcess> start(const char* level_file) {
    const std::string dir = fresh_dir();
    if (level_file) std::ofstream(dir + "/tervalon.dat") << level_file;
    return std::make_unique<GameProcess>(dir, true, std::vector<std::string>{},
                                         std::vector<std::string>{"PATH=" + no_helpers_});
  }

  // The one box: shown, centred on the 1280 x 1024 screen, with `reason` as
  // its first line.
  unsigned long expect_box(const std::string& reason) {
    std::vector<unsigned long> boxes;
    EXPECT_TRUE(soon([&] { return (boxes = error_boxes()).size() == 1; })) << boxes.size() << " boxes";
    if (boxes.size() != 1) return 0;
    const unsigned long box = boxes[0];
    const int centre_x = geometry(box, "Absolute upper-left X:") + geometry(box, "Width:") / 2;
    const int centre_y = geometry(box, "Absolute upper-left Y:") + geometry(box, "Height:") / 2;
    EXPECT_NEAR(centre_x, 640, 1);
    EXPECT_NEAR(centre_y, 512, 1);
    const std::string shot = dir_of_shots_ + "/box.ppm";
    EXPECT_TRUE(soon([&] {
      run("import -window " + std::to_string(box) + " -depth 8 ppm:" + shot + " 2>/dev/null");
      int width = 0;
      const auto rgb = read_ppm(shot, &width);
      return shows_line(rgb, width, reason);
    })) << "the box does not begin with: "
        << reason;
    return box;
  }

  PrivateX x_;
  const std::string no_helpers_ = fresh_dir();  // an empty folder: the PATH, and where shots go
  const std::string dir_of_shots_ = no_helpers_;
};

TEST_F(ErrorBox, BeforeTheWindowEveryWayOfDismissingEndsWithTheErrorNumber) {
  const std::vector<std::string> ways = {"key Return", "key Escape",   "key space",
                                         "click OK",   "close button", "game killed"};
  for (const std::string& way : ways) {
    SCOPED_TRACE(way);
    auto game = start(nullptr);
    const unsigned long box = expect_box("tervalon.dat: cannot open: No such file or directory");
    ASSERT_NE(box, 0u) << game->err();
    EXPECT_EQ(run("xdotool search --name '^Tervalon$'"), "") << "a game window before the level file was read";
    const std::string id = std::to_string(box);
    if (way.starts_with("key")) {
      run("xdotool windowfocus --sync " + id + " " + way);
    } else if (way == "click OK") {
      // The button is centred at the bottom.
      const int w = geometry(box, "Width:"), h = geometry(box, "Height:");
      run("xdotool mousemove --window " + id + " " + std::to_string(w / 2) + " " + std::to_string(h - 30) + " click 1");
    } else if (way == "close button") {
      ASSERT_TRUE(press_close_button(box));
    } else {
      kill(game->pid(), SIGKILL);
    }
    const int code = way == "game killed" ? 128 + SIGKILL : 2;
    // No dismissing here: the box must go by the way under test.
    EXPECT_TRUE(soon([&] { return !game->running(); }));
    EXPECT_EQ(game->exit_code(), code) << game->err();
    EXPECT_TRUE(soon([] { return error_boxes().empty(); })) << "a box outlived the game";
    if (way != "game killed") {
      EXPECT_EQ(game->err().rfind("tervalon.dat: cannot open: No such file or directory\nRuntime error 2 at $", 0), 0u)
          << game->err();
    }
  }
}

// No level file makes the game stop once its window is open (a file with
// nothing to play stops before it), so a program of the display library
// stands in for it: it opens the window titled as the game's, then stops with
// a range error, whose box comes over the window.
TEST_F(ErrorBox, OverTheOpenWindow) {
  const std::string err = no_helpers_ + "/stderr";
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("PATH", no_helpers_.c_str(), 1);
    if (!std::freopen(err.c_str(), "w", stderr)) _exit(127);
    display::use_error_box();
    display::use_sdl_backend();
    display::open_with("Tervalon", nullptr);
    display::CREATEWIN(240, 160, display::BLACK, display::WHITE);
    display::FRESHWIN();
    base::runtime_error(base::RANGE_ERROR, "the board is gone");
  }
  ASSERT_GT(pid, 0);
  auto read_err = [&] {
    std::ostringstream s;
    s << std::ifstream(err).rdbuf();
    return s.str();
  };
  ASSERT_NE(expect_box("the board is gone"), 0u) << read_err();
  EXPECT_NE(run("xdotool search --onlyvisible --name '^Tervalon$'"), "") << "the window went before the box";
  run("xdotool windowfocus --sync " + std::to_string(error_boxes().at(0)) + " key Return");
  int status = 0;
  EXPECT_TRUE(soon([&] { return waitpid(pid, &status, WNOHANG) == pid; }));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 201) << read_err();
  EXPECT_EQ(read_err().rfind("the board is gone\nRuntime error 201 at $", 0), 0u) << read_err();
}

}  // namespace
}  // namespace tervalon::test
