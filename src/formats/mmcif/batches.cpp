#include "formats/mmcif/batches.hpp"

namespace gyro::cif {

[[gnu::noinline]] LineShape place_other_line_narrow(std::size_t n, const char* line,
                                                    int column_count, const int (&read_columns)[6],
                                                    PlainLayout& layout, OwnPlaces& own,
                                                    FoundLines& found) {
  return place_other_line_with<NarrowScan>(n, line, column_count, read_columns, layout, own, found);
}
#if defined(__x86_64__)
[[gnu::target("avx2,bmi2"), gnu::noinline]] LineShape place_other_line_wide(
    std::size_t n, const char* line, int column_count, const int (&read_columns)[6],
    PlainLayout& layout, OwnPlaces& own, FoundLines& found) {
  return place_other_line_with<WideScan>(n, line, column_count, read_columns, layout, own, found);
}
#endif

}  // namespace gyro::cif
