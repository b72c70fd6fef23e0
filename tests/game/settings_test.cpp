// The settings file: written with the defaults on first run, read line by
// line with every wrong line named and its default used, rewritten in place
// with only what changed.
#include "game/app/settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>

#include "base/file.h"
#include "base/keys.h"
#include "game/app/options.h"
#include "game/app/settings_screen.h"
#include "game/view/menu.h"
#include "tests/game/support.h"

namespace tervalon {
namespace {

std::string contents(const std::string& path) {
  std::string text;
  EXPECT_TRUE(base::read_file(path, text));
  return text;
}

void replace(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

std::size_t line_of(const std::string& text, const std::string& line) {
  const std::size_t at = text.find("\n" + line + "\n");
  EXPECT_NE(at, std::string::npos) << line;
  return static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at) + 1, '\n')) +
         1;
}

// The environment variable `name` set for the life of the object.
class Env {
 public:
  Env(const char* name, const std::string& value) : name_(name) {
    if (const char* was = getenv(name)) was_ = was;
    setenv(name, value.c_str(), 1);
  }
  ~Env() { was_ ? setenv(name_, was_->c_str(), 1) : unsetenv(name_); }
  Env(const Env&) = delete;
  Env& operator=(const Env&) = delete;

 private:
  const char* name_;
  std::optional<std::string> was_;
};

TEST(Settings, FirstRunWritesCommentedDefaultsThatReadBack) {
  const std::string dir = test::make_temp_dir();
  std::string why, path;
  {
    Env config("XDG_CONFIG_HOME", dir + "/config/deeper");
    EXPECT_EQ(settings_path(why), dir + "/config/deeper/tervalon/settings.ini") << why;
    Env relative("XDG_CONFIG_HOME", "config"), home("HOME", dir);
    SettingsFile first;
    first.load({});
    path = first.path();
    EXPECT_EQ(path, dir + "/.config/tervalon/settings.ini");
    EXPECT_EQ(first.settings(), default_settings());
    EXPECT_TRUE(first.problems().empty()) << first.problems()[0];
  }
  // Every setting is written, each with a comment above it.
  const std::string text = contents(path);
  std::size_t settings = 0;
  std::string previous;
  for (std::size_t at = 0, eol = 0; at < text.size(); at = eol + 1, ++settings) {
    eol = text.find('\n', at);
    const std::string line = text.substr(at, eol - at);
    if (line.empty() || line[0] == '#' || line[0] == '[') --settings;
    if (line.find(" = ") != std::string::npos) {
      EXPECT_EQ(previous[0], '#') << line;
    }
    previous = line;
  }
  EXPECT_EQ(settings, 19u);

  SettingsFile again;
  again.load({.key = [](std::string_view name) { return name.size() <= 5; }, .button = {}}, path);
  EXPECT_EQ(again.settings(), default_settings());
  EXPECT_TRUE(again.problems().empty()) << again.problems()[0];
  EXPECT_EQ(contents(path), text);
}

