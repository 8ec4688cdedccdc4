// The pen and line-type tables every drawing of the Windows edition carries in its header: the
// writer puts them into the file, and a picture of the drawing draws its pens and line types by them.
#pragma once

#include <array>
#include <cstdint>

namespace torvane {

// Colours are 24-bit values 0xRRGGBB held in 4-byte integers.
struct TJwwPenColor {
  int32_t ScreenColor, ScreenWidth, PrintColor, PrintWidth;
  double PrintPointRadius;
};
// Pens 1 to 10.
inline constexpr std::array<TJwwPenColor, 10> kJwwPenColors{{{0xFFFFFF, 1, 0xFFFFFF, 1, 1.0},
                                                             {0xC0C000, 1, 0xFFFF00, 1, 0.2},
                                                             {0x000000, 1, 0x000000, 2, 0.3},
                                                             {0x00C000, 1, 0x00FF00, 3, 0.4},
                                                             {0x00C0C0, 1, 0x00FFFF, 4, 0.5},
                                                             {0xC000C0, 1, 0xFF00FF, 5, 0.5},
                                                             {0xFF0000, 1, 0xFF0000, 6, 0.5},
                                                             {0x808000, 1, 0x808000, 7, 0.5},
                                                             {0x8000FF, 1, 0x0000FF, 8, 0.5},
                                                             {0xC0C0C0, 1, 0xC0C0C0, 1, 1.0}}};

// A dashed line type: a 32-bit dot mask read from its highest bit, of which the first UnitDots bits
// repeat; each bit takes Pitch dots on the screen and PrintPitch tenths of a millimetre on paper.
struct TJwwLineType {
  uint32_t Pattern, UnitDots, Pitch, PrintPitch;
};
// Line types 2 to 9.
inline constexpr std::array<TJwwLineType, 8> kJwwLineTypes{{{0x99999999, 4, 1, 10},
                                                            {0xC3C3C3C3, 8, 1, 10},
                                                            {0xE7E7E7E7, 8, 1, 10},
                                                            {0xF99FF99F, 16, 1, 10},
                                                            {0xFFF99FFF, 32, 1, 10},
                                                            {0xF24FF24F, 16, 1, 10},
                                                            {0xFFF24FFF, 32, 1, 10},
                                                            {0x22222222, 4, 1, 10}}};
// Double-length line types 6 to 9.
inline constexpr std::array<TJwwLineType, 4> kJwwDoubleLineTypes{{{0xFFF99FFF, 32, 2, 20},
                                                                  {0xFFF24FFF, 32, 2, 20},
                                                                  {0xFFFE7FFF, 32, 2, 20},
                                                                  {0xFFFE7FFF, 32, 4, 40}}};

struct TJwwRandomLine {
  uint32_t Pattern, Amplitude, Pitch, PrintAmplitude, PrintPitch;
};
// Random lines 1 to 5.
inline constexpr std::array<TJwwRandomLine, 5> kJwwRandomLines{{{0xCCB2B32A, 1, 3, 1, 5},
                                                                {0xCCB2B32A, 1, 4, 1, 10},
                                                                {0xCCB2B32A, 2, 5, 2, 15},
                                                                {0xCCB2B32A, 2, 6, 2, 20},
                                                                {0xCCB2B32A, 2, 7, 2, 25}}};

}  // namespace torvane
