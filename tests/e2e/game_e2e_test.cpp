// The real game in a private X server: what the window shows against the
// replay tool's picture of the same state, play by real key presses, the
// story interlude, every way the program ends, its exit codes, and runs
// recorded in the window and played back in it.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <random>

#include "../tools/run.h"
#include "display/window.h"
#include "game/replay/script.h"
#include "game/rules/rules.h"
#include "game/view/draw.h"
#include "game/view/window_setup.h"
#include "tests/e2e/e2e.h"

namespace tervalon::test {
namespace {

using namespace std::chrono_literals;

// The top-left pixel, a wall: grey in play, nearly white under the story.
int corner_red(const std::vector<std::uint8_t>& rgb) { return rgb.empty() ? -1 : rgb[0]; }

// Reaching the end cell shows the journey's ending over the picture, dimmed,
// with its menu; Escape there quits: the exit code once it is gone.
int end_journey(Game& game) {
  const int in_play = corner_red(game.screenshot());
  if (!game.wait_picture([&](const auto& p) { return corner_red(p) >= 0 && corner_red(p) < in_play - 16; })) return -2;
  game.xdo("key Escape");
  return game.wait_exit();
}

// Pixels of a picture that are clearly blue: the forward story colour (and
// the exit marker).
int blue_pixels(const std::vector<std::uint8_t>& rgb) {
  int n = 0;
  for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) n += rgb[i + 2] > rgb[i] + 80 && rgb[i + 2] > rgb[i + 1] + 80;
  return n;
}

TEST_F(GameInX, ShowsTheBoardAndMovesAsTheReplayPredicts) {
  Game game(levels());
  ASSERT_FALSE(game.window().empty()) << game.err();
  EXPECT_EQ(run("xdotool getwindowgeometry " + game.window() + " | grep Geometry"), "  Geometry: 400x240");
  auto start = game.replay_snap("frames 5\n");
  ASSERT_EQ(start.size(), 400u * 240 * 3);
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p == start; }))
      << "the window differs from the replay's picture";

  // Right held until the pillar stops the player (auto-repeat included).
  auto at_pillar = game.replay_snap("down right\nframes 200\nup right\nframes 20\n");
  EXPECT_FALSE(at_pillar == start);
  game.xdo("keydown Right");
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p == at_pillar; }))
      << "the player is not where the replay puts it";
  game.xdo("keyup Right sleep 0.3");
  EXPECT_TRUE(game.screenshot() == at_pillar);
  // Moving redraws only the rows that change; a window hidden and shown
  // again is redrawn whole, from the same picture.
  game.xdo("windowunmap --sync " + game.window() + " windowmap --sync " + game.window() + " sleep 0.3");
  EXPECT_TRUE(game.screenshot() == at_pillar) << "the whole picture is not the one the rows were drawn into";

  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(), 0) << game.err();
}

TEST_F(GameInX, TheWindowIconIsClearAroundItsScene) {
  Game game(levels());
  ASSERT_FALSE(game.window().empty()) << game.err();
  // Width, height, then one 0xAARRGGBB value per pixel, row by row.
  std::istringstream icon(
      run("xprop -id " + game.window() + " -f _NET_WM_ICON 32c _NET_WM_ICON | cut -d= -f2 | tr -d ,"));
  std::vector<std::uint64_t> values{std::istream_iterator<std::uint64_t>(icon), {}};
  ASSERT_GT(values.size(), 2u);
  ASSERT_EQ(values.size(), 2 + values[0] * values[1]);
  EXPECT_EQ(values[2] >> 24, 0u) << "the top-left corner is not transparent";
  EXPECT_EQ(values.back() >> 24, 255u) << "the floor at the bottom is not opaque";
}

