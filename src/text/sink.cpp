#include "text/sink.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace gyro {
namespace {
constexpr std::size_t block = std::size_t{1} << 18;
}

void Sink::spill() {
  if (fd_ < 0 || used_ < block) return;
  flush();
}

char* Sink::claim(std::size_t n) {
  spill();
  if (buf_.size() < used_ + n) buf_.resize(used_ + n < block * 2 ? block * 2 : used_ + n);
  return buf_.data() + used_;
}

void Sink::put(std::string_view s) {
  char* p = claim(s.size());
  std::memcpy(p, s.data(), s.size());
  commit(s.size());
}

bool Sink::flush() {
  if (fd_ < 0) return error_ == 0;
  std::size_t done = 0;
  while (error_ == 0 && done < used_) {
    ssize_t n = ::write(fd_, buf_.data() + done, used_ - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
    } else {
      done += static_cast<std::size_t>(n);
    }
  }
  used_ = 0;
  return error_ == 0;
}

bool Sink::close() {
  bool ok = flush();
  if (fd_ >= 0) {
    if (::close(fd_) != 0 && error_ == 0) error_ = errno;
    fd_ = -1;
  }
  return ok && error_ == 0;
}

std::string file_error_text(const std::string& name, int err) {
  return "gyrolabium: " + name + ": " + std::strerror(err) + "\n";
}

}  // namespace gyro
