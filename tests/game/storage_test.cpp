// The storage seam over POSIX: whole saves that keep their backup and leave
// nothing behind when they fail, names set aside that never overwrite, the
// journey's tidying of a killed game's temporaries, and locks.
#include "base/storage.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/file.h"
#include "game/journey/saves.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

std::string text_of(const std::string& path) {
  std::string text;
  base::read_file(path, text);
  return text;
}

std::vector<std::string> sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Storage, ASaveKeepsTheFileItReplacesAndOneThatFailsLeavesNothingBehind) {
  base::Storage& s = base::storage();
  const std::string dir = make_temp_dir(), path = dir + "/save.txt";
  std::string why;
  ASSERT_TRUE(s.save(path, "one", why, path + ".bak")) << why;
  EXPECT_FALSE(s.exists(path + ".bak")) << "a backup of nothing";
  ASSERT_TRUE(s.save(path, "two", why, path + ".bak")) << why;
  ASSERT_TRUE(s.save(path, "three", why, path + ".bak")) << why;
  EXPECT_EQ(text_of(path), "three");
  EXPECT_EQ(text_of(path + ".bak"), "two");

  ASSERT_EQ(mkdir((dir + "/folder").c_str(), 0700), 0);
  EXPECT_FALSE(s.save(dir + "/folder", "x", why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(sorted(s.list(dir)), sorted({"save.txt", "save.txt.bak"}));
  std::string bytes;
  int error = 0;
  EXPECT_FALSE(s.load(dir + "/folder", bytes, error, why));
  EXPECT_EQ(error, EISDIR);
  EXPECT_FALSE(s.load(dir + "/none", bytes, error, why));
  EXPECT_EQ(error, ENOENT);
}

TEST(Storage, FilesSetAsideTakeAFreeNameAndOnlyAGamesTemporariesAreTidied) {
  base::Storage& s = base::storage();
  const std::string dir = make_temp_dir(), path = write_file(dir, "save.txt", "a");
  write_file(dir, "save.txt.damaged", "older");
  EXPECT_EQ(s.move_aside(path, "damaged"), path + ".damaged-1");
  EXPECT_EQ(text_of(path + ".damaged"), "older");
  EXPECT_FALSE(s.exists(path));
  write_file(dir, "save.txt", "b");
  EXPECT_EQ(s.link_aside(path, "replaced"), path + ".replaced");
  EXPECT_EQ(text_of(path), "b");

  for (const char* name :
       {"save.txt.123.tmp", "save.txt.bak.9.tmp", "save.txt.x.tmp", "save.txt.1a.tmp", "save.txt.tmp"})
    write_file(dir, name, "");
  ASSERT_EQ(mkdir((dir + "/save.txt.7.tmp").c_str(), 0700), 0);
  ASSERT_EQ(symlink("save.txt", (dir + "/save.txt.8.tmp").c_str()), 0);
  remove_stray_temporaries(path);
  EXPECT_EQ(sorted(s.list(dir)), sorted({"save.txt", "save.txt.damaged", "save.txt.damaged-1", "save.txt.replaced",
                                         "save.txt.x.tmp", "save.txt.1a.tmp", "save.txt.tmp"}));
  EXPECT_TRUE(s.exists(dir + "/save.txt.7.tmp") && s.exists(dir + "/save.txt.8.tmp"));
}

// The game's folders are made where the XDG variables say, else under HOME;
// one that cannot be made says which part failed and why.
TEST(Storage, FoldersAreMadeWhereTheEnvironmentSaysOrSayWhyNot) {
  base::Storage& s = base::storage();
  const std::string dir = make_temp_dir();
  std::string why;
  setenv("XDG_CONFIG_HOME", (dir + "/a/b").c_str(), 1);  // NOLINT(concurrency-mt-unsafe): no other thread
  EXPECT_EQ(s.folder(base::Storage::Folder::config, why), dir + "/a/b/tervalon") << why;
  setenv("XDG_DATA_HOME", "relative", 1);  // NOLINT(concurrency-mt-unsafe)
  setenv("HOME", dir.c_str(), 1);          // NOLINT(concurrency-mt-unsafe)
  EXPECT_EQ(s.folder(base::Storage::Folder::data, why), dir + "/.local/share/tervalon") << why;

  write_file(dir, "file", "");
  setenv("XDG_DATA_HOME", (dir + "/file").c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
  EXPECT_EQ(s.folder(base::Storage::Folder::data, why), "");
  EXPECT_EQ(why, dir + "/file/tervalon: " + std::strerror(ENOTDIR));
  write_file(dir, "tervalon", "");
  setenv("XDG_DATA_HOME", dir.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
  EXPECT_EQ(s.folder(base::Storage::Folder::data, why), "");
  EXPECT_EQ(why, dir + "/tervalon: not a folder");
  unsetenv("XDG_DATA_HOME");      // NOLINT(concurrency-mt-unsafe)
  setenv("HOME", "relative", 1);  // NOLINT(concurrency-mt-unsafe)
  EXPECT_EQ(s.folder(base::Storage::Folder::data, why), "");
  EXPECT_EQ(why, "neither XDG_DATA_HOME nor HOME names a folder");
}

TEST(Storage, ALockHeldElsewhereIsNotTakenUntilItIsLetGo) {
  base::Storage& s = base::storage();
  const std::string path = make_temp_dir() + "/a.lock";
  std::string why;
  std::unique_ptr<base::Lock> held = s.lock(path, why);
  ASSERT_TRUE(held && held->held()) << why;
  EXPECT_EQ(s.lock(path, why), nullptr);
  EXPECT_EQ(why, "");
  held.reset();
  EXPECT_NE(s.lock(path, why), nullptr) << why;
}

}  // namespace
}  // namespace tervalon::test