TEST_F(GameInX, AGoalBringsTheStoryInAndAKeyMovesOn) {
  Game game(levels());
  ASSERT_FALSE(game.window().empty()) << game.err();
  // Right to the pillar, one jump over it, on to the exit.
  auto at_pillar = game.replay_snap("down right\nframes 200\n");
  game.xdo("keydown Right");
  ASSERT_TRUE(game.wait_picture([&](const auto& p) { return p == at_pillar; }));
  game.xdo("keydown Up sleep 0.1 keyup Up");  // held over a frame, or the press is lost
  // The story fully shown: a key moves on only then.
  auto story = game.replay_snap("down right\nframes 60\ndown up\nframes 1\nup up\nframes 300\n");
  EXPECT_GT(corner_red(story), 250);   // the board has faded out ...
  EXPECT_GT(blue_pixels(story), 100);  // ... under the story text
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p == story; })) << "the story has not come in";
  game.xdo("keyup Right");

  game.xdo("key space");
  auto level1 = game.replay_snap(
      "down right\nframes 60\ndown up\nframes 1\nup up\nframes 300\nup right\n"
      "down 32\nup 32\nframes 70\n");
  EXPECT_EQ(corner_red(level1), 128);  // level 1 in play: no story left
  EXPECT_EQ(blue_pixels(level1), 0);   // its exit marker is still empty
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p == level1; }))
      << "level 1 has not faded in as the replay shows it";

  EXPECT_TRUE(press_close_button(std::stoul(game.window())));
  EXPECT_EQ(game.wait_exit(), 0) << game.err();
}

TEST_F(GameInX, TheEndCellEndsTheGame) {
  Game game(levels());
  ASSERT_FALSE(game.window().empty()) << game.err();
  game.xdo("keydown Left");
  EXPECT_EQ(end_journey(game), 0) << game.err();
  game.xdo("keyup Left");
}

TEST_F(GameInX, ABadLevelFileStopsBeforeTheWindowWithItsCode) {
  Game missing("");
  EXPECT_EQ(missing.wait_exit(10s), 2);
  EXPECT_NE(missing.err().find("Runtime error 2 at $"), std::string::npos) << missing.err();

  Game invalid("1\n16 1x2\n");
  EXPECT_EQ(invalid.wait_exit(10s), 106);
  EXPECT_NE(invalid.err().find("tervalon.dat:2: \"1x2\" is not a whole number\nRuntime error 106 at $"),
            std::string::npos)
      << invalid.err();
}

