#include "text/sink.hpp"

#include <poll.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

#include "text/numtext.hpp"

namespace gyro {
namespace {
constexpr std::size_t block = std::size_t{1} << 17;
}

struct Sink::Deflater {
  z_stream zs{};
  std::unique_ptr<unsigned char[]> out = std::make_unique<unsigned char[]>(block);
  ~Deflater() { deflateEnd(&zs); }
};

Sink::Sink(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
Sink::~Sink() = default;

bool Sink::compress() {
  auto d = std::make_unique<Deflater>();
  if (deflateInit2(&d->zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK)
    return false;
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

// Compresses the buffered bytes (and with `finish` ends the member), writing
// what comes out.
bool Sink::deflate_buffer(bool finish) {
  z_stream& zs = deflater_->zs;
  zs.next_in = reinterpret_cast<unsigned char*>(buf_.get());
  zs.avail_in = static_cast<uInt>(used_);
  for (;;) {
    zs.next_out = deflater_->out.get();
    zs.avail_out = static_cast<uInt>(block);
    const int r = deflate(&zs, finish ? Z_FINISH : Z_NO_FLUSH);
    write_out(reinterpret_cast<const char*>(deflater_->out.get()), block - zs.avail_out);
    if (r == Z_STREAM_END || (!finish && zs.avail_in == 0 && zs.avail_out > 0)) return true;
    if (r != Z_OK && r != Z_BUF_ERROR) return false;
  }
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
