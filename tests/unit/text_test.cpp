// Field conversion, fixed-point fields, free-form lines and record splitting.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "text/checksum.hpp"
#include "text/fields.hpp"
#include "text/numtext.hpp"
#include "text/records.hpp"
#include "text/shortest.hpp"
#include "text/source.hpp"

namespace gyro {
namespace {

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

std::optional<std::int32_t> int_field(std::string_view field) {
  std::int32_t v = 0;
  if (!gyro::int_field(field, v)) return std::nullopt;
  return v;
}

std::optional<float> real_field(std::string_view field, int decimals) {
  float v = 0;
  if (!gyro::real_field(field, decimals, v)) return std::nullopt;
  return v;
}

TEST(IntField, ReadsSignedDigitsIgnoringBlanks) {
  struct Case { const char* text; std::optional<std::int32_t> want; };
  const Case cases[] = {
      {"   42", 42}, {"  4 2", 42}, {"     ", 0}, {"  -17", -17}, {"+ 0 7", 7},
      {"  4a2", std::nullopt}, {"    -", std::nullopt}, {"   +-", std::nullopt},
      {"1e3  ", std::nullopt}, {"186a0", std::nullopt}, {"  1.0", std::nullopt},
      {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1},
      {"2147483648", std::nullopt}, {"99999999999999999999", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(int_field(c.text), c.want) << '"' << c.text << '"';
}

TEST(RealField, ConvertsToTheNearestFloat) {
  struct Case { const char* text; float want; };
  const Case cases[] = {
      {"  -1.500", -1.5f}, {"   12345", 12.345f}, {"      -5", -0.005f}, {"        ", 0.0f},
      {" 1 2.3 4", 12.34f}, {"  11.104", 11.104f}, {"-124.503", -124.503f},
      {"1.5E2   ", 150.0f}, {"1.5D2   ", 150.0f}, {"1.5e-2  ", 0.015f}, {"1.5d+2  ", 150.0f},
      {"  1.5-3 ", 0.0015f}, {"  1.5+3 ", 1500.0f}, {"   15E1 ", 0.15f}, {"      5.", 5.0f},
      {"     .25", 0.25f}, {"+0.1    ", 0.1f}, {"99999999", 99999.999f},
      {"1.000000000000000000001", 1.0f}, {"3.4028234E38", 3.4028234e38f},
      {"1E-60", 0.0f}, {"16777217", 16777.217f}, {"1.6777217E7", 16777216.0f},
      {"0.1E-40", 1e-41f}, {"1E40", 1e37f},
  };
  for (const auto& c : cases) {
    auto got = real_field(c.text, 3);
    ASSERT_TRUE(got) << c.text;
    EXPECT_EQ(bits(*got), bits(c.want)) << '"' << c.text << '"';
  }
  EXPECT_TRUE(std::signbit(*real_field("  -0.000", 3)));
}

TEST(RealField, RefusesOtherForms) {
  for (const char* text : {"  1.2x45", "       -", "       .", "     -. ", "1.5E    ", "1.5D-   ",
                           "  1.2.3 ", "     inf", "     NaN", "Infinity", "1.0E39  ", "-1.E40  ",
                           "  E5    ", "1.5E2.0 ", "1+2+3   ", "  0x1F  "})
    EXPECT_FALSE(real_field(text, 3)) << '"' << text << '"';
}

// The readers of the usual layout (one field in a word, a whole record in
// vectors) must accept only text that the full conversion reads, and give the
// same values: random fields over the characters that matter, checked against
// the C library's correctly rounded conversion of the same digits.
TEST(UsualLayouts, AgreeWithTheFullConversion) {
  std::mt19937 gen(7);
  const char alphabet[] = "      ---..0123456789+E";
  long accepted = 0, usual = 0;
  for (int trial = 0; trial < 200000; ++trial) {
    char line[80];
    std::memset(line, ' ', sizeof line);
    for (int i = 6; i < 54; ++i) line[i] = alphabet[gen() % (sizeof alphabet - 1)];
    if (trial % 2 == 0) {  // half of them in the usual shape, a few bytes disturbed
      char serial[8];
      std::snprintf(serial, sizeof serial, "%5u", static_cast<unsigned>(gen() % 100000));
      std::memcpy(line + 6, serial, 5);
      for (int k = 0; k < 3; ++k) {
        char buf[16];
        const int milli = static_cast<int>(gen() % 2000001) - 1000000;
        std::snprintf(buf, sizeof buf, "%8.3f", milli / 1000.0);
        std::memcpy(line + 30 + 8 * k, buf, 8);
        if (gen() % 4 == 0) line[30 + 8 * k + gen() % 8] = alphabet[gen() % (sizeof alphabet - 1)];
      }
    }
    float xyz[4], one[3];
    bool each = true;
    for (int k = 0; k < 3; ++k) {
      const std::string_view field(line + 30 + 8 * k, 8);
      if (!pdb_coordinate(field.data(), one[k])) {
        each = false;
        continue;
      }
      ++accepted;
      std::string squeezed(field);
      std::erase(squeezed, ' ');
      EXPECT_EQ(bits(one[k]), bits(std::strtof(squeezed.c_str(), nullptr))) << field;
    }
    const bool serial = plain_serial(line);
    if (serial) {
      EXPECT_TRUE(int_field(std::string_view(line + 6, 5)));
    }
    ASSERT_EQ(usual_atom_fields(line, xyz), serial && each) << std::string_view(line, 54);
    usual += serial && each;
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2")) {
      float wide[4];
      ASSERT_EQ(usual_atom_fields_wide(line, wide), serial && each) << std::string_view(line, 54);
      for (int k = 0; serial && each && k < 3; ++k) EXPECT_EQ(bits(wide[k]), bits(one[k]));
    }
#endif
    for (int k = 0; serial && each && k < 3; ++k) EXPECT_EQ(bits(xyz[k]), bits(one[k]));
  }
  EXPECT_GT(accepted, 100000);
  EXPECT_GT(usual, 40000);
}

TEST(FixedField, RoundsTheExactValueTiesToEven) {
  struct Case { float v; int w, d; const char* want; };
  const float inf = std::numeric_limits<float>::infinity();
  const Case cases[] = {
      {12.34567f, 15, 4, "        12.3457"}, {0.5f, 15, 4, "         0.5000"},
      {-0.00001f, 15, 4, "        -0.0000"}, {-0.0f, 15, 4, "        -0.0000"},
      {999.9994f, 7, 3, "999.999"}, {999.9996f, 7, 3, "*******"}, {-99.9996f, 7, 3, "*******"},
      {-99.9994f, 7, 3, "-99.999"}, {1000.0f, 7, 3, "*******"}, {-100.0f, 7, 3, "*******"},
      {-0.0004f, 7, 3, " -0.000"}, {0.125f, 8, 2, "    0.12"}, {0.375f, 8, 2, "    0.38"},
      {2.5f, 8, 0, "      2."}, {-100.0f, 8, 3, "-100.000"}, {9999.999f, 8, 3, "9999.999"},
      {-1000.0f, 8, 3, "********"}, {0.0005f, 8, 3, "   0.001"},
      {0.0625f, 15, 3, "          0.062"},
      {std::nanf(""), 7, 3, "    NaN"}, {inf, 7, 3, "    Inf"}, {-inf, 7, 3, "   -Inf"},
      {inf, 8, 3, "Infinity"}, {-inf, 8, 3, "    -Inf"}, {-inf, 15, 4, "      -Infinity"},
      {3.4028235e38f, 15, 4, "***************"}, {1e9f, 15, 4, "1000000000.0000"},
      {1e10f, 15, 4, "***************"},
  };
  for (const auto& c : cases) EXPECT_EQ(fixed(c.v, c.w, c.d), c.want) << c.v;
  EXPECT_EQ(fixed(std::numeric_limits<float>::denorm_min(), 15, 4), "         0.0000");
}

// The writers of the report (15.4) and of the structure file (8.3, general and
// quick) against printf of the value widened to double, over float bit patterns
// (every 65537th; GYRO_SWEEP_STRIDE=1 visits all 2^32, about an hour) and
// values in the coordinates' range and at the quick writer's edges.
TEST(FixedField, WritersAgreeWithPrintf) {
  const char* env = std::getenv("GYRO_SWEEP_STRIDE");
  const std::uint64_t stride = env != nullptr ? std::strtoull(env, nullptr, 10) : 65537;
  std::vector<float> values = {9998.9995f, 9999.0f, -999.9995f, -999.9994f, 999.9995f, -0.0005f,
                               123.4565f, std::numeric_limits<float>::infinity(), std::nanf("")};
  std::mt19937 gen(11);
  for (int i = 0; i < 100000; ++i)
    values.push_back(static_cast<float>(static_cast<int>(gen() % 40000000) - 20000000) / 2000.0f);
  for (std::uint64_t b = 0; b < (std::uint64_t{1} << 32); b += stride)
    values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(b)));
  auto printf_field = [](float v, int width, int decimals) {
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, static_cast<double>(v));
    if (n > width) return std::string(static_cast<std::size_t>(width), '*');
    return std::string(static_cast<std::size_t>(width - n), ' ') + buf;
  };
#if defined(__x86_64__)
  const bool wide = __builtin_cpu_supports("avx2");
#endif
  for (std::size_t i = 0; i < values.size(); ++i) {
    const float v = values[i];
    char quick[8], general[8];
    ASSERT_EQ(coordinate_field(quick, v), fixed_field(general, v, 8, 3)) << v;
    ASSERT_EQ(std::string(quick, 8), std::string(general, 8)) << v;
#if defined(__x86_64__)
    if (wide) {  // three at once: this value, its negative, and the one before
      const float xyz[4] = {v, -v, values[i > 0 ? i - 1 : 0], 0.0f};  // xyz[3] must be 0
      char three[24], one[24];
      ASSERT_EQ(coordinate_fields_wide(three, _mm_loadu_ps(xyz)), coordinate_fields(one, xyz)) << v;
      ASSERT_EQ(std::string(three, 24), std::string(one, 24)) << v;
    }
#endif
    if (!std::isfinite(v)) continue;
    ASSERT_EQ(std::string(general, 8), printf_field(v, 8, 3)) << v;
    ASSERT_EQ(fixed(v, 15, 4), printf_field(v, 15, 4)) << v;
  }
}

