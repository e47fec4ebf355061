#include "text/sink.hpp"

#include <libdeflate.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/numtext.hpp"

namespace gyro {
namespace {
constexpr std::size_t block = std::size_t{1} << 17;
}

// gzip output: each buffer of text compressed on its own into one gzip
// member (members follow each other as gzip allows), so memory stays that of
// one buffer whatever the size of the output. libdeflate's level 1: several
// times faster than zlib's default, at a slightly larger size. Its headers
// hold no name and MTIME 0: the same text gives the same bytes.
constexpr int gzip_level = 1;

struct Sink::Deflater {
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(gzip_level);
  std::unique_ptr<unsigned char[]> out;
  std::size_t out_cap = 0;
  bool any_member = false;
  ~Deflater() {
    if (compressor != nullptr) libdeflate_free_compressor(compressor);
  }
};

Sink::Sink(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
Sink::~Sink() = default;

bool Sink::compress() {
  auto d = std::make_unique<Deflater>();
  if (d->compressor == nullptr) return false;
  deflater_ = std::move(d);
  return true;
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
  if (s.empty()) return;
  char* p = claim(s.size());
  std::memcpy(p, s.data(), s.size());
  commit(s.size());
}

void Sink::write_out(const char* p, std::size_t n) {
  std::size_t done = 0;
  while (error_ == 0 && done < n) {
    const ssize_t k = ::write(fd_, p + done, n - done);
    if (k < 0) {
      // A descriptor in non-blocking mode that is full for now: wait until
      // its reader makes room.
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        pollfd ready{fd_, POLLOUT, 0};
        if (::poll(&ready, 1, -1) < 0 && errno != EINTR) error_ = errno;
      } else if (errno != EINTR) {
        error_ = errno;
      }
    } else {
      done += static_cast<std::size_t>(k);
    }
  }
}

// Compresses the buffered bytes into one gzip member and writes it; with
// `finish`, an output that has none yet gets an empty member (a valid gzip
// file of no text).
bool Sink::deflate_buffer(bool finish) {
  Deflater& d = *deflater_;
  if (used_ == 0 && (d.any_member || !finish)) return true;
  const std::size_t bound = libdeflate_gzip_compress_bound(d.compressor, used_);
  if (d.out_cap < bound) {
    d.out = std::make_unique_for_overwrite<unsigned char[]>(bound);
    d.out_cap = bound;
  }
  const std::size_t n = libdeflate_gzip_compress(d.compressor, buf_.get(), used_, d.out.get(), bound);
  if (n == 0) return false;
  d.any_member = true;
  write_out(reinterpret_cast<const char*>(d.out.get()), n);
  return true;
}

bool Sink::flush() {
  if (fd_ < 0) return error_ == 0;
  if (deflater_) {
    if (!deflate_buffer(false) && error_ == 0) error_ = ENOMEM;
  } else {
    write_out(buf_.get(), used_);
  }
  used_ = 0;
  return error_ == 0;
}

bool Sink::close() {
  bool ok = flush();
  if (fd_ >= 0) {
    if (deflater_ && ok && !deflate_buffer(true) && error_ == 0) error_ = ENOMEM;
    deflater_.reset();
    if (::close(fd_) != 0 && error_ == 0) error_ = errno;
    fd_ = -1;
  }
  return ok && error_ == 0;
}

std::string file_error_text(const std::string& name, int err) {
  return about(name) + std::strerror(err) + "\n";
}

}  // namespace gyro
