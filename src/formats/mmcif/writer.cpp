// The second pass over mmCIF text: every line as it was, the coordinates of
// the _atom_site rows moved.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "analysis/periodic.hpp"
#include "formats/mmcif/grammar.hpp"
#include "formats/mmcif/mmcif.hpp"
#include "formats/mmcif/moved_text.hpp"
#include "formats/mmcif/values.hpp"
#include "text/numtext.hpp"

namespace gyro {
namespace {

using namespace cif;

// A plain row's coordinates, from where they begin in its line, and where
// their values stand in it (from its start); false when they are not in the
// form the archive writes (then read the row as any other).
template <class Scan, class Real>
bool plain_row_coordinates(const char* line, const char* const (&xyz_at)[3], Real* xyz,
                           Place (&places)[3]) {
  std::size_t lengths[3];
  if (!Scan::plain_coordinates(xyz_at, xyz, lengths)) return false;
  for (int k = 0; k < 3; ++k) {
    const auto begin = static_cast<std::size_t>(xyz_at[k] - line);
    places[k] = {begin, begin + lengths[k]};
  }
  return true;
}
// The same, the places in the held text.
template <class Scan, class Real>
bool plain_row_coordinates_held(const Row& r, const RowValues& v, Real* xyz, Place (&places)[3]) {
  if (!plain_row_coordinates<Scan>(r.line, v.xyz_at, xyz, places)) return false;
  for (Place& p : places) p = {r.base + p.first, r.base + p.second};
  return true;
}

// Any row's coordinates and places; false when one is not a number (the
// file changed since the first pass).
template <class Real>
bool row_coordinates(const AtomSiteColumns& c, const Row& r, Real* xyz, Place (&places)[3]) {
  if (!coordinate(r.value(c.x), xyz[0]) || !coordinate(r.value(c.y), xyz[1]) ||
      !coordinate(r.value(c.z), xyz[2]))
    return false;
  places[0] = r.place(c.x);
  places[1] = r.place(c.y);
  places[2] = r.place(c.z);
  return true;
}

// A row's coordinates moved by a frame: in single precision the frame's
// lanes (0-2), in double three doubles; and those as doubles.
Lanes moved_by(const Frame& frame, const float* v) {
  return frame.moved(Lanes{v[0], v[1], v[2], 0.0f});
}
std::array<double, 3> moved_by(const FrameD& frame, const double* v) {
  const Vec3d m = frame.moved({v[0], v[1], v[2]});
  return {m.x, m.y, m.z};
}
std::array<double, 3> as_doubles(const Lanes& m) {
  return {static_cast<double>(m[0]), static_cast<double>(m[1]), static_cast<double>(m[2])};
}
const std::array<double, 3>& as_doubles(const std::array<double, 3>& m) { return m; }

// The moved coordinates written over the values at the three `places` of the
// held text, the text after the first of them moved once (through
// `scratch`). Returns how much longer the text became.
std::ptrdiff_t write_over(std::string& held, std::string& scratch, const Place* places,
                          const std::array<double, 3>& moved, bool single) {
  MovedTexts t;
  moved_texts(places, moved, single, t);
  const std::size_t first = places[t.order[0]].first, old_size = held.size();
  scratch.assign(held.data() + first, old_size - first);
  held.resize(static_cast<std::size_t>(static_cast<std::ptrdiff_t>(old_size) + t.change));
  splice(held.data() + first, scratch.data(), first, old_size, places, t);
  return t.change;
}

// The second pass's visitor: holds the lines of a row until it is complete,
// then writes them with its coordinates moved by `move` (Real[3] and the
// row's model number -> the moved values as moved_by gives them, or none: the
// row stays as it is).
template <class Real, bool ByModel, class Move>
struct AtomWriter {
  static constexpr bool inline_rows = true;      // (see read_batch)
  static constexpr bool reads_values = ByModel;  // (the model, for `move`)
  Sink& out;
  bool has_frame;
  Move move;
  std::string held;
  PassFault fault;
  std::string scratch = {};

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
  // A plain row's line (`length` bytes with its line end), with nothing held
  // before it: written straight to the output with its coordinates moved,
  // where they have the form the archive writes; else held and taken as any
  // line and row.
  template <class Scan>
  bool plain_line(const char* line, std::size_t length, const char* const (&xyz_at)[3],
                  std::string_view model, const std::uint16_t* value_starts,
                  const AtomSiteColumns& c, Row& r, long lineno) {
    Real xyz[4];  // (the plain reading writes 4 floats)
    Place places[3];
    if (!has_frame || !held.empty() || !plain_row_coordinates<Scan>(line, xyz_at, xyz, places))
      return held_line<Scan>(line, length, xyz_at, model, value_starts, c, r, lineno);
    const auto moved = move(xyz, model);
    if (!moved) {
      out.put({line, length});
      return true;
    }
    MovedWords words;
    // (A plain row's line has 264 bytes to be read from its start.)
    if (places[0].second < places[1].first && places[1].first - places[0].second <= 16 &&
        places[1].second < places[2].first && places[2].first - places[1].second <= 16 &&
        length <= 232 && moved_words<Scan>(*moved, words)) {
      // (The line grows by at most 24 bytes: three texts of 8 for values of
      // at least 1; 31 more may be written.)
      char* const begin = out.claim(length + 24 + 32);
      out.commit(
          static_cast<std::size_t>(splice_in_order(begin, line, length, places, words) - begin));
      return true;
    }
    moved_line(line, length, places, as_doubles(*moved));
    return true;
  }
  // A plain row's line held and taken as any line and row.
  template <class Scan>
  [[gnu::noinline]] bool held_line(const char* line, std::size_t length,
                                   const char* const (&xyz_at)[3], std::string_view model,
                                   const std::uint16_t* value_starts, const AtomSiteColumns& c,
                                   Row& r, long lineno) {
    r.set_line(line, value_starts);
    const auto [text, end] = text_and_end(line, length);
    r.base = this->line(text, end);
    RowValues v;
    v.model = model;
    std::copy(std::begin(xyz_at), std::end(xyz_at), v.xyz_at);
    const bool go_on = plain_row<Scan>(c, r, v, lineno);
    line_end(false);
    return go_on;
  }
  // A plain row's line written with its coordinates moved, in any order and
  // any form.
  [[gnu::noinline]] void moved_line(const char* line, std::size_t length, const Place (&places)[3],
                                    const std::array<double, 3>& moved) {
    const auto [text, end] = text_and_end(line, length);
    MovedTexts t;
    moved_texts(places, moved, std::is_same_v<Real, float>, t);
    const auto size =
        static_cast<std::size_t>(static_cast<std::ptrdiff_t>(text.size()) + t.change) + end.size();
    // (Lines of up to 232 bytes are copied in pieces of 32.)
    char* const begin = out.claim(size + 32);
    char* to = text.size() <= 232 ? splice<true>(begin, text.data(), 0, text.size(), places, t)
                                  : splice(begin, text.data(), 0, text.size(), places, t);
    to[0] = end[0];
    if (end.size() > 1) to[1] = end[1];
    out.commit(size);
  }
  // A plain row: its coordinates read where they begin, when they have the
  // form the archive writes; any other as any row.
  template <class Scan>
  bool plain_row(const AtomSiteColumns& c, const Row& r, const RowValues& v, long lineno) {
    if (!has_frame) return true;
    Real xyz[4];  // (the plain reading writes 4 floats)
    Place places[3];
    if (!plain_row_coordinates_held<Scan>(r, v, xyz, places)) return row(c, r, lineno);
    write_moved(xyz, places, v.model);
    return true;
  }
  template <class Scan = NarrowScan>
  bool row(const AtomSiteColumns& c, const Row& r, long lineno) {
    if (!has_frame) return true;
    Real xyz[3];
    Place places[3];
    if (!row_coordinates(c, r, xyz, places)) {
      fault = {PassFault::Kind::changed, lineno, 0, 0, {}};
      return false;
    }
    write_moved(xyz, places, c.model >= 0 ? r.value(c.model) : "1");
    return true;
  }
  // The coordinates xyz moved, written over the values at `places`.
  void write_moved(const Real* xyz, const Place (&places)[3], std::string_view model) {
    const auto moved = move(xyz, model);
    if (moved) write_over(held, scratch, places, as_doubles(*moved), std::is_same_v<Real, float>);
  }
  void finish() {
    out.put(held);
    held.clear();
  }
};

template <class Real, bool ByModel = false, class Move>
WriteResult write_with(RecordCursor& cur, bool has_frame, Sink& out, Move move) {
  AtomWriter<Real, ByModel, Move> writer{out, has_frame, move, {}, {}};
  WriteResult res;
  res.fault = walk_atom_site(cur, writer);
  if (!res.fault) writer.finish();
  return res;
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
  return write_with<Real, true>(
      cur, true, out,
      [&](const Real* v,
          std::string_view model) -> std::optional<decltype(moved_by(frames[0].frame, v))> {
        const auto it = by_model.find(row_model(model));
        if (it == by_model.end() || !it->second->has_frame) return {};
        return moved_by(it->second->frame, v);
      });
}

// The rows of one residue of the copy made whole: where their coordinate
// values stand in the held text, their coordinates as read, and whether the
// first pass analysed them.
template <class FrameT>
struct ResidueRows {
  const ModelFrame<FrameT>* model = nullptr;
  std::string key;  // model, label_asym_id, label_seq_id (and auth_seq_id)
  std::vector<Place> places;  // three a row
  std::vector<double> positions;                             // three a row
  std::vector<char> analysed;
  bool empty() const { return analysed.empty(); }
  void moved_in_text(std::ptrdiff_t by) {
    for (auto& [begin, end] : places) {
      begin = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(begin) + by);
      end = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(end) + by);
    }
  }
};

