// Times gyrolabium against the static floor program on generated files, the
// commands of one file interleaved run by run so that drifts of the machine
// touch all alike, and counts instructions with callgrind (numbers that do not
// move with the machine's noise). Prints medians, ratios, peak memory,
// instructions per atom and whether each target is met. A generated mmCIF
// file of 165 000 atoms is read too, and, where Python has the gemmi library,
// timed against that library's reading of it.
// Usage: timing GYROLABIUM FLOOR GEN WORKDIR [RUNS]
//        timing --instructions GYROLABIUM GEN WORKDIR  (the instruction counts only)
// Exits 1 when a target is missed.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;

struct Sample {
  double ms;
  long rss_kib;
};

// Runs args with standard output to `out_path` and standard error to
// `err_path`; returns wall time and the child's peak resident set.
Sample run(const Args& args, const char* out_path = "/dev/null",
           const char* err_path = "/dev/null") {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(out_path, O_WRONLY | O_CREAT | O_TRUNC, 0666),
              err = open(err_path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    dup2(out, 1);
    dup2(err, 2);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "timing: %s failed (status %d)\n", args[0].c_str(), status);
    std::exit(1);
  }
  return {ms, ru.ru_maxrss};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Instructions the whole process executes, from callgrind; -1 without valgrind.
long instructions(const Args& args, const std::string& dir) {
  static const bool have = std::system("valgrind --version >/dev/null 2>&1") == 0;
  if (!have) return -1;
  Args vg = {"valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"};
  vg.insert(vg.end(), args.begin(), args.end());
  const std::string log = dir + "/callgrind.log";
  run(vg, "/dev/null", log.c_str());
  std::ifstream in(log);
  std::string line;
  while (std::getline(in, line))
    if (auto at = line.find("Collected : "); at != std::string::npos)
      return std::atol(line.c_str() + at + 12);
  return -1;
}

// A copy of `from` whose lines are cut after column `width`.
void cut_lines(const std::string& from, const std::string& to, std::size_t width) {
  std::ifstream in(from);
  std::ofstream out(to);
  std::string line;
  while (std::getline(in, line)) out << line.substr(0, std::min(width, line.size())) << '\n';
}

// An ensemble: the atom records of `from` as each of `models` models.
void as_models(const std::string& from, const std::string& to, int models) {
  std::ifstream in(from);
  std::string atoms, line;
  while (std::getline(in, line))
    if (line.rfind("ATOM", 0) == 0 || line.rfind("HETATM", 0) == 0) atoms += line + '\n';
  std::ofstream out(to);
  char model[32];
  for (int m = 1; m <= models; ++m) {
    std::snprintf(model, sizeof model, "MODEL     %4d\n", m);
    out << model << atoms << "ENDMDL\n";
  }
  out << "END\n";
}

struct Target {
  std::string what;
  bool met;
};

// The molecule formats' targets (SDF --json --shape: 250 instructions an
// atom and 20,000 a molecule; GRO: 200 an atom): SDF per atom from 2,000
// molecules of 60 atoms against 2,000 of 30, per molecule from those of 30
// against one; GRO per atom from 100 frames of 3,000 atoms against one.
void molecule_counts(const std::string& gyro, const std::string& gen, const std::string& dir,
                     std::vector<Target>& targets) {
  const std::string one = dir + "/gen1x30.sdf", small = dir + "/gen2000x30.sdf",
                    large = dir + "/gen2000x60.sdf";
  run({gen, "1", "sdf", "30"}, one.c_str());
  run({gen, "2000", "sdf", "30"}, small.c_str());
  run({gen, "2000", "sdf", "60"}, large.c_str());
  auto count = [&](const std::string& file) {
    return static_cast<double>(instructions({gyro, "--json", "--shape", file}, dir));
  };
  const double c1 = count(one), c30 = count(small), c60 = count(large);
  if (c1 < 0) return;  // no valgrind: nothing to count
  const double per_atom = (c60 - c30) / 60000.0, per_molecule = (c30 - c1) / 1999.0 - 30 * per_atom;
  char buf[160];
  std::snprintf(buf, sizeof buf, "SDF --json --shape: %.0f instructions per atom <= 250", per_atom);
  targets.push_back({buf, per_atom <= 250});
  std::snprintf(buf, sizeof buf, "SDF --json --shape: %.0f instructions per molecule <= 20000",
                per_molecule);
  targets.push_back({buf, per_molecule <= 20000});
  const std::string frame = dir + "/gen1x3000.gro", frames = dir + "/gen100x3000.gro";
  run({gen, "1", "gro", "3000"}, frame.c_str());
  run({gen, "100", "gro", "3000"}, frames.c_str());
  const double gro =
      static_cast<double>(instructions({gyro, frames}, dir) - instructions({gyro, frame}, dir)) /
      297000.0;
  std::snprintf(buf, sizeof buf, "GRO report: %.0f instructions per atom <= 200", gro);
  targets.push_back({buf, gro <= 200});
}

