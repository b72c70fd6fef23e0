// Slack of recorded solutions. A script becomes a list of key messages, each
// at the frame before which it arrives; a press is moved by changing the
// frames of its key-down and key-up together, and the stage is played again
// from the state it started in.
#include "tools/levels_slack.h"

#include <algorithm>
#include <memory>

#include "game/replay/script.h"
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
Script read(const std::string& path) {
  Script s;
  std::vector<ScriptLine> lines;
  std::string why;
  s.readable = read_script(path, lines, why);
  for (const ScriptLine& l : lines) {
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

// Plays the messages (sorted by frame) over `frames` frames as the replay
// tool does. With `whole` false it stops where the stage is decided, before
// the next stage would begin.
Outcome play(Game& g, const std::vector<Message>& messages, std::uint64_t frames, bool whole) {
  std::size_t m = 0;
  for (std::uint64_t f = 0;; ++f) {
    for (; m < messages.size() && messages[m].at <= f; ++m) {
      const Message& msg = messages[m];
      bool goes_on = msg.down && g.PAUSE == 2;
      if (goes_on && !whole) return Outcome::NEXT_STAGE;
      handle_message(g, msg.down ? WM_KEYDOWN : WM_KEYUP, msg.key);
    }
    if (f == frames) return Outcome::NOT_FINISHED;
    if (frame_pass(g, 1).end) return Outcome::END;
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

std::vector<StageSlack> measure_slack(const Game& loaded, const std::vector<std::string>& scripts, int cap) {
  // The first frame of a game, as the replay tool starts it.
  const auto game = std::make_unique<Game>(loaded);
  Game& g = *game;
  INITLV(g);
  const auto start = std::make_unique<Game>(g);  // where the stage begins

  std::vector<StageSlack> stages;
  for (const std::string& path : scripts) {
    Script script = read(path);
    StageSlack st{path, g.BDLV, g.GSIT, false, script.frames, {}};
    if (!script.readable) {
      stages.push_back(st);
      break;
    }
    *start = g;
    Outcome recorded = play(g, script.messages, script.frames, false);
    st.finished = recorded != Outcome::NOT_FINISHED;
    for (std::size_t i = 0; st.finished && i < script.messages.size(); ++i) {
      const Message& press = script.messages[i];
      if (!press.down || !moves(press.key)) continue;
      std::size_t up = i + 1;
      while (up < script.messages.size() && (script.messages[up].down || script.messages[up].key != press.key)) ++up;
      PressSlack p{press.line, 0, 0};
      for (int dir : {-1, 1}) {
        int& slack = dir < 0 ? p.earlier : p.later;
        for (int d = 1; d <= cap; ++d) {
          // A key pressed before the stage begins is down when it begins.
          std::int64_t by = dir < 0 ? -std::min<std::int64_t>(d, static_cast<std::int64_t>(press.at)) : d;
          // Up acts once per press: the tap moves whole. A run keeps its end,
          // and a press moved onto its own release is no press.
          bool tap = press.key == K_UP;
          if (!tap && up < script.messages.size() &&
              static_cast<std::int64_t>(press.at) + by >= static_cast<std::int64_t>(script.messages[up].at))
            break;
          g = *start;
          if (play(g, shifted(script.messages, i, tap ? up : script.messages.size(), by), script.frames, false) !=
              recorded)
            break;
          slack = d;
        }
      }
      st.presses.push_back(p);
    }
    stages.push_back(st);
    if (recorded != Outcome::NEXT_STAGE) break;
    g = *start;
    play(g, script.messages, script.frames, true);  // on into the next stage
  }
  return stages;
}

}  // namespace tervalon
