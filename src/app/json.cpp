#include "app/json.hpp"

#include <charconv>
#include <cmath>

#include "app/report.hpp"
#include "text/numtext.hpp"
#include "text/shortest.hpp"

namespace gyro {

using namespace std::string_view_literals;

namespace {

// The shortest decimal that reads back as v, appended ("null" for NaN and
// the infinities).
template <class Real>
void append_number(std::string& j, Real v) {
  if (!std::isfinite(v)) {
    j += "null"sv;
    return;
  }
  char buf[48];
  j.append(buf, shortest_text(buf, v));
}

template <class Real>
void append_triple(std::string& j, Real a, Real b, Real c) {
  j += '[';
  append_number(j, a);
  j += ", "sv;
  append_number(j, b);
  j += ", "sv;
  append_number(j, c);
  j += ']';
}

// The numbers of the object in the run's precision, appended.
template <class Real>
void append_numbers(std::string& j, const RunContext& ctx, Real mass, BasicVec3<Real> c,
                    const Real (&m)[3], const BasicMat3<Real>& axes) {
  j += ", \"mass\": "sv;
  append_number(j, mass);
  if (ctx.shown.read == 0) {
    j += ", \"centre\": null, \"moments\": null, \"relative_moments\": null, "
         "\"axes\": null, \"radius_of_gyration\": null"sv;
    return;
  }
  const Real p1 = m[0];
  j += ", \"centre\": "sv;
  append_triple(j, c.x, c.y, c.z);
  j += ", \"moments\": "sv;
  append_triple(j, m[0], m[1], m[2]);
  j += ", \"relative_moments\": "sv;
  append_triple(j, p1 / p1, m[1] / p1, m[2] / p1);
  j += ", \"axes\": ["sv;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) j += ", "sv;
    append_triple(j, axes(i, 0), axes(i, 1), axes(i, 2));
  }
  j += "], \"radius_of_gyration\": "sv;
  append_number(j, std::sqrt((m[0] + m[1] + m[2]) / (Real(2) * mass)));
}

// The shape object (--shape): every number the double in full, null where a
// descriptor has no value.
void append_shape(std::string& j, const Shape& s) {
  auto list = [&](const double* v, int n) {
    j += '[';
    for (int k = 0; k < n; ++k) {
      if (k > 0) j += ", "sv;
      append_number(j, v[k]);
    }
    j += ']';
  };
  auto item = [&](std::string_view key, double v) {
    j += key;
    append_number(j, v);
  };
  j += ", \"shape\": {\"gyration_moments\": "sv;
  list(s.gyration_moments, 3);
  j += ", \"principal_radii\": "sv;
  list(s.principal_radii, 3);
  item(", \"asphericity\": ", s.asphericity);
  item(", \"acylindricity\": ", s.acylindricity);
  item(", \"relative_shape_anisotropy\": ", s.relative_shape_anisotropy);
  item(", \"shape_parameter\": ", s.shape_parameter);
  j += ", \"npr\": "sv;
  list(s.npr, 2);
  item(", \"eccentricity\": ", s.eccentricity);
  item(", \"inertial_shape_factor\": ", s.inertial_shape_factor);
  j += '}';
}

}  // namespace

std::string json_string(std::string_view s) {
  std::string j = "\"";
  // The run of plain ASCII (no quote, backslash or control byte) at the
  // front, as most names are whole, copied at once.
  std::size_t plain = 0;
  while (plain < s.size()) {
    const auto c = static_cast<unsigned char>(s[plain]);
    if (c < 0x20 || c >= 0x80 || c == '"' || c == '\\') break;
    ++plain;
  }
  j.append(s.substr(0, plain));
  s.remove_prefix(plain);
  while (!s.empty()) {
    const auto c = static_cast<unsigned char>(s[0]);
    const std::size_t n = utf8_sequence(s);
    if (n == 0) {
      j += "\uFFFD"sv;
      s.remove_prefix(1);
      continue;
    }
    if (c == '"' || c == '\\') {
      j += '\\';
      j += static_cast<char>(c);
    } else if (c < 0x20) {
      static constexpr char hex[] = "0123456789abcdef";
      j += "\\u00"sv;
      j += hex[c >> 4];
      j += hex[c & 15];
    } else {
      j.append(s.substr(0, n));
    }
    s.remove_prefix(n);
  }
  j += '"';
  return j;
}

std::string json_number(float v) {
  std::string j;
  append_number(j, v);
  return j;
}
std::string json_number(double v) {
  std::string j;
  append_number(j, v);
  return j;
}

std::string json_report(const RunContext& ctx, std::string_view error) {
  std::string j;
  j.reserve(ctx.shape ? 1024 : 640);
  j += "{\"file\": "sv;
  j += json_string(ctx.input_path);
  if (ctx.shown.model) {
    j += ", \"model\": "sv;
    j += std::to_string(*ctx.shown.model);
  }
  if (ctx.shown.name) {
    j += ", \"name\": "sv;
    j += json_string(*ctx.shown.name);
  }
  j +=
      ctx.format == Format::gro ? ", \"length_unit\": \"nm\""sv : ", \"length_unit\": \"\u00c5\""sv;
  j += ", \"atoms\": "sv;
  j += std::to_string(ctx.shown.read);
  j += ", \"skipped\": "sv;
  j += std::to_string(ctx.shown.skipped);
  std::visit([&](const auto& a) { append_numbers(j, ctx, a.total_mass, a.centre, a.moments, a.axes); },
             ctx.result);
  if (ctx.shape) append_shape(j, shape_of_result(ctx));
  if (const auto& e = ctx.rules.selection.expression) {
    j += ", \"selection\": "sv;
    j += json_string(e->text());
    j += ", \"not_selected\": "sv;
    j += std::to_string(ctx.not_selected);
  }
  j += ", \"skipped_names\": {"sv;
  bool first = true;
  for (const auto& [name, count] : ctx.skipped_names) {
    if (!first) j += ", "sv;
    j += json_string(name);
    j += ": "sv;
    j += std::to_string(count);
    first = false;
  }
  j += '}';
  if (ctx.mode != Mode::report_only) {
    j += ", \"output\": "sv;
    j += json_string(ctx.output_path);
  }
  if (!error.empty()) {
    j += ", \"error\": "sv;
    j += json_string(error);
  }
  j += "}\n"sv;
  return j;
}

std::string json_failure(const std::string& file, std::string_view message,
                         std::optional<std::int64_t> model) {
  return "{\"file\": " + json_string(file) +
         (model ? ", \"model\": " + std::to_string(*model) : std::string()) +
         ", \"error\": " + json_string(message) + "}\n";
}

}  // namespace gyro
