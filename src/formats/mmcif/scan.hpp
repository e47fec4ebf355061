// Finding the values of mmCIF lines quickly: 64 bytes at a time as bit
// masks (blanks, line feeds, the bytes that may make a line anything but
// plain values), with the vectors every x86-64 processor has or with 256-bit
// ones; and reading short values and coordinates where they stand.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "text/fields.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace gyro::cif {

// The bytes that separate values: blanks, tabs, carriage returns and the
// other control bytes (which mmCIF text does not hold), as a table looked up
// for every byte.
struct Blanks {
  bool is[256] = {};
  constexpr Blanks() {
    for (int c = 0; c <= ' '; ++c) is[c] = true;
  }
};
inline constexpr Blanks blanks;
inline bool blank(char c) { return blanks.is[static_cast<unsigned char>(c)]; }

// The value that begins at p when it is at most 8 bytes long (9 may be read
// from p): the first byte up to ' ' ends it, found in all 8 at once (flagged
// exactly: no borrow reaches the first).
inline bool short_value(const char* p, std::string_view& value) {
  if constexpr (std::endian::native != std::endian::little) return false;
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  const std::uint64_t ends = (w - swar::ones * 0x21) & ~w & (swar::ones * 0x80);
  const std::size_t n = ends != 0 ? static_cast<std::size_t>(std::countr_zero(ends)) / 8 : 8;
  if (n == 8 && static_cast<unsigned char>(p[8]) > ' ') return false;
  value = {p, n};
  return true;
}

// Three coordinate values of 5 to 8 bytes (8 may be read from each start)
// set right-aligned among blanks into the coordinate fields of an atom record
// (blanks, at most one minus, digits in the first 4 bytes; the point; 3
// decimals) and read as that record's are; false when one is not of that
// layout.
template <class Real>
bool record_coordinates(const std::string_view (&text)[3], Real* xyz) {
  if constexpr (std::endian::native != std::endian::little) return false;
  for (const std::string_view t : text)
    if (t.size() < 5 || t.size() > 8) return false;
  alignas(16) char record[64];
  std::memset(record + 6, ' ', 8);  // a serial number of blanks
  for (int k = 0; k < 3; ++k) {
    std::uint64_t w;
    std::memcpy(&w, text[k].data(), 8);
    const unsigned pad = 8 * static_cast<unsigned>(8 - text[k].size());
    w = (w << pad) | (swar::ones * ' ' & ((std::uint64_t{1} << pad) - 1));
    std::memcpy(record + 30 + 8 * k, &w, 8);
  }
  return usual_atom_fields(record, xyz);
}

// 64 bytes of text as bits (bit i: byte i): the blanks (bytes up to ' '),
// the bytes that may keep a line from being read as plain values (quotes,
// "#", and "_", which every keyword and tag holds) and the line feeds.
struct WordMasks {
  std::uint64_t blank, special, feed;
};

// The bytes of 64 that may keep a line from being read as plain values, by
// kind, as bits.
struct SpecialMasks {
  std::uint64_t single_quote, double_quote, hash, underscore;
};

struct LineMasks;

// The masks of 32 bytes and of the 32 after them as those of 64.
[[gnu::always_inline]] inline WordMasks joined(const WordMasks& low, const WordMasks& high) {
  return {low.blank | high.blank << 32, low.special | high.special << 32,
          low.feed | high.feed << 32};
}

// The scan with the vectors every processor of its kind has.
struct NarrowScan {
  // The masks of the 32 bytes at p (bits 0-31).
  [[gnu::always_inline]] static WordMasks half(const char* p) {
    WordMasks m{0, 0, 0};
#if defined(__SSE2__)
    for (int c = 0; c < 2; ++c) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * c));
      auto eq = [&](char b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(b)); };
      auto bits = [&](__m128i x) {
        return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(x))} << (16 * c);
      };
      m.blank |= bits(_mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(' ')), v));
      // '"', '#' and '\'' (and '&', which only costs a closer look) are the
      // bytes that the bits 0x05 make '\''.
      const __m128i hash_or_quote =
          _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(0x05)), _mm_set1_epi8('\''));
      m.special |= bits(_mm_or_si128(hash_or_quote, eq('_')));
      m.feed |= bits(eq('\n'));
    }
#else
    for (int i = 0; i < 32; ++i) {
      const std::uint64_t bit = std::uint64_t{1} << i;
      const char c = p[i];
      if (blank(c)) m.blank |= bit;
      if (c == '\'' || c == '"' || c == '#' || c == '_') m.special |= bit;
      if (c == '\n') m.feed |= bit;
    }
