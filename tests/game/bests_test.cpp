// Bests kept by several games in one folder: merged, never overwritten by a
// slower run, and written off the game's thread.
#include "game/journey/bests.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "base/file.h"
#include "tests/game/support.h"

namespace tervalon {
namespace {

using test::room;

class BestsTest : public testing::Test {
 protected:
  // Two level files that share their level 2 and differ in level 1.
  void SetUp() override {
    test::load(
        a, test::level_file({{1, room(8, 6, 1, 4, 6, 1)}, {1, room(8, 6, 1, 4, 6, 2)}, {1, room(8, 6, 2, 4, 5, 1)}}));
    test::load(
        b, test::level_file({{1, room(8, 6, 1, 4, 6, 1)}, {1, room(8, 6, 1, 3, 6, 2)}, {1, room(8, 6, 2, 4, 5, 1)}}));
    ASSERT_NE(level_hash(a, 1), level_hash(b, 1));
  }
  std::string read(const std::string& name) {
    std::string text;
    base::read_file(folder + "/" + name, text);
    return text;
  }
  std::string recording(int level, int pass) {
    return read("best-" + level_hash(a, level).substr(0, 16) + "-" + std::to_string(pass) + ".txt");
  }
  std::string line(const Game& g, int level, int pass, std::uint64_t frames) {
    return level_hash(g, level) + " " + std::to_string(pass) + " " + std::to_string(frames) + "\n";
  }
  const std::string folder = test::make_temp_dir();
  std::unique_ptr<Game> ga = std::make_unique<Game>(), gb = std::make_unique<Game>();
  Game &a = *ga, &b = *gb;
};

TEST_F(BestsTest, GamesSharingAFolderMergeTheirBestsAndKeepTheFaster) {
  test::write_file(folder, "bests.txt", "not a best\nffff 1 7");
  Bests one, two;
  one.load(folder, a);
  two.load(folder, b);
  EXPECT_TRUE(one.offer(2, 1, 300, "one 300"));
  EXPECT_TRUE(two.offer(1, 1, 400, "two 400"));
  one.flush();
  // Two has not seen one's 300 yet: its slower run is let go by the write.
  EXPECT_TRUE(two.offer(2, 1, 350, "two 350"));
  EXPECT_TRUE(one.offer(1, 2, 500, "one 500"));
  two.flush();
  one.flush();
  EXPECT_FALSE(one.offer(2, 1, 301, "slower"));
  EXPECT_EQ(two.best(2, 1), 300u);
  EXPECT_EQ(recording(2, 1), "one 300");
  const std::string list = read("bests.txt");
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 5) << list;
  for (const std::string& l :
       {std::string("not a best\nffff 1 7\n"), line(a, 2, 1, 300), line(b, 1, 1, 400), line(a, 1, 2, 500)})
    EXPECT_NE(list.find(l), std::string::npos) << l << " in\n" << list;
  Bests three;
  three.load(folder, b);
  EXPECT_EQ(three.best(1, 1), 400u);
  EXPECT_EQ(three.best(2, 1), 300u);
  EXPECT_EQ(one.take_failure() + two.take_failure(), "");
}

TEST_F(BestsTest, RacingGamesEndWithTheFastestRunAndItsRecording) {
  Bests one, two;
  one.load(folder, a);
  two.load(folder, a);
  auto offers = [](Bests& bests, std::uint64_t from) {
    for (std::uint64_t n = from; n > 1000; n -= 2) bests.offer(2, 1, n, "run " + std::to_string(n));
    bests.flush();
  };
  std::thread other(offers, std::ref(one), 1600);
  offers(two, 1599);
  other.join();
  EXPECT_EQ(read("bests.txt"), line(a, 2, 1, 1001));
  EXPECT_EQ(recording(2, 1), "run 1001");
  EXPECT_EQ(one.take_failure() + two.take_failure(), "");
}

TEST_F(BestsTest, ALockOrListThatIsNotARegularFileIsLeftAndTheWriteSaysWhy) {
  ASSERT_EQ(symlink("elsewhere", (folder + "/bests.lock").c_str()), 0);
  test::write_file(folder, "bests.txt", "x 1 5\n");
  Bests one;
  one.load(folder, a);
  EXPECT_TRUE(one.offer(1, 1, 100, "run"));
  one.flush();
  EXPECT_NE(one.take_failure().find("bests.lock: a symbolic link"), std::string::npos);
  EXPECT_EQ(one.take_failure(), "");
  EXPECT_EQ(one.best(1, 1), 100u);
  unlink((folder + "/bests.lock").c_str());
  unlink((folder + "/bests.txt").c_str());
  ASSERT_EQ(mkfifo((folder + "/bests.txt").c_str(), 0600), 0);
  EXPECT_TRUE(one.offer(1, 1, 90, "run"));
  one.flush();
  EXPECT_NE(one.take_failure().find("bests.txt: a FIFO, not a regular file; not replaced"), std::string::npos);
  EXPECT_EQ(recording(1, 1), "");

  // A best whose recording cannot be written is said, and not listed.
  unlink((folder + "/bests.txt").c_str());
  const std::string run = folder + "/best-" + level_hash(a, 2).substr(0, 16) + "-1.txt";
  ASSERT_EQ(mkdir(run.c_str(), 0700), 0);
  EXPECT_TRUE(one.offer(2, 1, 80, "run"));
  one.flush();
  EXPECT_NE(one.take_failure().find(run + ": cannot write: "), std::string::npos);
  EXPECT_EQ(read("bests.txt").find(level_hash(a, 2)), std::string::npos) << read("bests.txt");
}

}  // namespace
}  // namespace tervalon
