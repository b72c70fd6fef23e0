// The settings file: one table of the settings (section, key, comment, how a
// value is shown and read), a reader that keeps every line as it was with
// where each setting's value stands in it, and a writer that changes only
// those values.
#include "game/app/settings.h"

#include <cerrno>
#include <iterator>
#include <map>
#include <utility>

#include "base/numbers.h"
#include "base/printable.h"
#include "base/storage.h"
#include "game/view/menu.h"

namespace tervalon {

namespace {

constexpr std::size_t NONE = std::string::npos;
// A hand-written file is a few kilobytes; these bound what a stray file costs.
constexpr std::size_t MAX_LINE = 4096;
constexpr std::size_t MAX_FILE = 1 << 20;
constexpr std::size_t MAX_NAMES = MOST_NAMES;
constexpr std::size_t SHOWN_PATH = 1024;
// Past these, a file of junk would print a line for each of its lines.
constexpr std::size_t MAX_PROBLEMS = 20;

const char* const HEADER =
    "# Tervalon's settings, read at start. The game wrote this file with every\n"
    "# default; its settings screen rewrites only the lines it changes, and your\n"
    "# own lines and comments stay. A wrong line is named on standard error and\n"
    "# in the settings screen, and its default is used. Options on the command\n"
    "# line win over this file for that run.\n";

struct Section {
  std::string_view name, comment;
};
constexpr Section SECTIONS[] = {
    {"keys",
     "Up to three keys per action, separated by commas, named as SDL names them:\n"
     "Left, Right, Up, Down, A..Z, 0..9, Space, Return, Tab, Left Shift, Right Ctrl,\n"
     "Keypad 4, F1... Escape always quits and cannot be bound."},
    {"controller",
     "Up to three game controller buttons per action, separated by commas: a, b,\n"
     "x, y, start, guide, leftstick, rightstick, leftshoulder, rightshoulder,\n"
     "dpup, dpdown, dpleft, dpright. back always quits and cannot be bound."},
    {"display", ""},
    {"play", ""},
    {"sound", ""},
};
constexpr std::size_t KEYS = 0, CONTROLLER = 1;

// What the names of a [keys] or [controller] list are.
struct Kind {
  std::string_view reserved, noun, plural;
};
constexpr Kind KINDS[] = {{"Escape", "key name", "keys"}, {"back", "controller button", "buttons"}};

// One setting: a list of names (`bindings`) or one value (`show`, `read`).
struct Field {
  std::size_t section = 0;
  std::string_view key, comment;
  Bindings Settings::*bindings = nullptr;
  Action action = Action::left;
  std::string (*show)(const Settings&) = nullptr;
  bool (*read)(std::string_view, Settings&) = nullptr;
  std::string_view must;  // what a wrong value is told
  // On the settings screen: its label and value in both languages, and the
  // value it moves to when chosen.
  std::string_view zh{}, en{};
  std::array<std::string, 2> (*shown)(const Settings&) = nullptr;
  void (*next)(Settings&) = nullptr;
};

std::array<std::string, 2> yes_no(bool yes, const char* zh_yes, const char* zh_no) {
  return {yes ? zh_yes : zh_no, yes ? "yes" : "no"};
}

// `v` as one of two words.
bool choose(std::string_view v, std::string_view yes, std::string_view no, bool& out) {
  if (v != yes && v != no) return false;
  out = v == yes;
  return true;
}

const std::vector<Field>& fields() {
  static const std::vector<Field> all = [] {
    std::vector<Field> list;
    for (const std::size_t section : {KEYS, CONTROLLER})
      for (std::size_t a = 0; a < ACTION_COUNT; ++a)
        list.push_back({.section = section,
                        .key = ACTIONS[a].name,
                        .comment = ACTIONS[a].comment,
                        .bindings = section == KEYS ? &Settings::keys : &Settings::buttons,
                        .action = static_cast<Action>(a),
                        .must = ""});
    list.push_back({.section = 2,
                    .key = "scale",
                    .comment = "integer: the board at the largest whole multiple that fits, every pixel\n"
                               "a sharp square; fit: as large as the window allows, keeping its shape.",
                    .show = [](const Settings& s) { return std::string(s.fit ? "fit" : "integer"); },
                    .read = [](std::string_view v, Settings& s) { return choose(v, "fit", "integer", s.fit); },
                    .must = "scale must be integer or fit",
                    .zh = "缩放",
                    .en = "Scale",
                    .shown =
                        [](const Settings& s) {
                          return std::array<std::string, 2>{s.fit ? "铺满" : "整数倍", s.fit ? "fit" : "integer"};
                        },
                    .next = [](Settings& s) { s.fit = !s.fit; }});
    list.push_back({.section = 2,
                    .key = "fullscreen",
                    .comment = "yes: start in full screen.",
                    .show = [](const Settings& s) { return std::string(s.fullscreen ? "yes" : "no"); },
                    .read = [](std::string_view v, Settings& s) { return choose(v, "yes", "no", s.fullscreen); },
                    .must = "fullscreen must be yes or no",
                    .zh = "全屏",
                    .en = "Full screen",
                    .shown = [](const Settings& s) { return yes_no(s.fullscreen, "是", "否"); },
                    .next = [](Settings& s) { s.fullscreen = !s.fullscreen; }});
    list.push_back({.section = 2,
                    .key = "window-scale",
                    .comment = "The window's size in multiples of the board, 1..16; auto: the largest\n"
                               "that fits in nine tenths of the screen's work area.",
                    .show = [](const Settings& s) { return s.window_scale ? std::to_string(s.window_scale) : "auto"; },
                    .read =
                        [](std::string_view v, Settings& s) {
                          if (v != "auto") return base::parse_whole<std::uint32_t>(v, 1, 16, s.window_scale);
                          s.window_scale = 0;
                          return true;
                        },
                    .must = "window-scale must be auto or 1..16",
                    .zh = "窗口倍数",
                    .en = "Window scale",
                    .shown =
                        [](const Settings& s) {
                          const std::string n = std::to_string(s.window_scale);
                          return std::array<std::string, 2>{s.window_scale ? n : "自动", s.window_scale ? n : "auto"};
                        },
                    .next = [](Settings& s) { s.window_scale = (s.window_scale + 1) % 9; }});
    list.push_back(
        {.section = 2,
         .key = "palette",
         .comment = "The colours of the ghosts and the markers. default: the game's own;\n"
                    "colourblind: colours told apart with red-green or blue-yellow colour blindness.",
         .show = [](const Settings& s) { return std::string(s.colourblind ? "colourblind" : "default"); },
         .read = [](std::string_view v, Settings& s) { return choose(v, "colourblind", "default", s.colourblind); },
         .must = "palette must be default or colourblind",
         .zh = "配色",
         .en = "Palette",
         .shown =
             [](const Settings& s) {
               return std::array<std::string, 2>{s.colourblind ? "色盲友好" : "默认",
                                                 s.colourblind ? "colour-blind" : "default"};
             },
         .next = [](Settings& s) { s.colourblind = !s.colourblind; }});
    list.push_back(
        {.section = 2,
         .key = "text",
         .comment = "The text of menus, notes and the guide. normal, or large: larger, and a\n"
                    "long line wraps instead of shrinking.",
         .show = [](const Settings& s) { return std::string(s.large_text ? "large" : "normal"); },
         .read = [](std::string_view v, Settings& s) { return choose(v, "large", "normal", s.large_text); },
         .must = "text must be normal or large",
         .zh = "文字",
         .en = "Text",
         .shown =
             [](const Settings& s) {
               return std::array<std::string, 2>{s.large_text ? "大" : "正常", s.large_text ? "large" : "normal"};
             },
         .next = [](Settings& s) { s.large_text = !s.large_text; }});
    list.push_back({.section = 3,
                    .key = "guide",
                    .comment = "yes: show the on-screen guide.",
                    .show = [](const Settings& s) { return std::string(s.guide ? "yes" : "no"); },
                    .read = [](std::string_view v, Settings& s) { return choose(v, "yes", "no", s.guide); },
                    .must = "guide must be yes or no",
                    .zh = "指南",
                    .en = "Guide",
                    .shown = [](const Settings& s) { return yes_no(s.guide, "开", "关"); },
                    .next = [](Settings& s) { s.guide = !s.guide; }});
    list.push_back({.section = 3,
                    .key = "goal",
                    .comment = "yes: outline where to go (the exit, and the entry on the way back)\n"
                               "from a level's first frame.",
                    .show = [](const Settings& s) { return std::string(s.goal ? "yes" : "no"); },
                    .read = [](std::string_view v, Settings& s) { return choose(v, "yes", "no", s.goal); },
                    .must = "goal must be yes or no",
                    .zh = "目标",
                    .en = "Goal",
                    .shown = [](const Settings& s) { return yes_no(s.goal, "开", "关"); },
                    .next = [](Settings& s) { s.goal = !s.goal; }});
    list.push_back({.section = 3,
                    .key = "speed",
                    .comment = "The game's speed in percent: 100, 80, 60 or 40.",
                    .show = [](const Settings& s) { return std::to_string(s.speed); },
                    .read =
                        [](std::string_view v, Settings& s) {
                          std::uint32_t n = 0;
                          if (!base::parse_whole<std::uint32_t>(v, 40, 100, n) || n % 20 != 0) return false;
                          s.speed = n;
                          return true;
                        },
                    .must = "speed must be 100, 80, 60 or 40",
                    .zh = "速度",
                    .en = "Speed",
                    .shown =
                        [](const Settings& s) {
                          const std::string n = std::to_string(s.speed) + "%";
                          return std::array<std::string, 2>{n, n};
                        },
                    .next = [](Settings& s) { s.speed = s.speed <= 40 ? 100 : s.speed - 20; }});
    list.push_back(
        {.section = 4,
         .key = "volume",
         .comment = "The volume, 0 (silent) to 100.",
         .show = [](const Settings& s) { return std::to_string(s.volume); },
         .read = [](std::string_view v, Settings& s) { return base::parse_whole<std::uint32_t>(v, 0, 100, s.volume); },
         .must = "volume must be 0..100",
         .zh = "音量",
         .en = "Volume",
         .shown =
             [](const Settings& s) {
               const std::string n = std::to_string(s.volume);
               return std::array<std::string, 2>{n, n};
             },
         .next = [](Settings& s) { s.volume = s.volume >= 100 ? 0 : std::min<std::uint32_t>(s.volume + 10, 100); }});
    return list;
  }();
  return all;
}

std::vector<std::string>& names_of(const Field& f, Settings& s) { return (s.*f.bindings)[f.action]; }
const std::vector<std::string>& names_of(const Field& f, const Settings& s) { return (s.*f.bindings)[f.action]; }

// A setting's value as the file spells it.
std::string shown(const Field& f, const Settings& s) {
  if (!f.bindings) return f.show(s);
  std::string list;
  for (const std::string& name : names_of(f, s)) list += (list.empty() ? "" : ", ") + name;
  return list;
}

// Each line of `text` with "# " before it.
std::string commented(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t eol = text.find('\n', at);
    if (eol == std::string_view::npos) eol = text.size();
    out += "# ";
    out += text.substr(at, eol - at);
    out += '\n';
    at = eol + 1;
  }
  return out;
}

std::string setting_lines(const Field& f, const Settings& s) {
  return commented(f.comment) + std::string(f.key) + " = " + shown(f, s) + "\n";
}

std::string section_lines(std::size_t section) {
  const std::string_view comment = SECTIONS[section].comment;
  return "[" + std::string(SECTIONS[section].name) + "]\n" + (comment.empty() ? "" : commented(comment) + "\n");
}

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::string in_quotes(std::string_view s) { return "\"" + base::printable(s) + "\""; }
std::string in_zh_quotes(std::string_view s) { return "“" + base::printable(s) + "”"; }

// What is wrong, in both languages.
struct Said {
  std::string zh, en;
};

// An action's name on screen, by its name in the file.
std::string action_zh(std::string_view name) {
  for (const ActionInfo& a : ACTIONS)
    if (a.name == name) return std::string(a.zh);
  return std::string(name);
}

// A value's fault in Chinese, from the English "X must be A, B or C": the
// values stay as they are written in the file.
std::string must_zh(const Field& f) {
  const std::string label = f.zh.empty() ? std::string(f.key) : std::string(f.zh) + "（" + std::string(f.key) + "）";
  constexpr std::string_view MUST = " must be ";
  const std::size_t at = f.must.find(MUST);
  if (at == std::string_view::npos) return label + "的值不对：" + std::string(f.must);
  std::string values(f.must.substr(at + MUST.size()));
  for (std::size_t or_at; (or_at = values.find(" or ")) != std::string::npos;) values.replace(or_at, 4, " 或 ");
  for (std::size_t comma; (comma = values.find(", ")) != std::string::npos;) values.replace(comma, 2, "、");
  return label + "只能是 " + values;
}

// A reason the platform gave (an OS error's text), as it is said.
std::string reason_zh(const std::string& why) {
  constexpr std::string_view READ_ONLY = "cannot be written: it is read-only";
  if (why == READ_ONLY) return "文件是只读的，无法写入";
  for (const std::string_view prefix : {"cannot be written: ", "cannot write: "})
    if (why.starts_with(prefix)) return "无法写入（" + why.substr(prefix.size()) + "）";
  return "无法读取（" + why + "）";
}

// Names match as SDL matches them: ASCII letters in either case.
std::string folded(std::string_view name) {
  std::string f(name);
  for (char& c : f)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return f;
}

// The names of a list written "A, B, C". Two names hold a comma themselves
// ("," and "Keypad ,"): a comma is part of a name when it begins one, or
// when it follows a blank and makes a known name.
std::vector<std::string> split_names(std::string_view list, const std::function<bool(std::string_view)>& known) {
  std::vector<std::string> names;
  std::string name;
  auto end_name = [&] {
    if (const std::string_view t = trim(name); !t.empty()) names.emplace_back(t);
    name.clear();
  };
  for (const char c : list) {
    if (c == ',') {
      const std::string_view so_far = trim(name);
      const bool after_blank = !name.empty() && blank(name.back());
      if (so_far.empty() || (after_blank && (!known || known(std::string(so_far) + ",")))) {
        name += c;
        continue;
      }
      end_name();
    } else {
      name += c;
    }
  }
  end_name();
  return names;
}

// Which action holds a name, and on which line (NONE: by default).
struct Taken {
  std::string_view action;
  std::size_t line;
};

// The names of one action's line `line` into `names`: what was wrong with
// them, "; " between, or nothing.
Said read_names(std::string_view list, const Field& f, std::size_t line, const NameChecks& checks,
                std::map<std::string, Taken>& taken, std::vector<std::string>& names) {
  const Kind& kind = KINDS[f.section];
  const bool keys = f.section == KEYS;
  const auto& known = keys ? checks.key : checks.button;
  Said wrong;
  auto tell = [&](const std::string& zh, const std::string& what) {
    if (wrong.en.find(what) != std::string::npos) return;
    wrong.en += (wrong.en.empty() ? "" : "; ") + what;
    wrong.zh += (wrong.zh.empty() ? "" : "；") + zh;
  };
  const std::vector<std::string> written = split_names(list, known);
  bool too_many = false;
  for (const std::string& name : written) {
    const std::string key = folded(name);
    if (key == folded(kind.reserved)) {
      tell(std::string(kind.reserved) + " 总是退出，不能设定",
           std::string(kind.reserved) + " always quits and cannot be bound");
    } else if (known && !known(name)) {
      tell(in_zh_quotes(name) + (keys ? " 不是键名" : " 不是手柄按钮名"),
           in_quotes(name) + " is not a " + std::string(kind.noun));
    } else if (auto [it, fresh] = taken.emplace(key, Taken{f.key, line}); !fresh && it->second.action == f.key) {
      tell(in_zh_quotes(name) + " 写了两次", in_quotes(name) + " is named twice");
    } else if (!fresh) {
      const std::string on = std::to_string(it->second.line + 1);
      tell(in_zh_quotes(name) + " 已在第 " + on + " 行设给“" + action_zh(it->second.action) + "”",
           in_quotes(name) + " is bound to " + std::string(it->second.action) + " on line " + on + " already");
    } else if (names.size() == MAX_NAMES) {
      taken.erase(it);
      too_many = true;
    } else {
      names.push_back(name);
    }
  }
  const std::string_view things = keys ? "键" : "按钮";
  if (too_many)
    tell("多于三个" + std::string(things) + "，只用前三个",
         "more than three " + std::string(kind.plural) + "; the first three are kept");
  if (written.empty())
    tell("没有写" + std::string(things) + "，用默认的",
         "no " + std::string(kind.plural) + " named; the defaults are used");
  return wrong;
}

// Where a setting's value stands in the text: line, first and last byte + 1.
struct Where {
  std::size_t line = NONE, begin = 0, end = 0;
};

// A settings file read: its lines (without their '\n'), where each setting
// is, after which line each section's missing settings go (NONE: the
// section is missing), the values and the problems.
struct Parsed {
  std::vector<std::string> lines;
  bool newline_at_end = true;
  std::vector<Where> at;
  std::vector<std::size_t> section_end;
  Settings settings;
  std::vector<std::string> problems;
  std::vector<Trouble> troubles;  // the same, for the screen
};

Parsed parse(std::string_view text, const NameChecks& checks, const std::string& shown_path,
             const std::string& file_name) {
  Parsed p;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t eol = text.find('\n', at);
    if (eol == std::string_view::npos) {
      p.lines.emplace_back(text.substr(at));
      p.newline_at_end = false;
      break;
    }
    p.lines.emplace_back(text.substr(at, eol - at));
    at = eol + 1;
  }
  p.at.assign(fields().size(), Where{});
  p.section_end.assign(std::size(SECTIONS), NONE);
  p.settings = default_settings();
  p.settings.keys = p.settings.buttons = {};
  std::map<std::string, Taken> taken[2];  // by folded name, in [keys] and [controller]

