#include "structure/writer.hpp"

#include <cstring>

#include "analysis/rigid.hpp"
#include "text/numtext.hpp"
#include "text/records.hpp"

namespace gyro {
namespace {

// The new coordinates of one atom record. The k-th record whose name gives a
// mass is the table's atom k; any other is moved by the frame from its own
// coordinates. False when those do not convert.
bool moved_coordinates(const char* line, const AtomTable& t, const Frame& frame, int& paired,
                       float xyz[3], FieldFault& fault) {
  std::array<char, 5> name;
  std::memcpy(name.data(), line + 12, 5);  // columns 13-17
  if (atom_mass(name) != 0.0f && paired < t.natom) {
    std::memcpy(xyz, &t.atcrd[3 * static_cast<std::size_t>(paired++)], 3 * sizeof(float));
    return true;
  }
  AtomFields f;
  if (!atom_fields(line, f, fault)) return false;
  std::memcpy(xyz, f.xyz, sizeof f.xyz);
  translate_point(xyz, frame.xcen, frame.ycen, frame.zcen);
  if (frame.rotated) rotate_point(xyz, frame.pvec);
  return true;
}

}  // namespace

WriteResult write_structure(std::string_view input, const AtomTable& t, const Frame& frame,
                            Sink& out) {
  WriteResult res;
  RecordCursor cur(input);
  int paired = 0;
  while (const char* line = cur.next()) {
    char* rec = out.claim(reclen + 1);
    std::memcpy(rec, line, reclen);
    rec[reclen] = '\n';
    if (t.natom > 0 && is_atom_record(line)) {
      float xyz[3];
      FieldFault bad;
      if (!moved_coordinates(line, t, frame, paired, xyz, bad)) {
        res.fault = field_fault(line, cur.lineno(), bad.col, bad.width);
        return res;
      }
      for (int k = 0; k < 3; ++k)
        if (!fixed_field(rec + 30 + 8 * k, xyz[k], 8, 3)) ++res.unfit;
    }
    out.commit(reclen + 1);
  }
  return res;
}

}  // namespace gyro
