#include "text/numtext.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace gyro {
namespace {

// Room for the fixed-point text of any double with up to 8 decimals.
constexpr std::size_t fixed_room = 330;

// |v| times 10^decimals (1 to 4) rounded to the nearest whole number, ties to
// even, as the exact value would round, where that is quick to know: a
// float's value (exact in double once scaled: 24 + 14 bits), or any other
// double below 2^36 once scaled whose product lies farther than its error
// (2^-17) from a half. False where the general conversion must decide.
bool quick_scaled(double a, int decimals, std::uint64_t& n) {
  static constexpr double scale[] = {1, 10, 100, 1000, 10000};
  if (decimals < 1 || decimals > 4) return false;
  if (a < 1e14 && static_cast<double>(static_cast<float>(a)) == a) {
    n = static_cast<std::uint64_t>(std::nearbyint(a * scale[decimals]));
    return true;
  }
  const double product = a * scale[decimals];
  if (!(product < 68719476736.0)) return false;
  const double whole = std::floor(product), fraction = product - whole;
  if (!(std::fabs(fraction - 0.5) > 1e-4)) return false;
  n = static_cast<std::uint64_t>(whole) + (fraction > 0.5);
  return true;
}

// The field of `width` bytes for a finite v written from its right end
// where quick_scaled knows the digits and they fit; false otherwise (the
// general way then writes it).
bool quick_field(char* out, double v, int width, int decimals) {
  std::uint64_t n = 0;
  if (!quick_scaled(std::fabs(v), decimals, n)) return false;
  char* p = out + width;
  for (int k = 0; k < decimals; ++k) {
    *--p = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  *--p = '.';
  do {
    if (p == out) return false;
    *--p = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  if (std::signbit(v)) {
    if (p == out) return false;
    *--p = '-';
  }
  std::memset(out, ' ', static_cast<std::size_t>(p - out));
  return true;
}

// Fixed-point text of a finite v into buf (fixed_room bytes); returns its
// length. The library writes the exact value correctly rounded, ties to even
// (a float widened to double is the same value). The sign is written whenever
// the sign bit is set, -0 included.
std::size_t fixed_text(char* buf, double v, int decimals) {
  char* p = buf;
  if (std::signbit(v)) *p++ = '-';
  const double a = std::fabs(v);
  p = std::to_chars(p, buf + fixed_room - 1, a, std::chars_format::fixed, decimals).ptr;
  if (decimals == 0) *p++ = '.';
  return static_cast<std::size_t>(p - buf);
}

}  // namespace

bool fixed_field(char* out, float v, int width, int decimals) {
  return fixed_field(out, static_cast<double>(v), width, decimals);
}

bool fixed_field(char* out, double v, int width, int decimals) {
  const bool finite = std::isfinite(v);
  if (finite && quick_field(out, v, width, decimals)) return true;
  char buf[fixed_room];
  std::size_t len;
  if (finite) {
    len = fixed_text(buf, v, decimals);
  } else {
    const bool fits = width >= 9 || (v > 0 && width >= 8);
    const char* t = std::isnan(v) ? "NaN" : v > 0 ? (fits ? "Infinity" : "Inf")
                                                  : (fits ? "-Infinity" : "-Inf");
    len = std::strlen(t);
    std::memcpy(buf, t, len);
  }
  const auto w = static_cast<std::size_t>(width);
  if (len > w) {
    std::memset(out, '*', w);
    return false;
  }
  std::memset(out, ' ', w - len);
  std::memcpy(out + (w - len), buf, len);
  return finite;
}

std::string fixed(double v, int width, int decimals) {
  std::string s(static_cast<std::size_t>(width), ' ');
  fixed_field(s.data(), v, width, decimals);
  return s;
}

std::size_t utf8_sequence(std::string_view s) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned c = b(0);
  std::size_t n;
  unsigned low = 0x80, high = 0xBF;  // the range of the second byte
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) low = 0xA0;   // no overlong forms
    if (c == 0xED) high = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (s.size() < n || b(1) < low || b(1) > high) return 0;
  for (std::size_t k = 2; k < n; ++k)
    if (b(k) < 0x80 || b(k) > 0xBF) return 0;
  return n;
}

std::string printable(std::string_view bytes) {
  std::string s;
  s.reserve(bytes.size());
  while (!bytes.empty()) {
    const auto c = static_cast<unsigned char>(bytes[0]);
    std::size_t n = utf8_sequence(bytes);
    const bool control = n == 1   ? c < 0x20 || c == 0x7f
                         : n == 2 ? c == 0xc2 && static_cast<unsigned char>(bytes[1]) < 0xa0
                         : n == 0 && c >= 0x80 && c <= 0x9f;
    if (n == 0) n = 1;
    if (control)
      s += '?';
    else
      s.append(bytes.substr(0, n));
    bytes.remove_prefix(n);
  }
  return s;
}

std::string about(std::string_view name) { return "gyrolabium: " + printable(name) + ": "; }

FreeLine& FreeLine::text(std::string_view t) {
  if (!any_ || !last_text_) line_ += ' ';  // the line's leading blank, or after a number
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
