// Playing scripts in the window (--play, --speed) and recording the run as a
// script (--record): the main loop's other input source and its recorder.
// Everything here runs on the game thread.
#pragma once

#include <cstdint>

#include "options.h"

namespace tervalon {

// Reads the scripts to play and opens the recording with its header; called
// by main after INITBD, before the window. False after a message on standard
// error (exit code 2).
bool start_session(const Options& o);

// The game clock's milliseconds by which `frame` frames have run, 60 a
// second: frame `frame` + 1 falls due once the clock passes it.
double frame_ms(std::uint64_t frame);
// How far the main loop's frame clock is ahead of the display clock
// (GETTIMER), in milliseconds: 0 until a playback hands over, then enough
// that the player's game goes on from the played frame with neither a wait
// nor a burst.
double game_clock_shift();

// Whether a played script still feeds the game.
bool playing();
// One pass of the main loop while a script plays: the script's next pass when
// its frames are due on the playback clock (--speed times the game's) or its
// next key message; of the window's messages only Escape counts (it quits).
// When the scripts end or a check fails, the player takes over.
void play_pass();

// The recorder, called by the main loop (and by play_pass): a pass of `frames`
// game frames has run and been drawn.
void record_pass(std::uint64_t frames);
// A message the main loop is about to handle; key messages are kept.
void record_message(std::uint32_t message, std::int32_t wparam);
// The game is over: writes the final state and closes the recording.
void end_session();

}  // namespace tervalon
