// Key translation from SDL's key events to virtual-key codes.
#include <gtest/gtest.h>

#include "display/queue.h"
#include "display/sdl/input.h"

using namespace display;

namespace {

TEST(Keys, KeysMapToTheirVirtualKeyCodes) {
  EXPECT_EQ(virtual_key(SDLK_LEFT, SDL_SCANCODE_LEFT), K_LEFT);
  EXPECT_EQ(virtual_key(SDLK_UP, SDL_SCANCODE_UP), K_UP);
  EXPECT_EQ(virtual_key(SDLK_RIGHT, SDL_SCANCODE_RIGHT), K_RIGHT);
  EXPECT_EQ(virtual_key(SDLK_DOWN, SDL_SCANCODE_DOWN), K_DOWN);
  EXPECT_EQ(virtual_key(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE), K_ESC);
  EXPECT_EQ(virtual_key(SDLK_RETURN, SDL_SCANCODE_RETURN), K_ENTER);
  EXPECT_EQ(virtual_key(SDLK_SPACE, SDL_SCANCODE_SPACE), K_SPACE);
  for (int i = 0; i < 26; ++i)
    EXPECT_EQ(virtual_key(SDLK_a + i, static_cast<SDL_Scancode>(SDL_SCANCODE_A + i)), K_A + i);
  // The layout decides the letter: the key in the Q place of an AZERTY board is A.
  EXPECT_EQ(virtual_key(SDLK_a, SDL_SCANCODE_Q), K_A);
  EXPECT_EQ(virtual_key(SDLK_0, SDL_SCANCODE_0), K_0);
  EXPECT_EQ(virtual_key(SDLK_9, SDL_SCANCODE_9), K_9);
  EXPECT_EQ(virtual_key(SDLK_F1, SDL_SCANCODE_F1), K_F1);
  EXPECT_EQ(virtual_key(SDLK_F12, SDL_SCANCODE_F12), K_F12);
  EXPECT_EQ(virtual_key(SDLK_F24, SDL_SCANCODE_F24), K_F24);
  EXPECT_EQ(virtual_key(SDLK_KP_0, SDL_SCANCODE_KP_0), K_N0);
  EXPECT_EQ(virtual_key(SDLK_KP_7, SDL_SCANCODE_KP_7), K_N7);
  EXPECT_EQ(virtual_key(SDLK_KP_DIVIDE, SDL_SCANCODE_KP_DIVIDE), K_DIV);
  EXPECT_EQ(virtual_key(SDLK_RSHIFT, SDL_SCANCODE_RSHIFT), K_SHIFT);
  EXPECT_EQ(virtual_key(SDLK_LCTRL, SDL_SCANCODE_LCTRL), K_CTRL);
  EXPECT_EQ(virtual_key(SDLK_RALT, SDL_SCANCODE_RALT), K_ALT);
  EXPECT_EQ(virtual_key(SDLK_PAGEDOWN, SDL_SCANCODE_PAGEDOWN), K_PGDN);
  EXPECT_EQ(virtual_key(SDLK_DELETE, SDL_SCANCODE_DELETE), K_DEL);
}

// Recordings keep a key by its virtual-key code ("down 32"): these numbers
// are part of the replay language, and a recording made by any version
// replays with the same keys.
TEST(Keys, EveryKeyHasTheNumberRecordingsKeepItBy) {
  const std::pair<SDL_Scancode, std::int32_t> codes[] = {{SDL_SCANCODE_CANCEL, 3},
                                                         {SDL_SCANCODE_BACKSPACE, 8},
                                                         {SDL_SCANCODE_TAB, 9},
                                                         {SDL_SCANCODE_CLEAR, 12},
                                                         {SDL_SCANCODE_RETURN, 13},
                                                         {SDL_SCANCODE_LSHIFT, 16},
                                                         {SDL_SCANCODE_RCTRL, 17},
                                                         {SDL_SCANCODE_LALT, 18},
                                                         {SDL_SCANCODE_PAUSE, 19},
                                                         {SDL_SCANCODE_CAPSLOCK, 20},
                                                         {SDL_SCANCODE_ESCAPE, 27},
                                                         {SDL_SCANCODE_SPACE, 32},
                                                         {SDL_SCANCODE_PAGEUP, 33},
                                                         {SDL_SCANCODE_PAGEDOWN, 34},
                                                         {SDL_SCANCODE_END, 35},
                                                         {SDL_SCANCODE_HOME, 36},
                                                         {SDL_SCANCODE_LEFT, 37},
                                                         {SDL_SCANCODE_UP, 38},
                                                         {SDL_SCANCODE_RIGHT, 39},
                                                         {SDL_SCANCODE_DOWN, 40},
                                                         {SDL_SCANCODE_SELECT, 41},
                                                         {SDL_SCANCODE_EXECUTE, 43},
                                                         {SDL_SCANCODE_PRINTSCREEN, 44},
                                                         {SDL_SCANCODE_INSERT, 45},
                                                         {SDL_SCANCODE_DELETE, 46},
                                                         {SDL_SCANCODE_HELP, 47},
                                                         {SDL_SCANCODE_0, 48},
                                                         {SDL_SCANCODE_1, 49},
                                                         {SDL_SCANCODE_9, 57},
                                                         {SDL_SCANCODE_A, 65},
                                                         {SDL_SCANCODE_Z, 90},
                                                         {SDL_SCANCODE_LGUI, 91},
                                                         {SDL_SCANCODE_RGUI, 92},
                                                         {SDL_SCANCODE_APPLICATION, 93},
                                                         {SDL_SCANCODE_SLEEP, 95},
                                                         {SDL_SCANCODE_KP_0, 96},
                                                         {SDL_SCANCODE_KP_1, 97},
                                                         {SDL_SCANCODE_KP_9, 105},
                                                         {SDL_SCANCODE_KP_MULTIPLY, 106},
                                                         {SDL_SCANCODE_KP_PLUS, 107},
                                                         {SDL_SCANCODE_KP_COMMA, 108},
                                                         {SDL_SCANCODE_KP_MINUS, 109},
                                                         {SDL_SCANCODE_KP_PERIOD, 110},
                                                         {SDL_SCANCODE_KP_DIVIDE, 111},
                                                         {SDL_SCANCODE_F1, 112},
                                                         {SDL_SCANCODE_F12, 123},
                                                         {SDL_SCANCODE_F13, 124},
                                                         {SDL_SCANCODE_F24, 135},
                                                         {SDL_SCANCODE_NUMLOCKCLEAR, 144},
                                                         {SDL_SCANCODE_SCROLLLOCK, 145},
                                                         {SDL_SCANCODE_SEMICOLON, 186},
                                                         {SDL_SCANCODE_APOSTROPHE, 222}};
  for (const auto& [scancode, code] : codes)
    EXPECT_EQ(virtual_key(SDLK_UNKNOWN, scancode), code) << SDL_GetScancodeName(scancode);
}

TEST(Keys, ControlKeysMakeCharactersAndKeyUpsMarkTheirState) {
  EXPECT_EQ(control_character(SDL_SCANCODE_RETURN), 13);
  EXPECT_EQ(control_character(SDL_SCANCODE_ESCAPE), 27);
  EXPECT_EQ(control_character(SDL_SCANCODE_LEFT), 0);
  EXPECT_EQ(key_lparam(true, false), 1);
  EXPECT_EQ(key_lparam(true, true), 1 | (1 << 30));
  EXPECT_LT(key_lparam(false, false), 0) << "bit 31 marks a key-up";
}

}  // namespace
