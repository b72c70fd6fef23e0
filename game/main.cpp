// Tervalon: load the levels, open the window, and run the game at 60 frames a
// second until the window is gone.
#include <sys/prctl.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "base/keys.h"
#include "base/stop.h"
#include "display/audio.h"
#include "display/sdl/window.h"
#include "display/window.h"
#include "game/app/options.h"
#include "game/play.h"
#include "game/replay/events.h"
#include "game/rules/level_file.h"
#include "game/app/settings.h"
#include "game/view/sounds.h"

namespace {

using namespace tervalon;
using namespace base::keys;

// Each action's keys and buttons, as the game knows the action.
void bind(const Settings& s) {
  display::use_bindings({{K_LEFT, s.keys.left, s.buttons.left},
                         {K_RIGHT, s.keys.right, s.buttons.right},
                         {K_UP, s.keys.jump, s.buttons.jump},
                         {K_R, s.keys.restart, s.buttons.restart},
                         {K_P, s.keys.pause, s.buttons.pause}});
}

}  // namespace

int main(int argc, char** argv) {
  ParsedOptions parsed = parse_options(argc, argv);
  if (parsed.stop) return parsed.exit_code;
  base::catch_stop_signals();
  // Sleeps end within a microsecond of their deadline, not the usual 50.
  prctl(PR_SET_TIMERSLACK, 1000UL);
  // A settings file never stops the game: what is wrong is said, and its
  // default used.
  SettingsFile settings;
  settings.load({display::key_name_known, display::button_name_known});
  for (const std::string& problem : settings.problems()) std::fprintf(stderr, "tervalon: %s\n", problem.c_str());
  take_settings(parsed.options, settings.settings());
  bind(settings.settings());
  display::use_error_box();  // a bad level file is reported before any window
  display::use_sdl_backend();
  const std::unique_ptr<Game> game = INITBD();
  // The sounds are made here, like the icon. The device opens on a thread of
  // its own once the first picture is out; until then, and for good without
  // one, sounds are dropped, and the volume and muting are kept for it.
  std::vector<std::vector<std::int16_t>> sounds;
  for (std::size_t s = 0; s < SOUND_COUNT; ++s) sounds.push_back(make_sound(static_cast<Sound>(s)));
  display::open_audio(std::move(sounds));
  const Platform platform{bind, display::pressed_key_name, display::play_sound, display::set_volume,
                          display::set_muted};
  const int code = play(*game, parsed.options, &settings, &platform);
  display::close_audio();
  return code;
}
