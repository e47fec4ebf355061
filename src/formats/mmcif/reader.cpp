// The first pass over mmCIF text: the atoms of the _atom_site loop into the
// table.
#include <limits>
#include <string>
#include <vector>

#include "formats/mmcif/grammar.hpp"
#include "formats/mmcif/mmcif.hpp"
#include "formats/mmcif/values.hpp"
#include "text/numtext.hpp"
#include "text/words.hpp"

namespace gyro {
namespace {

using namespace cif;

// The first pass's state: selection, masses, the table, and the rare ends
// of a row.
struct AtomReading {
  AtomTable& t;
  ReadNotes& notes;
  Sink& err;
  const Selection& sel;
  bool every_record;
  bool number_analysed = false;  // the analysed rows' places to notes.analysed_lines
  long rows_seen = 0;            // (counted where rows may be left out)
  std::vector<std::int64_t> models;  // of the rows in turn, each run of one model once
  // models.back(); before the first row a number no row has (a model number
  // is read from at most 18 digits).
  std::int64_t last_model = std::numeric_limits<std::int64_t>::min();
  bool model_found = false;
  PassFault fault;  // why the walk stopped
  double cell_values[6] = {0, 0, 0, 0, 0, 0};  // _cell lengths and angles, as far as read
  unsigned cell_read = 0;                // which of them (bits)

  // A _cell item's value (k: length_a, _b, _c, angle_alpha, _beta, _gamma);
  // an uncertainty in parentheses is left out.
  void cell_value(int k, std::string_view text) {
    text = text.substr(0, text.find('('));
    if (parse_number(text, cell_values[k])) cell_read |= 1u << k;
  }

  AtomReading(AtomTable& table, ReadNotes& read_notes, Sink& errors, const Selection& selection,
              bool all_records)
      : t(table), notes(read_notes), err(errors), sel(selection), every_record(all_records) {}
  // Whether rows may be left out (by model, location or expression), or the
  // analysed rows' places are kept. (With every row kept, a copy that moves
  // every record reads as the report does.)
  bool selecting() const { return sel.model || sel.altloc || sel.expression || number_analysed; }

  // Whether --select keeps the row (no expression: every one).
  [[gnu::noinline]] bool expression_selects(const AtomSiteColumns& c, const Row& r,
                                            const RowValues& v) const {
    auto value = [&](int first, int second = -1) -> std::string_view {
      const int k = first >= 0 ? first : second;
      if (k < 0) return {};
      const std::string_view text = r.value(k);
      return text == "?" || text == "." ? std::string_view() : text;
    };
    AtomFields f;
    f.hetero = value(c.group) == "HETATM";
    f.name = value(c.auth_name, c.label_name);
    f.altloc = value(c.alt);
    f.resname = value(c.auth_comp, c.label_comp);
    f.chain = value(c.auth_asym, c.label_asym);
    f.segid = value(c.label_asym);
    f.element = v.symbol;
    const std::string_view seq = value(c.auth_seq, c.label_seq);
    f.has_resid = whole_number(seq, f.resid);
    const std::string_view ins = value(c.ins_code);
    f.insertion = ins.size() == 1 ? ins[0] : ' ';
    return sel.expression->selects(f);
  }

  // The rare ends of a row, out of the way of the common one: false, with
  // the fault.
  [[gnu::cold, gnu::noinline]] bool not_a_number(const Row& row, int column, const char* name,
                                                 long lineno) {
    double wide;
    const bool too_large = !t.in_double && coordinate(row.value(column), wide);
    fault = damage(lineno, std::string(name) +
                               (too_large ? " is too large for single precision (--double reads it)"
                                          : " is not a number") +
                               ": \"" + printable(row.value(column)) + "\"");
    return false;
  }
  // Rows of another model than the row before: a segment begins.
  [[gnu::noinline]] void new_model(std::int64_t model) {
    models.push_back(model);
    last_model = model;
    t.begin_segment(model);
  }
  // "?" (unknown) or "." (not applicable) as model number: model 1.
  [[gnu::cold, gnu::noinline]] static bool unknown_model(std::string_view text, std::int64_t& model) {
    if (text != "?" && text != ".") return false;
    model = 1;
    return true;
  }
  [[gnu::cold, gnu::noinline]] bool not_a_model(std::string_view text, long lineno) {
    fault = damage(lineno, "pdbx_PDB_model_num is not a whole number: \"" + printable(text) + "\"");
    return false;
  }
  [[gnu::cold, gnu::noinline]] bool full(long lineno) {
    fault = {PassFault::Kind::full, lineno, 0, 0, std::to_string(t.stated_limit)};
    return false;
  }
  [[gnu::cold, gnu::noinline]] bool unknown_element(const AtomSiteColumns& c, const Row& r,
                                                    std::string_view symbol) {
    const int name_column = c.auth_name >= 0 ? c.auth_name : c.label_name;
    const std::string_view name = name_column >= 0 ? r.value(name_column) : symbol;
    note_unknown_atom(name, name, err, notes.skipped_names);
    ++t.skipped;
    return true;
  }
  // The coordinates in any other form than the archive's, or of a row that
  // is not plain.
  template <class Real>
  [[gnu::noinline]] bool other_coordinates(const AtomSiteColumns& c, const Row& r, Real* xyz,
                                           long lineno) {
    const int axis[3] = {c.x, c.y, c.z};
    const char* names[3] = {"Cartn_x", "Cartn_y", "Cartn_z"};
    for (int k = 0; k < 3; ++k) {
      if (!coordinate(r.value(axis[k]), xyz[k])) return not_a_number(r, axis[k], names[k], lineno);
    }
    return true;
  }
};

// The first pass's visitor, written out for each precision and for runs that
// select atoms and those that do not.
template <class Real, bool Selecting>
struct AtomReader : AtomReading {
  using AtomReading::AtomReading;
  std::size_t line(std::string_view, std::string_view) { return 0; }
  void line_end(bool) {}
  void cell(int k, std::string_view text) { cell_value(k, text); }

