// Molecule and simulation text: SDF/MOL, MOL2, XYZ and GRO. Each file holds a
// series of records (molecules or frames); every record is analysed on its
// own. A format's walk (sdf.hpp, mol2.hpp, xyz.hpp, gro.hpp) goes through
// its lines once and tells a visitor what it meets; the reading and the copy
// are two visitors of the same walk, so they agree on every line.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "analysis/rigid.hpp"
#include "select/expression.hpp"
#include "structure/atoms.hpp"
#include "structure/passes.hpp"
#include "structure/reading.hpp"
#include "text/records.hpp"
#include "text/sink.hpp"

namespace gyro {

// Where one coordinate value stands: bytes begin..end of line `line` of the
// atom's lines (a V3000 atom may continue over several).
struct ValueSpan {
  int line = 0;
  std::size_t begin = 0, end = 0;
};

// One atom line (or the lines of one atom) as a walk meets it.
template <class Real>
struct MoleculeAtom {
  Real xyz[3] = {0, 0, 0};
  Real velocity[3] = {0, 0, 0};
  bool has_velocity = false;
  std::string_view element;  // its element symbol, either case; empty: no mass (skipped)
  double isotope_mass = 0;   // an isotope's mass, where the record names one
  std::string_view shown;    // what the skipped atom's line shows
  AtomFields fields;         // what --select reads
  // For the copy: the atom's lines, where its values stand (x, y, z, then the
  // velocities), and how they are written.
  const std::string_view* lines = nullptr;
  const std::string_view* ends = nullptr;  // each line's end as read (LF, CR LF or none)
  int line_count = 1;
  ValueSpan spans[6];
  ValueSpan erased[3];  // the rest of a value split over two lines: left out of the copy
  int erased_count = 0;
  int field_width = 0;   // fixed-width fields of this width; 0: values between blanks
  int min_decimals = 3;  // values between blanks get at least this many decimals
};

// The lines of a text with their ends, whole however long.
class LineReader {
 public:
  explicit LineReader(RecordCursor& cursor) : cur_(cursor) { cur_.keep_whole_lines(); }
  // The next line without its end; false at the end of the text.
  bool next(std::string_view& line) {
    const char* p = cur_.next<false, false, 1>();
    if (p == nullptr) return false;
    line = cur_.whole_line(p);
    return true;
  }
  std::string_view end() const { return cur_.line_end(); }
  // The first n bytes of the next line (fewer where it is shorter or the
  // text ends), not read away. `line`, the last line read, stays valid: it is
  // copied into `keep` where more text must be read first.
  std::string_view peek(std::size_t n, std::string_view& line, std::string& keep) {
    std::string_view ahead = cur_.ahead();
    if (ahead.size() <= n) {
      keep.assign(line);
      line = keep;
      ahead = cur_.head(n + 1);
    }
    ahead = ahead.substr(0, std::min(n, ahead.size()));
    return ahead.substr(0, std::min(ahead.size(), ahead.find('\n')));
  }
  long lineno() const { return cur_.lineno(); }
  PassFault failure() const {
    if (!cur_.failed()) return {};
    return {PassFault::Kind::read_error, cur_.lineno(), 0, 0, cur_.failure()};
  }

