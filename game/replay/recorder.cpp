// Recording a run as a script: every key message the game took and the passes
// of frames between them, as they ran, so that tervalon-replay and --play
// reproduce the run to the last bit.
#include "game/replay/recorder.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "base/printable.h"
#include "base/runtime_error.h"
#include "game/replay/playback.h"
#include "game/rules/rules.h"

namespace tervalon {

namespace {
// How often what was recorded is handed to the files: with a write and its
// sync that take a second, a kill still loses less than two seconds.
constexpr double FLUSH_EVERY = 0.5;  // seconds

double steady_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

Recorder::Recorder(const Game& g, std::function<double()> now) : g_(g), now_(now ? std::move(now) : steady_seconds) {}

double frame_ms(std::uint64_t frame) { return static_cast<double>(frame) / 60.0 * 1000.0; }

// ---- Recording ----

std::string utc_now(const char* format) {
  char text[64] = "";
  std::time_t now = std::time(nullptr);
  std::tm utc;
  if (gmtime_r(&now, &utc)) std::strftime(text, sizeof text, format, &utc);
  return text;
}

// The recording's lines; one-frame passes are counted until the next line.
void write_line(std::string& text, bool& state_written, const std::string& line) {
  text += line;
  text += '\n';
  state_written = false;
}

void write_singles(std::string& text, bool& state_written, std::uint64_t& singles) {
  if (singles > 0) write_line(text, state_written, "frames " + std::to_string(singles));
  singles = 0;
}

void write_expect(Recorder& r) {
  write_singles(r.text_, r.state_written_, r.singles_);
  write_line(r.text_, r.state_written_, "expect " + state_line(r.g_));
  r.expected_frame_ = r.g_.FRAME;
  r.state_written_ = true;
}

void Recorder::save(bool when_due) {
  const double now = now_();
  // A clock that went back (the display's restarts when the window opens) makes a save due.
  if (when_due && now >= last_flush_ && now < last_flush_ + FLUSH_EVERY) return files_.say_failures();
  write_singles(text_, state_written_, singles_);
  files_.hand(text_, changed_from_, saved_);
  saved_ = text_.size();
  changed_from_ = SIZE_MAX;
  last_flush_ = now;
  files_.say_failures();
}

// A run-time error ends the process at once: on the game thread the frames
// of the pass that failed are written too, so the recording ends with it;
// any other thread saves what the game thread last handed over.
void save_on_error(void* self) {
  auto& r = *static_cast<Recorder*>(self);
  if (std::this_thread::get_id() == r.game_thread_) {
    write_singles(r.text_, r.state_written_, r.singles_);
    if (r.g_.FRAME > r.recorded_frame_)
      write_line(r.text_, r.state_written_, "burst " + std::to_string(r.g_.FRAME - r.recorded_frame_));
    r.save();
  }
  r.files_.flush(false);
}

void watch_errors(Recorder& r) {
  r.game_thread_ = std::this_thread::get_id();
  base::set_error_hook(save_on_error, &r);
  r.last_flush_ = r.now_();
}

void Recorder::begin() {
  recording_ = true;
  first_frame_ = g_.FRAME;
  recorded_frame_ = expected_frame_ = g_.FRAME;
  // The text is new from its first byte: every file is written anew.
  text_.clear();
  singles_ = 0;
  changed_from_ = 0;
  mark_ = {};
  write_line(text_, state_written_, "# Tervalon " TERVALON_VERSION " recording");
  write_line(text_, state_written_, "# " + utc_now("%Y-%m-%d %H:%M:%S UTC"));
  write_line(text_, state_written_, "level-file " + level_file_hash(g_));
  write_line(text_, state_written_, std::string("cheat ") + (g_.CHEAT ? "1" : "0"));
}

void Recorder::continue_from(std::string text, std::uint64_t first_frame) {
  recording_ = true;
  first_frame_ = first_frame;
  text_ = std::move(text);
  singles_ = 0;
  changed_from_ = 0;
  mark_ = {};
  if (!text_.empty() && text_.back() != '\n') text_ += '\n';
  recorded_frame_ = expected_frame_ = g_.FRAME;
  write_line(text_, state_written_,
             "# continued at frame " + std::to_string(g_.FRAME) + ", " + utc_now("%Y-%m-%d %H:%M:%S UTC"));
  write_expect(*this);  // the state it goes on from, proved by whoever replays it
}

bool Recorder::open(const std::string& path, const std::string& level_file) {
  if (path.empty()) return true;
  std::string why;
  base::Storage& storage = base::storage();
  if (!storage.may_replace(path, why)) {
    std::fprintf(stderr, "tervalon: --record %s: %s\n", path.c_str(), why.c_str());
    return false;
  }
  if (storage.same_file(path, level_file)) {
    std::fprintf(stderr, "tervalon: --record %s: that is the level file being played\n", path.c_str());
    return false;
  }
  if (!recording_) begin();
  std::unique_ptr<base::Journal> file = storage.journal(path, {});
  save();
  file->replace_from(0, text_);
  if (!file->flush()) {
    std::fprintf(stderr, "tervalon: --record %s\n", file->failure().c_str());
    return false;
  }
  files_.add(std::move(file), path, "the recording cannot be written", true);
  watch_errors(*this);
  return true;
}

void Recorder::keep_progress(const std::string& path, std::unique_ptr<base::Lock> lock, std::uint64_t adopted) {
  if (!recording_) begin();
  save();
  if (!files_.has(path)) {
    std::unique_ptr<base::Journal> file = base::storage().journal(path, {path + ".bak", std::move(lock), nullptr});
    if (adopted > 0 && adopted <= text_.size() && file->adopt(adopted))
      file->append(text_.substr(adopted));
    else
      file->replace_from(0, text_);
    files_.add(std::move(file), path, "progress is not being saved", false);
  }
  watch_errors(*this);
}

void Recorder::set_aside(const std::string& name) {
  save();
  files_.set_aside(name);
}

void Recorder::mark(std::optional<TextMark> at) {
  if (at)
    mark_ = *at;
  else if (recording_)
    mark_ = {text_.size(), recorded_frame_ - singles_ - first_frame_};
}

const std::string& Recorder::text() {
  write_singles(text_, state_written_, singles_);
  return text_;
}

void Recorder::pass(std::uint64_t frames) {
  if (!recording_) return;
  if (frames == 1) {
    ++singles_;
    state_written_ = false;
  } else {
    write_singles(text_, state_written_, singles_);
    write_line(text_, state_written_, "burst " + std::to_string(frames));
  }
  recorded_frame_ = g_.FRAME;
  if (g_.FRAME / 600 != expected_frame_ / 600) write_expect(*this);
  if (!files_.empty()) save(true);
}

void Recorder::message(std::uint32_t message, std::int32_t wparam) {
  // The quitting key is never kept: a recording ends where play ended.
  if (!recording_ || (message != WM_KEYDOWN && message != WM_KEYUP) || wparam == K_ESC) return;
  // Virtual-key codes are 0..255; a key-down of any other code acts as any
  // key does, as code 0 would, and a key-up of one does nothing.
  if (wparam < 0 || wparam > 255) {
    if (message == WM_KEYUP) return;
    wparam = 0;
  }
  write_singles(text_, state_written_, singles_);
  write_line(text_, state_written_, (message == WM_KEYDOWN ? "down " : "up ") + key_word(wparam));
  if (!files_.empty()) save(true);
}

void Recorder::note(const std::string& line) {
  if (!recording_) return;
  write_singles(text_, state_written_, singles_);
  write_line(text_, state_written_, line);
}

void Recorder::rewind(std::uint64_t frame, const std::string& why) {
  if (!recording_ || frame < first_frame_) return;
  write_singles(text_, state_written_, singles_);
  std::size_t unchanged = 0;
  if (mark_.frame > frame - first_frame_) mark_ = {};
  const std::string undone = split_at_frame(text_, frame - first_frame_, mark_, &unchanged);
  changed_from_ = std::min(changed_from_, unchanged);
  write_line(text_, state_written_, why);
  for (std::size_t at = 0; at < undone.size();) {
    std::size_t eol = undone.find('\n', at);
    if (eol == std::string::npos) eol = undone.size();
    const std::string_view line(undone.data() + at, eol - at);
    // Comments stay as they are; an acting line becomes one.
    write_line(text_, state_written_, line.starts_with('#') ? std::string(line) : "# " + std::string(line));
    at = eol + 1;
  }
  recorded_frame_ = expected_frame_ = frame;
}

void Recorder::end() {
  if (!recording_) return;
  recording_ = false;
  if (files_.empty()) return;
  base::set_error_hook(nullptr, nullptr);
  if (!state_written_) write_expect(*this);
  save();
  files_.flush(true);
}

}  // namespace tervalon
