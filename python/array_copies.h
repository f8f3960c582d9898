#pragma once

// Vectors of the C++ half copied into numpy arrays that Python owns.
#include <pybind11/numpy.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/real.h"
#include "library/library.h"

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

// The type of a caller's values, by kind and size rather than by identity:
// an array that went through pickle (joblib, multiprocessing, a Dask
// worker) carries a dtype object of its own that equals float64 without
// being numpy's.
inline qor::ValueType value_type_of(const pybind11::dtype& type, const char* what = "the data") {
  if (type.kind() == 'f' && type.attr("isnative").cast<bool>()) {
    switch (static_cast<std::size_t>(type.itemsize())) {
      case sizeof(long double): return qor::ValueType::real;
      case sizeof(double): return qor::ValueType::float64;
      case sizeof(float): return qor::ValueType::float32;
      default: break;
    }
  }
  throw pybind11::type_error(std::string(what) + " must be float32, float64 or numpy.longdouble in the machine's byte order, not " +
                             type.attr("name").cast<std::string>());
}

// A 2-D array as a table the library reads in place (the array must outlive the call).
inline qor::Table view_table_of(const pybind11::array& values, const char* what = "the data") {
  if (values.ndim() != 2) throw pybind11::value_error(std::string(what) + " must be a 2-D array");
  qor::Table t;
  t.view_type = value_type_of(values.dtype(), what);
  t.rows = static_cast<std::int32_t>(values.shape(0));
  t.columns = static_cast<std::int32_t>(values.shape(1));
  t.view = values.data();
  t.row_stride = values.strides(0);
  t.column_stride = values.strides(1);
  return t;
}

// The errors element by element a call was given (None: one for all) into
// its settings.
inline qor::Settings with_element_errors(qor::Settings s, const pybind11::object& errors, const pybind11::object& relative) {
  if (!errors.is_none()) s.absolute_errors = view_table_of(errors.cast<pybind11::array>(), "error");
  if (!relative.is_none()) s.relative_errors_percent = view_table_of(relative.cast<pybind11::array>(), "relative_error");
  return s;
}

}  // namespace qor_python
