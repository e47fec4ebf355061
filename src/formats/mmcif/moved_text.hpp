// The texts of moved coordinates and their splicing into a row's line: each
// with 3 decimals (from the coordinate-field tables where a value fits them),
// and the line written with them in place of the values it held.
#pragma once

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "analysis/rigid.hpp"
#include "formats/mmcif/scan.hpp"
#include "text/numtext.hpp"

namespace gyro::cif {

// The text of an 8-byte coordinate field without its leading blanks, as a
// word whose low byte is the text's first (8 bytes may be stored from it);
// returns its length. (Little-endian order; a field always has a digit.)
inline std::size_t field_without_blanks(const char* field, std::uint64_t& text) {
  std::uint64_t word;
  std::memcpy(&word, field, 8);
  // (The leading blanks: the zero bytes of the word with blanks taken out.)
  const auto leading = static_cast<std::size_t>(__builtin_ctzll(word ^ 0x2020202020202020ull) / 8);
  text = word >> (8 * leading);
  return 8 - leading;
}

// A moved coordinate with 3 decimals, as the copy writes it: from the
// coordinate-field tables where a single-precision value fits them, else the
// general conversion.
// Returns the text's length in `text` (room for 400 characters).
inline std::size_t three_decimals(char* text, double v, bool single) {
  char field[16];
  if (std::endian::native == std::endian::little && single && std::fabs(v) < 9999.0 &&
      coordinate_field(field, static_cast<float>(v))) {
    std::uint64_t word;
    const std::size_t length = field_without_blanks(field, word);
    std::memcpy(text, &word, 8);
    return length;  // (exact: v is a float)
  }
  return static_cast<std::size_t>(
      std::to_chars(text, text + 400, v, std::chars_format::fixed, 3).ptr - text);
}

// A value's begin and end in the held text (or its line). (Not set until
// given: the copy's rows set every one they use.)
struct Place {
  std::size_t first, second;
  Place() = default;
  Place(std::size_t begin, std::size_t end) : first(begin), second(end) {}
  Place(std::pair<std::size_t, std::size_t> p) : first(p.first), second(p.second) {}
};

// The texts of three moved coordinates, the order in which their places
// stand in the text (nearly always x, y, z), and how much longer the text
// becomes with them.
struct MovedTexts {
  char text[3][400];
  std::size_t length[3];
  int order[3] = {0, 1, 2};
  std::ptrdiff_t change = 0;
};
inline void moved_texts(const Place* places, const std::array<double, 3>& moved, bool single,
                        MovedTexts& t) {
  auto before = [&](int a, int b) { return places[a].first < places[b].first; };
  int* order = t.order;
  if (before(order[1], order[0])) std::swap(order[0], order[1]);
  if (before(order[2], order[1])) std::swap(order[1], order[2]);
  if (before(order[1], order[0])) std::swap(order[0], order[1]);
  for (int k = 0; k < 3; ++k) {
    t.length[k] = three_decimals(t.text[k], moved[static_cast<std::size_t>(k)], single);
    t.change += static_cast<std::ptrdiff_t>(t.length[k]) -
                static_cast<std::ptrdiff_t>(places[k].second - places[k].first);
  }
}

// Copies n bytes in pieces of 32: up to 31 bytes more are read and written.
// (Up to 64 bytes, as most pieces of a line are: one or two copies, the
// second ending where the bytes end.)
inline void copy_in_pieces(char* to, const char* from, std::size_t n) {
  if (n <= 32) {
    std::memcpy(to, from, 32);
  } else if (n <= 64) {
    std::memcpy(to, from, 32);
    std::memcpy(to + n - 32, from + n - 32, 32);
  } else {
    for (std::size_t k = 0; k < n; k += 32) std::memcpy(to + k, from + k, 32);
  }
}

// Writes at `to` the bytes from..end of a text with the values at `places`
// replaced by the moved texts; byte i of the text is old[i - from]. Returns
// the end of what it wrote. `InPieces`: 31 bytes past each piece of the text
// may be read, and past the end of what is written, written.
template <bool InPieces = false>
inline char* splice(char* to, const char* old, std::size_t from, std::size_t end,
                    const Place* places, const MovedTexts& t) {
  auto copy = [](char* a, const char* b, std::size_t n) {
    if constexpr (InPieces)
      copy_in_pieces(a, b, n);
    else
      std::memcpy(a, b, n);
  };
  std::size_t at = from;
  for (const int k : t.order) {
    copy(to, old + (at - from), places[k].first - at);
    to += places[k].first - at;
    copy(to, t.text[k], t.length[k]);
    to += t.length[k];
    at = places[k].second;
  }
  copy(to, old + (at - from), end - at);
  return to + (end - at);
}

// The texts of three moved coordinates with 3 decimals, as three_decimals
// writes them, each in a word (its first byte the text's first, 8 bytes
// read from it) with its length; false when one does not fit 8 bytes (then
// three_decimals writes it).
struct MovedWords {
  std::uint64_t text[4];  // (the fourth of no use)
  std::size_t length[4];
};
inline void trimmed_fields(const char* fields, MovedWords& t) {
  for (int k = 0; k < 3; ++k) t.length[k] = field_without_blanks(fields + 8 * k, t.text[k]);
}
// (Moved: a frame's single-precision lanes 0-2, or three doubles; a value that
// does not fit its field is left to three_decimals.)
template <class Moved>
bool moved_words_narrow(const Moved& moved, MovedWords& t) {
  if constexpr (std::endian::native != std::endian::little) return false;
  char fields[24];
  for (int k = 0; k < 3; ++k)
    if (!coordinate_field(fields + 8 * k, moved[static_cast<std::size_t>(k)])) return false;
  trimmed_fields(fields, t);
  return true;
}
#if defined(__x86_64__)
// trimmed_fields of the three fields in the 64-bit lanes 0-2 of `fields`, all
// at once: each shifted down by 8 bits a blank (a field's blanks all lead).
[[gnu::target("avx2"), gnu::always_inline]] inline void trimmed_fields_wide(__m256i fields,
                                                                            MovedWords& t) {
  const PlainConstants* c = plain_constants();
  const __m256i eights = _mm256_and_si256(_mm256_cmpeq_epi8(fields, repeat(RepeatedByte::blanks)),
                                          repeat(eight_bits));
  const __m256i shift = _mm256_sad_epu8(eights, _mm256_setzero_si256());
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(t.text), _mm256_srlv_epi64(fields, shift));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(t.length),
                      _mm256_sub_epi64(constant(c->eights), _mm256_srli_epi64(shift, 3)));
}
[[gnu::target("avx2")]] inline bool moved_words_wide(const Lanes& moved, MovedWords& t) {
  __m256i fields;
  if (!coordinate_field_lanes_wide(moved, fields)) return false;
  trimmed_fields_wide(fields, t);
  return true;
}
[[gnu::target("avx2")]] inline bool moved_words_wide(const std::array<double, 3>& moved,
                                                     MovedWords& t) {
  char fields[32];
  if (coordinate_fields_double_wide(fields, moved[0], moved[1], moved[2]) != 0) return false;
  trimmed_fields_wide(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(fields)), t);
  return true;
}
#endif
template <class Scan, class Moved>
bool moved_words(const Moved& moved, MovedWords& t) {
#if defined(__x86_64__)
  if constexpr (std::is_same_v<Scan, WideScan>) return moved_words_wide(moved, t);
#endif
  return moved_words_narrow(moved, t);
}

// Writes at `to` a line of `length` bytes (its line end included; 264 bytes
// may be read from it) with the values at `places` (in order, at most 16
// bytes between them) replaced by the moved texts; 31 bytes past the end may
// be written. Returns the end of what it wrote.
inline char* splice_in_order(char* to, const char* line, std::size_t length,
                             const Place (&places)[3], const MovedWords& t) {
  copy_in_pieces(to, line, places[0].first);
  to += places[0].first;
  for (int k = 0; k < 2; ++k) {
    std::memcpy(to, &t.text[k], 8);
    to += t.length[k];
    std::memcpy(to, line + places[k].second, 16);
    to += places[k + 1].first - places[k].second;
  }
  std::memcpy(to, &t.text[2], 8);
  to += t.length[2];
  copy_in_pieces(to, line + places[2].second, length - places[2].second);
  return to + (length - places[2].second);
}

}  // namespace gyro::cif