TEST(GameWithoutDisplay, SaysSoAndExitsWith1) {
  Game game(levels(), false);
  EXPECT_EQ(game.wait_exit(10s), 1);
  std::string err = game.err();
  EXPECT_NE(err.find("display"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

// ---- Recording and playback ----

// The shipped solutions in the order they are played.
std::vector<std::string> shipped_solutions() {
  std::vector<std::string> paths;
  for (const auto& e : std::filesystem::directory_iterator(SOURCE + "/data/solutions")) paths.push_back(e.path());
  std::sort(paths.begin(), paths.end());
  return paths;
}

struct Pass {
  unsigned long long frame;
  int pause, ctemp;
};

Pass pass_of(const std::string& state) {
  Pass p{};
  std::sscanf(state.c_str(), "%llu %*d %*d %d %d", &p.frame, &p.pause, &p.ctemp);
  return p;
}

// A still picture: the same after half a second.
std::vector<std::uint8_t> still_picture(Game& game) {
  std::vector<std::uint8_t> before = game.screenshot();
  for (int tries = 0; tries < 40; ++tries) {
    std::this_thread::sleep_for(500ms);
    std::vector<std::uint8_t> now = game.screenshot();
    if (now == before) return now;
    before = std::move(now);
  }
  return {};
}

TEST_F(GameInX, ARunRecordedWithStallsReplaysToTheSameStatesAndPicture) {
  Game game(levels(), {"--scale", "1", "--record", "run.txt"});
  ASSERT_FALSE(game.window().empty()) << game.err();
  auto at_pillar = game.replay_snap("down right\nframes 200\n");
  game.xdo("keydown Right");
  game.stall(300ms);  // stalls make catch-up bursts: while running ...
  ASSERT_TRUE(game.wait_picture([&](const auto& p) { return p == at_pillar; }));
  game.xdo("keydown Up sleep 0.1 keyup Up");
  ASSERT_TRUE(game.wait_picture([](const auto& p) { return corner_red(p) > 128; }));
  game.stall(300ms);  // ... and while the story fades in, where a burst moves the fade once
  ASSERT_TRUE(game.wait_picture([](const auto& p) { return corner_red(p) > 250 && blue_pixels(p) > 100; }));
  ASSERT_FALSE(still_picture(game).empty()) << "the story is not fully shown";
  EXPECT_NE(file_text(game.dir() + "/run.txt").find("down right\n"), std::string::npos)
      << "the recording is not flushed as the game runs";
  game.xdo("key space");  // on to level 1, Right still held
  ASSERT_TRUE(game.wait_picture([](const auto& p) { return corner_red(p) == 128; }));
  game.stall(200ms);
  game.xdo("keyup Right");
  std::vector<std::uint8_t> last = still_picture(game);
  ASSERT_FALSE(last.empty()) << "the player does not come to rest";
  EXPECT_TRUE(press_close_button(std::stoul(game.window())));
  ASSERT_EQ(game.wait_exit(), 0) << game.err();

  const std::string recording = file_text(game.dir() + "/run.txt");
  EXPECT_EQ(lines_with(recording, "level-file ").size(), 1u) << recording;
  EXPECT_EQ(lines_with(recording, "cheat 0").size(), 1u);
  EXPECT_GE(lines_with(recording, "burst ").size(), 3u);
  EXPECT_GE(lines_with(recording, "expect ").size(), 1u);
  ToolRun r = run_in(game.dir(), "'" + REPLAY + "' -", recording + "snap replayed.ppm\n");
  ASSERT_EQ(r.status, 0) << r.err;  // every expect line held
  EXPECT_TRUE(read_ppm(game.dir() + "/replayed.ppm") == last) << "the replay ends on another picture";

  // The story was shown, and a catch-up burst during a fade moved it by one step.
  bool story = false, burst_in_fade = false;
  for (std::size_t i = 1; i < r.lines.size(); ++i) {
    Pass a = pass_of(r.lines[i - 1]), b = pass_of(r.lines[i]);
    story = story || b.pause == 2;
    burst_in_fade = burst_in_fade || (b.frame > a.frame + 1 && b.pause == 1 && b.ctemp == a.ctemp + 4);
  }
  EXPECT_TRUE(story);
  EXPECT_TRUE(burst_in_fade);
  // A stall of 300 ms (18 frames) is caught up for a quarter of a second only.
  std::uint64_t longest = 0;
  for (const std::string& line : lines_with(recording, "burst "))
    longest = std::max<std::uint64_t>(longest, std::stoull(line.substr(6)));
  EXPECT_EQ(longest, 15u) << recording;
}

TEST_F(GameInX, APlayedRunGoesOnUnderThePlayerAndIsRecordedWhole) {
  // Half a minute of game time, played in a moment: the player's game goes
  // on from its last frame with neither a wait nor a catch-up burst. The
  // quit that ended the recording is not played.
  const std::string played = "down right\nframes 100\nup right\nframes 1900\n";
  const std::string start = write_file(make_temp_dir(), "start.txt", played + "down esc\n");
  Game game(levels(), {"--scale", "1", "--play", start, "--speed", "0", "--record", "more.txt"});
  ASSERT_FALSE(game.window().empty()) << game.err();
  auto handed_over = game.replay_snap(played);
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p == handed_over; }));
  game.xdo("keydown Left");  // back past the entry to the end cell
  ASSERT_EQ(end_journey(game), 0) << game.err();

  ToolRun first = run_in(game.dir(), "'" + REPLAY + "' '" + start + "'");
  ToolRun whole = run_in(game.dir(), "'" + REPLAY + "' more.txt");
  ASSERT_EQ(whole.status, 0) << whole.err;
  ASSERT_EQ(first.lines.size(), 2004u);
  EXPECT_EQ(first.lines.back(), "closed");
  ASSERT_GT(whole.lines.size(), first.lines.size());
  EXPECT_TRUE(std::equal(first.lines.begin(), first.lines.end() - 2, whole.lines.begin()));
  EXPECT_EQ(whole.lines.back(), "end");
  const std::string more = file_text(game.dir() + "/more.txt");
  EXPECT_TRUE(lines_with(more, "down esc").empty()) << more;
  const std::size_t own = more.find("\n# the player takes over at frame 2000\n");
  ASSERT_NE(own, std::string::npos);
  for (const std::string& burst : lines_with(more.substr(own + 1), "burst "))
    EXPECT_LE(std::stoul(burst.substr(6)), 60u);
}

