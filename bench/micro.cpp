// Micro-benchmarks of the two hot routines: converting the fields of an atom
// record (and deciding its mass), and writing a coordinate record.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "structure/atoms.hpp"
#include "text/fields.hpp"
#include "text/numtext.hpp"

namespace {

// 1024 varied 80-byte atom records.
std::vector<char> sample_records() {
  std::vector<char> recs(1024 * gyro::reclen);
  const char* names[] = {" N  ", " CA ", " C  ", " O  ", "1HB ", "HG21", " OG "};
  for (int i = 0; i < 1024; ++i) {
    char line[128];
    std::snprintf(line, sizeof line,
                  "ATOM  %5d %s ALA A%4d    %8.3f%8.3f%8.3f  1.00 20.00           C", i + 1,
                  names[i % 7], i / 7 + 1, (i % 97) * 1.37 - 60.0, (i % 89) * -0.91 + 20.0,
                  (i % 83) * 2.03 - 80.0);
    std::memcpy(&recs[static_cast<std::size_t>(i) * gyro::reclen], line, gyro::reclen);
  }
  return recs;
}

void read_atom_record(benchmark::State& state) {
  const std::vector<char> recs = sample_records();
  float xyz[4];
  std::size_t i = 0;
  for (auto _ : state) {
    const char* line = &recs[(i++ & 1023) * gyro::reclen];
    gyro::FieldFault bad;
    const bool ok = gyro::atom_fields(line, xyz, bad);
    const float mass = gyro::atom_mass(line + 12);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(mass);
    benchmark::DoNotOptimize(xyz);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(read_atom_record);

void write_coordinate_record(benchmark::State& state) {
  const std::vector<char> recs = sample_records();
  char out[gyro::reclen + 1];
  std::size_t i = 0;
  float v = -57.123f;
  for (auto _ : state) {
    std::memcpy(out, &recs[(i++ & 1023) * gyro::reclen], gyro::reclen);
    out[gyro::reclen] = '\n';
    for (int k = 0; k < 3; ++k) gyro::coordinate_field(out + 30 + 8 * k, v + static_cast<float>(k));
    v = v + 0.731f;
    if (v > 900.0f) v = -57.123f;
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(write_coordinate_record);

}  // namespace
