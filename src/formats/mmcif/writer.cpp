// The second pass over mmCIF text: every line as it was, the coordinates of
// the _atom_site rows moved.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "formats/mmcif/grammar.hpp"
#include "formats/mmcif/mmcif.hpp"
#include "formats/mmcif/values.hpp"
#include "text/numtext.hpp"

namespace gyro {
namespace {

using namespace cif;

// A moved coordinate with 3 decimals, as the copy writes it: from the
// coordinate-field tables where a single-precision value fits them, else the
// general conversion.
std::string three_decimals(double v, bool single) {
  char field[8];
  if (single && std::fabs(v) < 9999.0 && coordinate_field(field, static_cast<float>(v))) {
    const char* const first = std::find_if(field, field + 8, [](char c) { return c != ' '; });
    const char* const last = field + 8;
    return std::string(first, last);  // (exact: v is a float)
  }
  char buf[400];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
  return std::string(buf, end);
}

// The second pass's visitor: holds the lines of a row until it is complete,
// then writes them with its coordinates moved by `move` (Real[3] and the
// row's model number -> the moved values as doubles, or none: the row stays
// as it is).
template <class Real, class Move>
struct AtomWriter {
  Sink& out;
  bool has_frame;
  Move move;
  std::string held;
  PassFault fault;

  std::size_t line(std::string_view text, std::string_view line_end) {
    const std::size_t at = held.size();
    held.append(text);
    held.append(line_end);  // as the input ends it
    return at;
  }
  void cell(int, std::string_view) {}
  void line_end(bool row_pending) {
    if (row_pending) return;
    out.put(held);
    held.clear();
  }
  // A plain row: its coordinates read where they begin, when they have the
  // form the archive writes; any other as any row.
  template <class Scan>
  bool plain_row(const AtomSiteColumns& c, const Row& r, const RowValues& v, long lineno) {
    if (!has_frame) return true;
    std::string_view text[3];
    Real xyz[4];  // (the plain reading writes 4 floats)
    if (!Scan::short_values(v.xyz_at, text) || !Scan::plain_coordinates(v.xyz_at, xyz))
      return row(c, r, lineno);
    std::pair<std::size_t, std::size_t> places[3];
    for (int k = 0; k < 3; ++k) {
      const std::size_t begin = r.base + static_cast<std::size_t>(text[k].data() - r.line);
      places[k] = {begin, begin + text[k].size()};
    }
    write_moved(xyz, places, v.model);
    return true;
  }
  template <class Scan = NarrowScan>
  bool row(const AtomSiteColumns& c, const Row& r, long lineno) {
    if (!has_frame) return true;
    Real xyz[3];
    if (!coordinate(r.value(c.x), xyz[0]) || !coordinate(r.value(c.y), xyz[1]) ||
        !coordinate(r.value(c.z), xyz[2])) {
      fault = {PassFault::Kind::changed, lineno, 0, 0, {}};
      return false;
    }
    const std::pair<std::size_t, std::size_t> places[3] = {r.place(c.x), r.place(c.y),
                                                           r.place(c.z)};
    write_moved(xyz, places, c.model >= 0 ? r.value(c.model) : "1");
    return true;
  }
  // The coordinates xyz moved, written over the values at `places` of the
  // held text: from the last in the text to the first, so that the places of
  // those before stay where they were.
  void write_moved(const Real* xyz, const std::pair<std::size_t, std::size_t> (&places)[3],
                   std::string_view model) {
    const std::optional<std::array<double, 3>> moved = move(xyz, model);
    if (!moved) return;
    const std::array<double, 3>& m = *moved;
    std::pair<std::size_t, int> order[3] = {{places[0].first, 0}, {places[1].first, 1},
                                            {places[2].first, 2}};
    std::sort(std::begin(order), std::end(order));
    for (int k = 2; k >= 0; --k) {
      const auto [begin, end] = places[order[k].second];
      held.replace(begin, end - begin,
                   three_decimals(m[static_cast<std::size_t>(order[k].second)],
                                  std::is_same_v<Real, float>));
    }
  }
  void finish() {
    out.put(held);
    held.clear();
  }
};

template <class Real, class Move>
WriteResult write_with(RecordCursor& cur, bool has_frame, Sink& out, Move move) {
  AtomWriter<Real, Move> writer{out, has_frame, move, {}, {}};
  WriteResult res;
  res.fault = walk_atom_site(cur, writer);
  if (!res.fault) writer.finish();
  return res;
}

std::array<double, 3> moved_by(const Frame& frame, const float* v) {
  const Lanes m = frame.moved(Lanes{v[0], v[1], v[2], 0.0f});
  return {m[0], m[1], m[2]};
}
std::array<double, 3> moved_by(const FrameD& frame, const double* v) {
  const Vec3d m = frame.moved({v[0], v[1], v[2]});
  return {m.x, m.y, m.z};
}

// A row's model number as the reading takes it ("?" and "." are model 1).
std::int64_t row_model(std::string_view text) {
  std::int64_t model = 1;
  if (!whole_number(text, model)) model = 1;
  return model;
}

template <class Real, class FrameT>
WriteResult write_models_with(RecordCursor& cur, const std::vector<ModelFrame<FrameT>>& frames,
                              Sink& out) {
  std::map<std::int64_t, const ModelFrame<FrameT>*> by_model;
  for (const auto& f : frames) by_model.emplace(f.model, &f);
  return write_with<Real>(cur, true, out,
                          [&](const Real* v, std::string_view model)
                              -> std::optional<std::array<double, 3>> {
                            const auto it = by_model.find(row_model(model));
                            if (it == by_model.end() || !it->second->has_frame) return {};
                            return moved_by(it->second->frame, v);
                          });
}

}  // namespace

WriteResult write_mmcif(RecordCursor& cur, bool has_frame, const Frame& frame, Sink& out) {
  return write_with<float>(cur, has_frame, out, [&](const float* v, std::string_view) {
    return std::optional<std::array<double, 3>>(moved_by(frame, v));
  });
}

WriteResult write_mmcif(RecordCursor& cur, bool has_frame, const FrameD& frame, Sink& out) {
  return write_with<double>(cur, has_frame, out, [&](const double* v, std::string_view) {
    return std::optional<std::array<double, 3>>(moved_by(frame, v));
  });
}

WriteResult write_mmcif_models(RecordCursor& cur, const std::vector<ModelFrame<Frame>>& frames,
                               Sink& out) {
  return write_models_with<float>(cur, frames, out);
}
WriteResult write_mmcif_models(RecordCursor& cur, const std::vector<ModelFrame<FrameD>>& frames,
                               Sink& out) {
  return write_models_with<double>(cur, frames, out);
}

}  // namespace gyro
