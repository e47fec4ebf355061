#include "app/json.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "app/report.hpp"
#include "text/numtext.hpp"
#include "text/shortest.hpp"

namespace gyro {

using namespace std::string_view_literals;

namespace {

// A string to be written quoted.
struct Quoted {
  std::string_view text;
};

// JSON text built in a buffer on the stack and handed to the line in large
// pieces: numbers written in place, no call per key or number to grow a
// string.
class JsonText {
 public:
  explicit JsonText(std::string& line) : line_(line) {}
  ~JsonText() { flush(); }
  // What the buffer holds, into the line.
  void flush() {
    line_.append(buffer_, static_cast<std::size_t>(at_ - buffer_));
    at_ = buffer_;
  }
  JsonText(const JsonText&) = delete;
  JsonText& operator=(const JsonText&) = delete;

  // A literal key or punctuation (at most `margin` bytes).
  template <std::size_t N>
  JsonText& operator<<(const char (&text)[N]) {
    room();
    std::memcpy(at_, text, N - 1);
    at_ += N - 1;
    return *this;
  }
  // The shortest decimal that reads back as v ("null" for NaN and the
  // infinities).
  template <class Real>
  JsonText& operator<<(Real v) requires std::is_floating_point_v<Real> {
    room();
    if (!std::isfinite(v)) return *this << "null";
    at_ = shortest_text(at_, v);
    return *this;
  }
  // A whole number.
  template <class Int>
  JsonText& operator<<(Int v) requires std::is_integral_v<Int> {
    room();
    at_ = std::to_chars(at_, at_ + 24, v).ptr;
    return *this;
  }
  // A string, quoted and escaped: UTF-8 kept, a byte that is no part of
  // valid UTF-8 replaced by U+FFFD.
  JsonText& operator<<(Quoted q) {
    *this << "\"";
    for (std::string_view s = q.text; !s.empty();) {
      // The run of plain ASCII (no quote, backslash or control byte) at the
      // front, as most names are whole, copied at once as far as room goes.
      const std::size_t plain = plain_run(s.substr(0, std::min(s.size(), space())));
      std::memcpy(at_, s.data(), plain);
      at_ += plain;
      s.remove_prefix(plain);
      room();
      if (s.empty() || plain_byte(s[0])) continue;
      const auto c = static_cast<unsigned char>(s[0]);
      const std::size_t n = utf8_sequence(s);
      if (n == 0) {
        *this << "\uFFFD";
        s.remove_prefix(1);
        continue;
      }
      if (c == '"' || c == '\\') {
        *at_++ = '\\';
        *at_++ = static_cast<char>(c);
      } else if (c < 0x20) {
        static constexpr char hex[] = "0123456789abcdef";
        *this << "\\u00";
        *at_++ = hex[c >> 4];
        *at_++ = hex[c & 15];
      } else {
        std::memcpy(at_, s.data(), n);
        at_ += n;
      }
      s.remove_prefix(n);
    }
    return *this << "\"";
  }
  template <class Real>
  JsonText& triple(Real a, Real b, Real c) {
    return *this << "[" << a << ", " << b << ", " << c << "]";
  }
  template <class Real>
  JsonText& list(const Real* v, int n) {
    *this << "[";
    for (int k = 0; k < n; ++k) {
      if (k > 0) *this << ", ";
      *this << v[k];
    }
    return *this << "]";
  }

 private:
  // What one piece may need: a number's 48 bytes (text and scratch), a key.
  static constexpr std::size_t margin = 96;
  std::size_t space() const { return static_cast<std::size_t>(buffer_ + sizeof buffer_ - at_); }
  [[gnu::always_inline]] void room() {
    if (space() < margin) [[unlikely]]
      flush();
  }
  // The length of the run of plain bytes at the front of s: 16 bytes a step
  // where the processor has 128-bit vectors.
  static std::size_t plain_run(std::string_view s) {
    std::size_t plain = 0;
#if defined(__SSE2__)
    for (; plain + 16 <= s.size(); plain += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + plain));
      // (Bytes from 0x80 on are negative as signed bytes: below 0x20 too.)
      const __m128i special = _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)),
                                           _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')),
                                                        _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))));
      const int mask = _mm_movemask_epi8(special);
      if (mask != 0)
        return plain + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(mask)));
    }
