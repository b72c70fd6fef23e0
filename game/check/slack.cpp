// Slack of recorded solutions. A script becomes a list of key messages, each
// at the frame before which it arrives; a press is moved by changing the
// frames of its key-down and key-up together, and the stage is played again
// from the state it started in. Every play keeps where it stands, so that a
// slice can end between any two frames.
#include "game/check/slack.h"

#include <algorithm>
#include <memory>

#include "game/rules/level_start.h"
#include "game/rules/rules.h"

namespace tervalon {

namespace {

struct Message {
  std::uint64_t at;   // frames run before it arrives
  std::uint32_t seq;  // order among messages of one frame
  bool down;
  std::int32_t key;
  std::uint64_t line;
};

struct Script {
  std::vector<Message> messages;
  std::uint64_t frames = 0;
  bool readable = true;
};

// A script read as the replay tool reads it. Checks and snaps do not move
// the game; a burst (one fade step for many frames) cannot be shifted frame by
// frame, so a script with one is not measured.
Script read(const Solution& solution) {
  Script s;
  s.readable = solution.readable;
  for (const ScriptLine& l : solution.lines) {
    if (l.c.op == Command::Op::burst) s.readable = false;
    if (l.c.op == Command::Op::frames) s.frames += l.c.count;
    if (l.c.op == Command::Op::down || l.c.op == Command::Op::up)
      s.messages.push_back(
          {s.frames, static_cast<std::uint32_t>(s.messages.size()), l.c.op == Command::Op::down, l.c.key, l.line});
  }
  return s;
}

bool moves(std::int32_t key) { return key == K_LEFT || key == K_RIGHT || key == K_UP; }

enum class Outcome { NOT_FINISHED, NEXT_STAGE, END };

// The messages (sorted by frame) played over `frames` frames as the replay
// tool plays them. With `whole` false it stops where the stage is decided,
// before the next stage would begin.
struct Play {
  std::vector<Message> messages;
  std::uint64_t frames = 0;
  bool whole = false;
  std::size_t m = 0;    // messages given
  std::uint64_t f = 0;  // frames run
};

// Plays on for as long as the meter allows: false when it ends first, else
// true with the outcome.
bool play_on(Meter& meter, Game& g, Play& p, Outcome& outcome) {
  for (;; ++p.f) {
    if (meter.spent()) return false;
    for (; p.m < p.messages.size() && p.messages[p.m].at <= p.f; ++p.m) {
      const Message& msg = p.messages[p.m];
      bool goes_on = msg.down && g.PAUSE == 2;
      if (goes_on && !p.whole) {
        outcome = Outcome::NEXT_STAGE;
        return true;
      }
      handle_message(g, msg.down ? WM_KEYDOWN : WM_KEYUP, msg.key);
    }
    if (p.f == p.frames) {
      outcome = Outcome::NOT_FINISHED;
      return true;
    }
    meter.use(1);
    if (frame_pass(g, 1).end) {
      outcome = Outcome::END;
      return true;
    }
  }
}

std::vector<Message> shifted(std::vector<Message> messages, std::size_t down, std::size_t up, std::int64_t by) {
  for (std::size_t i : {down, up})
    if (i < messages.size())
      messages[i].at = static_cast<std::uint64_t>(static_cast<std::int64_t>(messages[i].at) + by);
  std::stable_sort(messages.begin(), messages.end(),
                   [](const Message& a, const Message& b) { return a.at != b.at ? a.at < b.at : a.seq < b.seq; });
  return messages;
}

}  // namespace

struct SlackMeasure::Measure {
  // What the play under way is for.
  enum class Doing { next_script, recorded, trial, whole, done };

  Measure(const Game& loaded, std::vector<Solution> all, int most)
      : solutions(std::move(all)), cap(most), game(std::make_unique<Game>(loaded)), g(*game) {
    // The first frame of a game, as the replay tool starts it.
    INITLV(g);
    start = std::make_unique<Game>(g);
  }