  std::size_t section = NONE;
  bool unknown_section = false;
  std::size_t more = 0;  // wrong lines past MAX_PROBLEMS
  for (std::size_t i = 0; i < p.lines.size(); ++i) {
    const std::string& line = p.lines[i];
    auto problem = [&](const std::string& zh, const std::string& what) {
      if (p.problems.size() < MAX_PROBLEMS) {
        p.problems.push_back(shown_path + ":" + std::to_string(i + 1) + ": " + what);
        p.troubles.push_back({file_name, i + 1, zh, what});
      } else {
        ++more;
      }
    };
    if (line.size() > MAX_LINE) {
      problem("长于 " + std::to_string(MAX_LINE) + " 字节，未读",
              "longer than " + std::to_string(MAX_LINE) + " bytes; not read");
      continue;
    }
    const std::string_view t = trim(line);
    if (t.empty() || t.front() == '#') continue;
    if (t.front() == '[' && t.back() == ']') {
      const std::string_view named = t.substr(1, t.size() - 2);
      section = NONE;
      for (std::size_t s = 0; s < std::size(SECTIONS); ++s)
        if (SECTIONS[s].name == named) section = s;
      unknown_section = section == NONE;
      if (unknown_section)
        problem("没有 [" + base::printable(named) + "] 这一节，其下各行未读",
                "[" + base::printable(named) + "] is not a section; its lines are not read");
      else if (p.section_end[section] == NONE)
        p.section_end[section] = i;
      continue;
    }
    const std::size_t eq = t.find('=');
    const std::string_view key = eq == std::string_view::npos ? "" : trim(t.substr(0, eq));
    if (key.empty()) {
      problem(in_zh_quotes(t) + " 不是 [节]、键 = 值 或 # 注释",
              in_quotes(t) + " is not a [section], a key = value or a # comment");
      continue;
    }
    if (unknown_section) continue;
    if (section == NONE) {
      problem(in_zh_quotes(key) + " 在所有 [节] 之前，未读", in_quotes(key) + " comes before any [section]; not read");
      continue;
    }
    p.section_end[section] = i;
    std::size_t k = 0;
    while (k < fields().size() && (fields()[k].section != section || fields()[k].key != key)) ++k;
    if (k == fields().size()) {
      const std::string in = "[" + std::string(SECTIONS[section].name) + "]";
      problem(in + " 里没有 " + in_zh_quotes(key) + " 这项设置", in_quotes(key) + " is not a setting of " + in);
      continue;
    }
    Where& where = p.at[k];
    if (where.line != NONE) {
      const std::string on = std::to_string(where.line + 1);
      problem(std::string(key) + " 已在第 " + on + " 行设过，未读",
              std::string(key) + " is set on line " + on + " already; not read");
      continue;
    }
    const std::string_view value = trim(t.substr(eq + 1));
    where.line = i;
    where.begin = static_cast<std::size_t>(value.data() - line.data());
    where.end = where.begin + value.size();
    const Field& f = fields()[k];
    Said wrong = f.bindings ? read_names(value, f, i, checks, taken[f.section], names_of(f, p.settings))
                 : f.read(value, p.settings) ? Said{}
                                             : Said{must_zh(f), std::string(f.must)};
    // Comments after a value are not a thing here: "#" is a key's name.
    if (!wrong.en.empty() && value.find('#') != std::string_view::npos) {
      wrong.en += "; a # comment takes a line of its own";
      wrong.zh += "；# 注释要单独占一行";
    }
    if (!wrong.en.empty()) problem(wrong.zh, wrong.en);
  }
  if (more > 0) {
    p.problems.push_back(shown_path + ": ... and " + std::to_string(more) + " more wrong lines");
    p.troubles.push_back({file_name, 0, "……还有 " + std::to_string(more) + " 行有错",
                          "... and " + std::to_string(more) + " more wrong lines"});
  }