#endif
    return m;
  }
  [[gnu::always_inline]] static WordMasks word(const char* p) {
    return joined(half(p), half(p + 32));
  }
  [[gnu::always_inline]] static SpecialMasks specials(const char* p) {
    SpecialMasks m{0, 0, 0, 0};
#if defined(__SSE2__)
    for (int k = 0; k < 4; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
      auto bits = [&](char c) {
        return std::uint64_t{static_cast<std::uint16_t>(
                   _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))))}
               << (16 * k);
      };
      m.single_quote |= bits('\'');
      m.double_quote |= bits('"');
      m.hash |= bits('#');
      m.underscore |= bits('_');
    }
#else
    for (int i = 0; i < 64; ++i) {
      m.single_quote |= std::uint64_t{p[i] == '\''} << i;
      m.double_quote |= std::uint64_t{p[i] == '"'} << i;
      m.hash |= std::uint64_t{p[i] == '#'} << i;
      m.underscore |= std::uint64_t{p[i] == '_'} << i;
    }
#endif
    return m;
  }
  static bool quotes_close(const char* line, const std::uint64_t* filled, std::size_t words,
                           std::uint64_t before);
  // Which bit of `word` is its set bit number k (from 0; k below its count).
  static unsigned nth_bit(std::uint64_t word, unsigned k) {
    for (; k > 0; --k) word &= word - 1;
    return static_cast<unsigned>(std::countr_zero(word));
  }
  // The set bits of `word` number k to k + 2 (k + 2 below its count).
  static std::uint64_t three_bits(std::uint64_t word, unsigned k) {
    for (; k > 0; --k) word &= word - 1;
    const std::uint64_t rest = word & (word - 1), last = rest & (rest - 1);
    return word & ~(last & (last - 1));
  }
  // The values of at most 8 bytes that begin at p[0..2] (9 bytes may be read
  // from each); false when one is longer.
  static bool short_values(const char* const (&p)[3], std::string_view (&values)[3]) {
    return short_value(p[0], values[0]) && short_value(p[1], values[1]) &&
           short_value(p[2], values[2]);
  }
  // The coordinates of a plain row from where they begin (9 bytes may be
  // read from each), as record_coordinates reads them.
  template <class Real>
  static bool plain_coordinates(const char* const (&at)[3], Real* xyz) {
    std::size_t lengths[3];
    return plain_coordinates(at, xyz, lengths);
  }
  // The same, with the values' lengths.
  template <class Real>
  static bool plain_coordinates(const char* const (&at)[3], Real* xyz, std::size_t (&lengths)[3]) {
    std::string_view text[3];
    if (!short_values(at, text) || !record_coordinates(text, xyz)) return false;
    for (int k = 0; k < 3; ++k) lengths[k] = text[k].size();
    return true;
  }
};

#if defined(__x86_64__)
// The constants of the plain rows' coordinate reading and writing, taken as
// memory operands (built from immediates they would cost three instructions
// each, every row).
struct alignas(32) PlainConstants {
  std::uint64_t sixty_fours[4] = {64, 64, 64, 64};
  std::uint64_t all_ones[4] = {~std::uint64_t{0}, ~std::uint64_t{0}, ~std::uint64_t{0},
                               ~std::uint64_t{0}};
  std::uint64_t first_five[4] = {0xFFFFFFFFFF, 0xFFFFFFFFFF, 0xFFFFFFFFFF, 0};
  std::uint64_t eights[4] = {8, 8, 8, 8};
};
inline constexpr PlainConstants plain_constants_table{};
// The table behind an empty asm: the same for every row, loaded as operands.
inline const PlainConstants* plain_constants() {
  const PlainConstants* c = &plain_constants_table;
  asm("" : "+r"(c));
  return c;
}
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i constant(const std::uint64_t (&v)[4]) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(v));
}

