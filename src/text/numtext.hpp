// Number and message text: fixed-point fields and free-form lines.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace gyro {

// Writes v into out[0..width) with `decimals` decimals (at most 8), right-justified:
// the exact value of v rounded to nearest, ties to even; "-" whenever the sign bit
// is set; "NaN", "Infinity" or "Inf"; width asterisks when the text is too wide.
// Returns true when v was written as a finite number that fits.
bool fixed_field(char* out, float v, int width, int decimals);
bool fixed_field(char* out, double v, int width, int decimals);

// The same field as a string (a float widened to double is the same value).
std::string fixed(double v, int width, int decimals);

// Text pieces of 8-column coordinate fields, made at compile time: the
// blank-filled whole part of every value from 0 to 9999 ("   0" to "9999") and
// from -0 to -999 ("  -0" to "-999"), 4 bytes each, and the 3 decimals of
// every 0 to 999.
struct CoordinateText {
  std::uint32_t whole[10000 + 1000];  // 10000 + w: the negative whole part w
  std::uint32_t decimals[1000];
};

constexpr CoordinateText make_coordinate_text() {
  CoordinateText t{};
  auto word = [](const char (&c)[4]) {
    return std::uint32_t(std::uint8_t(c[0])) | std::uint32_t(std::uint8_t(c[1])) << 8 |
           std::uint32_t(std::uint8_t(c[2])) << 16 | std::uint32_t(std::uint8_t(c[3])) << 24;
  };
  for (int i = 0; i < 11000; ++i) {
    const bool negative = i >= 10000;
    int w = negative ? i - 10000 : i;
    char c[4] = {' ', ' ', ' ', ' '};
    int at = 3;
    do {
      c[at--] = static_cast<char>('0' + w % 10);
      w /= 10;
    } while (w > 0);
    if (negative) c[at] = '-';
    t.whole[i] = word(c);
  }
  for (int i = 0; i < 1000; ++i) {
    const char c[4] = {static_cast<char>('0' + i / 100), static_cast<char>('0' + i / 10 % 10),
                       static_cast<char>('0' + i % 10), 0};
    t.decimals[i] = word(c);
  }
  return t;
}

inline constexpr CoordinateText coordinate_text = make_coordinate_text();

// The coordinate field of |v| = n thousandths (below 10^7) from the tables,
// signed as v; the general conversion where it does not fit ("-1000.000").
template <class Real>
inline bool coordinate_thousandths(char* out, std::uint32_t n, Real v) {
  const std::uint32_t whole = n / 1000, decimals = n - whole * 1000;
  const bool negative = std::signbit(v);
  if (negative && whole >= 1000) return fixed_field(out, v, 8, 3);
  const std::uint64_t text = coordinate_text.whole[whole + (negative ? 10000u : 0u)] |
                             std::uint64_t{'.'} << 32 |
                             std::uint64_t{coordinate_text.decimals[decimals]} << 40;
  std::memcpy(out, &text, 8);
  return true;
}

// fixed_field(out, v, 8, 3), the coordinate field of a structure file, made
// quickly for the values that fit.
inline bool coordinate_field(char* out, float v) {
  const float a = std::fabs(v);
  if (std::endian::native != std::endian::little || !(a < 9999.0f))
    return fixed_field(out, v, 8, 3);  // also NaN and infinities
  // |v|·1000 is an exact double below 2^52: adding and taking away 2^52 rounds
  // it to a whole number, half to even, in the default rounding mode.
  const double scaled = static_cast<double>(a) * 1000.0;
  return coordinate_thousandths(out, static_cast<std::uint32_t>((scaled + 0x1p52) - 0x1p52), v);
}

// The same for a double (--double): |v|·1000 rounded in double lies within
// 2^-29 of the exact product below 10^7, so where it is not within 1e-6 of a
// half its nearest whole number is the exact product's; a near-tie, and any
// value that does not fit, goes to the general conversion.
inline bool coordinate_field(char* out, double v) {
  const double a = std::fabs(v);
  if (std::endian::native != std::endian::little || !(a < 9999.0))
    return fixed_field(out, v, 8, 3);  // also NaN and infinities
  const double scaled = a * 1000.0;
  const double nearest = (scaled + 0x1p52) - 0x1p52;
  if (std::fabs(std::fabs(scaled - nearest) - 0.5) < 1e-6) return fixed_field(out, v, 8, 3);
  return coordinate_thousandths(out, static_cast<std::uint32_t>(nearest), v);
}

