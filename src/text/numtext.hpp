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

// The 8 decimal digits of n < 10^8, one value a byte, the first (most
// significant) in the lowest byte: two halves of 4 digits, then 4 pairs, then
// 8 digits, each split by a multiplication with a scaled reciprocal.
inline std::uint64_t eight_digit_values(std::uint32_t n) {
  std::uint64_t x = (n / 10000) | (std::uint64_t{n % 10000} << 32);
  std::uint64_t q = ((x * 10486) >> 20) & 0x0000007F0000007F;
  x = q | ((x - q * 100) << 16);
  q = ((x * 103) >> 10) & 0x000F000F000F000F;
  return q | ((x - q * 10) << 8);
}

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
  // The 8 bytes are put together in a register, first byte lowest, and stored
  // once: n as "0ddddddd" becomes "dddd.ddd", leading zeros blanked, the sign
  // put before them.
  const std::uint64_t d = eight_digit_values(n);
  std::uint64_t t = (d & 0xFFFFFF0000000000) | ((d >> 8) & 0xFFFFFFFF) | 0x3030302E30303030;
  const std::uint32_t whole = n / 1000;
  const int first = 3 - (whole >= 10) - (whole >= 100) - (whole >= 1000);
  const std::uint64_t lead = (std::uint64_t{1} << (8 * first)) - 1;
  t = (t & ~lead) | (0x2020202020202020 & lead);
  if (std::signbit(v)) {
    if (first == 0) return fixed_field(out, v, 8, 3);  // "-1000.000" does not fit
    const int at = 8 * (first - 1);
    t = (t & ~(std::uint64_t{0xFF} << at)) | (std::uint64_t{'-'} << at);
  }
  std::memcpy(out, &t, 8);
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
