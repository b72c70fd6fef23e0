// Sound through SDL's audio device: the mixer runs in SDL's audio callback,
// fed by the game thread through the mixer's ring; volume and muting are
// atomics read once a buffer.
#include "display/audio.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

namespace display {

Mixer::Mixer(std::vector<std::vector<std::int16_t>> sounds) : sounds_(std::move(sounds)), starts_(sounds_.size()) {}

bool Mixer::request(std::uint32_t id) {
  if (id >= sounds_.size()) return false;
  const std::uint32_t next = (written_.load(std::memory_order_relaxed) + 1) & (RING - 1);
  if (next == read_.load(std::memory_order_acquire)) return false;  // full: keep the waiting ones
  ring_[next] = id;
  written_.store(next, std::memory_order_release);
  return true;
}

void Mixer::start(std::uint32_t id) {
  Start& last = starts_[id];
  const std::uint64_t since = now_ - last.frame;
  std::int32_t gain = UNIT;
  // Still playing and started just now: quieter than that start, so a run of
  // quick repeats fades instead of adding up; a pause brings it back to full.
  if (last.gain != 0 && since < REPEAT_FRAMES && since < sounds_[id].size())
    gain = std::max(1, last.gain * REPEAT_GAIN / UNIT);
  last = {now_, gain};
  // A free voice, else the one furthest through its sound (the least missed).
  Voice* voice = &voices_[0];
  for (Voice& v : voices_) {
    if (v.gain == 0) {
      voice = &v;
      break;
    }
    if (v.position > voice->position) voice = &v;
  }
  *voice = {id, 0, gain};
}

void Mixer::mix(std::int16_t* out, std::size_t frames, std::int32_t gain) {
  for (std::uint32_t j = read_.load(std::memory_order_relaxed); j != written_.load(std::memory_order_acquire);) {
    j = (j + 1) & (RING - 1);
    start(ring_[j]);
    read_.store(j, std::memory_order_release);
  }
  while (frames > 0) {
    const std::size_t n = std::min<std::size_t>(frames, AUDIO_BUFFER);
    std::array<std::int32_t, AUDIO_BUFFER> sum;
    std::fill_n(sum.begin(), n, 0);
    for (Voice& v : voices_) {
      if (v.gain == 0) continue;
      const std::vector<std::int16_t>& sound = sounds_[v.sound];
      const std::size_t count = std::min<std::size_t>(n, sound.size() - v.position);
      const std::int32_t g = v.gain * gain / UNIT;
      const std::int16_t* s = sound.data() + v.position;
      for (std::size_t i = 0; i < count; ++i) sum[i] += s[i] * g / UNIT;
      v.position += static_cast<std::uint32_t>(count);
      if (v.position >= sound.size()) v.gain = 0;
    }
    for (std::size_t i = 0; i < n; ++i)
      out[i] = static_cast<std::int16_t>(std::clamp<std::int32_t>(sum[i], INT16_MIN, INT16_MAX));
    out += n;
    frames -= n;
    now_ += n;
  }
}

void Mixer::silence(std::int16_t* out, std::size_t frames) {
  read_.store(written_.load(std::memory_order_acquire), std::memory_order_release);
  for (Voice& v : voices_) v.gain = 0;
  std::fill_n(out, frames, std::int16_t{0});
  now_ += frames;
}

std::size_t Mixer::voices() const {
  return static_cast<std::size_t>(
      std::count_if(voices_.begin(), voices_.end(), [](const Voice& v) { return v.gain != 0; }));
}

std::int32_t Mixer::volume_gain(std::uint32_t percent) {
  const std::int32_t p = static_cast<std::int32_t>(std::min<std::uint32_t>(percent, 100));
  return p * p * UNIT / 10000;
}

namespace {
std::atomic<std::uint32_t> volume_percent{100};
std::atomic<bool> mute{false};
// Game thread only, but for the mixer, which the device's thread uses between
// opening (its thread starts after the mixer is made) and closing (joined).
std::unique_ptr<Mixer> mixer;
SDL_AudioDeviceID device = 0;
bool reported = false;

void SDLCALL fill(void* user, Uint8* stream, int length) {
  auto* m = static_cast<Mixer*>(user);
  auto* out = reinterpret_cast<std::int16_t*>(stream);  // NOLINT: SDL hands the buffer as bytes
  const auto frames = static_cast<std::size_t>(length) / sizeof(std::int16_t);
  if (mute.load(std::memory_order_relaxed))
    m->silence(out, frames);
  else
    m->mix(out, frames, Mixer::volume_gain(volume_percent.load(std::memory_order_relaxed)));
}

bool no_sound(const char* reason) {
  if (!reported) std::fprintf(stderr, "tervalon: no sound: %s\n", reason);
  reported = true;
  return false;
}
}  // namespace

bool open_audio(std::vector<std::vector<std::int16_t>> sounds) {
  if (mixer) return true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return no_sound(SDL_GetError());
  mixer = std::make_unique<Mixer>(std::move(sounds));
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(AUDIO_RATE);
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = AUDIO_BUFFER;
  want.callback = fill;
  want.userdata = mixer.get();
  // No changes allowed: SDL converts to whatever the device takes, and the
  // callback always sees mono 16-bit at 48 kHz.
  SDL_AudioSpec have{};
  device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device == 0) {
    const bool result = no_sound(SDL_GetError());
    mixer.reset();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return result;
  }
  SDL_PauseAudioDevice(device, 0);
  return true;
}

void play_sound(std::uint32_t id) {
  if (mixer) mixer->request(id);
}

void set_volume(std::uint32_t percent) {
  volume_percent.store(std::min<std::uint32_t>(percent, 100), std::memory_order_relaxed);
}
std::uint32_t volume() { return volume_percent.load(std::memory_order_relaxed); }
void set_muted(bool muted) { mute.store(muted, std::memory_order_relaxed); }
bool muted() { return mute.load(std::memory_order_relaxed); }

void close_audio() {
  if (!mixer) return;
  SDL_CloseAudioDevice(device);  // joins the device's thread
  device = 0;
  mixer.reset();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace display
