// The app's menus: the start menu, the pause menu, the practice list and the
// journey's end, each item answering with what it stands for.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "game/app/menu_screen.h"
#include "game/app/run.h"
#include "game/journey/bests.h"

namespace tervalon {

// `lines` say where the journey is; with `resumable` it can be continued
// and practised.
MenuScreen start_menu(const std::vector<std::string>& lines, bool resumable, bool settings);
// `keys` are the rows of keys shown, in both languages.
MenuScreen pause_menu(bool practising, bool settings, const std::vector<std::string>& keys);
// Every level and pass the journey reached, with its best time; `lines`
// (a practice's result) above them.
MenuScreen practice_menu(const JourneyLog& log, const Bests& bests, std::vector<std::string> lines);
// The journey's end: play time, rewinds, ghosts caught, best times; any key
// ends the game.
MenuScreen ending(const Run& journey, const Bests& bests);

}  // namespace tervalon
