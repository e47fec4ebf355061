// The grammar of mmCIF text as far as the atoms need it: data blocks, loops,
// tags and values, quoted values and text fields, comments; the walk that
// hands every row of the first data block's _atom_site loop to a visitor.
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

#include "formats/mmcif/batches.hpp"
#include "formats/mmcif/mmcif.hpp"
#include "structure/passes.hpp"
#include "text/records.hpp"

namespace gyro::cif {

// A word in lower case (tags and keywords are compared so).
std::string lower(std::string_view s);

inline PassFault damage(long lineno, std::string why) {
  return {PassFault::Kind::damaged, lineno, 0, 0, std::move(why)};
}

// Walks the lines of mmCIF text up to the end of its first data block. For
// every line, visitor.line(text, line_end) gives where the line starts in the text
// the visitor holds (0 when it holds none), and visitor.line_end(row_pending)
// follows its values; visitor.row(columns, row, lineno) takes every complete
// row of the _atom_site loop, and may stop the walk by returning false with
// the reason in visitor.fault. A plain row on a line of its own goes to
// visitor.plain_row between line() and line_end(), or, where the visitor has
// it, to visitor.plain_line(line, length, xyz_at, model, value_starts,
// columns, row, lineno) alone, which does all three (and sets the row where it
// takes it as any other).
template <class Visitor>
class AtomSiteWalk {
 public:
  AtomSiteWalk(RecordCursor& cur, Visitor& visitor) : cur_(cur), visitor_(visitor) {}

  PassFault run() {
    for (;;) {
      if (state_ == State::atom_rows && filled_ == 0 && !in_text_field_ && !done_ &&
          columns_.count <= 64)
        if (PassFault f = plain_rows(cur_, visitor_, columns_, row_, layout_)) return f;
      // Lines are taken whole where they stand (Columns 1: none is blank-filled).
      const char* p = cur_.next<false, false, 1>();
      if (p == nullptr) break;
      if (PassFault f = take_line(cur_.whole_line(p))) return f;
    }
    if (cur_.failed()) return {PassFault::Kind::read_error, cur_.lineno(), 0, 0, cur_.failure()};
    if (PassFault f = end_rows()) return f;
    if (!loop_found_) return damage(cur_.lineno(), "no _atom_site loop: not mmCIF atom data");
    return {};
  }

 private:
  // atom_items: _atom_site written as item/value pairs (a single atom).
  enum class State { outside, header, atom_rows, other_rows, atom_items };

  // One line: a text field's, a whole row of the loop, or values and words.
  PassFault take_line(std::string_view line) {
    const std::size_t base = visitor_.line(line, cur_.line_end());
    if (done_) {
      visitor_.line_end(false);
      return {};
    }
    std::string_view rest = line;
    std::size_t rest_at = 0;
    if (in_text_field_ || line.starts_with(";")) {
      if (!in_text_field_) {  // a text field opens: its lines are one value
        in_text_field_ = true;
        visitor_.line_end(true);
        return {};
      }
      if (!line.starts_with(";")) {
        visitor_.line_end(true);
        return {};
      }
      in_text_field_ = false;
      if (PassFault f = value("?", base, base)) return f;
      rest = line.substr(1);
      rest_at = 1;
    }
    if (!cif_values(rest, values_))
      return damage(cur_.lineno(), "a quoted value is not closed on its line");
    // Any other line that is one whole row (quoted values in it).
    if (state_ == State::atom_rows && filled_ == 0 && rest_at == 0 &&
        values_.size() == static_cast<std::size_t>(columns_.count) &&
        (values_[0].quoted || line[values_[0].begin] != '_'))
      return whole_row(line, base);
    return words_and_values(rest, base + rest_at);
  }

  // The values of a line in turn, each a keyword or a value.
  PassFault words_and_values(std::string_view rest, std::size_t at) {
    for (const CifValue& v : values_) {
      const std::string_view text = rest.substr(v.begin, v.end - v.begin);
      bool is_keyword = false;
      if (!v.quoted) {
        if (PassFault f = keyword(text, is_keyword)) return f;
        if (done_) break;
      }
      if (!is_keyword)
        if (PassFault f = value(text, at + v.begin, at + v.end)) return f;
    }
    if (filled_ > 0) row_.keep();
    visitor_.line_end(filled_ > 0 || in_text_field_ || state_ == State::atom_items);
    return {};
  }

  // A line that is one whole row of the loop: to the visitor, and the line
  // is done.
  PassFault whole_row(std::string_view line, std::size_t base) {
    row_.clear();
    for (const CifValue& v : values_) {
      row_.values.emplace_back(line.data() + v.begin, v.end - v.begin);
      row_.held.emplace_back(base + v.begin, base + v.end);
    }
    row_line_ = cur_.lineno();
    const bool go_on = visitor_.row(columns_, row_, cur_.lineno());
    visitor_.line_end(false);
    return go_on ? PassFault{} : std::move(visitor_.fault);
  }

  // The end of a loop's rows (a row begun and not completed is damage), or
  // of _atom_site's item/value pairs (their one row to the visitor).
  PassFault end_rows() {
    if (state_ == State::atom_items) return end_items();
    if (state_ == State::atom_rows && filled_ > 0)
      return damage(row_line_, "a row with fewer values than the " +
                                   std::to_string(columns_.count) + " columns of _atom_site");
    return {};
  }

