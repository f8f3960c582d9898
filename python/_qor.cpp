// The Python module's C++ half: numpy arrays in and out of the library,
// the work in a thread of its own while the interpreter waits without the
// GIL and answers Ctrl-C, and RunError as qor.Error. The Python half
// (qor/__init__.py) gives the calls their keyword arguments, checks and
// documentation.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "common/run_error.h"
#include "input/setting_numbers.h"
#include "library/blockwise.h"
#include "library/library.h"
#include "library/library_parts.h"

namespace py = pybind11;

// The evolving factor analysis, bound in evolving_binding.cpp.
void bind_evolving(py::module_& m);

namespace {

static_assert(sizeof(long double) == 16, "numpy.longdouble is the 80-bit type in 16 bytes on x86-64");

// The program's texts are bytes: UTF-8 where the user typed or stored them
// so, anything else shown with replacement characters rather than refused.
py::str text_of(const std::string& bytes) {
  PyObject* text = PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "replace");
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

py::list texts_of(const std::vector<std::string>& lines) {
  py::list list;
  for (const std::string& line : lines) list.append(text_of(line));
  return list;
}

// numpy.longdouble arrays of REAL, copied so that Python owns them.
py::array_t<long double> real_array(const std::vector<REAL>& values) {
  py::array_t<long double> a(static_cast<py::ssize_t>(values.size()));
  auto out = a.mutable_unchecked<1>();
  for (std::size_t k = 0; k < values.size(); ++k) out(static_cast<py::ssize_t>(k)) = values[k];
  return a;
}

qor::Labels labels_of(const py::dict& d) {
  qor::Labels l;
  if (d.contains("numbers")) l.numbers = d["numbers"].cast<std::vector<std::int64_t>>();
  if (d.contains("titles")) {
    const auto titles = py::array_t<long double, py::array::c_style | py::array::forcecast>::ensure(d["titles"]);
    if (!titles) throw py::value_error("titles must be numbers");
    l.titles.assign(titles.data(), titles.data() + titles.size());
  }
  if (d.contains("texts")) l.texts = d["texts"].cast<std::vector<std::string>>();
  return l;
}

py::dict labels_dict(const qor::Labels& l) {
  py::dict d;
  d["numbers"] = l.numbers;
  if (!l.titles.empty()) d["titles"] = real_array(l.titles);
  if (!l.texts.empty()) d["texts"] = texts_of(l.texts);
  return d;
}

// An error given as its decimal text is read by the program's rule for
// parameter 4, so that "0.01" is the same 80-bit value as on the command
// line (a cast through a Python float would round it to 53 bits); a
// numpy.longdouble or a number is taken as it is.
REAL error_of(const py::handle& value, const char* name) {
  if (py::isinstance<py::str>(value)) {
    const std::string text = value.cast<std::string>();
    const std::optional<REAL> read = read_real_number(text);
    if (!read) throw py::value_error(std::string(name) + " \"" + text + "\" is not a decimal number");
    return *read;
  }
  // Through a numpy array, so that a numpy.longdouble keeps its 64 bits.
  const auto a = py::array_t<long double, py::array::forcecast>::ensure(value);
  if (!a || a.size() != 1) throw py::type_error(std::string(name) + " must be a number");
  return *a.data();
}

// A numpy.longdouble scalar: a Python float would round the value to 53 bits.
py::object longdouble_scalar(REAL v) {
  py::array_t<long double> a(1);
  a.mutable_at(0) = v;
  return a[py::int_(0)];
}

// The kinds of analysis a call runs.
enum class Kind { eliminate, eigen, rank };

py::dict label_dict(const Label& l) {
  py::dict d;
  d["number"] = l.number;
  if (l.text) {
    d["title"] = text_of(*l.text);
  } else if (l.titled) {
    d["title"] = py::cast(static_cast<long double>(l.title));
  } else {
    d["title"] = py::none();
  }
  return d;
}

py::dict results_dict(const qor::Run& run) {
  const AnalysisResults& r = run.results;
  py::dict d;
  d["ran"] = r.ran;
  d["errors"] = r.errors;
  d["rows"] = r.N;
  d["columns"] = r.M;
  std::vector<REAL> values, variances;
  py::list rows, columns;
  for (const PivotResult& p : r.pivots) {
    values.push_back(p.value);
    variances.push_back(p.variance);
    rows.append(label_dict(p.row));
    columns.append(label_dict(p.column));
  }
  d["pivots"] = real_array(values);
  d["pivot_variances"] = real_array(variances);
  d["pivot_rows"] = rows;
  d["pivot_columns"] = columns;
  std::vector<REAL> eigenvalues, eigen_variances, chi_square, q_all, q_rest;
  std::vector<std::int64_t> positions;
  std::vector<std::vector<std::int64_t>> beyond;
  for (std::int32_t k = 0; k < r.eigenvalues_examined; ++k) {
    const EigenvalueResult& e = r.eigenvalues[static_cast<std::size_t>(k)];
    eigenvalues.push_back(e.value);
    eigen_variances.push_back(e.variance);
    positions.push_back(e.position);
    chi_square.push_back(e.test.tested ? e.test.G : REAL(NAN));
    q_all.push_back(e.test.probabilities ? e.test.Q_all : REAL(NAN));
    q_rest.push_back(e.test.probabilities ? e.test.Q_rest : REAL(NAN));
    beyond.push_back({e.test.NR[1], e.test.NR[2], e.test.NR[3]});
  }
  d["eigenvalues"] = real_array(eigenvalues);
  d["eigenvalue_variances"] = real_array(eigen_variances);
  d["positions"] = positions;
  d["chi_square"] = real_array(chi_square);
  d["q_all"] = real_array(q_all);
  d["q_rest"] = real_array(q_rest);
  d["beyond"] = beyond;
  py::list statistics;
  for (const qor::StepStatistics& st : run.statistics) {
    std::vector<REAL> both(st.signed_values, st.signed_values + 4);
    both.insert(both.end(), st.absolute_values, st.absolute_values + 4);
    statistics.append(real_array(both));
  }
  d["statistics"] = statistics;
  return d;
}

py::object verdict_dict(const qor::Run& run) {
  if (!run.verdict) return py::none();
  const RankVerdict& v = *run.verdict;
  py::dict d;
  d["low"] = v.low;
  d["high"] = v.high;
  d["error_given"] = v.error_given;
  d["sigma"] = py::cast(static_cast<long double>(v.sigma));
  d["edge"] = py::cast(static_cast<long double>(v.edge));
  d["singular_values"] = real_array(std::vector<REAL>(v.singular.begin() + (v.singular.empty() ? 0 : 1), v.singular.end()));
  d["q_after"] = real_array(v.Q);
  d["lines"] = texts_of(run.verdict_lines);
  return d;
}

// Runs work in a thread of its own; meanwhile the interpreter checks for
// Ctrl-C every 50 ms without holding the GIL and shows the stages through
// `progress` (called with the stage number when it changes; None: none).
// A Ctrl-C asks the run to stop, waits for it (one loop at most) and
// raises KeyboardInterrupt; nothing of the run is left.
template <typename Work>
qor::Run run_waiting(Work work, qor::Control& control, const py::object& progress) {
  qor::Run run;
  std::exception_ptr failure;
  std::mutex mutex;
  std::condition_variable done_changed;
  bool done = false;
  std::thread worker([&] {
    try {
      run = work();
    } catch (...) {
      failure = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    done_changed.notify_one();
  });
  // Whatever leaves the loop (Ctrl-C, an exception of the progress
  // callable) first stops the run and waits for it, so that no thread of it
  // outlives the call.
  const auto stop_and_wait = [&] {
    control.stop = true;
    py::gil_scoped_release release;
    worker.join();
  };
  int shown = 0;
  try {
    for (;;) {
      bool finished = false;
      {
        py::gil_scoped_release release;
        std::unique_lock<std::mutex> lock(mutex);
        finished = done_changed.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; });
      }
      if (finished) break;
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
      const int stage = control.stage.load();
      if (!progress.is_none() && stage != shown) {
        shown = stage;
        progress(stage);
      }
    }
  } catch (...) {
    stop_and_wait();
    throw;
  }
  worker.join();
  if (failure) std::rethrow_exception(failure);
  if (!progress.is_none()) progress(static_cast<int>(qor::kDone));
  return run;
}

