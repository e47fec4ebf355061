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

#include "analysis/rigid.hpp"
#include "text/fields.hpp"

namespace gyro {

inline constexpr int max_atoms = 64000;

// The accepted atoms in file order, each its mass and coordinates. Allocated
// once for the run: only the first `count` hold values. (The serial numbers and
// names are checked and used while reading, not kept: the second pass pairs
// records with atoms by their order.)
struct AtomTable {
  AtomTable();
  int count = 0;             // accepted atoms
  std::int64_t skipped = 0;  // atom records left out: their name gives no mass
  std::unique_ptr<Atom[]> atoms;
  std::span<Atom> accepted() { return {atoms.get(), static_cast<std::size_t>(count)}; }
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
[[gnu::noinline]] bool any_atom_fields(const char* line, float xyz[4], FieldFault& fault);
inline bool atom_fields(const char* line, float xyz[4], FieldFault& fault) {
  return usual_atom_fields(line, xyz) || any_atom_fields(line, xyz, fault);
}

// Mass in atomic mass units decided from the first characters of the atom
// name (record columns 13-15, `name` pointing at column 13); 0 when the name
// gives none.
inline float atom_mass(const char* name) {
  constexpr float hydrogen = 1.00797f, carbon = 12.01115f, nitrogen = 14.0067f,
                  oxygen = 15.9994f, sulphur = 32.06f, phosphorus = 30.974f,
                  iron = 55.847f;
  const char c1 = name[0], c2 = name[1];
  const bool blank1 = c1 == ' ';
  // The first test that holds decides; upper-case letters only.
  if (c1 == 'H' || c2 == 'H') return hydrogen;
  if (c1 == 'C' || (blank1 && c2 == 'C')) return carbon;
  if (c1 == 'N' || (blank1 && c2 == 'N')) return nitrogen;
  if (c1 == 'O' || (blank1 && c2 == 'O')) return oxygen;
  if (c1 == 'S' || (blank1 && c2 == 'S')) return sulphur;
  if (c1 == 'P' || (blank1 && c2 == 'P')) return phosphorus;
  if ((c1 == 'F' && c2 == 'E') || (blank1 && c2 == 'F' && name[2] == 'E')) return iron;
  return 0.0f;
}

}  // namespace gyro
