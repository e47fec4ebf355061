// The rows of the _atom_site loop: which columns are read, a row's values
// (taken one by one, or found in a plain line where they stand), and the
// rows of a batch of plain lines handed to a visitor.
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
    const std::uint16_t* const value_starts = own ? nullptr : layout.at;
    const std::size_t length = rows.begins[i + 1] - rows.begins[i];
    const long number = lineno + 1 + static_cast<long>(i);
    RowValues values;
    bool go_on;
    if constexpr (requires {
                    visitor.template plain_line<Scan>(line, length, values.xyz_at,
                                                      std::string_view(), value_starts, columns,
                                                      row, number);
                  }) {
      // (The row is set where the visitor takes it as any other.)
      if constexpr (reads_row_values<Visitor>()) {
        row.set_line(line, value_starts);
        take_row_values<Scan>(columns, row, line, at, special, values);
      }
      const char* const xyz_at[3] = {line + at[0], line + at[1], line + at[2]};
      go_on = visitor.template plain_line<Scan>(line, length, xyz_at, values.model, value_starts,
                                                columns, row, number);
    } else {
      row.set_line(line, value_starts);
      if constexpr (reads_row_values<Visitor>())
        take_row_values<Scan>(columns, row, line, at, special, values);
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

}  // namespace gyro::cif
