#include "structure/mmcif.hpp"

#include <algorithm>
#include <bit>
#include <array>
#include <cctype>
#include <charconv>
#include <cstring>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

#include "text/fields.hpp"
#include "text/numtext.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gyro {
namespace {

// The bytes that separate values, as a table: looked up for every byte.
struct Blanks {
  bool is[256] = {};
  constexpr Blanks() { is[' '] = is['\t'] = is['\r'] = true; }
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

// A row of the loop: its values, and where each stood in the text the walk's
// visitor holds. The values point into the line they stand on; those of a
// row that goes on past its line are copied (keep()) before the line goes.
struct Row {
  std::vector<std::string_view> values;
  std::vector<std::pair<std::size_t, std::size_t>> held;  // in the visitor's text: begin, end
  std::vector<std::string> kept;
  std::string_view value(int k) const { return values[static_cast<std::size_t>(k)]; }
  void keep() {
    std::vector<std::string> copies(values.begin(), values.end());
    kept.swap(copies);
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = kept[k];
  }
  void clear() {
    values.clear();
    held.clear();
    kept.clear();
  }
};

// The bytes of a line of at most 256 bytes without quotes or "#" that belong
// to values, as bits (bit i of filled[i / 64]: byte i), found 16 bytes at a
// time. False (nothing found) for any other line.
bool plain_masks(std::string_view line, std::uint64_t (&filled)[4]) {
#if defined(__SSE2__)
  const std::size_t n = line.size();
  if (n > 256) return false;
  alignas(16) char buf[256];
  std::memcpy(buf, line.data(), n);
  std::memset(buf + n, ' ', (n + 15) / 16 * 16 - n);
  filled[0] = filled[1] = filled[2] = filled[3] = 0;
  const std::size_t chunks = (n + 15) / 16;
  for (std::size_t c = 0; c < chunks; ++c) {
    const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(buf + 16 * c));
    auto eq = [&](char b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(b)); };
    const auto special = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(eq('\''), eq('"')), eq('#'))));
    if (special != 0) return false;
    const auto blank_bits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(eq(' '), eq('\t')), eq('\r'))));
    filled[c / 4] |= std::uint64_t{~blank_bits & 0xFFFFu} << (16 * (c % 4));
  }
  return true;
#else
  (void)line;
  (void)filled;
  return false;
#endif
}

// The first clear bit of `filled` at or after `at` (the end of a value).
std::size_t value_end(const std::uint64_t (&filled)[4], std::size_t at) {
  while (at < 256) {
    const std::uint64_t rest = ~filled[at / 64] >> (at % 64);
    if (rest != 0) return at + static_cast<std::size_t>(std::countr_zero(rest));
    at = (at / 64 + 1) * 64;
  }
  return 256;
}

// The first bits of the runs of set bits: where values begin.
void value_starts(const std::uint64_t (&filled)[4], std::uint64_t (&starts)[4]) {
  std::uint64_t carry = 0;
  for (int w = 0; w < 4; ++w) {
    starts[w] = filled[w] & ~((filled[w] << 1) | carry);
    carry = filled[w] >> 63;
  }
}

PassFault damage(long lineno, std::string why) {
  return {PassFault::Kind::damaged, lineno, 0, 0, std::move(why)};
}