// The shortest text of a float or double (JSON's numbers) is what
// std::to_chars writes: floats by bit pattern (every 4099th; GYRO_SWEEP_STRIDE=1
// visits all 2^32, a few minutes), the bounds of the exact path, powers of two
// and ten (a closer lower neighbour, exact ties), and doubles at random bit
// patterns, magnitudes and short decimals.
TEST(ShortestText, AgreesWithToChars) {
  auto same = [](auto v) {
    char want[64], got[64];
    const std::string expected(want, std::to_chars(want, want + sizeof want, v).ptr);
    return expected == std::string(got, shortest_text(got, v))
               ? testing::AssertionSuccess()
               : testing::AssertionFailure()
                     << expected << " written as " << std::string(got, shortest_text(got, v));
  };
  const char* env = std::getenv("GYRO_SWEEP_STRIDE");
  const std::uint64_t stride = env != nullptr ? std::strtoull(env, nullptr, 10) : 4099;
  for (std::uint64_t b = 0; b < (std::uint64_t{1} << 32); b += stride) {
    const float v = std::bit_cast<float>(static_cast<std::uint32_t>(b));
    if (!std::isfinite(v)) continue;
    ASSERT_TRUE(same(v)) << std::hex << b;
  }
  for (int k = -330; k <= 310; ++k) {
    const double ten = std::pow(10.0, k), two = std::ldexp(1.0, k);
    for (const double v : {ten, std::nextafter(ten, 0.0), std::nextafter(ten, 1e300), two,
                           std::nextafter(two, 0.0), -two, 0.5 * ten, 1.5 * ten})
      if (std::isfinite(v)) {
        ASSERT_TRUE(same(v)) << v;
        ASSERT_TRUE(same(static_cast<float>(v))) << v;
      }
  }
  std::mt19937_64 gen(5);
  std::uniform_real_distribution<double> exponent(-12, 17);
  for (int k = 0; k < 300000; ++k) {
    const std::uint64_t bits = gen();
    const double any = std::bit_cast<double>(bits);
    const double scaled = std::pow(10.0, exponent(gen)) * ((bits & 1) ? -1 : 1);
    const double decimal = static_cast<double>(bits % 100000000) / std::pow(10.0, bits % 13);
    for (const double v : {any, scaled, decimal}) {
      if (!std::isfinite(v)) continue;
      ASSERT_TRUE(same(v)) << v;
    }
  }
}

