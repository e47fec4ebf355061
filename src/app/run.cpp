#include "app/run.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cmath>
#include <functional>
#include <csignal>
#include <memory>
#include <new>
#include <type_traits>

#include "app/cmdline.hpp"
#include "app/json.hpp"
#include "app/notes.hpp"
#include "app/report.hpp"
#include "formats/format.hpp"
#include "text/numtext.hpp"
#include "text/records.hpp"
#include "text/source.hpp"

namespace gyro {
namespace {

// An existing file that can be read: a directory is refused here (EISDIR).
// -1 with errno on failure.
int open_input(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd >= 0 && (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))) {
    ::close(fd);
    errno = EISDIR;
    return -1;
  }
  return fd;
}

// While a run writes its output file, the signals that end a process from the
// terminal or by request (interrupt, terminate, hang-up, quit) first remove
// that file, so that none is left half-written, and then end the process by
// the same signal, so that the caller sees how it ended. The handler does only
// what is safe in a signal handler; the name and identity are prepared before.
namespace on_signal {

constexpr int ending_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
const char* volatile output_name = nullptr;
dev_t output_dev;
ino_t output_ino;
struct sigaction previous[std::size(ending_signals)];
bool armed = false;

// The ending signals held back (true) or let through again (false).
void hold(bool held) {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : ending_signals) sigaddset(&set, sig);
  ::sigprocmask(held ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

extern "C" void remove_output_and_end(int sig) {
  struct stat st {};
  if (const char* name = output_name;
      name != nullptr && ::lstat(name, &st) == 0 && st.st_dev == output_dev && st.st_ino == output_ino)
    ::unlink(name);
  ::raise(sig);  // the default action again (SA_RESETHAND), not blocked (SA_NODEFER)
}

// A signal that the caller had ignored stays ignored.
void arm(const char* name, dev_t dev, ino_t ino) {
  output_dev = dev;
  output_ino = ino;
  output_name = name;
  struct sigaction act {};
  act.sa_handler = remove_output_and_end;
  act.sa_flags = SA_RESETHAND | SA_NODEFER;
  sigemptyset(&act.sa_mask);
  for (std::size_t k = 0; k < std::size(ending_signals); ++k) {
    ::sigaction(ending_signals[k], nullptr, &previous[k]);
    if (previous[k].sa_handler != SIG_IGN) ::sigaction(ending_signals[k], &act, nullptr);
  }
  armed = true;
}

void disarm() {
  if (!armed) return;
  armed = false;
  for (std::size_t k = 0; k < std::size(ending_signals); ++k)
    ::sigaction(ending_signals[k], &previous[k], nullptr);
  output_name = nullptr;
}

}  // namespace on_signal

// The output file: created new (an existing file or link of that name is never
// opened, followed or truncated), and removed again when the run fails after
// creating it, so that no half-written file is taken for a result.
class OutputFile {
 public:
  explicit OutputFile(std::string name) : name_(std::move(name)) {}
  // False with errno when the file exists or cannot be created.
  bool create() {
    // No signal may end the run between the file's creation and the handler.
    on_signal::hold(true);
    const int fd = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          0666);
    struct stat st {};
    const bool made = fd >= 0 && ::fstat(fd, &st) == 0;
    if (made) on_signal::arm(name_.c_str(), st.st_dev, st.st_ino);
    const int reason = errno;
    on_signal::hold(false);
    errno = reason;
    if (!made) return false;
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    sink_ = std::make_unique<Sink>(fd, name_);
    const std::string_view n = name_;
    if (n.size() > 3 && n.substr(n.size() - 3) == ".gz" && !sink_->compress()) {
      remove();
      errno = ENOMEM;
      return false;
    }
    return true;
  }
  Sink& sink() { return *sink_; }
  // Closes and unlinks the file, but only while the name still leads to the
  // file this run created.
  void remove() {
    sink_->close();
    struct stat st {};
    if (::lstat(name_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_)
      ::unlink(name_.c_str());
  }
  void close() { sink_->close(); }
  ~OutputFile() { on_signal::disarm(); }

 private:
  std::string name_;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  std::unique_ptr<Sink> sink_;
};


std::string unfit_text(const std::string& name, std::int64_t unfit, Format format) {
  const bool fixed = format == Format::pdb || format == Format::mmcif;
  return about(name) + std::to_string(unfit) +
         (unfit == 1 ? " coordinate value does" : " coordinate values do") +
         (fixed ? " not fit the 8-column fields\n"
                : unfit == 1 ? " not fit its field\n" : " not fit their fields\n");
}

}  // namespace

