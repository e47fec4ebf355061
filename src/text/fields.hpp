// Fixed-column fields of an 80-byte record and their conversion to numbers.
// Blanks are ignored anywhere in a numeric field; a field of blanks reads as zero.
// Real fields are converted to the float nearest to the exact decimal value.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace gyro {

inline constexpr int reclen = 80;  // every record is handled as exactly 80 bytes

// Columns col..col+width-1 (1-based, as the record layouts state them).
inline std::string_view columns(std::string_view line, int col, int width) {
  return line.substr(static_cast<std::size_t>(col - 1), static_cast<std::size_t>(width));
}

// Any integer field: blanks anywhere, optional sign, digits; false when the
// field holds anything else. (Atom records in the usual layout are read by
// usual_atom_fields below; these two read every other form.)
bool int_field(std::string_view field, std::int32_t& value);

// Optional sign, digits with at most one point, optional exponent ("E", "D",
// lower case too, or a bare sign before the exponent digits). Without a point the
// rightmost `decimals` digits are the fraction. False when the text is not of
// that form or the value lies beyond the float range.
bool real_field(std::string_view field, int decimals, float& value);
// The same, to the double nearest to the decimal value.
bool real_field(std::string_view field, int decimals, double& value);

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

// Whether columns 7-11 of `line` (an atom record's serial number) hold only
// blanks and digits: always a valid integer field, whose value nothing needs.
inline bool plain_serial(const char* line) {
  using namespace swar;
  std::uint64_t w;
  std::memcpy(&w, line + 6, 8);
  return (flag_bits(digit_bytes(w) | bytes_equal(w, ' ')) & 0x1F) == 0x1F;
}

// The atom record `line` in the layout nearly every file has: a serial number
// (columns 7-11) of blanks and digits, and three coordinates (31-38, 39-46,
// 47-54) each in the layout of pdb_coordinate. Then x, y, z are in xyz[0..2]
// (xyz[3] is overwritten too) and the result is true; otherwise false, and the
// general conversion must read the record.
#if defined(__SSE2__)
// The work of usual_atom_fields up to the values: each field's digits as a
// whole number of thousandths (below 10^7) in lanes 0-2 of `thousandths`, and
// all ones in the lanes of the negative ones in `negative`.
inline bool usual_atom_thousandths(const char* line, __m128i& thousandths, __m128i& negative) {
  // Two vectors: x and y (columns 31-46); z (47-54) and the bytes of columns
  // 7-14, the serial number and what follows it.
  const __m128i zero = _mm_setzero_si128();
  const __m128i xy = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 30));
  const __m128i zs =
      _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + 46)),
                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + 6)));
  struct Classes {
    __m128i digit, blank, minus, point, values;
  };
  auto classify = [](__m128i v) {
    const __m128i d = _mm_sub_epi8(v, _mm_set1_epi8('0'));
    const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d);
    return Classes{digit, _mm_cmpeq_epi8(v, _mm_set1_epi8(' ')),
                   _mm_cmpeq_epi8(v, _mm_set1_epi8('-')), _mm_cmpeq_epi8(v, _mm_set1_epi8('.')),
                   _mm_and_si128(d, digit)};
  };
  // All ones in the bytes of a field that hold what its layout wants there: in
  // the first four a blank, minus or digit, and a digit wherever anything but a
  // blank stands before it; then the point; then three digits. (Blanks, at
  // most one minus, digits, as pdb_coordinate has it.)
  auto layout = [](const Classes& c, __m128i first, __m128i lead, __m128i point, __m128i decimals) {
    const __m128i after_blank = _mm_or_si128(_mm_slli_si128(c.blank, 1), first);
    const __m128i leading = _mm_and_si128(_mm_or_si128(_mm_or_si128(c.blank, c.minus), c.digit),
                                          _mm_or_si128(c.digit, after_blank));
    return _mm_or_si128(_mm_and_si128(leading, lead),
                        _mm_or_si128(_mm_and_si128(c.point, point),
                                     _mm_and_si128(c.digit, decimals)));
  };
  auto bytes = [](std::uint64_t low, std::uint64_t high) {
    return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
  };
  constexpr std::uint64_t first = 0xFF, lead = 0xFFFFFFFF, point = 0xFF00000000,
                          decimals = 0xFFFFFF0000000000;
  const Classes a = classify(xy), b = classify(zs);
  const __m128i ok_xy = layout(a, bytes(first, first), bytes(lead, lead), bytes(point, point),
                               bytes(decimals, decimals));
  const __m128i serial =
      _mm_or_si128(_mm_and_si128(_mm_or_si128(b.blank, b.digit), bytes(0, 0xFFFFFFFFFF)),
                   bytes(0, 0xFFFFFF0000000000));
  const __m128i ok_zs =
      _mm_or_si128(layout(b, bytes(first, 0), bytes(lead, 0), bytes(point, 0), bytes(decimals, 0)),
                   serial);
  const bool usual = _mm_movemask_epi8(_mm_and_si128(ok_xy, ok_zs)) == 0xFFFF;
  // The digits "abcd.efg" of each field combined by multiply-adds of 16-bit
  // lanes: (10a+b, 10c+d, e, 10f+g), then (abcd, efg), then abcd*1000 + efg,
  // the mantissa below 10^7; an exact conversion and one correctly rounded
  // division by 1000 give the float nearest to the field's value.
  const __m128i pairs = _mm_setr_epi16(10, 1, 10, 1, 0, 1, 10, 1);
  const __m128i x4 = _mm_madd_epi16(_mm_unpacklo_epi8(a.values, zero), pairs);
  const __m128i y4 = _mm_madd_epi16(_mm_unpackhi_epi8(a.values, zero), pairs);
  const __m128i z4 = _mm_madd_epi16(_mm_unpacklo_epi8(b.values, zero), pairs);
  const __m128i hundreds = _mm_setr_epi16(100, 1, 100, 1, 100, 1, 100, 1);
  const __m128i xy2 = _mm_madd_epi16(_mm_packs_epi32(x4, y4), hundreds);
  const __m128i z2 = _mm_madd_epi16(_mm_packs_epi32(z4, z4), hundreds);
  const __m128i thousands = _mm_setr_epi16(1000, 1, 1000, 1, 1000, 1, 1000, 1);
  thousandths = _mm_madd_epi16(_mm_packs_epi32(xy2, z2), thousands);
  // A field with a minus among its bytes is negative.
  const __m128 minus_counts =
      _mm_shuffle_ps(_mm_castsi128_ps(_mm_sad_epu8(a.minus, zero)),
                     _mm_castsi128_ps(_mm_sad_epu8(b.minus, zero)), _MM_SHUFFLE(2, 0, 2, 0));
  negative = _mm_cmpgt_epi32(_mm_castps_si128(minus_counts), zero);
  return usual;
}

