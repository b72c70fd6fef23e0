// Text and fonts over SDL2_ttf, with faces found by fontconfig. Fonts are
// opened once per face, size and style and kept: caching changes no pixel.
#include "display/text.h"

#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include "base/checked.h"
#include "base/numbers.h"
#include "base/utf8.h"
#include "display/blit.h"

namespace display {

struct Font {
  TTF_Font* ttf = nullptr;
};

std::uint32_t FH = 0, FW = 0, FWG = 0, FLT = 0, FUD = 0, FSK = 0, FCS = 0;
std::string FFN;
SIZE STRZ;
std::uint32_t FX = 0, FY = 0;

namespace {

struct FaceFile {
  std::string path;
  int index = 0;
};

// Face names the game's text asks for, mapped to the faces that stand in for them here.
const std::map<std::string, std::string> face_aliases = {
    {"黑体", "WenQuanYi Zen Hei"},
    {"simhei", "WenQuanYi Zen Hei"},
    {"consolas", "DejaVu Sans Mono"},
};

std::string lower_ascii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool fontconfig_match(const std::string& family, bool exact, FaceFile& out) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(""));
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return false;
  bool ok = !exact;
  FcChar8* name = nullptr;
  // A face has several family names (one per language): any of them will do.
  for (int i = 0; !ok && FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i)
    ok = lower_ascii(reinterpret_cast<const char*>(name)) == lower_ascii(family);
  FcChar8* file = nullptr;
  int index = 0;
  ok = ok && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
  if (ok) {
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    out = {reinterpret_cast<const char*>(file), index};
  }
  FcPatternDestroy(match);
  return ok;
}

// The file of a face; a face that is not installed falls back to the default sans.
const FaceFile& face_file(const std::string& face_utf8) {
  static std::map<std::string, FaceFile> found;
  auto it = found.find(face_utf8);
  if (it != found.end()) return it->second;
  std::string family = face_utf8;
  if (auto alias = face_aliases.find(lower_ascii(family)); alias != face_aliases.end()) family = alias->second;
  FaceFile file;
  if ((family.empty() || !fontconfig_match(family, true, file)) && !fontconfig_match("sans-serif", false, file)) {
    std::fprintf(stderr, "display: no font found (fontconfig has no sans-serif face)\n");
    std::_Exit(1);
  }
  return found.emplace(face_utf8, file).first->second;
}

int line_width(TTF_Font* f, const char* text) {
  int w = 0, h = 0;
  TTF_SizeUTF8(f, text, &w, &h);
  return w;
}

// Scales `f` so that its cell is `height` pixels high and, when `width` is not
// 0, its lower-case letters average `width` pixels. Sizes go in 1/72 pixel steps.
void fit(TTF_Font* f, std::uint32_t width, std::uint32_t height) {
  unsigned lo = 1, hi = 72 * height * 4;  // largest vertical size whose cell fits
  while (lo < hi) {
    unsigned mid = (lo + hi + 1) / 2;
    TTF_SetFontSizeDPI(f, 1, mid, mid);
    if (static_cast<std::uint32_t>(TTF_FontHeight(f)) <= height)
      lo = mid;
    else
      hi = mid - 1;
  }
  const unsigned vdpi = lo;
  TTF_SetFontSizeDPI(f, 1, vdpi, vdpi);
  if (width == 0) return;
  static const char letters[] = "abcdefghijklmnopqrstuvwxyz";
  const int want = static_cast<int>(26 * width);
  unsigned a = 1, b = vdpi * 8;  // smallest horizontal size reaching the wanted width
  while (a < b) {
    unsigned mid = (a + b) / 2;
    TTF_SetFontSizeDPI(f, 1, mid, vdpi);
    if (line_width(f, letters) >= want)
      b = mid;
    else
      a = mid + 1;
  }
  TTF_SetFontSizeDPI(f, 1, a, vdpi);
  const int above = line_width(f, letters);
  if (a > 1) {
    TTF_SetFontSizeDPI(f, 1, a - 1, vdpi);
    if (want - line_width(f, letters) < above - want) return;  // the narrower one is nearer
    TTF_SetFontSizeDPI(f, 1, a, vdpi);
  }
}

