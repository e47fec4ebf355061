#include "text/shortest.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace gyro {
namespace {

__extension__ typedef unsigned __int128 u128;

constexpr u128 power_of_ten(int k) {
  u128 t = 1;
  for (int i = 0; i < k; ++i) t *= 10;
  return t;
}
constexpr int max_places = 30;  // 10^30 times a float's boundary stays below 2^128
struct PowersOfTen {
  u128 t[max_places + 1];
};
constexpr PowersOfTen make_powers() {
  PowersOfTen p{};
  for (int k = 0; k <= max_places; ++k) p.t[k] = power_of_ten(k);
  return p;
}
constexpr PowersOfTen powers = make_powers();

// A decimal d * 10^p, d without trailing zeros but for d = 0.
struct Decimal {
  std::uint64_t d = 0;
  int p = 0;
};

// The bits of a finite binary value: mantissa m (with its leading bit) and
// exponent e, v = m * 2^e; whether the lower neighbour is closer (m a power
// of two above the smallest exponent).
struct Binary {
  std::uint64_t m = 0;
  int e = 0;
  bool lower_closer = false;
};
[[gnu::always_inline]] inline Binary binary_of(float v) {
  const auto bits = std::bit_cast<std::uint32_t>(v);
  const int biased = static_cast<int>((bits >> 23) & 0xFF);
  const std::uint32_t fraction = bits & 0x7FFFFF;
  if (biased == 0) return {fraction, -149, false};
  return {fraction | 0x800000u, biased - 150, fraction == 0 && biased > 1};
}
[[gnu::always_inline]] inline Binary binary_of(double v) {
  const auto bits = std::bit_cast<std::uint64_t>(v);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & 0xFFFFFFFFFFFFFull;
  if (biased == 0) return {fraction, -1074, false};
  return {fraction | (1ull << 52), biased - 1075, fraction == 0 && biased > 1};
}

// The shortest decimal within the values that round to b (their bounds
// included when m is even, as round-half-even reads them), the one nearest to
// b among those, ties to an even d. All values are taken as multiples of
// 2^(e-2) times a power of ten, exact in the unsigned integer type Word; p_low
// (a multiple of 10^p_low surely lies between the bounds) and the shift fit it.
// a * 10^k in Word (a below 2^62): one 64-bit multiplication where the
// power fits in 64 bits.
template <class Word>
[[gnu::always_inline]] inline Word times_power_of_ten(std::uint64_t a, int k) {
  if constexpr (sizeof(Word) > sizeof(std::uint64_t)) {
    if (k > 19) return static_cast<Word>(a) * static_cast<Word>(powers.t[k]);
  }
  return static_cast<Word>(a) * static_cast<Word>(static_cast<std::uint64_t>(powers.t[k]));
}

template <class Word>
[[gnu::always_inline]] inline Decimal shortest_decimal(const Binary& b, int shift, int p_low) {
  const Word one = Word(1) << shift, below = one - 1;
  const std::uint64_t x = 4 * b.m;
  const Word high = times_power_of_ten<Word>(x + 2, -p_low),
             low = times_power_of_ten<Word>(x - (b.lower_closer ? 1 : 2), -p_low);
  const bool bounds_in = b.m % 2 == 0;
  auto hi = static_cast<std::uint64_t>(high >> shift),
       lo = static_cast<std::uint64_t>((low + below) >> shift);
  if (!bounds_in && (high & below) == 0) --hi;
  if (!bounds_in && (low & below) == 0) ++lo;
  int p = p_low;
  while (hi / 10 >= (lo + 9) / 10) {  // a multiple of 10 among them: one digit fewer
    lo = (lo + 9) / 10;
    hi /= 10;
    ++p;
  }
  if (lo == hi || p > 0) return {lo, p};
  const Word v = times_power_of_ten<Word>(x, -p);
  auto d = static_cast<std::uint64_t>(v >> shift);
  const Word rest = v & below, half = one >> 1;
  if (rest > half || (rest == half && d % 2 == 1)) ++d;
  return {d < lo ? lo : d > hi ? hi : d, p};
}

// shortest_decimal in 64 bits where the values fit (floats from about 1e-3),
// else in 128 bits (doubles, smaller floats); false where they fit in
// neither (very small or large values).
[[gnu::always_inline]] inline bool shortest_decimal(const Binary& b, Decimal& out) {
  const int shift = 2 - b.e;
  const int p_floor = (b.e * 315653) >> 20;  // floor(e * log10(2)), exact for |e| < 1200
  if (b.m == 0 || shift < 1 || p_floor > 1) return false;
  // The values that round to b span 2^e, at least 10^p_floor, so a multiple
  // of 10^p_floor lies among them; they span only 3/4 of it where the lower
  // neighbour is closer, and a multiple of 10^(p_floor - 1) is sure then.
  const int p_low = p_floor - (b.lower_closer || p_floor > 0 ? 1 : 0);
  // (4m + 2) * 10^-p_low: m below 2^25 (a float's) leaves room for 10^11 in
  // 64 bits and 10^30 in 128, a double's for 10^21 in 128.
  const bool narrow = b.m < (1ull << 25);
  if (narrow && shift < 64 && -p_low <= 11)
    out = shortest_decimal<std::uint64_t>(b, shift, p_low);
  else if (shift < 128 && -p_low <= (narrow ? max_places : 21))
    out = shortest_decimal<u128>(b, shift, p_low);
  else
    return false;
  return out.p <= 0;
}

constexpr char two_digits[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The 8 digits of n (below 10^8, leading zeros written) at out, found for
// all at once in the lanes of one 64-bit word: two numbers below 10^4 in
// 32-bit lanes, four below 100 in 16-bit lanes, eight digits in bytes (a
// division by 100 or 10 in each lane is a multiply and shift, exact for
// numbers that small).
[[gnu::always_inline]] inline void eight_digits(char* out, std::uint32_t n) {
  std::uint64_t v = (n / 10000) | (static_cast<std::uint64_t>(n % 10000) << 32);
  const std::uint64_t hundreds = ((v * 10486) >> 20) & 0x0000007F0000007Full;
  v = hundreds | ((v - hundreds * 100) << 16);
  const std::uint64_t tens = ((v * 103) >> 10) & 0x000F000F000F000Full;
  v = (tens | ((v - tens * 10) << 8)) + 0x3030303030303030ull;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, &v, 8);
  } else {
    for (int k = 0; k < 8; ++k) out[k] = static_cast<char>(v >> (8 * k));
  }
}

