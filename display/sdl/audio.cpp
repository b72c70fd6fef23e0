// Sound through SDL's audio device: opened on threads of its own once the
// first picture is out, the mixer running in SDL's audio callback, fed by the
// game thread through the mixer's ring; volume and muting are atomics read
// once a buffer.
#include "display/audio.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "display/sdl/window.h"
#include "display/window.h"

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
  if (const std::uint64_t frame = now_ / FRAME_AUDIO; frame != frame_) {
    frame_ = frame;
    frame_starts_ = 0;
  }
  Start& last = starts_[id];
  // Asked again before any of it has played: the same start.
  if (last.gain != 0 && last.frame == now_) return;
  if (frame_starts_ >= STARTS_PER_FRAME) {
    crowded_until_ = now_ + CROWDED_FRAMES;  // faster than play: quieter for a while
    return;
  }
  const std::uint64_t since = now_ - last.frame;
  std::int32_t gain = UNIT;
  // Still playing and started just now: quieter than that start, so a run of
  // quick repeats fades instead of adding up; a pause brings it back to full.
  if (last.gain != 0 && since < REPEAT_FRAMES && since < sounds_[id].size())
    gain = std::max(1, last.gain * REPEAT_GAIN / UNIT);
  std::int32_t playing = 0;
  for (const Voice& v : voices_) playing += v.gain;
  gain = std::min(gain, (now_ < crowded_until_ ? UNIT : LOUDEST) - playing);
  if (gain < UNIT / 10) return;
  ++frame_starts_;
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
std::atomic<bool> reported{false};

void SDLCALL fill(void* user, Uint8* stream, int length) {
  auto* m = static_cast<Mixer*>(user);
  auto* out = reinterpret_cast<std::int16_t*>(stream);  // NOLINT: SDL hands the buffer as bytes
  const auto frames = static_cast<std::size_t>(length) / sizeof(std::int16_t);
  if (mute.load(std::memory_order_relaxed))
    m->silence(out, frames);
  else
    m->mix(out, frames, Mixer::volume_gain(volume_percent.load(std::memory_order_relaxed)));
}

void no_sound(const std::string& reason) {
  if (!reported.exchange(true)) std::fprintf(stderr, "tervalon: no sound: %s\n", reason.c_str());
}

// ALSA tells every step of a failed search for a device on standard error
// (eight lines with no sound card) through its error handler, which SDL
// leaves as it is: this one says nothing, so that the game's own line is the
// only one. Looked up at run time, as SDL loads ALSA itself: no ALSA, nothing
// to do. The library stays loaded, so the handler outlasts SDL unloading it.
// ALSA's handler type is variadic.
void alsa_says_nothing(const char*, int, const char*, int, const char*, ...) {}  // NOLINT(cert-dcl50-cpp)
void quiet_alsa() {
  static std::once_flag once;
  std::call_once(once, [] {
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!alsa) return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    if (auto* set = reinterpret_cast<int (*)(Handler)>(dlsym(alsa, "snd_lib_error_set_handler")))  // NOLINT
      set(alsa_says_nothing);
  });
}

enum class Stage { Waiting, Opening, Open, Failed, Closed };

// One opening of the device. Its stage changes under lock() and is announced
// on changed(); the game thread and the opening's two threads each hold it,
// and a thread stuck in a sound server keeps it past close_audio until the
// process ends.
struct Opening {
  Opening(std::vector<std::vector<std::int16_t>> sounds, bool now) : mixer(std::move(sounds)), at_once(now) {}
  Mixer mixer;  // its consumer is the open device's thread
  const bool at_once;
  Stage stage = Stage::Waiting;
  SDL_AudioDeviceID device = 0;  // while Open
};

// Never destroyed, like the current opening: threads stuck opening a device,
// and SDL's audio thread, may outlive main.
std::mutex& lock() {
  static std::mutex& m = *new std::mutex;
  return m;
}
std::condition_variable& changed() {
  static std::condition_variable& c = *new std::condition_variable;
  return c;
}
std::shared_ptr<Opening>& current() {  // game thread
  static std::shared_ptr<Opening>& o = *new std::shared_ptr<Opening>;
  return o;
}
// The open device's mixer, for play_sound: set under lock() by the thread that
// opened the device, cleared under it by close_audio.
std::atomic<Mixer*> ready{nullptr};

// After the first picture: the waiting opening looks again.
void wake() {
  { const std::lock_guard<std::mutex> hold(lock()); }
  changed().notify_all();
}