// The three coordinate fields x, y, z (xyz[0..2]) at out, out + 8, out + 16;
// returns how many did not fit (asterisks, NaN or Inf), as coordinate_field.
inline int coordinate_fields(char* out, const float xyz[4]) {
  int unfit = 0;
  for (int k = 0; k < 3; ++k) unfit += !coordinate_field(out + 8 * k, xyz[k]);
  return unfit;
}

#if defined(__x86_64__)
// coordinate_fields for processors with 256-bit vectors (the caller checks),
// x, y, z in the first three lanes of v; the fourth may hold anything (it is scaled too, but never looked up or
// written unless it fits like a coordinate, and then only in the tables): the three values are scaled, rounded and split into whole
// part and decimals together, as coordinate_field does one by one (the double
// quotient of a whole number below 10^7 by 1000, rounded down, is its exact
// whole part), and their texts are gathered from the tables at once.
// The constants of coordinate_fields_wide, loaded from memory as operands
// (the compiler would otherwise build some from immediates, or turn the
// multiplication by 1000 into shifts, in every record).
struct alignas(32) CoordinateFieldConstants {
  double thousand_d[4] = {1000.0, 1000.0, 1000.0, 1000.0};
  std::int32_t thousand[4] = {1000, 1000, 1000, 1000};
  std::int32_t most_negative_whole[4] = {999, 999, 999, 999};
  std::int32_t negative_offset[4] = {10000, 10000, 10000, 10000};
  std::int32_t point[4] = {'.', '.', '.', '.'};
  float largest[4] = {9999.0f, 9999.0f, 9999.0f, 9999.0f};
  float sign[4] = {-0.0f, -0.0f, -0.0f, -0.0f};
  double largest_d[4] = {9999.0, 9999.0, 9999.0, 9999.0};
  double sign_d[4] = {-0.0, -0.0, -0.0, -0.0};
  double half[4] = {0.5, 0.5, 0.5, 0.5};
  double near_tie[4] = {1e-6, 1e-6, 1e-6, 1e-6};
  std::int32_t low_halves[8] = {0, 2, 4, 6, 0, 2, 4, 6};
};
inline constexpr CoordinateFieldConstants coordinate_field_constants{};

// The texts of three fields from their whole parts and decimals, where
// `fits` (a lane mask; `negative` the signs) says they fit, gathered from the
// tables: fields x and y in `low`, z (and a fourth of no use) in `high`.
[[gnu::target("avx2"), gnu::always_inline]] inline void gather_coordinate_texts(
    __m128i whole, __m128i decimals, __m128i negative, __m128i fits,
    const CoordinateFieldConstants* c, __m128i& low, __m128i& high) {
  const __m128i offset = _mm_load_si128(reinterpret_cast<const __m128i*>(c->negative_offset));
  const __m128i index = _mm_add_epi32(whole, _mm_and_si128(negative, offset));
  const __m128i whole_text = _mm_mask_i32gather_epi32(
      _mm_setzero_si128(), reinterpret_cast<const int*>(coordinate_text.whole), index, fits, 4);
  const __m128i decimals_text = _mm_mask_i32gather_epi32(
      _mm_setzero_si128(), reinterpret_cast<const int*>(coordinate_text.decimals), decimals, fits, 4);
  // "dddd" then ".ddd": the decimals moved up one byte behind the point.
  const __m128i tail = _mm_or_si128(_mm_slli_epi32(decimals_text, 8),
                                    _mm_load_si128(reinterpret_cast<const __m128i*>(c->point)));
  low = _mm_unpacklo_epi32(whole_text, tail);
  high = _mm_unpackhi_epi32(whole_text, tail);
}
// The same stored at out. Which fields fit (a bit each); the caller writes
// the others by the general conversion.
[[gnu::target("avx2"), gnu::always_inline]] inline int store_coordinate_texts(
    char* out, __m128i whole, __m128i decimals, __m128i negative, __m128i fits,
    const CoordinateFieldConstants* c) {
  __m128i low, high;
  gather_coordinate_texts(whole, decimals, negative, fits, c, low, high);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), low);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), high);
  return _mm_movemask_ps(_mm_castsi128_ps(fits)) & 7;
}
// The fields that did not fit (`fitting` bits clear) by the general
// conversion from x, y, z: how many of them do not fit it either.
template <class Real>
[[gnu::cold, gnu::noinline]] int unfit_coordinate_fields(char* out, int fitting, const Real* xyz) {
  int unfit = 0;
  for (int k = 0; k < 3; ++k)
    if (!((fitting >> k) & 1)) unfit += !fixed_field(out + 8 * k, xyz[k], 8, 3);
  return unfit;
}

