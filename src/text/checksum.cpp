#include "text/checksum.hpp"

#include <bit>
#include <cstring>

namespace gyro {
namespace {

using Lanes = std::uint64_t[4];

std::uint64_t word(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

#if defined(__x86_64__)
// Each crc32 instruction takes its 8 bytes straight from memory; four rounds
// of the four lanes a loop step, then what is left in steps of one round.
__attribute__((target("sse4.2"))) void crc_words(Lanes lane, const char* p, std::size_t n) {
  std::uint64_t a = lane[0], b = lane[1], c = lane[2], d = lane[3];
  auto round = [&](const char* q) __attribute__((target("sse4.2"))) {
    a = __builtin_ia32_crc32di(a, word(q));
    b = __builtin_ia32_crc32di(b, word(q + 8));
    c = __builtin_ia32_crc32di(c, word(q + 16));
    d = __builtin_ia32_crc32di(d, word(q + 24));
  };
  std::size_t i = 0;
  for (; i + 128 <= n; i += 128) {
    round(p + i);
    round(p + i + 32);
    round(p + i + 64);
    round(p + i + 96);
  }
  for (; i < n; i += 32) round(p + i);
  lane[0] = a, lane[1] = b, lane[2] = c, lane[3] = d;
}
const bool have_crc = __builtin_cpu_supports("sse4.2");
#else
void crc_words(Lanes, const char*, std::size_t) {}
const bool have_crc = false;
#endif

// Without the instruction: each word xored in, rotated (so that high bits
// reach the low ones) and multiplied by an odd constant; a bijection of the
// lane for every word, so a single changed word always shows.
void mixed_words(Lanes lane, const char* p, std::size_t n) {
  constexpr std::uint64_t k = 0x9E3779B97F4A7C15;
  for (std::size_t i = 0; i < n; i += 32)
    for (int j = 0; j < 4; ++j) lane[j] = std::rotl(lane[j] ^ word(p + i + 8 * j), 29) * k;
}

}  // namespace

void Checksum::words(const char* p, std::size_t n) {
  if (have_crc)
    crc_words(lane_, p, n);
  else
    mixed_words(lane_, p, n);
}

void Checksum::update(const char* p, std::size_t n) {
  length_ += n;
  if (carried_ > 0) {
    const std::size_t take = n < 32 - carried_ ? n : 32 - carried_;
    std::memcpy(carry_ + carried_, p, take);
    carried_ += take;
    p += take;
    n -= take;
    if (carried_ < 32) return;
    words(carry_, 32);
    carried_ = 0;
  }
  const std::size_t whole = n & ~std::size_t{31};
  words(p, whole);
  std::memcpy(carry_, p + whole, n - whole);
  carried_ = n - whole;
}

bool Checksum::operator==(const Checksum& other) const {
  return length_ == other.length_ && carried_ == other.carried_ &&
         std::memcmp(lane_, other.lane_, sizeof lane_) == 0 &&
         std::memcmp(carry_, other.carry_, carried_) == 0;
}

}  // namespace gyro