inline bool usual_atom_fields(const char* line, float xyz[4]) {
  __m128i thousandths, negative;
  const bool usual = usual_atom_thousandths(line, thousandths, negative);
  // The float nearest to each value, its sign bit set where negative.
  const __m128 values = _mm_div_ps(_mm_cvtepi32_ps(thousandths), _mm_set1_ps(1000.0f));
  _mm_storeu_ps(xyz, _mm_xor_ps(values, _mm_castsi128_ps(_mm_slli_epi32(negative, 31))));
  return usual;
}

// usual_atom_fields to the doubles nearest to the values (--double).
inline bool usual_atom_fields(const char* line, double xyz[3]) {
  __m128i thousandths, negative;
  const bool usual = usual_atom_thousandths(line, thousandths, negative);
  alignas(16) std::int32_t n[4], minus[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(n), thousandths);
  _mm_store_si128(reinterpret_cast<__m128i*>(minus), negative);
  for (int k = 0; k < 3; ++k) {
    const double v = static_cast<double>(n[k]) / 1000.0;
    xyz[k] = minus[k] ? -v : v;
  }
  return usual;
}
#else
inline bool usual_atom_fields(const char* line, float xyz[4]) {
  return plain_serial(line) & pdb_coordinate(line + 30, xyz[0]) &
         pdb_coordinate(line + 38, xyz[1]) & pdb_coordinate(line + 46, xyz[2]);
}
inline bool usual_atom_fields(const char* line, double xyz[3]) {
  float quick[4];
  const bool usual = usual_atom_fields(line, quick);
  // At most 7 digits with 3 decimals: the float is nearest to exactly one such
  // decimal, whose thousandths it gives back.
  for (int k = 0; k < 3; ++k)
    xyz[k] = static_cast<double>(static_cast<std::int32_t>(
                 std::fabs(static_cast<double>(quick[k])) * 1000.0 + 0.5)) /
             1000.0 * (std::signbit(quick[k]) ? -1 : 1);
  return usual;
}
#endif