  // An action left without names takes its defaults, less those another
  // action holds: a name never acts twice.
  const Settings defaults = default_settings();
  for (const Field& f : fields()) {
    if (!f.bindings) continue;
    std::vector<std::string>& names = names_of(f, p.settings);
    if (!names.empty()) continue;
    for (const std::string& name : names_of(f, defaults))
      if (taken[f.section].emplace(folded(name), Taken{f.key, NONE}).second) names.push_back(name);
    if (names.empty()) {
      const std::string en = std::string(f.key) + " in [" + std::string(SECTIONS[f.section].name) + "] has no " +
                             std::string(KINDS[f.section].plural) + ": its defaults are bound to other actions";
      p.problems.push_back(shown_path + ": " + en);
      p.troubles.push_back({file_name, 0,
                            "[" + std::string(SECTIONS[f.section].name) + "] 里的“" + action_zh(f.key) + "”没有" +
                                (f.section == KEYS ? "键" : "按钮") + "：默认的都已设给别的动作",
                            en});
    }
  }
  return p;
}

// The text of `p` with the values that `s` changes from `was` rewritten in
// place and the settings it lacks added; every other byte as it was.
std::string rewritten(Parsed p, const Settings& was, const Settings& s) {
  std::vector<std::string> added(p.lines.size());  // after each line
  std::string appended;                            // sections the file lacks
  std::size_t appended_section = NONE;
  for (std::size_t k = 0; k < fields().size(); ++k) {
    const Field& f = fields()[k];
    if (const Where& at = p.at[k]; at.line != NONE) {
      const std::string value = shown(f, s);
      if (value == shown(f, was)) continue;
      std::string& line = p.lines[at.line];
      const bool glued = at.begin == at.end && line[at.begin - 1] == '=';  // "key =" and nothing more
      line.replace(at.begin, at.end - at.begin, (glued ? " " : "") + value);
    } else if (p.section_end[f.section] != NONE) {
      added[p.section_end[f.section]] += setting_lines(f, s);
    } else {
      if (appended_section != f.section) appended += "\n" + section_lines(f.section);
      appended_section = f.section;
      appended += setting_lines(f, s);
    }
  }
  std::string text;
  for (std::size_t i = 0; i < p.lines.size(); ++i) {
    text += p.lines[i];
    if (i + 1 < p.lines.size() || p.newline_at_end || !added[i].empty()) text += '\n';
    text += added[i];
  }
  if (appended.empty()) return text;
  if (text.empty()) return appended.substr(1);
  if (text.back() != '\n') text += '\n';
  return text + appended;
}

