#include "structure/atoms.hpp"

#include <string_view>

#include "text/fields.hpp"

namespace gyro {

AtomTable::AtomTable()
    : atoms(std::make_unique_for_overwrite<Atom[]>(max_atoms + 1)) {}

bool any_atom_fields(const char* line, float xyz[4], FieldFault& fault) {
  const std::string_view rec(line, reclen);
  std::int32_t serial = 0;
  if (!int_field(columns(rec, 7, 5), serial)) {
    fault = {7, 5};
    return false;
  }
  // 31-38 x, 39-46 y, 47-54 z.
  for (int k = 0; k < 3; ++k) {
    const int col = 31 + 8 * k;
    if (!real_field(columns(rec, col, 8), 3, xyz[k])) {
      fault = {col, 8};
      return false;
    }
  }
  return true;
}

}  // namespace gyro
