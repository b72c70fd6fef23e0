// The game's command line: values, ranges, the script list of --play, and
// how a bad or unknown option stops the program.
#include <gtest/gtest.h>

#include <vector>

#include "game/app/options.h"

namespace tervalon {
namespace {

ParsedOptions parse(std::vector<const char*> args) {
  args.insert(args.begin(), "tervalon");
  return parse_options(static_cast<int>(args.size()), args.data());
}

TEST(Options, NoneGiveTheDefaults) {
  ParsedOptions p = parse({});
  EXPECT_FALSE(p.stop);
  EXPECT_EQ(p.options.scale, 0u);
  EXPECT_FALSE(p.options.fullscreen);
  EXPECT_EQ(p.options.play_speed, 1u);
  EXPECT_TRUE(p.options.play.empty());
  EXPECT_TRUE(p.options.record.empty());
}

TEST(Options, PlayTakesEveryFileUpToTheNextOption) {
  ParsedOptions p = parse(
      {"--play", "a.txt", "b.txt", "--speed", "0", "--record", "r.txt", "--scale", "3", "--fullscreen"});
  ASSERT_FALSE(p.stop);
  EXPECT_EQ(p.options.play, (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(p.options.play_speed, 0u);
  EXPECT_EQ(p.options.record, "r.txt");
  EXPECT_EQ(p.options.scale, 3u);
  EXPECT_TRUE(p.options.fullscreen);
}

TEST(Options, BadValuesAndUnknownOptionsStopWith2AndHelpWith0) {
  testing::internal::CaptureStderr();
  for (auto args : std::vector<std::vector<const char*>>{{"--scale", "0"},
                                                         {"--scale", "17"},
                                                         {"--scale", "2x"},
                                                         {"--scale"},
                                                         {"--speed", "-1"},
                                                         {"--speed", "1001"},
                                                         {"--play"},
                                                         {"--play", "--fullscreen"},
                                                         {"--record"},
                                                         {"--record", "--fullscreen"},
                                                         {"--windowed"},
                                                         {"x"}}) {
    ParsedOptions p = parse(args);
    EXPECT_TRUE(p.stop) << args[0];
    EXPECT_EQ(p.exit_code, 2) << args[0];
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("usage: tervalon"), std::string::npos);
  EXPECT_NE(err.find("unknown option \"--windowed\""), std::string::npos);

  testing::internal::CaptureStdout();
  ParsedOptions help = parse({"--scale", "2", "--help"});
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(help.stop);
  EXPECT_EQ(help.exit_code, 0);
  for (const char* word : {"--scale", "--fullscreen", "--record", "--play", "--speed", "F11", "Alt+Enter", "Escape"})
    EXPECT_NE(out.find(word), std::string::npos) << word;

  testing::internal::CaptureStdout();
  ParsedOptions version = parse({"--version"});
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "tervalon " TERVALON_VERSION "\n");
  EXPECT_TRUE(version.stop);
  EXPECT_EQ(version.exit_code, 0);
}

// The settings fill in what the command line left open; --scale and
// --fullscreen win over them.
TEST(Options, TheSettingsTakeWhatTheCommandLineLeftOpen) {
  Settings s = default_settings();
  s.window_scale = 5, s.fullscreen = true, s.fit = true, s.guide = true, s.speed = 60, s.volume = 30;
  Options o;
  take_settings(o, s);
  EXPECT_TRUE(o.scale == 5 && o.fullscreen && o.fit && o.guide && o.speed == 60 && o.volume == 30);
  Options given = parse({"--scale", "2", "--fullscreen"}).options;
  s.fullscreen = false;
  take_settings(given, s);
  EXPECT_TRUE(given.scale == 2 && given.fullscreen);
}

}  // namespace
}  // namespace tervalon
