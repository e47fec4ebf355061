// Input text as a sequence of 80-byte records, and reading a whole file.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "text/fields.hpp"

namespace gyro {

// Walks the lines of an in-memory text. A line ends at a line feed; a carriage
// return just before it belongs to the line end. A last line without a line
// feed is still a line; an empty text has none.
class RecordCursor {
 public:
  explicit RecordCursor(std::string_view text) : rest_(text) {}

  // Next line into `line` as exactly 80 bytes: cut after the 80th, blank-filled.
  // Returns false at the end of the text.
  bool next(char (&line)[reclen]);
  long lineno() const { return lineno_; }  // 1-based number of the last line read

 private:
  std::string_view rest_;
  long lineno_ = 0;
};

// A whole file's bytes, read once in large blocks and kept for both passes.
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
