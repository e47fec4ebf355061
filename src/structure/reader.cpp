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
  while (const char* line = cur.next()) {
    if (!is_atom_record(line)) {
      notes.models += is_model_record(line);
      continue;
    }
    float xyz[4];
    FieldFault bad;
    if (!atom_fields(line, xyz, bad)) return field_fault(line, cur.lineno(), bad.col, bad.width);
    notes.alternate_locations += line[16] != ' ';
    notes.short_records += cur.length() < 54;
    const float mass = atom_mass(line + 12);  // name in columns 13-16
    if (mass == 0.0f) {
      err.put(FreeLine().text("Unknown atom type ").text(printable({line + 12, 5})).str());
      ++t.skipped;
      continue;
    }
    // Only accepted atoms take a slot: a skipped record never meets the limit.
    if (t.count == max_atoms) return {PassFault::Kind::full, cur.lineno(), 0, 0, {}};
    t.atoms[static_cast<std::size_t>(t.count++)] = {mass, xyz[0], xyz[1], xyz[2]};
  }
  if (cur.failed()) return {PassFault::Kind::read_error, cur.lineno(), 0, 0, cur.failure()};
  return {};
}

}  // namespace gyro