// mmCIF on 165 000 atoms, per atom beyond a one-atom run: the report and the
// copy (-r), in the archive's aligned layout and with one blank between values
// as other programs write them. Adds the targets.
void mmcif_counts(const std::string& gyro, const std::string& gen, const std::string& dir,
                  std::vector<Target>& targets) {
  const std::string out = dir + "/out.cif";
  struct Case {
    const char* layout;  // gen's
    const char* what;
    bool copy;
    double most;  // instructions an atom
  };
  const Case cases[] = {{"cif", "mmCIF report", false, 400},
                        {"cif", "mmCIF -r", true, 900},
                        {"cif1", "mmCIF report, values not aligned", false, 500},
                        {"cif1", "mmCIF -r, values not aligned", true, 900}};
  char buf[200];
  for (const Case& c : cases) {
    auto count = [&](const char* atoms) {
      const std::string file = dir + "/gen" + atoms + c.layout + ".cif";
      run({gen, atoms, c.layout}, file.c_str());
      Args args = {gyro, "--max-atoms=200000", file};
      if (c.copy) args.push_back(out);
      if (c.copy) args.insert(args.begin() + 1, "-r");
      std::remove(out.c_str());
      const long n = instructions(args, dir);
      std::remove(out.c_str());
      return n;
    };
    const long base = count("1"), total = count("165000");
    if (base < 0) return;  // no valgrind: nothing to count
    const double per_atom = static_cast<double>(total - base) / 165000.0;
    std::snprintf(buf, sizeof buf, "%s: %.0f instructions per atom <= %.0f", c.what, per_atom,
                  c.most);
    targets.push_back({buf, per_atom <= c.most});
  }
}