enum class Read { ok, missing, failed };

// The bytes of `path` when it is a regular file of at most MAX_FILE bytes.
Read read_text(const std::string& path, std::string& text, std::string& why) {
  int error = 0;
  if (base::storage().load(path, text, error, why, MAX_FILE)) return Read::ok;
  return error == ENOENT ? Read::missing : Read::failed;
}

// The player's file: a link stays one, a read-only file stays as it is,
// and the mode is kept.
bool write_text(const std::string& path, const std::string& text, std::string& why) {
  return base::storage().save_players(path, text, why);
}

}  // namespace

Settings default_settings() {
  Settings s;
  s.keys = {{{{"Left", "A"}, {"Right", "D"}, {"Up", "W", "Space"}, {"R"}, {"P", "Pause"}}}};
  s.buttons = {{{{"dpleft"}, {"dpright"}, {"dpup", "a", "b"}, {"y"}, {"start"}}}};
  return s;
}

std::string settings_text(const Settings& s) {
  std::string text = HEADER;
  for (std::size_t section = 0; section < std::size(SECTIONS); ++section) {
    text += "\n" + section_lines(section);
    for (const Field& f : fields())
      if (f.section == section) text += setting_lines(f, s);
  }
  return text;
}

std::string settings_path(std::string& why) {
  const std::string folder = base::storage().folder(base::Storage::Folder::config, why);
  return folder.empty() ? "" : folder + "/settings.ini";
}

