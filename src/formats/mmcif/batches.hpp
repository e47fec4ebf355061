// The batches of plain lines that the rows of an _atom_site loop are read
// in: each line's masks found, where its values begin told from its batch's
// layout or found (and kept for the lines that stand alike), then the
// batch's rows handed to the visitor.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <type_traits>

#include "formats/mmcif/rows.hpp"
#include "formats/mmcif/scan.hpp"
#include "structure/passes.hpp"
#include "text/records.hpp"
#include "text/vectors.hpp"

namespace gyro::cif {

// The layout of a line whose values begin at `starts` (a bit a byte; 0 past
// the line's `words` words): where each column's value begins and where
// those that every reading takes do; false when the line has not a value a
// column.
inline bool take_layout(PlainLayout& layout, const std::uint64_t (&starts)[4], std::size_t words,
                        int column_count, const int (&read_columns)[6]) {
  int count = 0;
  for (std::size_t w = 0; w < words; ++w) count += std::popcount(starts[w]);
  if (count != column_count) return false;
  int k = 0;
  for (std::size_t w = 0; w < words; ++w)
    for (std::uint64_t bits = starts[w]; bits != 0; bits &= bits - 1)
      layout.at[k++] =
          static_cast<std::uint16_t>(64 * w + static_cast<std::size_t>(std::countr_zero(bits)));
  for (int j = 0; j < 6; ++j)
    layout.read_at[j] = read_columns[j] >= 0 ? layout.at[read_columns[j]] : PlainLayout::none_at;
  std::copy(starts, starts + 4, std::begin(layout.starts));
  layout.words = words;
  for (std::size_t w = 0; w < 2; ++w)
    layout.two_word_starts[w] = words == 2 ? starts[w] : ~std::uint64_t{0};
  return true;
}

// Where the values that every reading takes begin in a line whose values
// begin at the bits `starts` (`words` words of them); false when the line has
// not a value a column.
template <class Scan>
[[gnu::always_inline]] inline bool read_positions(const std::uint64_t (&starts)[4],
                                                  std::size_t words, int column_count,
                                                  const int (&read_columns)[6], ReadAt& at) {
  int in_word[4], count = 0;
  for (std::size_t w = 0; w < words; ++w) {
    in_word[w] = std::popcount(starts[w]);
    count += in_word[w];
  }
  if (count != column_count) return false;
  for (int j = 0; j < 6; ++j) {
    int k = read_columns[j];
    if (k < 0) {
      at[j] = PlainLayout::none_at;
      continue;
    }
    std::size_t w = k >= in_word[0];  // (most lines take one or two words)
    k -= w ? in_word[0] : 0;
    for (; w + 1 < words && k >= in_word[w]; ++w) k -= in_word[w];  // (k is below the count)
    at[j] = static_cast<std::uint16_t>(64 * w + Scan::nth_bit(starts[w], static_cast<unsigned>(k)));
  }
  return true;
}

// The masks and value starts of the line at `line`; false where it is no
// plain row.
template <class Scan>
[[gnu::always_inline]] inline bool plain_line_starts(const char* line, LineMasks& m,
                                                     std::uint64_t (&starts)[4]) {
  if (!(line_masks<Scan>(line, m) && line[0] != ';' && (!m.special || quotes_close<Scan>(line, m))))
    return false;
  value_starts(m, starts);
  return true;
}

// The plain lines found for a batch (at most 64): where each begins (from
// the first line ahead), which have special bytes, which have places of their
// own and where the values read from those begin; `more` false where the
// lines ahead hold no more plain rows.
struct FoundLines {
  static constexpr std::size_t most = 64;  // (one bit each in `special`)
  std::uint32_t begins[most + 1];
  ReadAt read_at[most];
  std::uint64_t special = 0, own = 0;
  std::size_t count = 0;
  bool more = true;
};

// Where lines of a batch that have places of their own have their values
// begin (none yet: bits no line has), and which line each is: the last such
// line of other than two words, and of the lines of two words the last of
// each of a few kinds (by a hash of where their values begin; rows of loops
// whose values are not aligned fall into a few such kinds, mostly).
struct OwnPlaces {
  static constexpr std::uint64_t none = ~std::uint64_t{0};
  static constexpr int kinds = 16;
  std::uint64_t starts[4] = {none, none, none, none};
  std::size_t line = 0;
  std::uint64_t two_word_starts[kinds][2];
  std::uint8_t two_word_line[kinds];
  OwnPlaces() {
    for (auto& k : two_word_starts) k[0] = k[1] = none;
  }
  static unsigned kind(const std::uint64_t (&starts)[2]) {
    return static_cast<unsigned>(((starts[0] ^ starts[1]) * 0x9E3779B97F4A7C15u) >> 60);
  }
};

// Takes line n of a batch, whose values begin at `starts` (0 past its
// `words` words), into `found`: read by the layout where its values stand
// there; else with places of its own, those of the last such line where they
// stand alike (as runs of lines do in loops whose values are not aligned). A
// batch's first line of other places gives the layout. False when the line
// has not a value a column.
template <class Scan>
[[gnu::always_inline]] inline bool place_line(std::size_t n, const std::uint64_t (&starts)[4],
                                              std::size_t words, int column_count,
                                              const int (&read_columns)[6], PlainLayout& layout,
                                              OwnPlaces& own, FoundLines& found) {
  std::uint64_t differ = 0;
  for (std::size_t w = 0; w < 4; ++w) differ |= starts[w] ^ layout.starts[w];
  if (differ == 0) return true;
  if (n == 0) return take_layout(layout, starts, words, column_count, read_columns);
  std::uint64_t differ_from_own = 0;
  for (std::size_t w = 0; w < 4; ++w) differ_from_own |= starts[w] ^ own.starts[w];
  if (differ_from_own == 0) {
    std::memcpy(found.read_at[n], found.read_at[own.line], sizeof(ReadAt));
  } else {
    if (!read_positions<Scan>(starts, words, column_count, read_columns, found.read_at[n]))
      return false;
    std::copy(std::begin(starts), std::end(starts), own.starts);
  }
  found.own |= std::uint64_t{1} << n;
  own.line = n;
  return true;
}

// Where the values that every reading takes begin in a line of two words
// whose values begin at the bits `starts` (`XyzOnly`: only x, y and z, the
// others none); false when the line has not a value a column.
template <class Scan, bool XyzOnly>
[[gnu::always_inline]] inline bool read_positions_in_two(const std::uint64_t (&starts)[2],
                                                         int column_count,
                                                         const int (&read_columns)[6], ReadAt& at) {
  const int in_first = std::popcount(starts[0]);
  if (in_first + std::popcount(starts[1]) != column_count) return false;
  if constexpr (XyzOnly) {
    // (x, y and z mostly are three columns in a row within one word: their
    // bits deposited at once.)
    const int x = read_columns[0];
    const bool second = x >= in_first;
    const int from = second ? x - in_first : x;
    if (read_columns[1] == x + 1 && read_columns[2] == x + 2 &&
        from + 2 < (second ? column_count - in_first : in_first)) {
      // (Three bits are deposited: none of the words below is 0.)
      std::uint64_t bits =
          Scan::three_bits(second ? starts[1] : starts[0], static_cast<unsigned>(from));
      const unsigned base = second ? 64 : 0;
      for (int j = 0; j < 3; ++j, bits &= bits - 1)
        at[j] = static_cast<std::uint16_t>(base + static_cast<unsigned>(__builtin_ctzll(bits)));
      for (int j = 3; j < 6; ++j) at[j] = PlainLayout::none_at;
      return true;
    }
  }
  for (int j = 0; j < 6; ++j) {
    const int k = read_columns[j];
    if (k < 0)
      at[j] = PlainLayout::none_at;
    else if (k < in_first)
      at[j] = static_cast<std::uint16_t>(Scan::nth_bit(starts[0], static_cast<unsigned>(k)));
    else
      at[j] = static_cast<std::uint16_t>(
          64 + Scan::nth_bit(starts[1], static_cast<unsigned>(k - in_first)));
  }
  return true;
}

// place_line for a line of two words whose values do not begin where the
// layout's do: its places those of the last line of its kind where they
// stand alike, else found.
template <class Scan, bool XyzOnly>
[[gnu::always_inline]] inline bool place_two_word_line(
    std::size_t n, const std::uint64_t (&starts)[2], int column_count, const int (&read_columns)[6],
    PlainLayout& layout, OwnPlaces& own, FoundLines& found) {
  if (n == 0) {
    const std::uint64_t all[4] = {starts[0], starts[1], 0, 0};
    return take_layout(layout, all, 2, column_count, read_columns);
  }
  const unsigned kind = OwnPlaces::kind(starts);
  std::uint64_t(&kind_starts)[2] = own.two_word_starts[kind];
  if (((starts[0] ^ kind_starts[0]) | (starts[1] ^ kind_starts[1])) == 0) {
    std::memcpy(found.read_at[n], found.read_at[own.two_word_line[kind]], sizeof(ReadAt));
  } else {
    if (!read_positions_in_two<Scan, XyzOnly>(starts, column_count, read_columns, found.read_at[n]))
      return false;
    kind_starts[0] = starts[0];
    kind_starts[1] = starts[1];
    own.two_word_line[kind] = static_cast<std::uint8_t>(n);
  }
  found.own |= std::uint64_t{1} << n;
  return true;
}

// How a line that place_other_line took stands: its length, words (0: it
// was not taken) and whether it has special bytes.
struct LineShape {
  std::uint32_t length;
  std::uint16_t words;
  bool special;
};

// Takes line n of a batch (at `line`, of any length up to 256 bytes) as
// place_line does; no words where it is no plain row of the loop. (Out of
// the way of the lines of two words, for a batch of other lines one call a
// line.)
template <class Scan>
[[gnu::always_inline]] inline LineShape place_other_line_with(std::size_t n, const char* line,
                                                              int column_count,
                                                              const int (&read_columns)[6],
                                                              PlainLayout& layout, OwnPlaces& own,
                                                              FoundLines& found) {
  LineMasks m;
  std::uint64_t starts[4] = {0, 0, 0, 0};  // (past the line's words: none)
  if (!plain_line_starts<Scan>(line, m, starts) ||
      !place_line<Scan>(n, starts, m.words, column_count, read_columns, layout, own, found))
    return {0, 0, false};
  return {static_cast<std::uint32_t>(m.length), static_cast<std::uint16_t>(m.words), m.special};
}
LineShape place_other_line_narrow(std::size_t n, const char* line, int column_count,
                                  const int (&read_columns)[6], PlainLayout& layout, OwnPlaces& own,
                                  FoundLines& found);
#if defined(__x86_64__)
LineShape place_other_line_wide(std::size_t n, const char* line, int column_count,
                                const int (&read_columns)[6], PlainLayout& layout, OwnPlaces& own,
                                FoundLines& found);
#endif
template <class Scan>
LineShape place_other_line(std::size_t n, const char* line, int column_count,
                           const int (&read_columns)[6], PlainLayout& layout, OwnPlaces& own,
                           FoundLines& found) {
#if defined(__x86_64__)
  if constexpr (std::is_same_v<Scan, WideScan>)
    return place_other_line_wide(n, line, column_count, read_columns, layout, own, found);
#endif
  return place_other_line_narrow(n, line, column_count, read_columns, layout, own, found);
}

// Finds the plain lines of a batch from `line` on (up to `limit`; `first`:
// where the lines ahead begin), as place_line takes them; returns where the
// next line begins. (A line is first looked at as taking two words when the
// line before did; most of those of an aligned loop are read by a layout of
// two words.)
template <class Scan, bool XyzOnly>
[[gnu::always_inline]] inline const char* find_lines(const char* first, const char* line,
                                                     const char* limit, int column_count,
                                                     const int (&read_columns)[6],
                                                     PlainLayout& layout, FoundLines& found) {
  OwnPlaces own;
  bool two_words = layout.words == 2 || layout.words == 0;
  std::size_t n = 0;
  // (The 4 words a line may take, and 8 bytes past the line, may be read.)
  for (; n < FoundLines::most; ++n) {
    if (limit - line < 64 * 4 + 8) {
      found.more = false;
      break;
    }
    TwoWordLine t;
    const TwoWords kind = two_words ? same_two_words<Scan>(line, layout, t) : TwoWords::other;
    LineShape shape;
    if (kind == TwoWords::plain || kind == TwoWords::quoted) {
      shape = {static_cast<std::uint32_t>(t.length), 2, kind == TwoWords::quoted};
    } else if (kind == TwoWords::own_places) {
      if (!place_two_word_line<Scan, XyzOnly>(n, t.starts, column_count, read_columns, layout, own,
                                              found)) {
        found.more = false;
        break;
      }
      shape = {static_cast<std::uint32_t>(t.length), 2, t.special};
    } else {
      shape = place_other_line<Scan>(n, line, column_count, read_columns, layout, own, found);
      if (shape.words == 0) {
        found.more = false;
        break;
      }
      two_words = shape.words == 2;
    }
    found.begins[n] = static_cast<std::uint32_t>(line - first);
    if (shape.special) found.special |= std::uint64_t{1} << n;
    line += shape.length + 1;
  }
  found.begins[n] = static_cast<std::uint32_t>(line - first);
  found.count = n;
  return line;
}

// Takes the lines ahead that are plain whole rows of the _atom_site loop (no
// comment, tag, keyword or text field, quotes only around values without
// blanks, a value a column), handing each to the
// visitor with the values every reading takes; stops before any other line,
// and before a line that does not end 8 bytes or more before the end of what
// the cursor holds now. (In turns: the lines of a batch are found, then their
// rows read, each loop kept small.)
template <class Scan, class Visitor>
[[gnu::always_inline]] inline PassFault plain_rows_with(RecordCursor& cur, Visitor& visitor,
                                                        const AtomSiteColumns& columns, Row& row,
                                                        PlainLayout& layout) {
  // (A visitor that reads no type_symbol, model or location has their
  // places not found.)
  constexpr bool values = reads_row_values<Visitor>();
  const int read_columns[6] = {columns.x,
                               columns.y,
                               columns.z,
                               values ? columns.symbol : -1,
                               values ? columns.model : -1,
                               values ? columns.alt : -1};
  // The lines are passed here and the cursor told at the end.
  const std::string_view ahead = cur.ahead();
  const char* const first = ahead.data();
  const char* const limit = ahead.data() + ahead.size();
  const char* line = first;
  long lineno = cur.lineno();
  PassFault fault;
  row.clear();
  for (bool more = true; more;) {
    FoundLines found;
    line =
        find_lines<Scan, !values>(first, line, limit, columns.count, read_columns, layout, found);
    more = found.more;
    const std::size_t n = found.count;
    const PlainBatch rows{first, found.begins, found.read_at, found.special, found.own, n};
    const std::size_t stop = read_batch<Scan>(visitor, columns, row, layout, rows, lineno);
    if (stop < n) {  // (the row that stopped the walk is passed too)
      fault = std::move(visitor.fault);
      line = first + found.begins[stop + 1];
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
[[gnu::target("avx2,bmi2")]] PassFault plain_rows_wide(RecordCursor& cur, Visitor& visitor,
                                                       const AtomSiteColumns& columns, Row& row,
                                                       PlainLayout& layout) {
  return plain_rows_with<WideScan>(cur, visitor, columns, row, layout);
}
#endif

template <class Visitor>
PassFault plain_rows(RecordCursor& cur, Visitor& visitor, const AtomSiteColumns& columns, Row& row,
                     PlainLayout& layout) {
#if defined(__x86_64__)
  if (vectors::wide()) return plain_rows_wide(cur, visitor, columns, row, layout);
#endif
  return plain_rows_with<NarrowScan>(cur, visitor, columns, row, layout);
}

}  // namespace gyro::cif