TEST_F(GameInX, AFailedCheckStopsPlaybackInTheTitleAndHandsOver) {
  const std::string before = "frames 180\ndown right\nframes 30\nup right\n";
  const std::string scripts = make_temp_dir();
  write_file(scripts, "tervalon.dat", levels());
  ToolRun truth = run_in(scripts, "'" + REPLAY + "' -", before);
  ASSERT_EQ(truth.status, 0);
  std::istringstream fields(truth.lines.back());
  std::string frame, px;
  for (int i = 0; i < 7; ++i) fields >> (i == 0 ? frame : px);
  std::string state = truth.lines.back();
  std::string tampered = "expect " + state.replace(state.find(px), px.size(), "1" + px) + "\n";
  const std::string bad = write_file(scripts, "bad.txt", before + tampered + "frames 6000\n");

  Game game(levels(), {"--play", bad});
  ASSERT_FALSE(game.window().empty()) << game.err();
  const std::string message = bad + ":5: frame " + frame + ": PX is " + px + ", expected 1" + px;
  const std::string words =
      "Tervalon: this recording does not match this level file or this version of the game; from frame " + frame +
      " you play";
  bool titled = false;
  for (int i = 0; i < 100 && !titled; ++i, std::this_thread::sleep_for(100ms)) titled = game.title() == words;
  EXPECT_TRUE(titled) << game.title();
  EXPECT_NE(game.err().find(message + "\n"), std::string::npos) << game.err();
  game.xdo("keydown Left");  // the player has the game: to the end cell
  EXPECT_EQ(end_journey(game), 0) << game.err();
}

// A played script only plays: one that would write a picture is refused, and
// a burst of four billion frames still lets Escape through at once.
TEST_F(GameInX, APlayedScriptCannotWriteFilesOrHoldTheWindow) {
  const std::string scripts = make_temp_dir();
  const std::string snaps = write_file(scripts, "snaps.txt", "frames 10\nsnap x.ppm\n");
  const std::string burst = write_file(scripts, "burst.txt", "burst 4294967295\n");
  Game refused(levels(), {"--play", snaps});
  EXPECT_EQ(refused.wait_exit(), 2);
  EXPECT_NE(refused.err().find("snap"), std::string::npos) << refused.err();

  Game game(levels(), {"--play", burst, "--speed", "0"});
  ASSERT_FALSE(game.window().empty()) << game.err();
  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(3s), 0) << "Escape waits for the burst";
}

TEST_F(GameInX, TheShippedJourneyPlaysToTheEndCellAtFullSpeed) {
  std::vector<std::string> args{"--play"};
  for (const std::string& s : shipped_solutions()) args.push_back(s);
  args.insert(args.end(), {"--speed", "0", "--record", "journey.txt"});
  // With no sound device the game plays silently, and says so once.
  Game game(file_text(SOURCE + "/data/tervalon.dat"), args, {"SDL_AUDIODRIVER=nonexistent"});
  ASSERT_EQ(game.wait_exit(120s), 0) << game.err();
  EXPECT_EQ(lines_with(game.err(), "tervalon: no sound: ").size(), 1u) << game.err();

  std::string all;
  for (const std::string& s : shipped_solutions()) all += file_text(s) + "\n";
  ToolRun r = run_in(game.dir(), "'" + REPLAY + "' -", all);
  ASSERT_GE(r.lines.size(), 2u);
  ASSERT_EQ(r.lines.back(), "end");
  // The recording checks itself every 600 frames and at the end.
  const std::vector<std::string> expects = lines_with(file_text(game.dir() + "/journey.txt"), "expect ");
  ASSERT_EQ(expects.size(), std::stoul(r.lines[r.lines.size() - 2]) / 600 + 1);
  EXPECT_EQ(expects.back(), "expect " + r.lines[r.lines.size() - 2]);
  ToolRun again = run_in(game.dir(), "'" + REPLAY + "' journey.txt");
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.lines, r.lines);
}

// The picture the replay tool would snap, as RGB.
std::vector<std::uint8_t> composed(const tervalon::Game& g, View& v) {
  compose_frame(g, v);
  std::vector<std::uint8_t> rgb;
  for (std::uint32_t p : display::PMAIN->pixels)
    rgb.insert(rgb.end(),
               {static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p >> 16)});
  return rgb;
}

