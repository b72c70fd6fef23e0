// The settings screen.
#include "game/app/settings_screen.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "base/keys.h"

namespace tervalon {

using namespace base::keys;

namespace {

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
  return text.empty() ? "-" : text;
}

bool same_name(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

SettingsScreen::SettingsScreen(SettingsFile& file, const Platform& platform,
                               std::function<void(const Settings&)> applied)
    : file_(file), platform_(platform), applied_(std::move(applied)) {
  build(0, {});
}

void SettingsScreen::build(std::size_t selected, std::vector<std::string> lines) {
  const Settings& s = file_.settings();
  if (lines.empty()) {
    if (!file_.unsaved().empty()) lines.push_back(file_.unsaved());
    for (std::size_t i = 0; i < file_.problems().size() && i < 3; ++i) lines.push_back(file_.problems()[i]);
    lines.emplace_back("画面的设置下次启动时生效　The picture's settings apply at the next start");
  }
  std::vector<MenuScreen::Choice> choices;
  for (SettingLine& l : setting_lines(s)) choices.push_back({{std::move(l.zh), std::move(l.en)}, {}});
  values_ = choices.size();
  for (std::size_t a = 0; a < ACTION_COUNT; ++a) {
    const std::string names = joined(s.keys.of[a]) + " / " + joined(s.buttons.of[a]);
    choices.push_back({{std::string(ACTIONS[a].zh) + "：" + names, std::string(ACTIONS[a].en) + ": " + names}, {}});
  }
  choices.push_back({{"恢复默认", "Defaults"}, {}});
  choices.push_back({{"返回", "Back"}, {Answer::back}});
  menu_ = MenuScreen({"设置", "Settings", std::move(lines), {}, selected}, std::move(choices), {Answer::back});
}

Answer SettingsScreen::message(const display::MSG& m, const Game& g) {
  if (capture_ && m.MESSAGE == WM_KEYDOWN) {
    rebind(m);
    return {};
  }
  const std::optional<std::size_t> i = menu_.chosen(m, g);
  if (!i) return {};
  if (*i < values_) {
    Settings n = file_.settings();
    setting_lines(n)[*i].next(n);
    apply(n);
    build(*i, {});
  } else if (*i < values_ + ACTION_COUNT) {
    build(*i, {"按下新的键或手柄按钮；Esc 取消", "Press the new key or controller button; Escape cancels"});
    capture_ = *i - values_;
  } else if (*i == values_ + ACTION_COUNT) {
    apply(default_settings());
    build(*i, {});
  } else {
    return {Answer::back};
  }
  return {};
}

// The file is saved at once; the game takes what it can in play (keys, the
// guide, the speed, the volume), the picture waits for the next start.
void SettingsScreen::apply(const Settings& s) {
  std::string why;
  if (!file_.save(s, why)) std::fprintf(stderr, "tervalon: %s\n", why.c_str());
  if (platform_.bind) platform_.bind(s);
  if (platform_.volume) platform_.volume(s.volume);
  applied_(s);
}

// The key or button pressed becomes the action's first; it leaves any other
// action it had.
void SettingsScreen::rebind(const display::MSG& m) {
  const std::size_t action = *capture_;
  capture_.reset();
  const std::int32_t pressed = pressed_key(m.LPARAM);
  const std::string name = m.WPARAM == K_ESC || !pressed || !platform_.name_of ? "" : platform_.name_of(pressed);
  if (!name.empty()) {
    Settings n = file_.settings();
    Bindings& lists = pressed >= K_PAD_A && pressed <= K_PAD_GUIDE ? n.buttons : n.keys;
    for (std::vector<std::string>& l : lists.of)
      std::erase_if(l, [&](const std::string& o) { return same_name(o, name); });
    std::vector<std::string>& l = lists.of[action];
    l.insert(l.begin(), name);
    if (l.size() > 3) l.resize(3);
    apply(n);
  }
  build(values_ + action, {});
}

}  // namespace tervalon
