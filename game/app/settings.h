// The player's settings: keys and controller buttons, the picture, play and
// sound, kept in a plain `key = value` file under $XDG_CONFIG_HOME/tervalon/
// that the player may edit by hand. A wrong line never stops the game: it is
// named with its file and line, and the default is used.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/keys.h"

namespace tervalon {

// What a player does with keys and buttons. Each action has one name, from
// the settings file to the key code the rules see.
enum class Action : std::uint8_t { left, right, jump, restart, pause };
inline constexpr std::size_t ACTION_COUNT = 5;

struct ActionInfo {
  std::string_view name;     // in the settings file and in code: "jump"
  std::int32_t key;          // the key message the game is given for it
  std::string_view zh, en;   // on screen
  std::string_view comment;  // above its line in the settings file
};
inline constexpr std::array<ActionInfo, ACTION_COUNT> ACTIONS{{
    {"left", base::keys::K_LEFT, "左", "Left", "Run left."},
    {"right", base::keys::K_RIGHT, "右", "Right", "Run right."},
    {"jump", base::keys::K_UP, "跳", "Jump", "Jump, from a floor or off a wall."},
    {"restart", base::keys::K_R, "重来", "Restart", "Restart the level, as you entered it."},
    {"pause", base::keys::K_P, "暂停", "Pause", "Pause, with a menu."},
}};

// How many keys, and how many buttons, an action may have.
inline constexpr std::size_t MOST_NAMES = 3;

// The names bound to each action, up to three each, in the order written.
struct Bindings {
  std::array<std::vector<std::string>, ACTION_COUNT> of;
  std::vector<std::string>& operator[](Action a) { return of[static_cast<std::size_t>(a)]; }
  const std::vector<std::string>& operator[](Action a) const { return of[static_cast<std::size_t>(a)]; }
  bool operator==(const Bindings&) const = default;
};

struct Settings {
  Bindings keys, buttons;          // [keys]: SDL scancode names, [controller]: button names
  bool fit = false;                // [display] scale = fit (false: integer)
  bool fullscreen = false;         // [display] fullscreen
  std::uint32_t window_scale = 0;  // [display] window-scale, 1..16; 0: auto
  bool colourblind = false;        // [display] palette = colourblind (false: default)
  bool large_text = false;         // [display] text = large (false: normal)
  bool guide = false;              // [play] guide
  bool goal = true;                // [play] goal: the goal outlined from the level's first frame
  std::uint32_t speed = 100;       // [play] speed in percent: 100, 80, 60 or 40
  std::uint32_t volume = 70;       // [sound] volume, 0..100
  bool operator==(const Settings&) const = default;
};

Settings default_settings();

// Whether a key name (as SDL_GetScancodeName spells it) or a controller
// button name (as SDL_GameControllerGetStringForButton does) is one the
// platform knows; the caller asks SDL, which game/ never includes. An empty
// function knows every name.
struct NameChecks {
  std::function<bool(std::string_view)> key, button;
};

// A problem with the settings file as the settings screen shows it: the
// file's name (never its folder), the line (0: not one line's) and what is
// wrong, in both languages.
struct Trouble {
  std::string file;
  std::size_t line = 0;
  std::string zh, en;
  // "settings.ini 第 3 行：..." and "settings.ini:3: ...".
  std::array<std::string, 2> shown() const;
};

// The settings file as read: the values (defaults where the file is silent
// or wrong) and the problems found, each "FILE:LINE: what" or "FILE: what",
// with file text shown only as base::printable makes it; past the first 20
// wrong lines, one more says how many others there are. Game thread.
class SettingsFile {
 public:
  // Reads `path` (settings_path() when empty). Writes the commented defaults
  // there when it does not exist; a failure to write is one more problem.
  // Never fails: what cannot be read leaves the defaults.
  void load(const NameChecks& checks, const std::string& path = "");
  const Settings& settings() const { return settings_; }
  // For standard error: with the file's whole path, in English.
  const std::vector<std::string>& problems() const { return problems_; }
  // The same problems for the screen, one for one.
  const std::vector<Trouble>& troubles() const { return troubles_; }
  const std::string& path() const { return path_; }
  // The file did not exist before load() (a player's first start).
  bool created() const { return created_; }

  // Makes `s` the values in force and rewrites the file atomically, keeping
  // its permissions. The file is read again first, so that what was edited
  // by hand since load() stays: a line is rewritten in place (the rest of it
  // kept) only for a value that `s` changes, a setting without a line is
  // added to its section (the section at the end when missing), every other
  // line stays byte for byte. The problems are then those of the new file.
  // False with why ("FILE: cannot be written: it is read-only", "FILE:
  // cannot write: No space left on device"), the file as it was: a file the
  // player made read-only is never replaced. settings() is `s` either way,
  // so that the game shows and applies what is in force for this run, and
  // unsaved() tells why the file does not hold it.
  bool save(const Settings& s, std::string& why);
  // Why the values in force are not the file's: the last save's failure;
  // empty once a save succeeds.
  const std::string& unsaved() const { return unsaved_; }
  // The same for the screen; its `en` is empty when unsaved() is.
  const Trouble& unsaved_trouble() const { return unsaved_trouble_; }
  // The file's name as the screen shows it: "settings.ini".
  const std::string& name() const { return name_; }

 private:
  NameChecks checks_;
  std::string path_;
  std::string shown_;    // path_ as it is shown in messages
  std::string no_path_;  // why there is no path_
  std::string name_ = "settings.ini";
  Settings settings_ = default_settings();
  Settings saved_ = default_settings();  // as the file holds them, when last read or written
  std::vector<std::string> problems_;
  std::vector<Trouble> troubles_;
  std::string unsaved_;
  bool created_ = false;
  Trouble unsaved_trouble_;
};

// A setting's line on the settings screen, in both languages, and the value
// it moves to when chosen: one per setting of the file's table that has a
// value, in the table's order (the actions' lists are bound on the screen).
struct SettingLine {
  std::string zh, en;
  void (*next)(Settings&);
};
std::vector<SettingLine> setting_lines(const Settings& s);

// Every key as the player has bound it, with the keys that are not bound
// (Tab for the guide, M for sound, Escape), for the pause menu: the Chinese
// rows, then the English ones ("←/A、→/D 跑　↑/W/Space 跳　...", "Left/A,
// Right/D run; Up/W/Space jump; ..."). Each row fits across the shipped
// board at its menus' text size.
std::vector<std::string> keys_line(const Settings& s);

// $XDG_CONFIG_HOME/tervalon/settings.ini (~/.config/... when that is unset
// or not absolute), its folder made when missing; empty with the reason in
// `why` when there is none.
std::string settings_path(std::string& why);

// The whole file for `s`: every setting with a comment above it, as written
// on first run.
std::string settings_text(const Settings& s);

}  // namespace tervalon