// What a call returns to the Python half.
py::dict run_dict(const qor::Run& run) {
  py::dict d;
  d["results"] = results_dict(run);
  d["verdict"] = verdict_dict(run);
  d["warnings"] = texts_of(run.warnings);
  d["json"] = text_of(run.results_json);
  // The picture declares ISO-8859-1: each byte is its character.
  d["svg"] = py::reinterpret_steal<py::str>(
      PyUnicode_DecodeLatin1(run.picture.data(), static_cast<Py_ssize_t>(run.picture.size()), nullptr));
  return d;
}

qor::Table table_of(const py::array& values, const py::dict& rows, const py::dict& columns) {
  if (values.ndim() != 2) throw py::value_error("the data must be a 2-D array");
  qor::Table t;
  t.rows = static_cast<std::int32_t>(values.shape(0));
  t.columns = static_cast<std::int32_t>(values.shape(1));
  t.view = values.data();
  t.row_stride = values.strides(0);
  t.column_stride = values.strides(1);
  const py::dtype type = values.dtype();
  if (type.is(py::dtype::of<long double>())) {
    t.view_type = qor::ValueType::real;
  } else if (type.is(py::dtype::of<double>())) {
    t.view_type = qor::ValueType::float64;
  } else if (type.is(py::dtype::of<float>())) {
    t.view_type = qor::ValueType::float32;
  } else {
    throw py::value_error("the data must be float32, float64 or numpy.longdouble");
  }
  t.row_labels = labels_of(rows);
  t.column_labels = labels_of(columns);
  return t;
}

