// The Python module's C++ half: numpy arrays in and out of the library,
// the work in a thread of its own while the interpreter waits without the
// GIL and answers Ctrl-C, and RunError as qor.Error. The Python half
// (qor/__init__.py) gives the calls their keyword arguments, checks and
// documentation.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <exception>
#include <optional>

#include "array_copies.h"
#include "run_waiting.h"
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

using qor_python::real_array;

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

py::array_t<std::int64_t> int_array(const std::vector<std::int64_t>& values) {
  py::array_t<std::int64_t> a(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), a.mutable_data());
  return a;
}

// A rows x columns numpy.longdouble array of values held row after row.
py::array_t<long double> real_matrix(const std::vector<REAL>& values, std::size_t rows, std::size_t columns) {
  py::array_t<long double> a({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(columns)});
  std::copy(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rows * columns), a.mutable_data());
  return a;
}

// A label's title as the library holds it: a text, a number, or None.
py::object title_of(const Label& l) {
  if (l.text) return text_of(*l.text);
  if (l.titled) return longdouble_scalar(l.title);
  return py::none();
}

template <typename Field>
py::array_t<long double> pivot_values(const qor::Run& run, Field field) {
  std::vector<REAL> v;
  for (const PivotResult& p : run.results.pivots) v.push_back(field(p));
  return real_array(v);
}

template <typename Field>
py::array_t<long double> eigen_values(const qor::Run& run, Field field) {
  std::vector<REAL> v;
  for (std::int32_t k = 0; k < run.results.eigenvalues_examined; ++k)
    v.push_back(field(run.results.eigenvalues[static_cast<std::size_t>(k)]));
  return real_array(v);
}

// The results of a call, read by the Python half's result classes: every
// REAL as numpy.longdouble, so that nothing is rounded here.
void bind_results(py::module_& m) {
  using R = qor::Run;
  py::class_<RankVerdict>(m, "Verdict", "The rank verdict's values.")
      .def_readonly("low", &RankVerdict::low)
      .def_readonly("high", &RankVerdict::high)
      .def_readonly("error_given", &RankVerdict::error_given)
      .def_readonly("equal_errors", &RankVerdict::equal_errors)
      .def_property_readonly("sigma", [](const RankVerdict& v) { return longdouble_scalar(v.sigma); })
      .def_property_readonly("edge", [](const RankVerdict& v) { return longdouble_scalar(v.edge); })
      .def_property_readonly("singular_values", [](const RankVerdict& v) {
        return real_array(std::vector<REAL>(v.singular.begin() + (v.singular.empty() ? 0 : 1), v.singular.end()));
      })
      .def_property_readonly("q_after", [](const RankVerdict& v) { return real_array(v.Q); });
  py::class_<R>(m, "Run", "What a call found, as the library returns it.")
      .def_property_readonly("ran", [](const R& r) { return r.results.ran; })
      .def_property_readonly("errors", [](const R& r) { return r.results.errors; })
      .def_property_readonly("rows", [](const R& r) { return r.results.N; })
      .def_property_readonly("columns", [](const R& r) { return r.results.M; })
      .def_property_readonly("pivots", [](const R& r) { return pivot_values(r, [](const PivotResult& p) { return p.value; }); })
      .def_property_readonly("pivot_variances",
                             [](const R& r) { return pivot_values(r, [](const PivotResult& p) { return p.variance; }); })
      .def_property_readonly("pivot_row_numbers", [](const R& r) {
        std::vector<std::int64_t> v;
        for (const PivotResult& p : r.results.pivots) v.push_back(p.row.number);
        return int_array(v);
      })
      .def_property_readonly("pivot_column_numbers", [](const R& r) {
        std::vector<std::int64_t> v;
        for (const PivotResult& p : r.results.pivots) v.push_back(p.column.number);
        return int_array(v);
      })
      .def_property_readonly("pivot_row_titles", [](const R& r) {
        py::list l;
        for (const PivotResult& p : r.results.pivots) l.append(title_of(p.row));
        return l;
      })
      .def_property_readonly("pivot_column_titles", [](const R& r) {
        py::list l;
        for (const PivotResult& p : r.results.pivots) l.append(title_of(p.column));
        return l;
      })
      .def_property_readonly("statistics", [](const R& r) -> py::object {
        if (r.statistics.empty()) return py::none();
        std::vector<REAL> v;
        for (const qor::StepStatistics& st : r.statistics) {
          v.insert(v.end(), st.signed_values, st.signed_values + 4);
          v.insert(v.end(), st.absolute_values, st.absolute_values + 4);
        }
        return real_matrix(v, r.statistics.size(), 8);
      })
      .def_property_readonly("eigenvalues", [](const R& r) { return eigen_values(r, [](const EigenvalueResult& e) { return e.value; }); })
      .def_property_readonly("eigenvalue_variances",
                             [](const R& r) { return eigen_values(r, [](const EigenvalueResult& e) { return e.variance; }); })
      .def_property_readonly("chi_square", [](const R& r) {
        return eigen_values(r, [](const EigenvalueResult& e) { return e.test.tested ? e.test.G : REAL(NAN); });
      })
      .def_property_readonly("q_all", [](const R& r) {
        return eigen_values(r, [](const EigenvalueResult& e) { return e.test.probabilities ? e.test.Q_all : REAL(NAN); });
      })
      .def_property_readonly("q_rest", [](const R& r) {
        return eigen_values(r, [](const EigenvalueResult& e) { return e.test.probabilities ? e.test.Q_rest : REAL(NAN); });
      })
      .def_property_readonly("positions", [](const R& r) {
        std::vector<std::int64_t> v;
        for (std::int32_t k = 0; k < r.results.eigenvalues_examined; ++k) v.push_back(r.results.eigenvalues[static_cast<std::size_t>(k)].position);
        return int_array(v);
      })
      .def_property_readonly("beyond", [](const R& r) {
        const auto n = static_cast<std::size_t>(r.results.eigenvalues_examined);
        py::array_t<std::int64_t> a({static_cast<py::ssize_t>(n), py::ssize_t{3}});
        auto out = a.mutable_unchecked<2>();
        for (std::size_t k = 0; k < n; ++k)
          for (int j = 0; j < 3; ++j)
            out(static_cast<py::ssize_t>(k), j) = r.results.eigenvalues[k].test.NR[j + 1];
        return a;
      })
      .def_property_readonly("eigenvectors", [](const R& r) -> py::object {
        if (r.components == 0) return py::none();
        return real_matrix(r.eigenvectors, static_cast<std::size_t>(r.order), static_cast<std::size_t>(r.components));
      })
      .def_property_readonly("projections", [](const R& r) -> py::object {
        if (r.components == 0) return py::none();
        return real_matrix(r.projections, static_cast<std::size_t>(r.projected), static_cast<std::size_t>(r.components));
      })
      .def_property_readonly("verdict", [](const R& r) -> py::object {
        if (!r.verdict) return py::none();
        return py::cast(*r.verdict);
      })
      .def_property_readonly("verdict_lines", [](const R& r) { return texts_of(r.verdict_lines); })
      .def_property_readonly("warnings", [](const R& r) { return texts_of(r.warnings); })
      .def_property_readonly("json", [](const R& r) { return text_of(r.results_json); })
      // The picture declares ISO-8859-1: each byte is its character.
      .def_property_readonly("svg", [](const R& r) {
        return py::reinterpret_steal<py::str>(
            PyUnicode_DecodeLatin1(r.picture.data(), static_cast<Py_ssize_t>(r.picture.size()), nullptr));
      });
}

