// Command-line modes and the texts of the early stops.
#include <gtest/gtest.h>

#include <charconv>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "app/cmdline.hpp"
#include "app/json.hpp"
#include "app/notes.hpp"

namespace gyro {
namespace {

CmdLine parse(std::vector<const char*> args) {
  args.insert(args.begin(), "gyrolabium");
  return parse_command_line(static_cast<int>(args.size()), args.data());
}

// What the end-to-end stop cases do not show: ignored arguments, blanks around
// flags and names, flags that only look alike.
TEST(CommandLine, ChoosesModeAndNames) {
  using S = CmdLine::Stop;
  struct Case {
    std::vector<const char*> args;
    S stop;
    Mode mode;
    const char *in, *out;
  };
  const Case cases[] = {
      {{"a.pdb", "b.pdb", "c"}, S::none, Mode::report_only, "a.pdb", ""},
      {{"-r", "a.pdb", "b.pdb", "extra"}, S::none, Mode::rotated, "a.pdb", "b.pdb"},
      {{"-rt  ", "a.pdb  ", " b.pdb "}, S::none, Mode::rotated, "a.pdb", " b.pdb"},
      {{"-tr", "a", "b"}, S::none, Mode::rotated, "a", "b"},
      {{"-x", "a.pdb"}, S::usage, Mode::report_only, "", ""},
      {{"-rr", "a.pdb", "b"}, S::flag_error, Mode::report_only, "", ""},
      {{" -r", "a.pdb", "b"}, S::none, Mode::report_only, " -r", ""},
      {{"", "a.pdb"}, S::none, Mode::report_only, "", ""},
      // Long options anywhere before "--"; after it every argument is a name.
      {{"a.pdb", "--model=3"}, S::none, Mode::report_only, "a.pdb", ""},
      {{"-r", "--altloc=A", "a", "--masses=element", "b"}, S::none, Mode::rotated, "a", "b"},
      {{"--", "--x"}, S::none, Mode::report_only, "--x", ""},
      {{"-t", "--", "-a", "--b"}, S::none, Mode::centred, "-a", "--b"},
      {{"--model=1", "--help", "a.pdb"}, S::help, Mode::report_only, "", ""},
      {{"-r", "a", "b", "--max-atoms=1e6"}, S::option_error, Mode::report_only, "", ""},
  };
  for (const auto& c : cases) {
    CmdLine cl = parse(c.args);
    EXPECT_EQ(cl.stop, c.stop) << c.args.size();
    if (c.stop != S::none) continue;
    EXPECT_EQ(cl.mode, c.mode);
    EXPECT_EQ(cl.input_path, c.in);
    EXPECT_EQ(cl.output_path, c.out);
  }
}

TEST(CommandLine, TakesSelectionOptions) {
  const CmdLine cl = parse({"--max-atoms=1000000", "a.pdb", "--model=12", "--altloc=~",
                            "--masses=element"});
  ASSERT_EQ(cl.stop, CmdLine::Stop::none);
  EXPECT_EQ(cl.rules.max_atoms, 1000000);
  EXPECT_EQ(cl.rules.selection.model, 12);
  EXPECT_EQ(cl.rules.selection.altloc, '~');
  EXPECT_EQ(cl.rules.masses, MassSource::element);
  EXPECT_FALSE(parse({"--masses=name", "a.pdb"}).rules.selection.any());
}

TEST(Json, StringsAreValidJsonWhateverTheBytes) {
  struct Case { std::string_view bytes; const char* want; };
  using namespace std::string_view_literals;
  const Case cases[] = {
      {"a.pdb", R"("a.pdb")"},
      {"q\"b\\", R"("q\"b\\")"},
      {"\x1b[2J\n\t\x7f", R"("\u001b[2J\u000a\u0009")"},
      {"\0x"sv, R"("\u0000x")"},
      {"\xc3\x91 \xe2\x82\xac \xf0\x9f\x98\x80", "\"\xc3\x91 \xe2\x82\xac \xf0\x9f\x98\x80\""},
      // Not UTF-8: a lone continuation, an overlong form, a surrogate, past
      // U+10FFFF, a sequence cut short, a byte that never begins one.
      {"\x80", "\"\uFFFD\""}, {"\xc0\x80", "\"\uFFFD\uFFFD\""},
      {"\xed\xa0\x80", "\"\uFFFD\uFFFD\uFFFD\""}, {"\xf4\x90\x80\x80", "\"\uFFFD\uFFFD\uFFFD\uFFFD\""},
      {"\xe2\x82", "\"\uFFFD\uFFFD\""}, {"\xff" "a", "\"\uFFFDa\""},
  };
  for (const auto& c : cases) EXPECT_EQ(json_string(c.bytes), c.want) << c.bytes;
}

// Long names cross the writer's buffer and its 16-byte scans: every byte
// that needs escaping, wherever it stands, is escaped, and nothing is lost.
TEST(Json, LongStringsAreEscapedWhereverTheSpecialBytesStand) {
  auto reference = [](std::string_view s) {
    std::string j = "\"";
    for (const char c : s) {
      if (c == '"' || c == '\\') {
        j += '\\';
        j += c;
      } else if (static_cast<unsigned char>(c) < 0x20) {
        static constexpr char hex[] = "0123456789abcdef";
        j += "\\u00";
        j += hex[c >> 4];
        j += hex[c & 15];
      } else {
        j += c;
      }
    }
    return j + "\"";
  };
  for (const std::size_t size : {15u, 16u, 17u, 31u, 2000u, 2047u, 2048u, 2049u, 5000u})
    for (const std::size_t at : {std::size_t{0}, std::size_t{15}, std::size_t{16}, size / 2,
                                 size - 1, std::size_t{1950}, std::size_t{2040}})
      for (const char special : {'"', '\\', '\n', '\x01'}) {
        std::string s(size, 'a');
        for (std::size_t k = 0; k < size; ++k) s[k] = static_cast<char>('a' + k % 26);
        if (at < size) s[at] = special;
        if (at + 17 < size) s[at + 17] = special;
        ASSERT_EQ(json_string(s), reference(s)) << size << " " << at;
      }
}

TEST(Json, NumbersAreTheShortestThatReadBack) {
  EXPECT_EQ(json_number(4412.952f), "4412.952");
  EXPECT_EQ(json_number(0.1f), "0.1");
  EXPECT_EQ(json_number(-0.0f), "-0");
  EXPECT_EQ(json_number(7206690304.0f), "7206690304");
  EXPECT_EQ(json_number(std::numeric_limits<float>::quiet_NaN()), "null");
  EXPECT_EQ(json_number(-std::numeric_limits<float>::infinity()), "null");
  for (float v : {1.0f / 3, 2.7777777e-10f, 3.4028235e38f, 1.4e-45f}) {
    const std::string text = json_number(v);
    float back = 0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    EXPECT_EQ(back, v) << text;
  }
}

}  // namespace
}  // namespace gyro

namespace gyro {
namespace {

TEST(Notes, TwoSignificantDigitsWithoutExponent) {
  struct Case { double v; const char* want; };
  const Case cases[] = {{10000020.0, "10000000"}, {1349000.0, "1300000"}, {78.4, "78"},
                        {4.43, "4.4"},           {0.172, "0.17"},        {0.0114, "0.011"},
                        {1.0, "1.0"},            {0.0, "0"}};
  for (const auto& c : cases) EXPECT_EQ(two_digits(c.v), c.want) << c.v;
}

}  // namespace
}  // namespace gyro
