#include "structure/passes.hpp"

#include "structure/atoms.hpp"
#include "text/numtext.hpp"

namespace gyro {

PassFault field_fault(const char* line, long lineno, int col, int width) {
  return {PassFault::Kind::bad_field, lineno, col, width,
          std::string(line + col - 1, static_cast<std::size_t>(width))};
}

std::string pass_fault_text(const std::string& input_path, const PassFault& f) {
  const std::string file = about(input_path);
  if (f.kind == PassFault::Kind::read_error) return file + f.text + "\n";
  if (f.kind == PassFault::Kind::changed) return file + "the file changed while it was read\n";
  if (f.kind == PassFault::Kind::no_model) return file + "no model " + f.text + "\n";
  const std::string at = file + "line " + std::to_string(f.lineno);
  if (f.kind == PassFault::Kind::damaged) return at + ": " + f.text + "\n";
  if (f.kind == PassFault::Kind::full)
    return at + ": more than " + f.text + (f.text == "1" ? " atom (" : " atoms (") +
           (f.text == std::to_string(max_atoms) ? "--max-atoms=N" : "a larger --max-atoms") +
           " reads more)\n";
  return at + ", columns " + std::to_string(f.col) + "-" + std::to_string(f.col + f.width - 1) +
         ": cannot read \"" + printable(f.text) + "\" as a number\n";
}

}  // namespace gyro