py::dict call(Kind kind, const py::array& values, const py::dict& rows, const py::dict& columns,
              const qor::Settings& s, const py::object& progress) {
  const qor::Table table = table_of(values, rows, columns);
  qor::Control control;
  const auto work = [&] {
    switch (kind) {
      case Kind::eliminate: return qor::eliminate(table, s, control);
      case Kind::eigen: return qor::eigen(table, s, control);
      case Kind::rank: break;
    }
    return qor::rank(table, s, control);
  };
  return run_dict(run_waiting(work, control, progress));
}

py::dict load(const std::string& path, bool row_titles, bool column_titles, const std::string& separator,
              bool decimal_comma, const std::string& rows_left_out, const std::string& columns_left_out) {
  qor::LoadOptions options;
  options.row_titles = row_titles;
  options.column_titles = column_titles;
  options.separator = separator.empty() ? 0 : separator[0];
  options.decimal_comma = decimal_comma;
  options.rows_left_out = rows_left_out;
  options.columns_left_out = columns_left_out;
  qor::Table t;
  {
    py::gil_scoped_release release;
    t = qor::load_table(path, options);
  }
  py::array_t<long double> values({static_cast<py::ssize_t>(t.rows), static_cast<py::ssize_t>(t.columns)});
  auto out = values.mutable_unchecked<2>();
  for (std::int32_t i = 0; i < t.rows; ++i)
    for (std::int32_t j = 0; j < t.columns; ++j) out(i, j) = t.at(i, j);
  py::dict d;
  d["values"] = values;
  d["rows"] = labels_dict(t.row_labels);
  d["columns"] = labels_dict(t.column_labels);
  return d;
}

// ---- The analysis by blocks of rows (qor.dask): what passes between the
// workers and the client goes as dicts of numpy arrays, REAL values as
// numpy.longdouble, so that nothing is rounded on the way.

py::array_t<long double> reals(std::initializer_list<REAL> values) { return real_array(std::vector<REAL>(values)); }

std::vector<REAL> reals_of(const py::handle& h) {
  const auto a = py::array_t<long double, py::array::c_style | py::array::forcecast>::ensure(h);
  if (!a) throw py::value_error("expected numpy.longdouble values");
  return std::vector<REAL>(a.data(), a.data() + a.size());
}

