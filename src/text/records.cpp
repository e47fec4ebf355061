#include "text/records.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace gyro {

bool RecordCursor::next(char (&line)[reclen]) {
  if (rest_.empty()) return false;
  std::size_t end = rest_.size(), skip = end;
  if (const void* lf = std::memchr(rest_.data(), '\n', rest_.size())) {
    end = static_cast<std::size_t>(static_cast<const char*>(lf) - rest_.data());
    skip = end + 1;
    if (end > 0 && rest_[end - 1] == '\r') --end;
  }
  std::size_t n = end < reclen ? end : reclen;
  std::memcpy(line, rest_.data(), n);
  std::memset(line + n, ' ', reclen - n);
  rest_.remove_prefix(skip);
  ++lineno_;
  return true;
}

void FileBytes::grow(std::size_t cap) {
  // Uninitialised storage: the pages are touched once, by the read itself.
  std::unique_ptr<char[]> bigger(new char[cap]);
  if (size_ > 0) std::memcpy(bigger.get(), data_.get(), size_);
  data_ = std::move(bigger);
  cap_ = cap;
}

int FileBytes::read_all(int fd) {
  constexpr std::size_t block = std::size_t{1} << 20;
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    grow(static_cast<std::size_t>(st.st_size) + 1);  // +1: the end shows without a regrow
  for (;;) {
    if (cap_ - size_ == 0) grow(cap_ < block ? block : cap_ * 2);
    ssize_t got = ::read(fd, data_.get() + size_, cap_ - size_);
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (got == 0) return 0;
    size_ += static_cast<std::size_t>(got);
  }
}

}  // namespace gyro
