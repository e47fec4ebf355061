#include "text/numtext.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace gyro {
namespace {

constexpr double pow10d[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};

// |v|·10^d rounded to a whole number, half to even. A float has 24 significant
// bits and 10^8 needs 27, so the scaled value is an exact double, and so is its
// distance to the whole number below it.
std::uint64_t scaled_magnitude(float v, int decimals) {
  const double scaled = std::fabs(static_cast<double>(v)) * pow10d[decimals];
  const auto n = static_cast<std::uint64_t>(scaled);
  const double rest = scaled - static_cast<double>(n);
  // Branch-free: which way a value rounds is as good as random.
  return n + static_cast<std::uint64_t>((rest > 0.5) | ((rest == 0.5) & ((n & 1) != 0)));
}

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the decimal digits of n backwards, so that they end at `end`, two at a
// time; at least `min_digits` of them (leading zeros). Returns where they start.
char* digits_backwards(char* end, std::uint64_t n, int min_digits) {
  char* p = end;
  while (n >= 100 || min_digits > 2) {
    const auto pair = static_cast<std::size_t>(n % 100) * 2;
    n /= 100;
    *--p = digit_pairs[pair + 1];
    *--p = digit_pairs[pair];
    min_digits -= 2;
  }
  if (n >= 10 || min_digits == 2) {
    *--p = digit_pairs[n * 2 + 1];
    *--p = digit_pairs[n * 2];
  } else {
    *--p = static_cast<char>('0' + n);
  }
  return p;
}

// Fixed-point text of a finite v, written backwards so that it ends at `end`;
// returns where it starts.
char* fixed_text(char* end, float v, int decimals) {
  char* p = end;
  if (std::fabs(v) < 1e9f) {  // the whole number fits 64 bits with 8 decimals
    const std::uint64_t n = scaled_magnitude(v, decimals);
    const auto unit = static_cast<std::uint64_t>(pow10d[decimals]);
    if (decimals > 0) p = digits_backwards(p, n % unit, decimals);
    *--p = '.';
    p = digits_backwards(p, n / unit, 1);
  } else {  // far too wide for any field, but written exactly all the same
    char buf[64];
    char* q = std::to_chars(buf, buf + sizeof buf, std::fabs(static_cast<double>(v)),
                            std::chars_format::fixed, decimals).ptr;
    if (decimals == 0) *q++ = '.';
    p -= q - buf;
    std::memcpy(p, buf, static_cast<std::size_t>(q - buf));
  }
  if (std::signbit(v)) *--p = '-';
  return p;
}

}  // namespace

bool fixed_field(char* out, float v, int width, int decimals) {
  // The text is built right-aligned at the end of a buffer whose last 32 bytes
  // are blanks, so the field is its last `width` bytes.
  char buf[96];
  char* const end = buf + sizeof buf;
  std::memset(end - 32, ' ', 32);
  const char* p;
  const bool finite = std::isfinite(v);
  if (finite) {
    p = fixed_text(end, v, decimals);
  } else {
    const bool fits = width >= 9 || (v > 0 && width >= 8);
    const char* t = std::isnan(v) ? "NaN" : v > 0 ? (fits ? "Infinity" : "Inf")
                                                  : (fits ? "-Infinity" : "-Inf");
    const std::size_t n = std::strlen(t);
    p = end - n;
    std::memcpy(end - n, t, n);
  }
  const auto w = static_cast<std::size_t>(width);
  if (static_cast<std::size_t>(end - p) > w) {
    std::memset(out, '*', w);
    return false;
  }
  if (w <= 32) {
    if (w == 8) std::memcpy(out, end - 8, 8);  // the structure file's coordinates
    else std::memcpy(out, end - w, w);
  } else {
    const auto len = static_cast<std::size_t>(end - p);
    std::memset(out, ' ', w - len);
    std::memcpy(out + (w - len), p, len);
  }
  return finite;
}

std::string fixed(float v, int width, int decimals) {
  std::string s(static_cast<std::size_t>(width), ' ');
  fixed_field(s.data(), v, width, decimals);
  return s;
}

FreeLine& FreeLine::text(std::string_view t) {
  if (!any_) line_ += ' ';
  else if (!last_text_) line_ += ' ';
  line_ += t;
  any_ = last_text_ = true;
  return *this;
}

FreeLine& FreeLine::num(long v) {
  line_ += ' ';  // the leading blank of the line, or the blank before a number
  char buf[32];
  char* end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  auto len = static_cast<std::size_t>(end - buf);
  if (len < 11) line_.append(11 - len, ' ');
  line_.append(buf, len);
  any_ = true;
  last_text_ = false;
  return *this;
}

}  // namespace gyro
