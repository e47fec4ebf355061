#include "structure/writer.hpp"

#include <cstring>

#include "analysis/rigid.hpp"
#include "text/numtext.hpp"
#include "text/records.hpp"

namespace gyro {
namespace {

enum class Move { done, bad_field, changed };

// Two 5-byte names compared without a library call.
bool same_name(const std::array<char, 5>& a, const std::array<char, 5>& b) {
  std::uint32_t wa, wb;
  std::memcpy(&wa, a.data(), 4);
  std::memcpy(&wb, b.data(), 4);
  return wa == wb && a[4] == b[4];
}

// The new coordinates of one atom record. The k-th record whose name gives a
// mass is the table's atom k, and must still carry its serial number and name
// (else the file changed since the first pass); any other atom record is moved
// by the frame from its own coordinates.
Move moved_coordinates(const char* line, const AtomTable& t, const Frame& frame, int& paired,
                       float xyz[3], FieldFault& fault) {
  std::array<char, 5> name;
  std::memcpy(name.data(), line + 12, 5);  // columns 13-17
  if (atom_mass(name) != 0.0f) {
    std::int32_t serial = 0;
    if (!atom_serial(line, serial)) {
      fault = {7, 5};
      return Move::bad_field;
    }
    const auto k = static_cast<std::size_t>(paired);
    if (paired == t.count || serial != t.serials[k] || !same_name(name, t.names[k]))
      return Move::changed;
    std::memcpy(xyz, &t.coords[3 * k], 3 * sizeof(float));
    ++paired;
    return Move::done;
  }
  AtomFields f;
  if (!atom_fields(line, f, fault)) return Move::bad_field;
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
      FieldFault bad;
      const Move move = moved_coordinates(line, t, frame, paired, xyz, bad);
      if (move == Move::bad_field) {
        res.fault = field_fault(line, cur.lineno(), bad.col, bad.width);
        return res;
      }
      if (move == Move::changed) {
        res.fault = {PassFault::Kind::changed, cur.lineno(), 0, 0, {}};
        return res;
      }
      for (int k = 0; k < 3; ++k)
        if (!coordinate_field(rec + 30 + 8 * k, xyz[k])) ++res.unfit;
    }
    out.commit(reclen + 1);
  }
  if (cur.error() != 0)
    res.fault = {PassFault::Kind::read_error, cur.lineno(), 0, 0, {}, cur.error()};
  else if (paired != t.count)
    res.fault = {PassFault::Kind::changed, cur.lineno(), 0, 0, {}};
  return res;
}

}  // namespace gyro
