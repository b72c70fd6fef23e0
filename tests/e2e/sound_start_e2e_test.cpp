// The sound device opens after the window's first picture, off the game
// thread: a device that never opens (the disk driver writing into a FIFO
// nobody reads) or a sound server that takes the connection and never answers
// holds back neither the window nor the end of the game, and a device that
// opens does play.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "game_process.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

using namespace std::chrono_literals;

// A sound server that takes every connection and never says a word.
class SilentServer {
 public:
  explicit SilentServer(const std::string& path) : fd_(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    path.copy(a.sun_path, sizeof a.sun_path - 1);
    ok_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd_, 8) == 0;
    accepting_ = std::thread([this] {
      for (int c; (c = accept(fd_, nullptr, nullptr)) >= 0; taken_.push_back(c)) ++connections_;
    });
  }
  ~SilentServer() {
    shutdown(fd_, SHUT_RDWR);  // ends the accept
    accepting_.join();
    for (const int c : taken_) close(c);
    close(fd_);
  }
  bool ok() const { return ok_; }
  int connections() const { return connections_; }

 private:
  int fd_;
  bool ok_ = false;
  std::atomic<int> connections_{0};
  std::vector<int> taken_;  // the accepting thread's
  std::thread accepting_;
};

class SoundStart : public testing::Test {
 protected:
  PrivateX x;
  std::string dir = make_temp_dir();
  void SetUp() override {
    ASSERT_TRUE(x.ok()) << "no Xvfb";
    write_file(dir, "tervalon.dat", level_file({{1, room(20, 12, 3, 10, 17, 10)}}));
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // Waits until `done` holds; false after `limit`.
  template <typename Done>
  static bool wait_for(Done done, std::chrono::milliseconds limit = 10s) {
    for (const auto until = std::chrono::steady_clock::now() + limit; !done();) {
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(20ms);
    }
    return true;
  }

  static void escape_ends(GameProcess& game) {
    game.xdo("key Escape");
    EXPECT_EQ(game.wait_exit(), 0) << game.err();
  }
};

TEST_F(SoundStart, ADeviceThatNeverOpensHoldsBackNothing) {
  const std::string fifo = dir + "/sound";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  GameProcess game(dir, true, {}, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + fifo});
  ASSERT_FALSE(game.window().empty()) << game.err();
  escape_ends(game);
}

TEST_F(SoundStart, ASoundServerThatNeverAnswersHoldsBackNothing) {
  const SilentServer server(dir + "/pulse");
  ASSERT_TRUE(server.ok());
  GameProcess game(dir, true, {}, {"SDL_AUDIODRIVER=pulseaudio", "PULSE_SERVER=unix:" + dir + "/pulse"});
  ASSERT_FALSE(game.window().empty()) << game.err();
  EXPECT_TRUE(wait_for([&] { return server.connections() > 0; })) << "the game never asked the server";
  escape_ends(game);
}

TEST_F(SoundStart, ADeviceOpensOnceTheWindowShows) {
  const std::string file = dir + "/sound";
  GameProcess game(dir, true, {}, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + file});
  ASSERT_FALSE(game.window().empty()) << game.err();
  EXPECT_TRUE(wait_for([&] {
    std::error_code e;
    return std::filesystem::file_size(file, e) > 0 && !e;
  })) << "the device never played";
  escape_ends(game);
}

}  // namespace
}  // namespace tervalon::test
