#include "structure/reader.hpp"

#include <cstring>

#include "text/numtext.hpp"

namespace gyro {

PassFault read_atoms(RecordCursor& cur, AtomTable& t, Sink& err) {
  t.natom = t.iskip = 0;
  AtomFields f;
  FieldFault bad;
  while (const char* line = cur.next()) {
    if (!is_atom_record(line)) continue;
    if (t.natom == maxatom) return {PassFault::Kind::full, cur.lineno(), 0, 0, {}};
    if (!atom_fields(line, f, bad)) return field_fault(line, cur.lineno(), bad.col, bad.width);
    const float mass = atom_mass(f.name);
    if (mass == 0.0f) {
      err.put(FreeLine().text("Unknown atom type ").text({f.name.data(), 5}).str());
      ++t.iskip;
      continue;
    }
    auto slot = static_cast<std::size_t>(t.natom++);
    t.index[slot] = f.serial;
    t.atname[slot] = f.name;
    std::memcpy(&t.atcrd[3 * slot], f.xyz, sizeof f.xyz);
    t.atmass[slot] = mass;
  }
  if (cur.error() != 0) return {PassFault::Kind::read_error, cur.lineno(), 0, 0, {}, cur.error()};
  return {};
}

}  // namespace gyro
