#include "app/report.hpp"

#include "app/cmdline.hpp"
#include "text/numtext.hpp"

namespace gyro {
namespace {

// A label line: blank, label, blanks to column 21, then F15.4 fields two blanks apart.
std::string vector_line(const char* label, const float (&v)[3]) {
  std::string s = " ";
  s += label;
  s.resize(21, ' ');
  for (int k = 0; k < 3; ++k) {
    if (k > 0) s += "  ";
    s += fixed(v[k], 15, 4);
  }
  return s + "\n";
}

std::string matrix_row(const float pvec[9], int i) {
  std::string s(5, ' ');
  for (int j = 0; j < 3; ++j) {
    if (j > 0) s += "  ";
    s += fixed(pvec[3 * j + i], 15, 4);
  }
  return s + "\n";
}

}  // namespace

std::string report_text(const RunContext& ctx) {
  std::string r = "\nInput pdb file:  " + name_field(ctx.pdbin) + "\n";
  if (ctx.rflag || ctx.tflag) r += "Output pdb file: " + name_field(ctx.pdbout) + "\n";
  r += FreeLine()
           .text("# atoms read")
           .num(ctx.atoms.natom)
           .text("     # atoms skipped")
           .num(ctx.atoms.iskip)
           .str();
  r += "\n";
  r += " mass" + std::string(16, ' ') + fixed(ctx.mtot, 15, 4) + "\n";
  r += vector_line("center of mass", {ctx.xcen, ctx.ycen, ctx.zcen});
  r += vector_line("principle moments", ctx.pmom);
  const float p1 = ctx.pmom[0];
  r += vector_line("relative moments ", {p1 / p1, ctx.pmom[1] / p1, ctx.pmom[2] / p1});
  r += "\n" + std::string(27, ' ') + "rotation matrix\n";
  for (int i = 0; i < 3; ++i) r += matrix_row(ctx.pvec, i);
  return r;
}

}  // namespace gyro
