#include "text/checksum.hpp"

#include <sys/random.h>
#include <time.h>
#include <unistd.h>

#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace gyro {
namespace {

std::uint64_t word(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

// One step of the splitmix64 generator: spreads one key into many.
std::uint64_t split(std::uint64_t& s) {
  std::uint64_t z = (s += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

// The run's keys: the lanes' starting values and the round key, drawn once.
// Should the random source fail, the clock and the process number still give
// keys that no file written beforehand can know.
struct Keys {
  std::uint64_t start[8], round[2];
};
const Keys& run_keys() {
  static const Keys keys = [] {
    std::uint64_t s = 0;
    if (::getrandom(&s, sizeof s, 0) != static_cast<ssize_t>(sizeof s)) {
      timespec t{};
      ::clock_gettime(CLOCK_MONOTONIC, &t);
      s = static_cast<std::uint64_t>(t.tv_nsec) ^ static_cast<std::uint64_t>(t.tv_sec) << 30 ^
          static_cast<std::uint64_t>(::getpid()) << 44;
    }
    Keys k{};
    for (std::uint64_t& v : k.start) v = split(s);
    for (std::uint64_t& v : k.round) v = split(s);
    return k;
  }();
  return keys;
}

#if defined(__x86_64__)
// Each lane takes every fourth 16-byte block: xored in, then one AES round
// (with the AVX encoding, which xors straight from memory).
[[gnu::target("aes,avx")]] void aes_words(std::uint64_t* lane, const char* p, std::size_t n) {
  auto* l = reinterpret_cast<__m128i*>(lane);
  __m128i a = l[0], b = l[1], c = l[2], d = l[3];
  const __m128i key = _mm_loadu_si128(reinterpret_cast<const __m128i*>(run_keys().round));
  auto block = [&](std::size_t at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
  };
  for (std::size_t i = 0; i < n; i += 64) {
    a = _mm_aesenc_si128(_mm_xor_si128(a, block(i)), key);
    b = _mm_aesenc_si128(_mm_xor_si128(b, block(i + 16)), key);
    c = _mm_aesenc_si128(_mm_xor_si128(c, block(i + 32)), key);
    d = _mm_aesenc_si128(_mm_xor_si128(d, block(i + 48)), key);
  }
  l[0] = a, l[1] = b, l[2] = c, l[3] = d;
}
const bool have_aes = __builtin_cpu_supports("aes") && __builtin_cpu_supports("avx");
#else
void aes_words(std::uint64_t*, const char*, std::size_t) {}
const bool have_aes = false;
#endif

// Without the instruction: each word xored in, rotated and multiplied by an
// odd constant, whose carries make the step non-linear.
void mixed_words(std::uint64_t* lane, const char* p, std::size_t n) {
  const std::uint64_t k = run_keys().round[0] | 1;
  for (std::size_t i = 0; i < n; i += 64)
    for (int j = 0; j < 8; ++j) lane[j] = std::rotl(lane[j] ^ word(p + i + 8 * j), 29) * k;
}

}  // namespace

Checksum::Checksum() { std::memcpy(lane_, run_keys().start, sizeof lane_); }

void Checksum::words(const char* p, std::size_t n) {
  if (have_aes)
    aes_words(lane_, p, n);
  else
    mixed_words(lane_, p, n);
}

void Checksum::update(const char* p, std::size_t n) {
  length_ += n;
  if (carried_ > 0) {
    const std::size_t take = n < 64 - carried_ ? n : 64 - carried_;
    std::memcpy(carry_ + carried_, p, take);
    carried_ += take;
    p += take;
    n -= take;
    if (carried_ < 64) return;
    words(carry_, 64);
    carried_ = 0;
  }
  const std::size_t whole = n & ~std::size_t{63};
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