py::dict sums_dict(const qor::BlockSums& b) {
  py::dict d;
  d["rows"] = b.rows;
  d["columns"] = b.columns;
  d["errors"] = b.errors;
  d["product"] = real_array(b.product);
  d["variances"] = real_array(b.variances);
  const VarianceSums& e = b.error_sums;
  d["column_sums"] = real_array(e.column_sums);
  d["reals"] = reals({e.total, e.largest_row, e.first});
  d["included"] = e.included;
  d["equal"] = e.equal;
  return d;
}

qor::BlockSums sums_of(const py::dict& d) {
  qor::BlockSums b;
  b.rows = d["rows"].cast<std::int64_t>();
  b.columns = d["columns"].cast<std::int32_t>();
  b.errors = d["errors"].cast<bool>();
  b.product = reals_of(d["product"]);
  b.variances = reals_of(d["variances"]);
  VarianceSums& e = b.error_sums;
  e.column_sums = reals_of(d["column_sums"]);
  const std::vector<REAL> r = reals_of(d["reals"]);
  e.total = r.at(0);
  e.largest_row = r.at(1);
  e.first = r.at(2);
  e.included = d["included"].cast<std::int64_t>();
  e.equal = d["equal"].cast<bool>();
  return b;
}

py::dict tests_dict(const qor::BlockTests& t) {
  std::vector<REAL> G;
  std::vector<std::vector<std::int64_t>> NR;
  for (const ResidualTest& r : t.tests) {
    G.push_back(r.G);
    NR.push_back({r.NR[1], r.NR[2], r.NR[3]});
  }
  py::dict d;
  d["G"] = real_array(G);
  d["NR"] = NR;
  return d;
}

qor::BlockTests tests_of(const py::dict& d) {
  qor::BlockTests t;
  const std::vector<REAL> G = reals_of(d["G"]);
  const auto NR = d["NR"].cast<std::vector<std::vector<std::int64_t>>>();
  for (std::size_t r = 0; r < G.size(); ++r) {
    ResidualTest x;
    x.G = G[r];
    for (int n = 1; n <= 3; ++n) x.NR[n] = NR.at(r).at(static_cast<std::size_t>(n - 1));
    t.tests.push_back(x);
  }
  return t;
}

py::dict block_sums(const py::array& values, const qor::Settings& s, std::int64_t first_row) {
  const qor::Table block = table_of(values, py::dict(), py::dict());
  qor::BlockSums b;
  {
    py::gil_scoped_release release;
    b = qor::block_sums(block, s, first_row);
  }
  return sums_dict(b);
}

py::dict add_sums(const py::dict& a, const py::dict& b) { return sums_dict(qor::add_sums(sums_of(a), sums_of(b))); }

py::dict block_tests(const py::array& values, const qor::Settings& s, const py::handle& eigenvectors,
                     std::int32_t U, std::int64_t first_row) {
  const qor::Table block = table_of(values, py::dict(), py::dict());
  const std::vector<REAL> v = reals_of(eigenvectors);
  qor::BlockTests t;
  {
    py::gil_scoped_release release;
    t = qor::block_tests(block, s, v, U, first_row);
  }
  return tests_dict(t);
}

py::dict add_tests(const py::dict& a, const py::dict& b) { return tests_dict(qor::add_tests(tests_of(a), tests_of(b))); }

// The client's side: built from the total sums, it gives the eigenvectors
// for the second pass and then the results.
class BlockwiseRun {
 public:
  BlockwiseRun(const py::dict& total, const qor::Settings& settings) : run_(sums_of(total), settings) {}
  py::array_t<long double> eigenvectors() const { return real_array(run_.eigenvectors()); }
  std::int32_t wanted() const { return run_.tests_wanted(); }
  py::dict finish(const py::dict& tests, const py::object& progress) {
    const qor::BlockTests totals = tests_of(tests);
    qor::Control control;
    return run_dict(run_waiting([&] { return run_.finish(totals, control); }, control, progress));
  }

 private:
  qor::Blockwise run_;
};

