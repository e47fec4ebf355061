// The report as one line of JSON for scripts: keys instead of positions, and
// every number the run's own float written in full.
#pragma once

#include <string>
#include <cstdint>
#include <optional>
#include <string_view>

#include "app/run.hpp"

namespace gyro {

// The bytes as a JSON string with its quotes: quotes, backslashes and control
// characters escaped, every byte that is not part of valid UTF-8 written as
// U+FFFD.
std::string json_string(std::string_view bytes);

// The shortest decimal that reads back as the same float; null for NaN and
// the infinities, which JSON lacks.
std::string json_number(float v);
std::string json_number(double v);  // the same for a double (--double)

// The object of a run that analysed its input: file, counts, mass, centre,
// moments, axes, radius of gyration, skipped names, output name (with a
// flag), and `error` when not empty (a complete run that still failed).
std::string json_report(const RunContext& ctx, std::string_view error = {});

// The object of a run that stopped: the file and the message.
// With a model number, a failure of that model (--each-model).
std::string json_failure(const std::string& file, std::string_view message,
                         std::optional<std::int64_t> model = {});

}  // namespace gyro