  bool run(Meter& meter) {
    while (doing != Doing::done) {
      if (doing == Doing::next_script) {
        begin_script();
        continue;
      }
      Outcome o{};
      if (!play_on(meter, g, play, o)) return false;
      if (doing == Doing::recorded) {
        recorded = o;
        st.finished = o != Outcome::NOT_FINISHED;
        next_trial();
      } else if (doing == Doing::trial) {
        if (o != recorded) {
          next_direction();
        } else {
          (dir < 0 ? p.earlier : p.later) = d;
          ++d;
        }
        next_trial();
      } else {
        ++script;
        doing = Doing::next_script;
      }
    }
    return true;
  }

  void begin_script() {
    if (script == solutions.size()) {
      doing = Doing::done;
      return;
    }
    current = read(solutions[script]);
    st = {solutions[script].name, g.BDLV, g.GSIT, false, current.frames, {}};
    if (!current.readable) {
      stages.push_back(st);
      doing = Doing::done;
      return;
    }
    *start = g;
    begin_play(current.messages, false, Doing::recorded);
    press = 0;
    in_press = false;
  }

  void begin_play(std::vector<Message> messages, bool whole, Doing next) {
    play = Play{std::move(messages), current.frames, whole, 0, 0};
    doing = next;
  }

  void next_direction() {
    dir += 2;
    d = 1;
  }

  // Sets up the next play of a moved press, or what follows the stage's
  // presses: the next stage from where this one began, or the end.
  void next_trial() {
    const std::vector<Message>& messages = current.messages;
    while (st.finished && press < messages.size()) {
      const Message& pressed = messages[press];
      if (!in_press) {
        if (!pressed.down || !moves(pressed.key)) {
          ++press;
          continue;
        }
        in_press = true;
        up = press + 1;
        while (up < messages.size() && (messages[up].down || messages[up].key != pressed.key)) ++up;
        p = {pressed.line, 0, 0};
        dir = -1;
        d = 1;
      }
      for (; dir <= 1; next_direction()) {
        if (d > cap) continue;
        // A key pressed before the stage begins is down when it begins.
        std::int64_t by = dir < 0 ? -std::min<std::int64_t>(d, static_cast<std::int64_t>(pressed.at)) : d;
        // Up acts once per press: the tap moves whole. A run keeps its end,
        // and a press moved onto its own release is no press.
        bool tap = pressed.key == K_UP;
        if (!tap && up < messages.size() &&
            static_cast<std::int64_t>(pressed.at) + by >= static_cast<std::int64_t>(messages[up].at))
          continue;
        g = *start;
        begin_play(shifted(messages, press, tap ? up : messages.size(), by), false, Doing::trial);
        return;
      }
      st.presses.push_back(p);
      in_press = false;
      ++press;
    }
    stages.push_back(st);
    if (recorded != Outcome::NEXT_STAGE) {
      doing = Doing::done;
      return;
    }
    g = *start;
    begin_play(messages, true, Doing::whole);  // on into the next stage
  }

  std::vector<Solution> solutions;
  int cap;
  std::unique_ptr<Game> game;
  Game& g;
  std::unique_ptr<Game> start;  // where the stage begins
  std::vector<StageSlack> stages;

  Doing doing = Doing::next_script;
  std::size_t script = 0;
  Script current;
  StageSlack st;
  Outcome recorded = Outcome::NOT_FINISHED;
  std::size_t press = 0, up = 0;
  bool in_press = false;
  int dir = -1, d = 1;
  PressSlack p{0, 0, 0};
  Play play;
};

SlackMeasure::SlackMeasure(const Game& loaded, std::vector<Solution> solutions, int cap)
    : measure_(std::make_unique<Measure>(loaded, std::move(solutions), cap)) {}
SlackMeasure::~SlackMeasure() = default;
SlackMeasure::SlackMeasure(SlackMeasure&&) noexcept = default;
SlackMeasure& SlackMeasure::operator=(SlackMeasure&&) noexcept = default;

bool SlackMeasure::run(Meter& meter) { return measure_->run(meter); }

const std::vector<StageSlack>& SlackMeasure::result() const { return measure_->stages; }

std::vector<StageSlack> measure_slack(const Game& loaded, std::vector<Solution> solutions, int cap) {
  const std::atomic<bool> never{false};
  SlackMeasure measure(loaded, std::move(solutions), cap);
  Meter whole(Slice::whole(), never);
  measure.run(whole);
  return measure.result();
}

}  // namespace tervalon
