// The window's operations (open through the chosen back end, pump its events into the queue, serve
// requests and pictures without a lock, close) for a driver to run; the game thread's side:
// presenting, window queries and the requests from other threads.
#include "display/window.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "display/backend.h"
#include "display/blit.h"
#include "display/clock.h"
#include "display/driver.h"
#include "display/scaler.h"
#include "display/text.h"

namespace display {

std::atomic<std::uint32_t> HW{0};

namespace {

// What the window's thread publishes for the game thread (and any thread),
// each written by it only: the latest client size report, packed as
// (width << 32) | height, and a count of reports (the game thread rebuilds the
// main surface when the count moves); the screen and frame measurements and
// the window's place.
std::atomic<std::uint64_t> client_size{0};
std::atomic<std::uint32_t> size_reports{0};
std::uint32_t seen_size_reports = 0;  // game thread
std::atomic<std::int32_t> screen_width{0}, screen_height{0};
std::atomic<std::int32_t> border_title{0}, border_width{0}, border_height{0};
std::atomic<std::int32_t> window_x{0}, window_y{0};

void report_size(std::uint32_t w, std::uint32_t h) {
  client_size.store((std::uint64_t{w} << 32) | h, std::memory_order_relaxed);
  size_reports.fetch_add(1, std::memory_order_release);
}

// What CREATEWIN asked for; written by the game thread before the window opens.
struct Wanted {
  std::uint32_t w = 0, h = 0, style = 0, background = 0;
} wanted;
// What set_logical_size and use_alias_keys asked for; game thread, read by
// the window thread it starts afterwards.
struct Presentation {
  std::uint32_t w = 0, h = 0, scale = 0;
  bool fullscreen = false, fit = false, alias_keys = false;
} presentation;
std::atomic<std::uint32_t> opened_scale{0};  // window_scale(): written by the window thread
// The title and icon the next window opens with: game thread, before CREATEWIN.
std::string opening_title;
BITMAP opening_icon;

Backend* backend = nullptr;  // chosen by the game thread before CREATEWIN
// The driver chosen (none: the default); read by the window's thread too.
std::atomic<Driver*> driver{nullptr};

// The window's stage, written by the window's thread (and by CREATEWIN before
// it opens one); the window is open exactly while it is Open.
enum class Stage : int { Starting, Running, Open, Failed, Closed };
std::atomic<Stage> stage{Stage::Closed};
std::string failure;  // why the window could not open; written before Failed is published
void publish(Stage now) {
  stage.store(now, std::memory_order_release);
  stage.notify_all();
}

// Why a window of w x h cannot open, and, for pictures of a fixed size shown
// k times, the factor to ask for instead: the largest within the work area
// aw x ah, or else the largest that opens at all.
std::string too_large(std::uint64_t w, std::uint64_t h, std::uint32_t k, std::int32_t aw, std::int32_t ah) {
  const std::string side = std::to_string(MAX_WINDOW_SIDE);
  std::string why = "a window of " + std::to_string(w) + " x " + std::to_string(h) + " pixels";
  if (k) why += " (scale " + std::to_string(k) + ")";
  why += " is larger than the largest the display allows, " + side + " x " + side;
  if (!k) return why;
  const std::uint32_t pw = static_cast<std::uint32_t>(w / k), ph = static_cast<std::uint32_t>(h / k);
  const std::uint32_t fits = whole_factor(pw, ph, aw, ah);
  if (std::uint64_t{pw} * fits <= static_cast<std::uint64_t>(MAX(0, aw)) &&
      std::uint64_t{ph} * fits <= static_cast<std::uint64_t>(MAX(0, ah)))
    return why + "; scale " + std::to_string(fits) + " fits this screen";
  if (pw <= MAX_WINDOW_SIDE && ph <= MAX_WINDOW_SIDE)
    return why + "; even scale 1 is larger than this screen, and scale " +
           std::to_string(whole_factor(pw, ph, MAX_WINDOW_SIDE, MAX_WINDOW_SIDE)) + " is the largest that opens";
  return why;
}

class Window;
// A request from another thread, served on the window's thread (the way a
// sent message is): the poster waits until `pending` no longer points at it.
struct Request {
  std::function<void(Window&)> task;  // none: close the window
  bool done = false;                  // written by the window's thread before it lets go of the request
};
Request no_window;  // `pending` points here while there is no window
std::atomic<Request*> pending{&no_window};

bool post(Request r);
// Presented pictures go through three buffers: the game thread fills `back`,
// swaps it with the middle one, and the window thread swaps the middle one
// with `front` when it is marked fresh.
struct Frame {
  std::vector<std::uint32_t> pixels;
  std::uint32_t w = 0, h = 0;
  std::uint64_t handed = 0;  // the hand-over that gave it its picture (0: none known)
  ChangedRows rows;          // those that differ from the picture the window thread showed before
};
Frame* const frames = new Frame[3];  // never destroyed: the window thread may outlive exit
constexpr std::uint32_t FRESH = 4;
std::atomic<std::uint32_t> middle{1};
std::uint32_t back = 0;  // game thread
// The buffer handed over last (3: none). The window thread only ever reads it
// and the game thread never refills it before a newer one is handed over, so
// the game thread may compare against it.
std::uint32_t last_handed = 3;  // game thread
std::uint32_t front = 2;        // window thread
std::atomic<bool> present_wake_sent{false};
// A window has shown a presented picture; what to call when one first has.
// Sequentially consistent, so that a call named while the first picture is
// being shown runs on one side or the other.
std::atomic<bool> picture_shown{false};
std::atomic<void (*)()> picture_call{nullptr};
// Hand-overs so far, and the rows each of the last KEPT changed (by number
// modulo KEPT): what a buffer that comes back to the game thread has missed.
// Game thread.
std::uint64_t handed = 0;
constexpr std::uint64_t KEPT = 8;
ChangedRows changed_by[KEPT];

// Thread slots: game thread only.
struct Slot {
  std::thread* thread = nullptr;
  std::shared_ptr<std::atomic<bool>> ended;  // the thread's own: it may outlive the slot
};
Slot slots[THMAX];
std::uint32_t THI = 0;

// The thread that opened the window and runs its operations until it closes.
thread_local bool on_window_thread = false;

// The window's operations; where the platform's events arrive. The window's thread.
class Window final : public PlatformEvents {
 public:
  bool open();
  bool running() const { return open_; }
  void pump(std::int32_t wait_ms) {
    chosen_backend().pump(*this, wait_ms);
    serve_request();
    serve_picture();
  }
  void close();
  void serve_picture();
  void message(const MSG& m) override {
    if (m.MESSAGE == WM_USER) queue_user_message(m.WPARAM, m.LPARAM);
    queue_window_message(m);
  }
  void resized(std::uint32_t w, std::uint32_t h) override { report_size(w, h); }
  void close_requested() override { open_ = false; }
  void placed(const WindowFrame& f) override {
    window_x = f.x;
    window_y = f.y;
    border_title = f.title;
    border_width = f.border_w;
    border_height = f.border_h;
  }

