// One small synthesiser: a tone gliding (or stepping, for a little arpeggio)
// from one pitch to another under a linear attack, an exponential fade and a
// linear release, so that every sound begins and ends at zero and never
// clicks. The soft square is the first three odd harmonics, which keeps it
// round and free of aliasing; the noise is a fixed generator, low-passed.
#include "game/view/sounds.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace tervalon {

namespace {

enum class Wave : std::uint8_t { sine, soft_square, noise };

struct Voice {
  Wave wave;
  double from_hz, to_hz;  // pitch at the start and at the end
  int steps;              // 0: a glide; n: n + 1 equal notes from `from` to `to`
  double seconds;
  double attack, release;  // seconds of linear ramp at each end
  double decay;            // fade per second of the body, as a factor (1: none)
  double volume;           // 0..1 of the loudest any sound gets
};

// In Sound order.
constexpr std::array<Voice, SOUND_COUNT> VOICES = {{
    {Wave::sine, 320, 640, 0, 0.11, 0.005, 0.04, 0.3, 0.8},               // jump: a quick rise
    {Wave::soft_square, 480, 960, 0, 0.10, 0.005, 0.04, 0.3, 0.55},       // wall-jump: higher, brighter
    {Wave::noise, 900, 300, 0, 0.07, 0.003, 0.04, 0.05, 0.9},             // land: a soft thud
    {Wave::sine, 523.25, 783.99, 1, 0.24, 0.005, 0.06, 0.5, 0.8},         // exit-open: C then G
    {Wave::soft_square, 700, 180, 0, 0.26, 0.005, 0.06, 0.6, 0.5},        // rewound: a falling whoop
    {Wave::sine, 987.77, 1318.5, 1, 0.14, 0.003, 0.04, 0.4, 0.7},         // caught: a bright blip pair
    {Wave::sine, 392.00, 783.99, 2, 0.27, 0.005, 0.06, 0.6, 0.8},         // level-left: G, D, G
    {Wave::sine, 523.25, 1046.5, 3, 0.29, 0.005, 0.06, 0.7, 0.8},         // home: up an octave in four
    {Wave::sine, 659.26, 659.26, 0, 0.28, 0.06, 0.12, 0.7, 0.5},          // story: one soft, swelling note
    {Wave::soft_square, 261.63, 1046.5, 4, 0.29, 0.005, 0.06, 0.8, 0.5},  // journey-end: see closing()
}};

constexpr double PEAK = 32767.0 / 3.0;

double pitch(const Voice& v, double t) {
  double f = std::min(t / v.seconds, 1.0);
  if (v.steps > 0) f = std::floor(f * (v.steps + 1)) / v.steps;
  f = std::min(f, 1.0);
  return v.from_hz * std::pow(v.to_hz / v.from_hz, f);  // even steps to the ear
}

double envelope(const Voice& v, double t) {
  double e = std::pow(v.decay, t);
  if (t < v.attack) e *= t / v.attack;
  if (v.seconds - t < v.release) e *= std::max(0.0, (v.seconds - t) / v.release);
  return e;
}

// One note of the closing phrase: a sine with a little of its octave, so
// that it sounds warm rather than thin, under the envelope of a Voice.
struct Note {
  double at;  // seconds from the start of the sound
  double hz;
  Voice shape;  // its seconds, attack, release, decay and volume
};

// The journey's end: G, C, E rising, then a C major chord held and let ring,
// the longest and fullest sound of the game. The notes are summed and the
// whole scaled to PEAK, so that it is as loud as any sound may be and never
// clips.
std::vector<std::int16_t> closing() {
  constexpr double C4 = 261.63, G4 = 392.00, C5 = 523.25, E5 = 659.26;
  const Voice step{Wave::sine, 0, 0, 0, 0.16, 0.006, 0.06, 0.3, 0.8};
  const Voice held{Wave::sine, 0, 0, 0, 1.3, 0.02, 0.45, 0.8, 0.8};
  // The chord's notes come in a few milliseconds apart, as a hand strums
  // them: they never crest together, so the whole can be louder.
  const std::array<Note, 7> notes{{{0.00, G4, step},
                                   {0.13, C5, step},
                                   {0.26, E5, step},
                                   {0.390, C4, held},
                                   {0.402, G4, held},
                                   {0.414, C5, held},
                                   {0.426, E5, held}}};
  double seconds = 0;
  for (const Note& n : notes) seconds = std::max(seconds, n.at + n.shape.seconds);
  std::vector<double> mix(static_cast<std::size_t>(seconds * SOUND_RATE) + 1, 0.0);
  for (const Note& n : notes) {
    const auto first = static_cast<std::size_t>(n.at * SOUND_RATE);
    const auto count = static_cast<std::size_t>(n.shape.seconds * SOUND_RATE);
    for (std::size_t i = 0; i < count; ++i) {
      const double t = static_cast<double>(i) / SOUND_RATE;
      const double phase = 2 * std::numbers::pi * n.hz * t;
      mix[first + i] += (std::sin(phase) + 0.25 * std::sin(2 * phase)) * envelope(n.shape, t) * n.shape.volume;
    }
  }
  double loudest = 0;
  for (const double x : mix) loudest = std::max(loudest, std::abs(x));
  std::vector<std::int16_t> out(mix.size());
  for (std::size_t i = 0; i < mix.size(); ++i) out[i] = static_cast<std::int16_t>(std::lround(mix[i] / loudest * PEAK));
  return out;
}

}  // namespace

std::vector<std::int16_t> make_sound(Sound s) {
  if (s == Sound::journey_end) return closing();
  const Voice& v = VOICES[static_cast<std::size_t>(s)];
  const auto n = static_cast<std::size_t>(v.seconds * SOUND_RATE);
  std::vector<std::int16_t> out(n);
  double phase = 0, smooth = 0;
  std::uint32_t seed = 0x2545F491u;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / SOUND_RATE;
    const double hz = pitch(v, t);
    phase += 2 * std::numbers::pi * hz / SOUND_RATE;
    double x = 0;
    switch (v.wave) {
      case Wave::sine: x = std::sin(phase); break;
      case Wave::soft_square: x = std::sin(phase) + std::sin(3 * phase) / 3 + std::sin(5 * phase) / 5; break;
      case Wave::noise: {
        seed = seed * 1664525u + 1013904223u;
        const double white = static_cast<double>(seed >> 8) / double{1 << 24} * 2 - 1;
        // One pole low-pass whose corner follows the pitch: the thud darkens.
        const double k = 1 - std::exp(-2 * std::numbers::pi * hz / SOUND_RATE);
        smooth += k * (white - smooth);
        x = smooth * 2.5;
        break;
      }
    }
    const double y = std::clamp(x * envelope(v, t) * v.volume, -1.0, 1.0) * PEAK;
    out[i] = static_cast<std::int16_t>(std::lround(y));
  }
  return out;
}

}  // namespace tervalon