TEST_F(GameInX, TheJourneyAtItsOwnSpeedShowsTheReplaysPictures) {
  std::vector<std::string> args{"--scale", "1", "--play"};
  for (const std::string& s : shipped_solutions()) args.push_back(s);
  Game game(file_text(SOURCE + "/data/tervalon.dat"), args);
  ASSERT_FALSE(game.window().empty()) << game.err();
  std::vector<std::vector<std::uint8_t>> shots;
  for (auto until = std::chrono::steady_clock::now() + 4s; std::chrono::steady_clock::now() < until;) {
    std::this_thread::sleep_for(300ms);
    shots.push_back(game.screenshot());
  }
  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(), 0) << game.err();

  // The same scripts in this process, pass by pass, composed as the replay
  // tool's snap composes: every screenshot is the picture of a pass, in order.
  const auto played = load_levels(game.dir() + "/tervalon.dat");
  tervalon::Game& g = *played;
  INITLV(g);
  View v;
  display::use_headless_backend();
  INITWIN(g, v);
  std::size_t matched = 0;
  unsigned long long first_frame = 0;
  auto look = [&] {
    auto picture = composed(g, v);
    while (matched < shots.size() && shots[matched] == picture) {
      if (matched++ == 0) first_frame = g.FRAME;
    }
  };
  std::string text, why;
  Command c;
  for (const std::string& path : shipped_solutions()) {
    std::ifstream in(path);
    while (matched < shots.size() && std::getline(in, text)) {
      ASSERT_TRUE(parse_command(text, c, why)) << why;
      if (c.op == Command::Op::down || c.op == Command::Op::up)
        handle_message(g, c.op == Command::Op::down ? WM_KEYDOWN : WM_KEYUP, c.key);
      for (std::uint64_t i = 0; c.op == Command::Op::frames && i < c.count && matched < shots.size(); ++i)
        if (frame_pass(g, 1).drawn) look();
    }
  }
  EXPECT_EQ(matched, shots.size()) << "screenshot " << matched << " is no picture of the replay";
  EXPECT_GT(g.FRAME, first_frame + 120) << "the screenshots do not span two seconds of the game";
}

// A recording never replaces the level file, a folder, a device or a FIFO,
// nor takes an option for its name; each is refused before any window.
TEST(Recording, OnlyANewNameOrARegularFileOtherThanTheLevelFileIsATarget) {
  const std::string dir = make_temp_dir();
  write_file(dir, "tervalon.dat", levels());
  std::filesystem::create_directory(dir + "/folder");
  ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0644), 0);
  for (const char* target : {"tervalon.dat", "./tervalon.dat", "--fullscreen", "/dev/full", "fifo", "folder"}) {
    SCOPED_TRACE(target);
    GameProcess game(dir, false, {"--record", target});
    EXPECT_EQ(game.wait_exit(5s), 2) << game.err();
    EXPECT_NE(game.err().find("--record"), std::string::npos) << game.err();
  }
  EXPECT_EQ(file_text(dir + "/tervalon.dat"), levels());
  EXPECT_FALSE(std::filesystem::exists(dir + "/--fullscreen"));
}

// However the game ends (a signal, a lost X server, a file it may no longer
// grow), the recording holds the whole run to its last frame, replays, and
// the process ends as it would have without one.
TEST(Recording, EveryWayOutLeavesAWholeRecording) {
  struct Way {
    const char* name;
    int signal;  // 0: the X server is killed
    int code;
  };
  for (const Way way : {Way{"SIGTERM", SIGTERM, 128 + SIGTERM}, Way{"SIGINT", SIGINT, 128 + SIGINT},
                        Way{"SIGHUP", SIGHUP, 128 + SIGHUP}, Way{"lost X server", 0, 1}}) {
    SCOPED_TRACE(way.name);
    PrivateX x;
    ASSERT_TRUE(x.ok());
    Game game(levels(), {"--record", "run.txt"});
    ASSERT_FALSE(game.window().empty()) << game.err();
    game.xdo("keydown Right sleep 0.3 keyup Right sleep 0.2");
    way.signal ? (void)kill(game.pid(), way.signal) : x.kill_now();
    EXPECT_EQ(game.wait_exit(), way.code) << game.err();
    const std::string recording = file_text(game.dir() + "/run.txt");
    EXPECT_FALSE(lines_with(recording, "down right").empty()) << recording;
    ASSERT_FALSE(lines_with(recording, "expect ").empty()) << recording;
    EXPECT_TRUE(recording.ends_with(lines_with(recording, "expect ").back() + "\n")) << recording;
    EXPECT_EQ(run_in(game.dir(), "'" + REPLAY + "' run.txt").status, 0);
  }
}

