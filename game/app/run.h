// A game being played, the journey or a practice: its own game, its
// recording and what it has done so far.
#pragma once

#include <functional>
#include <memory>

#include "game/journey/log.h"
#include "game/replay/events.h"
#include "game/replay/recorder.h"
#include "game/rules/state.h"

namespace tervalon {

struct Run {
  // `now` times its saves (see Recorder).
  explicit Run(std::unique_ptr<Game> start, std::function<double()> now = nullptr)
      : game(std::move(start)), g(*game), rec(g, std::move(now)), heard(event_state(g)) {}
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  std::unique_ptr<Game> game;
  Game& g;
  Recorder rec;
  JourneyLog log;
  std::unique_ptr<Game> entry;  // the state when the current level became playable
  EventState heard;             // the state the last sounds were told from
};

}  // namespace tervalon