TEST(Settings, WrongLinesAreNamedAndOnlyChangedValuesAreRewritten) {
  const std::string path = test::make_temp_dir() + "/settings.ini";
  const NameChecks checks{.key = [](std::string_view name) { return name != "Foo"; }, .button = {}};
  SettingsFile first;
  first.load(checks, path);
  std::string broken = contents(path);
  replace(broken, "left = Left, A\n", "left = Left, Foo\n");
  replace(broken, "jump = Up, W, Space\n", "jump = Up, Escape\n");
  replace(broken, "restart = R\n", "restart = R, left\n#" + std::string(5000, 'x') + "\n");
  replace(broken, "fullscreen = no\n", "fullscreen = yes\nwobble = 3\nthis is not a setting\n");
  replace(broken, "window-scale = auto\n", "");
  replace(broken, "speed = 100\n", "speed   =  55 \r\n");
  broken += "[colours]\nink = red\n";
  test::write_file(path.substr(0, path.rfind('/')), "settings.ini", broken);

  SettingsFile file;
  file.load(checks, path);
  Settings expected = default_settings();
  expected.keys[Action::left] = {"Left"};
  expected.keys[Action::jump] = {"Up"};
  expected.keys[Action::restart] = {"R"};
  expected.fullscreen = true;
  EXPECT_EQ(file.settings(), expected);
  const std::size_t left = line_of(broken, "left = Left, Foo"), restart = line_of(broken, "restart = R, left");
  const std::pair<std::size_t, std::string> wrong[] = {
      {left, "\"Foo\" is not a key name"},
      {line_of(broken, "jump = Up, Escape"), "Escape always quits and cannot be bound"},
      {restart, "\"left\" is bound to left on line " + std::to_string(left) + " already"},
      {restart + 1, "longer than 4096 bytes"},
      {line_of(broken, "wobble = 3"), "\"wobble\" is not a setting of [display]"},
      {line_of(broken, "this is not a setting"), "\"this is not a setting\" is not a [section]"},
      {line_of(broken, "speed   =  55 \r"), "speed must be 100, 80, 60 or 40"},
      {line_of(broken, "[colours]"), "[colours] is not a section; its lines are not read"}};
  ASSERT_EQ(file.problems().size(), std::size(wrong));
  for (std::size_t i = 0; i < std::size(wrong); ++i) {
    EXPECT_EQ(file.problems()[i].rfind(path + ":" + std::to_string(wrong[i].first) + ": ", 0), 0u)
        << file.problems()[i];
    EXPECT_NE(file.problems()[i].find(wrong[i].second), std::string::npos) << file.problems()[i];
  }

  // Edited by hand while the game runs: kept. The changed values are
  // rewritten in place, the missing one added to its section.
  test::write_file(path.substr(0, path.rfind('/')), "settings.ini", broken + "# by hand");
  Settings changed = expected;
  changed.speed = 60;
  changed.window_scale = 3;
  changed.keys[Action::jump] = {"Up", ",", "Keypad ,"};
  std::string why;
  ASSERT_TRUE(file.save(changed, why)) << why;
  std::string after = contents(path);
  const std::size_t added = after.find("text = normal\n") + 14, added_end = after.find("window-scale = 3\n");
  ASSERT_LT(added, added_end);
  EXPECT_EQ(after[added], '#');
  after.erase(added, added_end + 17 - added);
  replace(broken, "speed   =  55 \r", "speed   =  60 \r");
  replace(broken, "jump = Up, Escape", "jump = Up, ,, Keypad ,");
  EXPECT_EQ(after, broken + "# by hand");

  SettingsFile reread;
  reread.load(checks, path);
  EXPECT_EQ(reread.settings(), changed);
  EXPECT_EQ(file.settings(), changed);
  EXPECT_EQ(reread.problems().size(), std::size(wrong) - 2);
  EXPECT_EQ(file.problems(), reread.problems());

  // Read again once removed: written afresh, nothing read before staying.
  std::filesystem::remove(path);
  file.load(checks, path);
  EXPECT_EQ(file.settings(), default_settings());
  EXPECT_EQ(file.problems(), std::vector<std::string>{});
  EXPECT_EQ(contents(path), settings_text(default_settings()));
}

// The palette and the text size: read, refused when misspelt, chosen on the
// screen, and taken into the options the window's view is set up from.
TEST(Settings, PaletteAndTextSizeReachTheOptions) {
  const std::string dir = test::make_temp_dir(), path = dir + "/settings.ini";
  SettingsFile first;
  first.load({}, path);
  std::string text = contents(path);
  replace(text, "palette = default\n", "palette = colourblind\n");
  replace(text, "text = normal\n", "text = Large\n");
  test::write_file(dir, "settings.ini", text);
  SettingsFile file;
  file.load({}, path);
  ASSERT_EQ(file.problems().size(), 1u);
  EXPECT_NE(
      file.problems()[0].find(":" + std::to_string(line_of(text, "text = Large")) + ": text must be normal or large"),
      std::string::npos)
      << file.problems()[0];
  Settings s = file.settings();
  EXPECT_TRUE(s.colourblind && !s.large_text);
  for (const SettingLine& line : setting_lines(s))
    if (line.en.rfind("Text: ", 0) == 0) line.next(s);
  Options o;
  take_settings(o, s);
  EXPECT_TRUE(o.palette == Palette::colourblind && o.text == TextSize::large);
}

TEST(Settings, AFolderOrFifoIsNeitherReadNorReplaced) {
  const std::string dir = test::make_temp_dir();
  for (const bool folder : {true, false}) {
    const std::string path = dir + (folder ? "/folder.ini" : "/fifo.ini");
    ASSERT_EQ(folder ? mkdir(path.c_str(), 0700) : mkfifo(path.c_str(), 0600), 0);
    SettingsFile file;
    file.load({}, path);
    EXPECT_EQ(file.settings(), default_settings());
    ASSERT_EQ(file.problems().size(), 1u);
    EXPECT_EQ(file.problems()[0].rfind(path + ": ", 0), 0u) << file.problems()[0];
    Settings changed = default_settings();
    changed.volume = 5;
    std::string why;
    EXPECT_FALSE(file.save(changed, why));
    EXPECT_EQ(why.rfind(path + ": ", 0), 0u) << why;
    struct stat st;
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(folder ? S_ISDIR(st.st_mode) : S_ISFIFO(st.st_mode));
  }
}

