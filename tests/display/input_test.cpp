// Input that stands for the arrow keys, on the real window under a private
// Xvfb: the alias keys, and game controllers through SDL's virtual joystick
// (a pad plugged in while the window is open works at once, its buttons and
// stick arrive as arrow-key messages, a direction held by the keyboard and
// the pad is let go only when both let go, and unplugging the pad lets go of
// what it held); the key as pressed behind each of them; keys and buttons
// bound to actions, and their names; and the pointer in the pixels of a
// scaled picture.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "display/display.h"
#include "display/sdl/window.h"
#include "waiting.h"
#include "xvfb.h"

using namespace display;
using namespace std::chrono_literals;
using tervalon::test::eventually;
using tervalon::test::PATIENCE;
using tervalon::test::PrivateX;
using tervalon::test::run;

namespace {

using Key = std::pair<std::uint32_t, std::int32_t>;  // message, virtual-key code
constexpr std::uint32_t DOWN = WM_KEYDOWN, UP = WM_KEYUP;

// Messages read while waiting for one of them, still to be looked at.
std::vector<MSG> read_ahead;

// The next message, read ahead or new; false when none has come.
bool next_message(MSG& m) {
  if (!read_ahead.empty()) {
    m = read_ahead.front();
    read_ahead.erase(read_ahead.begin());
    return true;
  }
  if (!ISNEXTMSG()) return false;
  m = MS;
  return true;
}

// The messages up to a last key, B, pressed for the purpose: however late
// they come, all that were on their way are in, and any extra one shows. B's
// own messages are left out (its key as pressed is B, whatever it stands for).
std::vector<MSG> messages_up_to_b() {
  run("xdotool key b");
  std::vector<MSG> got;
  bool b_came = false;
  eventually(
      [&] {
        for (MSG m; !b_came && next_message(m);) {
          const bool key = m.MESSAGE == WM_KEYDOWN || m.MESSAGE == WM_KEYUP;
          if (key && pressed_key(m.LPARAM) == K_B)
            b_came = m.MESSAGE == WM_KEYUP;
          else if (!(m.MESSAGE == WM_CHAR && m.WPARAM == 'b'))
            got.push_back(m);
        }
        if (!b_came) wait_message(50);
        return b_came;
      },
      PATIENCE, 0ms);
  EXPECT_TRUE(b_came) << "the last key never came";
  return got;
}

// The key messages up to the last key, key repeats of the keyboard folded
// into the key-down they repeat; with `all`, also character and system-key
// messages.
std::vector<Key> keys_up_to_b(bool all = false) {
  std::vector<Key> got;
  for (const MSG& m : messages_up_to_b()) {
    const bool key = m.MESSAGE == WM_KEYDOWN || m.MESSAGE == WM_KEYUP;
    if (!key && !(all && (m.MESSAGE == WM_CHAR || m.MESSAGE == WM_SYSKEYDOWN || m.MESSAGE == WM_SYSKEYUP))) continue;
    const Key k{m.MESSAGE, m.WPARAM};
    if (got.empty() || got.back() != k || k.first != DOWN) got.push_back(k);
  }
  return got;
}

// The key-downs up to the last key as (virtual key, key as pressed), repeats
// folded; each key-up must name what its key-down named.
std::vector<Key> downs_up_to_b() {
  std::vector<Key> downs;
  for (const MSG& m : messages_up_to_b()) {
    if (m.MESSAGE != WM_KEYDOWN && m.MESSAGE != WM_KEYUP) continue;
    EXPECT_EQ(m.LPARAM & 0xFFFF, 1) << "the repeat count stays";
    const Key key{m.WPARAM, pressed_key(m.LPARAM)};
    if (m.MESSAGE == UP) {
      EXPECT_LT(m.LPARAM, 0) << "bit 31 stays";
      EXPECT_TRUE(!downs.empty() && key == downs.back()) << key.first << " " << key.second;
    } else if (downs.empty() || downs.back() != key) {
      downs.push_back(key);
    }
  }
  return downs;
}

// Waits until key message `k` (message, virtual key) has come; the messages
// read meanwhile stay to be read. False if it never comes.
bool key_came(Key k) {
  std::size_t looked = 0;
  return eventually(
      [&] {
        while (ISNEXTMSG()) read_ahead.push_back(MS);
        for (; looked < read_ahead.size(); ++looked)
          if (Key{read_ahead[looked].MESSAGE, read_ahead[looked].WPARAM} == k) return true;
        wait_message(50);
        return false;
      },
      PATIENCE, 0ms);
}

class Input : public testing::Test {
 protected:
  // One X server for every test: SDL keeps its connection until the process ends.
  static void SetUpTestSuite() { x_ = new PrivateX; }
  static void TearDownTestSuite() { delete x_; }
  void SetUp() override {
    ASSERT_TRUE(x_->ok()) << "Xvfb did not start";
    use_alias_keys();
    CREATEWIN(320, 240, BLACK, WHITE);
    ASSERT_TRUE(ISWIN());
    // Controllers reach a window that has the keyboard focus.
    run("xdotool windowfocus --sync " + std::to_string(HW.load()));
  }
  void TearDown() override {
    read_ahead.clear();
    CLOSEWIN();
    set_logical_size(0, 0);  // a test may have asked for scaled pictures
  }

