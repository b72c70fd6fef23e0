// The recording when a run-time error ends the game: everything the game ran,
// up to the frame that failed, is in the file.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "rules.h"
#include "base/runtime_error.h"
#include "session.h"
#include "support.h"

namespace tervalon::test {
namespace {

TEST(Recording, ARunTimeErrorLeavesTheRunUpToTheFailingFrameInTheFile) {
  const std::string path = make_temp_dir() + "/run.txt";
  EXPECT_EXIT(
      {
        start({{1, room(12, 6, 3, 4, 9, 4)}});
        Options o;
        o.record = path;
        if (!start_session(o)) std::exit(1);
        record_message(WM_KEYDOWN, K_RIGHT);
        handle_message(WM_KEYDOWN, K_RIGHT);
        for (int i = 0; i < 3; ++i) {
          game_frame();
          record_pass(1);
        }
        game_frame();  // a pass under way when the error strikes
        game_frame();
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
