// Opt-in sweep (-DGYRO_SWEEP=ON) of float bit patterns through the writers of
// the report (15 columns, 4 decimals) and the structure file (8 columns, 3
// decimals), checked against the C library's printf of the value widened to
// double. Usage: number_sweep [STRIDE]; STRIDE 1 visits all 2^32 patterns.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "text/numtext.hpp"

namespace {

// What the field must hold: printf's text right-justified, or asterisks.
std::string expected(float v, int width, int decimals) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, static_cast<double>(v));
  if (n > width) return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width - n), ' ') + buf;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t stride = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 4099;
  long checked = 0, wrong = 0;
  for (std::uint64_t b = 0; b < (std::uint64_t{1} << 32); b += stride) {
    const float v = std::bit_cast<float>(static_cast<std::uint32_t>(b));
    if (!std::isfinite(v)) continue;
    char report[15], coord[8], quick[8];
    gyro::fixed_field(report, v, 15, 4);
    gyro::fixed_field(coord, v, 8, 3);
    gyro::coordinate_field(quick, v);
    const std::string want15 = expected(v, 15, 4), want8 = expected(v, 8, 3);
    if (want15 != std::string(report, 15) || want8 != std::string(coord, 8) ||
        want8 != std::string(quick, 8)) {
      if (++wrong <= 10) std::printf("wrong for %.9g\n", static_cast<double>(v));
    }
    ++checked;
  }
  std::printf("%ld values checked, %ld wrong\n", checked, wrong);
  return wrong == 0 ? 0 : 1;
}
