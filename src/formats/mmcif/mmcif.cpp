#include "formats/mmcif/mmcif.hpp"

#include <algorithm>
#include <bit>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

#include "text/fields.hpp"
#include "text/vectors.hpp"
#include "text/numtext.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gyro {
namespace {

// The bytes that separate values: blanks, tabs, carriage returns and the
// other control bytes (which mmCIF text does not hold), as a table looked up
// for every byte.
struct Blanks {
  bool is[256] = {};
  constexpr Blanks() {
    for (int c = 0; c <= ' '; ++c) is[c] = true;
  }
};
constexpr Blanks blanks;
bool blank(char c) { return blanks.is[static_cast<unsigned char>(c)]; }

std::string lower(std::string_view s) {
  std::string l(s);
  for (char& c : l) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return l;
}

// The columns of the _atom_site loop that are read (-1: absent), and how many
// it has.
struct AtomSiteColumns {
  int count = 0;
  int x = -1, y = -1, z = -1, symbol = -1, auth_name = -1, label_name = -1, model = -1, alt = -1;
};

AtomSiteColumns atom_site_columns(const std::vector<std::string>& tags) {
  AtomSiteColumns c;
  c.count = static_cast<int>(tags.size());
  const std::pair<const char*, int AtomSiteColumns::*> wanted[] = {
      {"cartn_x", &AtomSiteColumns::x},           {"cartn_y", &AtomSiteColumns::y},
      {"cartn_z", &AtomSiteColumns::z},           {"type_symbol", &AtomSiteColumns::symbol},
      {"auth_atom_id", &AtomSiteColumns::auth_name}, {"label_atom_id", &AtomSiteColumns::label_name},
      {"pdbx_pdb_model_num", &AtomSiteColumns::model}, {"label_alt_id", &AtomSiteColumns::alt}};
  for (int k = 0; k < c.count; ++k)
    for (const auto& [name, column] : wanted)
      if (tags[static_cast<std::size_t>(k)] == std::string("_atom_site.") + name) c.*column = k;
  return c;
}

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

// The scan with the vectors every processor of its kind has.
struct NarrowScan {
  [[gnu::always_inline]] static WordMasks word(const char* p) {
    WordMasks m{0, 0, 0};
#if defined(__SSE2__)
    for (int c = 0; c < 4; ++c) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * c));
      auto eq = [&](char b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(b)); };
      auto bits = [&](__m128i x) {
        return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(x))} << (16 * c);
      };
      m.blank |= bits(_mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(' ')), v));
      // '#' and '\'' differ only in the bit 0x04.
      const __m128i hash_or_quote = _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(0x04)),
                                                   _mm_set1_epi8('\''));
      m.special |= bits(_mm_or_si128(_mm_or_si128(hash_or_quote, eq('"')), eq('_')));
      m.feed |= bits(eq('\n'));
    }
#else
    for (int i = 0; i < 64; ++i) {
      const std::uint64_t bit = std::uint64_t{1} << i;
      const char c = p[i];
      if (blank(c)) m.blank |= bit;
      if (c == '\'' || c == '"' || c == '#' || c == '_') m.special |= bit;
      if (c == '\n') m.feed |= bit;
    }
#endif
    return m;
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
    std::string_view text[3];
    return short_values(at, text) && record_coordinates(text, xyz);
  }
};

