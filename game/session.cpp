// Playback and recording in the window. A recording holds every key message
// the main loop took and the passes of frames between them, as they ran, so
// that tervalon-replay and --play reproduce the run to the last bit.
#include "session.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "clock.h"
#include "draw.h"
#include "queue.h"
#include "rules.h"
#include "base/runtime_error.h"
#include "script.h"
#include "state.h"
#include "window.h"

namespace tervalon {

namespace {

// ---- Recording ----

std::FILE* out = nullptr;
std::uint64_t singles = 0;          // one-frame passes not yet written
std::uint64_t recorded_frame = 0;   // FRAME after the last pass recorded
std::uint64_t expected_frame = 0;   // FRAME at the last expect line
bool state_written = false;         // nothing happened since the last expect line
std::chrono::steady_clock::time_point next_flush;  // not GETTIME: that restarts when the window opens
std::thread::id game_thread;

void write_line(const std::string& line) {
  std::fputs(line.c_str(), out);
  std::fputc('\n', out);
  state_written = false;
}

void write_singles() {
  if (singles > 0) write_line("frames " + std::to_string(singles));
  singles = 0;
}

void write_expect() {
  write_singles();
  write_line("expect " + state_line());
  expected_frame = FRAME;
  state_written = true;
}

void flush_now() {
  write_singles();
  std::fflush(out);
  next_flush = std::chrono::steady_clock::now() + std::chrono::seconds(1);
}

void flush_if_due() {
  if (std::chrono::steady_clock::now() >= next_flush) flush_now();
}

// A run-time error ends the process at once: on the game thread the frames
// of the pass that failed are written too, so the recording ends with it.
void save_on_error() {
  if (std::this_thread::get_id() == game_thread) {
    write_singles();
    if (FRAME > recorded_frame) write_line("burst " + std::to_string(FRAME - recorded_frame));
  }
  std::fflush(out);
}

// ---- Playback ----

struct Step {
  Command c;
  std::string where;  // "FILE:LINE", for messages
};

std::vector<Step> steps;      // the played scripts' lines that act in the window
std::size_t at = 0;           // the next step
bool feeding = false;         // until the player takes over
std::uint64_t passes_done = 0;  // of the step at `at`, when it is "frames N"
bool play_started = false;
std::uint32_t speed = 1;
std::uint64_t play_start_ms = 0;     // GETTIME when playback began
std::uint64_t next_present_ms = 0;   // above speed 1: when a picture is next shown
bool picture_unshown = false;        // a composed picture is waiting to be shown
double clock_shift = 0;              // game_clock_shift()

bool read_script(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "tervalon: %s: cannot open: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  std::string text, why;
  Command c;
  for (std::size_t line = 1; std::getline(in, text); ++line) {
    std::string where = path + ":" + std::to_string(line);
    if (!parse_command(text, c, why)) {
      std::fprintf(stderr, "tervalon: %s: %s\n", where.c_str(), why.c_str());
      return false;
    }
    // Pictures are the replay tool's business; the window shows its own.
    bool acts = c.op != Command::Op::none && c.op != Command::Op::snap &&
                !(c.op == Command::Op::frames && c.count == 0);
    if (acts) steps.push_back({c, where});
  }
  return true;
}

// Where playback has got to on its own clock, in game milliseconds.
double play_ms() {
  return static_cast<double>(display::GETTIME() - play_start_ms) * speed;
}

// The player takes over: the last picture is shown, and the game clock moves
// so that the next frame is due 1/60 s after the played one.
void hand_over() {
  if (picture_unshown) display::FRESHWIN();
  picture_unshown = false;
  feeding = false;
  if (out) {
    write_singles();
    write_line("# the player takes over at frame " + std::to_string(FRAME));
  }
  clock_shift = frame_ms(FRAME) - display::GETTIMER() * 1000.0;
}

// One pass of `frames` frames, drawn as the main loop draws; above speed 1
// only the pictures that fall due 60 times a second are shown.
void play_frames(std::uint64_t frames) {
  for (std::uint64_t i = 0; i < frames; ++i)
    if (game_frame()) display::CLOSEWIN();
  if (frame_is_drawn()) {
    if (speed == 1 || display::GETTIME() >= next_present_ms) {
      DRAWALL();
      next_present_ms = display::GETTIME() + 16;
      picture_unshown = false;
    } else {
      fade_step();
      compose_frame();
      picture_unshown = true;
    }
  }
  record_pass(frames);
}

std::string today() {
  char text[64] = "";
  std::time_t now = std::time(nullptr);
  std::tm utc;
  if (gmtime_r(&now, &utc)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
  return text;
}

}  // namespace

bool start_session(const Options& o) {
  for (const std::string& path : o.play)
    if (!read_script(path)) return false;
  speed = o.speed;
  feeding = !o.play.empty();
  if (o.record.empty()) return true;
  out = std::fopen(o.record.c_str(), "w");
  if (!out) {
    std::fprintf(stderr, "tervalon: %s: cannot write: %s\n", o.record.c_str(), std::strerror(errno));
    return false;
  }
  game_thread = std::this_thread::get_id();
  recorded_frame = expected_frame = FRAME;
  base::set_error_hook(save_on_error);
  write_line("# Tervalon " TERVALON_VERSION " recording");
  write_line("# " + today());
  write_line("level-file " + level_file_hash());
  write_line(std::string("cheat ") + (CHEAT ? "1" : "0"));
  flush_now();
  return true;
}

double frame_ms(std::uint64_t frame) { return static_cast<double>(frame) / 60.0 * 1000.0; }

double game_clock_shift() { return clock_shift; }

bool playing() { return feeding; }

void play_pass() {
  if (!play_started) {
    play_started = true;
    play_start_ms = display::GETTIME();
  }
  if (display::ISNEXTMSG() && display::MS.MESSAGE == WM_KEYDOWN && display::MS.WPARAM == K_ESC) {
    display::CLOSEWIN();
    return;
  }
  while (at < steps.size()) {
    const Step& s = steps[at];
    switch (s.c.op) {
      case Command::Op::down:
      case Command::Op::up: {
        const std::uint32_t message = s.c.op == Command::Op::down ? WM_KEYDOWN : WM_KEYUP;
        record_message(message, s.c.key);
        ++at;
        if (handle_message(message, s.c.key)) display::CLOSEWIN();
        return;
      }
      case Command::Op::frames:
      case Command::Op::burst: {
        const std::uint64_t frames = s.c.op == Command::Op::burst ? s.c.count : 1;
        // A pass is due when its last frame is, as in the main loop.
        const double due = frame_ms(FRAME + frames - 1);
        if (speed != 0 && play_ms() <= due) {
          const double wait = (due - play_ms()) / speed + 1;
          display::wait_message(static_cast<std::uint32_t>(wait < 1000 ? wait : 1000));
          return;
        }
        if (s.c.op == Command::Op::burst || ++passes_done == s.c.count) {
          ++at;
          passes_done = 0;
        }
        play_frames(frames);
        return;
      }
      default:
        if (std::string wrong = check(s.c); !wrong.empty()) {
          wrong = s.where + ": " + wrong;
          std::fprintf(stderr, "%s\n", wrong.c_str());
          display::SETTITLE(wrong);
          hand_over();
          return;
        }
        ++at;
    }
  }
  hand_over();
}

void record_pass(std::uint64_t frames) {
  if (!out) return;
  if (frames == 1) {
    ++singles;
    state_written = false;
  } else {
    write_singles();
    write_line("burst " + std::to_string(frames));
  }
  recorded_frame = FRAME;
  if (FRAME / 600 != expected_frame / 600) write_expect();
  flush_if_due();
}

void record_message(std::uint32_t message, std::int32_t wparam) {
  if (!out || (message != WM_KEYDOWN && message != WM_KEYUP)) return;
  // Virtual-key codes are 0..255; a key-down of any other code acts as any
  // key does, as code 0 would, and a key-up of one does nothing.
  if (wparam < 0 || wparam > 255) {
    if (message == WM_KEYUP) return;
    wparam = 0;
  }
  write_singles();
  write_line((message == WM_KEYDOWN ? "down " : "up ") + key_word(wparam));
  flush_if_due();
}

void end_session() {
  if (!out) return;
  base::set_error_hook(nullptr);
  if (!state_written) write_expect();
  flush_now();
  std::fclose(out);
  out = nullptr;
}

}  // namespace tervalon
