#include "fuzz_run.hpp"

#include <memory>
#include <string_view>

#include "app/run.hpp"

namespace gyro {

int fuzz_run(const std::uint8_t* data, std::size_t size, int mode) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // One run context for all runs, as one process makes one run: the table is
  // allocated once, and every run starts by emptying it.
  static const auto ctx = std::make_unique<RunContext>();
  ctx->rflag = mode == 2;
  ctx->tflag = mode >= 1;
  ctx->pdbin = "fuzz.pdb";
  ctx->pdbout = "fuzz.out";
  Sink out(-1, "standard output"), err(-1, "standard error"), pdbout(-1, ctx->pdbout);
  RecordCursor records(text);
  return run_phases(*ctx, records, out, err, ctx->tflag ? &pdbout : nullptr);
}

}  // namespace gyro
