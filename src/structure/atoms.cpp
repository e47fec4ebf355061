#include "structure/atoms.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <new>
#include <string_view>

#include "text/fields.hpp"
#include "text/vectors.hpp"

namespace gyro {
AtomTable::AtomTable(std::int64_t most, bool double_precision)
    : limit(most), stated_limit(most), in_double(double_precision) {}

// The slots always include one beyond the accepted atoms: the reader converts
// a record into it before it knows whether the record is accepted.
std::size_t AtomTable::bytes_for(std::int64_t slots) const {
  return static_cast<std::size_t>(slots + 1) * (in_double ? sizeof(AtomD) : sizeof(Atom));
}

void AtomTable::place(void* p) {
  if (in_double)
    atoms_double = static_cast<AtomD*>(p);
  else
    atoms = static_cast<Atom*>(p);
}

void* AtomTable::slots() const {
  return in_double ? static_cast<void*>(atoms_double) : static_cast<void*>(atoms);
}

void AtomTable::allocate() {
  if (slots() != nullptr) return;
  const std::int64_t n = std::min(limit, max_atoms);
  void* p = ::mmap(nullptr, bytes_for(n), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                   -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  place(p);
  bytes_ = bytes_for(n);
  capacity = n;
}

AtomTable::~AtomTable() { release(); }

void AtomTable::release() {
  if (slots() != nullptr) ::munmap(slots(), bytes_);
  place(nullptr);
  capacity = 0;
}

void AtomTable::grow() {
  const std::int64_t n = std::min(limit, capacity * 2);
  const std::size_t bytes = bytes_for(n);
  void* p = ::mremap(slots(), bytes_, bytes, MREMAP_MAYMOVE);
  if (p == MAP_FAILED) throw std::bad_alloc();
  place(p);
  bytes_ = bytes;
  capacity = n;
}

bool simulation_serial(std::string_view f) {
  auto all = [&](std::string_view s, auto pred) { return std::all_of(s.begin(), s.end(), pred); };
  auto hex = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  };
  auto upper36 = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'); };
  auto lower36 = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); };
  if (all(f, [](char c) { return c == '*'; })) return true;
  if (f[0] >= 'A' && f[0] <= 'Z' && all(f.substr(1), upper36)) return true;
  if (f[0] >= 'a' && f[0] <= 'z' && all(f.substr(1), lower36)) return true;
  const std::size_t first = f.find_first_not_of(' ');
  return first != std::string_view::npos && all(f.substr(first), hex);
}

bool any_atom_fields(const char* line, float xyz[4], FieldFault& fault, bool simulation_serials) {
  const std::string_view rec(line, reclen);
  std::int32_t serial = 0;
  const std::string_view serial_field = columns(rec, 7, 5);
  if (!int_field(serial_field, serial) &&
      !(simulation_serials && simulation_serial(serial_field))) {
    fault = {7, 5};
    return false;
  }
  // 31-38 x, 39-46 y, 47-54 z.
  for (int k = 0; k < 3; ++k) {
    const int col = 31 + 8 * k;
    if (!real_field(columns(rec, col, 8), 3, xyz[k])) {
      fault = {col, 8};
      return false;
    }
  }
  return true;
}

bool any_atom_fields(const char* line, double xyz[3], FieldFault& fault,
                     bool simulation_serials) {
  float checked[4];
  if (!any_atom_fields(line, checked, fault, simulation_serials)) return false;
  const std::string_view rec(line, reclen);
  for (int k = 0; k < 3; ++k) real_field(columns(rec, 31 + 8 * k, 8), 3, xyz[k]);
  return true;
}

bool atom_fields_double(const char* line, double xyz[3], FieldFault& fault,
                        bool simulation_serials) {
#if defined(__x86_64__)
  if (vectors::wide())
    return usual_atom_fields_double_wide(line, xyz) ||
           any_atom_fields(line, xyz, fault, simulation_serials);
#endif
  return usual_atom_fields(line, xyz) || any_atom_fields(line, xyz, fault, simulation_serials);
}

}  // namespace gyro
