// A menu as a screen: keyboard, controller and mouse move and choose; each
// item answers with what it stands for.
#pragma once

#include <optional>
#include <vector>

#include "game/app/screen.h"
#include "game/view/menu.h"

namespace tervalon {

class MenuScreen : public Screen {
 public:
  struct Choice {
    MenuItem item;
    Answer answer;
  };
  // `back` is the answer to Escape (and to any key in a menu without items);
  // with `pause_closes`, the pause key answers it too.
  MenuScreen(Menu m, std::vector<Choice> choices, Answer back, bool pause_closes = false);

  Answer message(const display::MSG& m, const Game& g) override;
  void draw(const Game& g, View& v) override;

  // The item `m` chooses (items().size(): the way back), if any; moving
  // the highlight is kept for the next draw.
  std::optional<std::size_t> chosen(const display::MSG& m, const Game& g);
  const Menu& menu() const { return menu_; }

 private:
  Menu menu_;
  std::vector<Answer> answers_;
  Answer back_;
  bool pause_closes_;
  bool drawn_ = false;
  TextSize text_ = TextSize::normal;  // as last drawn: the mouse hits what is shown
};

}  // namespace tervalon