Outcome failed() { return {exit_failure, false}; }

Frame frame_of(const Analysis<float>& a, bool rotated) { return {a.centre, rotated, a.axes}; }
FrameD frame_of(const Analysis<double>& a, bool rotated) { return {a.centre, rotated, a.axes}; }

Outcome write_phase(RunContext& ctx, RecordCursor& records, const Checksum& first, Sink& err,
                    Sink& output, const std::function<WriteResult()>& copy) {
  if (!records.rewind()) {
    err.put(about(ctx.input_path) + records.failure() + "\n");
    return failed();
  }
  WriteResult res = copy();
  if (!res.fault && !(records.checksum() == first))
    res.fault = {PassFault::Kind::changed, records.lineno(), 0, 0, {}};
  if (res.fault) {
    err.put(pass_fault_text(ctx.input_path, res.fault));
    return failed();
  }
  if (!output.close()) {
    err.put(file_error_text(ctx.output_path, output.error()));
    return failed();
  }
  if (res.unfit > 0) {
    err.put(unfit_text(ctx.output_path, res.unfit, ctx.format));
    return {exit_failure, true};
  }
  return {exit_ok, true};
}

namespace {

// The usage text after a note that says why.
int usage_stop(Sink& err, const std::string& reason) {
  if (!reason.empty()) err.put("gyrolabium: " + reason + "\n");
  err.put(usage_text());
  return exit_usage;
}

int open_failure(const std::string& name, bool output, Sink& out, Sink& err) {
  const int reason = errno;
  out.put(open_failure_text(name));
  err.put(open_failure_note(name, output, reason));
  return exit_failure;
}

}  // namespace

namespace {


}  // namespace

// Whether single precision may have moved the centre noticeably: only when
// the atoms lie far from the origin (the centre's distance plus the radius of
// gyration past 1000 Å) are the sums done again in double precision; the note
// when they put the centre more than 0.01 Å away.
[[gnu::noinline]] std::string far_from_origin_note(const RunContext& ctx,
                                                   const Analysis<float>& a,
                                                   std::span<const Atom> atoms) {
  const double mass = a.total_mass;
  if (!(mass > 0)) return {};
  const double reach =
      double{std::max({std::fabs(a.centre.x), std::fabs(a.centre.y), std::fabs(a.centre.z)})} +
      std::sqrt((double{a.moments[0]} + double{a.moments[1]} + double{a.moments[2]}) / (2 * mass));
  if (!(reach > 1000)) return {};
  const CentreDrift d = single_precision_drift(atoms, a.centre);
  if (!(d.drift > 0.01)) return {};
  return far_from_origin_text(ctx.input_path, d.largest, d.drift);
}

// With --canonical: where two moments (or all three) are nearly equal, the
// axes within their plane are not fixed by any rule.
template <class Real>
[[gnu::noinline]] std::string equal_moments_note(const RunContext& ctx, const Analysis<Real>& a) {
  const Real(&m)[3] = a.moments;
  if (!ctx.canonical || !(m[0] > 0)) return {};
  const Real tolerance = std::is_same_v<Real, float> ? Real(1e-4) : Real(1e-9);
  return equal_moments_text(ctx.input_path, m[0] - m[1] < tolerance * m[0],
                            m[1] - m[2] < tolerance * m[0], std::is_same_v<Real, double>);
}
template std::string equal_moments_note(const RunContext&, const Analysis<float>&);
template std::string equal_moments_note(const RunContext&, const Analysis<double>&);

namespace {

// The record that holds a format's periodic box, for the message that it has none.
const char* box_record(Format format) {
  switch (format) {
    case Format::pdb: return "CRYST1";
    case Format::mmcif: return "_cell";
    case Format::gro: return "the box line";
    case Format::xyz: return "Lattice=";
    default: return "the format holds none";
  }
}

}  // namespace

