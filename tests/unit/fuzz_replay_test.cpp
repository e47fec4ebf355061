// Every input the fuzzer found trouble with, and every test structure, run
// through the whole run in memory once more: nothing may crash or leak (the
// sanitizer build checks), and a run ends with one of the tool's statuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/fuzz_run.hpp"

namespace gyro {
namespace {

TEST(FuzzReplay, KeptInputsRunCleanly) {
  int replayed = 0;
  for (const char* dir : {GYRO_REGRESSIONS, GYRO_TEST_DATA}) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), {});
      for (int mode = 0; mode < 3; ++mode) {
        const int status =
            fuzz_run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), mode);
        EXPECT_TRUE(status == 0 || status == 1) << entry.path();
      }
      for (std::size_t block : {160, 239, 4096})
        fuzz_streaming(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), block);
      fuzz_select(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      fuzz_numbers(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 5);
}

}  // namespace
}  // namespace gyro
