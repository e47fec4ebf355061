#include "app/json.hpp"

#include <charconv>
#include <cmath>

#include "app/report.hpp"
#include "text/numtext.hpp"

namespace gyro {
namespace {

template <class Real>
std::string json_triple(Real a, Real b, Real c) {
  return "[" + json_number(a) + ", " + json_number(b) + ", " + json_number(c) + "]";
}

// The numbers of the object in the run's precision.
template <class Real>
std::string json_numbers(const RunContext& ctx, Real mass, BasicVec3<Real> c,
                         const Real (&m)[3], const BasicMat3<Real>& axes) {
  std::string j = ", \"mass\": " + json_number(mass);
  if (ctx.shown.read == 0)
    return j + ", \"centre\": null, \"moments\": null, \"relative_moments\": null, "
               "\"axes\": null, \"radius_of_gyration\": null";
  const Real p1 = m[0];
  j += ", \"centre\": " + json_triple(c.x, c.y, c.z);
  j += ", \"moments\": " + json_triple(m[0], m[1], m[2]);
  j += ", \"relative_moments\": " + json_triple(p1 / p1, m[1] / p1, m[2] / p1);
  j += ", \"axes\": [";
  for (int i = 0; i < 3; ++i) {
    if (i > 0) j += ", ";
    j += json_triple(axes(i, 0), axes(i, 1), axes(i, 2));
  }
  j += "]";
  const Real radius = std::sqrt((m[0] + m[1] + m[2]) / (Real(2) * mass));
  return j + ", \"radius_of_gyration\": " + json_number(radius);
}

// The shape object (--shape): every number the double in full, null where a
// descriptor has no value.
std::string json_shape(const Shape& s) {
  auto list = [](const double* v, int n) {
    std::string l = "[";
    for (int k = 0; k < n; ++k) {
      if (k > 0) l += ", ";
      l += json_number(v[k]);
    }
    return l + "]";
  };
  return ", \"shape\": {\"gyration_moments\": " + list(s.gyration_moments, 3) +
         ", \"principal_radii\": " + list(s.principal_radii, 3) +
         ", \"asphericity\": " + json_number(s.asphericity) +
         ", \"acylindricity\": " + json_number(s.acylindricity) +
         ", \"relative_shape_anisotropy\": " + json_number(s.relative_shape_anisotropy) +
         ", \"shape_parameter\": " + json_number(s.shape_parameter) +
         ", \"npr\": " + list(s.npr, 2) + ", \"eccentricity\": " + json_number(s.eccentricity) +
         ", \"inertial_shape_factor\": " + json_number(s.inertial_shape_factor) + "}";
}

}  // namespace

std::string json_string(std::string_view s) {
  std::string j = "\"";
  while (!s.empty()) {
    const auto c = static_cast<unsigned char>(s[0]);
    const std::size_t n = utf8_sequence(s);
    if (n == 0) {
      j += "\uFFFD";
      s.remove_prefix(1);
      continue;
    }
    if (c == '"' || c == '\\') {
      j += '\\';
      j += static_cast<char>(c);
    } else if (c < 0x20) {
      static constexpr char hex[] = "0123456789abcdef";
      j += "\\u00";
      j += hex[c >> 4];
      j += hex[c & 15];
    } else {
      j.append(s.substr(0, n));
    }
    s.remove_prefix(n);
  }
  return j + "\"";
}

namespace {

template <class Real>
std::string shortest(Real v) {
  if (!std::isfinite(v)) return "null";
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, end);
}

}  // namespace

std::string json_number(float v) { return shortest(v); }
std::string json_number(double v) { return shortest(v); }

std::string json_report(const RunContext& ctx, std::string_view error) {
  std::string j = "{\"file\": " + json_string(ctx.input_path);
  if (ctx.shown.model) j += ", \"model\": " + std::to_string(*ctx.shown.model);
  if (ctx.shown.name) j += ", \"name\": " + json_string(*ctx.shown.name);
  j += ctx.format == Format::gro ? ", \"length_unit\": \"nm\"" : ", \"length_unit\": \"\u00c5\"";
  j += ", \"atoms\": " + std::to_string(ctx.shown.read);
  j += ", \"skipped\": " + std::to_string(ctx.shown.skipped);
  j += std::visit(
      [&](const auto& a) { return json_numbers(ctx, a.total_mass, a.centre, a.moments, a.axes); },
      ctx.result);
  if (ctx.shape) j += json_shape(shape_of_result(ctx));
  if (const auto& e = ctx.rules.selection.expression) {
    j += ", \"selection\": " + json_string(e->text());
    j += ", \"not_selected\": " + std::to_string(ctx.not_selected);
  }
  j += ", \"skipped_names\": {";
  bool first = true;
  for (const auto& [name, count] : ctx.skipped_names) {
    if (!first) j += ", ";
    j += json_string(name) + ": " + std::to_string(count);
    first = false;
  }
  j += "}";
  if (ctx.mode != Mode::report_only) j += ", \"output\": " + json_string(ctx.output_path);
  if (!error.empty()) j += ", \"error\": " + json_string(error);
  return j + "}\n";
}

std::string json_failure(const std::string& file, std::string_view message,
                         std::optional<std::int64_t> model) {
  return "{\"file\": " + json_string(file) +
         (model ? ", \"model\": " + std::to_string(*model) : std::string()) +
         ", \"error\": " + json_string(message) + "}\n";
}

}  // namespace gyro
