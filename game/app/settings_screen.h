// The settings screen: every problem of the settings file, one line per
// setting of the settings table, one per action with its keys and buttons,
// the defaults, back. Choosing a setting moves it to its next value; choosing
// an action waits for a key or button, then asks whether it replaces the
// action's or joins them. Every change is saved at once.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "game/app/menu_screen.h"
#include "game/app/platform.h"
#include "game/app/settings.h"

namespace tervalon {

// For the start menu: the rows, Chinese then English, that say the settings
// file has problems and where they are listed; none when it has none.
std::vector<std::string> settings_trouble(const SettingsFile& file);

class SettingsScreen : public Screen {
 public:
  // `applied` takes the settings in force after each change.
  SettingsScreen(SettingsFile& file, const Platform& platform, std::function<void(const Settings&)> applied);

  Answer message(const display::MSG& m, const Game& g) override;
  void draw(const Game& g, View& v) override { menu_.draw(g, v); }
  const MenuScreen& menu() const { return menu_; }

 private:
  // A key or button pressed for an action, waiting for the player's answer.
  struct Question {
    std::size_t action = 0;
    std::string name;
    bool button = false;
    bool can_add = false;  // the action has room for it and has it not yet
  };

  void build(std::size_t selected, std::vector<std::string> lines = {});
  void ask(const Question& q);
  void answer(std::size_t item);
  void apply(const Settings& s);
  void rebind(const display::MSG& m);

  SettingsFile& file_;
  const Platform& platform_;
  std::function<void(const Settings&)> applied_;
  MenuScreen menu_{{}, {}, {}};
  std::size_t rows_ = 0;                // the rows of problems, before the settings
  std::size_t values_ = 0;              // the lines of values before the actions'
  std::optional<std::size_t> capture_;  // the action whose new key the next key press is
  std::optional<Question> question_;
};

}  // namespace tervalon
