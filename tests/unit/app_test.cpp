// Command-line modes and the texts of the early stops.
#include <gtest/gtest.h>

#include <vector>

#include "app/cmdline.hpp"

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

}  // namespace
}  // namespace gyro
