// Free-form text: blanks, values between blanks, decimal numbers and whole
// numbers, as molecule files and header records write them.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string_view>
#include <system_error>
#include <type_traits>

namespace gyro {

// The text without blanks (and tabs) at either end.
inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
inline std::string_view trimmed(std::string_view s) {
  std::size_t first = 0, end = s.size();
  while (first < end && is_blank(s[first])) ++first;
  while (end > first && is_blank(s[end - 1])) --end;
  return s.substr(first, end - first);
}

// The values of a line between blanks and tabs, as byte ranges.
struct Token {
  std::size_t begin = 0, end = 0;
};
inline std::size_t split_tokens(std::string_view line, Token* out, std::size_t room) {
  std::size_t n = 0, k = 0;
  while (n < room) {
    while (k < line.size() && is_blank(line[k])) ++k;
    if (k == line.size()) break;
    const std::size_t begin = k;
    while (k < line.size() && !is_blank(line[k])) ++k;
    out[n++] = {begin, k};
  }
  return n;
}

// A decimal number (blanks around it allowed, a leading "+" too) as the
// value nearest to it; false for anything else, infinities and NaN included.
// Decimals without an exponent whose digits fit the precision exactly
// (7 for float, 15 for double) are the digits as a whole number divided by a
// power of ten: both exact, so the one rounding of the division gives the
// nearest value. Any other text goes to the general conversion.
template <class Real>
bool quick_number(const char* p, const char* end, Real& v) {
  constexpr int most_digits = std::is_same_v<Real, float> ? 7 : 15;
  static constexpr double tens[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8,
                                    1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const bool negative = p < end && *p == '-';
  p += negative;
  std::uint64_t digits = 0;
  const char* first = p;
  while (p < end && static_cast<unsigned>(*p - '0') < 10) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
  const char* point = p;
  if (p < end && *p == '.') {
    ++p;
    while (p < end && static_cast<unsigned>(*p - '0') < 10) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
  }
  const long count = (p - first) - (point < p);
  const long decimals = point < p ? p - point - 1 : 0;
  if (p != end || count == 0 || count > most_digits) return false;
  const Real magnitude = static_cast<Real>(digits) / static_cast<Real>(tens[decimals]);
  v = negative ? -magnitude : magnitude;
  return true;
}

// A fixed field of `width` columns written as "%W.Df", D = `decimals` (10.4
// in SDF, 8.3 in GRO; wider GRO fields alike), whose value has at most 7 digits
// ("   -1.2345", "  -0.866", "    .230" is left to the general reading): the
// same value quick_number gives, read at known places. False for anything
// else (the caller reads it generally).
template <class Real>
bool fixed_decimal(const char* p, int width, int decimals, Real& v) {
  auto digit = [&](int k) { return static_cast<unsigned>(static_cast<unsigned char>(p[k]) - '0'); };
  const int point = width - decimals - 1;
  if (decimals < 1 || decimals > 6 || point < 1 || p[point] != '.') return false;
  std::uint32_t digits = 0;
  for (int k = point + 1; k < width; ++k) {
    if (digit(k) > 9) return false;
    digits = digits * 10 + digit(k);
  }
  std::uint32_t whole = 0, scale = 1;
  int k = point - 1;
  for (; k >= 0 && digit(k) <= 9; --k, scale *= 10) whole += digit(k) * scale;
  const bool negative = k >= 0 && p[k] == '-';
  k -= negative;
  for (; k >= 0; --k)
    if (p[k] != ' ') return false;
  static constexpr std::uint32_t tens[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  // No digit before the point, or more than 7 digits in all: the general reading.
  if (scale == 1 || (scale > 10 && whole == 0) || whole >= tens[7 - decimals]) return false;
  digits += whole * tens[decimals];
  const Real magnitude = static_cast<Real>(digits) / static_cast<Real>(tens[decimals]);
  v = negative ? -magnitude : magnitude;
  return true;
}

template <class Real>
bool parse_number(std::string_view text, Real& v) {
  const char* p = text.data();
  const char* last = p + text.size();
  while (p < last && *p == ' ') ++p;
  while (last > p && last[-1] == ' ') --last;
  if (quick_number(p, last, v)) return true;
  text = trimmed(text);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  if (text.empty() || !(text[0] == '-' || text[0] == '.' || (text[0] >= '0' && text[0] <= '9')))
    return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  return ec == std::errc() && end == text.data() + text.size();
}

// A whole number, blanks around it allowed.
inline bool parse_count(std::string_view text, std::int64_t& n) {
  text = trimmed(text);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

}  // namespace gyro