void ensure_ttf() {
  static bool started = false;
  if (started) return;
  if (TTF_Init() != 0) {
    std::fprintf(stderr, "display: cannot start the font engine: %s\n", TTF_GetError());
    std::_Exit(1);
  }
  started = true;
}

const Font* make_font(const std::string& face_utf8, std::uint32_t width, std::uint32_t height, int style) {
  static std::map<std::string, std::unique_ptr<Font>> fonts;
  ensure_ttf();
  if (height == 0) height = DEFAULT_FONT_HEIGHT;
  const FaceFile& file = face_file(face_utf8);
  std::string key = file.path + "#" + std::to_string(file.index) + "/" + std::to_string(width) + "x" +
                    std::to_string(height) + "/" + std::to_string(style);
  auto& slot = fonts[key];
  if (!slot) {
    TTF_Font* ttf = TTF_OpenFontIndexDPI(file.path.c_str(), 1, file.index, 72, 72);
    if (!ttf) return nullptr;  // the surface keeps the font it had
    TTF_SetFontStyle(ttf, style);
    fit(ttf, width, height);
    slot = std::make_unique<Font>(Font{ttf});
  }
  return slot.get();
}

// The font of the window's own context: text is measured in it, and drawn in
// it on surfaces that never had a font selected.
const Font* context_font() {
  static const Font* font = make_font("", 0, DEFAULT_FONT_HEIGHT, TTF_STYLE_NORMAL);
  return font;
}

// The font the font state asks for.
const Font* wanted_font() {
  int style = TTF_STYLE_NORMAL;
  if (FWG >= 600) style |= TTF_STYLE_BOLD;
  if (FLT) style |= TTF_STYLE_ITALIC;
  if (FUD) style |= TTF_STYLE_UNDERLINE;
  if (FSK) style |= TTF_STYLE_STRIKETHROUGH;
  return make_font(to_utf8(FFN), FW, FH, style);
}

}  // namespace

std::string gbk_to_utf8(std::string_view s) {
  std::string out;
  iconv_t cd = iconv_open("UTF-8", "GBK");
  // iconv says "failed" with the pointer (iconv_t)-1.
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(s);  // NOLINT(performance-no-int-to-ptr)
  char buf[256];
  char* in = const_cast<char*>(s.data());
  std::size_t left = s.size();
  while (left > 0) {
    char* o = buf;
    std::size_t room = sizeof buf;
    std::size_t r = iconv(cd, &in, &left, &o, &room);
    out.append(buf, static_cast<std::size_t>(o - buf));
    if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
      out += "\xEF\xBF\xBD";  // a byte that is not GBK shows as the replacement character
      ++in;
      --left;
    }
  }
  iconv_close(cd);
  return out;
}

std::string to_utf8(std::string_view bytes) {
  return base::valid_utf8(bytes) ? std::string(bytes) : gbk_to_utf8(bytes);
}

std::uint32_t scale_to_height(std::int32_t cx, std::uint32_t fh, std::int32_t cy) {
  if (cy <= 0 || cx <= 0) return 0;
  const std::uint64_t p = static_cast<std::uint64_t>(cx) * fh;
  const std::uint64_t d = static_cast<std::uint64_t>(cy);
  return base::narrow<std::uint32_t>(base::round_div_even(p, d));
}

void prepare_font() { wanted_font(); }

void SETFONT(PBITMAP B) {
  const Font* font = wanted_font();
  if (!B) {
    sync_main_surface();
    B = PMAIN;
  }
  if (font && B) B->font = font;
  if (FH == 0) FH = DEFAULT_FONT_HEIGHT;
}
void SETFONT() { SETFONT(nullptr); }