void SettingsFile::load(const NameChecks& checks, const std::string& path) {
  checks_ = checks;
  settings_ = saved_ = default_settings();
  problems_.clear();
  troubles_.clear();
  no_path_.clear();
  unsaved_.clear();
  created_ = false;
  unsaved_trouble_ = {};
  path_ = path.empty() ? settings_path(no_path_) : path;
  shown_.clear();
  name_ = "settings.ini";
  if (path_.empty()) {
    no_path_ = "no settings file: " + no_path_;
    problems_.push_back(no_path_);
    // The reason names folders: standard error has it whole.
    troubles_.push_back({name_, 0, "没有可以存放它的文件夹（原因见标准错误输出）",
                         "no folder to keep it in (standard error says why)"});
    return;
  }
  shown_ = base::printable(path_, SHOWN_PATH);
  name_ = base::printable(path_.substr(path_.rfind('/') + 1), SHOWN_PATH);
  std::string text, why;
  switch (read_text(path_, text, why)) {
    case Read::missing:
      created_ = true;
      if (!write_text(path_, settings_text(settings_), why)) {
        problems_.push_back(shown_ + ": " + why);
        troubles_.push_back({name_, 0, reason_zh(why), why});
      }
      return;
    case Read::failed:
      problems_.push_back(shown_ + ": " + why + "; the defaults are used");
      troubles_.push_back({name_, 0, reason_zh(why) + "，使用默认设置", why + "; the defaults are used"});
      return;
    case Read::ok: break;
  }
  Parsed p = parse(text, checks_, shown_, name_);
  settings_ = saved_ = std::move(p.settings);
  problems_ = std::move(p.problems);
  troubles_ = std::move(p.troubles);
}

