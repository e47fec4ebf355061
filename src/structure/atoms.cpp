#include "structure/atoms.hpp"

#include <cstring>

#include "text/fields.hpp"

namespace gyro {

AtomTable::AtomTable()
    : index(std::make_unique_for_overwrite<std::int32_t[]>(maxatom)),
      atname(std::make_unique_for_overwrite<std::array<char, 5>[]>(maxatom)),
      atcrd(std::make_unique_for_overwrite<float[]>(3 * std::size_t{maxatom})),
      atmass(std::make_unique_for_overwrite<float[]>(maxatom)) {}

bool is_atom_record(const char* line) {
  return std::memcmp(line, "ATOM", 4) == 0 || std::memcmp(line, "HETATM", 6) == 0;
}

bool atom_serial(const char* line, std::int32_t& serial) {
  return pdb_serial(line, serial) || int_field(std::string_view(line + 6, 5), serial);
}

bool atom_fields(const char* line, AtomFields& f, FieldFault& fault) {
  std::string_view rec(line, reclen);
  if (!atom_serial(line, f.serial)) {
    fault = {7, 5};
    return false;
  }
  std::memcpy(f.name.data(), line + 12, 5);  // columns 13-17
  // 31-38 x, 39-46 y, 47-54 z: the three usual fields at once, else one by one.
  if (pdb_coordinates(line, f.xyz)) return true;
  for (int k = 0; k < 3; ++k) {
    const int col = 31 + 8 * k;
    if (!real_field(columns(rec, col, 8), 3, f.xyz[k])) {
      fault = {col, 8};
      return false;
    }
  }
  return true;
}

float atom_mass(const std::array<char, 5>& atname) {
  constexpr float hydrogen = 1.00797f, carbon = 12.01115f, nitrogen = 14.0067f,
                  oxygen = 15.9994f, sulphur = 32.06f, phosphorus = 30.974f,
                  iron = 55.847f;
  const char c1 = atname[0], c2 = atname[1];
  const bool blank1 = c1 == ' ';
  // The first test that holds decides; upper-case letters only.
  if (c1 == 'H' || c2 == 'H') return hydrogen;
  if (c1 == 'C' || (blank1 && c2 == 'C')) return carbon;
  if (c1 == 'N' || (blank1 && c2 == 'N')) return nitrogen;
  if (c1 == 'O' || (blank1 && c2 == 'O')) return oxygen;
  if (c1 == 'S' || (blank1 && c2 == 'S')) return sulphur;
  if (c1 == 'P' || (blank1 && c2 == 'P')) return phosphorus;
  if ((c1 == 'F' && c2 == 'E') || (blank1 && c2 == 'F' && atname[2] == 'E')) return iron;
  return 0.0f;
}

}  // namespace gyro
