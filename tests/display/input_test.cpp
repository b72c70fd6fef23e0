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
#include "xvfb.h"

using namespace display;
using tervalon::test::PrivateX;
using tervalon::test::run;

namespace {

using Key = std::pair<std::uint32_t, std::int32_t>;  // message, virtual-key code
constexpr std::uint32_t DOWN = WM_KEYDOWN, UP = WM_KEYUP;

// The key messages that arrive within `ms` (key repeats of the keyboard
// folded into the key-down they repeat); with `all`, also character and
// system-key messages.
std::vector<Key> keys_within(int ms, bool all = false) {
  std::vector<Key> got;
  for (auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
       std::chrono::steady_clock::now() < until;) {
    if (!ISNEXTMSG()) {
      wait_message(20);
      continue;
    }
    if (!ISMSG({WM_KEYDOWN, WM_KEYUP}) && !(all && ISMSG({WM_CHAR, WM_SYSKEYDOWN, WM_SYSKEYUP}))) continue;
    const Key k{MS.MESSAGE, MS.WPARAM};
    if (got.empty() || got.back() != k || k.first != DOWN) got.push_back(k);
  }
  return got;
}

// The key-downs that arrive within `ms` as (virtual key, key as pressed),
// repeats folded; each key-up must name what its key-down named.
std::vector<Key> downs_within(int ms) {
  std::vector<Key> downs;
  for (auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
       std::chrono::steady_clock::now() < until;) {
    if (!ISNEXTMSG()) {
      wait_message(20);
      continue;
    }
    if (!ISMSG({WM_KEYDOWN, WM_KEYUP})) continue;
    EXPECT_EQ(MS.LPARAM & 0xFFFF, 1) << "the repeat count stays";
    const Key key{MS.WPARAM, pressed_key(MS.LPARAM)};
    if (MS.MESSAGE == UP) {
      EXPECT_LT(MS.LPARAM, 0) << "bit 31 stays";
      EXPECT_TRUE(!downs.empty() && key == downs.back()) << key.first << " " << key.second;
    } else if (downs.empty() || downs.back() != key) {
      downs.push_back(key);
    }
  }
  return downs;
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
    CLOSEWIN();
    set_logical_size(0, 0);  // a test may have asked for scaled pictures
  }

  // Plugs a pad in and waits until the window has opened it. The window
  // looks for controllers a moment after it opens: asked on its own thread,
  // so that this one's calls into SDL come after that.
  void plug() {
    static bool looking = false;
    for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         !looking && std::chrono::steady_clock::now() < until;
         std::this_thread::sleep_for(std::chrono::milliseconds(10)))
      run_on_window_thread([](const std::string&) { looking = SDL_WasInit(SDL_INIT_GAMECONTROLLER) != 0; }, "");
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
    for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         !SDL_GameControllerFromInstanceID(id) && std::chrono::steady_clock::now() < until;)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_NE(SDL_GameControllerFromInstanceID(id), nullptr) << "the window did not open the pad";
  }
  void unplug() {
    SDL_JoystickClose(pad_);
    SDL_JoystickDetachVirtual(index_);
  }
  void button(SDL_GameControllerButton b, bool down) { SDL_JoystickSetVirtualButton(pad_, b, down); }
  void stick(Sint16 x) { SDL_JoystickSetVirtualAxis(pad_, SDL_CONTROLLER_AXIS_LEFTX, x); }

  static inline PrivateX* x_ = nullptr;
  int index_ = -1;
  SDL_Joystick* pad_ = nullptr;
};

