// The shortest decimal text that reads back as a given float or double, in
// the layout std::to_chars gives it without a format (fixed or scientific,
// whichever is shorter, fixed on a tie), but found with exact 128-bit integer
// arithmetic for the values a report shows (about 1e-5 up to 1e6 for floats
// and 1e15 for doubles); std::to_chars writes every other value.
#pragma once

#include <charconv>

namespace gyro {

// Writes the text of a finite v at out, which has room for 48 bytes (the
// text is shorter; the bytes after it are scratch); returns the text's end.
char* shortest_text(char* out, float v);
char* shortest_text(char* out, double v);

}  // namespace gyro
