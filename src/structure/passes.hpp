// Where a pass over the input stopped early, for the caller to report.
#pragma once

#include <cstdint>
#include <string>

namespace gyro {

struct PassFault {
  // changed: the second reading of the file did not give the text of the first.
  // no_model: the selected model is not in the file.
  // damaged: mmCIF text that cannot be read, `text` saying why.
  enum class Kind { none, bad_field, full, read_error, changed, no_model, damaged } kind = Kind::none;
  long lineno = 0;         // 1-based line of the record
  int col = 0, width = 0;  // bad_field: the field's columns
  std::string text;        // bad_field: the field's text as read; read_error: why;
                           // full: the limit; no_model: the model and what the file has
  explicit operator bool() const { return kind != Kind::none; }
};

// How a copy (the second pass) ended.
struct WriteResult {
  PassFault fault;
  std::int64_t unfit = 0;  // coordinate values written as asterisks, NaN or Inf
};

// A field of `line` (1-based columns) that did not convert.
[[gnu::noinline]] PassFault field_fault(const char* line, long lineno, int col, int width);

// The diagnostic for a fault, naming the input file, with its line feed.
std::string pass_fault_text(const std::string& input_path, const PassFault& f);

}  // namespace gyro
