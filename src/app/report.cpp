#include "app/report.hpp"

#include "app/cmdline.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <initializer_list>
#include "text/numtext.hpp"

namespace gyro {
namespace {

// The report's text, written in place into one buffer made large enough
// for it at the start: no text of its own for any number or line.
class ReportText {
 public:
  explicit ReportText(std::size_t room) : text_(room, ' '), end_(text_.data()) {}
  void put(std::string_view s) {
    std::memcpy(end_, s.data(), s.size());
    end_ += s.size();
  }
  void put(char c) { *end_++ = c; }
  // Where the text ends now: a line's beginning, for blanks_to.
  std::size_t size() const { return static_cast<std::size_t>(end_ - text_.data()); }
  // Blanks to make the line begun at `line` at least `width` long.
  void blanks_to(std::size_t line, std::size_t width) {
    end_ = std::max(end_, text_.data() + line + width);
  }
  // A whole number right-aligned in `width` columns (wider where it needs).
  void count(long v, std::size_t width) {
    char digits[24];
    const char* const end = std::to_chars(digits, digits + sizeof digits, v).ptr;
    const auto length = static_cast<std::size_t>(end - digits);
    if (length < width) end_ += width - length;  // (blank already)
    put(std::string_view(digits, length));
  }
  // An F15.4 field.
  template <class Real>
  void field(Real v) {
    fixed_field(end_, v, 15, 4);
    end_ += 15;
  }
  // F15.4 fields two blanks apart (the buffer is blank already), and the line's end.
  template <class Real>
  void fields(const Real (&v)[3]) {
    for (int k = 0; k < 3; ++k) {
      if (k > 0) end_ += 2;
      field(v[k]);
    }
    put('\n');
  }
  // A label line: blank, label, blanks to column 21, then the fields.
  template <class Real>
  void vector_line(std::string_view label, const Real (&v)[3]) {
    const std::size_t line = size();
    put(' ');
    put(label);
    blanks_to(line, 21);
    fields(v);
  }
  std::string done() && {
    text_.resize(static_cast<std::size_t>(end_ - text_.data()));
    return std::move(text_);
  }

 private:
  std::string text_;
  char* end_;
};

bool fits(double v) { return fixed(v, 15, 4).find('*') == std::string::npos; }

// The numbers of the report in the run's precision.
template <class Real>
struct Numbers {
  Real mass;
  BasicVec3<Real> centre;
  const Real (&moments)[3];
  const BasicMat3<Real>& axes;
};

template <class Real>
std::string unfit_note(const RunContext& ctx, const Numbers<Real>& n) {
  const Real(&m)[3] = n.moments;
  const Real p1 = m[0];
  const BasicVec3<Real>& c = n.centre;
  const struct {
    const char* name;
    bool plural;
    bool fit;
  } quantities[] = {
      {"the mass", false, fits(n.mass)},
      {"the centre of mass", false, fits(c.x) && fits(c.y) && fits(c.z)},
      {"the principal moments", true, fits(m[0]) && fits(m[1]) && fits(m[2])},
      {"the relative moments", true, fits(p1 / p1) && fits(m[1] / p1) && fits(m[2] / p1)},
  };
  std::string names;
  int unfit = 0;
  bool plural = false;
  for (const auto& q : quantities)
    if (!q.fit) {
      if (!names.empty()) names += ", ";
      names += q.name;
      plural = ++unfit > 1 || q.plural;
    }
  if (names.empty()) return {};
  return about(ctx.input_path) + names +
         (plural ? " do not fit the report's fields and print" : " does not fit the report's fields and prints") +
         " as asterisks; --json prints " + (plural ? "them" : "it") + " in full\n";
}

template <class Real>
std::string report_lines(const RunContext& ctx, const Numbers<Real>& n) {
  // (Room for every line at its widest; the names as 80-column fields.)
  ReportText r(1024 + ctx.input_path.size() + ctx.output_path.size());
  auto name_line = [&r](std::string_view label, const std::string& name) {
    const std::size_t line = r.size();
    r.put(label);
    r.put(name);
    r.blanks_to(line, label.size() + 80);
    r.put('\n');
  };
  r.put('\n');
  name_line("Input pdb file:  ", ctx.input_path);
  if (ctx.mode != Mode::report_only) name_line("Output pdb file: ", ctx.output_path);
  r.put(" # atoms read ");
  r.count(ctx.shown.read, 11);
  r.put("      # atoms skipped ");
  r.count(ctx.shown.skipped, 11);
  r.put("\n\n mass                ");
  r.field(n.mass);
  r.put('\n');
  r.vector_line<Real>("center of mass", {n.centre.x, n.centre.y, n.centre.z});
  r.vector_line("principle moments", n.moments);
  const Real p1 = n.moments[0];
  r.vector_line<Real>("relative moments ", {p1 / p1, n.moments[1] / p1, n.moments[2] / p1});
  r.put("\n                           rotation matrix\n");
  for (int i = 0; i < 3; ++i) {
    r.put("     ");
    r.fields<Real>({n.axes(i, 0), n.axes(i, 1), n.axes(i, 2)});
  }
  return std::move(r).done();
}

}  // namespace

namespace {

// A shape value as the report writes numbers (F15.4), but in exponent form
// where fixed decimals would show a value that is not zero as zero.
std::string shape_field(double v) {
  if (v != 0 && std::fabs(v) < 0.00005) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%15.4e", v);
    return buf;
  }
  return fixed(v, 15, 4);
}

std::string shape_line(const char* label, std::initializer_list<double> values) {
  std::string s = " ";
  s += label;
  s.resize(27, ' ');
  bool first = true;
  for (const double v : values) {
    if (!first) s += "  ";
    s += shape_field(v);
    first = false;
  }
  return s + "\n";
}

}  // namespace

