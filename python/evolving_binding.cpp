// The Python module's evolving factor analysis: numpy arrays of the
// windows' counts and singular values for qor/evolving.py.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <limits>

#include "array_copies.h"
#include "run_waiting.h"
#include "library/evolving_call.h"

namespace py = pybind11;

namespace {

using qor_python::int_array;
using qor_python::real_array;

// One series of windows: their rows, counts and edges, and the singular
// values in a rows x (most values) array, NaN past a window's own.
py::dict windows_dict(const std::vector<WindowCount>& windows) {
  std::vector<std::int32_t> first, last, low, high;
  std::vector<REAL> edge;
  std::size_t width = 0;
  for (const WindowCount& w : windows) {
    first.push_back(w.first);
    last.push_back(w.last);
    low.push_back(w.low);
    high.push_back(w.high);
    edge.push_back(w.edge);
    width = std::max(width, w.singular.size() > 0 ? w.singular.size() - 1 : 0);
  }
  py::array_t<long double> singular({static_cast<py::ssize_t>(windows.size()), static_cast<py::ssize_t>(width)});
  auto out = singular.mutable_unchecked<2>();
  for (std::size_t i = 0; i < windows.size(); ++i)
    for (std::size_t k = 0; k < width; ++k)
      out(static_cast<py::ssize_t>(i), static_cast<py::ssize_t>(k)) =
          k + 1 < windows[i].singular.size() ? windows[i].singular[k + 1] : std::numeric_limits<REAL>::quiet_NaN();
  py::dict d;
  d["first"] = int_array(first);
  d["last"] = int_array(last);
  d["low"] = int_array(low);
  d["high"] = int_array(high);
  d["edge"] = real_array(edge);
  d["singular"] = singular;
  return d;
}

using RealArray = py::array_t<long double, py::array::c_style | py::array::forcecast>;

qor::Table table_of(const RealArray& values) {
  if (values.ndim() != 2) throw py::value_error("the data must be a 2-D array");
  qor::Table t;
  t.rows = static_cast<std::int32_t>(values.shape(0));
  t.columns = static_cast<std::int32_t>(values.shape(1));
  t.view = values.data();
  t.view_type = qor::ValueType::real;
  t.row_stride = values.strides(0);
  t.column_stride = values.strides(1);
  return t;
}

py::dict moving(const RealArray& values, const qor::Settings& settings, std::int32_t window, std::int32_t starts) {
  const qor::Table t = table_of(values);
  qor::Control control;
  std::vector<WindowCount> windows;
  {
    py::gil_scoped_release release;
    windows = qor::evolving_moving_windows(t, settings, window, starts, control);
  }
  return windows_dict(windows);
}

py::dict evolving(const RealArray& values, const qor::Settings& given, std::int32_t window, const py::object& errors,
                  const py::object& relative_errors) {
  const qor::Table t = table_of(values);
  const qor::Settings settings = qor_python::with_element_errors(given, errors, relative_errors);
  qor::Control control;
  const qor::Evolving e = qor_python::run_waiting([&] { return qor::evolving(t, settings, window, control); }, control,
                                                  py::none());
  const EvolvingFactors& f = e.factors;
  std::vector<std::int32_t> appears_low, appears_high, disappears_low, disappears_high;
  for (const ComponentRows& c : f.components) {
    appears_low.push_back(c.appears_low);
    appears_high.push_back(c.appears_high);
    disappears_low.push_back(c.disappears_low);
    disappears_high.push_back(c.disappears_high);
  }
  py::dict components;
  components["appears_low"] = int_array(appears_low);
  components["appears_high"] = int_array(appears_high);
  components["disappears_low"] = int_array(disappears_low);
  components["disappears_high"] = int_array(disappears_high);
  py::dict d;
  d["forward"] = windows_dict(f.forward);
  d["backward"] = windows_dict(f.backward);
  d["moving"] = windows_dict(f.moving);
  d["components"] = components;
  d["window"] = f.window;
  d["window_default"] = f.window_default;
  d["error_given"] = f.noise.error_given;
  d["equal_errors"] = f.noise.equal_errors;
  d["sigma"] = py::object(real_array({f.noise.sigma})[py::int_(0)]);
  d["table_rows"] = int_array(e.table_rows);
  d["row_updates"] = f.row_updates;
  d["decompositions"] = f.decompositions;
  py::list warnings;
  for (const std::string& w : e.warnings) warnings.append(py::str(w));
  d["warnings"] = warnings;
  return d;
}

}  // namespace

void bind_evolving(py::module_& m) {
  m.def("evolving", &evolving, "Evolving factor analysis of the rows (use qor.evolving).", py::arg("values"),
        py::arg("settings"), py::arg("window"), py::arg("errors") = py::none(), py::arg("relative_errors") = py::none());
  m.def("evolving_moving", &moving, "Moving windows of a block of rows (use qor.dask.evolving_windows).");
}
