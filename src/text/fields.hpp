// Fixed-column fields of an 80-byte record and their conversion to numbers.
// Blanks are ignored anywhere in a numeric field; a field of blanks reads as zero.
// Real fields are converted to the float nearest to the exact decimal value.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace gyro {

inline constexpr int reclen = 80;  // every record is handled as exactly 80 bytes

// Columns col..col+width-1 (1-based, as the record layouts state them).
inline std::string_view columns(std::string_view line, int col, int width) {
  return line.substr(static_cast<std::size_t>(col - 1), static_cast<std::size_t>(width));
}

// Any integer field: blanks anywhere, optional sign, digits; false when the
// field holds anything else. (Atom records in the usual layout are read by
// pdb_serial and pdb_coordinates below; these two read every other form.)
bool int_field(std::string_view field, std::int32_t& value);

// Optional sign, digits with at most one point, optional exponent ("E", "D",
// lower case too, or a bare sign before the exponent digits). Without a point the
// rightmost `decimals` digits are the fraction. False when the text is not of
// that form or the value lies beyond the float range.
bool real_field(std::string_view field, int decimals, float& value);

// Byte-parallel tests on 8 bytes held in a 64-bit word, first byte lowest.
namespace swar {

inline constexpr std::uint64_t ones = 0x0101010101010101;

// 0x80 in each byte equal to b, 0 elsewhere.
inline std::uint64_t bytes_equal(std::uint64_t w, unsigned char b) {
  const std::uint64_t x = w ^ (ones * b);
  return ~(((x & (ones * 0x7F)) + ones * 0x7F) | x) & (ones * 0x80);
}

// 0x80 in each byte that is a decimal digit.
inline std::uint64_t digit_bytes(std::uint64_t w) {
  const std::uint64_t high3 = bytes_equal(w & (ones * 0xF0), 0x30);
  const std::uint64_t above9 = ((w & (ones * 0x0F)) + ones * 0x06) & (ones * 0x10);
  return high3 & ~(above9 << 3);
}

// Bit i set where byte i is flagged with 0x80.
inline unsigned flag_bits(std::uint64_t flags) {
  return static_cast<unsigned>(((flags >> 7) * 0x0102040810204080) >> 56);
}

// The number written by 8 digit values, one a byte, first byte most significant.
inline std::uint64_t eight_digits(std::uint64_t v) {
  v = (v * 10) + (v >> 8);
  return (((v & 0x000000FF000000FF) * (100 + (1000000ULL << 32))) +
          (((v >> 16) & 0x000000FF000000FF) * (1 + (10000ULL << 32)))) >> 32;
}

}  // namespace swar

// Whether one 8-byte field of flag bits (bit i: byte i blank, minus, point,
// digit) has the coordinate layout below.
inline bool coordinate_shape(unsigned b, unsigned m, unsigned p, unsigned d) {
  const unsigned bh = b & 0xF, notd = ~d & 0xF, mh = m & 0xF;
  return (p == 0x10) & ((d & 0xE0) == 0xE0) & (((b | m | d) & 0xF) == 0xF) &
         ((bh & (bh + 1)) == 0) & ((notd & (notd + 1)) == 0) & ((mh & (mh - 1)) == 0);
}

// The value of a field of coordinate layout from its 8 digit values (0 where
// no digit stands) and its sign.
inline float coordinate_value(std::uint64_t digit_values, bool neg) {
  const std::uint64_t n = swar::eight_digits(digit_values);
  const auto mantissa = static_cast<std::uint32_t>(n / 10000 * 1000 + n % 1000);
  const float v = static_cast<float>(mantissa) / 1000.0f;
  return neg ? -v : v;
}

// The 8 bytes at f in the layout every PDB coordinate has: blanks, then at most
// one minus, then digits in the first 4; the point; 3 decimal digits. Decided for all
// 8 bytes at once, without branching on the text (whose shape varies from field
// to field), then one exact float division, as for any mantissa below 2^24.
// False for any other text, which real_field then reads.
inline bool pdb_coordinate(const char* f, float& value) {
  using namespace swar;
  if constexpr (std::endian::native != std::endian::little) return false;
  std::uint64_t w;
  std::memcpy(&w, f, 8);
  const std::uint64_t digits = digit_bytes(w);
  const unsigned d = flag_bits(digits), b = flag_bits(bytes_equal(w, ' ')),
                 m = flag_bits(bytes_equal(w, '-')), p = flag_bits(bytes_equal(w, '.'));
  value = coordinate_value(w & (ones * 0x0F) & ((digits >> 7) * 0xFF), m != 0);
  return coordinate_shape(b, m, p, d);
}

// The serial number of an atom record (columns 7-11 of `line`) when it is
// right-justified digits with at most a minus before them; false otherwise.
bool pdb_serial(const char* line, std::int32_t& serial);

// The three coordinates of an atom record (columns 31-54 of `line`) when all
// three have the usual layout; false otherwise.
bool pdb_coordinates(const char* line, float xyz[3]);

}  // namespace gyro
