// The first pass: every atom record of the input into the atom table.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "structure/atoms.hpp"
#include "structure/passes.hpp"
#include "text/records.hpp"
#include "text/sink.hpp"

namespace gyro {

// What part of the structure is analysed and how atoms get their masses. Every
// option left unset keeps the tool's plain behaviour.
struct Selection {
  std::optional<std::int64_t> model;  // only the atoms of this MODEL
  std::optional<char> altloc;         // only blank or this alternate location
  bool element_masses = false;        // masses from the element column first
  std::optional<std::int64_t> max_atoms;  // a limit other than the usual one
  bool any() const { return model || altloc || element_masses || max_atoms; }
};


// What the first pass saw besides the atoms, for the notes after it.
struct ReadNotes {
  std::int64_t models = 0;               // MODEL records
  std::int64_t alternate_locations = 0;  // atom records with column 17 not blank
  std::int64_t short_records = 0;        // atom records whose line ends before column 54
  std::int64_t other_locations = 0;      // atom records of locations left out
  std::int64_t unselected = 0;           // atom records of other models or locations
  std::int64_t first_line_carriage_returns = 0;  // when line 1 is longer than 80 bytes
  bool mmcif = false;  // read from mmCIF rows: models are pdbx_PDB_model_num values
  // Where set, the skipped atom records are counted here by name (columns
  // 13-16 less blanks) instead of each having its line on standard error.
  std::map<std::string, std::int64_t>* skipped_names = nullptr;
  // Every count back to zero; skipped_names emptied but kept.
  void restart() {
    if (skipped_names) skipped_names->clear();
    *this = {.skipped_names = skipped_names};
  }
};

// Fills the table (in its precision) from the ATOM/HETATM records of the input; an atom whose
// name gives no mass is counted in `skipped` and warned about on `err`. Stops
// at a field that does not convert, at an accepted atom that finds the table
// full, or when reading fails.
PassFault read_atoms(RecordCursor& input, AtomTable& t, ReadNotes& notes, Sink& err);

// An atom record skipped for want of a mass: its line "Unknown atom type
// SHOWN" (printable) on standard error, or, where names are counted, its name
// counted.
std::string unknown_atom_line(std::string_view shown);
void note_unknown_atom(std::string_view shown, std::string_view name, Sink& err,
                       std::map<std::string, std::int64_t>* names);

// The model numbers seen, each once, in order.
std::vector<std::int64_t> distinct_models(std::vector<std::int64_t> numbers);
// "models 1-3, 5" or "model 2": the model numbers seen, in ranges.
std::string models_text(const std::vector<std::int64_t>& models);

// read_atoms for a run with options: only the atom records of the selected
// model and locations count (the others count in nothing), masses may come
// from the element column, and with a limit of its own serial numbers in the
// forms of simulation programs are read. `every_record`: the fields of the
// records left out are converted too (they are moved in an output file), so
// that one that does not convert stops the run. A model the file does not
// have stops it too.
PassFault read_selected_atoms(RecordCursor& input, AtomTable& t, ReadNotes& notes, Sink& err,
                              const Selection& selection, bool every_record);



}  // namespace gyro
