// A fingerprint of a byte stream, to tell whether two readings of a file gave
// the same bytes. Four CRC-32C lanes over interleaved 8-byte words (the
// processor's crc32 instruction where it has one, a multiply-rotate mix
// otherwise) and the length: any change of the bytes changes it, but for a
// chance of about 2^-32 per lane touched.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gyro {

class Checksum {
 public:
  void update(const char* p, std::size_t n);
  // Equal when both saw the same bytes, cut into blocks in any way.
  bool operator==(const Checksum& other) const;
  std::uint64_t length() const { return length_; }

 private:
  void words(const char* p, std::size_t n);  // n a multiple of 32
  std::uint64_t lane_[4] = {0, 0, 0, 0};
  char carry_[32];
  std::size_t carried_ = 0;
  std::uint64_t length_ = 0;
};

}  // namespace gyro
