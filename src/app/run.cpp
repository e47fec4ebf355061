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

int write_phase(RunContext& ctx, RecordCursor& records, Sink& err, Sink& pdbout) {
  const Frame frame{ctx.xcen, ctx.ycen, ctx.zcen, ctx.rflag == 1, ctx.pvec};
  if (!records.rewind()) {
    pdbout.close();
    err.put(file_error_text(ctx.pdbin, records.error()));
    return exit_failure;
  }
  const WriteResult res = write_structure(records, ctx.atoms, frame, pdbout);
  const bool closed = pdbout.close();
  if (res.fault) {
    err.put(pass_fault_text(ctx.pdbin, res.fault));
    return exit_failure;
  }
  if (!closed) {
    err.put(file_error_text(ctx.pdbout, pdbout.error()));
    return exit_failure;
  }
  if (res.unfit > 0) {
    err.put(unfit_text(ctx.pdbout, res.unfit));
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

int run_phases(RunContext& ctx, RecordCursor& records, Sink& out, Sink& err, Sink* pdbout) {
  AtomTable& t = ctx.atoms;
  if (PassFault fault = read_atoms(records, t, err)) {
    err.put(pass_fault_text(ctx.pdbin, fault));
    return exit_failure;
  }
  cenmas(t.natom, t.atmass.get(), t.atcrd.get(), ctx.xcen, ctx.ycen, ctx.zcen, ctx.mtot);
  trans(t.natom, t.atcrd.get(), ctx.xcen, ctx.ycen, ctx.zcen);
  if (int ierr = inertia(t.natom, t.atmass.get(), t.atcrd.get(), ctx.pmom, ctx.pvec)) {
    out.put(FreeLine().text("error ").num(ierr).str());
    return exit_failure;
  }
  if (ctx.rflag) rotate(t.natom, t.atcrd.get(), ctx.pvec);
  out.put(report_text(ctx));
  if (!out.flush()) {
    err.put(file_error_text(out.name(), out.error()));
    return exit_failure;
  }
  return pdbout ? write_phase(ctx, records, err, *pdbout) : exit_ok;
}

namespace {

// The run on the open input. A pipe cannot be read twice: when an output file
// is to be written its bytes are kept from the first pass for the second.
int run_on(const CmdLine& cl, int in, Sink& out, Sink& err, Sink* pdbout) {
  auto ctx = std::make_unique<RunContext>();
  ctx->rflag = cl.rflag;
  ctx->tflag = cl.tflag;
  ctx->pdbin = cl.pdbin;
  ctx->pdbout = cl.pdbout;
  if (pdbout && !rewindable(in)) {
    FileBytes input;
    if (const int rerr = input.read_all(in); rerr != 0) {
      err.put(file_error_text(cl.pdbin, rerr));
      return exit_failure;
    }
    RecordCursor records(input.view());
    return run_phases(*ctx, records, out, err, pdbout);
  }
  RecordCursor records(in);
  return run_phases(*ctx, records, out, err, pdbout);
}

}  // namespace

int run(int argc, const char* const* argv, Sink& out, Sink& err) {
  const CmdLine cl = parse_command_line(argc, argv);
  if (cl.stop == CmdLine::Stop::flag_error) err.put(flag_error_text());
  if (cl.stop != CmdLine::Stop::none || cl.pdbin_refused) return usage_stop(err);
  const int in = open_input(cl.pdbin);
  if (in < 0) return open_failure(cl.pdbin, out);
  std::unique_ptr<Sink> pdbout;
  if (cl.tflag) {
    const int fd = cl.pdbout_refused ? -1 : create_output(cl.pdbout);
    if (fd < 0) {
      ::close(in);
      return cl.pdbout_refused ? usage_stop(err) : open_failure(cl.pdbout, out);
    }
    pdbout = std::make_unique<Sink>(fd, cl.pdbout);
  }
  const int status = run_on(cl, in, out, err, pdbout.get());
  ::close(in);
  if (pdbout) pdbout->close();
  return status;
}

}  // namespace gyro
