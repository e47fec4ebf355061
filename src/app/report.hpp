// The report on standard output: file names, counts, mass, centre of mass,
// principal and relative moments, rotation matrix.
#pragma once

#include <string>

#include "analysis/shape.hpp"
#include "app/run.hpp"

namespace gyro {

// All report lines with their line feeds. Relative moments are computed here,
// each moment divided by the largest.
std::string report_text(const RunContext& ctx);

// With --shape: the shape descriptors of the report's analysis, a block after
// the report (label, then values as the report writes them).
std::string shape_text(const RunContext& ctx);
Shape shape_of_result(const RunContext& ctx);

// The note naming the quantities whose report fields print as asterisks
// because they are too wide; empty when every value fits. With the report's
// text, only a report that shows asterisks among its numbers is looked at.
std::string unfit_report_note(const RunContext& ctx);
std::string unfit_report_note(const RunContext& ctx, std::string_view report);

}  // namespace gyro