// The same with 256-bit vectors, for processors that have them.
struct WideScan {
  [[gnu::target("avx2")]] static WordMasks half(const char* p) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i blank = _mm256_cmpeq_epi8(_mm256_min_epu8(v, repeat(RepeatedByte::blanks)), v);
    // '"', '#' and '\'' (and '&', which only costs a closer look) are the
    // bytes that the bits 0x05 make '\''.
    const __m256i special =
        _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_or_si256(v, repeat(fives)), repeat(single_quotes)),
                        _mm256_cmpeq_epi8(v, repeat(underscores)));
    const __m256i feed = _mm256_cmpeq_epi8(v, repeat(line_feeds));
    return {static_cast<std::uint32_t>(_mm256_movemask_epi8(blank)),
            static_cast<std::uint32_t>(_mm256_movemask_epi8(special)),
            static_cast<std::uint32_t>(_mm256_movemask_epi8(feed))};
  }
  [[gnu::target("avx2")]] static WordMasks word(const char* p) {
    return joined(half(p), half(p + 32));
  }

  [[gnu::target("avx2")]] static SpecialMasks specials(const char* p) {
    SpecialMasks m{0, 0, 0, 0};
    for (int k = 0; k < 2; ++k) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * k));
      const int shift = 32 * k;
      m.single_quote |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(
                            _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\''))))} << shift;
      m.double_quote |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(
                            _mm256_cmpeq_epi8(v, _mm256_set1_epi8('"'))))} << shift;
      m.hash |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(
                    _mm256_cmpeq_epi8(v, _mm256_set1_epi8('#'))))} << shift;
      m.underscore |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(
                          _mm256_cmpeq_epi8(v, _mm256_set1_epi8('_'))))} << shift;
    }
    return m;
  }
  [[gnu::target("avx2")]] static bool quotes_close(const char* line, const std::uint64_t* filled,
                                                   std::size_t words, std::uint64_t before);
  [[gnu::target("avx2,bmi2")]] static unsigned nth_bit(std::uint64_t word, unsigned k) {
    // (The deposited bit is never 0: k is below the word's count.)
    return static_cast<unsigned>(__builtin_ctzll(_pdep_u64(std::uint64_t{1} << k, word)));
  }
  [[gnu::target("avx2,bmi2")]] static std::uint64_t three_bits(std::uint64_t word, unsigned k) {
    return _pdep_u64(std::uint64_t{7} << k, word);
  }
  // The coordinates of a plain row from where they begin (9 bytes may be
  // read from each), as record_coordinates reads them: the 8 bytes at each
  // start in one vector, their lengths from the blanks among them, each
  // shifted to stand right-aligned among blanks (all three at once), with
  // blanks as the serial number, read as the usual record's fields are.
  // The 8 bytes at each of p[0..2] in one vector (a fourth word, `fourth`,
  // beside them), its blanks (bytes up to ' '), and whether each of the three
  // values ends within 9 bytes (9 may be read from each start).
  [[gnu::target("avx2"), gnu::always_inline]] static bool three_words(const char* const (&p)[3],
                                                                     std::uint64_t fourth,
                                                  __m256i& v, __m256i& blanks_in_v) {
    std::uint64_t w[3];
    for (int k = 0; k < 3; ++k) std::memcpy(&w[k], p[k], 8);
    const auto lane = [](std::uint64_t x) { return static_cast<long long>(x); };
    v = _mm256_set_epi64x(lane(fourth), lane(w[2]), lane(w[1]), lane(w[0]));
    blanks_in_v = _mm256_cmpeq_epi8(_mm256_min_epu8(v, repeat(RepeatedByte::blanks)), v);
    // (The words without a blank: their values end at the 9th byte, or not.)
    const int no_blank = _mm256_movemask_pd(
        _mm256_castsi256_pd(_mm256_cmpeq_epi64(blanks_in_v, _mm256_setzero_si256())));
    if ((no_blank & 7) == 0) [[likely]]
      return true;
    bool ends = true;
    for (int k = 0; k < 3; ++k)
      ends &= !((no_blank >> k) & 1) || static_cast<unsigned char>(p[k][8]) <= ' ';
    return ends;
  }
  // The coordinates of a plain row from where they begin (9 bytes may be
  // read from each), as record_coordinates reads them: the 8 bytes at each
  // start in one vector, their lengths from the blanks among them, each
  // shifted to stand right-aligned among blanks (all three at once), with
  // blanks as the serial number, read as the usual record's fields are.
  [[gnu::target("avx2"), gnu::always_inline]] static bool plain_fields(const char* const (&at)[3],
                                                                       __m256i& fields,
                                                                       __m256i& blanks_in_v) {
    const PlainConstants* c = plain_constants();
    __m256i v;
    const bool ends = three_words(at, swar::ones * ' ', v, blanks_in_v);
    // In each word: the bytes before the first blank (all 8 without one), and
    // 8 for each of them: the shift that right-aligns the value is 64 less.
    const __m256i first_blank =
        _mm256_and_si256(blanks_in_v, _mm256_sub_epi64(_mm256_setzero_si256(), blanks_in_v));
    const __m256i value_bytes = _mm256_add_epi64(first_blank, constant(c->all_ones));
    const __m256i eights = _mm256_sad_epu8(_mm256_and_si256(value_bytes, repeat(eight_bits)),
                                           _mm256_setzero_si256());
    const __m256i shift = _mm256_sub_epi64(constant(c->sixty_fours), eights);
    // Each value at least 5 bytes long (no blank in its first 5).
    const __m256i short_values = _mm256_and_si256(blanks_in_v, constant(c->first_five));
    const __m256i fill = _mm256_andnot_si256(_mm256_sllv_epi64(constant(c->all_ones), shift),
                                             repeat(RepeatedByte::blanks));
    fields = _mm256_or_si256(_mm256_sllv_epi64(v, shift), fill);
    return _mm256_testz_si256(short_values, short_values) && ends;
  }
  // The values of at most 8 bytes that begin at p[0..2] (9 bytes may be read
  // from each): their lengths from the blanks among the 8 bytes of each, all
  // three words in one vector; false when one is longer.
  [[gnu::target("avx2")]] static bool short_values(const char* const (&p)[3],
                                                   std::string_view (&values)[3]) {
    __m256i v, blanks_in_v;
    const bool ends = three_words(p, 0, v, blanks_in_v);
    const auto blank_bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(blanks_in_v));
    for (int k = 0; k < 3; ++k)
      values[k] = {p[k], static_cast<std::size_t>(std::countr_zero((blank_bits >> (8 * k)) | 0x100u))};
    return ends;
  }
  // (In floats 4 are written, the last of no use.)
  [[gnu::target("avx2")]] static bool plain_coordinates(const char* const (&at)[3], float* xyz) {
    __m256i fields, blanks_in_v;
    return plain_fields(at, fields, blanks_in_v) && usual_atom_fields_wide(fields, xyz);
  }
  [[gnu::target("avx2")]] static bool plain_coordinates(const char* const (&at)[3], double* xyz) {
    __m256i fields, blanks_in_v;
    return plain_fields(at, fields, blanks_in_v) && usual_atom_fields_double_wide(fields, xyz);
  }
  // The same, with the values' lengths (from the first blank in each's 8
  // bytes, as short_values finds them).
  template <class Real>
  [[gnu::target("avx2")]] static bool plain_coordinates(const char* const (&at)[3], Real* xyz,
                                                        std::size_t (&lengths)[3]) {
    __m256i fields, blanks_in_v;
    if (!plain_fields(at, fields, blanks_in_v)) return false;
    const auto blank_bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(blanks_in_v));
    for (int k = 0; k < 3; ++k)
      lengths[k] = static_cast<std::size_t>(std::countr_zero((blank_bits >> (8 * k)) | 0x100u));
    if constexpr (std::is_same_v<Real, float>)
      return usual_atom_fields_wide(fields, xyz);
    else
      return usual_atom_fields_double_wide(fields, xyz);
  }
};
#endif

