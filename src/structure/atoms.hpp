// The atom table, the selection of atom records and the mass of an atom name.
// Columns of an atom record:
//   1-4 "ATOM" or 1-6 "HETATM"; 7-11 serial (integer, 5 columns);
//   13-17 name and the column after it; 31-38 x, 39-46 y, 47-54 z
//   (real, 8 columns, 3 implied decimals).
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "analysis/rigid.hpp"
#include "text/fields.hpp"

namespace gyro {

inline constexpr std::int64_t max_atoms = 64000;  // the usual limit of accepted atoms

// A run of consecutive accepted atoms that belong together: the atoms of one
// model (MODEL to ENDMDL in PDB text, one pdbx_PDB_model_num in mmCIF), or
// those before the first MODEL record (model 0). An analysis may take each on
// its own.
struct Segment {
  std::int64_t first = 0, count = 0;  // of the table's atoms
  std::int64_t model = 0;
  std::int64_t skipped = 0;  // atom records of the segment skipped for want of a mass
  std::int64_t skipped_from = 0;  // the table's skipped count where it began
};

// The accepted atoms in file order, each its mass and coordinates: only the
// first `count` slots hold values. (The serial numbers and names are checked
// and used while reading, not kept: the second pass pairs records with atoms
// by their order.) The slots are address space reserved from the system, so
// only those written take memory; beyond the usual limit the table grows
// without copying (the pages are remapped).
struct AtomTable {
  // `in_double`: the atoms are kept in double precision (AtomD), not as Atom.
  explicit AtomTable(std::int64_t limit = max_atoms, bool in_double = false);
  ~AtomTable();
  AtomTable(const AtomTable&) = delete;
  AtomTable& operator=(const AtomTable&) = delete;

  std::int64_t count = 0;     // accepted atoms
  std::vector<Segment> segments;  // in file order, covering the accepted atoms
  std::int64_t skipped = 0;   // atom records left out: their name gives no mass
  std::int64_t limit;         // the most atoms the table accepts now
  // The limit the run was given (--max-atoms), and whether it counts the
  // atoms of each segment (--each-model: of each model), not of the table:
  // then `limit` moves on at each segment's first atom.
  const std::int64_t stated_limit;
  bool limit_per_segment = false;
  std::int64_t capacity = 0;  // slots that can be written now, up to the limit
  const bool in_double;
  Atom* atoms = nullptr;          // the slots in single precision, or
  AtomD* atoms_double = nullptr;  // those in double precision
  std::span<Atom> accepted() const { return {atoms, static_cast<std::size_t>(count)}; }
  std::span<const AtomD> accepted_double() const {
    return {atoms_double, static_cast<std::size_t>(count)};
  }
  // The slots up to the usual limit, once: the reading calls it first.
  // Throws std::bad_alloc when they cannot be had.
  void allocate();
  // More slots, up to the limit; throws std::bad_alloc when none can be had.
  void grow();
  // Whether one more atom may be accepted: false at the limit; more slots
  // when all are taken.
  bool room() {
    if (count < capacity) return true;
    if (count == limit) return false;
    grow();
    return true;
  }
  // The next accepted atom (room() first), in the table's precision.
  void add(const float xyz[3], float mass) {
    atoms[static_cast<std::size_t>(count++)] = {xyz[0], xyz[1], xyz[2], mass};
  }
  // The same from four floats (the plain mmCIF reading writes four), the
  // fourth replaced by the mass: one 16-byte copy.
  void add(const float (&xyzw)[4], float mass) {
    Atom& atom = atoms[static_cast<std::size_t>(count++)];
    std::memcpy(&atom, xyzw, sizeof atom);
    atom.mass = mass;
  }
  void add(const double xyz[3], double mass) {
    atoms_double[static_cast<std::size_t>(count++)] = {xyz[0], xyz[1], xyz[2], mass};
  }
  // A reading begins: the slots there, no atom, no segment.
  void start() {
    allocate();
    limit = stated_limit;
    count = skipped = 0;
    segments.clear();
  }
  // A new segment of `model` begins with the next accepted atom; the last one
  // ends. Atoms outside every model (before the first, between two) are
  // model 0's; such a segment without atoms is dropped.
  void begin_segment(std::int64_t model) {
    if (segments.empty() && count + skipped > 0) segments.push_back({0, 0, 0, 0, 0});
    if (!segments.empty()) {
      end_last_segment();
      const Segment& last = segments.back();
      if (last.model == 0 && last.count == 0 && last.skipped == 0) segments.pop_back();
    }
    segments.push_back({count, 0, model, 0, skipped});
    if (limit_per_segment) limit = count + stated_limit;
  }
  // After the reading: the last segment ends with the last accepted atom; a
  // table without segments gets one of them all, model 1.
  void end_segments() {
    if (segments.empty()) segments.push_back({0, 0, 1, 0, 0});
    end_last_segment();
    const Segment& last = segments.back();
    if (segments.size() > 1 && last.model == 0 && last.count == 0 && last.skipped == 0)
      segments.pop_back();
  }
  // The last segment's counts, up to the atoms read so far.
  void end_last_segment() {
    Segment& last = segments.back();
    last.count = count - last.first;
    last.skipped = skipped - last.skipped_from;
  }
  // Every accepted atom weighs 1 (--masses=unit).
  void set_unit_masses() {
    for (std::int64_t k = 0; k < count; ++k) {
      if (in_double)
        atoms_double[k].mass = 1;
      else
        atoms[k].mass = 1;
    }
  }
  // The slots given back (the counts stay): after a run failed for want of
  // memory, so that saying so has some.
  void release();

