// Sound through a real SDL audio device (the disk driver, which writes what
// the mixer made to a file at the device's pace), a missing device, one that
// never opens, and the mixer's repeats, thinning and saturation by themselves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include "display/audio.h"

using namespace display;

namespace {

// A sound with no silent sample, so where it starts and ends shows in the output.
std::vector<std::int16_t> tone(std::size_t frames) {
  std::vector<std::int16_t> s(frames);
  for (std::size_t i = 0; i < frames; ++i)
    s[i] = static_cast<std::int16_t>((i % 2 == 0 ? 1 : -1) * static_cast<int>(4000 + i % 997));
  return s;
}

std::size_t frames_in(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<std::size_t>(st.st_size) / sizeof(std::int16_t) : 0;
}

// Waits (child only) until the device has written `frames` frames.
void wait_for_frames(const std::string& path, std::size_t frames) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (frames_in(path) < frames) {
    if (std::chrono::steady_clock::now() > end) _exit(3);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Runs `body` in a child process, so that neither its environment nor SDL's
// audio state reaches other tests; its exit code.
int in_child(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::size_t first_sound(const std::vector<std::int16_t>& out, std::size_t from) {
  while (from < out.size() && out[from] == 0) ++from;
  return from;
}

bool silent(const std::vector<std::int16_t>& out, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to && i < out.size(); ++i)
    if (out[i] != 0) return false;
  return true;
}

// The volume set before the device opened is the one it starts at.
TEST(Audio, TheDevicePlaysARequestWithinABufferAtItsVolumeAndNothingMuted) {
  const std::string file = testing::TempDir() + "tervalon_audio_" + std::to_string(getpid());
  const std::vector<std::int16_t> sound = tone(4800);
  constexpr std::size_t FRAME = AUDIO_RATE / 60;  // one pass of the game's loop
  const std::size_t gap = sound.size() + std::size_t{4} * AUDIO_BUFFER;
  // The child notes how much the device had written when it asked for each
  // sound: positions come from the file, not from the clock.
  const int code = in_child([&] {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    set_volume(50);
    open_audio({sound}, true);
    if (!wait_audio()) return 2;
    std::ofstream marks(file + ".marks");
    for (const int phase : {0, 1, 2}) {
      if (phase == 1) set_volume(100);
      if (phase == 2) set_muted(true);
      wait_for_frames(file, frames_in(file) + std::size_t{2} * AUDIO_BUFFER);  // the setting has taken effect
      const std::size_t mark = frames_in(file);
      play_sound(0);
      marks << mark << '\n';
      wait_for_frames(file, mark + gap);
    }
    close_audio();
    return marks.flush() ? 0 : 4;
  });
  ASSERT_EQ(code, 0);
  const std::string bytes = read_all(file);
  std::vector<std::int16_t> out(bytes.size() / sizeof(std::int16_t));
  std::memcpy(out.data(), bytes.data(), out.size() * sizeof(std::int16_t));
  std::istringstream marks(read_all(file + ".marks"));
  std::size_t half = 0, full = 0, muted_at = 0;
  ASSERT_TRUE(marks >> half >> full >> muted_at);
  std::remove(file.c_str());
  std::remove((file + ".marks").c_str());
  ASSERT_GE(out.size(), muted_at + gap);

  EXPECT_TRUE(silent(out, 0, half)) << "nothing before the request";
  // Volume 50 on the squared curve: a quarter of each sample.
  const std::size_t quiet = first_sound(out, half);
  EXPECT_LE(quiet - half, AUDIO_BUFFER + FRAME) << "from the request to the sound";
  ASSERT_LE(quiet + sound.size(), out.size());
  for (std::size_t i = 0; i < sound.size(); ++i) ASSERT_NEAR(out[quiet + i], sound[i] / 4.0, 1.0) << "frame " << i;
  EXPECT_TRUE(silent(out, quiet + sound.size(), full)) << "silence after the sound";

  const std::size_t start = first_sound(out, full);
  EXPECT_LE(start - full, AUDIO_BUFFER + FRAME);
  ASSERT_LE(start + sound.size(), out.size());
  for (std::size_t i = 0; i < sound.size(); ++i) ASSERT_EQ(out[start + i], sound[i]) << "frame " << i;
  EXPECT_TRUE(silent(out, start + sound.size(), out.size())) << "muted, the last request is not heard";
}

// No such driver, and ALSA asked for a device it does not know (which it
// would complain about on standard error, line after line): the game's own
// line is all that is said.
TEST(Audio, WithoutADeviceOpeningFailsAndSaysSoOnce) {
  for (const char* driver : {"nonexistent", "alsa"}) {
    const std::string err = testing::TempDir() + "tervalon_audio_err_" + std::to_string(getpid());
    const int code = in_child([&] {
      setenv("SDL_AUDIODRIVER", driver, 1);
      setenv("AUDIODEV", "tervalon_no_such_device", 1);
      const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(fd, 2);
      open_audio({tone(100)}, true);
      const bool first = wait_audio();
      close_audio();
      open_audio({tone(100)}, true);
      const bool second = wait_audio();
      play_sound(0);  // nothing open: nothing happens
      close_audio();
      return first || second ? 1 : 0;
    });
    EXPECT_EQ(code, 0) << driver << ": the device opened";
    const std::string said = read_all(err);
    std::remove(err.c_str());
    EXPECT_EQ(said.rfind("tervalon: no sound: ", 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_GT(said.size(), sizeof("tervalon: no sound: \n")) << driver << ": a reason is given";
  }
}

// The disk driver's file a FIFO nobody reads: opening it never ends. Nothing
// the game thread calls waits for it, the game is told after the limit, and
// closing leaves the stuck thread to the process's end.
TEST(Audio, ADeviceThatNeverOpensIsGivenUpAndNeverWaitedFor) {
  const std::string dir = testing::TempDir() + "tervalon_audio_fifo_" + std::to_string(getpid());
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  const std::string fifo = dir + "/fifo", err = dir + "/err";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int code = in_child([&] {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", fifo.c_str(), 1);
    const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2);
    open_audio({tone(100)}, true);
    play_sound(0);
    set_volume(30);
    if (wait_audio()) return 1;
    close_audio();
    return volume() == 30 ? 0 : 2;
  });
  EXPECT_EQ(code, 0);
  const std::string said = read_all(err);
  EXPECT_EQ(said.rfind("tervalon: no sound: ", 0), 0u) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  std::filesystem::remove_all(dir);
}

TEST(Audio, QuickRepeatsPlayQuieterUntilAPauseAndTheSumSaturates) {
  Mixer mixer({std::vector<std::int16_t>(9600, 10000), std::vector<std::int16_t>(512, 30000)});
  std::vector<std::int16_t> out(AUDIO_BUFFER);
  const auto play = [&](std::uint32_t id) {
    ASSERT_TRUE(mixer.request(id));
    mixer.mix(out.data(), out.size(), Mixer::UNIT);
  };
  play(0);
  EXPECT_EQ(out[0], 10000);
  play(0);  // 512 frames later: 60%
  EXPECT_EQ(out[0], 16000);
  play(0);  // and 60% of that
  EXPECT_NEAR(out[0], 19600, 1);
  EXPECT_EQ(mixer.voices(), 3u);
  for (int k = 0; k < 20; ++k) mixer.mix(out.data(), out.size(), Mixer::UNIT);
  EXPECT_EQ(mixer.voices(), 0u);
  play(0);  // after a pause: full again
  EXPECT_EQ(out[0], 10000);
  play(1);  // 10000 + 30000 stays within 16 bits
  EXPECT_EQ(out[0], INT16_MAX);
  EXPECT_FALSE(mixer.request(2)) << "no such sound";
}

// Play far faster than real time asks for every sound in every buffer:
// each displayed frame starts at most two, together they are never louder
// than the loudest alone, and none is cut short; once they end, and the
// crowd is over, sounds start again and two may sound at once.
TEST(Audio, RequestsFasterThanPlayAreThinnedToWhatFullSpeedMakes) {
  std::vector<std::vector<std::int16_t>> sounds;
  sounds.reserve(6);
  for (int k = 0; k < 6; ++k) sounds.emplace_back(4800, static_cast<std::int16_t>(1000 * (k + 1)));
  Mixer mixer(sounds);
  std::vector<std::int16_t> out(Mixer::FRAME_AUDIO / 4);
  int loudest = 0;
  std::size_t in_frame = 0;  // voices that began in this frame's four buffers
  for (int b = 0; b < 200; ++b) {
    for (std::uint32_t id = 0; id < sounds.size(); ++id) ASSERT_TRUE(mixer.request(id));
    const std::size_t before = mixer.voices();
    mixer.mix(out.data(), out.size(), Mixer::UNIT);
    if (b % 4 == 0) in_frame = 0;
    in_frame += mixer.voices() > before ? mixer.voices() - before : 0;
    EXPECT_LE(in_frame, Mixer::STARTS_PER_FRAME) << "buffer " << b;
    for (const std::int16_t x : out) loudest = std::max(loudest, int{x});
  }
  // A start takes only what the others leave: never above the loudest sound.
  EXPECT_LE(loudest, 6000);
  EXPECT_GT(loudest, 0);
  // Stopped requests let the voices end whole, and a new one plays in full.
  for (std::uint64_t k = 0; k < 4 * Mixer::CROWDED_FRAMES / out.size(); ++k)
    mixer.mix(out.data(), out.size(), Mixer::UNIT);
  EXPECT_EQ(mixer.voices(), 0u);
  ASSERT_TRUE(mixer.request(5));
  ASSERT_TRUE(mixer.request(5));  // asked twice in one buffer: started once
  ASSERT_TRUE(mixer.request(4));
  mixer.mix(out.data(), out.size(), Mixer::UNIT);
  EXPECT_EQ(out[0], 6000 + 5000);
  EXPECT_EQ(mixer.voices(), 2u);
}

}  // namespace