 private:
  RecordCursor& cur_;
};

// The text without blanks (and tabs) at either end.
inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
inline std::string_view trimmed(std::string_view s) {
  std::size_t first = 0, end = s.size();
  while (first < end && is_blank(s[first])) ++first;
  while (end > first && is_blank(s[end - 1])) --end;
  return s.substr(first, end - first);
}

// The values of a line between blanks and tabs, as byte ranges.
struct Token {
  std::size_t begin = 0, end = 0;
};
inline std::size_t split_tokens(std::string_view line, Token* out, std::size_t room) {
  std::size_t n = 0, k = 0;
  while (n < room) {
    while (k < line.size() && is_blank(line[k])) ++k;
    if (k == line.size()) break;
    const std::size_t begin = k;
    while (k < line.size() && !is_blank(line[k])) ++k;
    out[n++] = {begin, k};
  }
  return n;
}

// A decimal number (blanks around it allowed, a leading "+" too) as the
// value nearest to it; false for anything else, infinities and NaN included.
// Decimals without an exponent whose digits fit the precision exactly
// (7 for float, 15 for double) are the digits as a whole number divided by a
// power of ten: both exact, so the one rounding of the division gives the
// nearest value. Any other text goes to the general conversion.
template <class Real>
bool quick_number(const char* p, const char* end, Real& v) {
  constexpr int most_digits = std::is_same_v<Real, float> ? 7 : 15;
  static constexpr double tens[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8,
                                    1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const bool negative = p < end && *p == '-';
  p += negative;
  std::uint64_t digits = 0;
  const char* first = p;
  while (p < end && static_cast<unsigned>(*p - '0') < 10) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
  const char* point = p;
  if (p < end && *p == '.') {
    ++p;
    while (p < end && static_cast<unsigned>(*p - '0') < 10) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
  }
  const long count = (p - first) - (point < p);
  const long decimals = point < p ? p - point - 1 : 0;
  if (p != end || count == 0 || count > most_digits) return false;
  const Real magnitude = static_cast<Real>(digits) / static_cast<Real>(tens[decimals]);
  v = negative ? -magnitude : magnitude;
  return true;
}

template <class Real>
bool parse_number(std::string_view text, Real& v) {
  const char* p = text.data();
  const char* last = p + text.size();
  while (p < last && *p == ' ') ++p;
  while (last > p && last[-1] == ' ') --last;
  if (quick_number(p, last, v)) return true;
  text = trimmed(text);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  if (text.empty() || !(text[0] == '-' || text[0] == '.' || (text[0] >= '0' && text[0] <= '9')))
    return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  return ec == std::errc() && end == text.data() + text.size();
}

// A whole number, blanks around it allowed.
inline bool parse_count(std::string_view text, std::int64_t& n) {
  text = trimmed(text);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

// The symbol of the element with atomic number z (1-118), else empty.
std::string_view element_of_number(std::int64_t z);
// The atomic mass of the isotope of `symbol` with mass number `mass_number`:
// the table's value, or the mass number itself for an isotope it lacks.
double isotope_mass(std::string_view symbol, std::int64_t mass_number);

// What a caller tells a walk: whether it has stopped (the atom table full).
// What a walk tells its visitor:
//   record(n, name)        record n (from 1) begins; `name` its title
//   name(text)             the record's title, where it comes after record()
//   atom(a)                an atom of it
//   line(text, end)        a line that holds no atom, as read
//   isotope(k, mass)       atom k (from 0) of the record is that isotope
//   flat()                 the record's coordinates are flat (2D)
//   damaged(line, reason, file_stops)   the record cannot be read; with
//                          file_stops, no record after it can be either
//   stopped()              whether the visitor wants no more
//   wants_fields()         whether the visitor reads the atoms' fields (--select)

// The first pass over molecule text: each record's atoms into the table (in
// its precision), a segment a record, model numbers counted from 1. With a
// sink, each record is handed to it when read and the table emptied for the
// next (the atom limit holds for each record); without, the table keeps them
// all.
PassFault read_molecule_atoms(Format format, RecordCursor& input, AtomTable& t, ReadNotes& notes,
                              Sink& err, const ReadingRules& rules, RecordSink* sink = nullptr);

// The copy: every line as read, but each atom's coordinates (and velocities)
// replaced by its record's frame's moved values.
WriteResult write_molecule_series(Format format, RecordCursor& input,
                                  const std::vector<ModelFrame<Frame>>& frames, Sink& out);
WriteResult write_molecule_series(Format format, RecordCursor& input,
                                  const std::vector<ModelFrame<FrameD>>& frames, Sink& out);

// The format a text's first lines show (a bounded look at `head`).
Format detect_format_of(std::string_view head);

}  // namespace gyro
