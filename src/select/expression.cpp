#include "select/expression.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace gyro {

struct SelectExpression::Node {
  enum class Kind { all, none, protein, backbone, nucleic, water, ion, hetero, hydrogen, heavy,
                    chain, segid, resname, resid, name, element, altloc, op_not, op_and, op_or,
                    backbone_name };  // (backbone: protein and backbone_name)
  Kind kind;
  std::size_t a = 0, b = 0;  // operands (not: a; and, or: a and b)
  std::vector<std::string> values;  // a field's patterns
  struct Range {
    std::int64_t from, to;
    char insertion;  // a single number's code ('\0': any)
  };
  std::vector<Range> ranges;  // resid
  unsigned bit = 0;           // a test's bit in the outcomes
};

namespace {

using Kind = SelectExpression::Node::Kind;

constexpr std::pair<std::string_view, Kind> keywords[] = {
    {"all", Kind::all},         {"none", Kind::none},         {"protein", Kind::protein},
    {"backbone", Kind::backbone}, {"nucleic", Kind::nucleic}, {"water", Kind::water},
    {"ion", Kind::ion},         {"hetero", Kind::hetero},     {"hydrogen", Kind::hydrogen},
    {"heavy", Kind::heavy}};
constexpr std::pair<std::string_view, Kind> fields[] = {
    {"chain", Kind::chain}, {"segid", Kind::segid}, {"resname", Kind::resname},
    {"resid", Kind::resid}, {"name", Kind::name},   {"element", Kind::element},
    {"altloc", Kind::altloc}};

bool in(std::string_view word, std::initializer_list<std::string_view> list) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

bool is_reserved(std::string_view w) {
  if (w == "and" || w == "or" || w == "not" || w == "(" || w == ")") return true;
  for (const auto& [k, kind] : keywords) if (k == w) return true;
  for (const auto& [f, kind] : fields) if (f == w) return true;
  return false;
}

// "*" any run, "?" one character; `fold`: letters of either case alike.
bool glob(std::string_view pattern, std::string_view text, bool fold) {
  std::size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
  auto same = [&](char a, char b) {
    return fold ? std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b))
                : a == b;
  };
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], text[t]))) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool whole(std::string_view s, std::int64_t& v) {
  if (s.empty()) return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && end == s.data() + s.size();
}

// A resid value: N, NA (with an insertion code), a-b, a:b.
bool resid_range(std::string_view w, SelectExpression::Node::Range& r) {
  std::size_t split = w.find(':');
  if (split == std::string_view::npos) split = w.find('-', 1);
  if (split != std::string_view::npos)
    return whole(w.substr(0, split), r.from) && whole(w.substr(split + 1), r.to) &&
           (r.insertion = '\0', r.from <= r.to);
  r.insertion = '\0';
  if (!w.empty() && std::isalpha(static_cast<unsigned char>(w.back()))) {
    r.insertion = w.back();
    w.remove_suffix(1);
  }
  if (!whole(w, r.from)) return false;
  r.to = r.from;
  return true;
}

}  // namespace

// A recursive-descent parser over the words of the text.
class SelectParser {
 public:
  SelectParser(SelectExpression& e, std::vector<std::string> words) : e_(e), words_(std::move(words)) {}
  bool run(std::string& error) {
    std::size_t root = 0;
    if (!expression(root) || (pos_ < words_.size() && fail("\"and\", \"or\" or the end"))) {
      error = error_;
      return false;
    }
    return root + 1 == e_.nodes_.size();  // (operands come before their operators: postfix)
  }