TEST_F(GameInX, ARecordingThatCannotBeWrittenIsSaidAndTheGameGoesOn) {
  Game game(levels(), {"--record", "run.txt"});
  ASSERT_FALSE(game.window().empty()) << game.err();
  // No file may grow further than this: the recording soon cannot be
  // written, and standard error still has room for what is said.
  const rlimit small{384, 384};
  ASSERT_EQ(prlimit(game.pid(), RLIMIT_FSIZE, &small, nullptr), 0);
  // Keys grow the recording until a save fails, however slowly a busy
  // machine plays them.
  std::string title;
  for (int i = 0; i < 600 && title.find("the recording cannot be written") == std::string::npos; ++i) {
    game.xdo("key Left key Right");
    title = game.title();
  }
  EXPECT_NE(title.find("the recording cannot be written"), std::string::npos) << title;
  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(), 3) << game.err();
  EXPECT_EQ(lines_with(game.err(), "tervalon: run.txt: cannot write").size(), 2u) << game.err();
  // What was saved last is whole and replays.
  EXPECT_EQ(run_in(game.dir(), "'" + REPLAY + "' run.txt").status, 0);
}

// ---- The journey kept ----

TEST_F(GameInX, AJourneyKilledAnywhereContinuesFromItsLastSave) {
  std::string saved, save;
  std::string dir;
  {
    Game game(levels());
    ASSERT_FALSE(game.window().empty()) << game.err();
    dir = game.dir();
    game.xdo("keydown Right sleep 0.6 keyup Right keydown Left sleep 0.4");
    std::this_thread::sleep_for(std::chrono::milliseconds(1000 + std::random_device()() % 1500));
    save = save_of(dir);
    kill(game.pid(), SIGKILL);
    EXPECT_EQ(game.wait_exit(), 128 + SIGKILL);
    game.xdo("keyup Left");
    saved = file_text(save);
  }
  ToolRun last = run_in(dir, "'" + REPLAY + "' '" + save + "'");
  ASSERT_EQ(last.status, 0) << last.err;
  ASSERT_FALSE(lines_with(saved, "down right").empty()) << saved;

  // Enter continues: the game goes on from the state the save left, and the
  // save grows from there.
  GameProcess again(dir, true, {"--scale", "1"});
  ASSERT_FALSE(again.window().empty()) << again.err();
  again.xdo("key Return sleep 0.5 key Escape");
  EXPECT_EQ(again.wait_exit(), 0) << again.err();
  const std::string continued = file_text(save);
  ASSERT_TRUE(continued.starts_with(saved));
  const std::string from = "# continued at frame " + last.lines.back().substr(0, last.lines.back().find(' ')) + ",";
  EXPECT_TRUE(continued.substr(saved.size()).starts_with(from)) << continued.substr(saved.size());
  EXPECT_EQ(lines_with(continued.substr(saved.size()), "expect ").front(), "expect " + last.lines.back());
  EXPECT_EQ(run_in(dir, "'" + REPLAY + "' '" + save + "'").status, 0);
  EXPECT_EQ(file_text(save + ".bak").substr(0, saved.size()), saved);
}

TEST_F(GameInX, RestartAndPauseLeaveTheRunAsPlayed) {
  Game game(levels(), {"--record", "run.txt"});
  ASSERT_FALSE(game.window().empty()) << game.err();
  const auto entry = game.replay_snap("");
  game.xdo("keydown Right sleep 0.5 keyup Right sleep 0.2");
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p != entry; }));
  game.xdo("key r");  // back to the hub as it was entered
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p == entry; })) << "R did not restart the level";
  game.xdo("key p");
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p != entry; })) << "no pause picture";
  std::this_thread::sleep_for(1500ms);
  game.xdo("key p");
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p == entry; })) << "the pause did not end";
  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(), 0) << game.err();

  // The run replays as played: the restart leaves the undone part as
  // comments, and the pause leaves nothing, not even a catch-up burst.
  const std::string run = file_text(game.dir() + "/run.txt");
  EXPECT_EQ(lines_with(run, "# the hub restarted at frame ").size(), 1u) << run;
  EXPECT_EQ(lines_with(run, "# down right").size(), 1u) << run;
  for (const std::string& burst : lines_with(run, "burst ")) EXPECT_LT(std::stoul(burst.substr(6)), 15u) << run;
  EXPECT_TRUE(lines_with(run, "down 80").empty() && lines_with(run, "down 82").empty()) << run;
  EXPECT_TRUE(lines_with(run, "down esc").empty()) << "the quitting key is recorded";
  EXPECT_EQ(run_in(game.dir(), "'" + REPLAY + "' run.txt").status, 0);
  EXPECT_EQ(file_text(save_of(game.dir())), run) << "the journey's save and the recording differ";
}

