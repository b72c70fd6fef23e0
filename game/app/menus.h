// The app's menus: the start menu, the pause menu, the practice list and the
// journey's end, each item answering with what it stands for.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "game/app/menu_screen.h"
#include "game/app/run.h"
#include "game/journey/bests.h"

namespace tervalon {

// `lines` say where the journey is; with `resumable` it can be continued,
// with `practice` levels reached can be practised.
MenuScreen start_menu(const std::vector<std::string>& lines, bool resumable, bool practice, bool settings);
// The first start: the game's name and its keys (`keys`, rows in both languages);
// any key goes on, and Escape quits as it does everywhere.
std::unique_ptr<Screen> welcome(const std::vector<std::string>& keys);
// Asks before a new journey replaces the one being played (`at`, `frames`
// played); it is kept as a recording either way.
MenuScreen confirm_new_journey(const Entry& at, std::uint64_t frames);
// `keys` are the rows of keys shown, in both languages.
MenuScreen pause_menu(bool practising, bool settings, const std::vector<std::string>& keys);
// Every level and pass `reached`, with its best time; `lines` (a practice's
// result) above them.
MenuScreen practice_menu(const std::vector<Entry>& reached, const Bests& bests, std::vector<std::string> lines);
// The journey's end: play time, rewinds, ghosts caught, each level's time
// and best; then practice, a new journey or quit.
MenuScreen ending(const Run& journey, const Bests& bests);

}  // namespace tervalon
