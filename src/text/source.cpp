#include "text/source.hpp"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "text/numtext.hpp"

namespace gyro {
namespace {

constexpr std::size_t compressed_block = std::size_t{1} << 17;
// A compressed regular file that, together with its text (as its last member
// states its length), fits in this many bytes is decompressed at once,
// several times faster than in a stream; anything larger is inflated block by
// block, so that memory stays bounded whatever the size.
constexpr std::size_t gzip_in_memory = std::size_t{10} << 20;

// Whether the gzip member at p (n bytes) carries a header checksum (FHCRC),
// which the in-memory decompression does not check.
bool header_checksum(const char* p, std::size_t n) { return n > 3 && (p[3] & 0x02) != 0; }

// read(2) that retries on interruption; -1 with errno on failure.
long read_some(int fd, char* buf, std::size_t n) {
  for (;;) {
    const ssize_t got = ::read(fd, buf, n);
    if (got >= 0 || errno != EINTR) return got;
  }
}

bool write_all(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t done = ::write(fd, p, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    p += done;
    n -= static_cast<std::size_t>(done);
  }
  return true;
}

// An unlinked file in $TMPDIR (or /tmp), readable and writable; -1 on failure.
int unlinked_temporary_file(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  std::string path = dir + "/gyrolabium-XXXXXX";
  fd = ::mkostemp(path.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(path.c_str());
  return fd;
}

std::string temporary_folder() {
  const char* dir = std::getenv("TMPDIR");
  return dir && *dir ? dir : "/tmp";
}

const std::string damaged = "damaged gzip data: ";

// The compression format whose magic bytes begin `head`, for the formats
// that are not read; null for any other text. No PDB text begins so.
const char* other_compression(std::string_view head) {
  using namespace std::string_view_literals;
  static constexpr struct {
    std::string_view magic;
    const char* name;
  } formats[] = {{"\xfd\x37\x7a\x58\x5a\x00"sv, "xz"}, {"\x42\x5a\x68"sv, "bzip2"},
                 {"\x28\xb5\x2f\xfd"sv, "zstd"},         {"\x50\x4b\x03\x04"sv, "zip"},
                 {"\x04\x22\x4d\x18"sv, "lz4"}};
  for (const auto& f : formats)
    if (head.starts_with(f.magic)) return f.name;
  return nullptr;
}

}  // namespace

struct TextSource::Inflater {
  z_stream zs{};
  std::unique_ptr<unsigned char[]> in = std::make_unique<unsigned char[]>(compressed_block);
  bool member_open = false;  // inside a member: its end has not been reached
  bool ready = false;
  ~Inflater() {
    if (ready) inflateEnd(&zs);
  }
};

TextSource::TextSource(int fd, bool twice) : fd_(fd), twice_(twice) {}

TextSource::~TextSource() {
  if (kept_ >= 0) ::close(kept_);
  if (fd_ >= 0) ::close(fd_);
}

bool TextSource::fail(std::string why) {
  failure_ = std::move(why);
  return false;
}

bool TextSource::fail_errno(const std::string& what) {
  const std::string reason = std::strerror(errno);
  return fail(what.empty() ? reason : what + ": " + reason);
}

bool TextSource::start() {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return fail_errno();
  regular_ = S_ISREG(st.st_mode);
  std::size_t seen = 0;  // bytes of head_ that hold the text's first bytes
  if (regular_) {
    const ssize_t got = ::pread(fd_, head_, sizeof head_, 0);
    if (got < 0) return fail_errno();
    seen = static_cast<std::size_t>(got);
  } else {
    while (head_size_ < sizeof head_) {  // a pipe may hand out one byte at a time
      const long got = read_some(fd_, head_ + head_size_, sizeof head_ - head_size_);
      if (got < 0) return fail_errno();
      if (got == 0) break;
      head_size_ += static_cast<std::size_t>(got);
    }
    seen = head_size_;
  }
  const std::string_view head(head_, seen);
  gzip_ = head.starts_with("\x1f\x8b");
  if (const char* format = other_compression(head))
    return fail(std::string("compressed with ") + format + ", which is not read; decompress it first");
  if (twice_ && !regular_) {
    const std::string dir = temporary_folder();
    kept_ = unlinked_temporary_file(dir);
    if (kept_ < 0 || !write_all(kept_, head_, head_size_))
      return fail_errno("cannot keep the input for its second reading in " + printable(dir));
  }
  if (!gzip_) return true;
  if (regular_ && static_cast<std::size_t>(st.st_size) <= gzip_in_memory) {
    if (decompress_in_memory(static_cast<std::size_t>(st.st_size))) return true;
    if (!failure_.empty()) return false;
    if (::lseek(fd_, 0, SEEK_SET) != 0) return fail_errno();
  }
  inflater_ = std::make_unique<Inflater>();
  if (inflateInit2(&inflater_->zs, 15 + 16) != Z_OK) return fail("out of memory");
  inflater_->ready = true;
  return true;
}

// The whole file decompressed member after member into one block as large as
// the last member's stated length. False, with no failure set, when that does
// not work out for any reason (several members, a wrong length, damage, a
// member with a header checksum, memory that cannot be had): the file is then
// inflated as a stream, which names the damage if there is one.
bool TextSource::decompress_in_memory(std::size_t file_size) {
  if (file_size < 18) return false;  // shorter than the smallest member
  std::unique_ptr<char[]> in(new (std::nothrow) char[file_size]);
  if (!in) return false;
  std::size_t have = 0;
  while (have < file_size) {
    const long got = read_some(fd_, in.get() + have, file_size - have);
    if (got < 0) return fail_errno();
    if (got == 0) break;
    have += static_cast<std::size_t>(got);
  }
  if (have < 18) return false;
  const auto* tail = reinterpret_cast<const unsigned char*>(in.get() + have - 4);
  const std::size_t stated = tail[0] | tail[1] << 8 | tail[2] << 16 | std::size_t{tail[3]} << 24;
  if (stated + 1 > gzip_in_memory - have) return false;
  std::unique_ptr<char[]> text(new (std::nothrow) char[stated + 1]);
  if (!text) return false;
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  if (d == nullptr) return false;
  std::size_t used = 0, made = 0;
  bool ok = true;
  while (ok && used < have) {
    if (header_checksum(in.get() + used, have - used)) {
      ok = false;
      break;
    }
    std::size_t in_n = 0, out_n = 0;
    ok = libdeflate_gzip_decompress_ex(d, in.get() + used, have - used, text.get() + made,
                                       stated + 1 - made, &in_n, &out_n) == LIBDEFLATE_SUCCESS;
    used += in_n;
    made += out_n;
  }
  libdeflate_free_decompressor(d);
  if (!ok) return false;
  memory_ = std::move(text);
  memory_size_ = made;
  return true;
}

bool TextSource::keep_for_second_reading(const char* buf, std::size_t n) {
  if (write_all(kept_, buf, n)) return true;
  return fail_errno("cannot keep the input for its second reading in " +
                    printable(temporary_folder()));
}

long TextSource::read_raw(char* buf, std::size_t n) {
  if (reading_kept_) {
    const long got = read_some(kept_, buf, n);
    if (got < 0) fail_errno("reading the input kept for its second reading");
    return got;
  }
  if (head_used_ < head_size_) {
    const std::size_t k = std::min(n, head_size_ - head_used_);
    std::memcpy(buf, head_ + head_used_, k);
    head_used_ += k;
    return static_cast<long>(k);
  }
  const long got = read_some(fd_, buf, n);
  if (got < 0) {
    fail_errno();
    return -1;
  }
  if (got > 0 && kept_ >= 0 && !keep_for_second_reading(buf, static_cast<std::size_t>(got)))
    return -1;
  return got;
}

long TextSource::read_compressed(char* buf, std::size_t n) {
  Inflater& z = *inflater_;
  for (;;) {
    if (z.zs.avail_in == 0) {
      const long got = read_raw(reinterpret_cast<char*>(z.in.get()), compressed_block);
      if (got < 0) return -1;
      if (got == 0) {
        if (z.member_open) fail(damaged + "the compressed data ends early");
        return z.member_open ? -1 : 0;
      }
      z.zs.next_in = z.in.get();
      z.zs.avail_in = static_cast<uInt>(got);
    }
    if (!z.member_open) {  // another member, or bytes after the last one
      if (z.zs.next_in[0] != 0x1f) {
        fail(damaged + "bytes after the last member are not gzip data");
        return -1;
      }
      inflateReset(&z.zs);
      z.member_open = true;
    }
    z.zs.next_out = reinterpret_cast<unsigned char*>(buf);
    z.zs.avail_out = static_cast<uInt>(n);
    const int r = inflate(&z.zs, Z_NO_FLUSH);
    if (r == Z_STREAM_END) {
      z.member_open = false;
    } else if (r == Z_MEM_ERROR) {
      fail("out of memory");
      return -1;
    } else if (r != Z_OK && r != Z_BUF_ERROR) {
      fail(damaged + (z.zs.msg ? z.zs.msg : "cannot be inflated"));
      return -1;
    }
    const std::size_t made = n - z.zs.avail_out;
    if (made > 0) return static_cast<long>(made);
  }
}

long TextSource::read(char* buf, std::size_t n) {
  const long got = gzip_ ? read_compressed(buf, n) : read_raw(buf, n);
  if (got > 0 && twice_) sum_.update(buf, static_cast<std::size_t>(got));
  return got;
}

bool TextSource::rewind() {
  sum_ = Checksum{};
  if (memory_) return true;
  if (regular_) {
    if (::lseek(fd_, 0, SEEK_SET) != 0) return fail_errno();
  } else {
    if (kept_ < 0 || ::lseek(kept_, 0, SEEK_SET) != 0)
      return fail_errno("reading the input kept for its second reading");
    reading_kept_ = true;
  }
  if (inflater_) {
    inflater_->zs.avail_in = 0;
    inflater_->member_open = false;
  }
  return true;
}

}  // namespace gyro
