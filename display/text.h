// Text and fonts: the font settings, measuring a line in the window context's font scaled to the
// current height, and drawing a line into a surface. Text is bytes: UTF-8 when valid, otherwise GBK.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "display/surface.h"

namespace display {

struct SIZE {
  std::int32_t CX = 0;
  std::int32_t CY = 0;
};

// Font settings (0 or empty = the default). Game thread.
extern std::uint32_t FH;   // cell height in pixels; after the first SETFONT never 0
extern std::uint32_t FW;   // average character width in pixels; 0 = natural
extern std::uint32_t FWG;  // weight (0 = normal; 600 and above draw bold)
extern std::uint32_t FLT;  // italic when not 0
extern std::uint32_t FUD;  // underline when not 0
extern std::uint32_t FSK;  // strike-out when not 0
extern std::uint32_t FCS;  // character set; kept, fonts are chosen by face only
extern std::string FFN;    // face name (bytes, UTF-8 or GBK)
// The extent of the text measured last, in the window context's font. Game thread.
extern SIZE STRZ;
// The point after the text drawn last: its right end and its top. Game thread.
extern std::uint32_t FX, FY;

// The cell height of the window context's font, the one text is measured in.
inline constexpr std::uint32_t DEFAULT_FONT_HEIGHT = 16;

// Makes the font of the current settings and selects it into B (nil: the
// main surface); with FH = 0, FH becomes the window context's font height. Game thread.
void SETFONT(PBITMAP B);
void SETFONT();
// Makes the font of the current settings ahead of its first SETFONT: starting
// the font engine and finding the face take a while, and can overlap with the
// window's opening. Game thread.
void prepare_font();
// FW := W, FH := H, then SETFONT(). Game thread.
void SETFONTSIZE(std::uint32_t W, std::uint32_t H);
// FFN := S, then SETFONT(). Game thread.
void SETFONTNAME(std::string_view S);
// STRZ := the extent of S in the window context's font. Game thread.
void GETSTRINGSIZE(std::string_view S);
// Width and height of S at the current font height: the measured extent scaled
// by FH / measured height, rounded to nearest, ties to even. Game thread.
std::uint32_t GETSTRINGWIDTH(std::string_view S);
std::uint32_t GETSTRINGHEIGHT(std::string_view S);
// Draws S with its first cell's top-left at (X, Y) in the font selected into B
// (nil: main surface), in CFG (0 = white), on cells of CBG (0 = no background);
// an empty S draws one blank. FX, FY then mark its right end. Game thread.
void DRAWTEXTXY(PBITMAP B, std::string_view S, std::uint32_t X, std::uint32_t Y, std::uint32_t CFG,
                std::uint32_t CBG = 0);

// round(cx * fh / cy), ties to even, product exact; 0 when cy <= 0. Any thread.
std::uint32_t scale_to_height(std::int32_t cx, std::uint32_t fh, std::int32_t cy);
// The bytes as UTF-8: unchanged when valid UTF-8, else read as GBK. Any thread.
std::string to_utf8(std::string_view bytes);
// GBK bytes as UTF-8, whatever else they might also be (a byte that is not
// GBK becomes U+FFFD). Any thread.
std::string gbk_to_utf8(std::string_view bytes);

}  // namespace display