TEST_F(GameInX, ASaveCutShortOrInUseLosesNothing) {
  std::string save;
  {
    Game first(levels());
    ASSERT_FALSE(first.window().empty()) << first.err();
    first.xdo("keydown Right sleep 0.3 keyup Right");
    // A second game on the same level file says so and keeps its hands off.
    GameProcess second(first.dir(), true, {"--scale", "1"});
    for (int i = 0; i < 100 && second.err().empty(); ++i) std::this_thread::sleep_for(100ms);
    EXPECT_NE(second.err().find("progress is not being saved: another game is playing this level file"),
              std::string::npos)
        << second.err();
    kill(second.pid(), SIGTERM);
    EXPECT_EQ(second.wait_exit(), 128 + SIGTERM);
    first.xdo("key Escape");
    EXPECT_EQ(first.wait_exit(), 0) << first.err();
    save = save_of(first.dir());
    EXPECT_TRUE(lines_with(file_text(save), "# continued").empty());

    // Cut anywhere: a shorter run to continue, the torn file kept aside.
    std::string text = file_text(save);
    text.resize(std::random_device()() % text.size());
    std::ofstream(save, std::ios::binary | std::ios::trunc) << text;
    GameProcess cut(first.dir(), true, {"--scale", "1"});
    ASSERT_FALSE(cut.window().empty()) << cut.err();
    cut.xdo("key Escape");
    EXPECT_EQ(cut.wait_exit(), 0) << cut.err();
    const bool whole_lines = text.empty() || text.back() == '\n';
    // Cut before its first frame, a save holds no journey, and the new one
    // is saved over it (kept as its .bak).
    const bool played = text.find("\nframes ") != std::string::npos || text.find("\nburst ") != std::string::npos;
    if (played || !whole_lines) {
      EXPECT_EQ(file_text(whole_lines ? save : save + ".damaged"), text) << cut.err();
    }
    if (!whole_lines) {
      EXPECT_NE(cut.err().find("it is cut short"), std::string::npos) << cut.err();
    }

    // A folder where the save should be is kept aside too; a new journey
    // begins and is saved.
    std::filesystem::remove(save);
    std::filesystem::create_directory(save);
    GameProcess folder(first.dir(), true, {"--scale", "1"});
    ASSERT_FALSE(folder.window().empty()) << folder.err();
    folder.xdo("key Return sleep 0.3 key Escape");  // New journey
    EXPECT_EQ(folder.wait_exit(), 0) << folder.err();
    EXPECT_TRUE(std::filesystem::is_directory(save + ".damaged" + (whole_lines ? "" : "-1")));
    EXPECT_EQ(run_in(first.dir(), "'" + REPLAY + "' '" + save + "'").status, 0);
  }
}

// ---- Settings ----

