#include "text/records.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace gyro {
namespace {

constexpr std::size_t first_block = std::size_t{1} << 17;

// read(2) that retries on interruption; -1 with errno on failure.
ssize_t read_some(int fd, char* buf, std::size_t n) {
  for (;;) {
    ssize_t got = ::read(fd, buf, n);
    if (got >= 0 || errno != EINTR) return got;
  }
}

}  // namespace

RecordCursor::RecordCursor(int fd, std::size_t block_size)
    : fd_(fd), cap_(block_size < 2 * reclen ? 2 * reclen : block_size) {
  block_ = std::make_unique_for_overwrite<char[]>(cap_);
  rest_ = {block_.get(), 0};
}

bool RecordCursor::rewind() {
  lineno_ = 0;
  if (!block_) {
    rest_ = text_;
    return true;
  }
  rest_ = {block_.get(), 0};
  at_end_ = false;
  if (::lseek(fd_, 0, SEEK_SET) != 0) {
    error_ = errno;
    return false;
  }
  return true;
}

// Moves the unread bytes to the front of the block and reads more after them;
// false at the end of the file or on an error.
bool RecordCursor::refill() {
  if (fd_ < 0 || at_end_) return false;
  const std::size_t have = rest_.size();
  if (have > 0) std::memmove(block_.get(), rest_.data(), have);
  const ssize_t got = read_some(fd_, block_.get() + have, cap_ - have);
  if (got <= 0) {
    if (got < 0) error_ = errno;
    rest_ = {block_.get(), have};
    at_end_ = true;
    return false;
  }
  rest_ = {block_.get(), have + static_cast<std::size_t>(got)};
  return true;
}

// A line not wholly in the block: more is read until its line feed or the end
// of the file comes. Of a line longer than the block only the first 80 bytes
// are kept, so that no line, however long, takes more memory.
const char* RecordCursor::last_line() {
  bool overlong = false;
  for (;;) {
    if (const void* lf = std::memchr(rest_.data(), '\n', rest_.size())) {
      auto end = static_cast<std::size_t>(static_cast<const char*>(lf) - rest_.data());
      if (overlong) return take_kept_line(end + 1);
      const std::size_t skip = end + 1;
      if (end > 0 && rest_[end - 1] == '\r') --end;
      return take_line(end, skip);
    }
    if (block_ && !overlong && rest_.size() == cap_) {
      std::memcpy(line_, rest_.data(), reclen);
      overlong = true;
    }
    if (overlong) rest_ = {block_.get(), 0};
    if (!refill()) break;
  }
  if (error_ != 0) return nullptr;
  if (overlong) return take_kept_line(0);
  if (rest_.empty()) return nullptr;
  return take_line(rest_.size(), rest_.size());
}

// The overlong line whose first 80 bytes are kept, ending `skip` bytes on.
const char* RecordCursor::take_kept_line(std::size_t skip) {
  rest_.remove_prefix(skip);
  ++lineno_;
  return line_;
}

void FileBytes::grow(std::size_t cap) {
  // Uninitialised storage: the pages are touched once, by the read itself.
  auto bigger = std::make_unique_for_overwrite<char[]>(cap);
  if (size_ > 0) std::memcpy(bigger.get(), data_.get(), size_);
  data_ = std::move(bigger);
  cap_ = cap;
}

int FileBytes::read_all(int fd) {
  for (;;) {
    if (cap_ - size_ == 0) grow(cap_ < first_block ? first_block : cap_ * 2);
    const ssize_t got = read_some(fd, data_.get() + size_, cap_ - size_);
    if (got < 0) return errno;
    if (got == 0) return 0;
    size_ += static_cast<std::size_t>(got);
  }
}

}  // namespace gyro
