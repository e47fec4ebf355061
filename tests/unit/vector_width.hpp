// Test suites that run at every vector width the reading and writing loops
// have: with 256-bit vectors where the processor has them, and with 128-bit
// ones, which would otherwise never run on such a processor.
#pragma once

#include <gtest/gtest.h>

#include "text/vectors.hpp"

namespace gyro {

class AtEveryVectorWidth : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { was_wide_ = vectors::use_narrow_only(GetParam()); }
  void TearDown() override { vectors::use_narrow_only(!was_wide_); }

 private:
  bool was_wide_ = false;
};

inline std::string vector_width_name(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "narrow" : "widest";
}

}  // namespace gyro

// A suite of TEST_P cases run at each width.
#define RUN_AT_EVERY_VECTOR_WIDTH(Suite)                                                  \
  class Suite : public ::gyro::AtEveryVectorWidth {};                                     \
  INSTANTIATE_TEST_SUITE_P(Vectors, Suite, ::testing::Values(false, true),               \
                           ::gyro::vector_width_name)