TEST(Settings, AReadOnlyFileIsKeptAndTheNewValuesAreInForce) {
  const std::string path = test::make_temp_dir() + "/settings.ini";
  SettingsFile file;
  file.load({}, path);
  const std::string before = contents(path);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  Settings changed = default_settings();
  changed.volume = 5;
  std::string why;
  EXPECT_FALSE(file.save(changed, why));
  EXPECT_EQ(why, path + ": cannot be written: it is read-only");
  EXPECT_EQ(file.unsaved(), why);
  EXPECT_EQ(file.settings(), changed);
  EXPECT_EQ(contents(path), before);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  // Made writable again: the next save writes what is in force, and the
  // player's permissions stay.
  ASSERT_EQ(chmod(path.c_str(), 0604), 0);
  changed.guide = true;
  ASSERT_TRUE(file.save(changed, why)) << why;
  EXPECT_EQ(file.unsaved(), "");
  SettingsFile reread;
  reread.load({}, path);
  EXPECT_EQ(reread.settings(), changed);
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
}

TEST(Settings, AFileOfJunkNamesItsFirstWrongLinesAndCountsTheRest) {
  const std::string dir = test::make_temp_dir();
  const std::size_t lines = 1 << 19;
  std::string junk;
  for (std::size_t i = 0; i < lines; ++i) junk += "x\n";
  SettingsFile file;
  file.load({}, test::write_file(dir, "settings.ini", junk));
  ASSERT_EQ(file.problems().size(), 21u);
  EXPECT_EQ(file.problems()[19].rfind(dir + "/settings.ini:20: ", 0), 0u) << file.problems()[19];
  EXPECT_EQ(file.problems()[20], dir + "/settings.ini: ... and " + std::to_string(lines - 20) + " more wrong lines");
}

using namespace base::keys;

// Rows as read, wherever they were wrapped.
std::string without_spaces(std::string s) {
  std::erase_if(s, [](char c) { return c == ' ' || c == '\n'; });
  return s;
}

// The settings screen over a file on the shipped board, driven by messages
// as the app drives it.
class SettingsScreenTest : public testing::Test {
 protected:
  void open(const std::string& text) {
    g_.W = 640, g_.H = 480;
    file_.load({.key = [](std::string_view name) { return name != "Foo"; }, .button = {}},
               test::write_file(dir_, "settings.ini", text));
    screen_.emplace(file_, platform_, [](const Settings&) {});
  }
  void key(std::int32_t k, bool repeat = false) {
    screen_->message({.MESSAGE = WM_KEYDOWN, .WPARAM = k, .LPARAM = k << 16 | (repeat ? 1 << 30 : 0), .PT = {}}, g_);
  }
  const Menu& menu() { return screen_->menu().menu(); }
  std::string selected() { return menu().items.at(menu().selected).en; }
  void choose(const std::string& en) {
    for (std::size_t i = 0; i < menu().items.size() && !selected().starts_with(en); ++i) key(K_DOWN);
    ASSERT_TRUE(selected().starts_with(en)) << en;
    key(K_ENTER);
  }
  std::string lines() {
    std::string all;
    for (const std::string& l : menu().lines) all += l + "\n";
    return all;
  }

  std::string dir_ = test::make_temp_dir();
  SettingsFile file_;
  Settings bound_;
  Platform platform_{[this](const Settings& s) { bound_ = s; },
                     [](std::int32_t k) {
                       return std::string(k == K_SPACE   ? "Space"
                                          : k == K_TAB   ? "Tab"
                                          : k == K_PAD_X ? "x"
                                          : k == K_K     ? "K"
                                                         : "Return");
                     },
                     nullptr, nullptr, nullptr};
  Game g_;
  std::optional<SettingsScreen> screen_;
};

