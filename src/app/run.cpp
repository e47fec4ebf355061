#include "app/run.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "analysis/rigid.hpp"
#include "app/cmdline.hpp"
#include "app/report.hpp"
#include "structure/reader.hpp"
#include "structure/writer.hpp"
#include "text/numtext.hpp"
#include "text/records.hpp"

namespace gyro {
namespace {

// An existing file that can be read as text: a directory is refused here.
int open_input(const std::string& name) {
  int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd >= 0 && (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))) {
    ::close(fd);
    fd = -1;
  }
  return fd;
}

// A regular file can be read again from its start for the second pass.
bool rewindable(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::lseek(fd, 0, SEEK_CUR) == 0;
}

// A new file: an existing file or link of that name is never opened, followed
// or truncated.
int create_output(const std::string& name) {
  return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

std::string unfit_text(const std::string& name, long unfit) {
  return "gyrolabium: " + name + ": " + std::to_string(unfit) +
         (unfit == 1 ? " coordinate value does" : " coordinate values do") +
         " not fit the 8-column fields\n";
}

int write_phase(RunContext& ctx, RecordCursor& records, Sink& err, Sink& output) {
  const Frame frame{ctx.centre, ctx.mode == Mode::rotated, ctx.axes};
  if (!records.rewind()) {
    output.close();
    err.put(file_error_text(ctx.input_path, records.error()));
    return exit_failure;
  }
  const WriteResult res = write_structure(records, ctx.atoms, frame, output);
  const bool closed = output.close();
  if (res.fault) {
    err.put(pass_fault_text(ctx.input_path, res.fault));
    return exit_failure;
  }
  if (!closed) {
    err.put(file_error_text(ctx.output_path, output.error()));
    return exit_failure;
  }
  if (res.unfit > 0) {
    err.put(unfit_text(ctx.output_path, res.unfit));
    return exit_failure;
  }
  return exit_ok;
}

int usage_stop(Sink& err) {
  err.put(usage_text());
  return exit_usage;
}

int open_failure(const std::string& name, Sink& out) {
  out.put(open_failure_text(name));
  return exit_failure;
}

}  // namespace

int run_phases(RunContext& ctx, RecordCursor& records, Sink& out, Sink& err, Sink* output) {
  AtomTable& t = ctx.atoms;
  if (PassFault fault = read_atoms(records, t, err)) {
    err.put(pass_fault_text(ctx.input_path, fault));
    return exit_failure;
  }
  ctx.centre = centre_of_mass(t.count, t.masses.get(), t.coords.get(), ctx.total_mass);
  move_to_centre(t.count, t.coords.get(), ctx.centre);
  if (int status = principal_frame(t.count, t.masses.get(), t.coords.get(), ctx.moments, ctx.axes)) {
    out.put(FreeLine().text("error ").num(status).str());
    return exit_failure;
  }
  if (ctx.mode == Mode::rotated) rotate_into_frame(t.count, t.coords.get(), ctx.axes);
  out.put(report_text(ctx));
  if (!out.flush()) {
    err.put(file_error_text(out.name(), out.error()));
    return exit_failure;
  }
  return output ? write_phase(ctx, records, err, *output) : exit_ok;
}

namespace {

// The run on the open input. A pipe cannot be read twice: when an output file
// is to be written its bytes are kept from the first pass for the second.
int run_on(const CmdLine& cl, int in, Sink& out, Sink& err, Sink* output) {
  auto ctx = std::make_unique<RunContext>();
  ctx->mode = cl.mode;
  ctx->input_path = cl.input_path;
  ctx->output_path = cl.output_path;
  if (output && !rewindable(in)) {
    FileBytes input;
    if (const int rerr = input.read_all(in); rerr != 0) {
      err.put(file_error_text(cl.input_path, rerr));
      return exit_failure;
    }
    RecordCursor records(input.view());
    return run_phases(*ctx, records, out, err, output);
  }
  RecordCursor records(in);
  return run_phases(*ctx, records, out, err, output);
}

}  // namespace

int run(int argc, const char* const* argv, Sink& out, Sink& err) {
  const CmdLine cl = parse_command_line(argc, argv);
  if (cl.stop == CmdLine::Stop::flag_error) err.put(flag_error_text());
  if (cl.stop != CmdLine::Stop::none || cl.input_refused) return usage_stop(err);
  const int in = open_input(cl.input_path);
  if (in < 0) return open_failure(cl.input_path, out);
  std::unique_ptr<Sink> output;
  if (cl.mode != Mode::report_only) {
    const int fd = cl.output_refused ? -1 : create_output(cl.output_path);
    if (fd < 0) {
      ::close(in);
      return cl.output_refused ? usage_stop(err) : open_failure(cl.output_path, out);
    }
    output = std::make_unique<Sink>(fd, cl.output_path);
  }
  const int status = run_on(cl, in, out, err, output.get());
  ::close(in);
  if (output) output->close();
  return status;
}

}  // namespace gyro