TEST_F(Input, AliasKeysAreArrowsAndKeepTheirCharactersAndAltIsASystemKey) {
  run("xdotool key --delay 30 a d w space alt");
  const std::vector<Key> want = {
      {DOWN, K_LEFT}, {WM_CHAR, 'a'}, {UP, K_LEFT},           {DOWN, K_RIGHT},     {WM_CHAR, 'd'},
      {UP, K_RIGHT},  {DOWN, K_UP},   {WM_CHAR, 'w'},         {UP, K_UP},          {DOWN, K_UP},
      {WM_CHAR, ' '}, {UP, K_UP},     {WM_SYSKEYDOWN, K_ALT}, {WM_SYSKEYUP, K_ALT}};
  EXPECT_EQ(keys_within(1500, true), want);
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
    button(b, true);
    SDL_Delay(30);
    button(b, false);
    SDL_Delay(30);
    want.insert(want.end(), {{DOWN, vk}, {UP, vk}});
  }
  button(SDL_CONTROLLER_BUTTON_X, true);  // not one of the game's
  SDL_Delay(30);
  button(SDL_CONTROLLER_BUTTON_X, false);
  for (Sint16 x : std::initializer_list<Sint16>{-32768, -3000, 20000, 9000, 0}) {  // out and back, inside the dead zone
    stick(x);
    SDL_Delay(30);
  }
  want.insert(want.end(), {{DOWN, K_LEFT}, {UP, K_LEFT}, {DOWN, K_RIGHT}, {UP, K_RIGHT}});
  EXPECT_EQ(keys_within(1500), want);

  // Keyboard and pad both hold Right: the first to let go releases nothing.
  run("xdotool keydown Right");
  SDL_Delay(50);
  button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
  SDL_Delay(50);
  run("xdotool keyup Right");
  SDL_Delay(50);
  EXPECT_EQ(keys_within(300), (std::vector<Key>{{DOWN, K_RIGHT}}));
  button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
  EXPECT_EQ(keys_within(300), (std::vector<Key>{{UP, K_RIGHT}}));

  // Unplugged while holding Right on the d-pad and Left on the stick.
  button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
  stick(-32768);
  SDL_Delay(50);
  unplug();
  std::vector<Key> got = keys_within(500);
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<Key>{{DOWN, K_LEFT}, {DOWN, K_RIGHT}, {UP, K_LEFT}, {UP, K_RIGHT}}));

  // A second pad, plugged in later, works as the first did.
  ASSERT_NO_FATAL_FAILURE(plug());
  button(SDL_CONTROLLER_BUTTON_A, true);
  SDL_Delay(30);
  button(SDL_CONTROLLER_BUTTON_A, false);
  EXPECT_EQ(keys_within(500), (std::vector<Key>{{DOWN, K_UP}, {UP, K_UP}}));
  unplug();
}

// Menus tell the keys behind one virtual key apart: an alias key, the
// controller's A (choose) and d-pad up (move) all arrive as Up.
TEST_F(Input, KeyMessagesCarryTheKeyAsPressed) {
  ASSERT_NO_FATAL_FAILURE(plug());
  run("xdotool key --delay 30 space w Left");
  for (auto b : {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_DOWN,
                 SDL_CONTROLLER_BUTTON_Y}) {
    button(b, true);
    SDL_Delay(30);
    button(b, false);
    SDL_Delay(30);
  }
  stick(-32768);
  SDL_Delay(30);
  stick(0);
  EXPECT_EQ(downs_within(1500), (std::vector<Key>{{K_UP, K_SPACE},
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
  // The point the last mouse message of `message` within `ms` gives (none: -99, -99).
  auto last = [](std::uint32_t message, int ms) {
    Point p{-99, -99};
    for (auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
         std::chrono::steady_clock::now() < until;)
      if (!ISNEXTMSG())
        wait_message(20);
      else if (ISMSG({message}))
        p = {mouse_x(MS.LPARAM), mouse_y(MS.LPARAM)};
    return p;
  };
  // Moves the pointer to window pixel (x, y) until the window has shown a
  // picture at its current size: true once the move reports `want`.
  auto reaches = [&](int x, int y, Point want) {
    for (int tries = 0; tries < 50; ++tries) {
      run("xdotool mousemove --window " + window + " 0 0 mousemove --window " + window + " " + std::to_string(x) + " " +
          std::to_string(y));
      if (last(WM_MOUSEMOVE, 200) == want) return true;
    }
    return false;
  };
  auto click = [&](int x, int y) {
    run("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) + " click 1");
    return last(WM_LBUTTONDOWN, 300);
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
  run("xdotool key --delay 30 j Left k Escape Pause Down Shift_R");
  for (auto b :
       {SDL_CONTROLLER_BUTTON_X, SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_BACK,
        SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER}) {
    button(b, true);
    SDL_Delay(30);
    button(b, false);
    SDL_Delay(30);
  }
  stick(-32768);  // as the d-pad's left, bound to nothing
  SDL_Delay(30);
  stick(0);
  EXPECT_EQ(downs_within(1500), (std::vector<Key>{{K_LEFT, K_J},
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