#if defined(__x86_64__)
// 32 copies of a byte, as a vector operand taken straight from memory. (A
// vector of one repeated byte that the compiler can see is built anew from the
// byte in three instructions every time round a loop; behind the empty asm the
// compiler cannot see the bytes, and loads them.)
struct alignas(32) ByteVector {
  unsigned char b[32];
};
constexpr ByteVector repeated(unsigned char c) {
  ByteVector v{};
  for (auto& b : v.b) b = c;
  return v;
}
inline constexpr ByteVector repeated_bytes[] = {
    repeated('0'), repeated(9),   repeated(' '),  repeated('-'), repeated('.'),
    repeated('\n'), repeated(8),   repeated('\''), repeated('_'), repeated(0x05),
    repeated('A'), repeated(25)};
enum RepeatedByte {
  zero_char, nines, blanks, minuses, points, line_feeds, eight_bits, single_quotes,
  underscores, fives, upper_a, twenty_fives
};
[[gnu::target("avx2")]] inline __m256i repeat(RepeatedByte which) {
  const ByteVector* table = repeated_bytes;
  asm("" : "+r"(table));  // the same for every byte: done once, not per vector
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(table[which].b));
}

// usual_atom_fields with 256-bit vectors, for processors that have them (the
// caller checks): the two 16-byte halves are the two vectors above, so each
// step is one instruction instead of two, and the digits pair up in one
// multiply-add of bytes.
//   The fields in one vector: bytes 0-23 the coordinate fields, 24-31 columns
// 7-14 of the record (the serial number and what follows it).
[[gnu::target("avx2")]] inline __m256i atom_fields_vector(const char* line) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 30))),
      _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + 46)),
                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + 6))),
      1);
}
// The values of three fixed-point fields, one in each of the first three
// 64-bit lanes of `digits` (each byte its digit's value, 0 elsewhere): the
// digits paired by the byte weights, the pairs by the 16-bit weights, the two
// parts of each field by the 32-bit `parts` weights into its mantissa (below
// 10^7: exact as a float), then one correctly rounded division by `scale`.
// A field is negative where `minus` marks a byte of its lane or `sign_before`
// its 32-bit lane.
[[gnu::target("avx2"), gnu::always_inline]] inline void three_fields_values(
    __m256i digits, long long byte_weights, long long pair_weights, int parts, float scale,
    __m256i minus, __m128i sign_before, float xyz[4]) {
  const __m256i pairs = _mm256_maddubs_epi16(digits, _mm256_set1_epi64x(byte_weights));
  const __m256i halves = _mm256_madd_epi16(pairs, _mm256_set1_epi64x(pair_weights));
  const __m256i mantissas =
      _mm256_madd_epi16(_mm256_packs_epi32(halves, halves), _mm256_set1_epi32(parts));
  const __m128i m = _mm256_castsi256_si128(
      _mm256_permutevar8x32_epi32(mantissas, _mm256_setr_epi32(0, 1, 4, 5, 0, 1, 4, 5)));
  const __m128 values = _mm_div_ps(_mm_cvtepi32_ps(m), _mm_set1_ps(scale));
  const __m128i minus_counts = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(
      _mm256_sad_epu8(minus, _mm256_setzero_si256()), _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6)));
  const __m128i negative =
      _mm_cmpgt_epi32(_mm_or_si128(minus_counts, sign_before), _mm_setzero_si128());
  _mm_storeu_ps(xyz, _mm_xor_ps(values, _mm_castsi128_ps(_mm_slli_epi32(negative, 31))));
}