// A line of at most 256 bytes as bits: the bytes that belong to values
// (bit i of filled[i / 64]: byte i; the words past the line's are not set),
// and whether any is special.
struct LineMasks {
  std::uint64_t filled[4] = {0, 0, 0, 0};
  std::size_t words = 0;  // that the line and its line feed take
  std::size_t length = 0;
  bool special = false;
};

// The line at the front of `text` (of which 64 * 4 bytes may be read), ended
// by a line feed within them, as masks; false when there is none.
template <class Scan>
[[gnu::always_inline]] inline bool line_masks(const char* text, LineMasks& m) {
  std::uint64_t special = 0;
  for (std::size_t w = 0; w < 4; ++w) {
    const WordMasks b = Scan::word(text + 64 * w);
    if (b.feed != 0) {
      const auto at = static_cast<std::size_t>(std::countr_zero(b.feed));
      const std::uint64_t before = (std::uint64_t{1} << at) - 1;
      m.filled[w] = ~b.blank & before;
      m.special = (special | (b.special & before)) != 0;
      m.length = 64 * w + at;
      m.words = w + 1;
      return true;
    }
    m.filled[w] = ~b.blank;
    special |= b.special;
  }
  return false;
}

// The values of a line shorter than 256 bytes (read from a blank-filled
// copy) as line_masks gives them; false for a longer line.
inline bool plain_masks(std::string_view line, LineMasks& m) {
  if (line.size() >= 256) return false;
  alignas(64) char buf[256];
  std::memcpy(buf, line.data(), line.size());
  std::memset(buf + line.size(), ' ', sizeof buf - line.size());
  buf[line.size()] = '\n';
  return line_masks<NarrowScan>(buf, m);
}

