// --each-model: the models of a file (MODEL to ENDMDL in PDB text, the model
// numbers of mmCIF rows) analysed one by one, in file order, each with its
// own report or JSON line and, with -t/-r, moved by its own frame.
#include <cstdint>
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
  std::string number = std::to_string(model);
  if (number.size() < 8) number.insert(0, 8 - number.size(), ' ');
  return "MODEL " + number + "\n";
}

// The title of record `model` of a molecule format; null for other formats.
const std::string* record_name(const ReadNotes& notes, std::int64_t model) {
  if (!notes.molecules || model < 1 || model > static_cast<std::int64_t>(notes.record_names.size()))
    return nullptr;
  return &notes.record_names[static_cast<std::size_t>(model - 1)];
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
Outcome each_model_in(RunContext& ctx, Analysis<Real>& a, RecordCursor& records,
                      const Checksum& first, const ReadNotes& notes, Sink& out, Sink& err,
                      Sink* output) {
  using FrameT = std::conditional_t<std::is_same_v<Real, float>, Frame, FrameD>;
  std::vector<ModelFrame<FrameT>> frames;
  std::vector<double> previous;
  bool solver_failed = false;
  const bool model_lines = ctx.format != Format::pdb || notes.models > 0;
  // Records that could not be read (molecule formats) say so in their place.
  std::size_t damage = 0;
  auto say_damage_up_to = [&](std::int64_t record) {
    for (; damage < notes.damaged.size() && notes.damaged[damage].record <= record; ++damage) {
      const ReadNotes::Damage& d = notes.damaged[damage];
      const std::string message =
          pass_fault_text(ctx.input_path, {PassFault::Kind::damaged, d.lineno, 0, 0, d.reason});
      err.put(message);
      if (ctx.json) ctx.json_lines += json_failure(ctx.input_path, without_line_feed(message), d.record);
      solver_failed = true;
    }
  };
  for (const Segment& s : ctx.atoms.segments) {
    if (s.model == 0) continue;  // atoms outside every model count in nothing
    const bool damaged = damage < notes.damaged.size() && notes.damaged[damage].record == s.model;
    say_damage_up_to(s.model);
    if (damaged) continue;
    ctx.shown = {s.count, s.skipped, s.model, record_name(notes, s.model)};
    if (model_lines && !ctx.json) out.put(model_line(s.model));
    const int status =
        analyse_model(ctx, a, atoms_for(ctx.atoms, a, {s.first, s.count}), previous, err);
    if (status != 0) {
      const std::string note = solver_failure_note(ctx.input_path, status, ctx.double_precision);
      err.put(note);
      if (ctx.json)
        ctx.json_lines += json_failure(ctx.input_path, without_line_feed(note), s.model);
      else
        out.put(FreeLine().text("error ").num(status).str());
      solver_failed = true;
      frames.push_back({s.model, false, {}});
      continue;
    }
    if (ctx.json) {
      ctx.json_lines += json_report(ctx);
    } else {
      const std::string report = report_text(ctx);
      out.put(report);
      if (ctx.shape) out.put(shape_text(ctx));
      err.put(unfit_report_note(ctx, report));
    }
    frames.push_back({s.model, s.count > 0, frame_of(a, ctx.mode == Mode::rotated)});
  }
  say_damage_up_to(INT64_MAX);
  if (!out.flush()) {
    err.put(file_error_text(out.name(), out.error()));
    return failed();
  }
  const int status = solver_failed ? exit_failure : exit_ok;
  if (!output || !notes.damaged.empty()) {  // (no copy of a damaged file)
    ctx.failures_said = true;
    return {status, false};
  }
  const Outcome copied = write_phase(ctx, records, first, err, *output, [&] {
    return write_series(ctx.format, records, frames, notes.models > 0, *output);
  });
  return {copied.status == exit_ok ? status : copied.status, copied.output_complete};
}

}  // namespace

Outcome run_each_model(RunContext& ctx, RecordCursor& records, const Checksum& first,
                       const ReadNotes& notes, Sink& out, Sink& err, Sink* output) {
  return std::visit(
      [&](auto& a) { return each_model_in(ctx, a, records, first, notes, out, err, output); },
      ctx.result);
}

}  // namespace gyro
