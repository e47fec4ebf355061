#include "formats/pdb/reader.hpp"

#include "text/words.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <type_traits>

#include "formats/pdb/atom_rule.hpp"
#include "formats/pdb/record_select.hpp"
#include "text/numtext.hpp"
#include "text/vectors.hpp"

namespace gyro {
namespace {

bool is_model_record(const char* line) { return std::memcmp(line, "MODEL ", 6) == 0; }
bool is_model_end(const char* line) { return std::memcmp(line, "ENDMDL", 6) == 0; }

// An accepted atom that finds every slot taken: more slots while the limit
// allows, else the stop.
[[gnu::noinline]] PassFault full_table(AtomTable& t, long lineno) {
  if (t.room()) return {};
  return {PassFault::Kind::full, lineno, 0, 0, std::to_string(t.stated_limit)};
}

// The skipped record's line on standard error: its name field and the column after it.
std::string unknown_atom_text(const char* line) { return unknown_atom_line({line + 12, 5}); }
// Whether a record skipped for its name names an element in columns 77-78
// that the element table knows (--masses=element would read it).
bool names_an_element(const char* line, std::size_t length) {
  return length >= 78 && element_column_mass(line + 76) > 0;
}

// A skipped record (`length` bytes long): its line on standard error, or its
// name counted; and counted when it names its element.
[[gnu::noinline]] void warn_unknown_atom(const char* line, std::size_t length, Sink& err,
                                        ReadNotes& notes) {
  std::string_view name(line + 12, 4);
  name.remove_prefix(std::min(name.find_first_not_of(' '), name.size()));
  name = name.substr(0, name.find_last_not_of(' ') + 1);
  note_unknown_atom({line + 12, 5}, name, err, notes.skipped_names);
  notes.skipped_with_element += names_an_element(line, length);
}

// How the usual layout of the coordinate fields is read: with 128-bit
// vectors, which every x86-64 processor has, or with 256-bit ones; into
// floats, or (--double) into doubles.
// `simulation_serials`: serial numbers past 99 999 as simulation programs
// write them are read beside the usual coordinates too.
struct NarrowVectors {
  static constexpr bool wide = false;
  static bool fields(const char* line, float xyz[4], bool) { return usual_atom_fields(line, xyz); }
  static bool fields(const char* line, double xyz[4], bool) { return usual_atom_fields(line, xyz); }
};
#if defined(__x86_64__)
struct WideVectors {
  static constexpr bool wide = true;
  template <class Real>
  [[gnu::target("avx2")]] static bool fields(const char* line, Real xyz[4], bool simulation_serials) {
    const __m256i v = atom_fields_vector(line);
    __m256i digit;
    const int mask = atom_fields_wide_mask(v, xyz, digit);
    return beside_serial(mask, v, digit, line, simulation_serials);
  }
  // (Upper-case hybrid-36 from the vector, the form of every serial number
  // from 100 000 to 43 million; the other forms by the general test.)
  [[gnu::target("avx2"), gnu::always_inline]] static bool beside_serial(
      int mask, __m256i v, __m256i digit, const char* line, bool simulation_serials) {
    return mask == -1 ||
           (simulation_serials && (usual_but_upper_hybrid36_serial(mask, v, digit) ||
                                   (only_serial_unusual(mask) && simulation_serial({line + 6, 5}))));
  }
};
#endif

// An accepted atom into slot `k` of the table, in its precision.
inline void keep_atom(AtomTable& t, std::int64_t k, const float xyz[4], float mass) {
  // The mass put into the coordinates' fourth lane: one 16-byte store.
  Lanes atom;
  std::memcpy(&atom, xyz, sizeof atom);
  atom[3] = mass;
  std::memcpy(&t.atoms[static_cast<std::size_t>(k)], &atom, sizeof atom);
}
inline void keep_atom(AtomTable& t, std::int64_t k, const double xyz[4], double mass) {
  t.atoms_double[static_cast<std::size_t>(k)] = {xyz[0], xyz[1], xyz[2], mass};
}

// The number of a MODEL record `rec`: the first word after the record name,
// a whole number from 1 of any width (simulation programs write wide ones);
// a record without one is numbered by its order (`order`). `ok` is false,
// with the word, when it is anything else (negative, zero, letters, "?").
struct ModelNumber {
  bool ok;
  std::int64_t number;
  std::string_view word;
};
ModelNumber model_number(std::string_view rec, std::int64_t order) {
  std::string_view rest = rec.substr(std::min<std::size_t>(6, rec.size()));
  rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
  const std::string_view word = rest.substr(0, rest.find(' '));
  if (word.empty()) return {true, order, word};
  std::int64_t n = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), n);
  const bool whole = ec == std::errc() && end == word.data() + word.size() && n >= 1 &&
                     word[0] != '-' && word[0] != '+';
  return {whole, n, word};
}

