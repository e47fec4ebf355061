#include "formats/pdb/writer.hpp"

#include <cstring>

#include "analysis/rigid.hpp"
#include "formats/pdb/atom_rule.hpp"
#include "text/numtext.hpp"
#include "text/records.hpp"
#include "text/vectors.hpp"

namespace gyro {
namespace {

enum class Move { done, changed };

// The coordinates of an atom record from its own fields; false when they do
// not convert. The first pass checked every serial number under the run's
// rules, and the copy reads the same text (its checksum tells), so the serial
// may have any form here.
bool own_fields(const char* line, float xyz[4]) {
  FieldFault bad;
  return usual_atom_fields(line, xyz) || any_atom_fields(line, xyz, bad, true);
}

// The new coordinates of one atom record. The k-th record that the reading's
// rule (`Masses`) gives a mass is the table's atom k; any other atom record is
// converted from its own fields. Both passes read the same text (checked by
// the caller), so only a file that changed in between can give more accepted
// atoms than the table holds, or a field that does not convert.
template <class Masses>
Move moved_coordinates(const char* line, const AtomTable& t, const Frame& frame,
                       int& paired, Lanes& moved) {
  Lanes v;
  if (Masses::accepted(Masses::key(line))) {
    if (paired == t.count) return Move::changed;
    std::memcpy(&v, &t.atoms[static_cast<std::size_t>(paired++)], sizeof v);
  } else {
    float xyz[4];
    if (!own_fields(line, xyz)) return Move::changed;
    std::memcpy(&v, xyz, sizeof v);
  }
  moved = frame.moved(v);
  return Move::done;
}

// The copy loop; `Vectors` says whether 256-bit vectors may be used,
// `Trusted` whether the layout of the text learnt in the first pass is,
// `HasAtoms` whether there are accepted atoms (without, there is no frame and
// every record is copied as read) and `Masses` which records were accepted.
template <class Vectors, bool Trusted, bool HasAtoms, class Masses>
WriteResult write_loop(RecordCursor& cur, const AtomTable& t, const Frame& frame, Sink& out) {
  WriteResult res;
  int paired = 0;
  // Room for many records is claimed at once; `rec` walks through it.
  constexpr std::size_t batch = 256 * (reclen + 1);
  char* start = out.claim(batch);
  char* rec = start;
  while (const char* line = cur.template next<Vectors::wide, Trusted>()) {
    if (rec == start + batch) {
      out.commit(batch);
      start = rec = out.claim(batch);
    }
    std::memcpy(rec, line, reclen);
    rec[reclen] = '\n';
    if (HasAtoms && is_atom_record(line)) {
      Lanes xyz;
      if (moved_coordinates<Masses>(line, t, frame, paired, xyz) == Move::changed) {
        out.commit(static_cast<std::size_t>(rec - start));
        res.fault = {PassFault::Kind::changed, cur.lineno(), 0, 0, {}};
        return res;
      }
      res.unfit += Vectors::fields(rec + 30, xyz);  // columns 31-54
    }
    rec += reclen + 1;
  }
  out.commit(static_cast<std::size_t>(rec - start));
  if (cur.failed())
    res.fault = {PassFault::Kind::read_error, cur.lineno(), 0, 0, cur.failure()};
  else if (paired != t.count)
    res.fault = {PassFault::Kind::changed, cur.lineno(), 0, 0, {}};
  return res;
}

struct NarrowVectors {
  static constexpr bool wide = false;
  static int fields(char* out, Lanes v) {
    float xyz[4];
    std::memcpy(xyz, &v, sizeof xyz);
    return coordinate_fields(out, xyz);
  }
};

#if defined(__x86_64__)
struct WideVectors {
  static constexpr bool wide = true;
  [[gnu::target("avx2")]] static int fields(char* out, Lanes v) {
    return coordinate_fields_wide(out, v);
  }
};

#endif

// The copy loop for the table and the text's layout.
template <class Vectors, class Masses>
[[gnu::always_inline]] inline WriteResult write_with(RecordCursor& cur, const AtomTable& t,
                                                     const Frame& frame, Sink& out) {
  if (t.count == 0)
    return write_loop<Vectors, false, false, Masses>(cur, t, frame, out);
  return cur.trusted()
             ? write_loop<Vectors, true, true, Masses>(cur, t, frame, out)
             : write_loop<Vectors, false, true, Masses>(cur, t, frame, out);
}

template <class Masses>
[[gnu::noinline]] WriteResult write_narrow(RecordCursor& cur, const AtomTable& t,
                                           const Frame& frame, Sink& out) {
  return write_with<NarrowVectors, Masses>(cur, t, frame, out);
}

#if defined(__x86_64__)
// The loops with everything they call inlined, compiled for 256-bit vectors.
template <class Masses>
[[gnu::flatten, gnu::target("avx2")]] WriteResult write_wide(RecordCursor& cur, const AtomTable& t,
                                                            const Frame& frame, Sink& out) {
  return write_with<WideVectors, Masses>(cur, t, frame, out);
}
#endif

}  // namespace

namespace {

// The copy loop of the runs that move records from their own fields: `move`
// writes an atom record's new coordinates into columns 31-54 of the copy and
// returns how many did not fit, or -1 when its fields do not convert; `other`
// sees every other record.
template <class Other, class Move>
WriteResult copy_moving_atoms(RecordCursor& cur, Sink& out, Other other, Move move) {
  WriteResult res;
  while (const char* line = cur.next()) {
    char* rec = out.claim(reclen + 1);
    std::memcpy(rec, line, reclen);
    rec[reclen] = '\n';
    if (is_atom_record(line)) {
      const int unfit = move(line, rec + 30);
      if (unfit < 0) {
        res.fault = {PassFault::Kind::changed, cur.lineno(), 0, 0, {}};
        return res;
      }
      res.unfit += unfit;
    } else {
      other(line);
    }
    out.commit(reclen + 1);
  }
  if (cur.failed()) res.fault = {PassFault::Kind::read_error, cur.lineno(), 0, 0, cur.failure()};
  return res;
}

template <class Move>
WriteResult copy_moving_every_atom(RecordCursor& cur, bool has_frame, Sink& out, Move move) {
  return copy_moving_atoms(cur, out, [&](const char*) {}, [&](const char* line, char* fields) {
    return has_frame ? move(line, fields) : 0;
  });
}

// An atom record's coordinates moved by `frame` into its copy's columns
// 31-54 (`fields`): how many did not fit, or -1 when its fields do not
// convert. In double precision each is rounded once to 3 decimals.
int move_record(const char* line, char* fields, const Frame& frame) {
  float xyz[4] = {0, 0, 0, 0};
  if (!own_fields(line, xyz)) return -1;
  xyz[3] = 0;
  Lanes v;
  std::memcpy(&v, xyz, sizeof v);
  return NarrowVectors::fields(fields, frame.moved(v));
}
#if defined(__x86_64__)
// FrameD::moved and the three fields in 256-bit vectors, x, y, z a lane each:
// every lane takes the operations of moved() in their order.
[[gnu::target("avx2")]] int moved_fields_double_wide(char* fields, const double xyz[3],
                                                     const FrameD& frame) {
  const __m256d d = _mm256_sub_pd(_mm256_setr_pd(xyz[0], xyz[1], xyz[2], 0.0),
                                  _mm256_loadu_pd(frame.centre_lanes()));
  if (!frame.rotated()) return coordinate_fields_double_wide(fields, d);
  const __m256d c0 = _mm256_loadu_pd(frame.column(0)), c1 = _mm256_loadu_pd(frame.column(1)),
                c2 = _mm256_loadu_pd(frame.column(2));
  const __m256d dx = _mm256_permute4x64_pd(d, 0x00), dy = _mm256_permute4x64_pd(d, 0x55),
                dz = _mm256_permute4x64_pd(d, 0xAA);
  const __m256d moved = _mm256_add_pd(
      _mm256_add_pd(_mm256_add_pd(_mm256_setzero_pd(), _mm256_mul_pd(c0, dx)),
                    _mm256_mul_pd(c1, dy)),
      _mm256_mul_pd(c2, dz));
  return coordinate_fields_double_wide(fields, moved);
}
#endif

int move_record(const char* line, char* fields, const FrameD& frame) {
  double xyz[3];
  FieldFault bad;
  if (!atom_fields_double(line, xyz, bad, true)) return -1;  // (any serial: as own_fields)
#if defined(__x86_64__)
  if (vectors::wide()) return moved_fields_double_wide(fields, xyz, frame);
#endif
  const Vec3d moved = frame.moved({xyz[0], xyz[1], xyz[2]});
  int unfit = 0;
  for (const double v : {moved.x, moved.y, moved.z}) {
    unfit += !coordinate_field(fields, v);  // rounded once, from the double
    fields += 8;
  }
  return unfit;
}

// The copy of a series: the atom records of the k-th MODEL record's model
// moved by the k-th frame (`by_model_records` false: the file has none, and
// every atom record is the one model's), those outside every model as read.
template <class FrameT>
WriteResult write_models_with(RecordCursor& cur, const std::vector<ModelFrame<FrameT>>& frames,
                              bool by_model_records, Sink& out) {
  std::size_t next = 0;
  const ModelFrame<FrameT>* current =
      !by_model_records && !frames.empty() ? &frames[0] : nullptr;
  const auto other = [&](const char* line) {
    if (std::memcmp(line, "MODEL ", 6) == 0)
      current = next < frames.size() ? &frames[next++] : nullptr;
    else if (std::memcmp(line, "ENDMDL", 6) == 0)
      current = nullptr;
  };
  return copy_moving_atoms(cur, out, other, [&](const char* line, char* fields) {
    return current && current->has_frame ? move_record(line, fields, current->frame) : 0;
  });
}

}  // namespace

WriteResult write_every_record(RecordCursor& cur, bool has_frame, const Frame& frame, Sink& out) {
  return copy_moving_every_atom(cur, has_frame, out, [&](const char* line, char* fields) {
    return move_record(line, fields, frame);
  });
}

WriteResult write_every_record(RecordCursor& cur, bool has_frame, const FrameD& frame,
                               Sink& out) {
  return copy_moving_every_atom(cur, has_frame, out, [&](const char* line, char* fields) {
    return move_record(line, fields, frame);
  });
}

WriteResult write_models(RecordCursor& cur, const std::vector<ModelFrame<Frame>>& frames,
                         bool by_model_records, Sink& out) {
  return write_models_with(cur, frames, by_model_records, out);
}
WriteResult write_models(RecordCursor& cur, const std::vector<ModelFrame<FrameD>>& frames,
                         bool by_model_records, Sink& out) {
  return write_models_with(cur, frames, by_model_records, out);
}

WriteResult write_structure(RecordCursor& cur, const AtomTable& t, const Frame& frame, Sink& out,
                            MassSource masses) {
  const bool by_element = masses == MassSource::element;
#if defined(__x86_64__)
  if (vectors::wide())
    return by_element ? write_wide<pdb::MassesByElement>(cur, t, frame, out)
                      : write_wide<pdb::MassesByName>(cur, t, frame, out);
#endif
  return by_element ? write_narrow<pdb::MassesByElement>(cur, t, frame, out)
                    : write_narrow<pdb::MassesByName>(cur, t, frame, out);
}

}  // namespace gyro
