// A fingerprint of a byte stream, to tell whether two readings of a file gave
// the same bytes. Four lanes of 128 bits take the bytes in turn, 16 at a time,
// each step a round of AES (the processor's instruction; a multiply-rotate mix
// on processors without it) under keys drawn from the system's random source
// when the run starts. The rounds are not linear and their keys are unknown
// to whoever writes the file, so no change can be crafted to keep the
// fingerprint, and a change by chance keeps it with a negligible probability.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gyro {

class Checksum {
 public:
  Checksum();  // of no bytes yet, with this run's keys
  void update(const char* p, std::size_t n);
  // Equal when both saw the same bytes, cut into blocks in any way.
  bool operator==(const Checksum& other) const;
  std::uint64_t length() const { return length_; }

 private:
  void words(const char* p, std::size_t n);  // n a multiple of 64
  alignas(16) std::uint64_t lane_[8];
  char carry_[64];
  std::size_t carried_ = 0;
  std::uint64_t length_ = 0;
};

}  // namespace gyro
