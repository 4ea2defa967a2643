#pragma once

// The window's layout is given in twips (1/1440 inch); on screen it becomes pixels.

namespace tavrio::app {

inline constexpr int kTwipsPerInch = 1440;

// Pixels for a length in twips on a screen of `dpi` logical dots per inch, rounded to the
// nearest pixel: 15 twips per pixel at 96 dpi, 10 at 144 dpi.
constexpr int TwipsToPixels(int twips, int dpi) {
  return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
}

}  // namespace tavrio::app
