// The text of the input file: a regular file, a pipe or another stream, plain
// or gzip-compressed (recognised by its first two bytes, 1f 8b, whatever its
// name; every member of a multi-member file is read). Text compressed in
// another format (xz, bzip2, zstd, zip, lz4) is recognised and refused. It can be read a second
// time from its start: a regular file is read again, a stream's bytes are kept
// in an unlinked temporary file while it is first read. A checksum of each
// reading tells whether the second gave the same text as the first.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "text/checksum.hpp"

namespace gyro {

class TextSource {
 public:
  // Reads the open descriptor fd (closed with the source); `twice`: the text
  // will be read a second time.
  TextSource(int fd, bool twice);
  ~TextSource();
  TextSource(const TextSource&) = delete;
  TextSource& operator=(const TextSource&) = delete;

  // Looks at the first bytes and prepares the reading; false on a failure.
  bool start();
  // The whole text when it is held in memory (a small compressed file,
  // decompressed at once), else empty with in_memory() false.
  bool in_memory() const { return memory_ != nullptr; }
  std::string_view text() const { return {memory_.get(), memory_size_}; }

  // Up to n bytes of text: their count, 0 at the end of the text, -1 on a failure.
  long read(char* buf, std::size_t n);
  // Back to the start of the text for the second reading; false on a failure.
  bool rewind();

  // What failed, in words: the system's reason, or what is wrong with the
  // compressed data.
  const std::string& failure() const { return failure_; }
  // The checksum of the text read since the start or the last rewind (kept
  // only when the text is read twice from a stream).
  const Checksum& checksum() const { return sum_; }

 private:
  struct Inflater;
  long read_raw(char* buf, std::size_t n);
  long read_compressed(char* buf, std::size_t n);
  bool keep_for_second_reading(const char* buf, std::size_t n);
  bool decompress_in_memory(std::size_t file_size);
  bool fail(std::string why);
  bool fail_errno(const std::string& what = "");

  int fd_;
  bool twice_, regular_ = false, gzip_ = false;
  int kept_ = -1;            // unlinked temporary file holding a stream's bytes
  bool reading_kept_ = false;
  char head_[6];             // bytes looked at before the reading starts
  std::size_t head_size_ = 0, head_used_ = 0;
  std::unique_ptr<Inflater> inflater_;
  std::unique_ptr<char[]> memory_;
  std::size_t memory_size_ = 0;
  Checksum sum_;
  std::string failure_;
};

}  // namespace gyro