// The second pass made whole: rows are held a residue at a time; when a
// residue ends (at the end of a line with no row begun), its atoms are
// placed together across the box (place_residue) and their values written
// moved, and the text before the next residue's first value goes out.
template <class Real, class FrameT>
struct WholeAtomWriter {
  Sink& out;
  const std::vector<ModelFrame<FrameT>>& frames;
  bool by_model;
  const std::vector<long>& analysed_rows;
  std::map<std::int64_t, const ModelFrame<FrameT>*> by_number;
  std::size_t next_analysed = 0;
  long rows_seen = 0;
  std::string held;
  ResidueRows<FrameT> pending;
  std::vector<ResidueRows<FrameT>> ended;  // (a line may end several)
  std::vector<double> shifts;
  std::string scratch;
  PassFault fault;

  WholeAtomWriter(Sink& sink, const std::vector<ModelFrame<FrameT>>& model_frames, bool models,
                  const std::vector<long>& analysed)
      : out(sink), frames(model_frames), by_model(models), analysed_rows(analysed) {
    for (const auto& f : frames) by_number.emplace(f.model, &f);
  }

  std::size_t line(std::string_view text, std::string_view line_end) {
    const std::size_t at = held.size();
    held.append(text);
    held.append(line_end);
    return at;
  }
  void cell(int, std::string_view) {}
  void line_end(bool row_pending) {
    if (row_pending) return;  // (the row's places in the text must stay)
    write_ended();
    const std::size_t keep =
        pending.empty() ? held.size()
                        : std::min({pending.places[0].first, pending.places[1].first,
                                    pending.places[2].first});
    out.put(std::string_view(held).substr(0, keep));
    held.erase(0, keep);
    pending.moved_in_text(-static_cast<std::ptrdiff_t>(keep));
  }
  template <class Scan>
  bool plain_row(const AtomSiteColumns& c, const Row& r, const RowValues& v, long lineno) {
    Real xyz[4];  // (the plain reading writes 4 floats)
    Place places[3];
    if (!plain_row_coordinates_held<Scan>(r, v, xyz, places)) return row(c, r, lineno);
    take(c, r, xyz, places, v.model);
    return true;
  }
  template <class Scan = NarrowScan>
  bool row(const AtomSiteColumns& c, const Row& r, long lineno) {
    Real xyz[3];
    Place places[3];
    if (!row_coordinates(c, r, xyz, places)) {
      fault = {PassFault::Kind::changed, lineno, 0, 0, {}};
      return false;
    }
    take(c, r, xyz, places, c.model >= 0 ? r.value(c.model) : "1");
    return true;
  }
  void finish() {
    end_residue();
    write_ended();
    out.put(held);
    held.clear();
  }