#if defined(__x86_64__)
// The same with 256-bit vectors, for processors that have them.
struct WideScan {
  [[gnu::target("avx2")]] static WordMasks word(const char* p) {
    WordMasks m{0, 0, 0};
    for (int c = 0; c < 2; ++c) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * c));
      const __m256i blank = _mm256_cmpeq_epi8(_mm256_min_epu8(v, repeat(RepeatedByte::blanks)), v);
      // '#' and '\'' differ only in the bit 0x04.
      const __m256i special = _mm256_or_si256(
          _mm256_or_si256(
              _mm256_cmpeq_epi8(_mm256_or_si256(v, repeat(fours)), repeat(single_quotes)),
              _mm256_cmpeq_epi8(v, repeat(double_quotes))),
          _mm256_cmpeq_epi8(v, repeat(underscores)));
      const __m256i feed = _mm256_cmpeq_epi8(v, repeat(line_feeds));
      const int shift = 32 * c;
      m.blank |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(blank))} << shift;
      m.special |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(special))} << shift;
      m.feed |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(feed))} << shift;
    }
    return m;
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
    const auto blank_bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(blanks_in_v));
    bool ends = true;
    for (int k = 0; k < 3; ++k)
      ends &= ((blank_bits >> (8 * k)) & 0xFF) != 0 || static_cast<unsigned char>(p[k][8]) <= ' ';
    return ends;
  }
  // The coordinates of a plain row from where they begin (9 bytes may be
  // read from each), as record_coordinates reads them: the 8 bytes at each
  // start in one vector, their lengths from the blanks among them, each
  // shifted to stand right-aligned among blanks (all three at once), with
  // blanks as the serial number, read as the usual record's fields are.
  [[gnu::target("avx2")]] static bool plain_fields(const char* const (&at)[3], __m256i& fields) {
    __m256i v, blanks_in_v;
    const bool ends = three_words(at, swar::ones * ' ', v, blanks_in_v);
    // In each word: the bytes before the first blank (all 8 without one), and
    // 8 for each of them: the shift that right-aligns the value is 64 less.
    const __m256i first_blank =
        _mm256_and_si256(blanks_in_v, _mm256_sub_epi64(_mm256_setzero_si256(), blanks_in_v));
    const __m256i value_bytes = _mm256_sub_epi64(first_blank, _mm256_set1_epi64x(1));
    const __m256i eights = _mm256_sad_epu8(_mm256_and_si256(value_bytes, _mm256_set1_epi8(8)),
                                           _mm256_setzero_si256());
    const __m256i shift = _mm256_sub_epi64(_mm256_set1_epi64x(64), eights);
    // Each value at least 5 bytes long (no blank in its first 5).
    const __m256i short_values =
        _mm256_and_si256(blanks_in_v, _mm256_setr_epi64x(0xFFFFFFFFFF, 0xFFFFFFFFFF, 0xFFFFFFFFFF, 0));
    const __m256i fill = _mm256_andnot_si256(_mm256_sllv_epi64(_mm256_set1_epi64x(-1), shift),
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
    __m256i fields;
    return plain_fields(at, fields) && usual_atom_fields_wide(fields, xyz);
  }
  [[gnu::target("avx2")]] static bool plain_coordinates(const char* const (&at)[3], double* xyz) {
    __m256i fields;
    return plain_fields(at, fields) && usual_atom_fields_double_wide(fields, xyz);
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
bool plain_masks(std::string_view line, LineMasks& m) {
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
void value_starts(const LineMasks& m, std::uint64_t (&starts)[4]) {
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
struct RowValues {
  std::string_view symbol, model, alt;
  // Of a plain row: where x, y and z begin (9 bytes may be read from each),
  // their ends not yet found. (Any row gives them by Row::value.)
  const char* xyz_at[3];
};

// A row of the loop: its values, and where each stood in the text the walk's
// visitor holds. A plain row (a whole line, read without taking its values
// one by one) keeps its line and where its values begin, and finds a value's
// end from the line's masks when asked. Any other row keeps its values; those
// of a row that goes on past its line point into copies (keep()) made before
// the line goes.
struct Row {
  std::vector<std::string_view> values;
  std::vector<std::pair<std::size_t, std::size_t>> held;  // in the visitor's text: begin, end
  std::vector<std::string> kept;
  const char* line = nullptr;  // of a plain row (set_line); 256 bytes may be read from it
  const std::uint16_t* starts = nullptr;
  std::size_t base = 0;  // where the line stands in the visitor's text

  // The row is the plain line at l. (Another line may stand where an earlier
  // one stood, once the cursor has read its next block.)
  void set_line(const char* l) {
    line = l;
    masks_of = nullptr;
  }

  std::string_view value(int k) const {
    const auto i = static_cast<std::size_t>(k);
    if (line == nullptr) return values[i];
    if (masks_of != line) find_masks();  // the line's masks, found when first asked for
    return plain_value(line, masks, starts[i]);
  }
  // value(k), out of the way of a loop that seldom needs it.
  [[gnu::noinline]] std::string_view value_aside(int k) const { return value(k); }
  std::pair<std::size_t, std::size_t> place(int k) const {
    if (line == nullptr) return held[static_cast<std::size_t>(k)];
    const std::string_view v = value(k);
    const auto begin = base + static_cast<std::size_t>(v.data() - line);
    return {begin, begin + v.size()};
  }
  void keep() {
    std::vector<std::string> copies(values.begin(), values.end());
    kept.swap(copies);
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = kept[k];
  }
  void clear() {
    values.clear();
    held.clear();
    kept.clear();
    line = nullptr;
  }

 private:
  [[gnu::noinline]] void find_masks() const {
    line_masks<NarrowScan>(line, masks);
    masks_of = line;
  }
  mutable LineMasks masks;
  mutable const char* masks_of = nullptr;
};

PassFault damage(long lineno, std::string why) {
  return {PassFault::Kind::damaged, lineno, 0, 0, std::move(why)};
}

// Where the values of the last plain row began, kept while the rows after it
// have theirs at the same places, as the archive's aligned rows do.
struct PlainLayout {
  std::uint64_t starts[4] = {};
  std::size_t words = 0;      // of the line they were found in (none yet)
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

[[gnu::noinline]] bool NarrowScan::quotes_close(const char* line, const std::uint64_t* filled,
                                                std::size_t words, std::uint64_t before) {
  return quotes_close_with<NarrowScan>(line, filled, words, before);
}
#if defined(__x86_64__)
[[gnu::target("avx2"), gnu::noinline]] bool WideScan::quotes_close(const char* line,
                                                                    const std::uint64_t* filled,
                                                                    std::size_t words,
                                                                    std::uint64_t before) {
  return quotes_close_with<WideScan>(line, filled, words, before);
}
#endif

// Whether the plain line of masks m, with special bytes, is still plain.
template <class Scan>
bool quotes_close(const char* line, const LineMasks& m) {
  const std::size_t at_feed = m.length - 64 * (m.words - 1);
  return Scan::quotes_close(line, m.filled, m.words, (std::uint64_t{1} << at_feed) - 1);
}

// Whether the line at `line` (256 bytes readable) is a plain row of the
// layout's values, taking two 64-byte words as the layout's last line did, as
// most lines of an aligned loop are (`quoted`: quotes close its values): decided
// on the two words' masks (m then holds only the length).
enum class TwoWords { other, plain, quoted };

// The rest of same_two_words for a line with quotes (names with primes,
// mostly), out of the way of the common line.
template <class Scan>
[[gnu::noinline]] TwoWords quoted_two_words(const char* line, std::uint64_t filled0,
                                            std::uint64_t filled1, std::uint64_t before) {
  const std::uint64_t filled[2] = {filled0, filled1};
  return Scan::quotes_close(line, filled, 2, before) ? TwoWords::quoted : TwoWords::other;
}
template <class Scan>
[[gnu::always_inline]] inline TwoWords same_two_words(const char* line, const PlainLayout& layout,
                                                      LineMasks& m) {
  const WordMasks a = Scan::word(line), b = Scan::word(line + 64);
  if (a.feed != 0 || b.feed == 0 || line[0] == ';') return TwoWords::other;
  const auto at = static_cast<std::size_t>(std::countr_zero(b.feed));
  const std::uint64_t before = (std::uint64_t{1} << at) - 1;
  const std::uint64_t filled0 = ~a.blank, filled1 = ~b.blank & before;
  const std::uint64_t starts0 = filled0 & ~(filled0 << 1);
  const std::uint64_t starts1 = filled1 & ~((filled1 << 1) | (filled0 >> 63));
  if (((starts0 ^ layout.starts[0]) | (starts1 ^ layout.starts[1])) != 0) return TwoWords::other;
  m.length = 64 + at;
  if (((a.special | (b.special & before)) == 0)) [[likely]]
    return TwoWords::plain;
  return quoted_two_words<Scan>(line, filled0, filled1, before);
}

// Plain lines found to share a layout: where each begins (from `first`; each
// ends with a line feed before the next begins), and which have special
// bytes. (At most 64 lines.)
struct PlainBatch {
  const char* first;
  const std::uint32_t* begins;  // count + 1: the last where the next line begins
  std::uint64_t special;        // bit i: line i has special bytes
  std::size_t count;
};

// The rows of a batch to the visitor, each with the values every reading
// takes; the row that stopped the walk (the count when none did).
template <class Scan, class Visitor>
[[gnu::always_inline]] inline std::size_t read_batch_with(Visitor& visitor,
                                                          const AtomSiteColumns& columns, Row& row,
                                                          const PlainLayout& layout,
                                                          const PlainBatch& rows, long lineno) {
  const std::uint16_t* const at = layout.read_at;
  for (std::size_t i = 0; i < rows.count; ++i) {
    const char* const line = rows.first + rows.begins[i];
    const bool special = (rows.special >> i) & 1;
    row.set_line(line);
    RowValues values;
    // (A loop without model or location column reads "1" and "." instead.)
    static constexpr char one[] = "1        ", dot[] = ".        ";
    const char* const starts[3] = {line + at[3], at[4] == PlainLayout::none_at ? one : line + at[4],
                                   at[5] == PlainLayout::none_at ? dot : line + at[5]};
    std::string_view read[3];
    if (!Scan::short_values(starts, read)) {  // one longer than 8 bytes: from the masks
      read[0] = row.value_aside(columns.symbol);
      read[1] = starts[1] == one ? "1" : row.value_aside(columns.model);
      read[2] = starts[2] == dot ? "." : row.value_aside(columns.alt);
    } else if (special) {
      for (std::string_view& v : read) v = within_quotes(v);
    }
    values.symbol = read[0];
    values.model = read[1];
    values.alt = read[2];
    for (int k = 0; k < 3; ++k) values.xyz_at[k] = line + at[k];
    const std::size_t length = rows.begins[i + 1] - rows.begins[i] - 1;
    const bool crlf = length > 0 && line[length - 1] == '\r';
    row.base = visitor.line({line, length - crlf}, crlf);
    const bool go_on =
        visitor.template plain_row<Scan>(columns, row, values, lineno + 1 + static_cast<long>(i));
    visitor.line_end(false);
    if (!go_on) return i;
  }
  return rows.count;
}

template <class Visitor>
[[gnu::noinline]] std::size_t read_batch_narrow(Visitor& visitor, const AtomSiteColumns& columns,
                                                Row& row, const PlainLayout& layout,
                                                const PlainBatch& rows, long lineno) {
  return read_batch_with<NarrowScan>(visitor, columns, row, layout, rows, lineno);
}
#if defined(__x86_64__)
template <class Visitor>
[[gnu::target("avx2"), gnu::noinline]] std::size_t read_batch_wide(
    Visitor& visitor, const AtomSiteColumns& columns, Row& row, const PlainLayout& layout,
    const PlainBatch& rows, long lineno) {
  return read_batch_with<WideScan>(visitor, columns, row, layout, rows, lineno);
}
#endif
template <class Scan, class Visitor>
[[gnu::always_inline]] inline std::size_t read_batch(Visitor& visitor, const AtomSiteColumns& columns,
                                                     Row& row, const PlainLayout& layout,
                                                     const PlainBatch& rows, long lineno) {
#if defined(__x86_64__)
  if constexpr (std::is_same_v<Scan, WideScan>)
    return read_batch_wide(visitor, columns, row, layout, rows, lineno);
#endif
  return read_batch_narrow(visitor, columns, row, layout, rows, lineno);
}

// Takes the lines ahead that are plain whole rows of the _atom_site loop (no
// comment, tag, keyword or text field, quotes only around values without
// blanks, a value a column), handing each to the
// visitor with the values every reading takes; stops before any other line,
// and before a line that does not end 8 bytes or more before the end of what
// the cursor holds now.
template <class Scan, class Visitor>
[[gnu::always_inline]] inline PassFault plain_rows_with(RecordCursor& cur, Visitor& visitor,
                                                        const AtomSiteColumns& columns, Row& row,
                                                        PlainLayout& layout) {
  const int read_columns[6] = {columns.x,      columns.y,     columns.z,
                               columns.symbol, columns.model, columns.alt};
  // The lines are passed here and the cursor told at the end.
  const std::string_view ahead = cur.ahead();
  const char* const first = ahead.data();
  const char* const limit = ahead.data() + ahead.size();
  const char* line = first;
  long lineno = cur.lineno();
  PassFault fault;
  row.clear();
  row.starts = layout.at;
  // In turns: the plain lines ahead that share a layout (as many as a batch
  // holds) are found, then their rows read, each loop kept small.
  constexpr std::size_t batch = 64;  // (one bit each in PlainBatch::special)
  for (bool more = true; more;) {
    std::uint32_t begins[batch + 1];
    std::uint64_t special = 0;
    std::size_t n = 0;
    LineMasks m;
    // (The 4 words a line may take, and 8 bytes past the line, may be read.)
    for (; n < batch; ++n) {
      if (limit - line < 64 * 4 + 8) {
        more = false;
        break;
      }
      if (layout.words == 2) {
        const TwoWords kind = same_two_words<Scan>(line, layout, m);
        if (kind != TwoWords::other) {
          begins[n] = static_cast<std::uint32_t>(line - first);
          if (kind == TwoWords::quoted) special |= std::uint64_t{1} << n;
          line += m.length + 1;
          continue;
        }
      }
      if (!(line_masks<Scan>(line, m) && line[0] != ';' &&
            (!m.special || quotes_close<Scan>(line, m)))) {
        more = false;
        break;
      }
      std::uint64_t starts[4];
      value_starts(m, starts);
      std::uint64_t differ = m.words ^ layout.words;
      for (std::size_t w = 0; w < m.words; ++w) differ |= starts[w] ^ layout.starts[w];
      if (differ != 0) {
        if (n > 0) break;  // the rows of the last layout first
        int count = 0;
        for (std::size_t w = 0; w < m.words; ++w) count += std::popcount(starts[w]);
        if (count != columns.count) {
          more = false;
          break;
        }
        int k = 0;
        for (std::size_t w = 0; w < m.words; ++w)
          for (std::uint64_t bits = starts[w]; bits != 0; bits &= bits - 1)
            layout.at[k++] = static_cast<std::uint16_t>(64 * w + std::countr_zero(bits));
        for (int j = 0; j < 6; ++j)
          layout.read_at[j] = read_columns[j] >= 0 ? layout.at[read_columns[j]] : PlainLayout::none_at;
        std::copy(starts, starts + m.words, std::begin(layout.starts));
        layout.words = m.words;
      }
      begins[n] = static_cast<std::uint32_t>(line - first);
      special |= std::uint64_t{m.special} << n;
      line += m.length + 1;
    }
    begins[n] = static_cast<std::uint32_t>(line - first);
    const PlainBatch rows{first, begins, special, n};
    const std::size_t stop = read_batch<Scan>(visitor, columns, row, layout, rows, lineno);
    if (stop < n) {  // (the row that stopped the walk is passed too)
      fault = std::move(visitor.fault);
      line = first + begins[stop + 1];
      lineno += static_cast<long>(stop + 1);
      break;
    }
    lineno += static_cast<long>(n);
  }
  cur.pass_lines(static_cast<std::size_t>(line - first), lineno - cur.lineno());
  row.clear();
  return fault;
}

#if defined(__x86_64__)
template <class Visitor>
[[gnu::target("avx2")]] PassFault plain_rows_wide(RecordCursor& cur, Visitor& visitor,
                                                  const AtomSiteColumns& columns, Row& row,
                                                  PlainLayout& layout) {
  return plain_rows_with<WideScan>(cur, visitor, columns, row, layout);
}
#endif

template <class Visitor>
PassFault plain_rows(RecordCursor& cur, Visitor& visitor, const AtomSiteColumns& columns,
                     Row& row, PlainLayout& layout) {
#if defined(__x86_64__)
  if (vectors::wide()) return plain_rows_wide(cur, visitor, columns, row, layout);
#endif
  return plain_rows_with<NarrowScan>(cur, visitor, columns, row, layout);
}

// Walks the lines of mmCIF text up to the end of its first data block. For
// every line, visitor.line(text, crlf) gives where the line starts in the text
// the visitor holds (0 when it holds none), and visitor.line_end(row_pending)
// follows its values; visitor.row(columns, row, lineno) takes every complete
// row of the _atom_site loop, and may stop the walk by returning false with
// the reason in visitor.fault.
template <class Visitor>
PassFault walk_atom_site(RecordCursor& cur, Visitor& visitor) {
  enum class State { outside, header, atom_rows, other_rows };
  State state = State::outside;
  bool data_seen = false, done = false, in_text_field = false, loop_found = false;
  bool row_ended_here = false;  // a row of the loop ended on this line
  std::vector<std::string> tags;
  AtomSiteColumns columns;
  Row row;
  int filled = 0;
  long row_line = 0;  // where the row being filled began
  std::vector<CifValue> values;
  auto end_rows = [&]() -> PassFault {
    if (state == State::atom_rows && filled > 0)
      return damage(row_line, "a row with fewer values than the " +
                                      std::to_string(columns.count) + " columns of _atom_site");
    return {};
  };
  // One value: it may begin the rows of a loop, and in the _atom_site loop it
  // fills the row.
  auto value = [&](std::string_view text, std::size_t held_begin, std::size_t held_end) -> PassFault {
    if (state == State::header) {
      const bool atom_site = !loop_found && std::all_of(tags.begin(), tags.end(), [](const std::string& t) {
        return t.starts_with("_atom_site.");
      });
      state = atom_site ? State::atom_rows : State::other_rows;
      if (atom_site) {
        loop_found = true;
        columns = atom_site_columns(tags);
        for (const auto& [column, name] : {std::pair{columns.x, "Cartn_x"}, {columns.y, "Cartn_y"},
                                           {columns.z, "Cartn_z"}, {columns.symbol, "type_symbol"}})
          if (column < 0) return damage(cur.lineno(), std::string("_atom_site has no ") + name + " column");
      }
    }
    if (state != State::atom_rows) return {};
    if (row_ended_here)
      return damage(cur.lineno(), "a row with more values than the " +
                                      std::to_string(columns.count) + " columns of _atom_site");
    if (filled == 0) {
      row.clear();
      row_line = cur.lineno();
    }
    row.values.push_back(text);
    row.held.emplace_back(held_begin, held_end);
    if (++filled < columns.count) return {};
    const bool go_on = visitor.row(columns, row, cur.lineno());
    row.clear();
    filled = 0;
    row_ended_here = true;
    return go_on ? PassFault{} : std::move(visitor.fault);
  };
  // A bare word that is not a value: a data block, a loop, a tag.
  auto keyword = [&](std::string_view word, bool& is_keyword) -> PassFault {
    is_keyword = true;
    const char first = word[0];
    if (first != '_' && first != 'd' && first != 'D' && first != 'l' && first != 'L') {
      is_keyword = false;  // a plain value: most words, quickly
    } else if (word.size() > 4 && lower(word.substr(0, 5)) == "data_") {
      if (PassFault f = end_rows()) return f;
      done = data_seen;
      data_seen = true;
      state = State::outside;
    } else if (word.size() == 5 && lower(word) == "loop_") {
      if (PassFault f = end_rows()) return f;
      state = State::header;
      tags.clear();
    } else if (word.starts_with("_")) {
      if (state == State::header) {
        tags.push_back(lower(word));
      } else {
        if (PassFault f = end_rows()) return f;
        state = State::outside;  // an item: its value follows and is passed over
      }
    } else {
      is_keyword = false;
    }
    return {};
  };
  // A line that is one whole row of the loop, its values in `row`: to the
  // visitor, and the line is done.
  auto whole_row = [&]() -> PassFault {
    row_line = cur.lineno();
    const bool go_on = visitor.row(columns, row, cur.lineno());
    visitor.line_end(false);
    return go_on ? PassFault{} : std::move(visitor.fault);
  };
  PlainLayout layout;
  for (;;) {
    if (state == State::atom_rows && filled == 0 && !in_text_field && !done && columns.count <= 64)
      if (PassFault f = plain_rows(cur, visitor, columns, row, layout)) return f;
    // Lines are taken whole where they stand (Columns 1: none is blank-filled).
    const char* p = cur.next<false, false, 1>();
    if (p == nullptr) break;
    const std::string_view line = cur.whole_line(p);
    const std::size_t base = visitor.line(line, cur.ended_by_crlf());
    if (done) {
      visitor.line_end(false);
      continue;
    }
    row_ended_here = false;
    std::string_view rest = line;
    std::size_t rest_at = 0;
    if (in_text_field || line.starts_with(";")) {
      if (!in_text_field) {  // a text field opens: its lines are one value
        in_text_field = true;
        visitor.line_end(true);
        continue;
      }
      if (!line.starts_with(";")) {
        visitor.line_end(true);
        continue;
      }
      in_text_field = false;
      if (PassFault f = value("?", base, base)) return f;
      rest = line.substr(1);
      rest_at = 1;
    }
    if (!cif_values(rest, values))
      return damage(cur.lineno(), "a quoted value is not closed on its line");
    // Any other line that is one whole row (quoted values in it).
    if (state == State::atom_rows && filled == 0 && rest_at == 0 &&
        values.size() == static_cast<std::size_t>(columns.count) &&
        (values[0].quoted || line[values[0].begin] != '_')) {
      row.clear();
      for (const CifValue& v : values) {
        row.values.emplace_back(line.data() + v.begin, v.end - v.begin);
        row.held.emplace_back(base + v.begin, base + v.end);
      }
      if (PassFault f = whole_row()) return f;
      continue;
    }
    for (const CifValue& v : values) {
      const std::string_view text = rest.substr(v.begin, v.end - v.begin);
      bool is_keyword = false;
      if (!v.quoted) {
        if (PassFault f = keyword(text, is_keyword)) return f;
        if (done) break;
      }
      if (!is_keyword)
        if (PassFault f = value(text, base + rest_at + v.begin, base + rest_at + v.end)) return f;
    }
    if (filled > 0) row.keep();
    visitor.line_end(filled > 0 || in_text_field);
  }
  if (cur.failed()) return {PassFault::Kind::read_error, cur.lineno(), 0, 0, cur.failure()};
  if (PassFault f = end_rows()) return f;
  if (!loop_found) return damage(cur.lineno(), "no _atom_site loop: not mmCIF atom data");
  return {};
}

// A coordinate value: any decimal, the nearest float or double. The usual
// form (a sign, a few digits with a point) is converted here: its digits make
// a whole number that the precision holds exactly, and one correctly rounded
// division by an exact power of ten gives the nearest value; any other form
// goes to the general conversion.
template <class Real>
bool coordinate(std::string_view text, Real& v) {
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
  return !text.empty() && text != "?" && text != "." && real_field(text, 0, v);
}

// A whole number of at most 18 digits with an optional sign, as from_chars
// reads it, for the model numbers of every row: one digit, mostly, taken at
// once.
[[gnu::noinline]] bool longer_whole_number(std::string_view text, std::int64_t& value) {
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

// The first pass's state: selection, masses, the table, and the rare ends
// of a row.
struct AtomReading {
  AtomTable& t;
  ReadNotes& notes;
  Sink& err;
  const Selection& sel;
  bool every_record;
  std::vector<std::int64_t> models;  // of the rows in turn, each run of one model once
  std::int64_t last_model = 0;       // models.back(), when there is one
  bool model_found = false;
  PassFault fault;  // why the walk stopped

  AtomReading(AtomTable& table, ReadNotes& read_notes, Sink& errors, const Selection& selection,
              bool all_records)
      : t(table), notes(read_notes), err(errors), sel(selection), every_record(all_records) {}
  // Whether rows may be left out (by model or location) or every row moved.
  bool selecting() const { return sel.model || sel.altloc || every_record; }

  // The rare ends of a row, out of the way of the common one: false, with
  // the fault.
  [[gnu::cold, gnu::noinline]] bool not_a_number(const Row& row, int column, const char* name,
                                                 long lineno) {
    double wide;
    const bool too_large = !t.in_double && coordinate(row.value(column), wide);
    fault = damage(lineno, std::string(name) +
                               (too_large ? " is too large for single precision (--double reads it)"
                                          : " is not a number") +
                               ": \"" + printable(row.value(column)) + "\"");
    return false;
  }
  [[gnu::cold, gnu::noinline]] bool not_a_model(std::string_view text, long lineno) {
    fault = damage(lineno, "pdbx_PDB_model_num is not a whole number: \"" + printable(text) + "\"");
    return false;
  }
  [[gnu::cold, gnu::noinline]] bool full(long lineno) {
    fault = {PassFault::Kind::full, lineno, 0, 0, std::to_string(t.limit)};
    return false;
  }
  [[gnu::cold, gnu::noinline]] bool unknown_element(const AtomSiteColumns& c, const Row& r,
                                                    std::string_view symbol) {
    const int name_column = c.auth_name >= 0 ? c.auth_name : c.label_name;
    const std::string_view name = name_column >= 0 ? r.value(name_column) : symbol;
    note_unknown_atom(name, name, err, notes.skipped_names);
    ++t.skipped;
    return true;
  }
  // The coordinates in any other form than the archive's, or of a row that
  // is not plain.
  template <class Real>
  [[gnu::noinline]] bool other_coordinates(const AtomSiteColumns& c, const Row& r, Real* xyz,
                                           long lineno) {
    const int axis[3] = {c.x, c.y, c.z};
    const char* names[3] = {"Cartn_x", "Cartn_y", "Cartn_z"};
    for (int k = 0; k < 3; ++k) {
      if (!coordinate(r.value(axis[k]), xyz[k])) return not_a_number(r, axis[k], names[k], lineno);
    }
    return true;
  }
};

// The first pass's visitor, written out for each precision and for runs that
// select atoms and those that do not.
template <class Real, bool Selecting>
struct AtomReader : AtomReading {
  using AtomReading::AtomReading;
  std::size_t line(std::string_view, bool) { return 0; }
  void line_end(bool) {}

  // A row of any form.
  template <class Scan = NarrowScan>
  bool row(const AtomSiteColumns& c, const Row& r, long lineno) {
    const RowValues v{r.value(c.symbol), c.model >= 0 ? r.value(c.model) : "1",
                      c.alt >= 0 ? r.value(c.alt) : ".", {nullptr, nullptr, nullptr}};
    return take<Scan, false>(c, r, v, lineno);
  }
  // A plain row, its values taken from the line.
  template <class Scan>
  [[gnu::always_inline]] bool plain_row(const AtomSiteColumns& c, const Row& r,
                                        const RowValues& v, long lineno) {
    return take<Scan, true>(c, r, v, lineno);
  }
  // `Plain`: a plain row, its coordinates where v.xyz_at says.
  template <class Scan, bool Plain>
  [[gnu::always_inline]] bool take(const AtomSiteColumns& c, const Row& r, const RowValues& v,
                                   long lineno) {
    std::int64_t model = 1;
    if (!whole_number(v.model, model)) return not_a_model(v.model, lineno);
    if (model != last_model || models.empty()) {
      models.push_back(model);
      last_model = model;
    }
    const std::string_view alt = v.alt.size() == 1 && v.alt[0] == '?' ? "." : v.alt;
    const bool no_alt = alt.size() == 1 && alt[0] == '.';
    bool selected = true;
    if constexpr (Selecting) {
      model_found = model_found || (sel.model && *sel.model == model);
      const bool in_model = !sel.model || *sel.model == model;
      selected = in_model && (!sel.altloc || no_alt || (alt.size() == 1 && alt[0] == *sel.altloc));
      notes.unselected += !selected;
      if (!selected) notes.other_locations += in_model;
      if (!selected && !every_record) return true;
    }
    Real xyz[4];  // (the plain reading writes 4 floats)
    const bool usual = Plain && Scan::plain_coordinates(v.xyz_at, xyz);
    if (!usual && !other_coordinates(c, r, xyz, lineno)) return false;
    if (!selected) return true;
    notes.alternate_locations += !no_alt;
    const double mass = element_symbol_mass(v.symbol);
    if (mass == 0) return unknown_element(c, r, v.symbol);
    if (!t.room()) return full(lineno);
    t.add(xyz, static_cast<Real>(mass));
    return true;
  }
};

// A moved coordinate with 3 decimals, as the copy writes it: from the
// coordinate-field tables where a single-precision value fits them, else the
// general conversion.
std::string three_decimals(double v, bool single) {
  char field[8];
  if (single && std::fabs(v) < 9999.0 && coordinate_field(field, static_cast<float>(v))) {
    const char* const first = std::find_if(field, field + 8, [](char c) { return c != ' '; });
    const char* const last = field + 8;
    return std::string(first, last);  // (exact: v is a float)
  }
  char buf[400];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
  return std::string(buf, end);
}

// The second pass's visitor: holds the lines of a row until it is complete,
// then writes them with its coordinates moved by `move` (Real[3] -> the
// moved values as doubles).
template <class Real, class Move>
struct AtomWriter {
  Sink& out;
  bool has_frame;
  Move move;
  std::string held;
  PassFault fault;

  std::size_t line(std::string_view text, bool crlf) {
    const std::size_t at = held.size();
    held.append(text);
    held += crlf ? "\r\n" : "\n";
    return at;
  }
  void line_end(bool row_pending) {
    if (row_pending) return;
    out.put(held);
    held.clear();
  }
  // A plain row: its coordinates read where they begin, when they have the
  // form the archive writes; any other as any row.
  template <class Scan>
  bool plain_row(const AtomSiteColumns& c, const Row& r, const RowValues& v, long lineno) {
    if (!has_frame) return true;
    std::string_view text[3];
    Real xyz[4];  // (the plain reading writes 4 floats)
    if (!Scan::short_values(v.xyz_at, text) || !Scan::plain_coordinates(v.xyz_at, xyz))
      return row(c, r, lineno);
    std::pair<std::size_t, std::size_t> places[3];
    for (int k = 0; k < 3; ++k) {
      const std::size_t begin = r.base + static_cast<std::size_t>(text[k].data() - r.line);
      places[k] = {begin, begin + text[k].size()};
    }
    write_moved(xyz, places);
    return true;
  }
  template <class Scan = NarrowScan>
  bool row(const AtomSiteColumns& c, const Row& r, long lineno) {
    if (!has_frame) return true;
    Real xyz[3];
    if (!coordinate(r.value(c.x), xyz[0]) || !coordinate(r.value(c.y), xyz[1]) ||
        !coordinate(r.value(c.z), xyz[2])) {
      fault = {PassFault::Kind::changed, lineno, 0, 0, {}};
      return false;
    }
    const std::pair<std::size_t, std::size_t> places[3] = {r.place(c.x), r.place(c.y),
                                                           r.place(c.z)};
    write_moved(xyz, places);
    return true;
  }
  // The coordinates xyz moved, written over the values at `places` of the
  // held text: from the last in the text to the first, so that the places of
  // those before stay where they were.
  void write_moved(const Real* xyz, const std::pair<std::size_t, std::size_t> (&places)[3]) {
    const std::array<double, 3> m = move(xyz);
    std::pair<std::size_t, int> order[3] = {{places[0].first, 0}, {places[1].first, 1},
                                            {places[2].first, 2}};
    std::sort(std::begin(order), std::end(order));
    for (int k = 2; k >= 0; --k) {
      const auto [begin, end] = places[order[k].second];
      held.replace(begin, end - begin,
                   three_decimals(m[static_cast<std::size_t>(order[k].second)],
                                  std::is_same_v<Real, float>));
    }
  }
  void finish() {
    out.put(held);
    held.clear();
  }
};

template <class Real, class Move>
WriteResult write_with(RecordCursor& cur, bool has_frame, Sink& out, Move move) {
  AtomWriter<Real, Move> writer{out, has_frame, move, {}, {}};
  WriteResult res;
  res.fault = walk_atom_site(cur, writer);
  if (!res.fault) writer.finish();
  return res;
}

// The first pass with the reader for a precision and selection; what it
// found stays in `reading`.
template <class Real, bool Selecting>
PassFault walk_as(RecordCursor& cur, AtomReading& reading) {
  AtomReader<Real, Selecting> reader(reading.t, reading.notes, reading.err, reading.sel,
                                     reading.every_record);
  PassFault fault = walk_atom_site(cur, reader);
  reading.models = std::move(reader.models);
  reading.model_found = reader.model_found;
  return fault;
}

}  // namespace

bool cif_values(std::string_view line, std::vector<CifValue>& values) {
  values.clear();
  LineMasks m;
  if (plain_masks(line, m) && !m.special) {
    std::uint64_t starts[4];
    value_starts(m, starts);
    for (std::size_t w = 0; w < m.words; ++w)
      for (std::uint64_t bits = starts[w]; bits != 0; bits &= bits - 1) {
        const auto at = static_cast<std::size_t>(64 * w + std::countr_zero(bits));
        values.push_back({at, value_end(m.filled, at), false});
      }
    return true;
  }
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (i < n) {
    if (blank(line[i])) {
      ++i;
      continue;
    }
    if (line[i] == '#') break;  // a comment to the end of the line
    if (line[i] == '\'' || line[i] == '"') {
      // Closed by the same quote followed by a blank or the end of the line.
      const char q = line[i];
      std::size_t j = i + 1;
      while (j < n && !(line[j] == q && (j + 1 == n || blank(line[j + 1])))) ++j;
      if (j >= n) return false;
      values.push_back({i + 1, j, true});
      i = j + 1;
      continue;
    }
    std::size_t j = i;
    while (j < n && !blank(line[j])) ++j;
    values.push_back({i, j, false});
    i = j;
  }
  return true;
}

PassFault read_mmcif_atoms(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& err,
                           const Selection& sel, bool every_record) {
  t.allocate();
  t.count = t.skipped = 0;
  notes.restart();
  AtomReading reading(t, notes, err, sel, every_record);
  if (PassFault fault = t.in_double ? (reading.selecting() ? walk_as<double, true>(cur, reading)
                                                           : walk_as<double, false>(cur, reading))
                                    : (reading.selecting() ? walk_as<float, true>(cur, reading)
                                                           : walk_as<float, false>(cur, reading)))
    return fault;
  const AtomReading& reader = reading;
  notes.mmcif = true;
  notes.models = static_cast<std::int64_t>(distinct_models(reader.models).size());
  if (sel.model && !reader.model_found)
    return {PassFault::Kind::no_model, cur.lineno(), 0, 0,
            std::to_string(*sel.model) + " (the file has " +
                (reader.models.empty() ? std::string("no atoms") : models_text(reader.models)) +
                ")"};
  return {};
}

WriteResult write_mmcif(RecordCursor& cur, bool has_frame, const Frame& frame, Sink& out) {
  return write_with<float>(cur, has_frame, out, [&](const float* v) {
    const Lanes m = frame.moved(Lanes{v[0], v[1], v[2], 0.0f});
    return std::array<double, 3>{m[0], m[1], m[2]};
  });
}

WriteResult write_mmcif(RecordCursor& cur, bool has_frame, const FrameD& frame, Sink& out) {
  return write_with<double>(cur, has_frame, out, [&](const double* v) {
    const Vec3d m = frame.moved({v[0], v[1], v[2]});
    return std::array<double, 3>{m.x, m.y, m.z};
  });
}

}  // namespace gyro
