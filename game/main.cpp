// Tervalon on the desktop: load the levels, open the window, and call the
// game's step until it is over, sleeping until a message comes or the step
// is due again.
#include <sys/prctl.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "base/stop.h"
#include "display/audio.h"
#include "display/queue.h"
#include "display/sdl/bindings.h"
#include "display/sdl/window.h"
#include "display/window.h"
#include "game/app/app.h"
#include "game/replay/events.h"
#include "game/rules/level_file.h"
#include "game/view/sounds.h"

namespace {

using namespace tervalon;

// Each action's keys and buttons, as the game knows the action.
void bind(const Settings& s) {
  std::vector<display::Binding> bindings;
  for (std::size_t a = 0; a < ACTION_COUNT; ++a) bindings.push_back({ACTIONS[a].key, s.keys.of[a], s.buttons.of[a]});
  display::use_bindings(bindings);
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
  // The sounds are made here, like the icon. The device opens on a thread of
  // its own once the first picture is out; until then, and for good without
  // one, sounds are dropped, and the volume and muting are kept for it.
  const Platform platform{bind, display::pressed_key_name, display::play_sound, display::set_volume,
                          display::set_muted};
  App app(INITBD(), parsed.options, &settings, &platform);
  std::vector<std::vector<std::int16_t>> sounds;
  for (std::size_t s = 0; s < SOUND_COUNT; ++s) sounds.push_back(make_sound(static_cast<Sound>(s)));
  display::open_audio(std::move(sounds));
  if (!app.start()) return 2;
  for (App::Turn t = app.step(); !t.over; t = app.step()) display::wait_message_until(t.wake);
  const int code = app.finish();
  display::close_audio();
  return code;
}
