// Run-time error report: the error number, the failing code address and one
// line per calling level, as a Pascal-style run-time library prints them.
#include "base/runtime_error.h"

#include <execinfo.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/file.h"

namespace base {

namespace {
std::atomic<ErrorBox> error_box{nullptr};
std::atomic<ErrorHook> error_hook{nullptr};
std::atomic<void*> error_hook_context{nullptr};
std::atomic<int> stopping{0};

std::string hex_address(const void* p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "$%016llX", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(p)));
  return buf;
}
}  // namespace

void set_error_box(ErrorBox box) { error_box.store(box); }

void set_error_hook(ErrorHook hook, void* context) {
  error_hook_context.store(context);
  error_hook.store(hook);
}

int stopping_with() { return stopping.load(); }

std::string reason_for(int code) {
  switch (code) {
    case 106: return "invalid number in the level file";
    case 201: return "range check failed";
    case 203: return "out of memory";
    case 215: return "arithmetic overflow";
    default: return error_text(code);
  }
}

[[noreturn]] void runtime_error(int code, std::string_view reason) {
  void* frames[64];
  int n = backtrace(frames, 64);
  stopping.store(code);
  // frames[0] is this routine; frames[1] is where the error was raised.
  std::string report = "Runtime error " + std::to_string(code) + " at " + hex_address(n > 1 ? frames[1] : nullptr) +
                       "\n";
  for (int i = 2; i < n; ++i) report += "  " + hex_address(frames[i]) + "\n";
  std::string said = reason.empty() ? "" : std::string(reason) + "\n";
  std::fputs((said + report).c_str(), stderr);
  std::fflush(stderr);
  if (ErrorHook hook = error_hook.exchange(nullptr)) hook(error_hook_context.load());
  if (ErrorBox box = error_box.exchange(nullptr))
    box((reason.empty() ? reason_for(code) : std::string(reason)) + "\n\n" + report);
  std::fflush(stdout);
  _exit(code);
}

}  // namespace base