  // A row of any form.
  template <class Scan = NarrowScan>
  bool row(const AtomSiteColumns& c, const Row& r, long lineno) {
    const RowValues v{r.value(c.symbol), c.model >= 0 ? r.value(c.model) : "1",
                      c.alt >= 0 ? r.value(c.alt) : ".", {nullptr, nullptr, nullptr}};
    return take<Scan, false>(c, r, v, lineno);
  }
  // A plain row, its values taken from the line.
  template <class Scan>
  [[gnu::always_inline]] bool plain_row(const AtomSiteColumns& c, const Row& r,
                                        const RowValues& v, long lineno) {
    return take<Scan, true>(c, r, v, lineno);
  }
  // `Plain`: a plain row, its coordinates where v.xyz_at says.
  template <class Scan, bool Plain>
  [[gnu::always_inline]] bool take(const AtomSiteColumns& c, const Row& r, const RowValues& v,
                                   long lineno) {
    std::int64_t model = 1;
    if (!whole_number(v.model, model) && !unknown_model(v.model, model))
      return not_a_model(v.model, lineno);
    if (model != last_model) new_model(model);
    const std::string_view alt = v.alt.size() == 1 && v.alt[0] == '?' ? "." : v.alt;
    const bool no_alt = alt.size() == 1 && alt[0] == '.';
    bool selected = true;
    const long row_place = rows_seen;
    if constexpr (Selecting) {
      ++rows_seen;
      model_found = model_found || (sel.model && *sel.model == model);
      const bool in_model = !sel.model || *sel.model == model;
      const bool located =
          in_model && (!sel.altloc || no_alt || (alt.size() == 1 && alt[0] == *sel.altloc));
      selected = located && (!sel.expression || expression_selects(c, r, v));
      notes.unselected += !selected;
      if (!selected) {
        notes.other_locations += in_model && !located;
        notes.not_selected += located;
      }
      if (!selected && !every_record) return true;
    }
    Real xyz[4];  // (the plain reading writes 4 floats)
    const bool usual = Plain && Scan::plain_coordinates(v.xyz_at, xyz);
    if (!usual && !other_coordinates(c, r, xyz, lineno)) return false;
    if (!selected) return true;
    notes.alternate_locations += !no_alt;
    const double mass = element_symbol_mass(v.symbol);
    if (mass == 0) return unknown_element(c, r, v.symbol);
    if (!t.room()) return full(lineno);
    t.add(xyz, static_cast<Real>(mass));
    if (Selecting && number_analysed) notes.analysed_lines.push_back(row_place);
    return true;
  }
};

// The first pass with the reader for a precision and selection; what it
// found stays in `reading`.
template <class Real, bool Selecting>
PassFault walk_as(RecordCursor& cur, AtomReading& reading) {
  AtomReader<Real, Selecting> reader(reading.t, reading.notes, reading.err, reading.sel,
                                     reading.every_record);
  reader.number_analysed = reading.number_analysed;
  PassFault fault = walk_atom_site(cur, reader);
  reading.models = std::move(reader.models);
  reading.model_found = reader.model_found;
  std::copy(std::begin(reader.cell_values), std::end(reader.cell_values), std::begin(reading.cell_values));
  reading.cell_read = reader.cell_read;
  return fault;
}

}  // namespace

PassFault read_mmcif_atoms(RecordCursor& cur, AtomTable& t, ReadNotes& notes, Sink& err,
                           const Selection& sel, bool every_record, bool number_analysed) {
  t.start();
  notes.restart();
  AtomReading reading(t, notes, err, sel, every_record);
  reading.number_analysed = number_analysed;
  if (PassFault fault = t.in_double ? (reading.selecting() ? walk_as<double, true>(cur, reading)
                                                           : walk_as<double, false>(cur, reading))
                                    : (reading.selecting() ? walk_as<float, true>(cur, reading)
                                                           : walk_as<float, false>(cur, reading)))
    return fault;
  const AtomReading& reader = reading;
  notes.mmcif = true;
  if (reader.cell_read == 0x3f) notes.box = box_from_cell(reader.cell_values, reader.cell_values + 3);
  notes.models = static_cast<std::int64_t>(distinct_models(reader.models).size());
  if (sel.model && !reader.model_found)
    return {PassFault::Kind::no_model, cur.lineno(), 0, 0,
            std::to_string(*sel.model) + " (the file has " +
                (reader.models.empty() ? std::string("no atoms") : models_text(reader.models)) +
                ")"};
  return {};
}

}  // namespace gyro
