// The journey's log, read from the state.
#include "game/journey/log.h"

#include <algorithm>

#include "game/rules/trail.h"

namespace tervalon {

void JourneyLog::resync(const Game& g) {
  playing_ = g.PAUSE == 0;
  head_ = g.STPN[g.BDLV];
  caught_now_ = caught_ghosts(g);
}

JourneyLog::Event JourneyLog::see(const Game& g) {
  Event e = Event::none;
  const Entry here{g.BDLV, g.GSIT, g.FRAME};
  if (started_ && playing_ && g.PAUSE != 0) {
    playing_ = false;
    left_frames_ = g.FRAME - current_.frame;
    if (const auto at = std::find(reached_.begin(), reached_.end(), current_); at != reached_.end())
      at->took = left_frames_;
    e = Event::left;
  } else if ((!started_ || !playing_) && g.PAUSE == 0) {
    playing_ = true;
    current_ = here;
    if (std::find(reached_.begin(), reached_.end(), here) == reached_.end()) reached_.push_back(here);
    e = Event::entered;
  }
  const std::uint32_t head = g.STPN[g.BDLV];
  const std::uint32_t caught = caught_ghosts(g);
  if (started_ && e != Event::entered && here == current_) {
    if (g.GSIT == 1 && head < head_) ++rewinds_;
    if (caught > caught_now_) caught_ += caught - caught_now_;
  }
  started_ = true;
  head_ = head;
  caught_now_ = caught;
  return e;
}

}  // namespace tervalon
