#pragma once

// Message texts broken into lines the way a reader parses them. A message box left to wrap
// Chinese text breaks between any two characters, splitting "（共 2 个）" or a file name; these
// lines break only between phrases.

#include <string>

namespace tavrio::app::sheets {

// `text` with line breaks added so that no line is wider than `max_width` columns (a Chinese
// character or full-width sign takes two, any other character one), breaking only after a
// phrase's closing sign (，。：；！？、) that stands outside brackets （）() and quotes “”. A
// phrase wider than `max_width` stays whole on a line of its own. Breaks already in `text` stay.
std::string BreakBetweenPhrases(const std::string& text, int max_width = 64);

}  // namespace tavrio::app::sheets
