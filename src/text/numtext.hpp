// Number and message text: fixed-point fields and free-form lines.
#pragma once

#include <string>
#include <string_view>

namespace gyro {

// Writes v into out[0..width) with `decimals` decimals (at most 8), right-justified:
// the exact value of v rounded to nearest, ties to even; "-" whenever the sign bit
// is set; "NaN", "Infinity" or "Inf"; width asterisks when the text is too wide.
// Returns true when v was written as a finite number that fits.
bool fixed_field(char* out, float v, int width, int decimals);

// fixed_field(out, v, 8, 3), the coordinate field of a structure file, made
// quickly for the values that fit.
bool coordinate_field(char* out, float v);

// The same field as a string.
std::string fixed(float v, int width, int decimals);

// A line built from text items and whole numbers: it starts with one blank, a
// number takes 11 columns, and one blank stands before every item except the
// first and except a text that follows a text. No items: an empty line.
class FreeLine {
 public:
  FreeLine& text(std::string_view t);
  FreeLine& num(long v);
  // The line with its line feed.
  std::string str() const { return line_ + '\n'; }

 private:
  std::string line_;
  bool any_ = false;
  bool last_text_ = false;
};

}  // namespace gyro
