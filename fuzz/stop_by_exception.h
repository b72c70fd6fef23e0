// What a stopped load throws in the fuzz build, where the run-time error must
// not end the process.
#pragma once

namespace fuzz {

struct Stopped {
  int code;  // the run-time error number the real program would exit with
};

// Whether a stop also prints its number (off while fuzzing: it is only noise).
inline bool report_stops = false;

}  // namespace fuzz