TEST_F(GameInX, TheSettingsFileBindsKeysSlowsPlayShowsTheGuideAndNamesItsBadLine) {
  const std::string config = make_temp_dir();
  Game game(levels(), {"--record", "run.txt"}, {"XDG_CONFIG_HOME=" + config});
  game.xdo("key Escape");  // the first run writes the commented defaults
  ASSERT_EQ(game.wait_exit(), 0) << game.err();
  const std::string path = config + "/tervalon/settings.ini";
  std::string ini = file_text(path);
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"right = Right, D", "right = J"},
                                 {"speed = 100", "speed = 40"},
                                 {"guide = no", "guide = yes"},
                                 {"volume = 70", "volume = loud"}}) {
    ASSERT_NE(ini.find(from), std::string::npos) << ini;
    ini.replace(ini.find(from), from.size(), to);
  }
  std::ofstream(path) << ini;
  const auto line_of = [&](const std::string& text) {
    return std::count(ini.begin(), ini.begin() + static_cast<std::ptrdiff_t>(ini.find(text)), '\n') + 1;
  };

  std::filesystem::remove_all(game.dir() + "/tervalon/" +
                              std::filesystem::path(save_of(game.dir())).filename().string());
  const auto began = std::chrono::steady_clock::now();
  GameProcess again(game.dir(), true, {"--scale", "1", "--record", "run.txt"}, {"XDG_CONFIG_HOME=" + config});
  ASSERT_FALSE(again.window().empty()) << again.err();
  EXPECT_NE(again.err().find("settings.ini:" + std::to_string(line_of("volume = loud")) + ": "), std::string::npos)
      << again.err();
  // The guide's strip is over the window's picture, never in the replay tool's.
  const auto start = game.replay_snap("");
  const std::size_t row = start.size() / 240;  // the hub is 12 cells high
  EXPECT_TRUE(again.wait_picture([&](const auto& p) {
    return p.size() == start.size() && !std::equal(p.begin(), p.begin() + row * 10, start.begin()) &&
           std::equal(p.begin() + row * 60, p.begin() + row * 160, start.begin() + row * 60);
  })) << "no guide over the top of the picture";
  again.xdo("keydown j sleep 1 keyup j sleep 1 key Escape");
  EXPECT_EQ(again.wait_exit(), 0) << again.err();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

  // J ran the player; at 40% a frame lasts 2.5 times as long, and the run
  // replays as it was played.
  const std::string run = file_text(game.dir() + "/run.txt");
  EXPECT_FALSE(lines_with(run, "down right").empty()) << run;
  EXPECT_EQ(lines_with(run, "# played at 40% speed").size(), 1u) << run;
  ToolRun replayed = run_in(game.dir(), "'" + REPLAY + "' run.txt");
  ASSERT_EQ(replayed.status, 0) << replayed.err;
  ASSERT_FALSE(replayed.lines.empty());
  const double frames = std::strtod(replayed.lines.back().c_str(), nullptr);
  EXPECT_LT(frames, seconds * 60 * 0.5) << "not slowed down";
  EXPECT_GT(frames, 60) << "no frames ran";
}

// ---- Sound ----

TEST_F(GameInX, AJumpIsHeardAndStandingStillIsSilent) {
  const std::string dir = make_temp_dir();
  const std::string audio = dir + "/audio.raw";
  Game game(levels(), {"--play", write_file(dir, "jump.txt", "frames 60\ndown up\nframes 1\nup up\nframes 150\n")},
            {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + audio});
  ASSERT_FALSE(game.window().empty()) << game.err();
  std::this_thread::sleep_for(4s);
  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(), 0) << game.err();

  // The device's samples from its opening, a little before the first frame:
  // silent for the second the player stands, the jump (and its landing)
  // heard after it, silent again once the player stands still.
  const std::string bytes = file_text(audio);
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  const auto loud = [&](std::size_t from, std::size_t to) {
    for (std::size_t at = from; at < to && at < samples.size(); ++at)
      if (samples[at] != 0) return true;
    return false;
  };

  constexpr std::size_t RATE = 48000;
  const auto heard = std::find_if(samples.begin(), samples.end(), [](std::int16_t s) { return s != 0; });
  ASSERT_NE(heard, samples.end()) << "the jump is not heard";
  const auto jump = static_cast<std::size_t>(heard - samples.begin());
  // The device opens on a thread of its own once the first picture is out,
  // a few milliseconds after it on a busy machine: a sound while standing
  // would come at the first frames, not half a second on.
  EXPECT_GE(jump, RATE / 2) << "a sound while standing";
  EXPECT_LT(jump, RATE * 2) << "the jump is heard late";
  // A jump from the floor lands 65 frames later; its sound lasts under 0.3 s.
  ASSERT_GT(samples.size(), jump + RATE * 12 / 5);
  EXPECT_TRUE(loud(jump + RATE, jump + RATE * 3 / 2)) << "the landing is not heard";
  EXPECT_FALSE(loud(jump + RATE * 8 / 5, jump + RATE * 12 / 5)) << "a sound while standing still";
}

}  // namespace
}  // namespace tervalon::test