 private:
  bool fail(const std::string& expected) {
    const std::string found = pos_ < words_.size() ? "\"" + words_[pos_] + "\"" : "the end";
    error_ = "expected " + expected + ", found " + found + " (word " + std::to_string(pos_ + 1) + ")";
    return true;
  }
  std::size_t add(SelectExpression::Node n) {
    e_.nodes_.push_back(std::move(n));
    return e_.nodes_.size() - 1;
  }
  bool peek(std::string_view w) const { return pos_ < words_.size() && words_[pos_] == w; }
  bool expression(std::size_t& out) {
    if (!term(out)) return false;
    while (peek("or")) {
      ++pos_;
      std::size_t right = 0;
      if (!term(right)) return false;
      out = add({Kind::op_or, out, right, {}, {}});
    }
    return true;
  }
  bool term(std::size_t& out) {
    if (!factor(out)) return false;
    while (peek("and")) {
      ++pos_;
      std::size_t right = 0;
      if (!factor(right)) return false;
      out = add({Kind::op_and, out, right, {}, {}});
    }
    return true;
  }
  bool factor(std::size_t& out) {
    if (pos_ >= words_.size()) return !fail("a keyword, a field, \"not\" or \"(\"");
    const std::string& w = words_[pos_];
    if (w == "not") {
      ++pos_;
      std::size_t inner = 0;
      if (!factor(inner)) return false;
      out = add({Kind::op_not, inner, 0, {}, {}});
      return true;
    }
    if (w == "(") {
      ++pos_;
      if (!expression(out)) return false;
      if (!peek(")")) return !fail("\")\"");
      ++pos_;
      return true;
    }
    for (const auto& [k, kind] : keywords)
      if (k == w) {
        ++pos_;
        out = add({kind == Kind::backbone ? Kind::protein : kind, 0, 0, {}, {}});
        if (kind == Kind::backbone)  // a protein residue's atoms of the main chain
          out = add({Kind::op_and, out, add({Kind::backbone_name, 0, 0, {}, {}}), {}, {}});
        return true;
      }
    for (const auto& [f, kind] : fields)
      if (f == w) return field(kind, out);
    return !fail("a keyword, a field, \"not\" or \"(\"");
  }
  bool field(Kind kind, std::size_t& out) {
    const std::string name = words_[pos_++];
    SelectExpression::Node n{kind, 0, 0, {}, {}};
    while (pos_ < words_.size() && !is_reserved(words_[pos_])) {
      const std::string& v = words_[pos_];
      if (kind == Kind::resid) {
        SelectExpression::Node::Range r{};
        if (!resid_range(v, r)) {
          error_ = "\"resid\" needs a number or range, found \"" + v + "\" (word " +
                   std::to_string(pos_ + 1) + ")";
          return false;
        }
        n.ranges.push_back(r);
      } else {
        n.values.push_back(v);
      }
      ++pos_;
    }
    if (n.values.empty() && n.ranges.empty()) {
      const std::string found = pos_ < words_.size() ? "\"" + words_[pos_] + "\"" : "the end";
      error_ = "\"" + name + "\" needs " + (kind == Kind::resid ? "a number or range" : "a value") +
               ", found " + found + " (word " + std::to_string(pos_ + 1) + ")";
      return false;
    }
    out = add(std::move(n));
    return true;
  }

  SelectExpression& e_;
  std::vector<std::string> words_;
  std::size_t pos_ = 0;
  std::string error_;
};

std::shared_ptr<const SelectExpression> SelectExpression::parse(std::string_view text,
                                                                std::string& error) {
  std::vector<std::string> words;
  std::string word;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '(' || c == ')') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
      if (c == '(' || c == ')') words.emplace_back(1, c);
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  auto e = std::make_shared<SelectExpression>();
  e->text_ = std::string(text);
  SelectParser parser(*e, std::move(words));
  if (!parser.run(error)) return nullptr;
  for (const Node& n : e->nodes_) {
    switch (n.kind) {
      case Kind::hetero: e->fields_ |= hetero_field; break;
      case Kind::name: e->fields_ |= name_field; break;
      case Kind::altloc: e->fields_ |= altloc_field; break;
      case Kind::element: case Kind::hydrogen: case Kind::heavy: e->fields_ |= element_field; break;
      case Kind::backbone_name: e->fields_ |= name_field; break;
      case Kind::protein: case Kind::nucleic: case Kind::water: case Kind::ion: case Kind::chain:
      case Kind::segid: case Kind::resname: case Kind::resid: e->fields_ |= residue_fields; break;
      default: break;
    }
  }
  e->number_tests();
  return e;
}

namespace {
bool is_operator(Kind k) { return k == Kind::op_not || k == Kind::op_and || k == Kind::op_or; }
SelectExpression::Level level_of(Kind k) {
  using Level = SelectExpression::Level;
  switch (k) {
    case Kind::protein: case Kind::nucleic: case Kind::water: case Kind::ion: case Kind::resname:
      return Level::residue_name;
    case Kind::chain: case Kind::segid: case Kind::resid: return Level::residue_place;
    default: return Level::atom;
  }
}
constexpr std::size_t most_tabled_tests = 12;  // a table of 4096 verdicts, 512 bytes
}  // namespace

void SelectExpression::number_tests() {
  for (Node& n : nodes_) {
    if (is_operator(n.kind)) continue;
    n.bit = static_cast<unsigned>(tests_++);
    levels_ |= 1u << static_cast<unsigned>(level_of(n.kind));
  }
  if (tests_ > most_tabled_tests) return;
  table_.assign(((std::size_t{1} << tests_) + 63) / 64, 0);
  for (Bits tests = 0; tests < (Bits{1} << tests_); ++tests)
    table_[tests >> 6] |= Bits{combine(tests)} << (tests & 63);
}

SelectExpression::Bits SelectExpression::test_bits(const AtomFields& f, Level level) const {
  Bits tests = 0;
  for (std::size_t k = 0; k < nodes_.size(); ++k)
    if (!is_operator(nodes_[k].kind) && level_of(nodes_[k].kind) == level)
      tests |= Bits{leaf(k, f)} << nodes_[k].bit;
  return tests;
}

