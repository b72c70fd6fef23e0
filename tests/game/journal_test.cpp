// A file that grows: appended to in place, rewritten (and backed up) only for
// a change before its end, a setting aside or a file that is gone; whatever
// is handed over, however it is merged before the writer gets to it, ends
// up in the file as the owner last said.
#include "base/storage.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/game/support.h"

// Some file systems (network and FUSE ones) refuse to copy in the kernel;
// while this is set, the journal is on one.
static std::atomic<bool> kernel_copy_refused{false};

extern "C" ssize_t copy_file_range(int in, loff_t* in_at, int out, loff_t* out_at, size_t n, unsigned flags) {
  if (kernel_copy_refused) {
    errno = EXDEV;
    return -1;
  }
  return syscall(SYS_copy_file_range, in, in_at, out, out_at, n, flags);
}

namespace tervalon::test {
namespace {

std::string text_of(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

ino_t inode_of(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_ino;
}

// Whether every thread of the test but this one sleeps.
bool others_asleep() {
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    if (task.path().filename() == std::to_string(gettid())) continue;
    const std::string stat = text_of(task.path() / "stat");
    if (stat.substr(stat.rfind(')') + 2, 1) != "S") return false;
  }
  return true;
}

TEST(Journal, GrowsInPlaceAndIsRewrittenOnlyWhenItMust) {
  const std::string dir = make_temp_dir(), path = dir + "/save.txt";
  auto lock = std::make_unique<base::FileLock>();
  std::string why;
  ASSERT_TRUE(lock->take(dir + "/save.lock", why)) << why;
  const auto j = base::storage().journal(path, {path + ".bak", std::move(lock), nullptr});
  j->append("a\n");
  j->append("b\n");
  ASSERT_TRUE(j->flush()) << j->failure();
  const ino_t first = inode_of(path);
  j->append("c\n");
  ASSERT_TRUE(j->flush());
  EXPECT_EQ(text_of(path), "a\nb\nc\n");
  EXPECT_EQ(inode_of(path), first) << "an addition rewrote the file";

  j->replace_from(2, "x\n");
  ASSERT_TRUE(j->flush());
  EXPECT_EQ(text_of(path), "a\nx\n");
  EXPECT_EQ(text_of(path + ".bak"), "a\nb\nc\n");

  j->set_aside(path + ".aside");
  j->append("y\n");
  ASSERT_TRUE(j->flush());
  EXPECT_EQ(text_of(path + ".aside"), "a\nx\n");
  EXPECT_EQ(text_of(path), "a\nx\ny\n");

  // Gone with its folder: made again whole, the lock with it.
  std::filesystem::remove_all(dir);
  j->append("z\n");
  ASSERT_TRUE(j->flush()) << j->failure();
  EXPECT_EQ(text_of(path), "a\nx\ny\nz\n");
  EXPECT_TRUE(std::filesystem::exists(dir + "/save.lock"));

  // Many changes handed over before the writer sees them are merged.
  for (int i = 0; i < 1000; ++i) {
    j->append("line " + std::to_string(i) + "\n");
    if (i % 7 == 0) j->replace_from(j->length() - 2, "!\n");
  }
  EXPECT_TRUE(j->flush());
  std::string expected = "a\nx\ny\nz\n";
  for (int i = 0; i < 1000; ++i) {
    expected += "line " + std::to_string(i) + "\n";
    if (i % 7 == 0) expected.replace(expected.size() - 2, 2, "!\n");
  }
  EXPECT_EQ(text_of(path), expected);
}

TEST(Journal, AdoptsAFileItContinuesAndKeepsItAsTheBackup) {
  const std::string dir = make_temp_dir(), path = write_file(dir, "save.txt", "old\n");
  const auto j = base::storage().journal(path, {path + ".bak", nullptr, nullptr});
  ASSERT_TRUE(j->adopt(4));
  j->append("new\n");
  ASSERT_TRUE(j->flush());
  EXPECT_EQ(text_of(path), "old\nnew\n");
  EXPECT_EQ(text_of(path + ".bak"), "old\n");
}

// What is handed over reaches the file on the writer's own thread, with no
// flush asked for; a file shorter than it is said to hold is not adopted.
TEST(Journal, WritesOnItsOwnThreadAndAdoptsOnlyAFileHoldingWhatItSays) {
  const std::string dir = make_temp_dir(), path = dir + "/save.txt";
  {
    const auto j = base::storage().journal(path, {});
    // The second once the writer sleeps, woken by the hand-over.
    for (const std::string wanted : {"a", "ab\n"}) {
      for (int i = 0; i < 60000 && !others_asleep(); ++i) usleep(1000);
      j->append(wanted.substr(j->length()));
      for (int i = 0; i < 60000 && text_of(path) != wanted; ++i) usleep(1000);  // the state, on a busy machine too
      ASSERT_EQ(text_of(path), wanted);
    }
    EXPECT_EQ(j->length(), 3u);
  }
  const auto j = base::storage().journal(path, {});
  EXPECT_FALSE(j->adopt(4));
  EXPECT_EQ(j->length(), 0u);
  // Keeping the start of a file it never wrote cannot be done, and says why.
  j->replace_from(2, "c\n");
  EXPECT_FALSE(j->flush());
  EXPECT_EQ(j->failure(), path + ": cannot write: what it held before is lost");
  EXPECT_EQ(text_of(path), "ab\n");
}

// Where the kernel will not copy, the start kept is copied through a buffer,
// in whole buffers and the one byte after them.
TEST(Journal, KeepsTheStartOfTheFileWhereTheKernelWillNotCopyIt) {
  const std::string dir = make_temp_dir(), path = dir + "/save.txt";
  const auto j = base::storage().journal(path, {});
  std::string text;
  for (int i = 0; text.size() < 70000; ++i) text += std::to_string(i) + "\n";
  j->append(text);
  ASSERT_TRUE(j->flush()) << j->failure();
  kernel_copy_refused = true;
  j->replace_from(65537, "end\n");
  EXPECT_TRUE(j->flush()) << j->failure();
  kernel_copy_refused = false;
  EXPECT_EQ(text_of(path), text.substr(0, 65537) + "end\n");
}

// A recording named by a relative path gets its missing folders, each one.
TEST(Journal, MakesTheMissingFoldersOfARelativePath) {
  const std::string dir = make_temp_dir();
  ASSERT_EQ(chdir(dir.c_str()), 0);
  const auto j = base::storage().journal("a/bc/run.txt", {});
  j->append("x\n");
  ASSERT_TRUE(j->flush()) << j->failure();
  EXPECT_EQ(text_of(dir + "/a/bc/run.txt"), "x\n");
}

}  // namespace
}  // namespace tervalon::test