// The number of decimal digits of d (at least 1).
[[gnu::always_inline]] inline int digit_count(std::uint64_t d) {
  static constexpr auto tens = [] {
    std::array<std::uint64_t, 20> t{};
    std::uint64_t ten = 1;
    for (auto& power : t) power = ten, ten *= 10;  // (wraps after 10^19, never stored)
    return t;
  }();
  // The count less one, or the count: whether d reaches 10^t tells which.
  const int t = (static_cast<int>(std::bit_width(d | 1)) * 1233) >> 12;
  return t + (d >= tens[static_cast<std::size_t>(t)]);
}

// The digits of d right-aligned in the 24 bytes at out; their count.
[[gnu::always_inline]] inline int write_digits(char* out, std::uint64_t d) {
  const int n = digit_count(d);
  eight_digits(out + 16, static_cast<std::uint32_t>(d % 100000000));
  if (n <= 8) return n;
  d /= 100000000;
  eight_digits(out + 8, static_cast<std::uint32_t>(d % 100000000));
  if (n <= 16) return n;
  d /= 100000000;
  if (n == 17) {  // (a double's longest: its first digit alone)
    out[7] = static_cast<char>('0' + d);
    return n;
  }
  eight_digits(out, static_cast<std::uint32_t>(d));
  return n;
}

// d * 10^p (p <= 0) fixed or scientific, whichever is shorter. Whole blocks
// of 24 bytes are copied (fixed sizes, no calls), so out needs room past the
// text's end.
[[gnu::always_inline]] inline char* layout(char* out, const Decimal& x) {
  char block[48];  // the digits in the first 24 bytes (the rest: scratch, copied along)
  const int n = write_digits(block, x.d), p = x.p;
  const char* digits = block + 24 - n;
  if (-p < n) {  // the point among the digits (or none): fixed is the shorter
    const int whole = n + p;
    std::memcpy(out, digits, 24);
    if (p == 0) return out + n;
    out[whole] = '.';
    std::memcpy(out + whole + 1, digits + whole, 24);
    return out + n + 1;
  }
  const int exponent = p + n - 1, magnitude = exponent < 0 ? -exponent : exponent;
  const int scientific = n + (n > 1) + 2 + (magnitude >= 100 ? 3 : 2);
  if (2 - p <= scientific) {
    std::memcpy(out, "0.000000", 8);  // (at most 6 zeros: else scientific is shorter)
    std::memcpy(out + 2 - p - n, digits, 24);
    return out + 2 - p;
  }
  out[0] = digits[0];
  out[1] = '.';
  std::memcpy(out + 2, digits + 1, 24);
  out += n > 1 ? n + 1 : 1;
  *out++ = 'e';
  *out++ = exponent < 0 ? '-' : '+';
  if (magnitude >= 100) *out++ = static_cast<char>('0' + magnitude / 100);
  std::memcpy(out, two_digits + 2 * (magnitude % 100), 2);
  return out + 2;
}

template <class Real>
char* write_shortest(char* out, Real v) {
  Decimal x;
  if (!shortest_decimal(binary_of(v), x)) return std::to_chars(out, out + 32, v).ptr;
  if (std::signbit(v)) *out++ = '-';
  return layout(out, x);
}

}  // namespace

char* shortest_text(char* out, float v) { return write_shortest(out, v); }
char* shortest_text(char* out, double v) { return write_shortest(out, v); }

}  // namespace gyro
