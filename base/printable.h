// Untrusted text made safe to show: in a terminal, a log or a window title.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace base {

// How many bytes of shown text printable() keeps by default.
constexpr std::size_t SHOWN_BYTES = 80;

// `bytes` as text that can be shown anywhere: printable ASCII and valid UTF-8
// stay as they are; control bytes (C0, DEL and the C1 controls), the
// invisible marks that reorder or break lines (bidi controls, U+2028,
// U+2029) and bytes that are not UTF-8 become \xHH, one per byte, and a
// backslash becomes \\, so the shown text reads back unambiguously. The
// result holds at most `limit` bytes of that text, never cutting an escape or
// a character, and then "..." when some was left out.
std::string printable(std::string_view bytes, std::size_t limit = SHOWN_BYTES);

}  // namespace base
