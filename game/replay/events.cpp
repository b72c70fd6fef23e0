// Events by comparing two states. The rules change the level and the pass only
// on a key message (progress), and move the player only in game frames, so
// each event is read from the one kind of step that can make it.
//
// A pass of several frames (a catch-up burst) is seen only by its net effect:
// a land, a rewind or a catch followed within the burst by its undoing (a new
// jump, a longer trail, a reset of the catches) is not heard, two of one kind
// sound once, and a burst of more than STPSTP frames can hide a rewind behind
// the trail it grows afterwards. A burst follows a stall, when a lost sound
// matters least. A jump is exact even then: only the burst's first frame can
// take a fresh Up.
#include "game/replay/events.h"

#include "game/rules/coords.h"
#include "game/rules/probes.h"
#include "game/rules/trail.h"

namespace tervalon {

namespace {

constexpr std::uint8_t FOOT_NONE = 0, FOOT_FLOOR = 1, FOOT_WALL = 2;

constexpr std::uint32_t bit(Sound s) { return 1u << static_cast<unsigned>(s); }

}  // namespace

const char* sound_name(Sound s) {
  switch (s) {
    case Sound::jump: return "jump";
    case Sound::wall_jump: return "wall-jump";
    case Sound::land: return "land";
    case Sound::exit_open: return "exit-open";
    case Sound::rewound: return "rewound";
    case Sound::caught: return "caught";
    case Sound::level_left: return "level-left";
    case Sound::home: return "home";
    case Sound::story: return "story";
    case Sound::journey_end: return "journey-end";
  }
  return "?";
}

EventState event_state(const Game& g) {
  EventState e;
  e.frame = g.FRAME;
  e.trail = g.STPN[g.BDLV];
  e.level = g.BDLV;
  e.pass = g.GSIT;
  e.pause = g.PAUSE;
  e.standing = g.VY == 0 && ISBOT(g);
  e.exit_open = g.GSIT != 2 && g.STPN[g.BDLV] >= g.STPM[g.BDLV];
  // The step's jump reads the probes before anything moves, so they read the
  // same here, once the Up press is fresh.
  if (g.KU == 1) e.footing = ISBOT(g) ? FOOT_FLOOR : (ISLEFT(g) || ISRIGHT(g)) ? FOOT_WALL : FOOT_NONE;
  if (g.GSIT == 2) {
    e.caught = static_cast<std::uint16_t>(caught_ghosts(g));
    e.on_exit_spot = g.PX == BD2X(g.BDOX[g.BDLV]) && g.PY == BD2Y(g.BDOY[g.BDLV]);
  }
  return e;
}

std::uint32_t events_between(const EventState& before, const EventState& after, bool ended) {
  std::uint32_t events = ended ? bit(Sound::journey_end) : 0;
  const bool same_stage = before.level == after.level && before.pass == after.pass;
  if (!same_stage) {
    // Only progress moves the game on: home is leaving level 1 on the way
    // back, any other move leaves a level (forward by its exit, back by its
    // entry, or turning round at the last level).
    const bool home = before.level == 1 && before.pass == 2 && after.level == 0 && after.pass == 0;
    return events | bit(home ? Sound::home : Sound::level_left);
  }
  // Frames only move the player while playing.
  if (after.frame == before.frame || before.pause != 0) return events;
  if (before.footing == FOOT_FLOOR) events |= bit(Sound::jump);
  if (before.footing == FOOT_WALL) events |= bit(Sound::wall_jump);
  // A ghost's rewind sets the head back at least STPSTP points; the trail
  // limit's restart sets it to 0.
  const bool rewound = after.pass == 1 && after.trail < before.trail && after.trail > 0;
  // On the way back a ghost at the exit puts the player there, at rest.
  const bool put_back = after.on_exit_spot && !before.on_exit_spot;
  if (!before.standing && after.standing && !rewound && !put_back) events |= bit(Sound::land);
  if (!before.exit_open && after.exit_open) events |= bit(Sound::exit_open);
  if (rewound) events |= bit(Sound::rewound);
  if (after.caught > before.caught) events |= bit(Sound::caught);
  if (before.pause == 0 && after.pause == 1) events |= bit(Sound::story);
  return events;
}

}  // namespace tervalon
