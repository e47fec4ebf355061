// The floor a run of gyrolabium is measured against, built statically like
// gyrolabium: `floor FILE` opens the input and reads it once in large blocks;
// `floor FILE OUT` reads it twice, creates OUT exclusively and writes the
// input's bytes to it on the second reading.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace {

constexpr std::size_t block = std::size_t{1} << 17;

long read_through(int fd, char* buf, int out) {
  long total = 0;
  for (;;) {
    ssize_t got = ::read(fd, buf, block);
    if (got <= 0) return got < 0 ? -1 : total;
    if (out >= 0 && ::write(out, buf, static_cast<std::size_t>(got)) != got) return -1;
    total += got;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: floor FILE [OUT]\n");
    return 2;
  }
  const int in = ::open(argv[1], O_RDONLY);
  const int out = argc > 2 ? ::open(argv[2], O_WRONLY | O_CREAT | O_EXCL, 0666) : -1;
  if (in < 0 || (argc > 2 && out < 0)) return 1;
  std::unique_ptr<char[]> buf(new char[block]);
  if (read_through(in, buf.get(), -1) < 0) return 1;
  if (out >= 0 && (lseek(in, 0, SEEK_SET) != 0 || read_through(in, buf.get(), out) < 0)) return 1;
  ::close(in);
  if (out >= 0 && ::close(out) != 0) return 1;
  return 0;
}