bool SettingsFile::save(const Settings& s, std::string& why) {
  settings_ = s;
  unsaved_.clear();
  unsaved_trouble_ = {};
  std::string text;
  Read read = Read::failed;
  if (path_.empty()) {
    why = no_path_.empty() ? "no settings file: none was loaded" : no_path_;
    unsaved_trouble_ = {name_, 0, "没有可以存放它的文件夹", "no folder to keep it in"};
  } else if ((read = read_text(path_, text, why)) == Read::failed) {
    unsaved_trouble_ = {name_, 0, reason_zh(why) + "，未覆盖", why + "; not replaced"};
    why = shown_ + ": " + why + "; not replaced";
  } else {
    text = read == Read::missing ? settings_text(s) : rewritten(parse(text, checks_, shown_, name_), saved_, s);
    if (write_text(path_, text, why)) {
      Parsed p = parse(text, checks_, shown_, name_);
      problems_ = std::move(p.problems);
      troubles_ = std::move(p.troubles);
      saved_ = s;
      return true;
    }
    unsaved_trouble_ = {name_, 0, reason_zh(why), why};
    why = shown_ + ": " + why;
  }
  // What is in force holds for the run all the same: the screen says so.
  unsaved_trouble_.zh += "；改动在本次运行中有效";
  unsaved_trouble_.en += "; the change holds for this run";
  unsaved_ = why;
  return false;
}

