// Molecule and simulation text: SDF/MOL, MOL2, XYZ and GRO. Each file holds a
// series of records (molecules or frames); every record is analysed on its
// own. A format's walk (sdf.hpp, mol2.hpp, xyz.hpp, gro.hpp) goes through
// its lines once and tells a visitor what it meets; the reading and the copy
// are two visitors of the same walk, so they agree on every line.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "analysis/periodic.hpp"
#include "analysis/rigid.hpp"
#include "select/expression.hpp"
#include "structure/atoms.hpp"
#include "structure/passes.hpp"
#include "structure/reading.hpp"
#include "text/records.hpp"
#include "text/sink.hpp"
#include "text/vectors.hpp"
#include "text/words.hpp"

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
  std::string_view residue;  // the residue's columns (GRO); empty: the atom is a residue of its own
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
  explicit LineReader(RecordCursor& cursor) : cur_(cursor), wide_(vectors::wide()) {
    cur_.keep_whole_lines();
  }
  // The next line without its end; false at the end of the text. (A line
  // shorter than 80 bytes has its end found in one 256-bit look where the
  // processor has them.)
  bool next(std::string_view& line) {
    const char* p = wide_ ? cur_.next<true, false, 1>() : cur_.next<false, false, 1>();
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
  // Whether the next line begins with `key` (peek's terms; a key of 10
  // bytes with more text ahead is compared where it stands).
  bool next_begins_with(std::string_view key, std::string_view& line, std::string& keep) {
    const std::string_view ahead = cur_.ahead();
    if (key.size() == 10 && ahead.size() > 10)
      return std::memcmp(ahead.data(), key.data(), 10) == 0;
    return peek(key.size(), line, keep) == key;
  }
  // The unread text that the reader holds now, for a walk that reads many
  // lines of one layout at once; it says so with pass_lines.
  std::string_view ahead() const { return cur_.ahead(); }
  void pass_lines(std::size_t bytes, long lines) { cur_.pass_lines(bytes, lines); }
  // The length of the next line where the text held has it whole, within
  // its first 256 bytes, ended by a line feed alone; else 0.
  std::size_t next_line_length() const {
    const std::string_view text = cur_.ahead();
    const void* feed = std::memchr(text.data(), '\n', std::min<std::size_t>(text.size(), 256));
    if (feed == nullptr) return 0;
    const auto length = static_cast<std::size_t>(static_cast<const char*>(feed) - text.data());
    return length > 0 && text[length - 1] == '\r' ? 0 : length;
  }
  // Passes the lines ahead, at most `most`, that are `length` bytes long and
  // ended by a line feed (a run of lines of one layout, like a bond block,
  // that a walk need not look into): how many.
  std::int64_t pass_lines_of_length(std::size_t length, std::int64_t most) {
#if defined(__x86_64__)
    if (wide_ && most > 0) {
      const std::string_view text = cur_.ahead();
      const std::size_t passed =
          lines_of_length(text.data(), text.data() + text.size(), length, most);
      cur_.pass_lines(passed, static_cast<long>(passed / (length + 1)));
      return static_cast<std::int64_t>(passed / (length + 1));
    }
#endif
    (void)length, (void)most;
    return 0;
  }
  long lineno() const { return cur_.lineno(); }
  PassFault failure() const {
    if (!cur_.failed()) return {};
    return {PassFault::Kind::read_error, cur_.lineno(), 0, 0, cur_.failure()};
  }

 private:
#if defined(__x86_64__)
  // The bytes that the lines of `length` bytes from p on fill, at most `most`
  // of them.
  [[gnu::target("avx2")]] static std::size_t lines_of_length(const char* p, const char* end,
                                                             std::size_t length,
                                                             std::int64_t most) {
    const char* const first = p;
    const std::size_t readable = std::max<std::size_t>(length + 1, 32);
    for (; most > 0 && static_cast<std::size_t>(end - p) >= readable &&
           line_of_length_wide(p, length);
         --most)
      p += length + 1;
    return static_cast<std::size_t>(p - first);
  }
#endif

  RecordCursor& cur_;
  bool wide_;
};

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
//   box(b)                 the record's periodic box (none: it gives none)
//   damaged(line, reason, file_stops)   the record cannot be read; with
//                          file_stops, no record after it can be either
//   stopped()              whether the visitor wants no more
//   wants_fields()         whether the visitor reads the atoms' fields (--select)
//   ignores_lines          (a constant, where the visitor has it) line() does
//                          nothing: a walk may pass such lines unseen

// The first pass over molecule text: each record's atoms into the table (in
// its precision), a segment a record, model numbers counted from 1. With a
// sink, each record is handed to it when read and the table emptied for the
// next (the atom limit holds for each record); without, the table keeps them
// all.
PassFault read_molecule_atoms(Format format, RecordCursor& input, AtomTable& t, ReadNotes& notes,
                              Sink& err, const ReadingRules& rules, RecordSink* sink = nullptr);

// The copy: every line as read, but each atom's coordinates (and velocities)
// replaced by its record's frame's moved values. With --whole (a frame with
// its joining) each residue is placed whole first; `selection` (--select, or
// null) tells which atoms were analysed.
WriteResult write_molecule_series(Format format, RecordCursor& input,
                                  const std::vector<ModelFrame<Frame>>& frames,
                                  const SelectExpression* selection, Sink& out);
WriteResult write_molecule_series(Format format, RecordCursor& input,
                                  const std::vector<ModelFrame<FrameD>>& frames,
                                  const SelectExpression* selection, Sink& out);

// The format a text's first lines show (a bounded look at `head`).
Format detect_format_of(std::string_view head);

}  // namespace gyro