// A MODEL record's number, counted and checked: a word that is not a model
// number stops the reading; a number met before is kept for the note.
[[gnu::noinline]] PassFault take_model_number(const char* line, std::size_t length, long lineno,
                                              ReadNotes& notes, std::int64_t& number) {
  ++notes.models;
  const ModelNumber m = model_number({line, std::min<std::size_t>(length, reclen)}, notes.models);
  if (!m.ok)
    return {PassFault::Kind::damaged, lineno, 0, 0,
            "cannot read \"" + printable(m.word) + "\" as a model number (a whole number from 1)"};
  number = m.number;
  // Models mostly come in rising order: a number above every one before is
  // new, and only another needs the lines kept to look up.
  if (notes.model_lines.empty() || number > notes.model_lines.rbegin()->first) {
    notes.model_lines.emplace_hint(notes.model_lines.end(), number, lineno);
    return {};
  }
  const auto [first, fresh] = notes.model_lines.emplace(number, lineno);
  if (!fresh && notes.repeated_model == 0) {
    notes.repeated_model = number;
    notes.repeated_at[0] = first->second;
    notes.repeated_at[1] = lineno;
  }
  return {};
}

// At a MODEL or ENDMDL record of a reading that does not select: a segment
// of that model, or of the atoms outside every model, begins.
[[gnu::noinline]] PassFault model_boundary(const char* line, std::size_t length, long lineno,
                                           AtomTable& t, ReadNotes& notes) {
  if (is_model_end(line)) {
    t.begin_segment(0);
    return {};
  }
  std::int64_t number = 0;
  if (PassFault f = take_model_number(line, length, lineno, notes, number)) return f;
  if (notes.box) notes.model_boxes[number] = *notes.box;
  t.begin_segment(number);
  return {};
}

bool is_cryst1(const char* line) { return std::memcmp(line, "CRYST1", 6) == 0; }

// A CRYST1 record: the unit cell a, b, c (columns 7-15, 16-24, 25-33) and
// alpha, beta, gamma (34-40, 41-47, 48-54); the box of the models after it.
// One that cannot be read, or the placeholder cell, gives none.
[[gnu::noinline]] void take_cryst1(const char* text, std::size_t length, ReadNotes& notes) {
  static constexpr int at[6][2] = {{6, 9}, {15, 9}, {24, 9}, {33, 7}, {40, 7}, {47, 7}};
  char line[54];  // (the columns a shorter line lacks are blank)
  std::memset(line, ' ', sizeof line);
  std::memcpy(line, text, std::min(length, sizeof line));
  double cell[6];
  notes.box.reset();
  for (int k = 0; k < 6; ++k)
    if (!parse_number(std::string_view(line + at[k][0], static_cast<std::size_t>(at[k][1])), cell[k]))
      return;
  notes.box = box_from_cell(cell, cell + 3);
}

// Which model the records being read belong to, for a run that selects one.
// A file without MODEL records holds model 1 only; in a file with them, the
// atom records outside every MODEL-ENDMDL pair belong to none.
class ModelWalk {
 public:
  // `each`: every model is wanted (each to be analysed on its own).
  ModelWalk(std::optional<std::int64_t> wanted, bool each) : wanted_(wanted), each_(each) {
    update();
  }
  // At a MODEL record of model `number`; true at the first one of a run that
  // selects a model: what was read before it lies outside every model.
  bool enter(std::int64_t number) {
    const bool first = !seen_;
    seen_ = inside_ = true;
    number_ = number;
    numbers_.push_back(number_);
    found_ = found_ || (wanted_ && number_ == *wanted_);
    update();
    return first && (wanted_ || each_);
  }
  void leave() {
    inside_ = false;
    update();
  }
  std::int64_t number() const { return number_; }
  // Whether the atom records read now belong to a wanted model (kept up to
  // date at the MODEL and ENDMDL records, so that every atom record only
  // reads it).
  bool selected() const { return selected_; }
  bool is_wanted(std::int64_t number) const { return each_ || (wanted_ && number == *wanted_); }
  // Whether the records read now may yet turn out to lie outside every model.
  bool provisional() const { return (wanted_ || each_) && !seen_; }
  // Empty when the wanted model is there; else "N (the file has ...)".
  std::string missing() {
    if (!wanted_ || found_ || (!seen_ && *wanted_ == 1)) return {};
    const std::string held = numbers_.empty() ? "no MODEL records: all its atoms are model 1"
                                              : models_text(numbers_);
    return std::to_string(*wanted_) + " (the file has " + held + ")";
  }

