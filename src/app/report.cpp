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

std::string matrix_row(const Mat3& axes, int i) {
  std::string s(5, ' ');
  for (int j = 0; j < 3; ++j) {
    if (j > 0) s += "  ";
    s += fixed(axes(i, j), 15, 4);
  }
  return s + "\n";
}

bool fits(float v) { return fixed(v, 15, 4).find('*') == std::string::npos; }

}  // namespace

std::string unfit_report_note(const RunContext& ctx) {
  const float(&m)[3] = ctx.moments;
  const float p1 = m[0];
  const struct {
    const char* name;
    bool fit;
  } quantities[] = {
      {"the mass", fits(ctx.total_mass)},
      {"the centre of mass", fits(ctx.centre.x) && fits(ctx.centre.y) && fits(ctx.centre.z)},
      {"the principal moments", fits(m[0]) && fits(m[1]) && fits(m[2])},
      {"the relative moments", fits(p1 / p1) && fits(m[1] / p1) && fits(m[2] / p1)},
  };
  std::string names;
  for (const auto& q : quantities)
    if (!q.fit) names += (names.empty() ? "" : ", ") + std::string(q.name);
  if (names.empty()) return {};
  return about(ctx.input_path) + names +
         " do not fit the report's fields and print as asterisks; --json prints them in full\n";
}

std::string report_text(const RunContext& ctx) {
  std::string r = "\nInput pdb file:  " + name_field(ctx.input_path) + "\n";
  if (ctx.mode != Mode::report_only) r += "Output pdb file: " + name_field(ctx.output_path) + "\n";
  r += FreeLine()
           .text("# atoms read")
           .num(ctx.atoms.count)
           .text("     # atoms skipped")
           .num(ctx.atoms.skipped)
           .str();
  r += "\n";
  r += " mass" + std::string(16, ' ') + fixed(ctx.total_mass, 15, 4) + "\n";
  r += vector_line("center of mass", {ctx.centre.x, ctx.centre.y, ctx.centre.z});
  r += vector_line("principle moments", ctx.moments);
  const float p1 = ctx.moments[0];
  r += vector_line("relative moments ", {p1 / p1, ctx.moments[1] / p1, ctx.moments[2] / p1});
  r += "\n" + std::string(27, ' ') + "rotation matrix\n";
  for (int i = 0; i < 3; ++i) r += matrix_row(ctx.axes, i);
  return r;
}

}  // namespace gyro