// Ends SDL's audio subsystem. `wait`: for the subsystems' lock; without it
// (the game thread, which never waits on a thread stuck in a sound server)
// only when it is free, or the subsystem stays up until exit.
void quit_audio(bool wait) {
  std::unique_lock<std::mutex> hold(sdl_subsystems_lock(), std::defer_lock);
  if (wait)
    hold.lock();
  else if (!hold.try_lock())
    return;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

// SDL's audio and the device, playing; 0 with the reason.
SDL_AudioDeviceID start_device(Mixer& mixer, std::string& why) {
  quiet_alsa();
  {
    const std::lock_guard<std::mutex> hold(sdl_subsystems_lock());
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      why = SDL_GetError();
      return 0;
    }
  }
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(AUDIO_RATE);
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = AUDIO_BUFFER;
  want.callback = fill;
  want.userdata = &mixer;
  // No changes allowed: SDL converts to whatever the device takes, and the
  // callback always sees mono 16-bit at 48 kHz.
  SDL_AudioSpec have{};
  const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device == 0) {
    why = SDL_GetError();
    quit_audio(true);
    return 0;
  }
  SDL_PauseAudioDevice(device, 0);
  return device;
}

// The opening's second thread: the device, which it closes again when the
// opening was given up or closed meanwhile.
void open_device(const std::shared_ptr<Opening>& o) {
  std::string why;
  const SDL_AudioDeviceID device = start_device(o->mixer, why);
  bool kept = false;
  {
    const std::lock_guard<std::mutex> hold(lock());
    if (o->stage == Stage::Opening) {
      kept = true;
      // Said before anyone waiting for the outcome hears of it.
      if (!device) no_sound(why);
      o->stage = device ? Stage::Open : Stage::Failed;
      o->device = device;
      if (device) ready.store(&o->mixer, std::memory_order_release);
    }
  }
  changed().notify_all();
  if (device && !kept) {
    SDL_CloseAudioDevice(device);  // joins the device's thread
    quit_audio(true);
  }
}

void fail(const std::shared_ptr<Opening>& o, const std::string& why) {
  {
    const std::lock_guard<std::mutex> hold(lock());
    if (o->stage != Stage::Waiting && o->stage != Stage::Opening) return;
    no_sound(why);
    o->stage = Stage::Failed;
  }
  changed().notify_all();
}

// The opening's first thread: waits for the first picture, starts the second
// thread and gives up on it after AUDIO_OPEN_LIMIT.
void run_opening(const std::shared_ptr<Opening>& o) {
  {
    std::unique_lock<std::mutex> hold(lock());
    changed().wait(hold, [&] { return o->stage != Stage::Waiting || o->at_once || first_picture_shown(); });
    if (o->stage != Stage::Waiting) return;  // closed first
    o->stage = Stage::Opening;
  }
  try {
    std::thread(open_device, o).detach();
  } catch (const std::system_error& e) {
    return fail(o, e.what());
  }
  std::unique_lock<std::mutex> hold(lock());
  if (changed().wait_for(hold, AUDIO_OPEN_LIMIT, [&] { return o->stage != Stage::Opening; })) return;
  hold.unlock();
  fail(o, "no device opened within " + std::to_string(AUDIO_OPEN_LIMIT.count() / 1000) + " seconds");
}
}  // namespace

void open_audio(std::vector<std::vector<std::int16_t>> sounds, bool at_once) {
  std::shared_ptr<Opening>& o = current();
  if (o) return;
  o = std::make_shared<Opening>(std::move(sounds), at_once);
  if (!at_once) on_first_picture(wake);
  try {
    std::thread(run_opening, o).detach();
  } catch (const std::system_error& e) {
    fail(o, e.what());
  }
}

bool wait_audio() {
  const std::shared_ptr<Opening>& o = current();
  if (!o) return false;
  std::unique_lock<std::mutex> hold(lock());
  changed().wait(hold, [&] { return o->stage != Stage::Waiting && o->stage != Stage::Opening; });
  return o->stage == Stage::Open;
}

void play_sound(std::uint32_t id) {
  if (Mixer* m = ready.load(std::memory_order_acquire)) m->request(id);
}

void set_volume(std::uint32_t percent) {
  volume_percent.store(std::min<std::uint32_t>(percent, 100), std::memory_order_relaxed);
}
std::uint32_t volume() { return volume_percent.load(std::memory_order_relaxed); }
void set_muted(bool muted) { mute.store(muted, std::memory_order_relaxed); }
bool muted() { return mute.load(std::memory_order_relaxed); }

void close_audio() {
  const std::shared_ptr<Opening> o = std::exchange(current(), nullptr);
  if (!o) return;
  SDL_AudioDeviceID device = 0;
  {
    const std::lock_guard<std::mutex> hold(lock());
    ready.store(nullptr, std::memory_order_relaxed);
    if (o->stage == Stage::Open) device = o->device;
    o->stage = Stage::Closed;
  }
  changed().notify_all();
  if (device == 0) return;
  SDL_CloseAudioDevice(device);  // joins the device's thread
  quit_audio(false);
}

}  // namespace display
