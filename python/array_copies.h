#pragma once

// Vectors of the C++ half copied into numpy arrays that Python owns.
#include <pybind11/numpy.h>

#include <cstdint>
#include <vector>

#include "common/real.h"

namespace qor_python {

template <typename T>
pybind11::array_t<T> array_of(const std::vector<T>& values) {
  pybind11::array_t<T> a(static_cast<pybind11::ssize_t>(values.size()));
  auto out = a.template mutable_unchecked<1>();
  for (std::size_t k = 0; k < values.size(); ++k) out(static_cast<pybind11::ssize_t>(k)) = values[k];
  return a;
}

// numpy.longdouble arrays of REAL.
inline pybind11::array_t<long double> real_array(const std::vector<REAL>& values) { return array_of(values); }
inline pybind11::array_t<std::int32_t> int_array(const std::vector<std::int32_t>& values) { return array_of(values); }

}  // namespace qor_python
