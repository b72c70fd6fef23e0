// The app's menus.
#include "game/app/menus.h"

#include "base/keys.h"
#include "game/app/words.h"

namespace tervalon {

MenuScreen start_menu(const std::vector<std::string>& lines, bool resumable, bool practice, bool settings) {
  std::vector<MenuScreen::Choice> choices;
  if (resumable) choices.push_back({{"继续", "Continue"}, {Answer::go_on}});
  choices.push_back({{"新的旅程", "New journey"}, {resumable ? Answer::ask_new_journey : Answer::new_journey}});
  if (practice) choices.push_back({{"练习", "Practice"}, {Answer::practice_menu}});
  if (settings) choices.push_back({{"设置", "Settings"}, {Answer::settings}});
  choices.push_back({{"退出", "Quit"}, {Answer::quit}});
  return {{"继续旅程", "Your journey", lines, {}, 0}, std::move(choices), {Answer::quit}};
}

namespace {

class Welcome : public MenuScreen {
 public:
  using MenuScreen::MenuScreen;
  Answer message(const display::MSG& m, const Game& g) override {
    if (m.MESSAGE == base::keys::WM_KEYDOWN && m.WPARAM == base::keys::K_ESC) return {Answer::quit};
    return MenuScreen::message(m, g);
  }
};

}  // namespace

std::unique_ptr<Screen> welcome(const std::vector<std::string>& keys) {
  std::vector<std::string> lines{"向前走到出口，再一路走回家；影子会把你倒回。",
                                 "Forward to the exit, then all the way home; your ghosts rewind you."};
  lines.insert(lines.end(), keys.begin(), keys.end());
  lines.push_back("按任意键开始　Any key starts");
  return std::make_unique<Welcome>(Menu{"", "Tervalon", std::move(lines), {}, 0}, std::vector<MenuScreen::Choice>{},
                                   Answer{Answer::resume});
}

MenuScreen confirm_new_journey(const Entry& at, std::uint64_t frames) {
  const std::string time = play_time(frames);
  return {
      {"新的旅程？",
       "A new journey?",
       {"这次旅程到了" + level_zh(at) + "，用时 " + time + "，会另存为录像。",
        "This one, at " + level_en(at) + " after " + time + ", is kept as a recording."},
       {},
       0},
      {{{"不，返回", "No, go back"}, {Answer::back}}, {{"开始新的旅程", "Start a new journey"}, {Answer::new_journey}}},
      {Answer::back}};
}

MenuScreen pause_menu(bool practising, bool settings, const std::vector<std::string>& keys) {
  std::vector<MenuScreen::Choice> choices{{{"继续", "Resume"}, {Answer::resume}},
                                          {{"重来本关", "Restart level"}, {Answer::restart_level}}};
  if (practising) {
    choices.push_back({{"结束练习", "Leave practice"}, {Answer::leave_practice}});
  } else {
    choices.push_back({{"重新开始旅程", "Restart the journey"}, {Answer::ask_new_journey}});
    choices.push_back({{"练习", "Practice"}, {Answer::practice_menu}});
  }
  if (settings) choices.push_back({{"设置", "Settings"}, {Answer::settings}});
  choices.push_back({{"退出", "Quit"}, {Answer::quit}});
  return {{"暂停", "Paused", keys, {}, 0}, std::move(choices), {Answer::resume}, true};
}

MenuScreen practice_menu(const std::vector<Entry>& reached, const Bests& bests, std::vector<std::string> lines) {
  std::vector<MenuScreen::Choice> choices;
  for (const Entry& e : reached) {
    if (e.level == 0) continue;
    const std::uint64_t best = bests.best(e.level, e.pass);
    const std::string time = best ? "　" + seconds(best) : "";
    choices.push_back({{level_zh(e) + time, level_en(e) + time}, {Answer::practice, e}});
  }
  if (choices.empty()) lines.push_back("还没有到过任何一关。 No level reached yet.");
  choices.push_back({{"返回", "Back"}, {Answer::back}});
  return {{"练习", "Practice", std::move(lines), {}, 0}, std::move(choices), {Answer::back}};
}

MenuScreen ending(const Run& journey, const Bests& bests) {
  const JourneyLog& log = journey.log;
  const std::string time = play_time(journey.g.FRAME);
  std::vector<std::string> lines{
      "用时 " + time + "　Play time " + time,
      "被影子倒回 " + std::to_string(log.rewinds()) + " 次　Rewinds by ghosts: " + std::to_string(log.rewinds()),
      "抓到影子 " + std::to_string(log.caught()) + " 个　Ghosts caught: " + std::to_string(log.caught())};
  for (const Entry& e : log.reached()) {
    if (e.level == 0 || e.took == 0) continue;
    const std::uint64_t best = bests.best(e.level, e.pass);
    const std::string zh = best ? "，最佳 " + seconds(best) : "", en = best ? ", best " + seconds(best) : "";
    lines.push_back(level_zh(e) + " " + seconds(e.took) + zh + "　" + level_en(e) + ": " + seconds(e.took) + en);
  }
  Menu m{"旅程终点", "The journey's end", std::move(lines), {}, 0};
  m.opaque = true;  // the player and the lamp must not show through the counts
  return {std::move(m),
          {{{"练习", "Practice"}, {Answer::practice_menu}},
           {{"新的旅程", "New journey"}, {Answer::new_journey}},
           {{"退出", "Quit"}, {Answer::quit}}},
          {Answer::quit}};
}

}  // namespace tervalon
