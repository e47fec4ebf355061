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
#include "formats/mmcif/values.hpp"
#include "text/numtext.hpp"

namespace gyro {
namespace {

using namespace cif;

// A moved coordinate with 3 decimals, as the copy writes it: from the
// coordinate-field tables where a single-precision value fits them, else the
// general conversion.
// Returns the text's length in `text` (room for 400 characters).
std::size_t three_decimals(char* text, double v, bool single) {
  char field[16];  // (8 bytes copied from where the value begins)
  if (single && std::fabs(v) < 9999.0 && coordinate_field(field, static_cast<float>(v))) {
    // (The leading blanks: the zero bytes of the field's word with blanks
    // taken out, counted from its first byte.)
    std::uint64_t word;
    std::memcpy(&word, field, 8);
    word ^= 0x2020202020202020ull;  // (never 0: the field has a digit)
    const auto first = static_cast<std::size_t>((std::endian::native == std::endian::little
                                                     ? std::countr_zero(word)
                                                     : std::countl_zero(word)) /
                                                8);
    std::memcpy(text, field + first, 8);
    return 8 - first;  // (exact: v is a float)
  }
  return static_cast<std::size_t>(
      std::to_chars(text, text + 400, v, std::chars_format::fixed, 3).ptr - text);
}

using Place = std::pair<std::size_t, std::size_t>;  // a value's begin and end in the held text

// A plain row's coordinates and where their values stand in its line (from
// its start); false when they are not in the form the archive writes (then
// read the row as any other).
template <class Scan, class Real>
bool plain_row_coordinates(const Row& r, const RowValues& v, Real* xyz, Place (&places)[3]) {
  std::size_t lengths[3];
  if (!Scan::plain_coordinates(v.xyz_at, xyz, lengths)) return false;
  for (int k = 0; k < 3; ++k) {
    const auto begin = static_cast<std::size_t>(v.xyz_at[k] - r.line);
    places[k] = {begin, begin + lengths[k]};
  }
  return true;
}
// The same, the places in the held text.
template <class Scan, class Real>
bool plain_row_coordinates_held(const Row& r, const RowValues& v, Real* xyz, Place (&places)[3]) {
  if (!plain_row_coordinates<Scan>(r, v, xyz, places)) return false;
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

// The texts of three moved coordinates, the order in which their places
// stand in the text (nearly always x, y, z), and how much longer the text
// becomes with them.
struct MovedTexts {
  char text[3][400];
  std::size_t length[3];
  int order[3] = {0, 1, 2};
  std::ptrdiff_t change = 0;
};
void moved_texts(const Place* places, const std::array<double, 3>& moved, bool single,
                 MovedTexts& t) {
  auto before = [&](int a, int b) { return places[a].first < places[b].first; };
  int* order = t.order;
  if (before(order[1], order[0])) std::swap(order[0], order[1]);
  if (before(order[2], order[1])) std::swap(order[1], order[2]);
  if (before(order[1], order[0])) std::swap(order[0], order[1]);
  for (int k = 0; k < 3; ++k) {
    t.length[k] = three_decimals(t.text[k], moved[static_cast<std::size_t>(k)], single);
    t.change += static_cast<std::ptrdiff_t>(t.length[k]) -
                static_cast<std::ptrdiff_t>(places[k].second - places[k].first);
  }
}

// Copies n bytes in pieces of 32: up to 31 bytes more are read and written.
inline void copy_in_pieces(char* to, const char* from, std::size_t n) {
  for (std::size_t k = 0; k < n; k += 32) std::memcpy(to + k, from + k, 32);
}

// Writes at `to` the bytes from..end of a text with the values at `places`
// replaced by the moved texts; byte i of the text is old[i - from]. Returns
// the end of what it wrote. `InPieces`: 31 bytes past each piece of the text
// may be read, and past the end of what is written, written.
template <bool InPieces = false>
char* splice(char* to, const char* old, std::size_t from, std::size_t end, const Place* places,
             const MovedTexts& t) {
  auto copy = [](char* a, const char* b, std::size_t n) {
    if constexpr (InPieces)
      copy_in_pieces(a, b, n);
    else
      std::memcpy(a, b, n);
  };
  std::size_t at = from;
  for (const int k : t.order) {
    copy(to, old + (at - from), places[k].first - at);
    to += places[k].first - at;
    copy(to, t.text[k], t.length[k]);
    to += t.length[k];
    at = places[k].second;
  }
  copy(to, old + (at - from), end - at);
  return to + (end - at);
}

// The texts of three moved coordinates with 3 decimals, as three_decimals
// writes them, each in a word (its first byte the text's first, 8 bytes
// read from it) with its length; false when one does not fit 8 bytes (then
// three_decimals writes it).
struct MovedWords {
  std::uint64_t text[3];
  std::size_t length[3];
};
inline void trimmed_fields(const char* fields, MovedWords& t) {
  for (int k = 0; k < 3; ++k) {
    std::uint64_t word;
    std::memcpy(&word, fields + 8 * k, 8);
    // (The leading blanks: the zero bytes of the word with blanks taken out;
    // never all 8, the field has a digit.)
    const auto blanks = static_cast<unsigned>(std::countr_zero(word ^ 0x2020202020202020ull) / 8);
    t.text[k] = word >> (8 * blanks);
    t.length[k] = 8 - blanks;
  }
}
bool moved_words_narrow(const std::array<double, 3>& moved, bool single, MovedWords& t) {
  char fields[24];
  for (std::size_t k = 0; k < 3; ++k) {
    const bool fits = single ? coordinate_field(fields + 8 * k, static_cast<float>(moved[k]))
                             : coordinate_field(fields + 8 * k, moved[k]);
    if (!fits || std::fabs(moved[k]) >= 9999.0) return false;
  }
  trimmed_fields(fields, t);
  return true;
}
#if defined(__x86_64__)
[[gnu::target("avx2")]] bool moved_words_wide(const std::array<double, 3>& moved, bool single,
                                              MovedWords& t) {
  char fields[32];
  const int unfit =
      single ? coordinate_fields_wide(
                   fields, _mm_setr_ps(static_cast<float>(moved[0]), static_cast<float>(moved[1]),
                                       static_cast<float>(moved[2]), 0.0f))
             : coordinate_fields_double_wide(fields, moved[0], moved[1], moved[2]);
  if (unfit != 0 || fields[0] == '*' || fields[8] == '*' || fields[16] == '*') return false;
  trimmed_fields(fields, t);
  return true;
}
#endif
template <class Scan>
bool moved_words(const std::array<double, 3>& moved, bool single, MovedWords& t) {
#if defined(__x86_64__)
  if constexpr (std::is_same_v<Scan, WideScan>) return moved_words_wide(moved, single, t);
#endif
  return moved_words_narrow(moved, single, t);
}

// Writes at `to` a line of `length` bytes (its line end included; 264 bytes
// may be read from it) with the values at `places` (in order, at most 16
// bytes between them) replaced by the moved texts; 31 bytes past the end may
// be written. Returns the end of what it wrote.
char* splice_in_order(char* to, const char* line, std::size_t length, const Place (&places)[3],
                      const MovedWords& t) {
  copy_in_pieces(to, line, places[0].first);
  to += places[0].first;
  for (int k = 0; k < 2; ++k) {
    std::memcpy(to, &t.text[k], 8);
    to += t.length[k];
    std::memcpy(to, line + places[k].second, 16);
    to += places[k + 1].first - places[k].second;
  }
  std::memcpy(to, &t.text[2], 8);
  to += t.length[2];
  copy_in_pieces(to, line + places[2].second, length - places[2].second);
  return to + (length - places[2].second);
}

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
// row's model number -> the moved values as doubles, or none: the row stays
// as it is).
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
  // A plain row's line, with nothing held before it: written straight to the
  // output with its coordinates moved, where they have the form the archive
  // writes; else held and taken as any line and row.
  template <class Scan>
  bool plain_line(std::string_view text, std::string_view end, const AtomSiteColumns& c, Row& r,
                  const RowValues& v, long lineno) {
    Real xyz[4];  // (the plain reading writes 4 floats)
    Place places[3];
    if (!has_frame || !held.empty() || !plain_row_coordinates<Scan>(r, v, xyz, places))
      return held_line<Scan>(text, end, c, r, v, lineno);
    const std::optional<std::array<double, 3>> moved = move(xyz, v.model);
    const std::size_t length = text.size() + end.size();  // (the line end follows the text)
    if (!moved) {
      out.put({text.data(), length});
      return true;
    }
    constexpr bool single = std::is_same_v<Real, float>;
    MovedWords words;
    // (A plain row's line has 264 bytes to be read from its start.)
    if (places[0].second < places[1].first && places[1].first - places[0].second <= 16 &&
        places[1].second < places[2].first && places[2].first - places[1].second <= 16 &&
        length <= 232 && moved_words<Scan>(*moved, single, words)) {
      const std::size_t size = length + words.length[0] + words.length[1] + words.length[2] -
                               (places[0].second - places[0].first) -
                               (places[1].second - places[1].first) -
                               (places[2].second - places[2].first);
      char* const begin = out.claim(size + 32);
      splice_in_order(begin, text.data(), length, places, words);
      out.commit(size);
      return true;
    }
    moved_line(text, end, places, *moved);
    return true;
  }
  // A plain row's line held and taken as any line and row.
  template <class Scan>
  [[gnu::noinline]] bool held_line(std::string_view text, std::string_view end,
                                   const AtomSiteColumns& c, Row& r, const RowValues& v,
                                   long lineno) {
    r.base = line(text, end);
    const bool go_on = plain_row<Scan>(c, r, v, lineno);
    line_end(false);
    return go_on;
  }
  // A plain row's line written with its coordinates moved, in any order and
  // any form.
  [[gnu::noinline]] void moved_line(std::string_view text, std::string_view end,
                                    const Place (&places)[3], const std::array<double, 3>& moved) {
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
    const std::optional<std::array<double, 3>> moved = move(xyz, model);
    if (moved) write_over(held, scratch, places, *moved, std::is_same_v<Real, float>);
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

std::array<double, 3> moved_by(const Frame& frame, const float* v) {
  const Lanes m = frame.moved(Lanes{v[0], v[1], v[2], 0.0f});
  return {static_cast<double>(m[0]), static_cast<double>(m[1]), static_cast<double>(m[2])};
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
  return write_with<Real, true>(
      cur, true, out,
      [&](const Real* v, std::string_view model) -> std::optional<std::array<double, 3>> {
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
                             moved_by(residue->model->frame, xyz), std::is_same_v<Real, float>);
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
