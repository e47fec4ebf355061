// Input text as a sequence of 80-byte records, read from memory or streamed
// from a file in large blocks, and whole files read for two passes.
#pragma once

#include <cstring>
#include <memory>
#include <string_view>

#include "text/fields.hpp"

namespace gyro {

// Walks the lines of a text. A line ends at a line feed; a carriage return just
// before it belongs to the line end. A last line without a line feed is still a
// line; an empty text has none.
class RecordCursor {
 public:
  explicit RecordCursor(std::string_view text) : text_(text), rest_(text) {}
  // Streams the file open on fd in blocks of 128 KiB, a size that stays in the
  // cache while its lines are read (any size from 160 bytes on works alike).
  explicit RecordCursor(int fd, std::size_t block_size = std::size_t{1} << 17);

  // The next line as exactly 80 bytes (cut after the 80th, blank-filled), valid
  // until the next call; null at the end of the text or on a read error.
  const char* next() {
    const void* lf = std::memchr(rest_.data(), '\n', rest_.size());
    if (lf == nullptr) return last_line();
    auto end = static_cast<std::size_t>(static_cast<const char*>(lf) - rest_.data());
    const std::size_t skip = end + 1;
    if (end > 0 && rest_[end - 1] == '\r') --end;
    return take_line(end, skip);
  }
  long lineno() const { return lineno_; }  // 1-based number of the last line read
  int error() const { return error_; }     // errno of a failed read, or 0

  // Back to the first line: the text again, or the file read again from its
  // start. False (with error()) when the file cannot be repositioned.
  bool rewind();

 private:
  bool refill();
  const char* last_line();
  const char* take_kept_line(std::size_t skip);
  // The line of `end` bytes at the front, then `skip` bytes passed over.
  const char* take_line(std::size_t end, std::size_t skip) {
    const char* line = rest_.data();
    if (end < reclen) {  // short line: blank-filled copy
      std::memcpy(line_, line, end);
      std::memset(line_ + end, ' ', reclen - end);
      line = line_;
    }
    rest_.remove_prefix(skip);
    ++lineno_;
    return line;
  }

  std::string_view text_, rest_;
  bool at_end_ = false;
  int fd_ = -1;
  int error_ = 0;
  std::unique_ptr<char[]> block_;
  std::size_t cap_ = 0;
  char line_[reclen];
  long lineno_ = 0;
};

// A whole input's bytes (a pipe's, which cannot be read twice), read once in
// large blocks and kept for both passes.
class FileBytes {
 public:
  // Reads everything from fd. Returns 0 or an errno.
  int read_all(int fd);
  std::string_view view() const { return {data_.get(), size_}; }

 private:
  void grow(std::size_t cap);
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0, cap_ = 0;
};

}  // namespace gyro
