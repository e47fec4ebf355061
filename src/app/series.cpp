// --each-model, and the records of molecule and simulation text: the models
// of a file (MODEL to ENDMDL in PDB text, the model numbers of mmCIF rows) or
// its records analysed one by one, in file order, each with its own report or
// JSON line and, with -t/-r, moved by its own frame. Records are analysed as
// they are read; models after the reading.
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "app/json.hpp"
#include "app/notes.hpp"
#include "app/report.hpp"
#include "app/run.hpp"
#include "text/numtext.hpp"

namespace gyro {
namespace {

// "MODEL" and the number right-aligned in columns 7-14, as PDB writes it.
std::string model_line(std::int64_t model) {
  char line[32] = "MODEL         ";  // (the number right-aligned in columns 7-14)
  char digits[24];
  const char* const end = std::to_chars(digits, digits + sizeof digits, model).ptr;
  const auto length = static_cast<std::size_t>(end - digits);
  const std::size_t at = length < 8 ? 14 - length : 6;
  std::memcpy(line + at, digits, length);
  line[at + length] = '\n';
  return std::string(line, at + length + 1);
}

std::string_view without_line_feed(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  return text;
}

// One model's analysis; with --canonical the first model's signs come from
// the third moments, each later one's follow the model before when both have
// as many atoms (`previous`: its oriented coordinates).
template <class Real, class Atoms>
int analyse_model(const RunContext& ctx, Analysis<Real>& a, Atoms atoms,
                  std::vector<double>& previous, Sink& err) {
  a = {};
  a.centre = centre_of_mass(atoms, a.total_mass);
  const int status = principal_frame(atoms, a.centre, a.moments, a.axes);
  if (status != 0) return status;
  if (ctx.canonical && !atoms.empty()) {
    err.put(unfixed_axes_note(ctx.input_path, canonical_signs(atoms, a.centre, a.axes)));
    std::vector<double> oriented;
    const bool same_atoms = previous.size() == 3 * atoms.size();
    follow_series(atoms, a.centre, a.axes, same_atoms ? previous : std::vector<double>{}, oriented);
    previous.swap(oriented);
  }
  err.put(far_from_origin_note(ctx, a, atoms) + equal_moments_note(ctx, a));
  return 0;
}

template <class Real>
class Series final : public RecordSink {
 public:
  using FrameT = std::conditional_t<std::is_same_v<Real, float>, Frame, FrameD>;
  Series(RunContext& ctx, Analysis<Real>& a, Sink& out, Sink& err, bool model_lines)
      : ctx_(ctx), a_(a), out_(out), err_(err), model_lines_(model_lines) {}

