#include "structure/reading.hpp"

#include <algorithm>

#include "text/numtext.hpp"

namespace gyro {

std::string unknown_atom_line(std::string_view shown) {
  return FreeLine().text("Unknown atom type ").text(printable(shown)).str();
}

void note_unknown_atom(std::string_view shown, std::string_view name, Sink& err,
                       std::map<std::string, std::int64_t>* names) {
  if (names)
    ++(*names)[std::string(name)];
  else
    err.put(unknown_atom_line(shown));
}

std::vector<std::int64_t> distinct_models(std::vector<std::int64_t> numbers) {
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

std::string models_text(const std::vector<std::int64_t>& models) {
  const std::vector<std::int64_t> numbers = distinct_models(models);
  std::string list;
  for (std::size_t k = 0; k < numbers.size();) {
    std::size_t run = k;
    while (run + 1 < numbers.size() && numbers[run + 1] == numbers[run] + 1) ++run;
    if (k > 0) list += ", ";
    list += std::to_string(numbers[k]);
    if (run > k) list += "-" + std::to_string(numbers[run]);
    k = run + 1;
  }
  return (numbers.size() == 1 ? "model " : "models ") + list;
}

}  // namespace gyro
