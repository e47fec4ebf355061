// What a reading of a structure takes from the command line (which atom
// records are analysed, where masses come from, how many atoms it accepts)
// and what it saw besides the atoms, for the notes after it. Every format's
// reader follows the same rules.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/periodic.hpp"
#include "select/expression.hpp"
#include "structure/atoms.hpp"
#include "text/sink.hpp"

namespace gyro {

// The formats a structure may come in: PDB records, mmCIF, and the molecule
// and simulation formats SDF/MOL, MOL2, XYZ and GRO.
enum class Format { pdb, mmcif, sdf, mol2, xyz, gro };
// Whether each record of the format is a molecule or frame of its own.
inline bool holds_records(Format f) { return f != Format::pdb && f != Format::mmcif; }

// Which atom records are analysed: every one, or those of one model and of
// blank or one alternate location. The records left out count in nothing.
struct Selection {
  std::optional<std::int64_t> model;  // only the atoms of this model
  bool each_model = false;            // the atoms of every model, none outside them
  std::optional<char> altloc;         // only blank or this alternate location
  std::shared_ptr<const SelectExpression> expression;  // --select: only the records it selects
  bool any() const { return model || each_model || altloc || expression; }
};

// Where an accepted atom's mass comes from: the rules of its name, or the
// element it names (PDB columns 77-78; the name decides where they are blank),
// or none: every atom that the format's usual rule accepts weighs 1 (the
// geometric shape).
enum class MassSource { atom_name, element, unit };

// Every choice that shapes a reading.
struct ReadingRules {
  Selection selection;
  MassSource masses = MassSource::atom_name;
  // A limit of accepted atoms other than the usual one; with it, serial
  // numbers past 99 999 in the forms of simulation programs are read too.
  std::optional<std::int64_t> max_atoms;
  std::optional<Format> format;  // --format: the format named, not found from the text
  bool whole = false;  // --whole: the analysed atoms joined across the periodic box
  std::int64_t limit() const { return max_atoms.value_or(gyro::max_atoms); }
  bool simulation_serials() const { return max_atoms.has_value(); }
};

// A record of molecule or simulation text that could not be read: where,
// and why.
struct RecordDamage {
  std::int64_t record = 0;
  long lineno = 0;
  std::string reason;
};

// What a reading of records tells as it goes, so that each record is
// analysed while the next is read (the table then holds one record at a
// time): a record's atoms are all read (the table's last segment, `name` its
// title, `flat` its coordinates 2D), or a record is damaged.
class RecordSink {
 public:
  virtual ~RecordSink() = default;
  // `box`: the record's periodic box, if it has one.
  virtual void record_done(const Segment& s, std::string_view name, bool flat,
                           const std::optional<Box>& box) = 0;
  virtual void damaged(const RecordDamage& d) = 0;
};

// What the first pass saw besides the atoms, for the notes after it.
struct ReadNotes {
  std::int64_t models = 0;               // MODEL records
  std::int64_t alternate_locations = 0;  // atom records with column 17 not blank
  std::int64_t short_records = 0;        // atom records whose line ends before column 54
  std::int64_t other_locations = 0;      // atom records of locations left out
  std::int64_t unselected = 0;           // atom records of other models or locations
  std::int64_t not_selected = 0;         // atom records --select left out (in the model)
  std::int64_t skipped_with_element = 0;  // skipped for their names, an element in 77-78
  std::int64_t first_line_carriage_returns = 0;  // when line 1 is longer than 80 bytes
  bool mmcif = false;  // read from mmCIF rows: models are pdbx_PDB_model_num values
  bool molecules = false;  // read from molecule or simulation records (SDF, ...)
  // Molecule and simulation records: the atoms accepted in all records, and
  // the records that could not be read.
  std::int64_t records_accepted = 0;
  std::vector<RecordDamage> damaged;
  // The periodic box: the last one read (PDB CRYST1, mmCIF _cell), and with
  // MODEL records the one each model's MODEL record came after.
  std::optional<Box> box;
  std::map<std::int64_t, Box> model_boxes;
  // With --whole and a copy: the lines of the accepted atom records (PDB), or
  // the places of the accepted rows among the _atom_site rows (mmCIF).
  std::vector<long> analysed_lines;
  std::map<std::int64_t, long> model_lines;  // PDB: the line of each model number's MODEL record
  std::int64_t repeated_model = 0;  // the first model number met at a second MODEL record
  long repeated_at[2] = {0, 0};     // its two lines
  // Where set, the skipped atom records are counted here by name (columns
  // 13-16 less blanks) instead of each having its line on standard error.
  std::map<std::string, std::int64_t>* skipped_names = nullptr;
  // Every count back to zero; skipped_names emptied but kept.
  void restart() {
    if (skipped_names) skipped_names->clear();
    std::map<std::string, std::int64_t>* names = skipped_names;
    std::optional<Box> kept_box = box;
    *this = ReadNotes{};
    skipped_names = names;
    box = kept_box;
  }
};

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

}  // namespace gyro
