#include "text/fields.hpp"

#include <bit>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <limits>
#include <iterator>
#include <optional>

namespace gyro {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Copies the non-blank bytes of a field into buf; returns their count.
std::size_t squeeze(std::string_view field, char* buf) {
  std::size_t n = 0;
  for (char c : field)
    if (c != ' ') buf[n++] = c;
  return n;
}

// Powers of ten that are exact in each precision, and the most digits whose
// whole number is exact too.
template <class Real>
struct Exact;
template <>
struct Exact<float> {
  static constexpr float pow10[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  static constexpr std::size_t digits = 8;
  static constexpr std::uint64_t most = std::uint64_t{1} << 24;
};
template <>
struct Exact<double> {
  static constexpr double pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  static constexpr std::size_t digits = 15;
  static constexpr std::uint64_t most = std::uint64_t{1} << 53;
};

// The float (or double) nearest to digits·10^e10, digits being a string of
// decimal digits. Exact through every path: small mantissas and powers of ten
// are exact, so one correctly rounded division or product gives the nearest
// value; anything else goes to the correctly rounding library conversion.
template <class Real>
std::optional<Real> nearest_real(std::string_view digits, long e10) {
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  if (digits.size() <= Exact<Real>::digits) {
    std::uint64_t m = 0;
    for (char c : digits) m = m * 10 + static_cast<std::uint64_t>(c - '0');
    if (m == 0) return Real(0);
    constexpr long powers = static_cast<long>(std::size(Exact<Real>::pow10)) - 1;
    if (m <= Exact<Real>::most) {
      const Real rm = static_cast<Real>(m);
      if (e10 <= 0 && e10 >= -powers) return rm / Exact<Real>::pow10[-e10];
      if (e10 > 0 && e10 <= powers) return rm * Exact<Real>::pow10[e10];
    }
  }
  char text[128];
  std::size_t n = digits.size();
  for (std::size_t i = 0; i < n; ++i) text[i] = digits[i];
  text[n++] = 'e';
  auto [end, ec] = std::to_chars(text + n, text + sizeof text, e10);
  Real value = 0;
  auto res = std::from_chars(text, end, value);
  if (res.ec == std::errc::result_out_of_range) {
    // Beyond the range: too large fails, too small rounds to zero.
    if (e10 + static_cast<long>(digits.size()) <= 0) return Real(0);
    return std::nullopt;
  }
  if (res.ec != std::errc() || res.ptr != end) return std::nullopt;
  return value;
}

// Any integer field: blanks anywhere, an optional sign, digits.
std::optional<std::int32_t> general_int(std::string_view field) {
  std::int64_t v = 0;
  bool neg = false, sign = false;
  int ndig = 0;
  for (char c : field) {
    if (c == ' ') continue;
    if (is_digit(c)) {
      v = v * 10 + (c - '0');
      if (v > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return std::nullopt;
      ++ndig;
    } else if ((c == '+' || c == '-') && !sign && ndig == 0) {
      sign = true;
      neg = c == '-';
    } else {
      return std::nullopt;
    }
  }
  if (sign && ndig == 0) return std::nullopt;
  if (neg) v = -v;
  if (v > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(v);
}

// Any real field, exponents included.
template <class Real>
std::optional<Real> general_real(std::string_view field, int decimals) {
  char buf[reclen + 1];
  if (field.size() > reclen) return std::nullopt;
  std::size_t n = squeeze(field, buf);
  if (n == 0) return Real(0);

  std::size_t i = 0;
  bool neg = false;
  if (buf[i] == '+' || buf[i] == '-') neg = buf[i++] == '-';

  // Mantissa: digits with at most one point; the digits are gathered without it.
  char digits[reclen + 1];
  std::size_t ndig = 0;
  long frac = -1;  // digits after the point, -1 while no point was seen
  for (; i < n; ++i) {
    if (is_digit(buf[i])) {
      digits[ndig++] = buf[i];
      if (frac >= 0) ++frac;
    } else if (buf[i] == '.' && frac < 0) {
      frac = 0;
    } else {
      break;
    }
  }
  if (ndig == 0) return std::nullopt;

  long exp = 0;
  if (i < n) {
    char c = buf[i];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd')
      ++i;
    else if (c != '+' && c != '-')
      return std::nullopt;
    bool eneg = false;
    if (i < n && (buf[i] == '+' || buf[i] == '-')) eneg = buf[i++] == '-';
    if (i == n) return std::nullopt;
    for (; i < n; ++i) {
      if (!is_digit(buf[i])) return std::nullopt;
      if (exp < 100000) exp = exp * 10 + (buf[i] - '0');  // far beyond any float
    }
    if (eneg) exp = -exp;
  }
  long e10 = exp - (frac >= 0 ? frac : decimals);
  auto value = nearest_real<Real>(std::string_view(digits, ndig), e10);
  if (value && neg) return -*value;
  return value;
}

}  // namespace

// Both return through a reference, not an optional, as the byte-parallel
// readers do: the value and the flag then travel in registers.
bool int_field(std::string_view field, std::int32_t& value) {
  const auto v = general_int(field);
  if (v) value = *v;
  return v.has_value();
}

bool real_field(std::string_view field, int decimals, float& value) {
  const auto v = general_real<float>(field, decimals);
  if (v) value = *v;
  return v.has_value();
}

bool real_field(std::string_view field, int decimals, double& value) {
  const auto v = general_real<double>(field, decimals);
  if (v) value = *v;
  return v.has_value();
}

}  // namespace gyro