// The instruction counts that hold the reading paths to their targets: each
// option set on the generated 64 000-atom file, per atom beyond a one-atom
// run, the mmCIF report on 165 000 atoms, and the start-up. Prints a line
// each; adds the targets.
void instruction_targets(const std::string& gyro, const std::string& gen, const std::string& dir,
                         std::vector<Target>& targets) {
  const std::string one = dir + "/gen1.pdb", many = dir + "/gen64000.pdb";
  run({gen, "1"}, one.c_str());
  run({gen, "64000"}, many.c_str());
  const std::string out = dir + "/out.pdb";
  struct Path {
    std::vector<std::string> options;
    double most;  // instructions an atom
  };
  const Path paths[] = {{{}, 146},
                        {{"-r"}, 294},
                        {{"--max-atoms=64000"}, 160},
                        {{"--masses=element"}, 160},
                        {{"--model=1"}, 180},
                        {{"--altloc=A"}, 180},
                        {{"--double", "-r"}, 450},
                        {{"--select=protein and not hydrogen"}, 200}};
  char buf[200];
  for (const Path& p : paths) {
    auto count = [&](const std::string& file) {
      Args args = {gyro};
      args.insert(args.end(), p.options.begin(), p.options.end());
      args.push_back(file);
      if (!p.options.empty() && p.options.back() == "-r") args.push_back(out);
      std::remove(out.c_str());
      const long n = instructions(args, dir);
      std::remove(out.c_str());
      return n;
    };
    const long base = count(one), total = count(many);
    if (base < 0) return;  // no valgrind: nothing to count
    const double per_atom = static_cast<double>(total - base) / 64000.0;
    std::string label = "gyrolabium";
    for (const auto& o : p.options) label += " " + o;
    std::snprintf(buf, sizeof buf, "%s: %.0f instructions per atom <= %.0f", label.c_str(),
                  per_atom, p.most);
    targets.push_back({buf, per_atom <= p.most});
    if (p.options.empty()) {
      std::snprintf(buf, sizeof buf, "start-up: one-atom report %ld instructions <= 80000", base);
      targets.push_back({buf, base <= 80000});
    }
  }
  // --whole on the same file (its 100 Å box cuts the structure): the joining
  // beyond the default report.
  {
    const long plain1 = instructions({gyro, one}, dir), plain = instructions({gyro, many}, dir);
    const long whole1 = instructions({gyro, "--whole", one}, dir),
               whole = instructions({gyro, "--whole", many}, dir);
    const double added = static_cast<double>((whole - whole1) - (plain - plain1)) / 64000.0;
    std::snprintf(buf, sizeof buf, "--whole: adds %.0f instructions per atom <= 60", added);
    targets.push_back({buf, added <= 60});
  }
  // --each-model on 2,000 models of 300 atoms: per model beyond 146 an atom.
  {
    const std::string small = dir + "/gen300.pdb", models = dir + "/models2000.pdb";
    run({gen, "300"}, small.c_str());
    as_models(small, models, 2000);
    const long base = instructions({gyro, one}, dir),
               total = instructions({gyro, "--each-model", models}, dir);
    const double per_model = (static_cast<double>(total - base) - 146.0 * 600000) / 2000;
    std::snprintf(buf, sizeof buf,
                  "--each-model: %.0f instructions per model beyond 146 an atom <= 15000", per_model);
    targets.push_back({buf, per_model <= 15000});
  }
  // Serial numbers past 99 999 in hybrid-36, as simulation programs write
  // them: a 1,000,000-atom file per atom against the 64,000-atom decimal one.
  {
    const std::string big = dir + "/gen1000000h36.pdb", limit = "--max-atoms=1000000";
    run({gen, "1000000", "h36"}, big.c_str());
    const long base = instructions({gyro, limit, one}, dir);
    const double decimal = static_cast<double>(instructions({gyro, limit, many}, dir) - base) / 64000.0,
                 hybrid = static_cast<double>(instructions({gyro, limit, big}, dir) - base) / 1e6;
    std::remove(big.c_str());
    std::snprintf(buf, sizeof buf,
                  "hybrid-36 serials: %.0f instructions per atom at 1,000,000 atoms <= 1.1 x %.0f "
                  "(decimal, 64,000)", hybrid, decimal);
    targets.push_back({buf, hybrid <= 1.1 * decimal});
  }
  molecule_counts(gyro, gen, dir, targets);
  mmcif_counts(gyro, gen, dir, targets);
}