// The mask is that of the 32 bytes of `v` that hold what their place wants
// (all ones: the usual layout); the values are written whatever it is, and
// `digit` marks the bytes that are digits.
[[gnu::target("avx2"), gnu::always_inline]] inline int atom_fields_wide_mask(__m256i v,
                                                                            float xyz[4],
                                                                            __m256i& digit) {
  const __m256i d = _mm256_sub_epi8(v, repeat(zero_char));
  digit = _mm256_cmpeq_epi8(_mm256_min_epu8(d, repeat(nines)), d);
  const __m256i blank = _mm256_cmpeq_epi8(v, repeat(blanks));
  const __m256i minus = _mm256_cmpeq_epi8(v, repeat(minuses));
  const __m256i point = _mm256_cmpeq_epi8(v, repeat(points));
  // Bytes 0-23: x, y, z, 8 each; 24-31: columns 7-14, the serial number in
  // 24-28. Each 64-bit constant below marks bytes of one field (or of 24-31).
  constexpr long long first = 0xFF, lead = 0xFFFFFFFF, at_point = 0xFF00000000,
                      decimals = static_cast<long long>(0xFFFFFF0000000000), serial = 0xFFFFFFFFFF;
  const __m256i after_blank =
      _mm256_or_si256(_mm256_slli_si256(blank, 1), _mm256_setr_epi64x(first, first, first, 0));
  const __m256i leading = _mm256_and_si256(_mm256_or_si256(_mm256_or_si256(blank, minus), digit),
                                           _mm256_or_si256(digit, after_blank));
  const __m256i fields = _mm256_or_si256(
      _mm256_and_si256(leading, _mm256_setr_epi64x(lead, lead, lead, 0)),
      _mm256_or_si256(_mm256_and_si256(point, _mm256_setr_epi64x(at_point, at_point, at_point, 0)),
                      _mm256_and_si256(digit, _mm256_setr_epi64x(decimals, decimals, decimals, 0))));
  const __m256i ok = _mm256_or_si256(
      fields,
      _mm256_or_si256(_mm256_and_si256(_mm256_or_si256(blank, digit), _mm256_setr_epi64x(0, 0, 0, serial)),
                      _mm256_setr_epi64x(0, 0, 0, ~serial)));
  const int usual = _mm256_movemask_epi8(ok);
  // (10a+b, 10c+d, e, 10f+g), (abcd, efg), abcd*1000 + efg for each field.
  three_fields_values(_mm256_and_si256(d, digit), 0x010A0100010A010A, 0x0001006400010064,
                      0x000103E8, 1000.0f, minus, _mm_setzero_si128(), xyz);
  return usual;
}
[[gnu::target("avx2"), gnu::always_inline]] inline bool usual_atom_fields_wide(__m256i v,
                                                                              float xyz[4]) {
  __m256i digit;
  return atom_fields_wide_mask(v, xyz, digit) == -1;
}
// Three coordinate fields of the usual layout side by side at `f` (24 bytes),
// as GRO atom lines have them: true and their values in xyz[0..2] (xyz[3]
// is overwritten too), else false.
[[gnu::target("avx2")]] inline bool three_coordinate_fields_wide(const char* f, float xyz[4]) {
  const __m256i v = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(f))),
      _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(f + 16)),
                         _mm_set1_epi8(' ')),  // (in the serial number's place: blanks)
      1);
  return usual_atom_fields_wide(v, xyz);
}

// The three coordinates of an SDF (V2000) atom line, columns 1-30, in the
// layout nearly every file has: each 10-wide field a blank, then blanks, at
// most one minus and one to three digits, the point, four decimals
// ("   -1.2345"). True and their values in xyz[0..2] (the float nearest to
// each, as the field-by-field reading gives it; xyz[3] is overwritten too),
// else false. The line must hold 32 bytes.
[[gnu::target("avx2")]] inline bool sdf_coordinate_fields_wide(const char* line, float xyz[4]) {
  // Each field's bytes 3-10 in a 64-bit lane ("abc.defg"); its first two are
  // tested in the line's first 32 bytes, a bit a byte: a blank, then a blank
  // or a minus before a digit.
  auto bytes = [&](int k) {
    long long w;
    std::memcpy(&w, line + k, 8);
    return w;
  };
  const __m256i whole = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line));
  const __m256i whole_d = _mm256_sub_epi8(whole, repeat(zero_char));
  const auto blank_bits =
      static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(whole, repeat(blanks))));
  const auto minus_bits =
      static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(whole, repeat(minuses))));
  const auto digit_bits = static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(whole_d, repeat(nines)), whole_d)));
  constexpr std::uint32_t firsts = 1u | 1u << 10 | 1u << 20, seconds = firsts << 1;
  const bool prefixes = (blank_bits & firsts) == firsts &&
                        ((blank_bits | (minus_bits & (digit_bits >> 1))) & seconds) == seconds;
  const __m256i v = _mm256_setr_epi64x(bytes(2), bytes(12), bytes(22), 0);
  const __m256i d = _mm256_sub_epi8(v, repeat(zero_char));
  const __m256i digit = _mm256_cmpeq_epi8(_mm256_min_epu8(d, repeat(nines)), d);
  const __m256i blank = _mm256_cmpeq_epi8(v, repeat(blanks));
  const __m256i minus = _mm256_cmpeq_epi8(v, repeat(minuses));
  const __m256i point = _mm256_cmpeq_epi8(v, repeat(points));
  constexpr long long first = 0xFF, lead = 0xFFFF, units = 0xFF0000, at_point = 0xFF000000,
                      decimals = static_cast<long long>(0xFFFFFFFF00000000);
  const __m256i after_blank =
      _mm256_or_si256(_mm256_slli_si256(blank, 1), _mm256_setr_epi64x(first, first, first, 0));
  const __m256i leading = _mm256_and_si256(_mm256_or_si256(_mm256_or_si256(blank, minus), digit),
                                           _mm256_or_si256(digit, after_blank));
  const __m256i ok = _mm256_or_si256(
      _mm256_or_si256(_mm256_and_si256(leading, _mm256_setr_epi64x(lead, lead, lead, 0)),
                      _mm256_and_si256(digit, _mm256_setr_epi64x(units | decimals, units | decimals,
                                                                 units | decimals, 0))),
      _mm256_or_si256(_mm256_and_si256(point, _mm256_setr_epi64x(at_point, at_point, at_point, 0)),
                      _mm256_setr_epi64x(0, 0, 0, -1)));
  // (10a+b, c, 10d+e, 10f+g), (abc, defg), abc*10000 + defg for each field.
  three_fields_values(
      _mm256_and_si256(d, digit), 0x010A010A0001010A, 0x000100640001000A, 0x00012710, 10000.0f,
      minus,
      _mm_setr_epi32(static_cast<int>(minus_bits >> 1 & 1), static_cast<int>(minus_bits >> 11 & 1),
                     static_cast<int>(minus_bits >> 21 & 1), 0),
      xyz);
  return prefixes & (_mm256_movemask_epi8(ok) == -1);
}

