// Sound: the game's own sounds (mono signed 16-bit at 48000 Hz), started on
// request from the game thread and mixed on the audio device's thread. The
// game thread never waits for audio: the device is opened on a thread of its
// own, requests go through a lock-free ring, and until a device is open every
// call does nothing.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace display {

inline constexpr std::uint32_t AUDIO_RATE = 48000;  // frames a second
inline constexpr std::uint32_t AUDIO_BUFFER = 512;  // frames a device buffer, at most

// How long opening the device may take before the game gives up on sound,
// from the start of the opening: a sound server that takes the connection
// and never answers would otherwise hold it for half a minute.
inline constexpr std::chrono::milliseconds AUDIO_OPEN_LIMIT{3000};

// Opens the audio device for these sounds (mono int16 at 48000 Hz; id =
// index): 48 kHz, a buffer of at most 512 frames, on SDL's audio thread. The
// opening runs on a thread of its own and starts once a window has shown its
// first picture (with `at_once`, straight away: a program without a window),
// because looking for a device can take a tenth of a second with no sound
// server, seconds with one that does not answer, and for ever when the disk
// driver's file is a FIFO. Until the device is open, play_sound does nothing
// and the volume and muting set are kept for it. No usable device, or none
// open within AUDIO_OPEN_LIMIT: one line on standard error ("tervalon: no
// sound: REASON", once a process) and silence until close_audio, even if the
// device opens later. Opening or open already: nothing, the sounds given
// first stay. Game thread.
void open_audio(std::vector<std::vector<std::int16_t>> sounds, bool at_once = false);
// Waits until the opening has ended (at most AUDIO_OPEN_LIMIT after it began,
// which may be never without a window's first picture): whether the device is
// open. False at once with no opening. Game thread.
bool wait_audio();
// Asks for sound `id` to start at the next audio buffer; never blocks, never
// allocates (a full queue drops the request). Game thread.
void play_sound(std::uint32_t id);
// 0..100 (more counts as 100), and muting; take effect at the next buffer.
// Any thread; kept across open_audio and close_audio, and for a device not
// open yet.
void set_volume(std::uint32_t percent);
std::uint32_t volume();
void set_muted(bool muted);
bool muted();
// Stops and closes the device; an opening not done yet is left to end by
// itself (closing what it opens), never waited for. Game thread.
void close_audio();

// The mixer the device's thread runs, by itself for the bench and tests: one
// producer thread calls request, one consumer thread calls mix.
class Mixer {
 public:
  static constexpr std::size_t VOICES = 16;
  // Requests waiting at once; more are dropped (a pass asks for a few).
  static constexpr std::uint32_t RING = 64;
  // A repeat of a sound started less than this ago plays at REPEAT_GAIN of
  // the last start's gain (Q15), so quick repeats do not pile up.
  static constexpr std::uint64_t REPEAT_FRAMES = AUDIO_RATE * 80 / 1000;
  static constexpr std::int32_t REPEAT_GAIN = 19661;  // 0.6
  static constexpr std::int32_t UNIT = 32768;         // gain 1 in Q15
  // Play faster than real time asks for sounds many times faster than play
  // does; they are thinned to what play at full speed makes (the shipped
  // journey: at most two sounds a frame, two at once, its loudest moment one
  // sound at its peak). In each displayed frame's worth of sound (1/60 s)
  // at most STARTS_PER_FRAME sounds start (a sound asked for twice in one
  // buffer, once), and a start that would take the gains of the voices
  // playing past LOUDEST plays at what is left of it, or not at all when
  // that is under a tenth of UNIT. Once a frame has been asked for more,
  // for CROWDED_FRAMES of sound after it the voices together stay within
  // UNIT: never louder than the loudest sound alone. No voice is cut short.
  static constexpr std::uint64_t FRAME_AUDIO = AUDIO_RATE / 60;
  static constexpr std::uint32_t STARTS_PER_FRAME = 2;
  static constexpr std::int32_t LOUDEST = 2 * UNIT;
  static constexpr std::uint64_t CROWDED_FRAMES = AUDIO_RATE / 2;

  explicit Mixer(std::vector<std::vector<std::int16_t>> sounds);

  // Queues a request for `id` (dropped, false, when the ring is full or there
  // is no such sound). Producer thread; no allocation, no lock.
  bool request(std::uint32_t id);
  // Starts the queued requests and writes the next `frames` frames, every
  // voice scaled by `gain` (Q15, 0..UNIT), summed with saturation. Consumer
  // thread; no allocation, no lock, no system call.
  void mix(std::int16_t* out, std::size_t frames, std::int32_t gain);
  // Silence for `frames` frames: requests dropped, voices stopped. Consumer.
  void silence(std::int16_t* out, std::size_t frames);
  // Voices playing (consumer thread).
  [[nodiscard]] std::size_t voices() const;

  // The output gain (Q15) of a volume 0..100: squared, so the steps sound even.
  static std::int32_t volume_gain(std::uint32_t percent);

 private:
  struct Voice {
    std::uint32_t sound = 0;
    std::uint32_t position = 0;  // next frame of the sound
    std::int32_t gain = 0;       // Q15; 0 when the voice is free
  };
  struct Start {
    std::uint64_t frame = 0;  // mixer frame it last started at
    std::int32_t gain = 0;    // its gain then (0: never started)
  };
  void start(std::uint32_t id);

  std::vector<std::vector<std::int16_t>> sounds_;
  std::vector<Start> starts_;  // by sound; consumer only
  std::array<Voice, VOICES> voices_{};
  std::uint64_t now_ = 0;            // frames mixed so far
  std::uint64_t frame_ = 0;          // the displayed frame's worth of sound now_ is in
  std::uint32_t frame_starts_ = 0;   // sounds started in it
  std::uint64_t crowded_until_ = 0;  // now_ before which the voices stay within UNIT
  // Ring of ids: slots 0..RING-1, written_ the slot written last (producer),
  // read_ the slot read last (consumer); empty when they are equal.
  std::array<std::uint32_t, RING> ring_{};
  std::atomic<std::uint32_t> written_{0}, read_{0};
};

}  // namespace display
