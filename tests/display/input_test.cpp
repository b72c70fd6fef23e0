// Input that stands for the arrow keys, on the real window under a private
// Xvfb: the alias keys, and game controllers through SDL's virtual joystick
// (a pad plugged in while the window is open works at once, its buttons and
// stick arrive as arrow-key messages, a direction held by the keyboard and
// the pad is let go only when both let go, and unplugging the pad lets go of
// what it held).
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "display/display.h"
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
  void TearDown() override { CLOSEWIN(); }

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

}  // namespace
