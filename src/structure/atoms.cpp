#include "structure/atoms.hpp"

#include <cstring>

#include "text/fields.hpp"

namespace gyro {

AtomTable::AtomTable()
    : serials(std::make_unique_for_overwrite<std::int32_t[]>(max_atoms)),
      names(std::make_unique_for_overwrite<std::array<char, 5>[]>(max_atoms)),
      coords(std::make_unique_for_overwrite<float[]>(3 * std::size_t{max_atoms})),
      masses(std::make_unique_for_overwrite<float[]>(max_atoms)) {}

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

}  // namespace gyro
