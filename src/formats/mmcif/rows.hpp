// The rows of the _atom_site loop: which columns are read, a row's values
// (taken one by one, or found in a plain line where they stand), and the
// batches of plain lines that the archive's aligned loops are read in.
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

#include "formats/mmcif/scan.hpp"
#include "structure/passes.hpp"
#include "text/records.hpp"
#include "text/vectors.hpp"

namespace gyro::cif {

// The columns of the _atom_site loop that are read (-1: absent), and how many
// it has.
struct AtomSiteColumns {
  int count = 0;
  int x = -1, y = -1, z = -1, symbol = -1, auth_name = -1, label_name = -1, model = -1, alt = -1;
  // What --select reads: group_PDB, the residue name, chain, segment, number
  // and insertion code (the auth_ columns where there are, else label_).
  int group = -1, auth_comp = -1, label_comp = -1, auth_asym = -1, label_asym = -1,
      auth_seq = -1, label_seq = -1, ins_code = -1;
};

// The columns of a loop whose tags (lower case) are `tags`.
AtomSiteColumns atom_site_columns(const std::vector<std::string>& tags);

struct RowValues {
  std::string_view symbol, model, alt;  // (empty for a visitor that reads none)
  // Of a plain row: where x, y and z begin (9 bytes may be read from each),
  // their ends not yet found. (Any row gives them by Row::value.)
  const char* xyz_at[3];
};

// Where the value of column k begins in a line whose values begin at the
// bits `starts` (`words` words of them).
template <class Scan>
[[gnu::always_inline]] inline std::uint16_t nth_value_start(const std::uint64_t* starts,
                                                            std::size_t words, int k) {
  auto rest = static_cast<unsigned>(k);
  std::size_t w = 0;
  for (; w + 1 < words; ++w) {
    const auto in_word = static_cast<unsigned>(std::popcount(starts[w]));
    if (rest < in_word) break;
    rest -= in_word;
  }
  return static_cast<std::uint16_t>(64 * w + Scan::nth_bit(starts[w], rest));
}

// A row of the loop: its values, and where each stood in the text the walk's
// visitor holds. A plain row (a whole line, read without taking its values
// one by one) keeps its line and where its values begin (those of its
// batch's layout, or none: then they are found from the line's masks), and
// finds a value's end from the masks when asked. Any other row keeps its
// values; those of a row that goes on past its line point into copies
// (keep()) made before the line goes.
struct Row {
  std::vector<std::string_view> values;
  std::vector<std::pair<std::size_t, std::size_t>> held;  // in the visitor's text: begin, end
  std::vector<std::string> kept;
  const char* line = nullptr;  // of a plain row (set_line); 256 bytes may be read from it
  const std::uint16_t* starts = nullptr;  // column k's value begins at byte starts[k]
  std::size_t base = 0;  // where the line stands in the visitor's text

  // The row is the plain line at l, its values beginning at `at` (none: where
  // its masks say). (Another line may stand where an earlier one stood, once
  // the cursor has read its next block.)
  void set_line(const char* l, const std::uint16_t* at) {
    line = l;
    starts = at;
    masks_of = nullptr;
  }

