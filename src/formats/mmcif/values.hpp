// The numbers of mmCIF values: coordinates and model numbers, the usual
// forms converted here and any other by the general conversion.
#pragma once

#include <cstdint>
#include <string_view>
#include <type_traits>

#include "text/fields.hpp"

namespace gyro::cif {

// A number without its standard uncertainty: "1.000(3)" is 1.000. Any other
// text as it is.
inline std::string_view without_uncertainty(std::string_view text) {
  if (text.size() < 4 || text.back() != ')') return text;
  const std::size_t open = text.rfind('(');
  if (open == std::string_view::npos || open == 0 || open + 2 >= text.size()) return text;
  for (std::size_t k = open + 1; k + 1 < text.size(); ++k)
    if (text[k] < '0' || text[k] > '9') return text;
  return text.substr(0, open);
}

// A coordinate value: any decimal, the nearest float or double. The usual
// form (a sign, a few digits with a point) is converted here: its digits make
// a whole number that the precision holds exactly, and one correctly rounded
// division by an exact power of ten gives the nearest value; any other form
// goes to the general conversion.
template <class Real>
inline bool coordinate(std::string_view text, Real& v) {
  constexpr std::uint64_t exact = std::is_same_v<Real, float> ? std::uint64_t{1} << 24
                                                              : std::uint64_t{1} << 53;
  constexpr Real pow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
  const char* p = text.data();
  const char* const end = p + text.size();
  const bool negative = p != end && *p == '-';
  p += negative;
  const char* const first = p;
  std::uint64_t m = 0;
  auto digits = [&] {
    for (; p != end && static_cast<unsigned char>(*p - '0') < 10 && p - first < 16; ++p)
      m = m * 10 + static_cast<std::uint64_t>(*p - '0');
  };
  digits();
  const char* point = p;
  if (p != end && *p == '.') {
    ++p;
    digits();
  }
  const auto decimals = point == p ? 0 : p - point - 1;
  if (p == end && p - first > (point != p) && m <= exact && decimals < 8) {
    const Real r = static_cast<Real>(m) / pow10[decimals];
    v = negative ? -r : r;
    return true;
  }
  if (const std::string_view value = without_uncertainty(text); value.size() < text.size())
    return coordinate(value, v);
  return !text.empty() && text != "?" && text != "." && real_field(text, 0, v);
}

// A whole number of at most 18 digits with an optional sign, as from_chars
// reads it, for the model numbers of every row: one digit, mostly, taken at
// once.
[[gnu::noinline]] inline bool longer_whole_number(std::string_view text, std::int64_t& value) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::string_view digits = text.substr(negative);
  if (digits.empty() || digits.size() > 18) return false;
  std::int64_t v = 0;
  for (const char ch : digits) {
    const unsigned d = static_cast<unsigned char>(ch) - unsigned{'0'};
    if (d > 9) return false;
    v = v * 10 + d;
  }
  value = negative ? -v : v;
  return true;
}
[[gnu::always_inline]] inline bool whole_number(std::string_view text, std::int64_t& value) {
  if (text.size() == 1 && static_cast<unsigned char>(text[0] - '0') < 10) {
    value = text[0] - '0';
    return true;
  }
  return longer_whole_number(text, value);
}

}  // namespace gyro::cif