qor::Table table_of(const py::array& values, const py::dict& rows, const py::dict& columns) {
  qor::Table t = qor_python::view_table_of(values);
  t.row_labels = labels_of(rows);
  t.column_labels = labels_of(columns);
  return t;
}

// Elements of a table whose run goes without a thread of its own (a
// 64 x 64 elimination takes about a millisecond).
constexpr std::int64_t kRunsInPlace = 4096;

qor::Run call(Kind kind, const py::array& values, const py::dict& rows, const py::dict& columns,
              const qor::Settings& given, const py::object& progress, const py::object& errors,
              const py::object& relative_errors) {
  const qor::Table table = table_of(values, rows, columns);
  const qor::Settings s = qor_python::with_element_errors(given, errors, relative_errors);
  qor::Control control;
  const auto work = [&] {
    switch (kind) {
      case Kind::eliminate: return qor::eliminate(table, s, control);
      case Kind::eigen: return qor::eigen(table, s, control);
      case Kind::rank: break;
    }
    return qor::rank(table, s, control);
  };
  // A small table's run ends long before Ctrl-C could be pressed or a stage
  // shown: it runs in the caller's thread, without the GIL, sparing the
  // thread of its own that a long run needs.
  if (progress.is_none() && static_cast<std::int64_t>(table.rows) * table.columns <= kRunsInPlace) {
    py::gil_scoped_release release;
    return work();
  }
  return qor_python::run_waiting(work, control, progress);
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

py::dict block_sums(const py::array& values, const qor::Settings& given, std::int64_t first_row, const py::object& errors,
                    const py::object& relative_errors) {
  const qor::Table block = table_of(values, py::dict(), py::dict());
  const qor::Settings s = qor_python::with_element_errors(given, errors, relative_errors);
  qor::BlockSums b;
  {
    py::gil_scoped_release release;
    b = qor::block_sums(block, s, first_row);
  }
  return sums_dict(b);
}

py::dict add_sums(const py::dict& a, const py::dict& b) { return sums_dict(qor::add_sums(sums_of(a), sums_of(b))); }

py::dict block_tests(const py::array& values, const qor::Settings& given, const py::handle& eigenvectors,
                     std::int32_t U, std::int64_t first_row, const py::object& errors, const py::object& relative_errors) {
  const qor::Table block = table_of(values, py::dict(), py::dict());
  const qor::Settings s = qor_python::with_element_errors(given, errors, relative_errors);
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
  qor::Run finish(const py::dict& tests, const py::object& progress) {
    const qor::BlockTests totals = tests_of(tests);
    qor::Control control;
    return qor_python::run_waiting([&] { return run_.finish(totals, control); }, control, progress);
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
  bind_results(m);
  m.def("call", &call, py::arg("kind"), py::arg("values"), py::arg("rows"), py::arg("columns"), py::arg("settings"),
        py::arg("progress"), py::arg("errors") = py::none(), py::arg("relative_errors") = py::none());
  m.def("check_settings", &qor::detail::check_settings,
        "Refuses settings that do not fit data of rows x columns (qor.Error naming the setting).");
  m.def("block_sums", &block_sums, py::arg("values"), py::arg("settings"), py::arg("first_row"),
        py::arg("errors") = py::none(), py::arg("relative_errors") = py::none());
  m.def("add_sums", &add_sums);
  m.def("block_tests", &block_tests, py::arg("values"), py::arg("settings"), py::arg("eigenvectors"), py::arg("U"),
        py::arg("first_row"), py::arg("errors") = py::none(), py::arg("relative_errors") = py::none());
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
