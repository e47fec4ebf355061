#include "text/sink.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace gyro {
namespace {
constexpr std::size_t block = std::size_t{1} << 17;
}

char* Sink::make_room(std::size_t n) {
  if (fd_ >= 0 && used_ > 0) flush();
  if (cap_ - used_ < n) {
    std::size_t cap = cap_ == 0 ? block : cap_;
    while (cap - used_ < n) cap *= 2;
    auto bigger = std::make_unique_for_overwrite<char[]>(cap);
    if (used_ > 0) std::memcpy(bigger.get(), buf_.get(), used_);
    buf_ = std::move(bigger);
    cap_ = cap;
  }
  return buf_.get() + used_;
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
    ssize_t n = ::write(fd_, buf_.get() + done, used_ - done);
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