std::string join_atoms(RunContext& ctx, const Segment& s, const std::optional<Box>& box,
                       std::optional<Joining>& joining, Sink& err,
                       std::optional<std::int64_t> model) {
  if (!box) {
    const std::string message = about(ctx.input_path) +
                                (model ? "model " + std::to_string(*model) + ": " : std::string()) +
                                "no periodic box (" + box_record(ctx.format) + ")\n";
    err.put(message);
    return message;
  }
  const auto first = static_cast<std::size_t>(s.first), count = static_cast<std::size_t>(s.count);
  joining = ctx.double_precision
                ? make_whole(std::span<AtomD>(ctx.atoms.atoms_double + first, count), *box)
                : make_whole(std::span<Atom>(ctx.atoms.atoms + first, count), *box);
  if (joining->filled != 0)
    err.put(about(ctx.input_path) +
            (model ? "model " + std::to_string(*model) + ": " : std::string()) +
            "the analysed atoms fill the box along " + directions_text(joining->filled) +
            ": --whole may not join them\n");
  return {};
}

namespace {

// Centre, principal frame and (with --canonical) the axes' signs in the run's
// precision; the solver's status.
int analyse(RunContext& ctx, Sink& err) {
  int unfixed = 0;
  std::string notes;
  const int status = std::visit(
      [&](auto& a) {
        const auto atoms = atoms_for(ctx.atoms, a, {0, ctx.atoms.count});
        a.centre = centre_of_mass(atoms, a.total_mass);
        const int solved = principal_frame(atoms, a.centre, a.moments, a.axes);
        if (solved == 0 && ctx.canonical && !atoms.empty())
          unfixed = canonical_signs(atoms, a.centre, a.axes);
        if (solved == 0) notes = far_from_origin_note(ctx, a, atoms) + equal_moments_note(ctx, a);
        return solved;
      },
      ctx.result);
  err.put(unfixed_axes_note(ctx.input_path, unfixed));
  err.put(notes);
  return status;
}

}  // namespace

Outcome run_phases(RunContext& ctx, RecordCursor& records, Sink& out, Sink& err, Sink* output) {
  AtomTable& t = ctx.atoms;
  ReadNotes notes;
  if (ctx.json) notes.skipped_names = &ctx.skipped_names;
  ctx.format = ctx.rules.format ? *ctx.rules.format : detect_format(records);
  // Each molecule or frame of those formats is a record of its own.
  ReadingRules rules = ctx.rules;
  if (holds_records(ctx.format)) rules.selection.each_model = true;
  if (holds_records(ctx.format)) return run_records(ctx, records, rules, notes, out, err, output);
  if (output && ctx.format == Format::pdb) records.learn_layout();
  if (const PassFault fault = read_structure(ctx.format, records, t, notes, err, rules,
                                             output != nullptr)) {
    err.put(pass_fault_text(ctx.input_path, fault));
    return failed();
  }
  const Checksum first = records.checksum();
  ctx.analysed_lines = std::move(notes.analysed_lines);
  if (records.first_line().length > reclen)
    notes.first_line_carriage_returns = records.first_line().carriage_returns;
  ctx.not_selected = notes.not_selected;
  if (ctx.rules.selection.expression && t.count + t.skipped == 0) {
    err.put(about(ctx.input_path) + "the selection keeps no atom record\n");
    return failed();
  }
  err.put(first_pass_notes(ctx.input_path, t, notes, rules.selection));
  if (rules.selection.each_model)
    return run_each_model(ctx, records, first, notes, out, err, output);
  ctx.shown = {t.count, t.skipped, {}};
  if (rules.whole) {
    const std::optional<Box> box = notes.box;
    if (!join_atoms(ctx, {0, t.count, 1, t.skipped, 0}, box, ctx.joining, err).empty())
      return failed();
  }
  if (int status = analyse(ctx, err)) {
    out.put(FreeLine().text("error ").num(status).str());
    err.put(solver_failure_note(ctx.input_path, status, ctx.double_precision));
    return failed();
  }
  const std::string report = report_text(ctx);
  out.put(report);
  if (ctx.shape && !ctx.json) out.put(shape_text(ctx));
  if (!ctx.json) err.put(unfit_report_note(ctx, report));  // (JSON has the numbers in full)
  if (!out.flush()) {
    err.put(file_error_text(out.name(), out.error()));
    return failed();
  }
  if (!output) return {exit_ok, false};
  // The table holds the atoms as read: they are moved as they are written.
  return write_phase(ctx, records, first, err, *output, [&] {
    return std::visit(
        [&](const auto& a) {
          const auto frame = frame_of(a, ctx.mode == Mode::rotated);
          if (ctx.joining) {
            const std::vector<ModelFrame<std::decay_t<decltype(frame)>>> whole{
                {1, t.count > 0, frame, ctx.joining}};
            return write_whole_copy(ctx.format, records, whole, false, false, ctx.analysed_lines,
                                    *output);
          }
          return write_copy(ctx.format, records, ctx.atoms, frame, *output, ctx.rules);
        },
        ctx.result);
  });
}