 private:
  std::size_t bytes_for(std::int64_t slots) const;
  void place(void* p);  // the slots at p (null: none)
  void* slots() const;
  std::size_t bytes_ = 0;
};

// Where a field of a record failed to convert: 1-based columns.
struct FieldFault {
  int col = 0, width = 0;
};

// Records whose first four bytes are "ATOM" or first six are "HETATM".
inline bool is_atom_record(const char* line) {
  // Compared as 4-byte words, not by a library call: this runs for every record.
  auto word = [](const char* p) {
    std::uint32_t w;
    std::memcpy(&w, p, 4);
    return w;
  };
  const std::uint32_t head = word(line);
  return head == word("ATOM") || (head == word("HETA") && word(line + 2) == word("TATM"));
}

// Converts the serial number (columns 7-11, checked only) and x, y, z into
// xyz[0..2] (xyz[3] is overwritten); false with the columns of the first field
// that fails to convert. The usual layout is read byte-parallel here, any
// other by the general conversion.
// `simulation_serials`: serial numbers past 99 999 as simulation programs
// write them are read too (see simulation_serial).
[[gnu::noinline]] bool any_atom_fields(const char* line, float xyz[4], FieldFault& fault,
                                       bool simulation_serials = false);
// The same to the doubles nearest to the fields' decimal text.
[[gnu::noinline]] bool any_atom_fields(const char* line, double xyz[3], FieldFault& fault,
                                       bool simulation_serials = false);

// A serial-number field (5 columns) in a form that simulation programs use
// past 99 999: hexadecimal digits ("186a0"), hybrid-36 (an upper-case letter
// and four digits or upper-case letters, "A0000", or the same in lower case),
// or all asterisks.
bool simulation_serial(std::string_view field);

// The mass of the element whose symbol stands in columns 77-78 (`symbol`
// pointing at column 77): one or two letters, upper or lower case, blanks
// ignored; the double nearest to the table's decimal (in single precision the
// float nearest to it, which the tests check). 0 for a symbol that is no
// element; -1 for two blanks (the atom name decides then).
double element_column_mass(const char* symbol);

// The element masses by the letters of their symbols: mass[first][second],
// with letters of either case numbered 1-26 by `index` (anything else 0) and
// second 0 for one-letter symbols; 0 where no element stands.
struct ElementTable {
  unsigned char index[256];
  double mass[27][27];
};
extern const ElementTable element_table;

// The mass of an element symbol of one or two letters, either case, as
// element_column_mass gives it; 0 for anything else.
inline double element_symbol_mass(std::string_view symbol) {
  if (symbol.empty() || symbol.size() > 2) return 0;
  const int first = element_table.index[static_cast<unsigned char>(symbol[0])];
  const int second = symbol.size() == 2 ? element_table.index[static_cast<unsigned char>(symbol[1])] : 0;
  if (symbol.size() == 2 && second == 0) return 0;
  return element_table.mass[first][second];
}

// The atom record's serial number checked and x, y, z as the doubles nearest
// to their decimal text; false with the columns of the first field that fails
// to convert. `simulation_serials` as for any_atom_fields.
bool atom_fields_double(const char* line, double xyz[3], FieldFault& fault,
                        bool simulation_serials);

inline bool atom_fields(const char* line, float xyz[4], FieldFault& fault) {
  return usual_atom_fields(line, xyz) || any_atom_fields(line, xyz, fault);
}

// The mass rules as two tables. A name whose first character (column 13) is
// not blank is hydrogen when its second is "H", else decided by its first; a
// name that starts with a blank is decided by its second. Iron needs one more
// character: "FE" from column 13, or " FE".
namespace mass_rules {

enum Element : std::uint8_t { none, hydrogen, carbon, nitrogen, oxygen, sulphur, phosphorus,
                              iron, iron_if_e_follows };
inline constexpr float mass_of[] = {0.0f,   1.00797f, 12.01115f, 14.0067f, 15.9994f,
                                    32.06f, 30.974f,  55.847f,   0.0f};
// The same masses as the doubles nearest to their decimals (--double).
inline constexpr double mass_of_double[] = {0.0,   1.00797, 12.01115, 14.0067, 15.9994,
                                            32.06, 30.974,  55.847,   0.0};

struct Tables {
  Element by_first[256];   // first character not blank
  Element by_second[256];  // first character blank
};

constexpr Tables make_tables() {
  Tables t{};
  const char letters[] = "HCNOSPF";
  const Element elements[] = {hydrogen, carbon, nitrogen, oxygen, sulphur, phosphorus,
                              iron_if_e_follows};
  for (int k = 0; k < 7; ++k) {
    t.by_first[static_cast<unsigned char>(letters[k])] = elements[k];
    t.by_second[static_cast<unsigned char>(letters[k])] = elements[k];
  }
  return t;
}

inline constexpr Tables tables = make_tables();

}  // namespace mass_rules

// The element (none when the name gives no mass) and the mass in atomic mass
// units decided from the first characters of the atom
// name (record columns 13-15, `name` pointing at column 13), upper-case letters
// only; 0 when the name gives none. The first rule that holds decides:
// hydrogen (H in 13, or H in 14), carbon, nitrogen, oxygen, sulphur, phosphorus
// (the letter in 13, or blank 13 and the letter in 14), iron (FE in 13-14, or
// blank 13 and FE in 14-15).
inline mass_rules::Element atom_element(const char* name) {
  using namespace mass_rules;
  const auto c1 = static_cast<unsigned char>(name[0]), c2 = static_cast<unsigned char>(name[1]);
  const bool blank1 = c1 == ' ';
  const Element e = blank1 ? tables.by_second[c2] : c2 == 'H' ? hydrogen : tables.by_first[c1];
  if (e != iron_if_e_follows) return e;
  return name[blank1 ? 2 : 1] == 'E' ? iron : none;
}
inline float atom_mass(const char* name) { return mass_rules::mass_of[atom_element(name)]; }
inline double atom_mass_double(const char* name) {
  return mass_rules::mass_of_double[atom_element(name)];
}

}  // namespace gyro
