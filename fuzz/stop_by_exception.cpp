// The fuzz build's run-time error: the same report line, but thrown instead of
// ending the process, so that one fuzz run can try many files that stop.
// Linked in place of base/runtime_error.cpp, in the fuzz build only.
#include "stop_by_exception.h"

#include <cstdio>
#include <string>

#include "base/runtime_error.h"

namespace base {

void set_error_box(ErrorBox) {}

[[noreturn]] void runtime_error(int code, std::string_view reason) {
  if (fuzz::report_stops) {
    if (!reason.empty()) std::fprintf(stderr, "%.*s\n", static_cast<int>(reason.size()), reason.data());
    std::fprintf(stderr, "Runtime error %d\n", code);
  }
  throw fuzz::Stopped{code};
}

}  // namespace base