  // The _atom_site items, when they are over: one atom, its values in the
  // order of its tags.
  PassFault end_items() {
    state_ = State::outside;
    if (static_cast<std::size_t>(filled_) != tags_.size())
      return damage(row_line_, "an _atom_site item without a value");
    loop_found_ = true;
    columns_ = atom_site_columns(tags_);
    if (PassFault f = required_columns()) return f;
    const bool go_on = visitor_.row(columns_, row_, cur_.lineno());
    row_.clear();
    filled_ = 0;
    return go_on ? PassFault{} : std::move(visitor_.fault);
  }

  // The columns every reading needs.
  PassFault required_columns() {
    for (const auto& [column, name] : {std::pair{columns_.x, "Cartn_x"}, {columns_.y, "Cartn_y"},
                                       {columns_.z, "Cartn_z"}, {columns_.symbol, "type_symbol"}})
      if (column < 0)
        return damage(cur_.lineno(), std::string("_atom_site has no ") + name + " column");
    return {};
  }

  // The first value after a loop's tags: the rows of _atom_site (the first
  // such loop), or of another loop.
  PassFault begin_rows() {
    const bool atom_site =
        !loop_found_ && std::all_of(tags_.begin(), tags_.end(), [](const std::string& t) {
          return t.starts_with("_atom_site.");
        });
    state_ = atom_site ? State::atom_rows : State::other_rows;
    if (!atom_site) return {};
    loop_found_ = true;
    columns_ = atom_site_columns(tags_);
    return required_columns();
  }

  // One value: it may begin the rows of a loop, and in the _atom_site loop it
  // fills the row (rows follow each other whatever the lines: a row may end
  // and the next begin on one line, or a row take several lines); after an
  // _atom_site item it is that item's value.
  PassFault value(std::string_view text, std::size_t held_begin, std::size_t held_end) {
    if (cell_item_ >= 0 && state_ == State::outside) {
      visitor_.cell(cell_item_, text);
      cell_item_ = -1;
      return {};
    }
    if (state_ == State::header)
      if (PassFault f = begin_rows()) return f;
    if (state_ == State::atom_items) {
      if (static_cast<std::size_t>(filled_) + 1 != tags_.size()) return {};  // (no item asked for it)
      if (filled_ == 0) row_line_ = cur_.lineno();
      row_.values.push_back(text);
      row_.held.emplace_back(held_begin, held_end);
      ++filled_;
      return {};
    }
    if (state_ != State::atom_rows) return {};
    if (filled_ == 0) {
      row_.clear();
      row_line_ = cur_.lineno();
    }
    row_.values.push_back(text);
    row_.held.emplace_back(held_begin, held_end);
    if (++filled_ < columns_.count) return {};
    const bool go_on = visitor_.row(columns_, row_, cur_.lineno());
    row_.clear();
    filled_ = 0;
    return go_on ? PassFault{} : std::move(visitor_.fault);
  }

  // A bare word that is not a value: a data block, a loop, a tag, "stop_".
  PassFault keyword(std::string_view word, bool& is_keyword) {
    is_keyword = true;
    const char first = word[0];
    if (first != '_' && first != 'd' && first != 'D' && first != 'l' && first != 'L' &&
        first != 's' && first != 'S') {
      is_keyword = false;  // a plain value: most words, quickly
    } else if (word.size() > 4 && lower(word.substr(0, 5)) == "data_") {
      if (PassFault f = end_rows()) return f;
      done_ = data_seen_;
      data_seen_ = true;
      state_ = State::outside;
    } else if (word.size() == 5 && lower(word) == "loop_") {
      if (PassFault f = end_rows()) return f;
      state_ = State::header;
      tags_.clear();
    } else if (word.size() == 5 && lower(word) == "stop_") {
      // (A loop's optional end: nothing to do.)
    } else if (word.starts_with("_")) {
      return tag(word);
    } else {
      is_keyword = false;
    }
    return {};
  }

  // A tag: one of a loop's, or an item whose value follows (the _atom_site
  // items of a single atom are kept, any other passed over).
  PassFault tag(std::string_view word) {
    if (state_ == State::header) {
      tags_.push_back(lower(word));
      return {};
    }
    const std::string name = lower(word);
    const bool atom_item = name.starts_with("_atom_site.") && !loop_found_;
    if (atom_item && state_ == State::atom_items) {
      tags_.push_back(name);
      return {};
    }
    if (PassFault f = end_rows()) return f;
    state_ = State::outside;
    cell_item_ = cell_item(name);
    if (atom_item) {
      state_ = State::atom_items;
      tags_.assign(1, name);
      row_.clear();
      filled_ = 0;
    }
    return {};
  }

  // Which _cell item a tag names (its value is the box): 0-5, else -1.
  static int cell_item(std::string_view name) {
    static constexpr std::string_view items[] = {"_cell.length_a",    "_cell.length_b",
                                                 "_cell.length_c",    "_cell.angle_alpha",
                                                 "_cell.angle_beta",  "_cell.angle_gamma"};
    for (int k = 0; k < 6; ++k)
      if (name == items[k]) return k;
    return -1;
  }

  RecordCursor& cur_;
  Visitor& visitor_;
  int cell_item_ = -1;  // the _cell item whose value comes next
  State state_ = State::outside;
  bool data_seen_ = false, done_ = false, in_text_field_ = false, loop_found_ = false;
  std::vector<std::string> tags_;
  AtomSiteColumns columns_;
  Row row_;
  int filled_ = 0;
  long row_line_ = 0;  // where the row being filled began
  std::vector<CifValue> values_;
  PlainLayout layout_;
};

template <class Visitor>
PassFault walk_atom_site(RecordCursor& cur, Visitor& visitor) {
  return AtomSiteWalk<Visitor>(cur, visitor).run();
}

}  // namespace gyro::cif
