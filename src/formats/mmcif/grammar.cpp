#include "formats/mmcif/grammar.hpp"

#include <cctype>

namespace gyro {

namespace cif {

std::string lower(std::string_view s) {
  std::string l(s);
  for (char& c : l) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return l;
}


AtomSiteColumns atom_site_columns(const std::vector<std::string>& tags) {
  AtomSiteColumns c;
  c.count = static_cast<int>(tags.size());
  const std::pair<const char*, int AtomSiteColumns::*> wanted[] = {
      {"cartn_x", &AtomSiteColumns::x},           {"cartn_y", &AtomSiteColumns::y},
      {"cartn_z", &AtomSiteColumns::z},           {"type_symbol", &AtomSiteColumns::symbol},
      {"auth_atom_id", &AtomSiteColumns::auth_name}, {"label_atom_id", &AtomSiteColumns::label_name},
      {"pdbx_pdb_model_num", &AtomSiteColumns::model}, {"label_alt_id", &AtomSiteColumns::alt},
      {"group_pdb", &AtomSiteColumns::group}, {"auth_comp_id", &AtomSiteColumns::auth_comp},
      {"label_comp_id", &AtomSiteColumns::label_comp}, {"auth_asym_id", &AtomSiteColumns::auth_asym},
      {"label_asym_id", &AtomSiteColumns::label_asym}, {"auth_seq_id", &AtomSiteColumns::auth_seq},
      {"label_seq_id", &AtomSiteColumns::label_seq}, {"pdbx_pdb_ins_code", &AtomSiteColumns::ins_code}};
  for (int k = 0; k < c.count; ++k)
    for (const auto& [name, column] : wanted)
      if (tags[static_cast<std::size_t>(k)] == std::string("_atom_site.") + name) c.*column = k;
  return c;
}

}  // namespace cif

using namespace cif;

bool cif_values(std::string_view line, std::vector<CifValue>& values) {
  values.clear();
  LineMasks m;
  if (plain_masks(line, m) && !m.special) {
    std::uint64_t starts[4];
    value_starts(m, starts);
    for (std::size_t w = 0; w < m.words; ++w)
      for (std::uint64_t bits = starts[w]; bits != 0; bits &= bits - 1) {
        const std::size_t at = 64 * w + static_cast<std::size_t>(std::countr_zero(bits));
        values.push_back({at, value_end(m.filled, at), false});
      }
    return true;
  }
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (i < n) {
    if (blank(line[i])) {
      ++i;
      continue;
    }
    if (line[i] == '#') break;  // a comment to the end of the line
    if (line[i] == '\'' || line[i] == '"') {
      // Closed by the same quote followed by a blank or the end of the line.
      const char q = line[i];
      std::size_t j = i + 1;
      while (j < n && !(line[j] == q && (j + 1 == n || blank(line[j + 1])))) ++j;
      if (j >= n) return false;
      values.push_back({i + 1, j, true});
      i = j + 1;
      continue;
    }
    std::size_t j = i;
    while (j < n && !blank(line[j])) ++j;
    values.push_back({i, j, false});
    i = j;
  }
  return true;
}

}  // namespace gyro