// The nodes stand in postfix order: one pass with a stack of verdicts.
bool SelectExpression::combine(Bits tests) const {
  bool stack[most_tests + 1];
  bool* top = stack;
  for (const Node& n : nodes_) {
    switch (n.kind) {
      case Kind::op_not: top[-1] = !top[-1]; break;
      case Kind::op_and: --top; top[-1] = top[-1] && top[0]; break;
      case Kind::op_or: --top; top[-1] = top[-1] || top[0]; break;
      default: *top++ = tests >> n.bit & 1; break;
    }
  }
  return top[-1];
}

bool SelectExpression::selects(const AtomFields& f) const { return eval(nodes_.size() - 1, f); }

bool SelectExpression::eval(std::size_t k, const AtomFields& f) const {
  const Node& n = nodes_[k];
  switch (n.kind) {
    case Kind::op_not: return !eval(n.a, f);
    case Kind::op_and: return eval(n.a, f) && eval(n.b, f);
    case Kind::op_or: return eval(n.a, f) || eval(n.b, f);
    default: return leaf(k, f);
  }
}

bool SelectExpression::leaf(std::size_t k, const AtomFields& f) const {
  const Node& n = nodes_[k];
  auto any_of = [&](std::string_view text, bool fold) {
    return std::any_of(n.values.begin(), n.values.end(),
                       [&](const std::string& p) { return glob(p, text, fold); });
  };
  auto hydrogen = [&] {
    if (f.element.size() != 1) return false;
    const char e = f.element[0];
    return e == 'H' || e == 'D' || e == 'h' || e == 'd';
  };
  switch (n.kind) {
    case Kind::all: return true;
    case Kind::none: return false;
    case Kind::protein: return is_protein_residue(f.resname);
    case Kind::backbone_name: return in(f.name, {"N", "CA", "C", "O"});
    case Kind::nucleic: return is_nucleic_residue(f.resname);
    case Kind::water: return is_water_residue(f.resname);
    case Kind::ion: return is_ion_residue(f.resname);
    case Kind::hetero: return f.hetero;
    case Kind::hydrogen: return hydrogen();
    case Kind::heavy: return !hydrogen();
    case Kind::chain: return any_of(f.chain, false);
    case Kind::segid: return any_of(f.segid, false);
    case Kind::resname: return any_of(f.resname, false);
    case Kind::name: return any_of(f.name, false);
    case Kind::element: return any_of(f.element, true);
    case Kind::altloc: return any_of(f.altloc, false);
    case Kind::resid:
      return f.has_resid && std::any_of(n.ranges.begin(), n.ranges.end(), [&](const Node::Range& r) {
               return f.resid >= r.from && f.resid <= r.to &&
                      (r.insertion == '\0' || r.insertion == f.insertion);
             });
    default: return false;
  }
}

bool is_protein_residue(std::string_view r) {
  return in(r, {"ALA", "ARG", "ASN", "ASP", "CYS", "GLN", "GLU", "GLY", "HIS", "ILE", "LEU",
                "LYS", "MET", "PHE", "PRO", "SER", "THR", "TRP", "TYR", "VAL", "MSE", "SEC",
                "PYL", "HID", "HIE", "HIP", "HSD", "HSE", "HSP", "CYX", "CYM", "ASH", "GLH",
                "LYN", "ARN", "HISD", "HISE", "HISH", "HISA", "HISB", "NALA", "CALA", "ACE",
                "NME", "NH2", "UNK"});
}
bool is_nucleic_residue(std::string_view r) {
  return in(r, {"A", "C", "G", "U", "I", "T", "DA", "DC", "DG", "DT", "DI", "DU", "ADE", "CYT",
                "GUA", "THY", "URA", "RA", "RC", "RG", "RU", "RA5", "RA3", "RC5", "RC3", "RG5",
                "RG3", "RU5", "RU3", "DA5", "DA3", "DC5", "DC3", "DG5", "DG3", "DT5", "DT3"});
}
bool is_water_residue(std::string_view r) {
  return in(r, {"HOH", "WAT", "H2O", "DOD", "SOL", "TIP3", "TIP4", "TIP5", "T3P", "T4P", "SPC",
                "TIP", "HO4", "OH2"});
}
bool is_ion_residue(std::string_view r) {
  return in(r, {"NA", "K", "CL", "MG", "CA", "ZN", "MN", "FE", "FE2", "CU", "CU1", "CO", "NI",
                "CD", "LI", "RB", "CS", "SR", "BA", "BR", "IOD", "F", "SOD", "POT", "CLA", "CAL",
                "CES", "LIT", "RUB", "ZN2", "MG2", "NA+", "K+", "CL-", "HG", "AL", "AG", "AU",
                "PB", "PT", "YB"});
}

}  // namespace gyro