// Doubles (--double writes its coordinates from them) to 3 and 4 decimals
// as printf writes them: random values, and values a hair from a tie either
// way, where the quick rounding must leave the decision to the conversion.
TEST(FixedField, DoublesAgreeWithPrintf) {
  std::mt19937_64 gen(11);
  std::uniform_real_distribution<double> any(-9999.9995, 9999.9995);
  std::vector<double> values;
  for (int k = 0; k < 200000; ++k) values.push_back(any(gen));
  for (int k = 0; k < 20000; ++k) {
    const double tie = std::floor(any(gen) * 1000) / 1000 + 0.0005;
    for (const double v : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e9),
                           tie * (1 + 1e-15), tie * (1 - 1e-15)})
      values.push_back(v);
  }
  char want[64];
  for (const double v : values)
    for (const int decimals : {3, 4}) {
      std::snprintf(want, sizeof want, "%20.*f", decimals, v);
      ASSERT_EQ(fixed(v, 20, decimals), std::string(want)) << v;
    }
  // The coordinate field's own quick writers, one and three at a time,
  // against the general one (three: this value, its negative, the one before;
  // and the values that do not fit).
  for (const double v : {-999.9995, -1000.0004, 9998.9995, 9999.0, -0.0, 1e300,
                         std::numeric_limits<double>::quiet_NaN(),
                         -std::numeric_limits<double>::infinity()})
    values.push_back(v);
