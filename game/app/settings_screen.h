// The settings screen: one line per setting of the settings table, one per
// action with its keys and buttons, the defaults, back. Choosing a setting
// moves it to its next value; choosing an action waits for its new key.
// Every change is saved at once.
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

class SettingsScreen : public Screen {
 public:
  // `applied` takes the settings in force after each change.
  SettingsScreen(SettingsFile& file, const Platform& platform, std::function<void(const Settings&)> applied);

  Answer message(const display::MSG& m, const Game& g) override;
  void draw(const Game& g, View& v) override { menu_.draw(g, v); }
  const MenuScreen& menu() const { return menu_; }

 private:
  void build(std::size_t selected, std::vector<std::string> lines);
  void apply(const Settings& s);
  void rebind(const display::MSG& m);

  SettingsFile& file_;
  const Platform& platform_;
  std::function<void(const Settings&)> applied_;
  MenuScreen menu_{{}, {}, {}};
  std::size_t values_ = 0;              // the lines of values before the actions'
  std::optional<std::size_t> capture_;  // the action whose new key the next key press is
};

}  // namespace tervalon