void SETFONTSIZE(std::uint32_t W, std::uint32_t H) {
  FW = W;
  FH = H;
  SETFONT();
}

void SETFONTNAME(std::string_view S) {
  FFN = std::string(S);
  SETFONT();
}

void GETSTRINGSIZE(std::string_view S) {
  const Font* font = context_font();
  if (!font) return;
  int w = 0, h = 0;
  if (TTF_SizeUTF8(font->ttf, to_utf8(S).c_str(), &w, &h) != 0) return;
  STRZ = {w, TTF_FontHeight(font->ttf)};
}

std::uint32_t GETSTRINGWIDTH(std::string_view S) {
  GETSTRINGSIZE(S);
  return scale_to_height(STRZ.CX, FH, STRZ.CY);
}

std::uint32_t GETSTRINGHEIGHT(std::string_view S) {
  GETSTRINGSIZE(S);
  return scale_to_height(STRZ.CY, FH, STRZ.CY);
}

void DRAWTEXTXY(PBITMAP B, std::string_view S, std::uint32_t X, std::uint32_t Y, std::uint32_t CFG_,
                std::uint32_t CBG_) {
  sync_main_surface();
  if (!B) B = PMAIN;
  if (S.empty()) S = " ";
  if (CFG_ == 0) CFG_ = WHITE;
  const std::string text = to_utf8(S);
  FX = X + GETSTRINGWIDTH(S);
  FY = Y;
  if (!B) return;
  const Font* font = B->font ? B->font : context_font();
  if (!font) return;
  SDL_Surface* glyphs = TTF_RenderUTF8_Blended(font->ttf, text.c_str(), SDL_Color{255, 255, 255, 255});
  if (!glyphs) return;
  // Text positions are signed on the surface, as the window system takes them.
  const auto x0 = static_cast<std::int64_t>(static_cast<std::int32_t>(X));
  const auto y0 = static_cast<std::int64_t>(static_cast<std::int32_t>(Y));
  const std::int64_t cell_h = TTF_FontHeight(font->ttf);
  // An opaque background fills the text's cells first, in exactly CBG.
  for (std::int64_t y = std::max<std::int64_t>(y0, 0); CBG_ != 0 && y < std::min<std::int64_t>(y0 + cell_h, B->HEIGHT);
       ++y)
    for (std::int64_t x = std::max<std::int64_t>(x0, 0); x < std::min<std::int64_t>(x0 + glyphs->w, B->WIDTH); ++x)
      B->at(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)) = CBG_ & 0xFFFFFFu;
  const std::uint32_t colour = CFG_ & 0xFFFFFFu;
  SDL_LockSurface(glyphs);
  for (int gy = 0; gy < glyphs->h; ++gy) {
    const std::int64_t y = y0 + gy;
    if (y < 0 || y >= B->HEIGHT) continue;
    const auto* src = reinterpret_cast<const std::uint32_t*>(static_cast<const unsigned char*>(glyphs->pixels) +
                                                             std::size_t(gy) * glyphs->pitch);
    for (int gx = 0; gx < glyphs->w; ++gx) {
      const std::int64_t x = x0 + gx;
      if (x < 0 || x >= B->WIDTH) continue;
      const auto coverage = static_cast<std::uint8_t>(src[gx] >> 24);  // ARGB8888 alpha
      if (coverage == 0) continue;
      std::uint32_t& d = B->at(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      d = blit::blend_pixel(colour, d, static_cast<std::uint8_t>(255 - coverage));
    }
  }
  SDL_UnlockSurface(glyphs);
  const std::int64_t bottom = y0 + std::max<std::int64_t>(cell_h, glyphs->h);
  SDL_FreeSurface(glyphs);
  after_drawing(*B, true, static_cast<std::uint32_t>(std::clamp<std::int64_t>(y0, 0, B->HEIGHT)),
                static_cast<std::uint32_t>(std::clamp<std::int64_t>(bottom, 0, B->HEIGHT)));
}

}  // namespace display