std::string shape_text(const RunContext& ctx) {
  const Shape sh = shape_of_result(ctx);
  const double(&g)[3] = sh.gyration_moments;
  const double(&r)[3] = sh.principal_radii;
  // (The radius of gyration is the JSON line's, in the run's precision.)
  const double radius = std::visit(
      [&](const auto& a) -> double {
        using Real = std::decay_t<decltype(a.total_mass)>;
        if (ctx.shown.read == 0) return std::nan("");
        return std::sqrt((a.moments[0] + a.moments[1] + a.moments[2]) / (Real(2) * a.total_mass));
      },
      ctx.result);
  return "\n" + std::string(33, ' ') + "shape\n" + shape_line("radius of gyration", {radius}) +
         shape_line("gyration moments", {g[0], g[1], g[2]}) +
         shape_line("principal radii", {r[0], r[1], r[2]}) +
         shape_line("asphericity", {sh.asphericity}) +
         shape_line("acylindricity", {sh.acylindricity}) +
         shape_line("relative shape anisotropy", {sh.relative_shape_anisotropy}) +
         shape_line("shape parameter", {sh.shape_parameter}) +
         shape_line("npr (I3/I1, I2/I1)", {sh.npr[0], sh.npr[1]}) +
         shape_line("eccentricity", {sh.eccentricity}) +
         shape_line("inertial shape factor", {sh.inertial_shape_factor});
}

Shape shape_of_result(const RunContext& ctx) {
  return std::visit(
      [&](const auto& a) {
        const double moments[3] = {double{a.moments[0]}, double{a.moments[1]},
                                   double{a.moments[2]}};
        return shape_of(moments, ctx.shown.read > 0 ? double{a.total_mass} : 0.0);
      },
      ctx.result);
}

namespace {

// `f` of the report's numbers, in the run's precision.
template <class F>
std::string with_numbers(const RunContext& ctx, F f) {
  return std::visit(
      [&](const auto& a) {
        using Real = std::decay_t<decltype(a.total_mass)>;
        return f(Numbers<Real>{a.total_mass, a.centre, a.moments, a.axes});
      },
      ctx.result);
}

}  // namespace

std::string report_text(const RunContext& ctx) {
  return with_numbers(ctx, [&](const auto& n) { return report_lines(ctx, n); });
}

std::string unfit_report_note(const RunContext& ctx, std::string_view report) {
  const std::size_t numbers = report.find("# atoms read");  // (the names may hold asterisks)
  if (numbers == std::string_view::npos || report.find('*', numbers) == std::string_view::npos)
    return {};
  return unfit_report_note(ctx);
}

std::string unfit_report_note(const RunContext& ctx) {
  return with_numbers(ctx, [&](const auto& n) { return unfit_note(ctx, n); });
}

}  // namespace gyro
