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
constexpr std::chrono::milliseconds FLUSH_EVERY{500};
}  // namespace

double frame_ms(std::uint64_t frame) { return static_cast<double>(frame) / 60.0 * 1000.0; }

// ---- Recording ----

std::string utc_now(const char* format) {
  char text[64] = "";
  std::time_t now = std::time(nullptr);
  std::tm utc;
  if (gmtime_r(&now, &utc)) std::strftime(text, sizeof text, format, &utc);
  return text;
}

void Recorder::write_line(const std::string& line) {
  text_ += line;
  text_ += '\n';
  state_written_ = false;
}

void Recorder::write_singles() {
  if (singles_ > 0) write_line("frames " + std::to_string(singles_));
  singles_ = 0;
}

void Recorder::write_expect() {
  write_singles();
  write_line("expect " + state_line(g_));
  expected_frame_ = g_.FRAME;
  state_written_ = true;
}

void Recorder::save() {
  write_singles();
  for (Target& t : targets_) {
    if (changed_from_ < saved_)
      t.file->replace_from(changed_from_, text_.substr(changed_from_));
    else if (text_.size() > saved_)
      t.file->append(text_.substr(saved_));
  }
  saved_ = text_.size();
  changed_from_ = SIZE_MAX;
  next_flush_ = std::chrono::steady_clock::now() + FLUSH_EVERY;
}

// A save that fails is said once, on standard error and in the title; play
// goes on, every later save tries again, and the title is the game's own
// again once one works.
void Recorder::flush_if_due() {
  if (std::chrono::steady_clock::now() >= next_flush_) save();
  for (Target& t : targets_) {
    const std::string why = t.file->failure();
    if (t.said == why.empty()) {
      t.said = !why.empty();
      if (t.said)
        std::fprintf(stderr, "tervalon: %s; play goes on and it is tried again\n", why.c_str());
      else
        std::fprintf(stderr, "tervalon: %s is saved again\n", t.path.c_str());
      // The title keeps a --record file's failure: that file was asked for.
      const bool record_said = std::any_of(targets_.begin(), targets_.end(),
                                           [&](const Target& o) { return o.counts && o.said && &o != &t; });
      if (!record_said) trouble_ = t.said ? t.failing + ": " + why : "";
    }
  }
}

// A run-time error ends the process at once: on the game thread the frames
// of the pass that failed are written too, so the recording ends with it;
// any other thread saves what the game thread last handed over.
void Recorder::save_on_error(void* self) {
  auto& r = *static_cast<Recorder*>(self);
  if (std::this_thread::get_id() == r.game_thread_) {
    r.write_singles();
    if (r.g_.FRAME > r.recorded_frame_) r.write_line("burst " + std::to_string(r.g_.FRAME - r.recorded_frame_));
    r.save();
  }
  for (Target& t : r.targets_) t.file->flush();
}

void Recorder::watch_errors() {
  game_thread_ = std::this_thread::get_id();
  base::set_error_hook(save_on_error, this);
  next_flush_ = std::chrono::steady_clock::now() + FLUSH_EVERY;
}

// The text is new from its first byte: every file is written anew.
void Recorder::restart_text(std::string text) {
  text_ = std::move(text);
  singles_ = 0;
  changed_from_ = 0;
  mark_ = {};
}

void Recorder::begin() {
  recording_ = true;
  first_frame_ = g_.FRAME;
  recorded_frame_ = expected_frame_ = g_.FRAME;
  restart_text("");
  write_line("# Tervalon " TERVALON_VERSION " recording");
  write_line("# " + utc_now("%Y-%m-%d %H:%M:%S UTC"));
  write_line("level-file " + level_file_hash(g_));
  write_line(std::string("cheat ") + (g_.CHEAT ? "1" : "0"));
}

void Recorder::continue_from(std::string text, std::uint64_t first_frame) {
  recording_ = true;
  first_frame_ = first_frame;
  restart_text(std::move(text));
  if (!text_.empty() && text_.back() != '\n') text_ += '\n';
  recorded_frame_ = expected_frame_ = g_.FRAME;
  write_line("# continued at frame " + std::to_string(g_.FRAME) + ", " + utc_now("%Y-%m-%d %H:%M:%S UTC"));
  write_expect();  // the state it goes on from, proved by whoever replays it
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
  targets_.push_back({std::move(file), path, "the recording cannot be written", false, true});
  watch_errors();
  return true;
}

void Recorder::keep_progress(const std::string& path, std::unique_ptr<base::Lock> lock, std::uint64_t adopted) {
  if (!recording_) begin();
  save();
  if (std::none_of(targets_.begin(), targets_.end(), [&](const Target& t) { return t.path == path; })) {
    std::unique_ptr<base::Journal> file = base::storage().journal(path, {path + ".bak", std::move(lock), nullptr});
    if (adopted > 0 && adopted <= text_.size() && file->adopt(adopted))
      file->append(text_.substr(adopted));
    else
      file->replace_from(0, text_);
    targets_.push_back({std::move(file), path, "progress is not being saved", false, false});
  }
  watch_errors();
}

void Recorder::set_aside(const std::string& name) {
  save();
  for (Target& t : targets_)
    if (!t.counts) t.file->set_aside(name);
}

void Recorder::mark() {
  if (recording_) mark_ = {text_.size(), recorded_frame_ - singles_ - first_frame_};
}

const std::string& Recorder::text() {
  write_singles();
  return text_;
}

void Recorder::pass(std::uint64_t frames) {
  if (!recording_) return;
  if (frames == 1) {
    ++singles_;
    state_written_ = false;
  } else {
    write_singles();
    write_line("burst " + std::to_string(frames));
  }
  recorded_frame_ = g_.FRAME;
  if (g_.FRAME / 600 != expected_frame_ / 600) write_expect();
  if (!targets_.empty()) flush_if_due();
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
  write_singles();
  write_line((message == WM_KEYDOWN ? "down " : "up ") + key_word(wparam));
  if (!targets_.empty()) flush_if_due();
}

void Recorder::note(const std::string& line) {
  if (!recording_) return;
  write_singles();
  write_line(line);
}

void Recorder::rewind(std::uint64_t frame, const std::string& why) {
  if (!recording_ || frame < first_frame_) return;
  write_singles();
  std::size_t unchanged = 0;
  if (mark_.frame > frame - first_frame_) mark_ = {};
  const std::string undone = split_at_frame(text_, frame - first_frame_, mark_, &unchanged);
  changed_from_ = std::min(changed_from_, unchanged);
  write_line(why);
  for (std::size_t at = 0; at < undone.size();) {
    std::size_t eol = undone.find('\n', at);
    if (eol == std::string::npos) eol = undone.size();
    const std::string_view line(undone.data() + at, eol - at);
    // Comments stay as they are; an acting line becomes one.
    write_line(line.starts_with('#') ? std::string(line) : "# " + std::string(line));
    at = eol + 1;
  }
  recorded_frame_ = expected_frame_ = frame;
}

void Recorder::end() {
  if (!recording_) return;
  recording_ = false;
  if (targets_.empty()) return;
  base::set_error_hook(nullptr, nullptr);
  if (!state_written_) write_expect();
  save();
  for (Target& t : targets_)
    if (!t.file->flush()) {
      if (t.counts) complete_ = false;
      std::fprintf(stderr, "tervalon: %s: %s\n", t.file->failure().c_str(),
                   t.counts ? "the recording is not complete" : "progress since the last save is lost");
    }
  targets_.clear();
}

}  // namespace tervalon
