// The first pass over molecule and simulation text: each record a segment of
// the atom table.
#include <algorithm>
#include <string>
#include <vector>

#include "formats/molecule/walks.hpp"

namespace gyro {
namespace {

// Takes the atoms a walk meets into the table, by the run's rules.
template <class Real>
class Collector {
 public:
  Collector(AtomTable& t, ReadNotes& notes, Sink& err, const ReadingRules& rules, RecordSink* sink)
      : t_(t), notes_(notes), err_(err), rules_(rules), sink_(sink) {}

  void record(std::int64_t number, std::string_view name) {
    finish_record();
    record_ = number;
    untaken_.clear();
    met_ = 0;
    flat_ = damaged_ = false;
    box_.reset();
    selected_ = !rules_.selection.model || *rules_.selection.model == number;
    if (selected_) t_.begin_segment(number);
    first_slot_ = t_.count;
    this->name(name);
  }
  void name(std::string_view text) { name_.assign(text); }
  static constexpr bool ignores_lines = true;
  void line(std::string_view, std::string_view) {}
  void atom(const MoleculeAtom<Real>& a) {
    if (selected_ && rules_.selection.expression &&
        !rules_.selection.expression->selects(a.fields)) {
      ++notes_.not_selected;
      untaken_.push_back(met_++);
      return;
    }
    met(take(a.xyz, a.element, a.isotope_mass, a.shown));
  }
  // An atom of which only the position and element matter (no --select):
  // `name` shown where it has no element. `mass`, where given, is the
  // element's (or its isotope's).
  void position(const Real* xyz, std::string_view element, std::string_view name, double mass = 0) {
    met(take(xyz, element, mass, element.empty() ? trimmed(name) : name));
  }
  void met(bool taken) {
    if (!taken) untaken_.push_back(met_);
    ++met_;
  }
  // The atom into the table, by the run's rules; whether it was taken.
  // `known_mass`: its isotope's or element's mass where the walk knows it.
  bool take(const Real* xyz, std::string_view element, double known_mass, std::string_view shown) {
    if (!selected_) {
      ++notes_.unselected;
      return false;
    }
    if (element.empty()) {
      ++t_.skipped;
      note_unknown_atom(shown, shown, err_, notes_.skipped_names);
      return false;
    }
    if (!t_.room()) {
      full_ = {PassFault::Kind::full, 0, 0, 0, std::to_string(t_.stated_limit)};
      return false;
    }
    const Real mass =
        rules_.masses == MassSource::unit
            ? Real(1)
            : static_cast<Real>(known_mass > 0 ? known_mass : element_symbol_mass(element));
    t_.add(xyz, mass);
    return true;
  }
  void isotope(std::int64_t index, double mass) {
    // The atom's slot: the record's first, plus the atoms before it that
    // were taken; none where it was not taken itself.
    const auto before = std::lower_bound(untaken_.begin(), untaken_.end(), index);
    if (index < 0 || index >= met_ || (before != untaken_.end() && *before == index) ||
        rules_.masses == MassSource::unit)
      return;
    const std::int64_t slot = first_slot_ + index - (before - untaken_.begin());
    if constexpr (std::is_same_v<Real, float>)
      t_.atoms[slot].mass = static_cast<float>(mass);
    else
      t_.atoms_double[slot].mass = mass;
  }
  void flat() { flat_ = true; }
  void box(const std::optional<Box>& b) { box_ = b; }
  void damaged(long lineno, std::string reason, bool file_stops) {
    if (!selected_ && !file_stops) return;
    if (selected_) {  // the record's atoms count in nothing
      const Segment& s = t_.segments.back();
      t_.count = s.first;
      t_.skipped = s.skipped_from;
      damaged_ = true;
    }
    notes_.damaged.push_back({record_, lineno, std::move(reason)});
    if (sink_) sink_->damaged(notes_.damaged.back());
  }
  bool stopped() const { return static_cast<bool>(full_); }
  bool wants_fields() const { return rules_.selection.expression != nullptr; }
  PassFault full(long lineno) const {
    PassFault f = full_;
    f.lineno = lineno;
    return f;
  }
  std::int64_t records() const { return record_; }
  // The record read so far is complete: handed to the sink, which analyses
  // it, and the table emptied for the next.
  void finish_record() {
    if (!selected_ || t_.segments.empty()) return;
    t_.end_last_segment();
    notes_.records_accepted += t_.segments.back().count;
    if (!sink_) return;
    if (!damaged_) sink_->record_done(t_.segments.back(), name_, flat_, box_);
    t_.segments.clear();
    t_.count = 0;
  }

 private:
  AtomTable& t_;
  ReadNotes& notes_;
  Sink& err_;
  const ReadingRules& rules_;
  RecordSink* sink_;
  std::int64_t record_ = 0;
  bool selected_ = false, flat_ = false, damaged_ = false;
  std::string name_;
  std::optional<Box> box_;
  // The record's atoms met so far, those of them not taken into the table
  // (their numbers from 0, in order), and the slot of its first atom.
  std::int64_t met_ = 0, first_slot_ = 0;
  std::vector<std::int64_t> untaken_;
  PassFault full_;
};

template <class Real>
PassFault read_in(Format format, RecordCursor& input, AtomTable& t, ReadNotes& notes, Sink& err,
                  const ReadingRules& rules, RecordSink* sink) {
  LineReader in(input);
  Collector<Real> c(t, notes, err, rules, sink);
  PassFault fault = walk_records<Real>(format, in, c);
  if (c.stopped()) return c.full(in.lineno());
  if (fault) return fault;
  c.finish_record();
  const auto& model = rules.selection.model;
  if (model && *model > c.records() && (notes.damaged.empty() || notes.damaged.back().record < *model))
    return {PassFault::Kind::no_model, in.lineno(), 0, 0,
            std::to_string(*model) + " (the file has " +
                (c.records() == 0 ? std::string("no records")
                                  : c.records() == 1 ? std::string("record 1")
                                                     : "records 1-" + std::to_string(c.records())) +
                ")"};
  return {};
}

}  // namespace

PassFault read_molecule_atoms(Format format, RecordCursor& input, AtomTable& t, ReadNotes& notes,
                              Sink& err, const ReadingRules& rules, RecordSink* sink) {
  notes.molecules = true;
  t.start();
  return t.in_double ? read_in<double>(format, input, t, notes, err, rules, sink)
                     : read_in<float>(format, input, t, notes, err, rules, sink);
}

}  // namespace gyro