  // Plugs a pad in and waits until the window has opened it. The window
  // looks for controllers a moment after it opens: asked on its own thread,
  // so that this one's calls into SDL come after that.
  void plug() {
    static bool looking = false;
    eventually([] {
      run_on_window_thread([](const std::string&) { looking = SDL_WasInit(SDL_INIT_GAMECONTROLLER) != 0; }, "");
      return looking;
    });
    ASSERT_TRUE(looking) << "the window does not look for controllers";
    SDL_VirtualJoystickDesc d{};
    d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    d.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    d.naxes = SDL_CONTROLLER_AXIS_MAX;
    d.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    d.name = "virtual pad";
    index_ = SDL_JoystickAttachVirtualEx(&d);
    ASSERT_GE(index_, 0) << SDL_GetError();
    pad_ = SDL_JoystickOpen(index_);
    ASSERT_NE(pad_, nullptr) << SDL_GetError();
    const SDL_JoystickID id = SDL_JoystickInstanceID(pad_);
    eventually([&] { return SDL_GameControllerFromInstanceID(id) != nullptr; });
    ASSERT_NE(SDL_GameControllerFromInstanceID(id), nullptr) << "the window did not open the pad";
  }
  void unplug() {
    SDL_JoystickClose(pad_);
    SDL_JoystickDetachVirtual(index_);
  }
  // The pad's button and stick, each set and then waited for until the
  // window has taken it in: a press let go before then would never be seen,
  // and a key sent after it could overtake it.
  void button(SDL_GameControllerButton b, bool down) {
    SDL_JoystickSetVirtualButton(pad_, b, down);
    EXPECT_TRUE(taken_in([&] { return (SDL_JoystickGetButton(pad_, b) != 0) == down; })) << "button " << b;
  }
  void tap(SDL_GameControllerButton b) {
    button(b, true);
    button(b, false);
  }
  void stick(Sint16 x) {
    SDL_JoystickSetVirtualAxis(pad_, SDL_CONTROLLER_AXIS_LEFTX, x);
    EXPECT_TRUE(taken_in([&] { return SDL_JoystickGetAxis(pad_, SDL_CONTROLLER_AXIS_LEFTX) == x; })) << "stick " << x;
  }
  // The state the window's thread updates is read under SDL's joystick lock.
  template <typename Taken>
  static bool taken_in(Taken taken) {
    return eventually([&] {
      SDL_LockJoysticks();
      const bool yes = taken();
      SDL_UnlockJoysticks();
      return yes;
    });
  }

