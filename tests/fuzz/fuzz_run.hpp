// One whole run in memory on arbitrary bytes: reading, analysis, report and
// the writer. Shared by the fuzzer and the replay of the inputs it found.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gyro {

// Runs the phases on `data` as the input file in mode 0 (report only), 1 (-t)
// or 2 (-r); returns the exit status.
int fuzz_run(const std::uint8_t* data, std::size_t size, int mode);

// Reads `data` as a file in blocks of `block` bytes and as text in memory, both
// twice (with a rewind between): any difference in the records aborts.
void fuzz_streaming(const std::uint8_t* data, std::size_t size, std::size_t block);

// The first line of the input as a --select expression: parsed, and when it
// parses, judged on the atom records of the rest (a crash or a fault is the
// finding); the same records read with it as a selection.
void fuzz_select(const std::uint8_t* data, std::size_t size);

// Aborts when a coordinate line's fields read at once (GRO, SDF) differ from
// the field-by-field reading, or when the shortest text of the input's bytes
// taken as floats and doubles differs from std::to_chars's.
void fuzz_numbers(const std::uint8_t* data, std::size_t size);

}  // namespace gyro
