// The settings screen.
#include "game/app/settings_screen.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

#include "base/keys.h"
#include "base/utf8.h"
#include "game/view/menu.h"

namespace tervalon {

using namespace base::keys;

namespace {

// Rows are measured at this text size; they grow and shrink with the text.
constexpr std::uint32_t MEASURE = 100;

std::int64_t width(std::string_view utf8) { return menu_text_width(utf8, MEASURE); }

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

bool holds(const std::vector<std::string>& names, std::string_view name) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return same_name(n, name); });
}

bool held(const Bindings& b, std::string_view name) {
  return std::any_of(b.of.begin(), b.of.end(), [&](const std::vector<std::string>& l) { return holds(l, name); });
}

// `text` in rows no wider than `room`: broken after a space or a wide
// character where it can be, anywhere where it cannot.
std::vector<std::string> wrapped(const std::string& text, std::int64_t room) {
  std::vector<std::string> rows;
  std::size_t begin = 0, cut = std::string::npos;  // where the row begins, and where it may end
  std::int64_t w = 0;
  for (std::size_t at = 0, next = 0; at < text.size(); at = next) {
    char32_t c = 0;
    if (!base::next_utf8(text, next = at, c)) next = at + 1;
    const std::int64_t char_w = width(std::string_view(text).substr(at, next - at));
    if (w + char_w > room && at > begin) {
      const std::size_t end = cut != std::string::npos && cut > begin ? cut : at;
      std::size_t kept = end;
      while (kept > begin && text[kept - 1] == ' ') --kept;
      rows.push_back(text.substr(begin, kept - begin));
      begin = end;
      while (begin < at && text[begin] == ' ') ++begin;
      cut = std::string::npos;
      w = width(std::string_view(text).substr(begin, at - begin));
      if (c == ' ' && begin == at) {  // a space at the cut goes with it
        begin = next;
        continue;
      }
    }
    w += char_w;
    if (c == ' ' || c >= 0x2E80) cut = next;
  }
  if (begin < text.size()) rows.push_back(text.substr(begin));
  return rows;
}

// `s` with `name` bound to action `a`, alone or added to its names, and
// taken from any other action. An action left without names takes back
// those of its defaults that no action holds, as when the file is read.
Settings rebound(Settings s, bool button, std::size_t a, const std::string& name, bool add) {
  Bindings Settings::*which = button ? &Settings::buttons : &Settings::keys;
  Bindings& lists = s.*which;
  for (std::vector<std::string>& l : lists.of)
    std::erase_if(l, [&](const std::string& n) { return same_name(n, name); });
  if (!add) lists.of[a].clear();
  lists.of[a].push_back(name);
  const Settings defaults = default_settings();
  for (std::size_t o = 0; o < ACTION_COUNT; ++o)
    if (lists.of[o].empty())
      for (const std::string& d : (defaults.*which).of[o])
        if (!held(lists, d)) lists.of[o].push_back(d);
  return s;
}

}  // namespace

std::vector<std::string> settings_trouble(const SettingsFile& file) {
  if (file.troubles().empty()) return {};
  return {file.name() + " 有问题，详见“设置”", file.name() + " has problems: see Settings"};
}

SettingsScreen::SettingsScreen(SettingsFile& file, const Platform& platform,
                               std::function<void(const Settings&)> applied)
    : file_(file), platform_(platform), applied_(std::move(applied)) {
  build(0);
}

// The problems come first, each in both languages, as rows the selection
// moves through: a list longer than the screen scrolls.
void SettingsScreen::build(std::size_t selected, std::vector<std::string> lines) {
  question_.reset();
  const Settings& s = file_.settings();
  std::vector<MenuScreen::Choice> choices;
  for (SettingLine& l : setting_lines(s)) choices.push_back({{std::move(l.zh), std::move(l.en)}, {}});
  values_ = choices.size();
  for (std::size_t a = 0; a < ACTION_COUNT; ++a) {
    const std::string names = joined(s.keys.of[a]) + " / " + joined(s.buttons.of[a]);
    choices.push_back({{std::string(ACTIONS[a].zh) + "：" + names, std::string(ACTIONS[a].en) + ": " + names}, {}});
  }
  choices.push_back({{"恢复默认", "Defaults"}, {}});
  choices.push_back({{"返回", "Back"}, {Answer::back}});

  const bool told = !lines.empty();
  if (!told && !file_.troubles().empty()) {
    lines.push_back(file_.name() + " 的问题列在上面（按 ↑）");
    lines.push_back("The problems in " + file_.name() + " are listed above (press Up)");
  }
  if (!told) {
    lines.emplace_back("画面的设置下次启动时生效");
    lines.emplace_back("The picture's settings apply at the next start");
  }
  // No problem's row is wider than the rest, so that none makes the text
  // smaller; an item's bar is one text size wider than its text.
  std::int64_t room = 0;
  for (const MenuScreen::Choice& c : choices) room = std::max(room, width(c.item.zh + "　" + c.item.en));
  for (const std::string& l : lines) room = std::max(room, width(l) - MEASURE);
  if (!told && !file_.unsaved_trouble().en.empty()) {
    std::vector<std::string> unsaved;
    for (const std::string& text : file_.unsaved_trouble().shown())
      for (std::string& row : wrapped(text, room + MEASURE)) unsaved.push_back(std::move(row));
    lines.insert(lines.begin(), unsaved.begin(), unsaved.end());
  }
  std::vector<MenuScreen::Choice> rows;
  for (const Trouble& t : file_.troubles()) {
    const std::array<std::string, 2> shown = t.shown();
    for (std::string& row : wrapped(shown[0], room)) rows.push_back({{std::move(row), ""}, {}});
    for (std::string& row : wrapped(shown[1], room)) rows.push_back({{"", std::move(row)}, {}});
  }
  rows_ = rows.size();
  for (MenuScreen::Choice& c : choices) rows.push_back(std::move(c));
  menu_ = MenuScreen({"设置", "Settings", std::move(lines), {}, rows_ + selected}, std::move(rows), {Answer::back});
}

