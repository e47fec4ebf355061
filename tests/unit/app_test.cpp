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
    int rflag, tflag;
    const char *in, *out;
  };
  const Case cases[] = {
      {{"a.pdb", "b.pdb", "c"}, S::none, 0, 0, "a.pdb", ""},
      {{"-r", "a.pdb", "b.pdb", "extra"}, S::none, 1, 1, "a.pdb", "b.pdb"},
      {{"-rt  ", "a.pdb  ", " b.pdb "}, S::none, 1, 1, "a.pdb", " b.pdb"},
      {{"-tr", "a", "b"}, S::none, 1, 1, "a", "b"},
      {{"-x", "a.pdb"}, S::usage, 0, 0, "", ""},
      {{"-rr", "a.pdb", "b"}, S::flag_error, 0, 0, "", ""},
      {{" -r", "a.pdb", "b"}, S::none, 0, 0, " -r", ""},
      {{"", "a.pdb"}, S::none, 0, 0, "", ""},
  };
  for (const auto& c : cases) {
    CmdLine cl = parse(c.args);
    EXPECT_EQ(cl.stop, c.stop) << c.args.size();
    if (c.stop != S::none) continue;
    EXPECT_EQ(cl.rflag, c.rflag);
    EXPECT_EQ(cl.tflag, c.tflag);
    EXPECT_EQ(cl.pdbin, c.in);
    EXPECT_EQ(cl.pdbout, c.out);
  }
}

}  // namespace
}  // namespace gyro
