#include "input/loader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "common/console.h"
#include "common/run_error.h"
#include "common/program_run.h"
#include "input/load_progress.h"
#include "input/selection.h"
#include "input/text_reader.h"
#include "input/text_reader_characters.h"

namespace {

constexpr int kProgressBlanks = 38;

// The value pass reads parts of about this many bytes side by side on
// several threads, a few parts per thread in each round.
constexpr std::int64_t kBytesPerPart = std::int64_t{1} << 18;
constexpr int kPartsPerRound = 2;

// Where a data row's line begins: its original number, the offset of the
// line's first character and the line's number.
struct RowStart {
  std::int32_t row;
  std::int64_t offset, line;
};

std::string quoted(const TextReader& file) { return file.role() + " \"" + file.name() + "\""; }

[[noreturn]] void fail_nothing_to_analyse(const std::string& why) {
  throw RunError(kNothingToAnalyse, why, RunError::Kind::data);
}

[[noreturn]] void fail_every_row_left_out(const ProgramRun& s, const TextReader& file) {
  fail_nothing_to_analyse("the row selection " + s.settings.ERS.str() + " leaves out every row of " + quoted(file) +
                          ", so there is nothing to analyse.");
}

// A stored label still holds the original number while the file is read.
bool label_is(REAL label, std::int32_t number) { return std::fabs(label - number) < 0.1L; }

// With a separator, a column-title line above row titles may leave the
// corner field empty, as spreadsheets write it.
void skip_to_first_line(const ProgramRun& s, TextReader& file) {
  if (s.settings.SEP != 0 && s.settings.BTOR && s.settings.CTOC) file.allow_empty_corner();
  file.skip_blank_lines();
}

// With a separator the titles may be texts (a spreadsheet's sample names);
// without one they are numbers, as ever.
bool titles_may_be_texts(const ProgramRun& s) { return s.settings.SEP != 0; }

TextReader::Title read_title(const ProgramRun& s, TextReader& file) {
  if (!titles_may_be_texts(s)) return {true, file.read_number(), {}, 0};
  return file.read_title();
}

// The first field of a row: its title with BTOR, else its first value.
// True when it is a title that is not a number.
bool read_row_start(const ProgramRun& s, TextReader& file) {
  if (!s.settings.BTOR) {
    file.read_number();
    return false;
  }
  return !read_title(s, file).number;
}

// Returns the line number of the file's first line that holds anything.
std::int64_t skip_title_line_and_check_rows(ProgramRun& s, TextReader& file) {
  skip_to_first_line(s, file);
  const std::int64_t first_line = file.line();
  if (s.settings.CTOC) file.next_line();
  if (file.rest_of_file_blank())
    fail_nothing_to_analyse(quoted(file) + " holds no data row, so there is nothing to analyse.");
  return first_line;
}

std::string separator_keyword(char separator) {
  return separator == ',' ? ",SEPC" : separator == ';' ? ",SEPS" : ",SEPT";
}

std::string separator_word(char separator) {
  return separator == ',' ? "comma" : separator == ';' ? "semicolon" : "tab";
}

// A row title read with a separator that holds blanks between its words:
// the values were separated by blanks, not by the separator named.
[[noreturn]] void fail_values_in_title(const ProgramRun& s, const TextReader& file, const std::string& title) {
  const std::size_t gap = title.find_first_of(" \t");
  std::string why = "the first selected row of " + quoted(file) + " (line " + std::to_string(file.line()) +
                    ") holds no values after its title " + text_characters::quoted_token(title);
  if (gap != std::string::npos) {
    const char sep = s.settings.SEP;
    why += ": the " + separator_word(sep) + " separates the values (" + separator_keyword(sep) +
           "), but the line holds none; for values separated by blanks or tabs leave out " + separator_keyword(sep);
  }
  fail_nothing_to_analyse(why + ".");
}

// The words of a line of the data file, split at blanks, tabs, semicolons
// and the run's separator, without a byte-order mark.
std::vector<std::string> words_of(std::string line, char separator) {
  if (line.rfind("\xef\xbb\xbf", 0) == 0) line.erase(0, 3);
  std::vector<std::string> words;
  std::string word;
  for (const char c : line + " ") {
    if (c == ' ' || c == '\t' || c == ';' || (separator != 0 && c == separator)) {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  return words;
}

bool is_word(const std::string& token) {
  REAL value = 0;
  if (TextReader::parse_number(token.data(), token.data() + token.size(), value)) return false;
  for (const char c : token)
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  return false;
}

// A file that did not read: a first line of words wants ,TOC, rows that
// begin with a word want ,TOR, when they are not given.
std::string title_keyword_hint(const ProgramRun& s, TextReader& file, std::int64_t first_line) {
  const std::vector<std::string> words = words_of(file.current_line(), s.settings.SEP);
  std::string hint;
  bool any_word = false;
  for (const std::string& w : words) any_word = any_word || is_word(w);
  if (!s.settings.CTOC && first_line > 0 && file.line() == first_line && any_word)
    hint += " If the first line holds column titles, add ,TOC.";
  if (!s.settings.BTOR && !words.empty() && is_word(words.front())) hint += " If the rows begin with titles, add ,TOR.";
  if (!hint.empty() && s.settings.SEP == 0)
    hint += " Titles that are words are read with a separator only (,SEPC, ,SEPS or ,SEPT).";
  return hint;
}

// Counting pass: N0 data rows, M0 values on the first selected row's line.
// It also finds out whether the row titles are texts: a selected row whose
// title is not a number makes them all texts, so that the labels are all
// titles or all row numbers, never a number that might be either. About
// every kBytesPerPart bytes it notes where a row's line begins, for the
// value pass to read the parts between on several threads.
void count_rows_and_values(ProgramRun& s, TextReader& file, LoadProgress& progress, std::int64_t& first_line,
                           std::vector<RowStart>& starts) {
  first_line = skip_title_line_and_check_rows(s, file);
  s.table.N0 = 1;
  while (NEEDCALC(s.settings.ERS.view(), s.table.N0)) {
    if (file.rest_of_file_blank())
      fail_every_row_left_out(s, file);
    read_row_start(s, file);
    file.next_line();
    ++s.table.N0;
  }
  bool text_titles = false;
  TextReader::Title first_title;
  if (s.settings.BTOR) {
    first_title = read_title(s, file);
    text_titles = !first_title.number;
  } else {
    file.skip_blank_lines();
  }
  s.table.M0 = 0;
  while (!file.rest_of_line_blank()) {
    ++s.table.M0;
    file.read_number();
  }
  if (s.table.M0 == 0 && s.settings.BTOR && s.settings.SEP != 0) fail_values_in_title(s, file, first_title.text);
  bool at_line_start = false;  // the first selected row's line end is still unread
  std::int64_t next_start = file.offset() + kBytesPerPart;
  while (!file.rest_of_file_blank()) {
    ++s.table.N0;
    if (at_line_start && file.offset() >= next_start) {
      starts.push_back({s.table.N0, file.offset(), file.line()});
      next_start = file.offset() + kBytesPerPart;
    }
    if (read_row_start(s, file) && !NEEDCALC(s.settings.ERS.view(), s.table.N0)) text_titles = true;
    file.next_line();
    at_line_start = true;
    progress.update(0, file);
  }
  if (text_titles) s.table.row_title_texts.assign(static_cast<std::size_t>(s.table.N0) + 1, std::string());
}

void choose_selected_rows(ProgramRun& s) {
  s.table.RO = MATRIX(s.table.N0 + 1, 2);
  std::int32_t k = 0;
  for (std::int32_t i = 1; i <= s.table.N0; ++i) {
    if (!NEEDCALC(s.settings.ERS.view(), i)) {
      ++k;
      s.table.RO[k][1] = i;
      if (s.table.OSR == i) s.table.OSR = k;
    } else if (s.table.OSR == i) {
      s.table.OSR = 0;
    }
  }
  s.table.N = k;
}

void choose_selected_columns(ProgramRun& s) {
  s.table.CO = MATRIX(2, s.table.M0 + 1);
  std::int32_t k = 0;
  for (std::int32_t j = 1; j <= s.table.M0; ++j) {
    if (!NEEDCALC(s.settings.DCS.view(), j)) {
      ++k;
      s.table.CO[1][k] = j;
      if (s.table.OSC == j) s.table.OSC = k;
    } else if (s.table.OSC == j) {
      s.table.OSC = 0;
    }
  }
  s.table.M = k;
}

void check_something_selected(const ProgramRun& s, const TextReader& file) {
  if (s.table.M0 == 0)
    fail_nothing_to_analyse("the first selected row of " + quoted(file) +
                            " holds no values, so there is nothing to analyse.");
  if (s.table.N == 0)
    fail_every_row_left_out(s, file);
  if (s.table.M == 0)
    fail_nothing_to_analyse("the column selection " + s.settings.DCS.str() + " leaves out every column of " +
                            quoted(file) + ", so there is nothing to analyse.");
}

void allocate_label_copies(ProgramRun& s) {
  // The contribution tables name rows and columns by their original numbers, as titles do not.
  const bool tables = s.settings.FTW > 0;
  if (tables || s.settings.BTOR) {
    s.table.RW = MATRIX(s.table.N + 1, 2);
    for (std::int32_t k = 1; k <= s.table.N; ++k) s.table.RW[k][1] = s.table.RO[k][1];
  }
  if (tables || s.settings.CTOC) {
    s.table.CW = MATRIX(2, s.table.M + 1);
    for (std::int32_t l = 1; l <= s.table.M; ++l) s.table.CW[1][l] = s.table.CO[1][l];
  }
  if (tables) s.TW = s.settings.PCRC ? MATRIX(2, s.table.M + 1) : MATRIX(s.table.N + 1, 2);
}

[[noreturn]] void fail_ragged_row(const TextReader& file, std::int32_t row, std::int64_t line,
                                  std::int32_t found, std::int32_t expected, bool titled) {
  throw RunError(kBadNumber, quoted(file) + ": data row " + std::to_string(row) + " (line " +
                          std::to_string(line) + ") holds " + std::to_string(found) + " value" +
                          (found == 1 ? "" : "s") + (titled ? " after its title" : "") +
                          ", but " + std::to_string(expected) +
                          " were expected (the count on the first selected row); every selected "
                          "row must hold all its values on one line.");
}

// One selected row: its title (with BTOR), then exactly M0 values on its line.
void read_selected_row(ProgramRun& s, TextReader& file, std::int32_t k, std::int32_t i) {
  file.skip_to_token();
  const std::int64_t line = file.line();
  if (s.settings.BTOR) {
    TextReader::Title title = read_title(s, file);
    if (s.table.row_title_texts.empty()) {
      s.table.RO[k][1] = title.value;
    } else {
      s.table.row_title_texts[static_cast<std::size_t>(i)] = std::move(title.text);  // RO keeps the row number
    }
  }
  std::int32_t count = 0;
  std::int32_t l = 1;
  REAL* row = s.table.A[k];
  while (!file.rest_of_line_blank()) {
    const REAL value = file.read_number();
    ++count;
    if (count <= s.table.M0 && l <= s.table.M && label_is(s.table.CO[1][l], count)) {
      row[l] = value;
      ++l;
    }
  }
  if (count != s.table.M0) fail_ragged_row(file, i, line, count, s.table.M0, s.settings.BTOR);
}

// Rows first..last of the file, the k-th selected row being the first
// selected one among them (selected[k] holds its original number); stops
// after the last selected row. Touches only the rows of A, RO and the row
// titles that belong to its own rows.
void read_rows(ProgramRun& s, TextReader& file, const std::vector<std::int32_t>& selected, std::int32_t first,
               std::int32_t last, std::int32_t k, LoadProgress* progress) {
  for (std::int32_t i = first; i <= last && k <= s.table.N; ++i) {
    if (selected[static_cast<std::size_t>(k)] == i) {
      read_selected_row(s, file, k, i);
      ++k;
    } else {
      read_row_start(s, file);
      file.next_line();
    }
    if (progress != nullptr) progress->update(1, file);
  }
}

// The original numbers of the selected rows, [1..N], before any title
// replaces them in RO.
std::vector<std::int32_t> selected_rows(const ProgramRun& s) {
  std::vector<std::int32_t> selected(static_cast<std::size_t>(s.table.N) + 1);
  for (std::int32_t k = 1; k <= s.table.N; ++k)
    selected[static_cast<std::size_t>(k)] = static_cast<std::int32_t>(std::lround(s.table.RO[k][1]));
  return selected;
}

// The value pass in parts, read side by side: part 0 from the text after the
// title line by the loader's own reader, part p from starts[p - 1] by a
// reader of its own. Each row is read by the same reading from the same
// place, so the values are those of one reader. A part stops at its first
// error and keeps it; the first failing part in file order holds the first
// error of the file, which stops the run once every part before it is done.
// When the percentage is shown, parts go in rounds of a few per thread and
// it is shown after each round; otherwise all parts make one round, since
// the threads wait for each other at the end of a round.
void read_values_in_parts(ProgramRun& s, TextReader& file, LoadProgress& progress, const std::vector<RowStart>& starts,
                          std::int64_t file_bytes) {
  const std::vector<std::int32_t> selected = selected_rows(s);
  const int parts = static_cast<int>(starts.size()) + 1;
  const auto first_row = [&](int p) { return p == 0 ? 1 : starts[static_cast<std::size_t>(p) - 1].row; };
  const auto last_row = [&](int p) { return p + 1 < parts ? starts[static_cast<std::size_t>(p)].row - 1 : s.table.N0; };
  std::vector<std::exception_ptr> errors(static_cast<std::size_t>(parts));
  const int round = progress.shown() ? kPartsPerRound * s.workers.threads() : parts;
  for (int begin = 0; begin < parts; begin += round) {
    const int count = std::min(round, parts - begin);
    s.workers.run(count, [&](int index) {
      const int p = begin + index;
      const std::int32_t first = first_row(p);
      const auto k = static_cast<std::int32_t>(std::lower_bound(selected.begin() + 1, selected.end(), first) -
                                               selected.begin());
      try {
        if (p == 0) {
          read_rows(s, file, selected, first, last_row(p), k, nullptr);
        } else {
          const RowStart& at = starts[static_cast<std::size_t>(p) - 1];
          TextReader part(file.name(), file.role());
          part.start_at(at.offset, at.line);
          read_rows(s, part, selected, first, last_row(p), k, nullptr);
        }
      } catch (...) {
        errors[static_cast<std::size_t>(p)] = std::current_exception();
      }
    });
    for (int p = begin; p < begin + count; ++p)
      if (errors[static_cast<std::size_t>(p)]) std::rethrow_exception(errors[static_cast<std::size_t>(p)]);
    const int next = begin + count;
    progress.update_through(1, next < parts ? starts[static_cast<std::size_t>(next) - 1].offset : file_bytes);
  }
}

// Value pass: the values and row titles of the selected rows.
void read_values(ProgramRun& s, TextReader& file, LoadProgress& progress, const std::vector<RowStart>& starts,
                 std::int64_t file_bytes) {
  file.rewind();
  skip_to_first_line(s, file);
  if (s.settings.CTOC) {
    read_title(s, file);
    file.next_line();
  }
  // The separated fields keep a count of their line that a reader starting
  // inside the file would not know; they stay with one reader.
  if (s.workers.threads() > 1 && !starts.empty() && s.settings.SEP == 0 && !s.settings.UCOMMA) {
    read_values_in_parts(s, file, progress, starts, file_bytes);
    return;
  }
  read_rows(s, file, selected_rows(s), 1, s.table.N0, 1, &progress);
}

[[noreturn]] void fail_few_column_titles(const ProgramRun& s, const TextReader& file, std::int64_t line,
                                         std::int32_t found) {
  throw RunError(kBadNumber, quoted(file) + ": the column-title line (line " + std::to_string(line) + ") holds " +
                          std::to_string(found) + " title" + (found == 1 ? "" : "s") + ", but " +
                          std::to_string(s.table.M0) + " were expected, one for every value of a data row.");
}

// Title pass: the first M0 numbers of the column-title line.
void read_number_column_titles(ProgramRun& s, TextReader& file, std::int64_t line) {
  std::int32_t l = 1;
  for (std::int32_t j = 1; j <= s.table.M0; ++j) {
    if (file.rest_of_line_blank()) fail_few_column_titles(s, file, line, j - 1);
    const REAL title = file.read_number();
    if (l <= s.table.M && label_is(s.table.CO[1][l], j)) {
      s.table.CO[1][l] = title;
      ++l;
    }
  }
}

// The line after the M0-th title was never read, so that a number there
// followed by blanks and other text was that number: it still is, whatever
// the text after it (its text is the whole field).
TextReader::Title read_last_title_as_ever(TextReader& file, bool last) {
  TextReader::Title title = file.read_title();
  if (last && !title.number) {
    const std::string first_word = title.text.substr(0, title.text.find_first_of(" \t"));
    title.number = first_word.size() < title.text.size() && file.field_value(first_word, title.value);
  }
  return title;
}

// Title pass with a separator: the first M0 fields of the title line after
// its corner. Above row titles the first field is the corner when it is
// empty (skipped by the reader) or, with more than M0 fields on the line, a
// text (such as "Sample"); a number there is the first title, as ever. The
// titles are texts when the title of any selected column is not a number.
void read_titles_that_may_be_texts(ProgramRun& s, TextReader& file, std::int64_t line) {
  std::vector<TextReader::Title> titles;
  for (std::int32_t j = 1; j <= s.table.M0; ++j) {
    if (file.rest_of_line_blank()) fail_few_column_titles(s, file, line, j - 1);
    titles.push_back(read_last_title_as_ever(file, j == s.table.M0));
  }
  const TextReader::Title& first = titles.front();
  if (s.settings.BTOR && first.field == 1 && !first.number && !file.rest_of_line_blank()) {
    titles.erase(titles.begin());
    titles.push_back(read_last_title_as_ever(file, true));
  }
  bool texts = false;
  for (std::int32_t l = 1; l <= s.table.M; ++l)
    texts = texts || !titles[static_cast<std::size_t>(std::llround(s.table.CO[1][l]) - 1)].number;
  if (texts) s.table.column_title_texts.assign(static_cast<std::size_t>(s.table.M0) + 1, std::string());
  for (std::int32_t l = 1; l <= s.table.M; ++l) {
    const auto j = static_cast<std::size_t>(std::llround(s.table.CO[1][l]));
    if (texts) {
      s.table.column_title_texts[j] = std::move(titles[j - 1].text);  // CO keeps the column number
    } else {
      s.table.CO[1][l] = titles[j - 1].value;
    }
  }
}

void read_column_titles(ProgramRun& s, TextReader& file) {
  if (!s.settings.CTOC) return;
  file.rewind();
  skip_to_first_line(s, file);
  const std::int64_t line = file.line();
  if (titles_may_be_texts(s)) {
    read_titles_that_may_be_texts(s, file, line);
  } else {
    read_number_column_titles(s, file, line);
  }
}

// The matrix of the file at path (the data file or the error file) into
// the run's table, by the data file's rules and selections.
void load_matrix_file(ProgramRun& s, const std::string& path, const std::string& role) {
  s.table.row_title_texts.clear();
  s.table.column_title_texts.clear();
  s.table.row_titles = s.settings.BTOR;
  s.table.column_titles = s.settings.CTOC;
  s.table.OSR = s.settings.OSR;
  s.table.OSC = s.settings.OSC;
  TextReader file(path, role);
  file.set_field_rules({s.settings.SEP, s.settings.UCOMMA});
  s.inputs.emplace_back(role, path);
  std::error_code unknown_size;
  const auto bytes = std::filesystem::file_size(path, unknown_size);
  LoadProgress progress(s.console, unknown_size ? 0 : static_cast<std::int64_t>(bytes));
  std::int64_t first_line = 0;
  std::vector<RowStart> starts;
  try {
    count_rows_and_values(s, file, progress, first_line, starts);
    s.console.write(std::string(kProgressBlanks, ' '));
    choose_selected_rows(s);
    choose_selected_columns(s);
    check_something_selected(s, file);
    allocate_label_copies(s);
    s.table.A = MATRIX(s.table.N + 1, s.table.M + 1);
    read_values(s, file, progress, starts, unknown_size ? 0 : static_cast<std::int64_t>(bytes));
    progress.finish();
    read_column_titles(s, file);
  } catch (const RunError& e) {
    if (e.number() != kBadNumber) throw;
    const std::string hint = title_keyword_hint(s, file, first_line);
    if (hint.empty()) throw;
    throw RunError(e.number(), e.what() + hint, e.kind());
  }
}

// The error file's matrix as the table's element errors: the same shape in
// the file and after the selections, every error finite and not negative;
// errors of 0 throughout are no error given, as the number 0 is.
void take_errors_of(ProgramRun& s, DataTable&& errors) {
  const std::string file = "the error file \"" + s.settings.ERRF.str() + "\"";
  if (errors.N0 != s.table.N0 || errors.M0 != s.table.M0)
    throw RunError(kBadNumber, file + " holds " + std::to_string(errors.N0) + " rows of " + std::to_string(errors.M0) +
                                   " values, the data file " + std::to_string(s.table.N0) + " rows of " +
                                   std::to_string(s.table.M0) + "; it must give one error for each value.");
  bool any = false;
  for (std::int32_t i = 1; i <= errors.N; ++i)
    for (std::int32_t j = 1; j <= errors.M; ++j) {
      const REAL e = errors.A[i][j];
      if (!(e >= 0) || !std::isfinite(e)) {
        char value[48];
        std::snprintf(value, sizeof value, "%.10Lg", e);
        throw RunError(kBadNumber, file + " gives " + value + " as the error of the value in row " + std::to_string(i) +
                                       ", column " + std::to_string(j) + " of those selected; an error is a standard "
                                       "deviation, a finite number of at least 0.");
      }
      any = any || e != 0;
    }
  if (any) s.table.element_errors = std::move(errors.A);
}

}  // namespace

void load_data_matrix(ProgramRun& s) {
  if (s.settings.AFNI.empty())
    throw RunError(kFileNotFound, "no data file is named: the first parameter (or the A line of a parameter "
                      "file) must begin with the data file's name; \"qor '?'\" opens the help.");
  load_matrix_file(s, s.settings.AFNI.str(), "data file");
}

void load_error_matrix(ProgramRun& s) {
  if (s.settings.ERRF.empty()) return;
  ProgramRun errors(s.console, s.workers.threads());
  errors.settings = s.settings;
  load_matrix_file(errors, s.settings.ERRF.str(), "error file");
  s.inputs.emplace_back("error file", s.settings.ERRF.str());
  take_errors_of(s, std::move(errors.table));
}
