#include "structure/reader.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <type_traits>

#include "text/numtext.hpp"

namespace gyro {
namespace {

bool is_model_record(const char* line) { return std::memcmp(line, "MODEL ", 6) == 0; }
bool is_model_end(const char* line) { return std::memcmp(line, "ENDMDL", 6) == 0; }

// An accepted atom that finds every slot taken: more slots while the limit
// allows, else the stop.
[[gnu::noinline]] PassFault full_table(AtomTable& t, long lineno) {
  if (t.room()) return {};
  return {PassFault::Kind::full, lineno, 0, 0, std::to_string(t.limit)};
}

// The skipped record's line on standard error: its name field and the column after it.
std::string unknown_atom_text(const char* line) { return unknown_atom_line({line + 12, 5}); }
// A skipped record: its line on standard error, or its name counted.
[[gnu::noinline]] void warn_unknown_atom(const char* line, Sink& err,
                                        std::map<std::string, std::int64_t>* names) {
  std::string_view name(line + 12, 4);
  name.remove_prefix(std::min(name.find_first_not_of(' '), name.size()));
  name = name.substr(0, name.find_last_not_of(' ') + 1);
  note_unknown_atom({line + 12, 5}, name, err, names);
}

// The usual layout read with 128-bit vectors, which every x86-64 processor
// has, or with 256-bit ones; into floats, or (--double) into doubles.
struct NarrowVectors {
  static constexpr bool wide = false;
  using Real = float;
  static bool fields(const char* line, float xyz[4]) { return usual_atom_fields(line, xyz); }
};
struct NarrowVectorsDouble {
  static constexpr bool wide = false;
  using Real = double;
  static bool fields(const char* line, double xyz[4]) { return usual_atom_fields(line, xyz); }
};
#if defined(__x86_64__)
struct WideVectors {
  static constexpr bool wide = true;
  using Real = float;
  [[gnu::target("avx2")]] static bool fields(const char* line, float xyz[4]) {
    return usual_atom_fields_wide(line, xyz);
  }
};
struct WideVectorsDouble {
  static constexpr bool wide = true;
  using Real = double;
  [[gnu::target("avx2")]] static bool fields(const char* line, double xyz[4]) {
    return usual_atom_fields_double_wide(line, xyz);
  }
};
#endif

// An accepted atom into slot `k` of the table, in its precision.
inline void keep_atom(AtomTable& t, std::int64_t k, const float xyz[4], mass_rules::Element e) {
  Atom& atom = t.atoms[static_cast<std::size_t>(k)];
  std::memcpy(&atom, xyz, sizeof atom);
  atom.mass = mass_rules::mass_of[e];
}
inline void keep_atom(AtomTable& t, std::int64_t k, const double xyz[4], mass_rules::Element e) {
  t.atoms_double[static_cast<std::size_t>(k)] = {xyz[0], xyz[1], xyz[2],
                                                 mass_rules::mass_of_double[e]};
}

// The reading loop. The fields of an atom record are converted into the
// table's next free slot (one beyond the accepted atoms, so there is always
// one); the record is accepted by giving it its mass and counting it.
template <class Vectors>
PassFault read_loop(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& err) {
  t.count = 0;
  t.skipped = 0;
  notes = {.skipped_names = notes.skipped_names};
  FieldFault bad;
  // Columns 1-54 are all the reader looks at.
  while (const char* line = cur.template next<Vectors::wide, false, 54>()) {
    if (!is_atom_record(line)) {
      notes.models += is_model_record(line);
      continue;
    }
    typename Vectors::Real xyz[4];
    if (!Vectors::fields(line, xyz) && !any_atom_fields(line, xyz, bad))
      return field_fault(line, cur.lineno(), bad.col, bad.width);
    if (line[16] != ' ') ++notes.alternate_locations;
    if (cur.length() < 54) ++notes.short_records;
    const auto element = atom_element(line + 12);  // name in columns 13-16
    if (element == mass_rules::none || t.count == t.capacity) [[unlikely]] {
      if (element != mass_rules::none) {
        if (PassFault full = full_table(t, cur.lineno())) return full;
      } else {  // only accepted atoms take a slot: a skipped record never meets the limit
        warn_unknown_atom(line, err, notes.skipped_names);
        ++t.skipped;
        continue;
      }
    }
    keep_atom(t, t.count++, xyz, element);
  }
  if (cur.failed()) return {PassFault::Kind::read_error, cur.lineno(), 0, 0, cur.failure()};
  return {};
}

PassFault read_narrow(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& err) {
  if (t.in_double) return read_loop<NarrowVectorsDouble>(cur, t, notes, err);
  return read_loop<NarrowVectors>(cur, t, notes, err);
}

#if defined(__x86_64__)
// The loop with everything it calls inlined, compiled for 256-bit vectors.
[[gnu::flatten, gnu::target("avx2")]] PassFault read_wide(RecordCursor& cur, AtomTable& t,
                                                         ReadNotes& notes, Sink& err) {
  return read_loop<WideVectors>(cur, t, notes, err);
}
[[gnu::flatten, gnu::target("avx2")]] PassFault read_wide_double(RecordCursor& cur, AtomTable& t,
                                                                ReadNotes& notes, Sink& err) {
  return read_loop<WideVectorsDouble>(cur, t, notes, err);
}
const bool have_wide_vectors = __builtin_cpu_supports("avx2");
#endif

// Which model the records being read belong to, for a run that selects one.
// A file without MODEL records holds model 1 only; in a file with them, the
// atom records outside every MODEL-ENDMDL pair belong to none.
class ModelWalk {
 public:
  explicit ModelWalk(std::optional<std::int64_t> wanted) : wanted_(wanted) {}
  // At a MODEL record; true at the first one (what was read before it lies
  // outside every model).
  bool enter(const char* line) {
    const bool first = !seen_;
    seen_ = inside_ = true;
    number_ = model_number(line);
    numbers_.push_back(number_);
    found_ = found_ || (wanted_ && number_ == *wanted_);
    return first;
  }
  void leave() { inside_ = false; }
  bool selected() const {
    return !wanted_ || (seen_ ? inside_ && number_ == *wanted_ : *wanted_ == 1);
  }
  // Whether the records read now may yet turn out to lie outside every model.
  bool provisional() const { return wanted_ && !seen_; }
  // Empty when the wanted model is there; else "N (the file has ...)".
  std::string missing() {
    if (!wanted_ || found_ || (!seen_ && *wanted_ == 1)) return {};
    const std::string held = numbers_.empty() ? "no MODEL records: all its atoms are model 1"
                                              : models_text(numbers_);
    return std::to_string(*wanted_) + " (the file has " + held + ")";
  }