Answer SettingsScreen::message(const display::MSG& m, const Game& g) {
  if (capture_) {
    if (m.MESSAGE == WM_KEYDOWN) rebind(m);
    if (m.MESSAGE == WM_LBUTTONUP) {  // a click cancels
      const std::size_t action = *capture_;
      capture_.reset();
      build(values_ + action);
    }
    return {};
  }
  const std::optional<std::size_t> i = menu_.chosen(m, g);
  if (!i) return {};
  if (question_) {
    answer(*i);
    return {};
  }
  if (*i < rows_) return {};  // a problem's row is there to be read
  const std::size_t k = *i - rows_;
  if (k < values_) {
    Settings n = file_.settings();
    setting_lines(n)[k].next(n);
    apply(n);
    build(k);
  } else if (k < values_ + ACTION_COUNT) {
    capture_ = k - values_;
    build(k, {"按下新的键或手柄按钮；Esc 取消", "Press the new key or controller button; Escape cancels"});
  } else if (k == values_ + ACTION_COUNT) {
    apply(default_settings());
    build(k);
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

// The key or button pressed for an action; Escape cancels.
void SettingsScreen::rebind(const display::MSG& m) {
  // A key held since before (the Enter that chose the action) is not the new one.
  if ((static_cast<std::uint32_t>(m.LPARAM) >> 30 & 1) != 0) return;
  const std::size_t action = *capture_;
  capture_.reset();
  const std::int32_t pressed = pressed_key(m.LPARAM);
  const std::string name = m.WPARAM == K_ESC || !pressed || !platform_.name_of ? "" : platform_.name_of(pressed);
  Question q{action, name, pressed >= K_PAD_A && pressed <= K_PAD_GUIDE, false};
  const std::vector<std::string>& names = (q.button ? file_.settings().buttons : file_.settings().keys).of[action];
  // Nothing to ask when it is the action's one name already.
  if (name.empty() || (names.size() == 1 && same_name(names[0], name))) return build(values_ + action);
  q.can_add = !holds(names, name) && names.size() < MOST_NAMES;
  ask(q);
}

// Whether the name replaces the action's or joins them, and what it is
// taken from.
void SettingsScreen::ask(const Question& q) {
  const Bindings& now = q.button ? file_.settings().buttons : file_.settings().keys;
  const Settings after = rebound(file_.settings(), q.button, q.action, q.name, false);
  const Bindings& then = q.button ? after.buttons : after.keys;
  const ActionInfo& info = ACTIONS[q.action];
  const std::string zh(info.zh), en(info.en), kind_zh = q.button ? "按钮" : "键", kind_en = q.button ? "button" : "key";
  std::vector<std::string> lines;
  if (now.of[q.action].empty()) {
    lines.push_back("“" + zh + "”现在没有" + kind_zh);
    lines.push_back(en + " has no " + kind_en + " now");
  } else {
    lines.push_back("“" + zh + "”现在的" + kind_zh + "：" + joined(now.of[q.action]));
    lines.push_back(en + "'s " + kind_en + "s now: " + joined(now.of[q.action]));
  }
  for (std::size_t o = 0; o < ACTION_COUNT; ++o) {
    if (o == q.action || !holds(now.of[o], q.name)) continue;
    const std::string other_zh(ACTIONS[o].zh), other_en(ACTIONS[o].en);
    lines.push_back(q.name + " 现在是“" + other_zh + "”的" + kind_zh + "，会从那里拿走");
    lines.push_back(q.name + " is " + other_en + "'s " + kind_en + " now: it is taken from there");
    if (then.of[o].empty()) {
      lines.push_back("“" + other_zh + "”将没有" + kind_zh);
      lines.push_back(other_en + " is left with no " + kind_en);
    } else if (now.of[o].size() == 1) {
      lines.push_back("“" + other_zh + "”改用默认的 " + joined(then.of[o]));
      lines.push_back(other_en + " goes back to its default " + joined(then.of[o]));
    }
  }
  // Unbound, these two keys do work of their own, which binding ends.
  if (!q.button && !held(now, q.name) && same_name(q.name, "Tab")) {
    lines.emplace_back("Tab 将不再用来看指南");
    lines.emplace_back("Tab will no longer show the guide");
  }
  if (!q.button && !held(now, q.name) && same_name(q.name, "M")) {
    lines.emplace_back("M 将不再开关声音");
    lines.emplace_back("M will no longer turn the sound off and on");
  }
  std::vector<MenuScreen::Choice> choices;
  if (q.can_add) choices.push_back({{"加上 " + q.name, "Add " + q.name}, {}});
  choices.push_back({{"只用 " + q.name, "Only " + q.name}, {}});
  choices.push_back({{"取消", "Cancel"}, {}});
  menu_ = MenuScreen({zh + "：" + q.name, en + ": " + q.name, std::move(lines), {}, 0}, std::move(choices),
                     {Answer::back});
  question_ = q;
}

void SettingsScreen::answer(std::size_t item) {
  const Question q = *question_;
  const std::size_t choice = item + (q.can_add ? 0 : 1);  // 0 add, 1 only, then cancel and Escape
  if (choice <= 1) apply(rebound(file_.settings(), q.button, q.action, q.name, choice == 0));
  build(values_ + q.action);
}

}  // namespace tervalon