  // One model or record: its atoms are the segment's of the table.
  void record_done(const Segment& s, std::string_view name, bool flat,
                   const std::optional<Box>& box) override {
    if (s.model == 0) return;  // atoms outside every model count in nothing
    std::optional<Joining> joining;
    if (ctx_.rules.whole) {
      const std::string fault = join_atoms(ctx_, s, box, joining, err_, s.model);
      if (!fault.empty()) {
        if (ctx_.json) json(json_failure(ctx_.input_path, without_line_feed(fault), s.model));
        failed_ = true;
        return;
      }
    }
    ctx_.shown = {s.count, s.skipped, s.model, nullptr};
    if (ctx_.format != Format::pdb && ctx_.format != Format::mmcif) {
      name_.assign(name);
      ctx_.shown.name = &name_;
    }
    if (flat) err_.put(about(ctx_.input_path) + "record " + std::to_string(s.model) +
                       ": flat (2D) coordinates\n");
    if (model_lines_ && !ctx_.json) out_.put(model_line(s.model));
    const int status =
        analyse_model(ctx_, a_, atoms_for(ctx_.atoms, a_, {s.first, s.count}), previous_, err_);
    if (status != 0) {
      const std::string note = solver_failure_note(ctx_.input_path, status, ctx_.double_precision);
      err_.put(note);
      if (ctx_.json)
        json(json_failure(ctx_.input_path, without_line_feed(note), s.model));
      else
        out_.put(FreeLine().text("error ").num(status).str());
      failed_ = true;
      frames_.push_back({s.model, false, {}, std::nullopt});
      return;
    }
    if (ctx_.json) {
      json(json_report(ctx_));
    } else {
      const std::string report = report_text(ctx_);
      out_.put(report);
      if (ctx_.shape) out_.put(shape_text(ctx_));
      err_.put(unfit_report_note(ctx_, report));
    }
    frames_.push_back({s.model, s.count > 0, frame_of(a_, ctx_.mode == Mode::rotated), joining});
  }
  // A record that could not be read: its message in its place.
  void damaged(const RecordDamage& d) override {
    const std::string message =
        pass_fault_text(ctx_.input_path, {PassFault::Kind::damaged, d.lineno, 0, 0, d.reason});
    err_.put(message);
    if (ctx_.json) json(json_failure(ctx_.input_path, without_line_feed(message), d.record));
    failed_ = true;
    damaged_ = true;
  }
  // After the last model: standard output flushed, and with an output file
  // the copy, each model moved by its own frame (none after damage).
  Outcome finish(RecordCursor& records, const Checksum& first, bool by_model_records,
                 Sink* output) {
    if (!out_.flush()) {
      err_.put(file_error_text(out_.name(), out_.error()));
      return failed();
    }
    const int status = failed_ ? exit_failure : exit_ok;
    if (!output || damaged_) {
      ctx_.failures_said = true;
      return {status, false};
    }
    const Outcome copied = write_phase(ctx_, records, first, err_, *output, [&] {
      if (ctx_.rules.whole && (ctx_.format == Format::pdb || ctx_.format == Format::mmcif))
        return write_whole_copy(ctx_.format, records, frames_, true, by_model_records,
                                ctx_.analysed_lines, *output);
      return write_series(ctx_.format, records, frames_, by_model_records,
                          ctx_.rules.selection.expression.get(), *output);
    });
    return {copied.status == exit_ok ? status : copied.status, copied.output_complete};
  }

 private:
  // A JSON line: straight to standard output where the run streams them.
  void json(const std::string& line) {
    if (ctx_.json_out) {
      ctx_.json_out->put(line);
      ctx_.json_streamed = true;
    } else {
      ctx_.json_lines += line;
    }
  }

  RunContext& ctx_;
  Analysis<Real>& a_;
  Sink& out_;
  Sink& err_;
  const bool model_lines_;
  std::vector<ModelFrame<FrameT>> frames_;
  std::vector<double> previous_;  // --canonical: the last model's oriented atoms
  std::string name_;
  bool failed_ = false, damaged_ = false;
};

}  // namespace

Outcome run_each_model(RunContext& ctx, RecordCursor& records, const Checksum& first,
                       const ReadNotes& notes, Sink& out, Sink& err, Sink* output) {
  return std::visit(
      [&](auto& a) {
        Series series(ctx, a, out, err, ctx.format != Format::pdb || notes.models > 0);
        for (const Segment& s : ctx.atoms.segments) {
          // Each model's box: in PDB text the one read before its MODEL
          // record; mmCIF's one _cell serves every model.
          const auto box = notes.model_boxes.find(s.model);
          const bool one_box = notes.models == 0 || ctx.format == Format::mmcif;
          series.record_done(s, {}, false,
                             box != notes.model_boxes.end() ? std::optional<Box>(box->second)
                             : one_box                       ? notes.box
                                                             : std::nullopt);
        }
        return series.finish(records, first, notes.models > 0, output);
      },
      ctx.result);
}

Outcome run_records(RunContext& ctx, RecordCursor& records, const ReadingRules& rules,
                    ReadNotes& notes, Sink& out, Sink& err, Sink* output) {
  return std::visit(
      [&](auto& a) {
        Series series(ctx, a, out, err, true);
        if (const PassFault fault = read_structure(ctx.format, records, ctx.atoms, notes, err,
                                                   rules, output != nullptr, &series)) {
          err.put(pass_fault_text(ctx.input_path, fault));
          return failed();
        }
        const Checksum first = records.checksum();
        ctx.not_selected = notes.not_selected;
        if (rules.selection.expression && notes.records_accepted + ctx.atoms.skipped == 0) {
          err.put(about(ctx.input_path) + "the selection keeps no atom\n");
          return failed();
        }
        err.put(first_pass_notes(ctx.input_path, ctx.atoms, notes, rules.selection));
        return series.finish(records, first, false, output);
      },
      ctx.result);
}

}  // namespace gyro