// Prints the targets; true when every one is met.
bool report_targets(const std::vector<Target>& targets) {
  bool all = true;
  for (const auto& t : targets) {
    std::printf("target: %s: %s\n", t.what.c_str(), t.met ? "met" : "MISSED");
    all = all && t.met;
  }
  std::printf("all targets %s\n", all ? "met" : "NOT met");
  return all;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--instructions") {
    std::vector<Target> targets;
    instruction_targets(argv[2], argv[3], argv[4], targets);
    if (targets.empty()) {
      std::printf("no valgrind: no instructions counted\n");
      return 1;
    }
    return report_targets(targets) ? 0 : 1;
  }
  if (argc < 5) {
    std::fprintf(stderr, "usage: timing GYROLABIUM FLOOR GEN WORKDIR [RUNS]\n");
    return 2;
  }
  const std::string gyro = argv[1], floor_prog = argv[2], gen = argv[3], dir = argv[4];
  const int runs = argc > 5 ? std::atoi(argv[5]) : 15;
  const std::string out = dir + "/out.pdb";
  struct File {
    long atoms;
    std::string label, path;
  };
  std::vector<File> files;
  for (long n : {1L, 1000L, 10000L, 64000L}) {
    const std::string path = dir + "/gen" + std::to_string(n) + ".pdb";
    run({gen, std::to_string(n)}, path.c_str());
    files.push_back({n, std::to_string(n), path});
  }
  files.push_back({64000, "64000/66", dir + "/gen64000-cut66.pdb"});
  cut_lines(files[3].path, files.back().path, 66);

  const char* names[] = {"gyrolabium FILE", "floor FILE", "gyrolabium -r FILE OUT",
                         "floor FILE OUT"};
  std::printf("%-9s %-24s %10s %7s %9s %13s %9s\n", "atoms", "command", "median ms", "ratio",
              "peak RSS", "instructions", "per atom");
  // Per file: median ms, peak RSS and instructions of the four commands.
  std::vector<std::vector<double>> med(files.size(), std::vector<double>(4));
  std::vector<std::vector<long>> rss(files.size(), std::vector<long>(4)),
      ins(files.size(), std::vector<long>(4));
  for (std::size_t f = 0; f < files.size(); ++f) {
    const std::string& file = files[f].path;
    const Args cmds[4] = {{gyro, file}, {floor_prog, file}, {gyro, "-r", file, out},
                          {floor_prog, file, out}};
    std::vector<double> ms[4];
    for (int r = -1; r < runs; ++r) {  // round -1 is the warm-up
      for (int c = 0; c < 4; ++c) {
        std::remove(out.c_str());
        const Sample x = run(cmds[c]);
        if (r < 0) continue;
        ms[c].push_back(x.ms);
        rss[f][c] = std::max(rss[f][c], x.rss_kib);
      }
    }
    for (int c = 0; c < 4; ++c) {
      std::remove(out.c_str());
      med[f][c] = median(ms[c]);
      ins[f][c] = c % 2 == 0 ? instructions(cmds[c], dir) : -1;
    }
    for (int c = 0; c < 4; ++c) {
      const double ratio = c % 2 == 0 ? med[f][c] / med[f][c + 1] : 1.0;
      std::string per_atom = "";
      if (ins[f][c] >= 0 && f > 0) {
        const double n = static_cast<double>(ins[f][c] - ins[0][c]) /
                         static_cast<double>(files[f].atoms);
        per_atom = std::to_string(static_cast<long>(n + 0.5));
      }
      std::printf("%-9s %-24s %10.3f %7.2f %5.1f MiB %13s %9s\n", files[f].label.c_str(),
                  names[c], med[f][c], ratio, static_cast<double>(rss[f][c]) / 1024.0,
                  ins[f][c] >= 0 ? std::to_string(ins[f][c]).c_str() : "", per_atom.c_str());
    }
  }
  std::remove(out.c_str());

  // The compressed file: the report against gzip's own decompression.
  const std::string gz = files[3].path + ".gz";
  run({"sh", "-c", "gzip -n -c '" + files[3].path + "' > '" + gz + "'"});
  std::vector<double> gz_ms[2];
  for (int r = -1; r < runs; ++r) {
    const Sample a = run({gyro, gz}), b = run({"gzip", "-dc", gz});
    if (r < 0) continue;
    gz_ms[0].push_back(a.ms);
    gz_ms[1].push_back(b.ms);
  }
  const double gz_report = median(gz_ms[0]), gz_plain = median(gz_ms[1]);
  std::printf("%-9s %-24s %10.3f %7.2f\n", "64000.gz", "gyrolabium FILE.gz", gz_report,
              gz_report / gz_plain);
  std::printf("%-9s %-24s %10.3f %7.2f\n", "64000.gz", "gzip -dc FILE.gz", gz_plain, 1.0);

  // A .gz output name: the -r copy compressed, against the same run writing
  // plain text.
  std::vector<double> gz_out_ms[2];
  const std::string gz_out = dir + "/out.pdb.gz";
  for (int r = -1; r < runs; ++r) {
    std::remove(out.c_str());
    std::remove(gz_out.c_str());
    const Sample a = run({gyro, "-r", files[3].path, gz_out}), b = run({gyro, "-r", files[3].path, out});
    if (r < 0) continue;
    gz_out_ms[0].push_back(a.ms);
    gz_out_ms[1].push_back(b.ms);
  }
  std::remove(out.c_str());
  std::remove(gz_out.c_str());
  const double gz_copy = median(gz_out_ms[0]), plain_copy = median(gz_out_ms[1]);
  std::printf("%-9s %-24s %10.3f %7.2f\n", "64000", "gyrolabium -r OUT.gz", gz_copy,
              gz_copy / plain_copy);

  // mmCIF as the archive writes it: 165 000 atoms in aligned rows, the report
  // timed and counted against one atom's, and against the time a well-kept
  // mmCIF library takes to read the same file (when Python has it).
  const std::string cif1 = dir + "/gen1.cif", cif = dir + "/gen165000.cif";
  run({gen, "1", "cif"}, cif1.c_str());
  run({gen, "165000", "cif"}, cif.c_str());
  const Args cif_report = {gyro, "--max-atoms=200000", cif};
  std::vector<double> cif_ms;
  for (int r = -1; r < runs; ++r) {
    const Sample x = run(cif_report);
    if (r >= 0) cif_ms.push_back(x.ms);
  }
  const long cif_ins1 = instructions({gyro, "--max-atoms=200000", cif1}, dir),
             cif_ins = instructions(cif_report, dir);
  const double cif_per_atom = static_cast<double>(cif_ins - cif_ins1) / 165000.0;
  std::printf("%-9s %-24s %10.3f %7s %9s %13ld %9.0f\n", "165000", "gyrolabium FILE.cif",
              median(cif_ms), "", "", cif_ins, cif_per_atom);
  const std::string library_ms = dir + "/library.ms", script = dir + "/library.py";
  {
    std::ofstream py(script);
    py << "import sys, time, gemmi\n"
          "ts = []\n"
          "for _ in range(int(sys.argv[2])):\n"
          "    t0 = time.perf_counter(); gemmi.read_structure(sys.argv[1])\n"
          "    ts.append((time.perf_counter() - t0) * 1000)\n"
          "print(sorted(ts)[len(ts) // 2])\n";
  }
  double library = -1;
  {
    // The first Python on the path that has the library, else the system's.
    std::ofstream sh(script + ".sh");
    sh << "for p in python3 /usr/bin/python3; do\n"
          "  \"$p\" -c 'import gemmi' 2>/dev/null && exec \"$p\" \"$@\"\n"
          "done\n"
          "exit 1\n";
  }
  if (std::system(("sh '" + script + ".sh' '" + script + "' '" + cif + "' 5 > '" + library_ms + "'")
                      .c_str()) == 0) {
    std::ifstream in(library_ms);
    in >> library;
    std::printf("%-9s %-24s %10.3f %7.1f   (gemmi.read_structure alone, in Python)\n", "165000",
                "library reads FILE.cif", library, library / median(cif_ms));
  }

  // Instructions per atom beyond those of the one-atom run.
  auto per_atom = [&](std::size_t f, int c) {
    return static_cast<double>(ins[f][c] - ins[0][c]) / static_cast<double>(files[f].atoms);
  };
  std::vector<Target> targets;
  char buf[200];
  auto add = [&](bool met, const char* fmt, double a, double b = 0) {
    std::snprintf(buf, sizeof buf, fmt, a, b);
    targets.push_back({buf, met});
  };
  add(med[3][0] <= 2.0 * med[3][1], "64000 atoms: report / floor = %.2f <= 2.0",
      med[3][0] / med[3][1]);
  add(med[3][2] <= 2.5 * med[3][3], "64000 atoms: -r / floor = %.2f <= 2.5",
      med[3][2] / med[3][3]);
  add(med[0][0] <= 1.6 * med[0][1], "start-up: one-atom report / floor = %.2f <= 1.6",
      med[0][0] / med[0][1]);
  add(gz_report <= 0.5 * gz_plain, "64000 atoms gzipped: report / gzip -dc = %.2f <= 0.5",
      gz_report / gz_plain);
  add(gz_copy <= 5 * plain_copy, "64000 atoms: -r to a .gz name / to plain text = %.2f <= 5",
      gz_copy / plain_copy);
  long peak = 0;
  for (std::size_t f = 0; f < files.size(); ++f) peak = std::max({peak, rss[f][0], rss[f][2]});
  add(peak <= 16 * 1024, "peak RSS %.1f MiB <= 16 MiB", static_cast<double>(peak) / 1024.0);
  if (ins[0][0] >= 0) {
    add(ins[0][0] <= 300000, "start-up: one-atom report %.0f instructions <= 300000",
        static_cast<double>(ins[0][0]));
    for (int c : {0, 2})
      add(per_atom(3, c) <= 1.1 * per_atom(2, c),
          c == 0 ? "report: per atom at 64000 / at 10000 = %.2f <= 1.1"
                 : "-r: per atom at 64000 / at 10000 = %.2f <= 1.1",
          per_atom(3, c) / per_atom(2, c));
    add(per_atom(4, 2) <= 1.2 * per_atom(3, 2),
        "-r: per atom on lines cut after column 66 / on 80-column lines = %.2f <= 1.2",
        per_atom(4, 2) / per_atom(3, 2));
  }
  if (library > 0)
    add(library >= 3 * median(cif_ms), "mmCIF: the library's reading / the report = %.1f >= 3",
        library / median(cif_ms));
  instruction_targets(gyro, gen, dir, targets);
  return report_targets(targets) ? 0 : 1;
}
