// The named colours, in the surface encoding 0x00BBGGRR (red in the low byte).
// 0 means "the default" everywhere, so black is 0x010101; 1 means "none".
#pragma once

#include <cstdint>

namespace display {

inline constexpr std::uint32_t TRANSPARENT = 0x000001, BLACK = 0x010101, AMETHYST = 0xCC6699, NAVY = 0x800000,
                               DARKBLUE = 0x8B0000, MEDIUMBLUE = 0xCD0000, BLUE = 0xFF0000, DARKGREEN = 0x006400,
                               GREEN = 0x008000, TEAL = 0x808000, DARKCYAN = 0x8B8B00, DEEPSKYBLUE = 0xFFBF00,
                               DARKTURQUOISE = 0xD1CE00, MEDIUMSPRINGGREEN = 0x9AFA00, LIME = 0x00FF00,
                               SPRINGGREEN = 0x7FFF00, CYAN = 0xFFFF00, AQUA = 0xFFFF00, MIDNIGHTBLUE = 0x701919,
                               DODGERBLUE = 0xFF901E, LIGHTSEAGREEN = 0xAAB220, FORESTGREEN = 0x228B22,
                               SEAGREEN = 0x578B2E, DARKSLATEGRAY = 0x4F4F2F, LIMEGREEN = 0x32CD32,
                               MEDIUMSEAGREEN = 0x71B33C, TURQUOISE = 0xD0E040, ROYALBLUE = 0xE16941,
                               STEELBLUE = 0xB48246, DARKSLATEBLUE = 0x8B3D48, MEDIUMTURQUOISE = 0xCCD148,
                               INDIGO = 0x82004B, DARKOLIVEGREEN = 0x2F6B55, CADETBLUE = 0xA09E5F,
                               CORNFLOWERBLUE = 0xED9564, MEDIUMAQUAMARINE = 0xAACD66, DIMGRAY = 0x696969,
                               SLATEBLUE = 0xCD5A6A, OLIVEDRAB = 0x238E6B, SLATEGRAY = 0x908070,
                               LIGHTSLATEGRAY = 0x998877, MEDIUMSLATEBLUE = 0xEE687B, LAWNGREEN = 0x00FC7C,
                               CHARTREUSE = 0x00FF7F, AQUAMARINE = 0xD4FF7F, MAROON = 0x000080, PURPLE = 0x800080,
                               OLIVE = 0x008080, GRAY = 0x808080, SKYBLUE = 0xEBCE87, LIGHTSKYBLUE = 0xFACE87,
                               BLUEVIOLET = 0xE22B8A, DARKRED = 0x00008B, DARKMAGENTA = 0x8B008B,
                               SADDLEBROWN = 0x13458B, DARKSEAGREEN = 0x8FBC8F, LIGHTGREEN = 0x90EE90,
                               MEDIUMPURPLE = 0xDB7093, DARKVIOLET = 0xD30094, PALEGREEN = 0x98FB98,
                               DARKORCHID = 0xCC3299, YELLOWGREEN = 0x32CD9A, SIENNA = 0x2D52A0, BROWN = 0x2A2AA5,
                               DARKGRAY = 0xA9A9A9, LIGHTBLUE = 0xE6D8AD, GREENYELLOW = 0x2FFFAD,
                               PALETURQUOISE = 0xEEEEAF, LIGHTSTEELBLUE = 0xDEC4B0, POWDERBLUE = 0xE6E0B0,
                               FIREBRICK = 0x2222B2, DARKGOLDENROD = 0x0B86B8, MEDIUMORCHID = 0xD355BA,
                               ROSYBROWN = 0x8F8FBC, DARKKHAKI = 0x6BB7BD, SILVER = 0xC0C0C0,
                               MEDIUMVIOLETRED = 0x8515C7, INDIANRED = 0x5C5CCD, PERU = 0x3F85CD, CHOCOLATE = 0x1E69D2,
                               TAN = 0x8CB4D2, LIGHTGREY = 0xD3D3D3, THISTLE = 0xD8BFD8, ORCHID = 0xD670DA,
                               GOLDENROD = 0x20A5DA, PALEVIOLETRED = 0x9370DB, CRIMSON = 0x3C14DC, GAINSBORO = 0xDCDCDC,
                               PLUM = 0xDDA0DD, BURLYWOOD = 0x87B8DE, LIGHTCYAN = 0xFFFFE0, LAVENDER = 0xFAE6E6,
                               DARKSALMON = 0x7A96E9, VIOLET = 0xEE82EE, PALEGOLDENROD = 0xAAE8EE,
                               LIGHTCORAL = 0x8080F0, KHAKI = 0x8CE6F0, ALICEBLUE = 0xFFF8F0, HONEYDEW = 0xF0FFF0,
                               AZURE = 0xFFFFF0, SANDYBROWN = 0x60A4F4, WHEAT = 0xB3DEF5, BEIGE = 0xDCF5F5,
                               WHITESMOKE = 0xF5F5F5, MINTCREAM = 0xFAFFF5, GHOSTWHITE = 0xFFF8F8, SALMON = 0x7280FA,
                               ANTIQUEWHITE = 0xD7EBFA, LINEN = 0xE6F0FA, LIGHTGOLDENRODYELLOW = 0xD2FAFA,
                               OLDLACE = 0xE6F5FD, RED = 0x0000FF, FUCHSIA = 0xFF00FF, MAGENTA = 0xFF00FF,
                               DEEPPINK = 0x9314FF, ORANGERED = 0x0045FF, TOMATO = 0x4763FF, HOTPINK = 0xB469FF,
                               CORAL = 0x507FFF, DARKORANGE = 0x008CFF, LIGHTSALMON = 0x7AA0FF, ORANGE = 0x00A5FF,
                               LIGHTPINK = 0xC1B6FF, PINK = 0xCBC0FF, GOLD = 0x00D7FF, PEACHPUFF = 0xB9DAFF,
                               NAVAJOWHITE = 0xADDEFF, MOCCASIN = 0xB5E4FF, BISQUE = 0xC4E4FF, MISTYROSE = 0xE1E4FF,
                               BLANCHEDALMOND = 0xCDEBFF, PAPAYAWHIP = 0xD5EFFF, LAVENDERBLUSH = 0xF5F0FF,
                               SEASHELL = 0xEEF5FF, CORNSILK = 0xDCF8FF, LEMONCHIFFON = 0xCDFAFF,
                               FLORALWHITE = 0xF0FAFF, SNOW = 0xFAFAFF, YELLOW = 0x00FFFF, LIGHTYELLOW = 0xE0FFFF,
                               IVORY = 0xF0FFFF, WHITE = 0xFFFFFF;

}  // namespace display