 private:
  // A row into its residue (a row of a model without a frame stays as read).
  void take(const AtomSiteColumns& c, const Row& r, const Real* xyz, const Place (&places)[3],
            std::string_view model) {
    const long place = rows_seen++;
    while (next_analysed < analysed_rows.size() && analysed_rows[next_analysed] < place)
      ++next_analysed;
    const bool analysed =
        next_analysed < analysed_rows.size() && analysed_rows[next_analysed] == place;
    const ModelFrame<FrameT>* m = frames.empty() ? nullptr : &frames[0];
    if (by_model) {
      const auto it = by_number.find(row_model(model));
      m = it == by_number.end() ? nullptr : it->second;
    }
    if (m == nullptr || !m->has_frame || !m->joining) {
      end_residue();
      return;
    }
    std::string key(model);
    for (const int column : {c.label_asym, c.label_seq}) {
      key += '\0';
      if (column >= 0) key += r.value(column);
    }
    const std::string_view seq = c.label_seq >= 0 ? r.value(c.label_seq) : "?";
    if ((seq == "." || seq == "?") && c.auth_seq >= 0) {
      key += '\0';
      key += r.value(c.auth_seq);
    }
    if (pending.model != m || pending.key != key) {
      end_residue();
      pending.model = m;
      pending.key = std::move(key);
    }
    pending.places.insert(pending.places.end(), std::begin(places), std::end(places));
    for (int k = 0; k < 3; ++k) pending.positions.push_back(static_cast<double>(xyz[k]));
    pending.analysed.push_back(analysed);
  }
  void end_residue() {
    if (!pending.empty()) ended.push_back(std::move(pending));
    pending = {};
  }
  // The ended residues' values written over, the last first, so that the
  // places of those before stay where they were; the pending residue's
  // places follow the text.
  void write_ended() {
    std::ptrdiff_t change = 0;
    for (auto residue = ended.rbegin(); residue != ended.rend(); ++residue) {
      const Joining& joining = *residue->model->joining;
      shifts.assign(residue->positions.size(), 0.0);
      place_residue(joining, residue->positions, residue->analysed, shifts);
      for (std::size_t k = residue->analysed.size(); k-- > 0;) {
        Real xyz[3] = {static_cast<Real>(residue->positions[3 * k]),
                       static_cast<Real>(residue->positions[3 * k + 1]),
                       static_cast<Real>(residue->positions[3 * k + 2])};
        shifted(joining.box, &shifts[3 * k], xyz);
        change += write_over(held, scratch, &residue->places[3 * k],
                             as_doubles(moved_by(residue->model->frame, xyz)),
                             std::is_same_v<Real, float>);
      }
    }
    ended.clear();
    pending.moved_in_text(change);
  }
};

