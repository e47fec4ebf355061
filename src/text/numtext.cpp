#include "text/numtext.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

namespace gyro {
namespace {

// Fixed-point text of a finite v into buf (64 bytes hold any float with up to
// 8 decimals); returns its length. The float widened to double is the same
// value, and the library writes that exact value correctly rounded, ties to
// even. The sign is written whenever the sign bit is set, -0 included.
std::size_t fixed_text(char* buf, float v, int decimals) {
  char* p = buf;
  if (std::signbit(v)) *p++ = '-';
  p = std::to_chars(p, buf + 63, std::fabs(static_cast<double>(v)), std::chars_format::fixed,
                    decimals)
          .ptr;
  if (decimals == 0) *p++ = '.';
  return static_cast<std::size_t>(p - buf);
}

}  // namespace

bool fixed_field(char* out, float v, int width, int decimals) {
  char buf[64];
  std::size_t len;
  const bool finite = std::isfinite(v);
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

std::string fixed(float v, int width, int decimals) {
  std::string s(static_cast<std::size_t>(width), ' ');
  fixed_field(s.data(), v, width, decimals);
  return s;
}

std::string printable(std::string_view bytes) {
  std::string s(bytes);
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return s;
}

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
