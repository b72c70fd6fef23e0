// The recording when a run-time error ends the game: everything the game ran,
// up to the frame that failed, is in the file.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "base/runtime_error.h"
#include "game/replay/session.h"
#include "game/rules/rules.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

TEST(Recording, ARunTimeErrorLeavesTheRunUpToTheFailingFrameInTheFile) {
  const std::string path = make_temp_dir() + "/run.txt";
  EXPECT_EXIT(
      {
        auto game = std::make_unique<Game>();
        Game& g = *game;
        start(g, {{1, room(12, 6, 3, 4, 9, 4)}});
        Recorder recorder(g);
        if (!recorder.open(path)) std::exit(1);
        recorder.message(WM_KEYDOWN, K_RIGHT);
        handle_message(g, WM_KEYDOWN, K_RIGHT);
        for (int i = 0; i < 3; ++i) recorder.pass(frame_pass(g, 1).frames);
        game_frame(g);  // a pass under way when the error strikes
        game_frame(g);
        base::runtime_error(201);
      },
      testing::ExitedWithCode(201), "Runtime error 201 at");
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  const std::string run = text.str();
  EXPECT_EQ(run.find("# Tervalon "), 0u) << run;
  EXPECT_NE(run.find("\ncheat 0\ndown right\nframes 3\nburst 2\n"), std::string::npos) << run;
}

}  // namespace
}  // namespace tervalon::test