// The first clear bit of `filled` at or after `at` (the end of a value).
[[gnu::always_inline]] inline std::size_t value_end(const std::uint64_t (&filled)[4], std::size_t at) {
  while (at < 256) {
    const std::uint64_t rest = ~filled[at / 64] >> (at % 64);
    if (rest != 0) return at + static_cast<std::size_t>(std::countr_zero(rest));
    at = (at / 64 + 1) * 64;
  }
  return 256;
}

// The first bits of the runs of set bits in the line's words: where values
// begin.
inline void value_starts(const LineMasks& m, std::uint64_t (&starts)[4]) {
  std::uint64_t carry = 0;
  for (std::size_t w = 0; w < m.words; ++w) {
    starts[w] = m.filled[w] & ~((m.filled[w] << 1) | carry);
    carry = m.filled[w] >> 63;
  }
}

// A value of a plain line with special bytes: one in quotes is what they
// hold.
inline std::string_view within_quotes(std::string_view v) {
  return v.size() >= 2 && (v[0] == '\'' || v[0] == '"') ? v.substr(1, v.size() - 2) : v;
}

// The value that begins at byte `at` of a plain line: the first blank after
// the start in its word ends it, unless the value runs on into the next word.
[[gnu::always_inline]] inline std::string_view plain_value(const char* line, const LineMasks& m,
                                                           std::size_t at) {
  const std::uint64_t rest = ~m.filled[at / 64] >> (at % 64);
  const std::size_t end = rest != 0 ? at + static_cast<std::size_t>(std::countr_zero(rest))
                                    : value_end(m.filled, at);
  const std::string_view v{line + at, end - at};
  return m.special ? within_quotes(v) : v;
}

// The values of a row that every reading takes: x, y, z, type_symbol, the
// model and the alternate location ("1" and "." where the loop has no such
// column).

// Where the values of the last plain row began, kept while the rows after it
// have theirs at the same places, as the archive's aligned rows do.
struct PlainLayout {
  std::uint64_t starts[4] = {0, 0, 0, 0};  // (past the line's words: none)
  std::size_t words = 0;                   // of the line they were found in (none yet)
  // Where a line of two words must have its values begin to be read by the
  // layout: none (bits no line has) when the layout's line took other words.
  std::uint64_t two_word_starts[2] = {~std::uint64_t{0}, ~std::uint64_t{0}};
  std::uint16_t at[64] = {};  // column k begins at byte at[k]
  std::uint16_t read_at[6] = {};  // the columns of RowValues (model, location absent: none_at)
  static constexpr std::uint16_t none_at = 0xFFFF;
};

// Whether the special bytes of a plain line leave its values where the
// blanks split them: no "_" in it, no value begun by "#", and each value begun
// by a quote longer than it and ended by the same quote. (A quote inside a
// value without blanks is followed by a byte of it, so it closes nothing.)
// The values begun by a quote are carried to their ends by adding their first
// bits to the runs of value bytes. The line's `Words` words of value bytes are
// in `filled`, its bytes in the last word those of `before`.
template <class Scan, std::size_t Words>
[[gnu::always_inline]] inline bool quotes_close_in(const char* line, const std::uint64_t* filled,
                                                   std::uint64_t before) {
  std::uint64_t starts[Words], ends[Words], quotes[2][Words];
  for (std::size_t w = 0; w < Words; ++w) {
    const std::uint64_t previous_last = w > 0 ? filled[w - 1] >> 63 : 0;
    const std::uint64_t next_first = w + 1 < Words ? filled[w + 1] << 63 : 0;
    starts[w] = filled[w] & ~((filled[w] << 1) | previous_last);
    ends[w] = filled[w] & ~((filled[w] >> 1) | next_first);
    const std::uint64_t in_line = w + 1 < Words ? ~std::uint64_t{0} : before;
    const SpecialMasks b = Scan::specials(line + 64 * w);
    if (((b.underscore & in_line) | (b.hash & starts[w])) != 0) return false;
    quotes[0][w] = b.single_quote & in_line;
    quotes[1][w] = b.double_quote & in_line;
  }
  for (const auto& q : quotes) {
    std::uint64_t any = 0;
    for (std::size_t w = 0; w < Words; ++w) any |= q[w];
    if (any == 0) continue;
    std::uint64_t after[Words];
    bool carry = false;
    for (std::size_t w = 0; w < Words; ++w) {
      const std::uint64_t begun = starts[w] & q[w];
      if ((begun & ends[w]) != 0) return false;  // a lone quote
      // The bit after each run begun by a quote.
      std::uint64_t sum;
      const bool over = __builtin_add_overflow(filled[w], begun, &sum);
      const bool over_too = __builtin_add_overflow(sum, std::uint64_t{carry}, &sum);
      carry = over || over_too;
      after[w] = sum & ~filled[w];
    }
    for (std::size_t w = 0; w < Words; ++w) {
      const std::uint64_t run_ends = (after[w] >> 1) | (w + 1 < Words ? after[w + 1] << 63 : 0);
      if ((run_ends & ~q[w]) != 0) return false;
    }
  }
  return true;
}