namespace {

// The run on the open input (closed here).
Outcome run_on(RunContext& ctx, int in, Sink& out, Sink& err, Sink* output) {
  TextSource source(in, output != nullptr);
  if (!source.start()) {
    err.put(about(ctx.input_path) + source.failure() + "\n");
    return failed();
  }
  RecordCursor records(source);
  return run_phases(ctx, records, out, err, output);
}

// What the run says at its end, before an output file is kept: it may still
// fail (standard output cannot be written), and the file is removed then.
using Finish = std::function<Outcome(const Outcome&)>;

// The run of an understood command line: opening the files, the phases, and
// the output file kept or removed. `finish`, when given, ends every run that
// got as far as the phases.
Outcome run_files(const CmdLine& cl, RunContext& ctx, Sink& out, Sink& err,
                  const Finish& finish = {}) {
  if (cl.input_refused) return {usage_stop(err, refused_name_reason(cl.input_path)), false};
  if (!cl.ignored.empty()) err.put(ignored_note(cl));
  const int in = open_input(cl.input_path);
  if (in < 0) return {open_failure(cl.input_path, false, out, err), false};
  std::unique_ptr<OutputFile> output;
  if (cl.mode != Mode::report_only) {
    if (cl.output_refused) {
      ::close(in);
      return {usage_stop(err, refused_name_reason(cl.output_path)), false};
    }
    output = std::make_unique<OutputFile>(cl.output_path);
    if (!output->create()) {
      ::close(in);
      return {open_failure(cl.output_path, true, out, err), false};
    }
    // A reader of standard output that goes away is a write failure like any
    // other (the output file is removed), not a signal that ends the run.
    std::signal(SIGPIPE, SIG_IGN);
  }
  Outcome outcome;
  bool out_of_memory = false;
  try {
    outcome = run_on(ctx, in, out, err, output ? &output->sink() : nullptr);
  } catch (const std::bad_alloc&) {
    out_of_memory = true;
    outcome = failed();
    ctx.atoms.release();
  }
  if (finish && !out_of_memory) outcome = finish(outcome);
  if (output) {
    if (outcome.output_complete)
      output->close();
    else
      output->remove();
  }
  // Said after the output file is gone: saying it may need memory too.
  if (out_of_memory) err.put(about(cl.input_path) + "out of memory\n");
  return outcome;
}

// The last line of a text, without its line feed.
std::string_view last_line(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  const std::size_t lf = text.rfind('\n');
  return lf == std::string_view::npos ? text : text.substr(lf + 1);
}

// The JSON line of a run that ended with `outcome`: the report, or (after a
// failure) the message the run ended with (the last of the notes).
std::string json_line(const RunContext& ctx, const Outcome& outcome, std::string_view notes) {
  const std::string_view message = last_line(notes);
  if (!ctx.json_lines.empty() || ctx.json_streamed)  // a line a model, then a failure after them
    return ctx.json_lines +
           (outcome.status == exit_ok || outcome.output_complete || ctx.failures_said
                ? std::string()
                                                                 : json_failure(ctx.input_path, message));
  if (outcome.status == exit_ok) return json_report(ctx);
  if (outcome.output_complete) return json_report(ctx, message);
  return json_failure(ctx.input_path, message);
}

// The run with --json: the text report and the notes are held while the run
// goes on; then the notes go to standard error and one JSON line to standard
// output. Standard output is flushed before an output file is kept, so that
// a JSON line that cannot be written removes the file as a report would.
int run_json(const CmdLine& cl, RunContext& ctx, Sink& out, Sink& err) {
  Sink text_report(-1, out.name()), notes(-1, err.name());
  ctx.json_out = &out;  // a series's lines go out as they are made
  bool said = false;
  const Finish say = [&](const Outcome& outcome) -> Outcome {
    said = true;
    err.put(notes.held());
    out.put(json_line(ctx, outcome, notes.held()));
    if (out.flush()) return outcome;
    err.put(file_error_text(out.name(), out.error()));
    return failed();
  };
  const Outcome outcome = run_files(cl, ctx, text_report, notes, say);
  if (said) return outcome.status;
  err.put(notes.held());
  if (outcome.status == exit_usage) return outcome.status;
  out.put(json_line(ctx, outcome, notes.held()));
  return outcome.status;
}


// One file's run for the command line `cl` (its input and output named).
int run_one(const CmdLine& cl, Sink& out, Sink& err) {
  auto ctx = std::make_unique<RunContext>(cl.rules, cl.double_precision);
  ctx->mode = cl.mode;
  ctx->input_path = cl.input_path;
  ctx->output_path = cl.output_path;
  ctx->json = cl.json;
  ctx->canonical = cl.canonical;
  ctx->shape = cl.shape;
  return cl.json ? run_json(cl, *ctx, out, err) : run_files(cl, *ctx, out, err).status;
}

// The last part of a path: the name its copy gets in the output folder.
std::string base_name(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The names of a run over many files, in turn: the command line's, then
// those of the list, one a line (LF or CR LF; blank lines passed over), read
// as they are needed.
class InputNames {
 public:
  explicit InputNames(const CmdLine& cl) : cl_(cl) {}
  ~InputNames() {
    if (list_ != nullptr) std::fclose(list_);
    std::free(line_);
  }
  // False with errno when the list cannot be opened.
  bool open() {
    if (cl_.files_from.empty()) return true;
    list_ = std::fopen(cl_.files_from.c_str(), "r");
    return list_ != nullptr;
  }
  // The next name; false at the end (or when the list cannot be read further).
  bool next(std::string& name) {
    if (given_ < cl_.inputs.size()) {
      name = cl_.inputs[given_++];
      return true;
    }
    while (list_ != nullptr) {
      const ssize_t n = ::getline(&line_, &capacity_, list_);
      if (n < 0) {
        failed_ = std::ferror(list_) != 0;
        return false;
      }
      std::string_view text(line_, static_cast<std::size_t>(n));
      if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
      if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
      if (text.find_first_not_of(" \t") == std::string_view::npos) continue;
      name = text;
      return true;
    }
    return false;
  }
  bool failed() const { return failed_; }

 private:
  const CmdLine& cl_;
  std::size_t given_ = 0;
  std::FILE* list_ = nullptr;
  char* line_ = nullptr;
  std::size_t capacity_ = 0;
  bool failed_ = false;
};

// --each-file, --files-from: each file analysed on its own, in turn, as a run
// of its own would (its report or JSON lines; a failure's message, and the
// run goes on). Status 1 when any file failed. A standard output that cannot
// be written ends the whole run.
int run_many(const CmdLine& cl, Sink& out, Sink& err) {
  struct stat st {};
  if (!cl.out_dir.empty() && (::stat(cl.out_dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
    return usage_stop(err, "--out-dir: " + printable(cl.out_dir) + " is not a folder");
  InputNames names(cl);
  if (!names.open()) {
    err.put("gyrolabium: cannot open the list of names " + printable(cl.files_from) + ": " +
            std::strerror(errno) + "\n");
    return exit_failure;
  }
  int status = exit_ok;
  for (std::string name; names.next(name);) {
    CmdLine one = cl;
    one.each_file = false;
    one.inputs.clear();
    one.input_path = name;
    if (cl.mode != Mode::report_only) one.output_path = cl.out_dir + "/" + base_name(name);
    if (run_one(one, out, err) != exit_ok) status = exit_failure;
    if (!out.flush()) {
      err.put(file_error_text(out.name(), out.error()));
      return exit_failure;
    }
  }
  if (names.failed()) {
    err.put("gyrolabium: cannot read the list of names " + printable(cl.files_from) + "\n");
    return exit_failure;
  }
  return status;
}

}  // namespace

int run(int argc, const char* const* argv, Sink& out, Sink& err) {
  const CmdLine cl = parse_command_line(argc, argv);
  if (cl.stop == CmdLine::Stop::help || cl.stop == CmdLine::Stop::version) {
    out.put(cl.stop == CmdLine::Stop::help ? help_text() : version_text());
    return exit_ok;
  }
  if (cl.stop == CmdLine::Stop::flag_error) err.put(flag_error_text());
  if (cl.stop == CmdLine::Stop::option_error) return usage_stop(err, cl.option_error);
  if (cl.stop != CmdLine::Stop::none) return usage_stop(err, cl.usage_reason);
  return cl.each_file ? run_many(cl, out, err) : run_one(cl, out, err);
}

}  // namespace gyro