// A single-precision value's parts for its field (x, y, z in the first
// three lanes of v): whole part, decimals, sign, and whether it fits the
// tables.
struct CoordinateParts {
  __m128i whole, decimals, negative, fits;
};
[[gnu::target("avx2"), gnu::always_inline]] inline CoordinateParts coordinate_parts(
    __m128 v, const CoordinateFieldConstants* c) {
  auto ints = [](const std::int32_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); };
  const __m128 a = _mm_andnot_ps(_mm_load_ps(c->sign), v);
  const __m256d thousand = _mm256_load_pd(c->thousand_d);
  const __m256d n = _mm256_round_pd(_mm256_mul_pd(_mm256_cvtps_pd(a), thousand),
                                    _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  CoordinateParts p;
  p.whole = _mm256_cvtpd_epi32(_mm256_floor_pd(_mm256_div_pd(n, thousand)));
  p.decimals = _mm_sub_epi32(_mm256_cvtpd_epi32(n), _mm_mullo_epi32(p.whole, ints(c->thousand)));
  // A value fits below 9999 in magnitude, and when negative with a whole part
  // below 1000; the others (and NaN) are written one by one below.
  p.negative = _mm_srai_epi32(_mm_castps_si128(v), 31);
  p.fits = _mm_andnot_si128(
      _mm_and_si128(p.negative, _mm_cmpgt_epi32(p.whole, ints(c->most_negative_whole))),
      _mm_castps_si128(_mm_cmplt_ps(a, _mm_load_ps(c->largest))));
  return p;
}
[[gnu::target("avx2")]] inline int coordinate_fields_wide(char* out, __m128 v) {
  const CoordinateFieldConstants* c = &coordinate_field_constants;
  asm("" : "+r"(c));  // the same for every record: taken once, read as memory operands
  const CoordinateParts p = coordinate_parts(v, c);
  const int fitting = store_coordinate_texts(out, p.whole, p.decimals, p.negative, p.fits, c);
  if (fitting == 7) [[likely]]
    return 0;
  alignas(16) float xyz[4];
  _mm_store_ps(xyz, v);
  return unfit_coordinate_fields(out, fitting, xyz);
}
// The three fields as coordinate_fields_wide writes them, field k in the
// 64-bit lane k of `fields`, where all three fit the tables (else false).
[[gnu::target("avx2")]] inline bool coordinate_field_lanes_wide(__m128 v, __m256i& fields) {
  const CoordinateFieldConstants* c = &coordinate_field_constants;
  asm("" : "+r"(c));  // (as above)
  const CoordinateParts p = coordinate_parts(v, c);
  __m128i low, high;
  gather_coordinate_texts(p.whole, p.decimals, p.negative, p.fits, c, low, high);
  fields = _mm256_set_m128i(high, low);
  return (_mm_movemask_ps(_mm_castsi128_ps(p.fits)) & 7) == 7;
}
#endif