// Whether a mask of atom_fields_wide_mask finds all but the serial number
// (bytes 24-28) in the usual layout.
constexpr bool only_serial_unusual(int mask) { return (mask | 0x1F000000) == -1; }

// Whether the mask of atom_fields_wide_mask for the fields vector `v`
// (`digit` its digits) finds every field in the usual layout but the serial
// number (bytes 24-28, columns 7-11), and that is hybrid-36 in upper case as
// simulation programs write it past 99 999: a letter, then four digits or
// letters ("A0000", "B12ZZ").
[[gnu::target("avx2"), gnu::always_inline]] inline bool usual_but_upper_hybrid36_serial(
    int mask, __m256i v, __m256i digit) {
  const __m256i d = _mm256_sub_epi8(v, repeat(upper_a));
  const __m256i upper = _mm256_cmpeq_epi8(_mm256_min_epu8(d, repeat(twenty_fives)), d);
  // (A letter in byte 24, a digit or letter in 25-28.)
  const __m256i wanted =
      _mm256_or_si256(upper, _mm256_and_si256(digit, _mm256_setr_epi64x(0, 0, 0, 0xFFFFFFFF00)));
  return ((mask | 0x1F000000) & (_mm256_movemask_epi8(wanted) | ~0x1F000000)) == -1;
}

[[gnu::target("avx2")]] inline bool usual_atom_fields_wide(const char* line, float xyz[4]) {
  return usual_atom_fields_wide(atom_fields_vector(line), xyz);
}

// usual_atom_fields to doubles with 256-bit vectors: the floats read there are
// each nearest to exactly one decimal of at most 7 digits with 3 decimals, so
// their thousandths come back exactly (the float times 1000 is exact in
// double and within half of them), and divided by 1000 give the double nearest
// to the decimal.
[[gnu::target("avx2")]] inline int atom_fields_wide_mask(__m256i fields, double xyz[3],
                                                         __m256i& digit) {
  float quick[4];
  const int usual = atom_fields_wide_mask(fields, quick, digit);
  const __m256d thousandths = _mm256_round_pd(
      _mm256_mul_pd(_mm256_cvtps_pd(_mm_loadu_ps(quick)), _mm256_set1_pd(1000.0)),
      _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  alignas(32) double v[4];
  _mm256_store_pd(v, _mm256_div_pd(thousandths, _mm256_set1_pd(1000.0)));
  xyz[0] = v[0], xyz[1] = v[1], xyz[2] = v[2];
  return usual;
}
[[gnu::target("avx2")]] inline bool usual_atom_fields_double_wide(__m256i fields, double xyz[3]) {
  __m256i digit;
  return atom_fields_wide_mask(fields, xyz, digit) == -1;
}
[[gnu::target("avx2")]] inline bool usual_atom_fields_double_wide(const char* line,
                                                                  double xyz[3]) {
  return usual_atom_fields_double_wide(atom_fields_vector(line), xyz);
}
#endif

}  // namespace gyro
