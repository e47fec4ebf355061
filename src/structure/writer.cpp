#include "structure/writer.hpp"

#include <cstring>

#include "analysis/rigid.hpp"
#include "text/numtext.hpp"
#include "text/records.hpp"

namespace gyro {
namespace {

enum class Move { done, changed };

// The new coordinates of one atom record. The k-th record whose name gives a
// mass is the table's atom k; any other atom record is moved by the frame from
// its own coordinates. Both passes read the same text (checked by the caller),
// so only a file that changed in between can give more accepted atoms than the
// table holds, or a field that does not convert.
Move moved_coordinates(const char* line, const AtomTable& t, const Frame& frame, int& paired,
                       float xyz[3]) {
  std::array<char, 5> name;
  std::memcpy(name.data(), line + 12, 5);  // columns 13-17
  if (atom_mass(name) != 0.0f) {
    if (paired == t.count) return Move::changed;
    std::memcpy(xyz, &t.coords[3 * static_cast<std::size_t>(paired)], 3 * sizeof(float));
    ++paired;
    return Move::done;
  }
  AtomFields f;
  FieldFault bad;
  if (!atom_fields(line, f, bad)) return Move::changed;
  std::memcpy(xyz, f.xyz, sizeof f.xyz);
  translate_point(xyz, frame.centre);
  if (frame.rotated) rotate_point(xyz, frame.axes);
  return Move::done;
}

}  // namespace

WriteResult write_structure(RecordCursor& cur, const AtomTable& t, const Frame& frame, Sink& out) {
  WriteResult res;
  int paired = 0;
  while (const char* line = cur.next()) {
    char* rec = out.claim(reclen + 1);
    std::memcpy(rec, line, reclen);
    rec[reclen] = '\n';
    if (t.count > 0 && is_atom_record(line)) {
      float xyz[3];
      if (moved_coordinates(line, t, frame, paired, xyz) == Move::changed) {
        res.fault = {PassFault::Kind::changed, cur.lineno(), 0, 0, {}};
        return res;
      }
      for (int k = 0; k < 3; ++k)
        if (!coordinate_field(rec + 30 + 8 * k, xyz[k])) ++res.unfit;
    }
    out.commit(reclen + 1);
  }
  if (cur.failed())
    res.fault = {PassFault::Kind::read_error, cur.lineno(), 0, 0, cur.failure()};
  else if (paired != t.count)
    res.fault = {PassFault::Kind::changed, cur.lineno(), 0, 0, {}};
  return res;
}

}  // namespace gyro
