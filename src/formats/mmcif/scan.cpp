#include "formats/mmcif/scan.hpp"

namespace gyro::cif {

[[gnu::noinline]] bool NarrowScan::quotes_close(const char* line, const std::uint64_t* filled,
                                                std::size_t words, std::uint64_t before) {
  return quotes_close_with<NarrowScan>(line, filled, words, before);
}
#if defined(__x86_64__)
[[gnu::target("avx2"), gnu::noinline]] bool WideScan::quotes_close(const char* line,
                                                                    const std::uint64_t* filled,
                                                                    std::size_t words,
                                                                    std::uint64_t before) {
  return quotes_close_with<WideScan>(line, filled, words, before);
}
#endif

}  // namespace gyro::cif