 private:
  void update() {
    if (each_)
      selected_ = !seen_ || inside_;
    else
      selected_ = !wanted_ || (seen_ ? inside_ && number_ == *wanted_ : *wanted_ == 1);
  }

  std::optional<std::int64_t> wanted_;
  bool each_ = false;
  bool seen_ = false, inside_ = false, found_ = false;
  bool selected_ = true;
  std::int64_t number_ = 0;
  std::vector<std::int64_t> numbers_;
};

// The state of a reading that selects atom records by model and location.
// The unknown-atom lines of records that may yet prove to lie outside every
// model are held back until that is known.
struct RecordSelection {
  explicit RecordSelection(const Selection& s)
      : models(s.model, s.each_model), altloc(s.altloc), expression(s.expression.get()) {}
  ModelWalk models;
  std::optional<char> altloc;
  const SelectExpression* expression;
  RecordVerdicts verdicts;
  std::string held;
  bool location_selected(const char* line) const {
    return !altloc || line[16] == ' ' || line[16] == *altloc;
  }
};

// At a record that is not an atom record, for a reading that selects: the
// MODEL and ENDMDL records move it from model to model. At the first MODEL
// record of a run that selects a model (or takes each), what was read before
// is dropped. A selected model (with --each-model, any) whose number stands at
// two MODEL records stops the reading: which one is meant is not clear.
[[gnu::noinline]] PassFault pass_other_record(const char* line, std::size_t length, long lineno,
                                              RecordSelection& s, AtomTable& t, ReadNotes& notes) {
  if (is_model_end(line)) {
    s.models.leave();
    t.begin_segment(0);
    return {};
  }
  if (!is_model_record(line)) return {};
  std::int64_t number = 0;
  if (PassFault f = take_model_number(line, length, lineno, notes, number)) return f;
  if (notes.box) notes.model_boxes[number] = *notes.box;
  if (s.models.enter(number)) {
    t.count = t.skipped = 0;
    t.segments.clear();
    ReadNotes models_so_far = std::move(notes);
    notes.restart();
    notes.models = models_so_far.models;
    notes.model_lines = std::move(models_so_far.model_lines);
    notes.model_boxes = std::move(models_so_far.model_boxes);
    notes.skipped_names = models_so_far.skipped_names;
    s.held.clear();
  }
  if (s.models.is_wanted(number) && notes.repeated_model == number)
    return {PassFault::Kind::damaged, lineno, 0, 0,
            "model " + std::to_string(number) + " again (first at line " +
                std::to_string(notes.repeated_at[0]) + "): which one to analyse is not clear"};
  t.begin_segment(number);
  return {};
}

// The reading loop, one for every format option: `Vectors` how the usual
// layout is read, `Real` the table's precision, `Masses` where masses come
// from, `Selecting` whether records are selected: 0 not at all, 1 by model
// only, 2 by model, location and --select (which may read every column). The
// fields of an atom record are converted into the table's next free slot (one
// beyond the accepted atoms, so there is always one); the record is accepted
// by giving it its mass and counting it.
template <class Vectors, class Real, class Masses, int Selecting>
PassFault read_loop(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& errors,
                    const ReadingRules& rules, bool every_record) {
  // (A reading that does not select keeps no selection state.)
  struct NoSelection {
    explicit NoSelection(const Selection&) {}
  };
  std::conditional_t<(Selecting > 0), RecordSelection, NoSelection> chosen(rules.selection);
  const bool simulation_serials = rules.simulation_serials();
  FieldFault bad;
  // (A reading that selects may read every column: segment and element.)
  constexpr int columns = Selecting == 2 ? reclen : Masses::columns;
  while (const char* line = cur.template next<Vectors::wide, false, columns>()) {
    if (!is_atom_record(line)) [[unlikely]] {
      if (is_model_record(line) || is_model_end(line)) [[unlikely]] {
        PassFault f;
        if constexpr (Selecting > 0)
          f = pass_other_record(line, cur.length(), cur.lineno(), chosen, t, notes);
        else
          f = model_boundary(line, cur.length(), cur.lineno(), t, notes);
        if (f) return f;
      } else if (is_cryst1(line)) [[unlikely]] {
        take_cryst1(line, cur.length(), notes);
      }
      continue;
    }
    bool selected = true;
    if constexpr (Selecting > 0) {
      const bool in_model = chosen.models.selected();
      bool located = in_model;
      if constexpr (Selecting == 2) {
        located = in_model && chosen.location_selected(line);
        selected = located && (!chosen.expression || chosen.verdicts.selects(*chosen.expression, line));
      } else {
        selected = in_model;
      }
      if (!selected) [[unlikely]] {
        ++notes.unselected;
        notes.other_locations += in_model && !located;
        notes.not_selected += located;
        if (!every_record) continue;
      }
    }
    Real xyz[4];
    if (!Vectors::fields(line, xyz, simulation_serials) &&
        !any_atom_fields(line, xyz, bad, simulation_serials))
      return field_fault(line, cur.lineno(), bad.col, bad.width);
    if (!selected) continue;
    if (line[16] != ' ') ++notes.alternate_locations;
    if (cur.length() < 54) ++notes.short_records;
    const typename Masses::Key key = Masses::key(line);
    if (!Masses::accepted(key) || t.count == t.capacity) [[unlikely]] {
      if (Masses::accepted(key)) {
        if (PassFault full = full_table(t, cur.lineno())) return full;
      } else {  // only accepted atoms take a slot: a skipped record never meets the limit
        if constexpr (Selecting > 0) {
          if (chosen.models.provisional() && !notes.skipped_names) {
            chosen.held += unknown_atom_text(line);
            ++t.skipped;
            continue;
          }
        }
        warn_unknown_atom(line, cur.length(), errors, notes);
        ++t.skipped;
        continue;
      }
    }
    keep_atom(t, t.count++, xyz, Masses::template mass<Real>(key));
    if constexpr (Selecting == 2)
      if (rules.whole && every_record) notes.analysed_lines.push_back(cur.lineno());
  }
  if (cur.failed()) return {PassFault::Kind::read_error, cur.lineno(), 0, 0, cur.failure()};
  if constexpr (Selecting > 0) {
    if (std::string missing = chosen.models.missing(); !missing.empty())
      return {PassFault::Kind::no_model, cur.lineno(), 0, 0, missing};
    errors.put(chosen.held);
  }
  return {};
}