#if defined(__x86_64__)
// The three coordinate fields of doubles (--double; x, y, z in the first
// three lanes of v, the fourth 0), as coordinate_field(double) writes them one
// by one: the thousandths rounded together where no value is within 1e-6 of a
// tie; a near-tie, and a value that does not fit, written by the general
// conversion.
[[gnu::target("avx2"), gnu::always_inline]] inline int coordinate_fields_double_wide(char* out,
                                                                                     __m256d v) {
  const CoordinateFieldConstants* c = &coordinate_field_constants;
  asm("" : "+r"(c));  // the same for every record: taken once, read as memory operands
  auto ints = [](const std::int32_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); };
  const __m256i low_halves = _mm256_load_si256(reinterpret_cast<const __m256i*>(c->low_halves));
  const __m256d a = _mm256_andnot_pd(_mm256_load_pd(c->sign_d), v);
  const __m256d thousand = _mm256_load_pd(c->thousand_d);
  const __m256d scaled = _mm256_mul_pd(a, thousand);
  const __m256d n = _mm256_round_pd(scaled, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  const __m256d off_half = _mm256_sub_pd(
      _mm256_andnot_pd(_mm256_load_pd(c->sign_d), _mm256_sub_pd(scaled, n)), _mm256_load_pd(c->half));
  const __m256d clear = _mm256_and_pd(
      _mm256_cmp_pd(a, _mm256_load_pd(c->largest_d), _CMP_LT_OQ),
      _mm256_cmp_pd(_mm256_andnot_pd(_mm256_load_pd(c->sign_d), off_half),
                    _mm256_load_pd(c->near_tie), _CMP_GE_OQ));
  // (Lanes that are not clear may hold anything: they are not looked up.)
  const __m256d n_clear = _mm256_and_pd(n, clear);
  const __m128i whole = _mm256_cvtpd_epi32(_mm256_floor_pd(_mm256_div_pd(n_clear, thousand)));
  const __m128i decimals =
      _mm_sub_epi32(_mm256_cvtpd_epi32(n_clear), _mm_mullo_epi32(whole, ints(c->thousand)));
  // (64-bit lane masks to 32-bit ones: the low halves, equal to the high.)
  const __m128i negative = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(
      _mm256_cmpgt_epi64(_mm256_setzero_si256(), _mm256_castpd_si256(v)), low_halves));
  const __m128i is_clear = _mm256_castsi256_si128(
      _mm256_permutevar8x32_epi32(_mm256_castpd_si256(clear), low_halves));
  const __m128i fits = _mm_andnot_si128(
      _mm_and_si128(negative, _mm_cmpgt_epi32(whole, ints(c->most_negative_whole))), is_clear);
  const int fitting = store_coordinate_texts(out, whole, decimals, negative, fits, c);
  if (fitting == 7) [[likely]]
    return 0;
  alignas(32) double xyz[4];
  _mm256_store_pd(xyz, v);
  return unfit_coordinate_fields(out, fitting, xyz);
}
[[gnu::target("avx2")]] inline int coordinate_fields_double_wide(char* out, double x, double y,
                                                                  double z) {
  return coordinate_fields_double_wide(out, _mm256_setr_pd(x, y, z, 0.0));
}
#endif

// Bytes of a file or argument as they may be shown on a terminal: each control
// character becomes one "?", so that no escape sequence reaches it: the bytes
// 0x00-0x1f and 0x7f, the UTF-8 forms of U+0080-U+009F (c2 80 - c2 9f), and
// the bytes 0x80-0x9f that are not part of valid UTF-8 (controls on 8-bit
// terminals). Every other byte stays, so valid UTF-8 names show as they are.
std::string printable(std::string_view bytes);

// "gyrolabium: NAME: ", the start of a message about a file, the name printable.
std::string about(std::string_view name);

// The length of the valid UTF-8 sequence at the front of `s` (1-4; no
// overlong forms, surrogates or code points past U+10FFFF), or 0.
std::size_t utf8_sequence(std::string_view s);

// A line built from text items and whole numbers: it starts with one blank, a
// number takes 11 columns, and one blank stands before every item except the
// first and except a text that follows a text. No items: an empty line.
class FreeLine {
 public:
  FreeLine& text(std::string_view t);
  FreeLine& num(long v);
  // The line with its line feed.
  std::string str() const { return line_ + '\n'; }

 private:
  std::string line_;
  bool any_ = false;
  bool last_text_ = false;
};

}  // namespace gyro