TEST_F(SettingsScreenTest, EveryProblemIsListedInBothLanguagesByTheFilesNameAndScrolledThrough) {
  std::string text = settings_text(default_settings());
  replace(text, "left = Left, A\n", "left = Left, Foo\n");
  replace(text, "fullscreen = no\n", "fullscreen = maybe\n");
  replace(text, "speed = 100\n", "speed = 55\n");
  replace(text, "volume = 70\n", "volume = loud\nthis line says nothing at all, and it says it at great length\n");
  open(text + "[colours]\nink = red\n");
  EXPECT_EQ(settings_trouble(file_).size(), 2u);
  ASSERT_EQ(file_.problems().size(), 6u);
  ASSERT_EQ(file_.troubles().size(), 6u);

  // Above the settings, each problem's rows in Chinese, then in English, no
  // wider than the settings' rows, by the file's name alone; standard error
  // keeps the whole path.
  std::int64_t widest = 0;
  for (const MenuItem& item : menu().items)
    if (!item.zh.empty() && !item.en.empty()) widest = std::max(widest, menu_text_width(item.zh + "　" + item.en, 100));
  std::size_t row = 0;
  for (std::size_t i = 0; i < file_.troubles().size(); ++i) {
    const std::array<std::string, 2> shown = file_.troubles()[i].shown();
    EXPECT_EQ(file_.problems()[i], dir_ + "/" + shown[1]);
    for (const std::size_t language : {0, 1}) {
      std::string rows;
      for (; row < menu().items.size() && rows.size() < without_spaces(shown[language]).size(); ++row) {
        const MenuItem& item = menu().items[row];
        rows += without_spaces(language == 0 ? item.zh : item.en);
        EXPECT_LE(menu_text_width(item.zh + item.en, 100), widest) << row;
      }
      EXPECT_EQ(rows, without_spaces(shown[language]));
    }
  }
  EXPECT_EQ(menu().items[row].en, selected());

  // Up walks through them all; a problem's row chooses nothing; the page
  // keys stop at either end.
  for (std::size_t i = 0; i < row; ++i) key(K_UP);
  EXPECT_EQ(menu().selected, 0u);
  key(K_ENTER);
  for (int i = 0; i < 20; ++i) key(K_PGDN);
  EXPECT_EQ(selected(), "Back");
  key(K_PGUP);
  EXPECT_EQ(menu().selected, menu().items.size() - 6);

  // Read-only, the change holds and the screen says why it is not kept.
  ASSERT_EQ(chmod(file_.path().c_str(), 0444), 0);
  choose("Speed");
  EXPECT_NE(
      without_spaces(lines()).find("settings.ini：文件是只读的，无法写入；改动在本次运行中有效settings.ini:cannotbe"
                                   "written:itisread-only;thechangeholdsforthisrun"),
      std::string::npos)
      << lines();

  open(settings_text(default_settings()));
  EXPECT_EQ(settings_trouble(file_), std::vector<std::string>{});
}

TEST_F(SettingsScreenTest, APressedKeyReplacesOrJoinsTheActionsAndIsTakenFromAnother) {
  open(settings_text(default_settings()));
  choose("Pause");
  key(K_ENTER, true);  // the Enter that chose it, held: not the new key
  key(K_K);
  EXPECT_EQ(menu().title_en, "Pause: K");
  key(K_ENTER);  // Add K
  EXPECT_EQ(bound_.keys[Action::pause], (std::vector<std::string>{"P", "Pause", "K"}));

  choose("Restart");
  key(K_SPACE);
  EXPECT_NE(lines().find("Space is Jump's key now: it is taken from there\n"), std::string::npos) << lines();
  key(K_DOWN);
  key(K_ENTER);  // Only Space
  EXPECT_EQ(bound_.keys[Action::restart], std::vector<std::string>{"Space"});
  EXPECT_EQ(bound_.keys[Action::jump], (std::vector<std::string>{"Up", "W"}));

  // Taking an action's only key gives it back its defaults that are free.
  choose("Jump");
  key(K_SPACE);
  EXPECT_NE(lines().find("Restart goes back to its default R\n"), std::string::npos) << lines();
  key(K_ENTER);  // Add Space
  EXPECT_EQ(bound_.keys[Action::jump], (std::vector<std::string>{"Up", "W", "Space"}));
  EXPECT_EQ(bound_.keys[Action::restart], std::vector<std::string>{"R"});

  // A button goes to the buttons.
  choose("Restart");
  key(K_PAD_X);
  key(K_DOWN);
  key(K_ENTER);  // Only x
  EXPECT_EQ(bound_.buttons[Action::restart], std::vector<std::string>{"x"});
  EXPECT_EQ(bound_.keys[Action::restart], std::vector<std::string>{"R"});

  SettingsFile reread;
  reread.load({}, file_.path());
  EXPECT_EQ(reread.settings(), bound_);
  EXPECT_EQ(reread.problems(), std::vector<std::string>{});
}

// The pause menu names every key as bound, and the keys that do their own
// work while unbound; its rows fit across the shipped board at 1x, within
// the margins at the text size menus prefer there.
TEST(Settings, ThePauseMenuListsEveryKeyAndFitsAt1x) {
  Settings s = default_settings();
  s.keys[Action::left] = {"Left Shift", "Keypad 4", "Left"};
  s.keys[Action::jump] = {"Right Shift", "Keypad Enter", "Tab"};
  const std::vector<std::string> rows = keys_line(s);
  std::string all;
  for (const std::string& row : rows) {
    all += row + "\n";
    EXPECT_LE(menu_text_width(row, 24), 640 - 24) << row;
  }
  for (const std::vector<std::string>& names : s.keys.of)
    for (const std::string& name : names) EXPECT_NE(all.find(name), std::string::npos) << name;
  EXPECT_NE(all.find("/←、→/D 跑"), std::string::npos) << all;
  EXPECT_NE(all.find("M sound on/off"), std::string::npos) << all;
  EXPECT_EQ(all.find("guide"), std::string::npos) << "Tab jumps: " << all;
}

}  // namespace
}  // namespace tervalon