// A reading loop on its own, with everything it calls inlined, for 128-bit
// vectors or (compiled for them) 256-bit ones.
template <class Real, class Masses, int Selecting>
[[gnu::noinline]] PassFault read_narrow(RecordCursor& cur, AtomTable& t, ReadNotes& notes,
                                        Sink& err, const ReadingRules& rules, bool every_record) {
  return read_loop<NarrowVectors, Real, Masses, Selecting>(cur, t, notes, err, rules,
                                                           every_record);
}
#if defined(__x86_64__)
template <class Real, class Masses, int Selecting>
[[gnu::flatten, gnu::target("avx2")]] PassFault read_wide(RecordCursor& cur, AtomTable& t,
                                                         ReadNotes& notes, Sink& err,
                                                         const ReadingRules& rules,
                                                         bool every_record) {
  return read_loop<WideVectors, Real, Masses, Selecting>(cur, t, notes, err, rules, every_record);
}
#endif

// The loop for the processor, the precision, the mass source and whether
// records are selected.
template <class Real, class Masses, int Selecting>
PassFault read_on_processor(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& err,
                            const ReadingRules& rules, bool every_record) {
#if defined(__x86_64__)
  if (vectors::wide())
    return read_wide<Real, Masses, Selecting>(cur, t, notes, err, rules, every_record);
#endif
  return read_narrow<Real, Masses, Selecting>(cur, t, notes, err, rules, every_record);
}
template <class Real, class Masses>
PassFault read_selecting_or_not(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& err,
                                const ReadingRules& rules, bool every_record) {
  const Selection& s = rules.selection;
  if (s.altloc || s.expression || (rules.whole && every_record))
    return read_on_processor<Real, Masses, 2>(cur, t, notes, err, rules, every_record);
  if (s.model || s.each_model)
    return read_on_processor<Real, Masses, 1>(cur, t, notes, err, rules, every_record);
  return read_on_processor<Real, Masses, 0>(cur, t, notes, err, rules, every_record);
}
template <class Real>
PassFault read_in(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& err,
                  const ReadingRules& rules, bool every_record) {
  if (rules.masses == MassSource::element)
    return read_selecting_or_not<Real, pdb::MassesByElement>(cur, t, notes, err, rules,
                                                             every_record);
  if (rules.masses == MassSource::unit)
    return read_selecting_or_not<Real, pdb::MassesByUnit>(cur, t, notes, err, rules, every_record);
  return read_selecting_or_not<Real, pdb::MassesByName>(cur, t, notes, err, rules, every_record);
}

}  // namespace

PassFault read_pdb_atoms(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& err,
                         const ReadingRules& rules, bool every_record) {
  t.start();
  notes.restart();
  return t.in_double ? read_in<double>(cur, t, notes, err, rules, every_record)
                     : read_in<float>(cur, t, notes, err, rules, every_record);
}

}  // namespace gyro
