#include "structure/reader.hpp"

#include <cstring>

#include "text/numtext.hpp"

namespace gyro {
namespace {

bool is_model_record(const char* line) { return std::memcmp(line, "MODEL ", 6) == 0; }

[[gnu::noinline]] void warn_unknown_atom(const char* line, Sink& err) {
  err.put(FreeLine().text("Unknown atom type ").text(printable({line + 12, 5})).str());
}

// The usual layout read with 128-bit vectors, which every x86-64 processor
// has, or with 256-bit ones.
struct NarrowVectors {
  static constexpr bool wide = false;
  static bool fields(const char* line, float xyz[4]) { return usual_atom_fields(line, xyz); }
};
#if defined(__x86_64__)
struct WideVectors {
  static constexpr bool wide = true;
  [[gnu::target("avx2")]] static bool fields(const char* line, float xyz[4]) {
    return usual_atom_fields_wide(line, xyz);
  }
};
#endif

// The reading loop. The fields of an atom record are converted into the
// table's next free slot (one beyond the accepted atoms, so there is always
// one); the record is accepted by giving it its mass and counting it.
template <class Vectors>
PassFault read_loop(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& err) {
  t.count = 0;
  t.skipped = 0;
  notes = {};
  FieldFault bad;
  // Columns 1-54 are all the reader looks at.
  while (const char* line = cur.template next<Vectors::wide, false, 54>()) {
    if (!is_atom_record(line)) {
      notes.models += is_model_record(line);
      continue;
    }
    float xyz[4];
    if (!Vectors::fields(line, xyz) && !any_atom_fields(line, xyz, bad))
      return field_fault(line, cur.lineno(), bad.col, bad.width);
    if (line[16] != ' ') ++notes.alternate_locations;
    if (cur.length() < 54) ++notes.short_records;
    const auto element = atom_element(line + 12);  // name in columns 13-16
    if (element == mass_rules::none || t.count == max_atoms) [[unlikely]] {
      if (element != mass_rules::none) return {PassFault::Kind::full, cur.lineno(), 0, 0, {}};
      // Only accepted atoms take a slot: a skipped record never meets the limit.
      warn_unknown_atom(line, err);
      ++t.skipped;
      continue;
    }
    Atom& atom = t.atoms[static_cast<std::size_t>(t.count++)];
    std::memcpy(&atom, xyz, sizeof atom);
    atom.mass = mass_rules::mass_of[element];
  }
  if (cur.failed()) return {PassFault::Kind::read_error, cur.lineno(), 0, 0, cur.failure()};
  return {};
}

PassFault read_narrow(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& err) {
  return read_loop<NarrowVectors>(cur, t, notes, err);
}

#if defined(__x86_64__)
// The loop with everything it calls inlined, compiled for 256-bit vectors.
[[gnu::flatten, gnu::target("avx2")]] PassFault read_wide(RecordCursor& cur, AtomTable& t,
                                                         ReadNotes& notes, Sink& err) {
  return read_loop<WideVectors>(cur, t, notes, err);
}
const bool have_wide_vectors = __builtin_cpu_supports("avx2");
#endif

}  // namespace

PassFault read_atoms(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& err) {
#if defined(__x86_64__)
  if (have_wide_vectors) return read_wide(cur, t, notes, err);
#endif
  return read_narrow(cur, t, notes, err);
}

}  // namespace gyro
