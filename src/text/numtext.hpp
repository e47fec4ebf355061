// Number and message text: fixed-point fields and free-form lines.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace gyro {

// Writes v into out[0..width) with `decimals` decimals (at most 8), right-justified:
// the exact value of v rounded to nearest, ties to even; "-" whenever the sign bit
// is set; "NaN", "Infinity" or "Inf"; width asterisks when the text is too wide.
// Returns true when v was written as a finite number that fits.
bool fixed_field(char* out, float v, int width, int decimals);

// The same field as a string.
std::string fixed(float v, int width, int decimals);

// Text pieces of 8-column coordinate fields, made at compile time: the
// blank-filled whole part of every value from 0 to 9999 ("   0" to "9999") and
// from -0 to -999 ("  -0" to "-999"), 4 bytes each, and the 3 decimals of
// every 0 to 999.
struct CoordinateText {
  std::uint32_t whole[10000 + 1000];  // 10000 + w: the negative whole part w
  std::uint32_t decimals[1000];
};

constexpr CoordinateText make_coordinate_text() {
  CoordinateText t{};
  auto word = [](const char (&c)[4]) {
    return std::uint32_t(std::uint8_t(c[0])) | std::uint32_t(std::uint8_t(c[1])) << 8 |
           std::uint32_t(std::uint8_t(c[2])) << 16 | std::uint32_t(std::uint8_t(c[3])) << 24;
  };
  for (int i = 0; i < 11000; ++i) {
    const bool negative = i >= 10000;
    int w = negative ? i - 10000 : i;
    char c[4] = {' ', ' ', ' ', ' '};
    int at = 3;
    do {
      c[at--] = static_cast<char>('0' + w % 10);
      w /= 10;
    } while (w > 0);
    if (negative) c[at] = '-';
    t.whole[i] = word(c);
  }
  for (int i = 0; i < 1000; ++i) {
    const char c[4] = {static_cast<char>('0' + i / 100), static_cast<char>('0' + i / 10 % 10),
                       static_cast<char>('0' + i % 10), 0};
    t.decimals[i] = word(c);
  }
  return t;
}

inline constexpr CoordinateText coordinate_text = make_coordinate_text();

// fixed_field(out, v, 8, 3), the coordinate field of a structure file, made
// quickly for the values that fit.
inline bool coordinate_field(char* out, float v) {
  const float a = std::fabs(v);
  if (std::endian::native != std::endian::little || !(a < 9999.0f))
    return fixed_field(out, v, 8, 3);  // also NaN and infinities
  // |v|·1000 is an exact double below 2^52: adding and taking away 2^52 rounds
  // it to a whole number, half to even, in the default rounding mode.
  const double scaled = static_cast<double>(a) * 1000.0;
  const auto n = static_cast<std::uint32_t>((scaled + 0x1p52) - 0x1p52);
  const std::uint32_t whole = n / 1000, decimals = n - whole * 1000;
  const bool negative = std::signbit(v);
  if (negative && whole >= 1000) return fixed_field(out, v, 8, 3);  // "-1000.000" does not fit
  const std::uint64_t text = coordinate_text.whole[whole + (negative ? 10000u : 0u)] |
                             std::uint64_t{'.'} << 32 |
                             std::uint64_t{coordinate_text.decimals[decimals]} << 40;
  std::memcpy(out, &text, 8);
  return true;
}

// Bytes of a file or argument as they may be shown on a terminal: each control
// byte (0x00-0x1f, 0x7f) becomes "?", so that no escape sequence reaches it.
std::string printable(std::string_view bytes);

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