 private:
  bool fail(const std::string& why) {
    failure = why;
    publish(Stage::Failed);
    return false;
  }
  void serve_request();
  bool open_ = false;
} window;

bool Window::open() {
  on_window_thread = true;
  open_ = true;
  publish(Stage::Running);
  Backend& b = chosen_backend();
  std::string why;
  if (!b.start(why)) return fail(why + " (a graphical display is needed)");
  std::int32_t sw = 0, sh = 0;
  b.measure(sw, sh);
  screen_width = sw;
  screen_height = sh;
  WindowPlace place{0,
                    0,
                    wanted.w ? wanted.w : static_cast<std::uint32_t>(sw / 2),
                    wanted.h ? wanted.h : static_cast<std::uint32_t>(sh / 2),  // 0: half the screen
                    wanted.style ? wanted.style : DEFAULT_STYLE,
                    wanted.background};
  const Presentation& p = presentation;
  if (p.w && p.h) {
    // Fixed-size pictures: the window opens at a whole multiple of them, one
    // that fits the work area unless even 1 does not; by default the largest
    // within nine tenths of it, which leaves room for the window's frame. No
    // window is chosen larger than any opens: only pictures beyond that at 1x
    // fail.
    std::int32_t aw = 0, ah = 0;
    b.work_area(aw, ah);
    aw = std::min(aw, static_cast<std::int32_t>(MAX_WINDOW_SIDE));
    ah = std::min(ah, static_cast<std::int32_t>(MAX_WINDOW_SIDE));
    const std::uint32_t k = p.scale ? std::min(p.scale, whole_factor(p.w, p.h, aw, ah))
                                    : whole_factor(p.w, p.h, std::int64_t{aw} * 9 / 10, std::int64_t{ah} * 9 / 10);
    const std::uint64_t w = std::uint64_t{p.w} * k, h = std::uint64_t{p.h} * k;
    if (w > MAX_WINDOW_SIDE || h > MAX_WINDOW_SIDE) return fail(too_large(w, h, k, aw, ah));
    opened_scale.store(k, std::memory_order_relaxed);
    place.w = static_cast<std::uint32_t>(w);
    place.h = static_cast<std::uint32_t>(h);
    place.scaled = true;
    place.fit = p.fit;
    place.min_w = std::min<std::uint32_t>(p.w, static_cast<std::uint32_t>(MAX(1, aw)));
    place.min_h = std::min<std::uint32_t>(p.h, static_cast<std::uint32_t>(MAX(1, ah)));
    place.fullscreen = p.fullscreen;
  }
  if (place.w > MAX_WINDOW_SIDE || place.h > MAX_WINDOW_SIDE) return fail(too_large(place.w, place.h, 0, 0, 0));
  // Centred as if it had no frame, and never left of or above the screen.
  place.x = MAX(0, static_cast<std::int32_t>((std::int64_t{sw} - place.w) / 2));
  place.y = MAX(0, static_cast<std::int32_t>((std::int64_t{sh} - place.h) / 2));
  place.title = opening_title;
  place.icon = {opening_icon.pixels.data(), opening_icon.WIDTH, opening_icon.HEIGHT};
  place.icon_key = opening_icon.COLOR & 0xFFFFFFu;
  place.alias_keys = p.alias_keys;
  placed({place.x, place.y, 0, 0, 0});  // the frame is known once the window has one
  std::uint32_t id = 0;
  if (!b.create(place, *this, id, why)) return fail(why);
  HW.store(id, std::memory_order_relaxed);
  take_time_origin();
  publish(Stage::Open);
  return true;
}

void Window::close() {
  if (!on_window_thread) return;
  open_ = false;
  chosen_backend().destroy();
  HW.store(0, std::memory_order_relaxed);
  opened_scale.store(0, std::memory_order_relaxed);
  publish(Stage::Closed);
  wake_message_waiter();
  on_window_thread = false;
  pending.exchange(&no_window, std::memory_order_acq_rel);  // a request still waiting is let go
  pending.notify_all();
}

void Window::serve_request() {
  Request* r = pending.load(std::memory_order_acquire);
  if (!r || r == &no_window) return;
  if (!r->task) {
    r->done = true;
    open_ = false;
    return;  // let go when the thread has ended
  }
  r->task(*this);
  r->done = true;
  pending.store(nullptr, std::memory_order_release);
  pending.notify_all();
}

void Window::serve_picture() {
  // Sequentially consistent with the game thread's side, so that a picture
  // published while this runs is either seen here or wakes the thread again.
  present_wake_sent.store(false);
  if (!(middle.load() & FRESH)) return;
  front = middle.exchange(front, std::memory_order_acq_rel) & 3;
  const Frame& f = frames[front];
  chosen_backend().show({f.pixels.data(), f.w, f.h, &f.rows});
  if (!picture_shown.load(std::memory_order_relaxed)) {
    picture_shown.store(true);
    if (void (*call)() = picture_call.load()) call();
  }
}

// On the window's own thread a request is served at once.
bool post(Request r) {
  if (on_window_thread) {
    if (r.task)
      r.task(window);
    else
      window.close_requested();  // the driver closes the window after this pass
    return true;
  }
  for (;;) {
    Request* expected = nullptr;
    if (pending.compare_exchange_strong(expected, &r, std::memory_order_acq_rel)) break;
    if (expected == &no_window) return false;
    pending.wait(expected, std::memory_order_acquire);  // another request is being served
  }
  chosen_backend().wake();
  while (pending.load(std::memory_order_acquire) == &r) pending.wait(&r, std::memory_order_acquire);
  return r.done;
}

// Whether presented pictures go to the window's thread at all.
bool handing_over() { return PMSCR && ISWIN() && chosen_backend().shows_pictures(); }

// The picture handed over last, when it has the window surface's size.
const std::uint32_t* last_picture() {
  if (last_handed == 3) return nullptr;
  const Frame& l = frames[last_handed];
  return l.w == PMSCR->WIDTH && l.h == PMSCR->HEIGHT ? l.pixels.data() : nullptr;
}

// The back buffer, sized for the window surface, to fill for a hand-over.
Frame& back_frame() {
  Frame& f = frames[back];
  if (f.w != PMSCR->WIDTH || f.h != PMSCR->HEIGHT) f.handed = 0;
  f.pixels.resize(PMSCR->pixels.size());
  f.w = PMSCR->WIDTH;
  f.h = PMSCR->HEIGHT;
  return f;
}

// Brings the back buffer's rows that `written` does not mark up to the
// window surface: the rows the hand-overs since its own picture changed.
void catch_up(Frame& f, const ChangedRows& written) {
  const bool known = f.handed != 0 && handed - f.handed < KEPT;
  const std::size_t w = f.w;
  for (std::uint32_t y = 0; y < f.h; ++y) {
    if (written[y]) continue;
    bool stale = !known;
    for (std::uint64_t n = f.handed + 1; !stale && n <= handed; ++n) stale = changed_by[n % KEPT][y];
    if (stale) std::copy_n(PMSCR->pixels.data() + y * w, w, f.pixels.data() + y * w);
  }
}

// Hands the back buffer over; `changed` marks the rows that differ from the
// picture handed over before.
void hand_over(const ChangedRows& changed) {
  Frame& f = frames[back];
  f.rows = changed;
  // A picture the window thread has not taken yet is replaced: its changes
  // are this one's too. Only the game thread sets FRESH, so a picture taken
  // after this look makes the union larger than needed, never smaller.
  if (const std::uint32_t m = middle.load(std::memory_order_acquire); m & FRESH) {
    const Frame& waiting = frames[m & 3];
    if (waiting.h == f.h)
      f.rows.add(waiting.rows);
    else
      f.rows.reset(f.rows.size(), true);
  }
  changed_by[++handed % KEPT] = changed;
  f.handed = handed;
  last_handed = back;
  back = middle.exchange(back | FRESH) & 3;
  if (!present_wake_sent.exchange(true)) chosen_driver().picture_ready();
}

// Hands the window surface to the window thread to show, after a drawing
// call on it.
void present_window_surface() {
  if (!handing_over()) return;
  // The window already shows exactly this picture: nothing to hand over.
  const std::uint32_t* last = last_picture();
  if (last && std::equal(PMSCR->pixels.begin(), PMSCR->pixels.end(), last)) return;
  std::copy(PMSCR->pixels.begin(), PMSCR->pixels.end(), back_frame().pixels.begin());
  static ChangedRows all;
  all.reset(PMSCR->HEIGHT, true);
  hand_over(all);
}

void remake_main_surface(std::uint32_t w, std::uint32_t h) {
  make_main_surface(w, h);
  SETFONT(PMAIN);
}

bool main_is(std::uint32_t w, std::uint32_t h) { return PMAIN && PMAIN->WIDTH == w && PMAIN->HEIGHT == h; }

// Brings the main and window surfaces to the client size last reported.
void sync_surfaces() {
  const std::uint32_t reports = size_reports.load(std::memory_order_acquire);
  if (reports == seen_size_reports) return;
  seen_size_reports = reports;
  surfaces_resized();
  const std::uint64_t size = client_size.load(std::memory_order_relaxed);
  auto w = static_cast<std::uint32_t>(size >> 32), h = static_cast<std::uint32_t>(size);
  if (presentation.w) {
    // Pictures of a fixed size stay that size: the window scales them.
    if (main_is(presentation.w, presentation.h)) return;
    w = presentation.w;
    h = presentation.h;
  }
  remake_main_surface(w, h);
}

// With a window, the screen size its thread measured; without one, the platform is asked.
std::int32_t screen(const std::atomic<std::int32_t>& measured, bool width) {
  if (ISWIN()) return measured.load(std::memory_order_relaxed);
  std::int32_t w = 0, h = 0;
  chosen_backend().screen_size(w, h);
  return width ? w : h;
}

}  // namespace

void use_backend(Backend& b, bool unless_chosen) {
  if (!unless_chosen || !backend) backend = &b;
}
void use_headless_backend() { use_backend(headless_backend()); }

Driver& chosen_driver() {
  if (Driver* d = driver.load(std::memory_order_acquire)) return *d;
#if defined(__EMSCRIPTEN__)
  return inline_driver();  // a browser gives a program no thread of its own to wait in
#else
  return threaded_driver();
#endif
}

// A window its user closed has its thread joined under the driver that ran it.
void use_inline_driver() {
  if (!ISWIN()) CLOSEWIN();
  driver.store(&inline_driver(), std::memory_order_release);
}
void use_threaded_driver() {
  if (!ISWIN()) CLOSEWIN();
  driver.store(&threaded_driver(), std::memory_order_release);
}
bool runs_inline() { return chosen_driver().runs_inline(); }
void pump_events() { chosen_driver().pump(); }

bool wait_message(std::uint32_t ms) { return wait_message_until(GETTIMER() + ms / 1000.0); }
bool wait_message_until(double seconds) { return chosen_driver().wait_until(seconds); }
void wake_message_waiter() { chosen_driver().wake_waiter(); }

namespace window_ops {
bool open() { return window.open(); }
bool running() { return window.running(); }
bool on_window_thread() { return display::on_window_thread; }
void pump(std::int32_t wait_ms) { window.pump(wait_ms); }
void present() { window.serve_picture(); }
void close() { window.close(); }
bool request_close() { return post({}); }
}  // namespace window_ops

void set_logical_size(std::uint32_t W, std::uint32_t H, std::uint32_t SCALE, bool FULLSCREEN, bool FIT) {
  presentation.w = W && H ? W : 0;
  presentation.h = W && H ? H : 0;
  presentation.scale = SCALE;
  presentation.fullscreen = FULLSCREEN;
  presentation.fit = FIT;
}

std::uint32_t window_scale() { return ISWIN() ? opened_scale.load(std::memory_order_relaxed) : 0; }

void use_alias_keys() { presentation.alias_keys = true; }
// Set before the window thread, its only reader, starts.
void without_typed_text() { setenv("XCOMPOSEFILE", "/dev/null", 1); }  // NOLINT(concurrency-mt-unsafe)
Backend& chosen_backend() { return backend ? *backend : headless_backend(); }

bool ISWIN() { return stage.load(std::memory_order_acquire) == Stage::Open; }

void CREATEWIN(std::uint32_t W, std::uint32_t H, std::uint32_t CFG_, std::uint32_t CBG_, std::uint32_t STYLE) {
  if (ISWIN()) return;  // there is only ever one window
  CLOSEWIN();           // joins the thread of a window the user closed
  wanted = {W, H, STYLE, CBG_ & 0xFFFFFFu};
  attach_window(CFG_, CBG_, sync_surfaces, present_window_surface);
  stage.store(Stage::Starting, std::memory_order_relaxed);
  pending.store(nullptr, std::memory_order_relaxed);
  middle.store(1, std::memory_order_relaxed);
  for (std::uint32_t i = 0; i < 3; ++i) frames[i].handed = 0;
  back = 0;
  last_handed = 3;
  front = 2;
  chosen_driver().open();
  // A new window thread starts on its maker's core and would wait there
  // about a millisecond for the scheduler to move one of the two: this one
  // sleeps until the window thread runs, and wakes on the other core. (The
  // inline driver has opened the window by now.)
  stage.wait(Stage::Starting, std::memory_order_acquire);
  // While the window thread opens the window: the font, and surfaces of a
  // fixed size.
  prepare_font();
  if (presentation.w && !main_is(presentation.w, presentation.h)) remake_main_surface(presentation.w, presentation.h);
  Stage now;
  while ((now = stage.load(std::memory_order_acquire)) == Stage::Running)
    stage.wait(Stage::Running, std::memory_order_acquire);
  if (now == Stage::Failed) {
    std::fprintf(stderr, "display: cannot open a window: %s\n", failure.c_str());
    std::fflush(stderr);
    std::_Exit(NO_DISPLAY);
  }
  sync_main_surface();
  CLEAR();
}

void CLOSEWIN() { chosen_driver().close(); }

// The close request is let go only once the window has closed; under the
// inline driver its own thread closes it at once.
void inject_close() {
  post({});
  if (on_window_thread && chosen_driver().runs_inline()) window.close();
}

void SETTITLE(std::string_view S) {
  const std::string utf8 = to_utf8(S);
  post({[&](Window&) { chosen_backend().set_title(utf8); }});
}

void open_with(std::string_view title, PBITMAP icon) {
  opening_title = to_utf8(title);
  opening_icon = icon ? *icon : BITMAP{};
}

bool inject_message(const MSG& m) {
  return post({[&](Window& w) {
    MSG c = m;
    if (c.HWND == 0) c.HWND = HW.load(std::memory_order_relaxed);
    w.message(c);
  }});
}

bool inject_resize(std::uint32_t w, std::uint32_t h) {
  return post({[&](Window& on) { on.resized(w, h); }});
}

bool run_on_window_thread(void (*task)(const std::string&), const std::string& text) {
  return post({[&](Window&) { task(text); }});
}

void FRESHWIN() {
  sync_main_surface();
  if (PMAIN && PMSCR) {
    // The keyed copy into the window surface, the comparison with the picture
    // the window has and the copy for the hand-over, in one pass over the
    // rows drawn on since the last time; the others are as they were.
    if (handing_over() && PMAIN->WIDTH == PMSCR->WIDTH && PMAIN->HEIGHT == PMSCR->HEIGHT &&
        GETALPHA(PMAIN->COLOR) == 0) {
      const std::uint32_t* last = last_picture();
      Frame& f = back_frame();
      const ChangedRows& drawn = drawn_rows();
      const std::size_t w = PMSCR->WIDTH;
      static ChangedRows written, changed;
      written.reset(PMSCR->HEIGHT, false);
      changed.reset(PMSCR->HEIGHT, false);
      bool any = false;
      for (std::uint32_t y = 0; y < PMSCR->HEIGHT; ++y) {
        if (last && !drawn[y]) continue;
        const std::size_t at = y * w;
        written.set(y, true);
        const bool differs = blit::present_keyed(PMSCR->pixels.data() + at, f.pixels.data() + at,
                                                 PMAIN->pixels.data() + at, last ? last + at : nullptr, w,
                                                 PMAIN->COLOR & 0xFFFFFFu);
        changed.set(y, differs);
        any = any || differs;
      }
      forget_drawn_rows();
      if (any) {
        catch_up(f, written);
        hand_over(changed);
      }
      after_drawing(*PMSCR, false, 0, 0);
    } else {
      DRAWBMP(PMAIN, PMSCR);  // presents: PMSCR is the window's picture
    }
  }
  ADDFPS();
}

bool first_picture_shown() { return picture_shown.load(); }

void on_first_picture(void (*call)()) {
  picture_call.store(call);
  if (picture_shown.load()) call();
}

std::uint32_t NEWTHREAD(void (*TH)()) {
  THI = (THI + 1) % THMAX;
  STOPTHREAD(THI);
  Slot& slot = slots[THI];
  slot.ended = std::make_shared<std::atomic<bool>>(false);
  slot.thread = new std::thread([TH, ended = slot.ended] {
    TH();
    ended->store(true, std::memory_order_release);
  });
  return THI;
}

void STOPTHREAD(std::uint32_t THI_) {
  if (THI_ >= THMAX) return;
  Slot& slot = slots[THI_];
  if (!slot.thread) return;
  if (slot.ended->load(std::memory_order_acquire))
    slot.thread->join();
  else
    slot.thread->detach();
  delete slot.thread;
  slot.thread = nullptr;
}

std::int32_t GETSCRWIDTH() { return screen(screen_width, true); }
std::int32_t GETSCRHEIGHT() { return screen(screen_height, false); }
std::int32_t GETBORDERTITLE() { return border_title.load(std::memory_order_relaxed); }
std::int32_t GETBORDERWIDTH() { return border_width.load(std::memory_order_relaxed); }
std::int32_t GETBORDERHEIGHT() { return border_height.load(std::memory_order_relaxed); }
std::int32_t GETPOSX() { return ISWIN() ? window_x.load(std::memory_order_relaxed) : 0; }
std::int32_t GETPOSY() { return ISWIN() ? window_y.load(std::memory_order_relaxed) : 0; }

}  // namespace display
