#include "fuzz_run.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "app/run.hpp"
#include "formats/pdb/record_select.hpp"
#include "select/expression.hpp"
#include "text/fields.hpp"
#include "text/shortest.hpp"
#include "text/source.hpp"
#include "text/vectors.hpp"
#include "text/words.hpp"

namespace gyro {

int fuzz_run(const std::uint8_t* data, std::size_t size, int mode) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // One run context for all runs, as one process makes one run: the table is
  // allocated once, and every run starts by emptying it.
  static const auto ctx = std::make_unique<RunContext>();
  ctx->mode = mode == 2 ? Mode::rotated : mode == 1 ? Mode::centred : Mode::report_only;
  // Texts whose first byte is odd are made whole across their box (--whole).
  ctx->rules.whole = size > 0 && (data[0] & 1) != 0;
  ctx->input_path = "fuzz.pdb";
  ctx->output_path = "fuzz.out";
  Sink out(-1, "standard output"), err(-1, "standard error"), output(-1, ctx->output_path);
  RecordCursor records(text);
  return run_phases(*ctx, records, out, err, mode >= 1 ? &output : nullptr).status;
}

namespace {

// The records of one reading, concatenated.
std::string records_of(RecordCursor& cur) {
  std::string all;
  while (const char* line = cur.next()) all.append(line, reclen);
  return all;
}

}  // namespace

void fuzz_streaming(const std::uint8_t* data, std::size_t size, std::size_t block) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const int fd = memfd_create("fuzz", 0);
  if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
      ::lseek(fd, 0, SEEK_SET) != 0)
    std::abort();
  TextSource source(fd, true);
  const bool gzip = size >= 2 && data[0] == 0x1f && data[1] == 0x8b;
  if (!source.start()) {
    // Only gzip data can be damaged, and text compressed otherwise is refused.
    if (!gzip && source.failure().find("compressed with") != 0) std::abort();
    return;
  }
  RecordCursor streamed(source, block);
  if (gzip) {  // compressed: two readings give the same records, or both fail alike
    const std::string first = records_of(streamed);
    const bool failed = streamed.failed();
    const Checksum sum = streamed.checksum();
    if (!streamed.rewind()) std::abort();
    if (records_of(streamed) != first || streamed.failed() != failed ||
        !(streamed.checksum() == sum))
      std::abort();
    return;
  }
  RecordCursor in_memory(text);
  streamed.learn_layout();  // the second reading trusts what the first learnt
  for (int pass = 0; pass < 2; ++pass) {
    for (;;) {
      const char* a = pass == 1 && streamed.trusted() ? streamed.next<false, true>() : streamed.next();
      const char* b = in_memory.next();
      if ((a == nullptr) != (b == nullptr)) std::abort();
      if (a == nullptr) break;
      if (std::memcmp(a, b, reclen) != 0 || streamed.lineno() != in_memory.lineno()) std::abort();
    }
    if (!streamed.rewind() || !in_memory.rewind()) std::abort();
  }
}

void fuzz_select(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string_view first = text.substr(0, std::min<std::size_t>(text.find('\n'), 256));
  std::string error;
  const auto expression = SelectExpression::parse(first, error);
  if (!expression && error.empty()) std::abort();  // a refusal always says why
  if (!expression) return;
  // The verdicts reused from record to record are those of the plain
  // evaluation on every atom record.
  RecordVerdicts verdicts;
  for (std::size_t at = first.size(); at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string line(text.substr(at, end - at));
    at = end + 1;
    if (!line.starts_with("ATOM") && !line.starts_with("HETATM")) continue;
    line.resize(std::max<std::size_t>(line.size(), 80), ' ');
    if (verdicts.selects(*expression, line.c_str()) !=
        expression->selects(record_fields(line.c_str(), ~0u)))
      std::abort();
  }
  ReadingRules rules;
  rules.selection.expression = expression;
  RunContext ctx(rules);
  ctx.input_path = "fuzz.pdb";
  Sink out(-1, "standard output"), err(-1, "standard error");
  RecordCursor records(text.substr(first.size()));
  run_phases(ctx, records, out, err, nullptr);
}

void fuzz_numbers(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // The fields read at once (GRO 8.3 from a line's column 21, SDF 10.4 from
  // its first): whenever taken, each value the field-by-field reading's.
#if defined(__x86_64__)
  if (vectors::wide()) {
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t end = std::min(text.find('\n', at), text.size());
      std::string line(text.substr(at, end - at));
      at = end + 1;
      line.resize(std::max<std::size_t>(line.size(), 64), ' ');
      struct Layout {
        std::size_t from, width;
        bool taken;
      };
      float gro[4], sdf[4];
      const Layout layouts[] = {{20, 8, three_coordinate_fields_wide(line.data() + 20, gro)},
                                {0, 10, sdf_coordinate_fields_wide(line.data(), sdf)}};
      for (const Layout& l : layouts) {
        if (!l.taken) continue;
        for (std::size_t i = 0; i < 3; ++i) {
          float general = 0;
          const float quick = (l.width == 8 ? gro : sdf)[i];
          if (!parse_number(std::string_view(line).substr(l.from + l.width * i, l.width),
                            general) ||
              std::bit_cast<std::uint32_t>(general) != std::bit_cast<std::uint32_t>(quick))
            std::abort();
        }
      }
    }
  }
#endif
  // The shortest text of the bytes taken as floats and doubles is
  // std::to_chars's.
  auto same = [](auto v) {
    char a[64], b[64];
    const std::string_view quick(a, static_cast<std::size_t>(shortest_text(a, v) - a));
    const std::string_view general(b,
                                   static_cast<std::size_t>(std::to_chars(b, b + 64, v).ptr - b));
    if (quick != general) std::abort();
  };
  for (std::size_t k = 0; k + 8 <= size; k += 8) {
    std::uint64_t bits;
    std::memcpy(&bits, data + k, 8);
    const double d = std::bit_cast<double>(bits);
    const float f = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
    if (std::isfinite(d)) same(d);
    if (std::isfinite(f)) same(f);
  }
}

}  // namespace gyro