template <class Real, class FrameT>
WriteResult write_whole_with(RecordCursor& cur, const std::vector<ModelFrame<FrameT>>& frames,
                             bool by_model, const std::vector<long>& analysed_rows, Sink& out) {
  WholeAtomWriter<Real, FrameT> writer(out, frames, by_model, analysed_rows);
  WriteResult res;
  res.fault = walk_atom_site(cur, writer);
  if (!res.fault) writer.finish();
  return res;
}

}  // namespace

WriteResult write_mmcif_whole(RecordCursor& cur, const std::vector<ModelFrame<Frame>>& frames,
                              bool by_model, const std::vector<long>& analysed_rows, Sink& out) {
  return write_whole_with<float>(cur, frames, by_model, analysed_rows, out);
}
WriteResult write_mmcif_whole(RecordCursor& cur, const std::vector<ModelFrame<FrameD>>& frames,
                              bool by_model, const std::vector<long>& analysed_rows, Sink& out) {
  return write_whole_with<double>(cur, frames, by_model, analysed_rows, out);
}

WriteResult write_mmcif(RecordCursor& cur, bool has_frame, const Frame& frame, Sink& out) {
  return write_with<float>(cur, has_frame, out, [&](const float* v, std::string_view) {
    return std::optional<Lanes>(moved_by(frame, v));
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
