#include "text/numtext.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace gyro {
namespace {

constexpr double pow10d[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
constexpr std::uint64_t pow10u[] = {1, 10, 100, 1000, 10000, 100000,
                                    1000000, 10000000, 100000000};

// Unsigned fixed-point text of |v| with `decimals` decimals; returns its length.
// A float has 24 significant bits and 10^8 needs 27, so |v|·10^d is an exact
// double; rounding it to an integer in the default mode gives the tie to even.
std::size_t magnitude_text(char* buf, std::size_t cap, float v, int decimals) {
  double a = std::fabs(static_cast<double>(v));
  double scaled = a * pow10d[decimals];
  if (scaled >= 9007199254740992.0) {  // 2^53: too wide for any field; exact path
    char* p = std::to_chars(buf, buf + cap, a, std::chars_format::fixed, decimals).ptr;
    if (decimals == 0) *p++ = '.';
    return static_cast<std::size_t>(p - buf);
  }
  auto n = static_cast<std::uint64_t>(std::nearbyint(scaled));
  std::uint64_t whole = n / pow10u[decimals], frac = n % pow10u[decimals];
  char* p = std::to_chars(buf, buf + cap, whole).ptr;
  *p++ = '.';
  for (int k = decimals - 1; k >= 0; --k) {
    p[k] = static_cast<char>('0' + frac % 10);
    frac /= 10;
  }
  p += decimals;
  return static_cast<std::size_t>(p - buf);
}

}  // namespace

bool fixed_field(char* out, float v, int width, int decimals) {
  char buf[400];
  std::size_t len;
  bool finite = std::isfinite(v);
  if (std::isnan(v)) {
    std::memcpy(buf, "NaN", 3);
    len = 3;
  } else if (std::isinf(v)) {
    const char* t = v < 0 ? "-Infinity" : "Infinity";
    len = std::strlen(t);
    if (len > static_cast<std::size_t>(width)) {
      t = v < 0 ? "-Inf" : "Inf";
      len = std::strlen(t);
    }
    std::memcpy(buf, t, len);
  } else {
    std::size_t at = std::signbit(v) ? 1 : 0;
    buf[0] = '-';
    len = at + magnitude_text(buf + at, sizeof buf - at, v, decimals);
  }
  auto w = static_cast<std::size_t>(width);
  if (len > w) {
    std::memset(out, '*', w);
    return false;
  }
  std::memset(out, ' ', w - len);
  std::memcpy(out + (w - len), buf, len);
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
