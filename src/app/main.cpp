// gyrolabium: mass, centre of mass and principal axes of a PDB structure.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <new>

#include "app/run.hpp"

namespace {

// A standard descriptor that was closed is taken by /dev/null, read-only, so
// that no file the run opens becomes standard input, output or error (writing
// there still fails, as it would on the closed descriptor).
void reserve_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd)
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) ::open("/dev/null", O_RDONLY);
}

}  // namespace

int main(int argc, char** argv) {
  reserve_standard_descriptors();
  // A file-size limit makes a write fail with a message, not kill the run.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    gyro::Sink out(1, "standard output"), err(2, "standard error");
    int status = gyro::run(argc, argv, out, err);
    if (!out.flush() && status == gyro::exit_ok) {
      err.put(gyro::file_error_text(out.name(), out.error()));
      status = gyro::exit_failure;
    }
    err.flush();
    return status;
  } catch (const std::bad_alloc&) {  // not even the message's buffer could be had
    constexpr char message[] = "gyrolabium: out of memory\n";
    [[maybe_unused]] const auto n = ::write(2, message, sizeof message - 1);
    return gyro::exit_failure;
  }
}