  std::string_view value(int k) const {
    const auto i = static_cast<std::size_t>(k);
    if (line == nullptr) return values[i];
    if (masks_of != line) find_masks();  // the line's masks, found when first asked for
    const std::size_t at =
        starts != nullptr ? starts[i] : nth_value_start<NarrowScan>(begun, masks.words, k);
    return plain_value(line, masks, at);
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
    value_starts(masks, begun);
    masks_of = line;
  }
  mutable LineMasks masks;
  mutable std::uint64_t begun[4];  // the first bytes of its values
  mutable const char* masks_of = nullptr;
};

// Where the values of RowValues begin in a line (x, y, z, type_symbol, model,
// location; PlainLayout::none_at for a column the loop has not).
using ReadAt = std::uint16_t[8];

// Plain lines found in turn: where each begins (from `first`; each ends with
// a line feed before the next begins), which have special bytes, and which
// have their values elsewhere than the batch's layout says, and where the
// values read from those begin. (At most 64 lines.)
struct PlainBatch {
  const char* first;
  const std::uint32_t* begins;  // count + 1: the last where the next line begins
  const ReadAt* read_at;        // of the lines of their own layout
  std::uint64_t special;        // bit i: line i has special bytes
  std::uint64_t own;            // bit i: line i has a layout of its own
  std::size_t count;
};

// The type_symbol, model and location of a plain row (special: the line has
// quotes), where `at` says they begin.
template <class Scan>
[[gnu::always_inline]] inline void take_row_values(const AtomSiteColumns& columns, Row& row,
                                                   const char* line, const std::uint16_t* at,
                                                   bool special, RowValues& values) {
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
}

// Whether the visitor reads a plain row's type_symbol, model and location
// (the copy of a single frame reads none).
template <class Visitor>
constexpr bool reads_row_values() {
  if constexpr (requires { Visitor::reads_values; })
    return Visitor::reads_values;
  else
    return true;
}

// A plain line of `length` bytes (its line end included) as its text and its
// line end, each a view of its own bytes.
inline std::pair<std::string_view, std::string_view> text_and_end(const char* line,
                                                                  std::size_t length) {
  const std::size_t text = length - 1;
  const bool crlf = text > 0 && line[text - 1] == '\r';
  return {{line, text - crlf}, {line + text - crlf, 1 + std::size_t{crlf}}};
}

// The rows of a batch to the visitor, each with the values every reading
// takes; the row that stopped the walk (the count when none did). `Own`: some
// lines have places of their own (else all are the layout's). A visitor with
// plain_line (the copy) gets each whole line, where x, y and z begin, and the
// model where it reads values.
template <class Scan, bool Own, class Visitor>
[[gnu::always_inline]] inline std::size_t read_batch_with(Visitor& visitor,
                                                          const AtomSiteColumns& columns, Row& row,
                                                          const PlainLayout& layout,
                                                          const PlainBatch& rows, long lineno) {
  for (std::size_t i = 0; i < rows.count; ++i) {
    const char* const line = rows.first + rows.begins[i];
    const bool special = (rows.special >> i) & 1;
    const bool own = Own && ((rows.own >> i) & 1);
    const std::uint16_t* const at = own ? rows.read_at[i] : layout.read_at;
    row.set_line(line, own ? nullptr : layout.at);
    const std::size_t length = rows.begins[i + 1] - rows.begins[i];
    const long number = lineno + 1 + static_cast<long>(i);
    RowValues values;
    if constexpr (reads_row_values<Visitor>())
      take_row_values<Scan>(columns, row, line, at, special, values);
    bool go_on;
    if constexpr (requires {
                    visitor.template plain_line<Scan>(line, length, values.xyz_at,
                                                      std::string_view(), columns, row, number);
                  }) {
      const char* const xyz_at[3] = {line + at[0], line + at[1], line + at[2]};
      go_on = visitor.template plain_line<Scan>(line, length, xyz_at, values.model, columns, row,
                                                number);
    } else {
      for (int k = 0; k < 3; ++k) values.xyz_at[k] = line + at[k];
      const auto [text, end] = text_and_end(line, length);
      row.base = visitor.line(text, end);
      go_on = visitor.template plain_row<Scan>(columns, row, values, number);
      visitor.line_end(false);
    }
    if (!go_on) return i;
  }
  return rows.count;
}

template <class Visitor>
[[gnu::noinline]] std::size_t read_batch_narrow(Visitor& visitor, const AtomSiteColumns& columns,
                                                Row& row, const PlainLayout& layout,
                                                const PlainBatch& rows, long lineno) {
  return rows.own == 0
             ? read_batch_with<NarrowScan, false>(visitor, columns, row, layout, rows, lineno)
             : read_batch_with<NarrowScan, true>(visitor, columns, row, layout, rows, lineno);
}
#if defined(__x86_64__)
template <class Visitor>
[[gnu::target("avx2"), gnu::noinline]] std::size_t read_batch_wide(
    Visitor& visitor, const AtomSiteColumns& columns, Row& row, const PlainLayout& layout,
    const PlainBatch& rows, long lineno) {
  return rows.own == 0
             ? read_batch_with<WideScan, false>(visitor, columns, row, layout, rows, lineno)
             : read_batch_with<WideScan, true>(visitor, columns, row, layout, rows, lineno);
}
// The same with every call the visitor makes for a plain row inlined, the
// 256-bit ones too, for a visitor whose rows are mostly such calls (the
// copy's: coordinates read, moved and written).
template <class Visitor>
[[gnu::target("avx2"), gnu::noinline, gnu::flatten]] std::size_t read_batch_wide_inlined(
    Visitor& visitor, const AtomSiteColumns& columns, Row& row, const PlainLayout& layout,
    const PlainBatch& rows, long lineno) {
  return rows.own == 0
             ? read_batch_with<WideScan, false>(visitor, columns, row, layout, rows, lineno)
             : read_batch_with<WideScan, true>(visitor, columns, row, layout, rows, lineno);
}
#endif
template <class Scan, class Visitor>
[[gnu::always_inline]] inline std::size_t read_batch(Visitor& visitor, const AtomSiteColumns& columns,
                                                     Row& row, const PlainLayout& layout,
                                                     const PlainBatch& rows, long lineno) {
#if defined(__x86_64__)
  if constexpr (std::is_same_v<Scan, WideScan> && requires { requires Visitor::inline_rows; })
    return read_batch_wide_inlined(visitor, columns, row, layout, rows, lineno);
  if constexpr (std::is_same_v<Scan, WideScan>)
    return read_batch_wide(visitor, columns, row, layout, rows, lineno);
#endif
  return read_batch_narrow(visitor, columns, row, layout, rows, lineno);
}

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

// Where the last line of a batch that has places of its own has its values
// begin (none yet: bits no line has), and which line it is.
struct OwnPlaces {
  std::uint64_t starts[4] = {~std::uint64_t{0}, ~std::uint64_t{0}, ~std::uint64_t{0},
                             ~std::uint64_t{0}};
  std::size_t line = 0;
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
// whose values begin at the bits `starts`; false when the line has not a
// value a column.
template <class Scan>
[[gnu::always_inline]] inline bool read_positions_in_two(const std::uint64_t (&starts)[2],
                                                         int column_count,
                                                         const int (&read_columns)[6], ReadAt& at) {
  const int in_first = std::popcount(starts[0]);
  if (in_first + std::popcount(starts[1]) != column_count) return false;
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
// layout's do.
template <class Scan>
[[gnu::always_inline]] inline bool place_two_word_line(
    std::size_t n, const std::uint64_t (&starts)[2], int column_count, const int (&read_columns)[6],
    PlainLayout& layout, OwnPlaces& own, FoundLines& found) {
  if (n == 0) {
    const std::uint64_t all[4] = {starts[0], starts[1], 0, 0};
    return take_layout(layout, all, 2, column_count, read_columns);
  }
  if (((starts[0] ^ own.starts[0]) | (starts[1] ^ own.starts[1]) | own.starts[2] | own.starts[3]) ==
      0) {
    std::memcpy(found.read_at[n], found.read_at[own.line], sizeof(ReadAt));
  } else {
    if (!read_positions_in_two<Scan>(starts, column_count, read_columns, found.read_at[n]))
      return false;
    own.starts[0] = starts[0];
    own.starts[1] = starts[1];
    own.starts[2] = own.starts[3] = 0;
  }
  found.own |= std::uint64_t{1} << n;
  own.line = n;
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
template <class Scan>
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
      if (!place_two_word_line<Scan>(n, t.starts, column_count, read_columns, layout, own, found)) {
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
    line = find_lines<Scan>(first, line, limit, columns.count, read_columns, layout, found);
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
PassFault plain_rows(RecordCursor& cur, Visitor& visitor, const AtomSiteColumns& columns,
                     Row& row, PlainLayout& layout) {
#if defined(__x86_64__)
  if (vectors::wide()) return plain_rows_wide(cur, visitor, columns, row, layout);
#endif
  return plain_rows_with<NarrowScan>(cur, visitor, columns, row, layout);
}

}  // namespace gyro::cif