#endif
    while (plain < s.size() && plain_byte(s[plain])) ++plain;
    return plain;
  }
  static bool plain_byte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u < 0x80 && c != '"' && c != '\\';
  }

  std::string& line_;
  char buffer_[2048];
  char* at_ = buffer_;
};

// The numbers of the object in the run's precision.
template <class Real>
void append_numbers(JsonText& t, const RunContext& ctx, Real mass, BasicVec3<Real> c,
                    const Real (&m)[3], const BasicMat3<Real>& axes) {
  t << ", \"mass\": " << mass;
  if (ctx.shown.read == 0) {
    t << ", \"centre\": null, \"moments\": null, \"relative_moments\": null, "
         "\"axes\": null, \"radius_of_gyration\": null";
    return;
  }
  const Real p1 = m[0];
  t << ", \"centre\": ";
  t.triple(c.x, c.y, c.z) << ", \"moments\": ";
  t.triple(m[0], m[1], m[2]) << ", \"relative_moments\": ";
  t.triple(p1 / p1, m[1] / p1, m[2] / p1) << ", \"axes\": [";
  for (int i = 0; i < 3; ++i) {
    if (i > 0) t << ", ";
    t.triple(axes(i, 0), axes(i, 1), axes(i, 2));
  }
  t << "], \"radius_of_gyration\": " << std::sqrt((m[0] + m[1] + m[2]) / (Real(2) * mass));
}

// The shape object (--shape): every number the double in full, null where a
// descriptor has no value.
void append_shape(JsonText& t, const Shape& s) {
  t << ", \"shape\": {\"gyration_moments\": ";
  t.list(s.gyration_moments, 3) << ", \"principal_radii\": ";
  t.list(s.principal_radii, 3) << ", \"asphericity\": " << s.asphericity
                               << ", \"acylindricity\": " << s.acylindricity
                               << ", \"relative_shape_anisotropy\": " << s.relative_shape_anisotropy
                               << ", \"shape_parameter\": " << s.shape_parameter << ", \"npr\": ";
  t.list(s.npr, 2) << ", \"eccentricity\": " << s.eccentricity
                   << ", \"inertial_shape_factor\": " << s.inertial_shape_factor << "}";
}

}  // namespace

std::string json_string(std::string_view s) {
  std::string j;
  JsonText(j) << Quoted{s};
  return j;
}

std::string json_number(float v) {
  std::string j;
  JsonText(j) << v;
  return j;
}
std::string json_number(double v) {
  std::string j;
  JsonText(j) << v;
  return j;
}

std::string json_report(const RunContext& ctx, std::string_view error) {
  std::string j;
  JsonText t(j);
  t << "{\"file\": " << Quoted{ctx.input_path};
  if (ctx.shown.model) t << ", \"model\": " << *ctx.shown.model;
  if (ctx.shown.name) t << ", \"name\": " << Quoted{*ctx.shown.name};
  if (ctx.format == Format::gro)
    t << ", \"length_unit\": \"nm\"";
  else
    t << ", \"length_unit\": \"\u00c5\"";
  t << ", \"atoms\": " << ctx.shown.read << ", \"skipped\": " << ctx.shown.skipped;
  std::visit(
      [&](const auto& a) { append_numbers(t, ctx, a.total_mass, a.centre, a.moments, a.axes); },
      ctx.result);
  if (ctx.shape) append_shape(t, shape_of_result(ctx));
  if (const auto& e = ctx.rules.selection.expression)
    t << ", \"selection\": " << Quoted{e->text()} << ", \"not_selected\": " << ctx.not_selected;
  t << ", \"skipped_names\": {";
  bool first = true;
  for (const auto& [name, count] : ctx.skipped_names) {
    if (!first) t << ", ";
    t << Quoted{name} << ": " << count;
    first = false;
  }
  t << "}";
  if (ctx.mode != Mode::report_only) t << ", \"output\": " << Quoted{ctx.output_path};
  if (!error.empty()) t << ", \"error\": " << Quoted{error};
  t << "}\n";
  t.flush();
  return j;
}

std::string json_failure(const std::string& file, std::string_view message,
                         std::optional<std::int64_t> model) {
  return "{\"file\": " + json_string(file) +
         (model ? ", \"model\": " + std::to_string(*model) : std::string()) +
         ", \"error\": " + json_string(message) + "}\n";
}

}  // namespace gyro
