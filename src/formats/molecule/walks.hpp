// The walk of each molecule or simulation format, chosen by the format.
#pragma once

#include "formats/molecule/gro.hpp"
#include "formats/molecule/mol2.hpp"
#include "formats/molecule/molecule.hpp"
#include "formats/molecule/sdf.hpp"
#include "formats/molecule/xyz.hpp"

namespace gyro {

template <class Real, class Visitor>
PassFault walk_records(Format format, LineReader& in, Visitor& v) {
  switch (format) {
    case Format::sdf: return sdf::walk<Real>(in, v);
    case Format::mol2: return mol2::walk<Real>(in, v);
    case Format::xyz: return xyz::walk<Real>(in, v);
    default: return gro::walk<Real>(in, v);
  }
}

}  // namespace gyro
