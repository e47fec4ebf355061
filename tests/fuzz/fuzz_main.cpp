// libFuzzer entry: a whole run on each input the fuzzer makes.
#include <cstddef>
#include <cstdint>

#include "fuzz_run.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int mode = size > 0 ? data[size - 1] % 3 : 0;  // the last byte picks the mode
  gyro::fuzz_run(data, size, mode);
  gyro::fuzz_streaming(data, size, 160 + (size > 0 ? data[0] : 0));  // small blocks: many refills
  gyro::fuzz_select(data, size);
  gyro::fuzz_numbers(data, size);
  return 0;
}