std::array<std::string, 2> Trouble::shown() const {
  const std::string line_no = std::to_string(line);
  if (file.empty()) return {zh, en};
  return {file + (line ? " 第 " + line_no + " 行" : "") + "：" + zh, file + (line ? ":" + line_no : "") + ": " + en};
}

std::vector<SettingLine> setting_lines(const Settings& s) {
  std::vector<SettingLine> lines;
  for (const Field& f : fields())
    if (f.next) {
      const std::array<std::string, 2> v = f.shown(s);
      lines.push_back({std::string(f.zh) + "：" + v[0], std::string(f.en) + ": " + v[1], f.next});
    }
  return lines;
}

namespace {

// Rows of the pause menu's keys fit across the shipped board (640 pixels at
// 1x) at the text size its menus prefer there (24 pixels), margins aside.
constexpr std::uint32_t KEYS_TEXT = 24;
constexpr std::int64_t KEYS_ROOM = 640 - KEYS_TEXT;

bool bound_key(const Settings& s, std::string_view name) {
  for (const std::vector<std::string>& names : s.keys.of)
    for (const std::string& n : names)
      if (folded(n) == folded(name)) return true;
  return false;
}

// `entries` joined by `gap` into rows no wider than `room`.
std::vector<std::string> packed(const std::vector<std::string>& entries, std::string_view gap, std::int64_t room) {
  std::vector<std::string> rows;
  std::string row;
  for (const std::string& e : entries) {
    const std::string longer = row.empty() ? e : row + std::string(gap) + e;
    if (!row.empty() && menu_text_width(longer, KEYS_TEXT) > room) {
      rows.push_back(std::move(row));
      row = e;
    } else {
      row = longer;
    }
  }
  if (!row.empty()) rows.push_back(std::move(row));
  return rows;
}

// As few rows as fit, as even as they can be: the narrowest room that
// needs no more rows than the widest.
void balanced(const std::vector<std::string>& entries, std::string_view gap, std::vector<std::string>& rows) {
  const std::size_t fewest = packed(entries, gap, KEYS_ROOM).size();
  std::int64_t low = 0, high = KEYS_ROOM;
  while (low < high) {
    const std::int64_t mid = (low + high) / 2;
    if (packed(entries, gap, mid).size() <= fewest)
      high = mid;
    else
      low = mid + 1;
  }
  for (std::string& row : packed(entries, gap, high)) rows.push_back(std::move(row));
}

}  // namespace

