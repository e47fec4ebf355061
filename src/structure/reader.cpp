#include "structure/reader.hpp"

#include <cstring>

#include "text/numtext.hpp"
#include "text/records.hpp"

namespace gyro {

PassFault read_atoms(std::string_view input, AtomTable& t, Sink& err) {
  t.natom = t.iskip = 0;
  RecordCursor cur(input);
  char line[reclen];
  AtomFields f;
  while (cur.next(line)) {
    if (!is_atom_record(line)) continue;
    if (t.natom == maxatom) return {PassFault::Kind::full, cur.lineno(), 0, 0, {}};
    if (auto bad = atom_fields(line, f))
      return field_fault(line, cur.lineno(), bad->col, bad->width);
    auto mass = atom_mass(f.name);
    if (!mass) {
      err.put(FreeLine().text("Unknown atom type ").text({f.name.data(), 5}).str());
      ++t.iskip;
      continue;
    }
    auto slot = static_cast<std::size_t>(t.natom++);
    t.index[slot] = f.serial;
    t.atname[slot] = f.name;
    std::memcpy(&t.atcrd[3 * slot], f.xyz, sizeof f.xyz);
    t.atmass[slot] = *mass;
  }
  return {};
}

}  // namespace gyro