#if defined(__x86_64__)
  const bool wide = __builtin_cpu_supports("avx2");
#endif
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double v = values[i];
    char quick[8], general[8];
    ASSERT_EQ(coordinate_field(quick, v), fixed_field(general, v, 8, 3)) << v;
    ASSERT_EQ(std::string(quick, 8), std::string(general, 8)) << v;
#if defined(__x86_64__)
    if (wide) {
      const double xyz[3] = {v, -v, values[i > 0 ? i - 1 : 0]};
      char three[24], one[24];
      int unfit = 0;
      for (int k = 0; k < 3; ++k) unfit += !coordinate_field(one + 8 * k, xyz[k]);
      ASSERT_EQ(coordinate_fields_double_wide(three, xyz[0], xyz[1], xyz[2]), unfit) << v;
      ASSERT_EQ(std::string(three, 24), std::string(one, 24)) << v;
    }
#endif
  }
}

TEST(FreeLine, JoinsTextsAndNumbersByTheBlankRules) {
  EXPECT_EQ(FreeLine().str(), "\n");
  EXPECT_EQ(FreeLine().text("Unknown atom type ").text("ZN   ").str(),
            " Unknown atom type ZN   \n");
  EXPECT_EQ(FreeLine().text("# atoms read").num(1234).text("     # atoms skipped").num(0).str(),
            " # atoms read        1234      # atoms skipped           0\n");
  EXPECT_EQ(FreeLine().text("error ").num(-3).str(), " error           -3\n");
  EXPECT_EQ(FreeLine().num(5).num(-6).str(), "           5          -6\n");
}

template <bool Wide = false, bool Trusted = false>
std::vector<std::string> records_of(RecordCursor& cur) {
  std::vector<std::string> got;
  while (const char* line = cur.next<Wide, Trusted>()) got.emplace_back(line, reclen);
  return got;
}

