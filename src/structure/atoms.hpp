// The atom table, the selection of atom records and the mass of an atom name.
// Columns of an atom record:
//   1-4 "ATOM" or 1-6 "HETATM"; 7-11 serial (integer, 5 columns);
//   13-17 name and the column after it; 31-38 x, 39-46 y, 47-54 z
//   (real, 8 columns, 3 implied decimals).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace gyro {

inline constexpr int maxatom = 64000;

// Atom i (1-based) is slot i-1 of each column; its coordinates are
// atcrd[3(i-1)], atcrd[3(i-1)+1], atcrd[3(i-1)+2]. Allocated once for the run.
struct AtomTable {
  AtomTable();
  int natom = 0;  // accepted atoms
  int iskip = 0;  // atom records left out: their name gives no mass
  std::vector<std::int32_t> index;
  std::vector<std::array<char, 5>> atname;
  std::vector<float> atcrd;
  std::vector<float> atmass;
};

// Fields of one atom record as converted from its columns.
struct AtomFields {
  std::int32_t serial = 0;
  std::array<char, 5> name{};
  float xyz[3] = {0, 0, 0};
};

// Where a field of a record failed to convert: 1-based columns.
struct FieldFault {
  int col = 0, width = 0;
};

// Records whose first four bytes are "ATOM" or first six are "HETATM".
bool is_atom_record(const char* line);

// Converts serial, name, x, y, z in that order; the first field that fails
// to convert is named in the result.
std::optional<FieldFault> atom_fields(const char* line, AtomFields& f);

// Mass in atomic mass units decided from the first characters of the name;
// nothing when the name gives none.
std::optional<float> atom_mass(const std::array<char, 5>& atname);

}  // namespace gyro
