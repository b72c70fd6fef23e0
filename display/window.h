// The one window and its driver (a thread of its own, or the caller's): opening, closing, title and
// icon, presenting, the screen and window queries, thread slots, and the controls tools and tests use
// on it (injected messages, close).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "display/queue.h"
#include "display/surface.h"

namespace display {

// Window style bits that mean something here; STYLE 0 means DEFAULT_STYLE
// (visible, caption, sizing border, minimise and maximise boxes).
inline constexpr std::uint32_t WS_MAXIMIZE = 0x01000000, WS_MINIMIZE = 0x20000000, WS_VISIBLE = 0x10000000,
                               WS_CAPTION = 0x00C00000, WS_THICKFRAME = 0x00040000, DEFAULT_STYLE = 0x10CF0000;

// The window's id (0 while there is no window). Written by the window thread; any thread.
extern std::atomic<std::uint32_t> HW;
inline constexpr std::uint32_t THMAX = 256;

// The exit code when there is no display to open the window on, or when the
// X server goes away under a running game (after one line on standard error).
inline constexpr int NO_DISPLAY = 1, LOST_DISPLAY = 1;

// The largest window side, in pixels, that any back end opens.
inline constexpr std::uint32_t MAX_WINDOW_SIDE = 16384;

// Opens the window with a client area of W x H (0: half the screen), centred,
// on its own thread (or, under the inline driver, on this one) and returns
// when it is open and the main surface is cleared to CBG. CFG is what BAR
// fills with for colour 0, CBG what CLEAR fills with for colour 0 (and the
// window's background). The window is on
// the chosen back end: off-screen unless the SDL one was chosen. Without a
// display, or when the window would be larger than MAX_WINDOW_SIDE (the line
// then names the size, the scale and the scale that fits the screen): one
// line on standard error, exit code NO_DISPLAY. Game thread.
void CREATEWIN(std::uint32_t W, std::uint32_t H, std::uint32_t CFG_, std::uint32_t CBG_, std::uint32_t STYLE = 0);
// Says that the client's pictures are W x H pixels whatever the window's
// size (0 x 0: pictures of the client size again, the default). The main
// surface then stays W x H, and the window shows it scaled by the largest
// whole factor that fits, centred on the background colour (black in full
// screen), or shrunk keeping its aspect ratio when even factor 1 does not
// fit; with FIT, as large as fits keeping its aspect ratio at any factor,
// whole or not. The next window opens at SCALE times W x H (0: the largest
// whole factor within nine tenths of the screen's work area; a SCALE the
// work area cannot hold: the largest whole factor it can, at least 1, which
// window_scale() then tells), no smaller than W x H (or the work area), and
// in desktop full screen with FULLSCREEN. Game thread, before CREATEWIN.
void set_logical_size(std::uint32_t W, std::uint32_t H, std::uint32_t SCALE = 0, bool FULLSCREEN = false,
                      bool FIT = false);
// The factor the window opened at for pictures of a fixed size, which is
// less than the SCALE asked for when that did not fit the work area; 0
// without a window or without a logical size. Any thread.
std::uint32_t window_scale();
// Makes the next window's A and D keys arrive as Left and Right, W and Space
// as Up (their character messages stay as they are). Game thread, before CREATEWIN.
void use_alias_keys();
// For a program that reads keys but never typed text: windows open without
// the input method's compose table, which the X library otherwise reads from
// the locale's Compose file (thousands of lines, twice) at every start, ten
// milliseconds before the first picture. Characters typed with dead keys or
// compose sequences then do not come. Before the first CREATEWIN, while no
// other thread runs (it sets an environment variable).
void without_typed_text();
// Closes the window and returns once its thread has ended; nothing without a
// window. Game thread (inline: from another thread, it returns once the
// window's thread has closed it at its next pump or wait).
void CLOSEWIN();
// Whether the window is open. Any thread.
bool ISWIN();
// Sets the window title (bytes: UTF-8 or GBK); nothing without a window. Game thread.
void SETTITLE(std::string_view S);
// Presents the main surface (pixels of exactly 0x000001 keep what the window
// showed) and records the presentation time: the window thread shows it, or
// under the inline driver this call does. Game thread.
void FRESHWIN();

// The window's driver. The threaded one (the default) opens each window on a
// window thread of its own, which waits for the platform's events, queues
// them and shows pictures while the game thread runs. The inline one runs all
// of that on the thread that calls CREATEWIN and starts no thread: that
// thread pumps the events with pump_events() (or while it waits in
// wait_message), and FRESHWIN shows the picture itself; requests from other
// threads (inject_*, SETTITLE, run_on_window_thread, CLOSEWIN) are served at
// its next pump or wait, and return then. Both back ends run either way.
// Game thread, before CREATEWIN, with no window open.
void use_inline_driver();
void use_threaded_driver();
// Whether the chosen driver is the inline one. Any thread.
bool runs_inline();
// Inline: queues the platform events waiting, without waiting for any, serves
// the requests posted by other threads and closes the window when it was
// asked to (the close button; ISWIN() then says so). Threaded: nothing (the
// window thread pumps), so a program may call it every step either way.
// Game thread.
void pump_events();
// Whether a window has shown a picture presented to it since the process
// started. Any thread.
bool first_picture_shown();
// Has `call` run once a window has shown its first presented picture, for
// work that must not hold that picture back: on the window thread right
// after it, or on the caller's thread when one has been shown already (it
// may then run on both, so it only wakes a waiter that asks
// first_picture_shown()). It must be short. Any thread.
void on_first_picture(void (*call)());
// The title and icon (copied; nil: none; its own colour is transparent) the
// next CREATEWIN opens its window
// with, so that nothing waits on the window thread for them afterwards. Game
// thread, before CREATEWIN.
void open_with(std::string_view title, PBITMAP icon);

// Screen size in pixels: with a window, as its thread measured it; without
// one, asked of the chosen back end at the call. Any thread.
std::int32_t GETSCRWIDTH();
std::int32_t GETSCRHEIGHT();
// Window frame measurements in pixels, as the window thread last read them
// from the platform (0 before a window was ever opened). Any thread.
std::int32_t GETBORDERTITLE();
std::int32_t GETBORDERWIDTH();
std::int32_t GETBORDERHEIGHT();
// Screen position of the window's outer top-left corner; 0 with no window. Any thread.
std::int32_t GETPOSX();
std::int32_t GETPOSY();

// Starts a thread running TH in the next of the 256 slots (1, 2, ..., 255, 0, ...)
// and returns the slot. Game thread.
std::uint32_t NEWTHREAD(void (*TH)());
// Frees slot THI: a thread that has ended is joined; a running one cannot be
// stopped safely and is left to run on, detached. Game thread.
void STOPTHREAD(std::uint32_t THI);

// Makes the next CREATEWIN open an off-screen window (as it does until another
// back end is chosen): no display needed, same surfaces and queue; messages
// come from inject_message. Game thread, before CREATEWIN.
void use_headless_backend();
// The title the off-screen window was last given. Any thread.
std::string headless_title();
// Hands a message to the window's thread as if the platform delivered it, and
// returns once it is queued (WM_USER also goes into the user queue first);
// false without a window. Any thread (on the window's own: at once).
bool inject_message(const MSG& m);
// A size report of the client area, as a user's resize would make. Any
// thread; false without a window.
bool inject_resize(std::uint32_t w, std::uint32_t h);
// The window's close command, as the close button gives it; returns once the
// window has closed (on the window thread itself: the thread ends after its
// pass). Any thread.
void inject_close();

// Runs task(text) on the window's thread, the one that owns the platform's
// video, and returns true once it has run (at once when called there); false
// when no window is open. Any thread.
bool run_on_window_thread(void (*task)(const std::string&), const std::string& text);

}  // namespace display