// qor::Settings with the library's names. The library checks them against
// the table when a call starts (qor.Error, a ValueError, naming the setting).
void bind_settings(py::module_& m) {
  using S = qor::Settings;
  py::class_<S>(m, "Settings", "What an analysis is asked for (checked by the call against the data).")
      .def(py::init<>())
      .def_property(
          "absolute_error", [](const S& s) { return longdouble_scalar(s.absolute_error); },
          [](S& s, const py::object& v) { s.absolute_error = error_of(v, "error"); },
          "the standard deviation of every element (a decimal text is read as the program reads it)")
      .def_property(
          "relative_error_percent", [](const S& s) { return longdouble_scalar(s.relative_error_percent); },
          [](S& s, const py::object& v) { s.relative_error_percent = error_of(v, "relative_error"); },
          "the error in per cent of each element's value")
      .def_readwrite("steps", &S::steps, "elimination steps or eigenvalues; -1: all")
      .def_readwrite("statistics", &S::statistics, "remainder statistics at every elimination step")
      .def_readwrite("product_matrix", &S::product_matrix, "the eigenvalue mode's matrix is the product with the transpose")
      .def_readwrite("reference_row", &S::reference_row, "subtracted from the others and removed, counted from 1; 0: none")
      .def_readwrite("reference_column", &S::reference_column, "likewise a column")
      .def_readwrite("verdict", &S::verdict, "the rank verdict too")
      .def_readwrite("threads", &S::threads, "threads sharing the work")
      .def(py::pickle(
          [](const S& s) {
            // numpy.longdouble scalars pickle their 80 bits as they are.
            return py::make_tuple(longdouble_scalar(s.absolute_error), longdouble_scalar(s.relative_error_percent),
                                  s.steps, s.statistics, s.product_matrix, s.reference_row, s.reference_column,
                                  s.verdict, s.threads);
          },
          [](const py::tuple& t) {
            S s;
            s.absolute_error = error_of(t[0], "error");
            s.relative_error_percent = error_of(t[1], "relative_error");
            s.steps = t[2].cast<std::int32_t>();
            s.statistics = t[3].cast<bool>();
            s.product_matrix = t[4].cast<bool>();
            s.reference_row = t[5].cast<std::int32_t>();
            s.reference_column = t[6].cast<std::int32_t>();
            s.verdict = t[7].cast<bool>();
            s.threads = t[8].cast<int>();
            return s;
          }));
}

}  // namespace

PYBIND11_MODULE(_qor, m) {
  m.doc() = "The C++ half of the qor module; use the functions of qor itself.";
  // qor.Error, a ValueError as numpy's LinAlgError is, with the run-time
  // error number as `status` and the program's line as `message`.
  static py::exception<RunError> error(m, "Error", PyExc_ValueError);
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const RunError& e) {
      const py::str message = text_of(e.report_line());
      py::object value = py::reinterpret_borrow<py::object>(error.ptr())(message);
      value.attr("status") = e.number();
      value.attr("message") = message;
      PyErr_SetObject(error.ptr(), value.ptr());
    }
  });
  py::enum_<Kind>(m, "Kind", "The kinds of analysis a call runs.")
      .value("eliminate", Kind::eliminate)
      .value("eigen", Kind::eigen)
      .value("rank", Kind::rank);
  bind_settings(m);
  m.def("call", &call);
  m.def("check_settings", &qor::detail::check_settings,
        "Refuses settings that do not fit data of rows x columns (qor.Error naming the setting).");
  m.def("block_sums", &block_sums);
  m.def("add_sums", &add_sums);
  m.def("block_tests", &block_tests);
  m.def("add_tests", &add_tests);
  py::class_<BlockwiseRun>(m, "Blockwise")
      .def(py::init<const py::dict&, const qor::Settings&>())
      .def_property_readonly("eigenvectors", &BlockwiseRun::eigenvectors)
      .def_property_readonly("wanted", &BlockwiseRun::wanted)
      .def("finish", &BlockwiseRun::finish);
  m.def("load", &load);
  bind_evolving(m);
  m.attr("STAGES") = py::make_tuple("", "preparing", "analysing", "judging", "writing", "done");
}