  static inline PrivateX* x_ = nullptr;
  int index_ = -1;
  SDL_Joystick* pad_ = nullptr;
};

TEST_F(Input, AliasKeysAreArrowsAndKeepTheirCharactersAndAltIsASystemKey) {
  run("xdotool key a d w space alt");
  const std::vector<Key> want = {
      {DOWN, K_LEFT}, {WM_CHAR, 'a'}, {UP, K_LEFT},           {DOWN, K_RIGHT},     {WM_CHAR, 'd'},
      {UP, K_RIGHT},  {DOWN, K_UP},   {WM_CHAR, 'w'},         {UP, K_UP},          {DOWN, K_UP},
      {WM_CHAR, ' '}, {UP, K_UP},     {WM_SYSKEYDOWN, K_ALT}, {WM_SYSKEYUP, K_ALT}};
  EXPECT_EQ(keys_up_to_b(true), want);
}

TEST_F(Input, ControllerButtonsAndStickAreArrowKeysAndUnpluggingLetsGo) {
  ASSERT_NO_FATAL_FAILURE(plug());
  const std::pair<SDL_GameControllerButton, std::int32_t> buttons[] = {
      {SDL_CONTROLLER_BUTTON_DPAD_LEFT, K_LEFT}, {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, K_RIGHT},
      {SDL_CONTROLLER_BUTTON_DPAD_UP, K_UP},     {SDL_CONTROLLER_BUTTON_A, K_UP},
      {SDL_CONTROLLER_BUTTON_B, K_UP},           {SDL_CONTROLLER_BUTTON_BACK, K_ESC},
      {SDL_CONTROLLER_BUTTON_START, K_ENTER}};
  std::vector<Key> want;
  for (auto [b, vk] : buttons) {
    tap(b);
    want.insert(want.end(), {{DOWN, vk}, {UP, vk}});
  }
  tap(SDL_CONTROLLER_BUTTON_X);                                                  // not one of the game's
  for (Sint16 x : std::initializer_list<Sint16>{-32768, -3000, 20000, 9000, 0})  // out and back, inside the dead zone
    stick(x);
  want.insert(want.end(), {{DOWN, K_LEFT}, {UP, K_LEFT}, {DOWN, K_RIGHT}, {UP, K_RIGHT}});
  EXPECT_EQ(keys_up_to_b(), want);

  // Keyboard and pad both hold Right: the first to let go releases nothing.
  run("xdotool keydown Right");
  ASSERT_TRUE(key_came({DOWN, K_RIGHT}));
  button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
  run("xdotool keyup Right");
  EXPECT_EQ(keys_up_to_b(), (std::vector<Key>{{DOWN, K_RIGHT}}));
  button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
  EXPECT_EQ(keys_up_to_b(), (std::vector<Key>{{UP, K_RIGHT}}));

  // Unplugged while holding Right on the d-pad and Left on the stick.
  button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
  stick(-32768);
  unplug();
  std::vector<Key> got = keys_up_to_b();
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<Key>{{DOWN, K_LEFT}, {DOWN, K_RIGHT}, {UP, K_LEFT}, {UP, K_RIGHT}}));

  // A second pad, plugged in later, works as the first did.
  ASSERT_NO_FATAL_FAILURE(plug());
  tap(SDL_CONTROLLER_BUTTON_A);
  EXPECT_EQ(keys_up_to_b(), (std::vector<Key>{{DOWN, K_UP}, {UP, K_UP}}));
  unplug();
}

// Menus tell the keys behind one virtual key apart: an alias key, the
// controller's A (choose) and d-pad up (move) all arrive as Up.
TEST_F(Input, KeyMessagesCarryTheKeyAsPressed) {
  ASSERT_NO_FATAL_FAILURE(plug());
  run("xdotool key space w Left");
  // The keys first: the pad's presses must not overtake them.
  ASSERT_TRUE(key_came({UP, K_LEFT}));
  for (auto b : {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_DOWN,
                 SDL_CONTROLLER_BUTTON_Y})
    tap(b);
  stick(-32768);
  stick(0);
  EXPECT_EQ(downs_up_to_b(), (std::vector<Key>{{K_UP, K_SPACE},
                                               {K_UP, K_W},
                                               {K_LEFT, K_LEFT},
                                               {K_UP, K_PAD_A},
                                               {K_UP, K_PAD_UP},
                                               {K_DOWN, K_PAD_DOWN},
                                               {K_R, K_PAD_Y},
                                               {K_LEFT, K_PAD_LEFT}}));
  unplug();
}

