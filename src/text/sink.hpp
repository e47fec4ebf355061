// Buffered output to a file descriptor, written in large blocks, optionally
// gzip-compressed. The first write error is kept (later writes are dropped) so
// the caller can report it once, naming the file. A sink without a descriptor
// keeps all it is given.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace gyro {

class Sink {
 public:
  Sink(int fd, std::string name);
  ~Sink();
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;

  // From now on the bytes are written gzip-compressed (a member a buffer);
  // false without memory.
  bool compress();
  void put(std::string_view s);
  // Room for n bytes at the end of the buffer; commit(n) keeps what was written.
  char* claim(std::size_t n) { return cap_ - used_ >= n ? buf_.get() + used_ : make_room(n); }
  void commit(std::size_t n) { used_ += n; }
  // Writes out everything buffered; false once any write has failed.
  bool flush();
  // Flushes and closes the descriptor; false when
  // either failed.
  bool close();

  int error() const { return error_; }  // errno of the first failure, or 0
  const std::string& name() const { return name_; }
  std::string_view held() const { return {buf_.get(), used_}; }  // memory sinks

 private:
  struct Deflater;
  char* make_room(std::size_t n);
  void write_out(const char* p, std::size_t n);
  bool deflate_buffer(bool finish);

  int fd_;
  std::string name_;
  std::unique_ptr<char[]> buf_;  // uninitialised: pages are touched only when written
  std::size_t cap_ = 0, used_ = 0;
  int error_ = 0;
  std::unique_ptr<Deflater> deflater_;
};

// "gyrolabium: NAME: REASON" from an errno, with its line feed.
std::string file_error_text(const std::string& name, int err);

}  // namespace gyro
