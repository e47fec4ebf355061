#include "structure/reader.hpp"

#include <cstring>

#include "text/numtext.hpp"

namespace gyro {
namespace {

bool is_model_record(const char* line) { return std::memcmp(line, "MODEL ", 6) == 0; }

}  // namespace

PassFault read_atoms(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& err) {
  t.count = 0;
  t.skipped = 0;
  notes = {};
  AtomFields f;
  FieldFault bad;
  while (const char* line = cur.next()) {
    if (!is_atom_record(line)) {
      notes.models += is_model_record(line);
      continue;
    }
    if (!atom_fields(line, f, bad)) return field_fault(line, cur.lineno(), bad.col, bad.width);
    notes.alternate_locations += f.name[4] != ' ';
    notes.short_records += cur.length() < 54;
    const float mass = atom_mass(f.name);
    if (mass == 0.0f) {
      err.put(FreeLine().text("Unknown atom type ").text(printable({f.name.data(), 5})).str());
      ++t.skipped;
      continue;
    }
    // Only accepted atoms take a slot: a skipped record never meets the limit.
    if (t.count == max_atoms) return {PassFault::Kind::full, cur.lineno(), 0, 0, {}};
    auto slot = static_cast<std::size_t>(t.count++);
    t.serials[slot] = f.serial;
    t.names[slot] = f.name;
    std::memcpy(&t.coords[3 * slot], f.xyz, sizeof f.xyz);
    t.masses[slot] = mass;
  }
  if (cur.failed()) return {PassFault::Kind::read_error, cur.lineno(), 0, 0, cur.failure()};
  return {};
}

}  // namespace gyro
