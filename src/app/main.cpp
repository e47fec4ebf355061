// gyrolabium: mass, centre of mass and principal axes of a PDB structure.
#include <csignal>

#include "app/run.hpp"

int main(int argc, char** argv) {
  // A file-size limit makes a write fail with a message, not kill the run.
  std::signal(SIGXFSZ, SIG_IGN);
  gyro::Sink out(1, "standard output"), err(2, "standard error");
  int status = gyro::run(argc, argv, out, err);
  if (!out.flush() && status == gyro::exit_ok) {
    err.put(gyro::file_error_text(out.name(), out.error()));
    status = gyro::exit_failure;
  }
  err.flush();
  return status;
}