 private:
  // Columns 11-14, or where they hold no number, the first whole number after
  // the record name; a MODEL record without a number is numbered by its order.
  std::int64_t model_number(const char* line) const {
    const std::string_view rec(line, reclen);
    std::string_view field = rec.substr(10, 4);
    field.remove_prefix(std::min(field.find_first_not_of(' '), field.size()));
    field = field.substr(0, field.find(' '));
    if (field.empty() || rec.substr(14, 1) != " " ||
        !std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      const std::size_t at = rec.find_first_of("0123456789", 6);
      if (at == std::string_view::npos) return static_cast<std::int64_t>(numbers_.size()) + 1;
      field = rec.substr(at);
    }
    std::int64_t n = 0;
    std::from_chars(field.data(), field.data() + field.size(), n);
    return n;
  }

  std::optional<std::int64_t> wanted_;
  bool seen_ = false, inside_ = false, found_ = false;
  std::int64_t number_ = 0;
  std::vector<std::int64_t> numbers_;
};

// How a selective reading converts an atom record in the table's precision
// (Real): the fields into `xyz`, and the mass from the element column when
// asked for and it is not blank, else from the atom name (0 when neither
// gives one).
template <class Real>
struct Precision {
  Real xyz[4];
  bool fields(const char* line, FieldFault& bad, bool simulation_serials) {
    if constexpr (std::is_same_v<Real, float>)
      return usual_atom_fields(line, xyz) || any_atom_fields(line, xyz, bad, simulation_serials);
    else
      return atom_fields_double(line, xyz, bad, simulation_serials);
  }
  static Real mass(const char* line, bool element_masses) {
    const double by_element = element_masses ? element_column_mass(line + 76) : -1;
    if (by_element >= 0) return static_cast<Real>(by_element);
    if constexpr (std::is_same_v<Real, float>)
      return atom_mass(line + 12);
    else
      return atom_mass_double(line + 12);
  }
};

// The selective reading loop in either precision.
template <class Real>
PassFault read_selected(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& err,
                        const Selection& sel, bool every_record) {
  Precision<Real> record;
  t.count = 0;
  t.skipped = 0;
  notes.restart();
  ModelWalk models(sel.model);
  // The unknown-atom lines of records that may yet prove to lie outside every
  // model are held back until that is known.
  std::string held;
  FieldFault bad;
  while (const char* line = cur.next()) {
    if (!is_atom_record(line)) {
      if (is_model_record(line)) {
        ++notes.models;
        if (models.enter(line)) {
          t.count = t.skipped = 0;
          const std::int64_t models_so_far = notes.models;
          notes.restart();
          notes.models = models_so_far;
          held.clear();
        }
      } else if (is_model_end(line)) {
        models.leave();
      }
      continue;
    }
    const bool in_model = models.selected();
    const bool selected = in_model && (!sel.altloc || line[16] == ' ' || line[16] == *sel.altloc);
    notes.unselected += !selected;
    if (!selected && !every_record) {
      notes.other_locations += in_model;
      continue;
    }
    if (!record.fields(line, bad, sel.max_atoms.has_value()))
      return field_fault(line, cur.lineno(), bad.col, bad.width);
    if (!selected) {
      notes.other_locations += in_model;
      continue;
    }
    if (line[16] != ' ') ++notes.alternate_locations;
    if (cur.length() < 54) ++notes.short_records;
    const Real mass = record.mass(line, sel.element_masses);
    if (mass == 0) {
      if (models.provisional() && !notes.skipped_names)
        held += unknown_atom_text(line);
      else
        warn_unknown_atom(line, err, notes.skipped_names);
      ++t.skipped;
      continue;
    }
    if (t.count == t.capacity)
      if (PassFault full = full_table(t, cur.lineno())) return full;
    t.add(record.xyz, mass);
  }
  if (cur.failed()) return {PassFault::Kind::read_error, cur.lineno(), 0, 0, cur.failure()};
  if (std::string missing = models.missing(); !missing.empty())
    return {PassFault::Kind::no_model, cur.lineno(), 0, 0, missing};
  err.put(held);
  return {};
}

}  // namespace

std::string unknown_atom_line(std::string_view shown) {
  return FreeLine().text("Unknown atom type ").text(printable(shown)).str();
}

void note_unknown_atom(std::string_view shown, std::string_view name, Sink& err,
                       std::map<std::string, std::int64_t>* names) {
  if (names)
    ++(*names)[std::string(name)];
  else
    err.put(unknown_atom_line(shown));
}

std::vector<std::int64_t> distinct_models(std::vector<std::int64_t> numbers) {
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

std::string models_text(const std::vector<std::int64_t>& models) {
  const std::vector<std::int64_t> numbers = distinct_models(models);
  std::string list;
  for (std::size_t k = 0; k < numbers.size();) {
    std::size_t run = k;
    while (run + 1 < numbers.size() && numbers[run + 1] == numbers[run] + 1) ++run;
    if (k > 0) list += ", ";
    list += std::to_string(numbers[k]);
    if (run > k) list += "-" + std::to_string(numbers[run]);
    k = run + 1;
  }
  return (numbers.size() == 1 ? "model " : "models ") + list;
}

PassFault read_selected_atoms(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& err,
                              const Selection& sel, bool every_record) {
  t.allocate();
  if (t.in_double) return read_selected<double>(cur, t, notes, err, sel, every_record);
  return read_selected<float>(cur, t, notes, err, sel, every_record);
}

PassFault read_atoms(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& err) {
  t.allocate();
#if defined(__x86_64__)
  if (have_wide_vectors)
    return t.in_double ? read_wide_double(cur, t, notes, err) : read_wide(cur, t, notes, err);
#endif
  return read_narrow(cur, t, notes, err);
}

}  // namespace gyro
