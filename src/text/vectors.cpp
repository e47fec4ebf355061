#include "text/vectors.hpp"

namespace gyro::vectors {
namespace {

#if defined(__x86_64__)
// (The wide copies use the bit instructions of BMI2 too.)
const bool processor_has_wide = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
#else
const bool processor_has_wide = false;
#endif
bool wide_in_use = processor_has_wide;

}  // namespace

bool wide() { return wide_in_use; }

bool use_narrow_only(bool narrow) {
  const bool before = wide_in_use;
  wide_in_use = processor_has_wide && !narrow;
  return before;
}

}  // namespace gyro::vectors
