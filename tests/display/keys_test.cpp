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

TEST(Keys, ControlKeysMakeCharactersAndKeyUpsMarkTheirState) {
  EXPECT_EQ(control_character(SDL_SCANCODE_RETURN), 13);
  EXPECT_EQ(control_character(SDL_SCANCODE_ESCAPE), 27);
  EXPECT_EQ(control_character(SDL_SCANCODE_LEFT), 0);
  EXPECT_EQ(key_lparam(true, false), 1);
  EXPECT_EQ(key_lparam(true, true), 1 | (1 << 30));
  EXPECT_LT(key_lparam(false, false), 0) << "bit 31 marks a key-up";
}

}  // namespace