// Walks the lines of mmCIF text up to the end of its first data block. For
// every line, visitor.line(text, crlf) gives where the line starts in the text
// the visitor holds (0 when it holds none), and visitor.line_end(row_pending)
// follows its values; visitor.row(columns, row, lineno) takes every complete
// row of the _atom_site loop and may stop the walk with a fault.
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
  std::uint64_t needed = 0;  // bit k: column k is read (none when a row is wider than 64)
  std::uint64_t masks[4], starts[4];
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
        for (const int k : {columns.x, columns.y, columns.z, columns.symbol, columns.auth_name,
                            columns.label_name, columns.model, columns.alt})
          if (k >= 0 && columns.count <= 64) needed |= std::uint64_t{1} << k;
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
    PassFault fault = visitor.row(columns, row, cur.lineno());
    row.clear();
    filled = 0;
    row_ended_here = true;
    return fault;
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
    PassFault fault = visitor.row(columns, row, cur.lineno());
    visitor.line_end(false);
    return fault;
  };
  // Lines are taken whole where they stand (Columns 1: none is blank-filled).
  while (const char* p = cur.next<false, false, 1>()) {
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
    // A plain line that is one whole row of the loop, as nearly all are: the
    // values found from bit masks, only the columns read taken.
    if (state == State::atom_rows && filled == 0 && rest_at == 0 && needed != 0 &&
        plain_masks(line, masks)) {
      value_starts(masks, starts);
      int count = 0;  // (counted bit by bit: a processor may lack popcnt)
      for (const std::uint64_t w : starts)
        for (std::uint64_t bits = w; bits != 0; bits &= bits - 1) ++count;
      if (count == columns.count) {
        const auto n = static_cast<std::size_t>(count);
        if (row.values.size() != n) {
          row.values.assign(n, {});
          row.held.assign(n, {});
        }
        int k = 0;
        for (int w = 0; w < 4; ++w)
          for (std::uint64_t bits = starts[w]; bits != 0; bits &= bits - 1, ++k) {
            if (((needed >> k) & 1) == 0) continue;
            const auto at = static_cast<std::size_t>(64 * w + std::countr_zero(bits));
            const std::size_t end = value_end(masks, at);
            row.values[static_cast<std::size_t>(k)] = {line.data() + at, end - at};
            row.held[static_cast<std::size_t>(k)] = {base + at, base + end};
          }
        // (A line of tags or keywords never has as many values as a row.)
        if (line[line.find_first_not_of(" \t")] != '_') {
          if (PassFault f = whole_row()) return f;
          continue;
        }
        row.clear();
      }
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

// The mass of a type_symbol: an element of one or two letters, either case.
double symbol_mass(std::string_view symbol) {
  if (symbol.empty() || symbol.size() > 2) return 0;
  const char padded[2] = {symbol.size() == 1 ? ' ' : symbol[0], symbol.back()};
  return std::max(element_column_mass(padded), 0.0);
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

// The first pass's visitor: selection, masses, the table.
struct AtomReader {
  AtomTable& t;
  ReadNotes& notes;
  Sink& err;
  const Selection& sel;
  bool every_record;
  std::vector<std::int64_t> models;
  bool model_found = false;

  std::size_t line(std::string_view, bool) { return 0; }
  void line_end(bool) {}

  PassFault not_a_number(const Row& row, int column, const char* name, long lineno) {
    double wide;
    const bool too_large = !t.in_double && coordinate(row.value(column), wide);
    return damage(lineno, std::string(name) +
                              (too_large ? " is too large for single precision (--double reads it)"
                                         : " is not a number") +
                              ": \"" + printable(row.value(column)) + "\"");
  }

  PassFault row(const AtomSiteColumns& c, const Row& r, long lineno) {
    std::int64_t model = 1;
    if (c.model >= 0) {
      const std::string_view m = r.value(c.model);
      const auto [end, ec] = std::from_chars(m.data(), m.data() + m.size(), model);
      if (ec != std::errc() || end != m.data() + m.size())
        return damage(lineno, "pdbx_PDB_model_num is not a whole number: \"" + printable(m) + "\"");
    }
    if (models.empty() || models.back() != model) models.push_back(model);
    model_found = model_found || (sel.model && *sel.model == model);
    std::string_view alt = c.alt >= 0 ? r.value(c.alt) : ".";
    if (alt == "?") alt = ".";
    const bool in_model = !sel.model || *sel.model == model;
    const bool selected = in_model && (!sel.altloc || alt == "." ||
                                       (alt.size() == 1 && alt[0] == *sel.altloc));
    notes.unselected += !selected;
    if (!selected) notes.other_locations += in_model;
    if (!selected && !every_record) return {};
    double xyz[3];
    float xyzf[4] = {0, 0, 0, 0};
    const int axis[3] = {c.x, c.y, c.z};
    const char* names[3] = {"Cartn_x", "Cartn_y", "Cartn_z"};
    for (int k = 0; k < 3; ++k) {
      const bool ok = t.in_double ? coordinate(r.value(axis[k]), xyz[k])
                                  : coordinate(r.value(axis[k]), xyzf[k]);
      if (!ok) return not_a_number(r, axis[k], names[k], lineno);
    }
    if (!selected) return {};
    if (alt != ".") ++notes.alternate_locations;
    const double mass = symbol_mass(r.value(c.symbol));
    if (mass == 0) {
      const int name_column = c.auth_name >= 0 ? c.auth_name : c.label_name;
      const std::string_view name = name_column >= 0 ? r.value(name_column) : r.value(c.symbol);
      if (notes.skipped_names)
        ++(*notes.skipped_names)[std::string(name)];
      else
        err.put(FreeLine().text("Unknown atom type ").text(printable(name)).str());
      ++t.skipped;
      return {};
    }
    if (!t.room()) return {PassFault::Kind::full, lineno, 0, 0, std::to_string(t.limit)};
    if (t.in_double)
      t.add(xyz, mass);
    else
      t.add(xyzf, static_cast<float>(mass));
    return {};
  }
};

// The second pass's visitor: holds the lines of a row until it is complete,
// then writes them with its coordinates moved.
template <class Mover>
struct AtomWriter {
  Sink& out;
  bool has_frame;
  Mover move;  // (x, y, z text) -> three texts, false when not numbers
  std::string held;

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
  PassFault row(const AtomSiteColumns& c, const Row& r, long lineno) {
    if (!has_frame) return {};
    std::string moved[3];
    if (!move(r.value(c.x), r.value(c.y), r.value(c.z), moved))
      return {PassFault::Kind::changed, lineno, 0, 0, {}};
    // Replaced from the last in the text to the first, so that the places of
    // those before stay where they were.
    std::pair<std::size_t, int> order[3] = {{r.held[static_cast<std::size_t>(c.x)].first, 0},
                                            {r.held[static_cast<std::size_t>(c.y)].first, 1},
                                            {r.held[static_cast<std::size_t>(c.z)].first, 2}};
    std::sort(std::begin(order), std::end(order));
    const int axis[3] = {c.x, c.y, c.z};
    for (int k = 2; k >= 0; --k) {
      const auto [begin, end] = r.held[static_cast<std::size_t>(axis[order[k].second])];
      held.replace(begin, end - begin, moved[order[k].second]);
    }
    return {};
  }
  void finish() {
    out.put(held);
    held.clear();
  }
};

// A coordinate with 3 decimals, as the copy writes it.
std::string three_decimals(double v) {
  char buf[400];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
  return std::string(buf, end);
}

// The copy's mover in a precision: the three coordinate texts read, moved by
// `move` and written with 3 decimals; false when they are not numbers.
template <class Real, class Move>
auto mover(Move move) {
  return [move](std::string_view x, std::string_view y, std::string_view z,
                std::string (&moved)[3]) {
    Real v[3];
    if (!coordinate(x, v[0]) || !coordinate(y, v[1]) || !coordinate(z, v[2])) return false;
    const std::array<double, 3> m = move(v);
    for (int k = 0; k < 3; ++k) moved[k] = three_decimals(m[static_cast<std::size_t>(k)]);
    return true;
  };
}

template <class Mover>
WriteResult write_with(RecordCursor& cur, bool has_frame, Sink& out, Mover move) {
  AtomWriter<Mover> writer{out, has_frame, move, {}};
  WriteResult res;
  res.fault = walk_atom_site(cur, writer);
  if (!res.fault) writer.finish();
  return res;
}

}  // namespace

bool cif_values(std::string_view line, std::vector<CifValue>& values) {
  values.clear();
  std::uint64_t filled[4], starts[4];
  if (plain_masks(line, filled)) {
    value_starts(filled, starts);
    for (int w = 0; w < 4; ++w)
      for (std::uint64_t bits = starts[w]; bits != 0; bits &= bits - 1) {
        const auto at = static_cast<std::size_t>(64 * w + std::countr_zero(bits));
        values.push_back({at, value_end(filled, at), false});
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
  AtomReader reader{t, notes, err, sel, every_record, {}, false};
  if (PassFault fault = walk_atom_site(cur, reader)) return fault;
  notes.mmcif = true;
  std::vector<std::int64_t> distinct = reader.models;
  std::sort(distinct.begin(), distinct.end());
  notes.models = std::unique(distinct.begin(), distinct.end()) - distinct.begin();
  if (sel.model && !reader.model_found)
    return {PassFault::Kind::no_model, cur.lineno(), 0, 0,
            std::to_string(*sel.model) + " (the file has " +
                (reader.models.empty() ? std::string("no atoms") : models_text(reader.models)) +
                ")"};
  return {};
}

WriteResult write_mmcif(RecordCursor& cur, bool has_frame, const Frame& frame, Sink& out) {
  return write_with(cur, has_frame, out, mover<float>([&](const float (&v)[3]) {
                      const Lanes m = frame.moved(Lanes{v[0], v[1], v[2], 0.0f});
                      return std::array<double, 3>{m[0], m[1], m[2]};
                    }));
}

WriteResult write_mmcif(RecordCursor& cur, bool has_frame, const FrameD& frame, Sink& out) {
  return write_with(cur, has_frame, out, mover<double>([&](const double (&v)[3]) {
                      const Vec3d m = frame.moved({v[0], v[1], v[2]});
                      return std::array<double, 3>{m.x, m.y, m.z};
                    }));
}

}  // namespace gyro