template <class Scan>
[[gnu::always_inline]] inline bool quotes_close_with(const char* line, const std::uint64_t* filled,
                                                     std::size_t words, std::uint64_t before) {
  switch (words) {
    case 1: return quotes_close_in<Scan, 1>(line, filled, before);
    case 2: return quotes_close_in<Scan, 2>(line, filled, before);
    case 3: return quotes_close_in<Scan, 3>(line, filled, before);
    default: return quotes_close_in<Scan, 4>(line, filled, before);
  }
}

// Whether the plain line of masks m, with special bytes, is still plain.
template <class Scan>
bool quotes_close(const char* line, const LineMasks& m) {
  const std::size_t at_feed = m.length - 64 * (m.words - 1);
  return Scan::quotes_close(line, m.filled, m.words, (std::uint64_t{1} << at_feed) - 1);
}

// Whether the line at `line` (256 bytes readable) is a plain row that takes
// two 64-byte words, as most rows do, decided on the two words' masks:
// `plain` (or `quoted`: quotes close its values) where its values begin as
// the layout's do, `own_places` where elsewhere, `other` when it is none
// such. `t` gets its length, and for own_places where its values begin and
// whether it has special bytes.
enum class TwoWords { other, plain, quoted, own_places };
struct TwoWordLine {
  std::uint64_t starts[2];
  std::size_t length;
  bool special;
};

// Whether the quotes of a two-word line close its values, out of the way of
// the common line (without quotes).
template <class Scan>
[[gnu::noinline]] bool quotes_close_in_two(const char* line, std::uint64_t filled0,
                                           std::uint64_t filled1, std::uint64_t before) {
  const std::uint64_t filled[2] = {filled0, filled1};
  return Scan::quotes_close(line, filled, 2, before);
}
template <class Scan>
[[gnu::always_inline]] inline TwoWords same_two_words(const char* line, const PlainLayout& layout,
                                                      TwoWordLine& t) {
  const WordMasks a = Scan::word(line);
  // (Most rows end within 96 bytes: the last 32 are looked at only when the
  // line goes on; bytes past the line feed count for nothing.)
  WordMasks b = Scan::half(line + 64);
  if (b.feed == 0) b = joined(b, Scan::half(line + 96));
  if (a.feed != 0 || b.feed == 0 || line[0] == ';') return TwoWords::other;
  const auto at = static_cast<std::size_t>(std::countr_zero(b.feed));
  const std::uint64_t before = (std::uint64_t{1} << at) - 1;
  const std::uint64_t filled0 = ~a.blank, filled1 = ~b.blank & before;
  const std::uint64_t starts0 = filled0 & ~(filled0 << 1);
  const std::uint64_t starts1 = filled1 & ~((filled1 << 1) | (filled0 >> 63));
  t.length = 64 + at;
  const bool special = (a.special | (b.special & before)) != 0;
  if (((starts0 ^ layout.two_word_starts[0]) | (starts1 ^ layout.two_word_starts[1])) == 0) {
    if (!special) [[likely]]
      return TwoWords::plain;
    return quotes_close_in_two<Scan>(line, filled0, filled1, before) ? TwoWords::quoted
                                                                     : TwoWords::other;
  }
  t.starts[0] = starts0;
  t.starts[1] = starts1;
  t.special = special;
  return !special || quotes_close_in_two<Scan>(line, filled0, filled1, before)
             ? TwoWords::own_places
             : TwoWords::other;
}

}  // namespace gyro::cif