std::vector<std::string> keys_line(const Settings& s) {
  // The arrows are drawn as arrows in the Chinese rows, as on a keyboard's keys.
  auto names = [&](Action a, bool zh) {
    std::string list;
    for (const std::string& k : s.keys[a]) {
      const std::string shown = !zh            ? k
                                : k == "Left"  ? "←"
                                : k == "Right" ? "→"
                                : k == "Up"    ? "↑"
                                : k == "Down"  ? "↓"
                                               : k;
      list += (list.empty() ? "" : "/") + shown;
    }
    return list;
  };
  std::vector<std::string> zh, en;
  auto entry = [&](const std::string& keys_zh, const std::string& keys_en, std::string_view does_zh,
                   std::string_view does_en) {
    if (keys_en.empty()) return;  // an action without keys: the settings screen says so
    zh.push_back(keys_zh + " " + std::string(does_zh));
    en.push_back(keys_en + " " + std::string(does_en));
  };
  const std::string left = names(Action::left, true), right = names(Action::right, true);
  if (!left.empty() && !right.empty()) {
    entry(left + (left == "←" && right == "→" ? "" : "、") + right,
          names(Action::left, false) + ", " + names(Action::right, false), "跑", "run");
  } else {
    entry(left, names(Action::left, false), "向左跑", "run left");
    entry(right, names(Action::right, false), "向右跑", "run right");
  }
  entry(names(Action::jump, true), names(Action::jump, false), "跳", "jump");
  entry(names(Action::restart, true), names(Action::restart, false), "重来本关", "restart level");
  entry(names(Action::pause, true), names(Action::pause, false), "暂停", "pause");
  // Tab and M do their own work only while no action has them.
  if (!bound_key(s, "Tab")) entry("Tab", "Tab", "按住看指南", "(held) guide");
  if (!bound_key(s, "M")) entry("M", "M", "声音开关", "sound on/off");
  entry("Esc", "Esc", "退出", "quit");
  std::vector<std::string> rows;
  balanced(zh, "　", rows);
  balanced(en, "; ", rows);
  return rows;
}

}  // namespace tervalon