TEST(RecordCursor, CutsAndFillsLinesTo80Bytes) {
  const std::string text = "\nabc\r\n" + std::string(100, 'x') + "\n" + std::string(80, 'y') +
                           "\r\nlast\rline";
  RecordCursor cur(text);
  const std::vector<std::string> want = {std::string(80, ' '), "abc" + std::string(77, ' '),
                                         std::string(80, 'x'), std::string(80, 'y'),
                                         "last\rline" + std::string(71, ' ')};
  EXPECT_EQ(records_of(cur), want);
  EXPECT_EQ(cur.lineno(), 5);
  RecordCursor empty("");
  EXPECT_EQ(empty.next(), nullptr);
}

// Streaming in blocks gives the records of the same text in memory, also for
// lines that straddle blocks or outgrow one, and a last line without a feed.
TEST(RecordCursor, StreamsAFileLikeTheSameTextInMemory) {
  std::string text;
  for (int i = 0; i < 40000; ++i) text += "ATOM  " + std::to_string(i) + "\r\n";
  text += "REMARK " + std::string(3 << 20, 'z') + "\n\n";
  for (int i = 0; i < 30000; ++i) text += std::string(static_cast<std::size_t>(i % 97), 'q') + "\n";
  text += "END";
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), f), text.size());
  std::fflush(f);
  std::rewind(f);
  TextSource source(::dup(fileno(f)), true);
  ASSERT_TRUE(source.start());
  RecordCursor streamed(source), in_memory(text);
  const std::vector<std::string> want = records_of(in_memory);
  EXPECT_EQ(records_of(streamed), want);
  EXPECT_EQ(streamed.lineno(), 70003);
  EXPECT_FALSE(streamed.failed());
#if defined(__x86_64__)
  if (__builtin_cpu_supports("avx2")) {  // the record test with 256-bit vectors
    ASSERT_TRUE(streamed.rewind());
    EXPECT_EQ(records_of<true>(streamed), want);
    in_memory.rewind();
    EXPECT_EQ(records_of<true>(in_memory), want);
  }
#endif
  std::fclose(f);
}

// A second reading that trusts the layout the first learnt (which lines were
// not 80-byte records) gives the same records; with too many such lines to
// keep, nothing is trusted and the records are the same too.
TEST(RecordCursor, SecondReadingTrustsTheLayoutLearnt) {
  for (int irregular : {300, 5000}) {
    std::string text;
    for (int i = 0; i < 20000; ++i) {
      std::string line = "ATOM  " + std::to_string(i);
      line.resize(80, static_cast<char>('a' + i % 26));
      if (i % (20000 / irregular) == 0) line.resize(static_cast<std::size_t>(i % 120));
      text += line + (i % 7 == 0 ? "\r\n" : "\n");
    }
    text += "END";
    RecordCursor first(text), plain(text);
    const std::vector<std::string> want = records_of(plain);
    first.learn_layout();
    EXPECT_EQ(records_of(first), want);
    ASSERT_TRUE(first.rewind());
    EXPECT_EQ(first.trusted(), irregular < 4096) << irregular;
    EXPECT_EQ((first.trusted() ? records_of<false, true>(first) : records_of(first)), want);
  }
}

// The checksum does not depend on how the bytes are cut into blocks, and any
// change of a byte, or of the length, shows.
TEST(Checksum, SameBytesInAnyBlocksAndNoOther) {
  std::string text(10007, ' ');
  std::mt19937 gen(7);
  for (char& c : text) c = static_cast<char>(' ' + gen() % 90);
  auto sum = [](std::string_view t, std::size_t step) {
    Checksum c;
    for (std::size_t i = 0; i < t.size(); i += step) c.update(t.data() + i, std::min(step, t.size() - i));
    return c;
  };
  const Checksum whole = sum(text, text.size());
  for (std::size_t step : {1, 7, 31, 32, 33, 4096}) EXPECT_TRUE(sum(text, step) == whole) << step;
  for (std::size_t at : {0, 5, 31, 32, 5000, 10006}) {
    std::string changed = text;
    changed[at] = static_cast<char>(changed[at] ^ 0x10);
    EXPECT_FALSE(sum(changed, 64) == whole) << at;
  }
  EXPECT_FALSE(sum(text.substr(0, 10006), 64) == whole);
  EXPECT_FALSE(sum(text + '\0', 64) == whole);
}

}  // namespace
}  // namespace gyro