// With pictures of a fixed size the pointer is given in their pixels: in a
// 300 x 200 window an 80 x 60 picture is shown 3 times over from (30, 10), so
// window columns 129..131 show picture column 33.
TEST_F(Input, MousePositionsAreInThePicturesPixels) {
  CLOSEWIN();
  set_logical_size(80, 60, 3);
  CREATEWIN(0, 0, BLACK, WHITE);
  ASSERT_TRUE(ISWIN());
  FRESHWIN();  // the first picture: the pointer is mapped by where it went
  const std::string window = std::to_string(HW.load());
  using Point = std::pair<std::int32_t, std::int32_t>;
  auto point = [] { return Point{mouse_x(MS.LPARAM), mouse_y(MS.LPARAM)}; };
  // The point the next mouse message of `message` gives (none: -99, -99).
  auto next = [&](std::uint32_t message) {
    Point p{-99, -99};
    eventually(
        [&] {
          while (ISNEXTMSG())
            if (ISMSG({message})) {
              p = point();
              return true;
            }
          wait_message(50);
          return false;
        },
        PATIENCE, 0ms);
    return p;
  };
  // Moves the pointer to window pixel (x, y) until the window has shown a
  // picture at its current size: true once a move reports `want` (a report
  // that comes late is still read on a later round).
  auto reaches = [&](int x, int y, Point want) {
    return eventually(
        [&] {
          run("xdotool mousemove --window " + window + " 0 0 mousemove --window " + window + " " + std::to_string(x) +
              " " + std::to_string(y));
          wait_message(200);
          while (ISNEXTMSG())
            if (ISMSG({WM_MOUSEMOVE}) && point() == want) return true;
          return false;
        },
        PATIENCE, 0ms);
  };
  auto click = [&](int x, int y) {
    run("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) + " click 1");
    return next(WM_LBUTTONDOWN);
  };
  EXPECT_TRUE(reaches(100, 50, {33, 16})) << "at 3 times the picture's size, from the window's corner";
  run("xdotool windowsize " + window + " 300 200");
  ASSERT_TRUE(reaches(130, 60, {33, 16}));
  EXPECT_EQ(click(128, 57), (Point{32, 15}));
  EXPECT_EQ(click(131, 60), (Point{33, 16}));
  // Outside the picture: left of and above it negative, right of and below it past its size.
  EXPECT_EQ(click(10, 5), (Point{-7, -2}));
  EXPECT_EQ(click(299, 199), (Point{89, 63}));
}

// Last of the window tests: the bindings stay for every later window of the process.
TEST_F(Input, BoundKeysAndButtonsArriveAsTheirActionsAndTheRestOnlyAsThemselves) {
  CLOSEWIN();
  use_bindings({{K_LEFT, {"J", "No Such Key"}, {}},
                {K_UP, {"k"}, {"x", "select"}},
                {K_R, {"Escape"}, {"back"}},
                {K_P, {}, {"leftshoulder"}}});
  CREATEWIN(320, 240, BLACK, WHITE);
  ASSERT_TRUE(ISWIN());
  run("xdotool windowfocus --sync " + std::to_string(HW.load()));
  ASSERT_NO_FATAL_FAILURE(plug());
  run("xdotool key j Left k Escape Pause Down Shift_R");
  ASSERT_TRUE(key_came({UP, K_SHIFT}));  // the keys first: the pad's presses must not overtake them
  for (auto b : {SDL_CONTROLLER_BUTTON_X, SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_BACK,
                 SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER})
    tap(b);
  stick(-32768);  // as the d-pad's left, bound to nothing
  stick(0);
  EXPECT_EQ(downs_up_to_b(), (std::vector<Key>{{K_LEFT, K_J},
                                               {0, K_LEFT},
                                               {K_UP, K_K},
                                               {K_ESC, K_ESC},
                                               {0, K_PAUSE},
                                               {K_DOWN, K_DOWN},
                                               {K_SHIFT, K_SHIFT},
                                               {K_UP, K_PAD_X},
                                               {0, K_PAD_A},
                                               {K_ESC, K_PAD_BACK},
                                               {K_P, K_PAD_LSHOULDER},
                                               {K_ENTER, K_PAD_START},
                                               {0, K_PAD_RSHOULDER},
                                               {0, K_PAD_LEFT}}));
  unplug();
  // The key behind a code is the one pressed: Right Shift, not the Left Shift that also makes K_SHIFT.
  EXPECT_EQ(pressed_key_name(K_SHIFT), "Right Shift");
}

// Names as SDL spells them, and back from the key as pressed (no window needed).
TEST(Bindings, NamesAreSdlsAndTheKeyAsPressedHasOne) {
  for (const char* name : {"Left", "Space", "Return", "Keypad Enter", "A", "Pause"})
    EXPECT_TRUE(key_name_known(name)) << name;
  for (const char* name : {"", "Lefty", "Arrow Left", "dpleft"}) EXPECT_FALSE(key_name_known(name)) << name;
  EXPECT_FALSE(key_name_known(std::string_view("Left\0x", 6))) << "cut short by its NUL";
  for (const char* name : {"a", "b", "x", "y", "back", "guide", "start", "leftstick", "rightstick", "leftshoulder",
                           "rightshoulder", "dpup", "dpdown", "dpleft", "dpright"})
    EXPECT_TRUE(button_name_known(name)) << name;
  for (const char* name : {"", "select", "Left", "dp left"}) EXPECT_FALSE(button_name_known(name)) << name;

  const std::pair<std::int32_t, const char*> named[] = {
      {K_LEFT, "Left"},   {K_A, "A"},     {K_SPACE, "Space"},     {K_ENTER, "Return"},         {K_PAUSE, "Pause"},
      {K_N7, "Keypad 7"}, {K_PAD_A, "a"}, {K_PAD_START, "start"}, {K_PAD_RSTICK, "rightstick"}};
  for (auto [code, name] : named) {
    EXPECT_EQ(pressed_key_name(code), name) << code;
    EXPECT_TRUE(code >= K_PAD_A ? button_name_known(name) : key_name_known(name)) << name;
  }
  EXPECT_EQ(pressed_key_name(0), "");
  EXPECT_EQ(pressed_key_name(300), "");
}

}  // namespace
