// Recording a run as a script (the journey's save, --record), saved as it
// grows. Everything here runs on the game thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/storage.h"
#include "game/replay/playback.h"
#include "game/replay/recording_files.h"
#include "game/replay/script.h"
#include "game/rules/level_file.h"
#include "game/rules/state.h"

namespace tervalon {

// The game clock's milliseconds by which `frame` frames have run, 60 a
// second: frame `frame` + 1 falls due once the clock passes it.
double frame_ms(std::uint64_t frame);

// The time now in UTC, as strftime writes it with `format` (at most 63 bytes).
std::string utc_now(const char* format);

// Writes the run of one game as a script: every key message the main loop
// took and the passes of frames between them, as they ran, with the state
// every 600 frames, so that tervalon-replay and --play reproduce it exactly.
// The text is kept whole in memory and saved to any number of files twice a
// second and at the end, each save handing over only what was added since
// the last one; a run-time error still saves the frames run so far.
class Recorder {
 public:
  // `now` is the clock in seconds that times the saves (a steady clock by
  // default).
  explicit Recorder(const Game& g, std::function<double()> now = nullptr);
  ~Recorder() { end(); }
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Starts a new recording at the game's state: its header lines.
  void begin();
  // Goes on with `text`, a recording from frame `first_frame` that the game
  // has just been played to the end of (a saved run continued).
  void continue_from(std::string text, std::uint64_t first_frame);
  // Also saves the recording at `path` (none when empty), which must be a
  // new name or a regular file other than the level file being played;
  // false after a message on standard error. The first save is made at
  // once, so a target that cannot be written is said before play.
  bool open(const std::string& path, const std::string& level_file = LEVEL_FILE);
  // Also saves the recording at `path` as the journey's progress while
  // `lock` is held, the file each rewrite replaces kept as PATH.bak (once: a
  // second call for the same path saves at once). When the file already
  // holds the recording's first `adopted` bytes (the save continued), only
  // what follows is written. A failing save is said once, tried again, and
  // said again once it works.
  void keep_progress(const std::string& path, std::unique_ptr<base::Lock> lock, std::uint64_t adopted = 0);
  // The progress file as saved so far is also kept at `name` (a free name
  // beside it), before a new journey is saved over it.
  void set_aside(const std::string& name);
  // Where the current level was entered (at `at` in the text, when given; by
  // default here): a rewind there need not read the recording from its start.
  void mark(std::optional<TextMark> at = std::nullopt);

  // A pass of `frames` game frames has run (and been drawn when due).
  void pass(std::uint64_t frames);
  // A message the game is about to handle; key messages are kept.
  void message(std::uint32_t message, std::int32_t wparam);
  // A plain line (a comment), written as it is.
  void note(const std::string& line);

  // Back to frame `frame`, the game being back at its state then: what was
  // recorded since stays in the text as comments, after `why`, and no
  // longer acts.
  void rewind(std::uint64_t frame, const std::string& why);

  // Hands what was recorded since the last save to the files now (they are
  // written on threads of their own); costs what was added, not the whole.
  // With `when_due`, only once FLUSH_EVERY has passed since the last one.
  void save(bool when_due = false);
  // The recording so far, to the last frame run.
  const std::string& text();
  // The game is over: writes the final state and the files a last time.
  void end();
  // The files it is saved to: whether they are complete, what fails.
  const RecordingFiles& files() const { return files_; }

 private:
  friend void save_on_error(void* self);
  friend void write_expect(Recorder& r);
  friend void watch_errors(Recorder& r);

  const Game& g_;
  RecordingFiles files_;
  bool recording_ = false;
  std::string text_;                      // the whole recording so far
  std::size_t saved_ = 0;                 // bytes of it handed to the files
  std::size_t changed_from_ = SIZE_MAX;   // the first byte changed before saved_ since
  TextMark mark_;                         // a line boundary at or before the level's entry
  std::uint64_t first_frame_ = g_.FRAME;  // FRAME where the text begins
  std::uint64_t singles_ = 0;             // one-frame passes not yet written
  std::uint64_t recorded_frame_ = 0;      // FRAME after the last pass recorded
  std::uint64_t expected_frame_ = 0;      // FRAME at the last expect line
  bool state_written_ = false;            // nothing happened since the last expect line
  std::function<double()> now_;
  double last_flush_ = 0;  // now_() at the last save
  std::thread::id game_thread_;
};

}  // namespace tervalon
