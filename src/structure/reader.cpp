#include "structure/reader.hpp"

#include <cstring>

#include "text/numtext.hpp"

namespace gyro {

PassFault read_atoms(RecordCursor& cur, AtomTable& t, Sink& err) {
  t.count = t.skipped = 0;
  AtomFields f;
  FieldFault bad;
  while (const char* line = cur.next()) {
    if (!is_atom_record(line)) continue;
    if (t.count == max_atoms) return {PassFault::Kind::full, cur.lineno(), 0, 0, {}};
    if (!atom_fields(line, f, bad)) return field_fault(line, cur.lineno(), bad.col, bad.width);
    const float mass = atom_mass(f.name);
    if (mass == 0.0f) {
      err.put(FreeLine().text("Unknown atom type ").text({f.name.data(), 5}).str());
      ++t.skipped;
      continue;
    }
    auto slot = static_cast<std::size_t>(t.count++);
    t.serials[slot] = f.serial;
    t.names[slot] = f.name;
    std::memcpy(&t.coords[3 * slot], f.xyz, sizeof f.xyz);
    t.masses[slot] = mass;
  }
  if (cur.error() != 0) return {PassFault::Kind::read_error, cur.lineno(), 0, 0, {}, cur.error()};
  return {};
}

}  // namespace gyro
