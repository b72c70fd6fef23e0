// The events of play that have a sound, read from the state: the game takes a
// small EventState after every pass and every key message and compares it
// with the one before. Nothing here runs inside the rules, so recordings,
// replays and the level checker play exactly as without it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "game/rules/state.h"

namespace tervalon {

enum class Sound : std::uint8_t {
  jump,
  wall_jump,
  land,
  exit_open,
  rewound,
  caught,
  level_left,
  home,
  story,
  journey_end
};
inline constexpr std::size_t SOUND_COUNT = 10;

// "jump", "wall-jump", "land", "exit-open", "rewound", "caught", "level-left",
// "home", "story", "journey-end".
const char* sound_name(Sound s);

// What the events need of the state, small and cheap to take after every pass.
struct EventState {
  std::uint64_t frame = 0;    // FRAME: whether game frames ran in between
  std::uint32_t trail = 0;    // STPN of the current level
  std::uint16_t caught = 0;   // ghosts caught on this level (backward pass only, else 0)
  std::int8_t level = 0;      // BDLV
  std::int8_t pass = 0;       // GSIT
  std::uint32_t pause = 0;    // PAUSE
  std::uint8_t footing = 0;   // what a fresh Up jumps from in the next frame: 0 nothing, 1 floor, 2 wall
  bool standing = false;      // at rest on the floor
  bool exit_open = false;     // the exit counts as a goal on this pass (not on the way back)
  bool on_exit_spot = false;  // on the way back, exactly where a ghost at the exit puts the player
};

EventState event_state(const Game& g);

// The events between two states, in Sound order, as a bit set (bit i: Sound
// i); `ended` when the pass reached the end cell.
std::uint32_t events_between(const EventState& before, const EventState& after, bool ended);

inline bool has(std::uint32_t events, Sound s) { return (events >> static_cast<unsigned>(s)) & 1u; }

}  // namespace tervalon
