#pragma once

// The commands that README.md, the manual page and Qor.hlp show, found by the
// marks each file gives them, so that a test can run every one as written.
// Nothing is guessed: a command that carries no mark is a problem to report.
//
// README.md: in a ```sh (bash, shell, console) block every command comes
// after a comment line "# runs", "# runs, exit status N" or "# not run:
// <reason>", which holds until the next such line or the end of the block.
// A ```python block starts with such a line. "<!-- output of: COMMAND -->"
// right above a plain ``` block says that COMMAND's output holds its lines
// ("..." standing for lines left out).
// Manual page: the same marks as roff comments (.\" runs) inside .EX/.EE.
// Qor.hlp, whose pages users read: a command follows the prompt "$ " (also
// after a lead-in such as "Example:") and runs; one that cannot run where
// the manual's examples do ends with its reason in parentheses, two blanks
// after it: "(as root)"; "(exit status N)" runs it expecting N. A qor or
// cmake command without the prompt, set off by two blanks, is a problem.

#include <algorithm>
#include <cstddef>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qor_docs {

enum class Language { shell, python };

// A shell command, or a whole Python block, marked to run. The examples of
// one block (one topic of Qor.hlp) share a scratch folder and run in their
// order, so one may read what the one before it wrote.
struct Example {
  std::string where;  // "README.md:27"
  std::string block;  // where its block or topic starts
  Language language = Language::shell;
  std::string code;
  int status = 0;
  bool imports_qor = false;  // a Python block that needs the module qor
};

// Lines of a command's output that a text quotes.
struct Quote {
  std::string where;
  std::string command;
  std::vector<std::string> lines;
};

struct Extraction {
  std::vector<Example> runs;
  std::vector<std::string> not_run;   // "where: reason"
  std::vector<Quote> quotes;
  std::vector<std::string> problems;  // unmarked commands, unreadable marks
};

inline std::vector<std::string> split_lines(std::string_view text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(at, end - at));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

inline std::string trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t") + 1 - first));
}

// A comment's text read as a mark.
struct Mark {
  enum Kind { none, runs, not_run, unreadable } kind = none;
  int status = 0;
  std::string reason;
};

inline Mark read_mark(std::string_view comment) {
  static const std::regex runs(R"(runs(, exit status (\d+))?)");
  static const std::regex not_run(R"(not run: *(\S.*))");
  static const std::regex like_a_mark(R"((runs|not run)\b.*)");
  const std::string text = trimmed(comment);
  std::smatch m;
  if (std::regex_match(text, m, runs)) return {Mark::runs, m[2].matched ? std::stoi(m[2]) : 0, {}};
  if (std::regex_match(text, m, not_run)) return {Mark::not_run, 0, m[1]};
  if (std::regex_match(text, like_a_mark)) return {Mark::unreadable, 0, {}};
  return {};
}

struct BlockLine {
  int number = 0;
  std::string text;
  bool comment = false;  // text is then the comment's text
};

inline std::string where(const std::string& file, int line) { return file + ":" + std::to_string(line); }

// The commands of one shell block, each under the mark above it; a line
// ending in a backslash goes on on the next.
inline void read_shell_block(const std::vector<BlockLine>& lines, const std::string& file, const std::string& block,
                             Extraction& x) {
  Mark mark;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const BlockLine& line = lines[k];
    if (line.comment) {
      const Mark read = read_mark(line.text);
      if (read.kind == Mark::unreadable)
        x.problems.push_back(where(file, line.number) + ": a mark reads \"runs\", \"runs, exit status N\" or "
                                                        "\"not run: <reason>\", not \"" + trimmed(line.text) + "\"");
      if (read.kind != Mark::none) mark = read;
      continue;
    }
    if (trimmed(line.text).empty()) continue;
    std::string command = line.text;
    while (!command.empty() && command.back() == '\\' && k + 1 < lines.size()) command += "\n" + lines[++k].text;
    const std::string at = where(file, line.number);
    if (mark.kind == Mark::runs) {
      x.runs.push_back({at, block, Language::shell, command, mark.status, false});
    } else if (mark.kind == Mark::not_run) {
      x.not_run.push_back(at + ": " + mark.reason);
    } else {
      x.problems.push_back(at + ": no mark above the command \"" + command +
                           "\" (\"runs\" or \"not run: <reason>\" as a comment)");
    }
  }
}

inline bool imports_qor(const std::string& code) {
  static const std::regex import_line(R"((^|\n)[ \t]*(from[ \t]+qor\b|import[ \t]+([\w.]+[ \t]*,[ \t]*)*qor\b))");
  return std::regex_search(code, import_line);
}

inline void read_python_block(const std::vector<std::string>& body, const std::string& file, int first_line,
                              Extraction& x) {
  const std::string at = where(file, first_line);
  const Mark mark = body.empty() || trimmed(body[0]).rfind('#', 0) != 0 ? Mark{} : read_mark(trimmed(body[0]).substr(1));
  std::string code;
  for (const std::string& line : body) code += line + "\n";
  if (mark.kind == Mark::runs) {
    x.runs.push_back({at, at, Language::python, code, mark.status, imports_qor(code)});
  } else if (mark.kind == Mark::not_run) {
    x.not_run.push_back(at + ": " + mark.reason);
  } else {
    x.problems.push_back(at + ": a Python block starts with \"# runs\" or \"# not run: <reason>\"");
  }
}

inline Extraction extract_markdown(std::string_view text, const std::string& file) {
  static const std::regex output_mark(R"(<!-- output of: (.*\S) -->)");
  Extraction x;
  const std::vector<std::string> lines = split_lines(text);
  std::smatch quoted;
  bool quote_pending = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int number = static_cast<int>(i) + 1;
    if (lines[i].rfind("```", 0) != 0) {
      if (quote_pending) x.problems.push_back(where(file, number - 1) + ": no ``` block right below the output mark");
      quote_pending = std::regex_match(lines[i], quoted, output_mark);
      continue;
    }
    const std::string info = trimmed(lines[i].substr(3));
    const std::string language = info.substr(0, info.find_first_of(" \t{"));
    std::size_t end = i + 1;
    while (end < lines.size() && lines[end].rfind("```", 0) != 0) ++end;
    const std::vector<std::string> body(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                        lines.begin() + static_cast<std::ptrdiff_t>(end));
    if (language == "sh" || language == "bash" || language == "shell" || language == "console") {
      std::vector<BlockLine> block;
      for (std::size_t k = 0; k < body.size(); ++k) {
        const std::string t = trimmed(body[k]);
        const bool comment = t.rfind('#', 0) == 0;
        block.push_back({number + 1 + static_cast<int>(k), comment ? t.substr(1) : body[k], comment});
      }
      read_shell_block(block, file, where(file, number), x);
    } else if (language == "python") {
      read_python_block(body, file, number, x);
    }
    if (quote_pending && language.empty()) {
      x.quotes.push_back({where(file, number), quoted[1], body});
    } else if (quote_pending) {
      x.problems.push_back(where(file, number) + ": an output mark stands above a plain ``` block, not ```" + language);
    }
    quote_pending = false;
    i = end;
  }
  if (quote_pending) x.problems.push_back(where(file, static_cast<int>(lines.size())) + ": no ``` block below the output mark");
  return x;
}

// roff text as the reader sees it; the escapes beyond these have no place in
// a command, so they are problems.
inline std::string unescaped_roff(const std::string& text, const std::string& at, Extraction& x) {
  static const std::pair<std::string_view, std::string_view> escapes[] = {
      {"\\(aq", "'"}, {"\\(dq", "\""}, {"\\-", "-"}, {"\\e", "\\"}, {"\\\\", "\\"}, {"\\&", ""}};
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    bool known = text[i] != '\\';
    if (known) {
      out += text[i++];
      continue;
    }
    for (const auto& [escape, shown] : escapes) {
      if (text.compare(i, escape.size(), escape) != 0) continue;
      out += shown;
      i += escape.size();
      known = true;
      break;
    }
    if (!known) {
      x.problems.push_back(at + ": an escape the example cannot hold in \"" + text + "\"");
      return text;
    }
  }
  return out;
}

inline Extraction extract_man_page(std::string_view text, const std::string& file) {
  Extraction x;
  const std::vector<std::string> lines = split_lines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] != ".EX") continue;
    const std::string block = where(file, static_cast<int>(i) + 1);
    std::vector<BlockLine> body;
    for (++i; i < lines.size() && lines[i] != ".EE"; ++i) {
      const int number = static_cast<int>(i) + 1;
      const std::string& line = lines[i];
      if (line.rfind(".\\\"", 0) == 0) {
        body.push_back({number, line.substr(3), true});
      } else if (line.rfind('.', 0) == 0) {
        x.problems.push_back(where(file, number) + ": a request inside an example");
      } else {
        body.push_back({number, unescaped_roff(line, where(file, number), x), false});
      }
    }
    read_shell_block(body, file, block, x);
  }
  return x;
}

// A topic's line: after the prompt, a command, perhaps with its note.
inline void read_help_line(const std::string& line, const std::string& at, const std::string& topic, Extraction& x) {
  static const std::regex prompt(R"((^|\s)\$ (.*\S))");
  static const std::regex with_note(R"((.*\S)\s{2,}\((.*)\))");
  static const std::regex status_note(R"(exit status (\d+))");
  static const std::regex bare_command(R"((^|\s\s)(qor|cmake) (\S.*))");
  static const std::regex table_row_or_outline(R"(.*(\S\s{2,}\S|\.\.\.).*)");
  std::smatch m;
  if (std::regex_search(line, m, prompt)) {
    std::string command = m[2];
    std::smatch note;
    if (!std::regex_match(command, note, with_note)) {
      x.runs.push_back({at, topic, Language::shell, command, 0, false});
      return;
    }
    const std::string reason = trimmed(note[2].str());
    command = note[1];
    std::smatch status;
    if (std::regex_match(reason, status, status_note)) {
      x.runs.push_back({at, topic, Language::shell, command, std::stoi(status[1]), false});
    } else if (reason.empty()) {
      x.problems.push_back(at + ": an empty note after \"" + command + "\"");
    } else {
      x.not_run.push_back(at + ": " + reason);
    }
    return;
  }
  if (std::regex_search(line, m, bare_command) && !std::regex_match(m[3].str(), table_row_or_outline))
    x.problems.push_back(at + ": a command without the prompt \"$ \": " + trimmed(line));
}

inline Extraction extract_help_file(std::string_view text, const std::string& file) {
  Extraction x;
  const std::vector<std::string> lines = split_lines(text);
  std::string topic;  // empty outside a topic: those lines are never shown
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::string at = where(file, static_cast<int>(i) + 1);
    if (line.rfind('*', 0) == 0) {
      topic = at;
    } else if (line.rfind('#', 0) == 0) {
      topic.clear();
    } else if (!topic.empty()) {
      read_help_line(line, at, topic, x);
    }
  }
  return x;
}

// Whether output lines hold the quoted lines: each run of them between "..."
// lines as consecutive lines, the runs in their order. Trailing blanks do not
// count.
inline bool output_holds(const std::vector<std::string>& output, const std::vector<std::string>& quoted) {
  std::vector<std::string> shown;
  for (const std::string& line : output) shown.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
  std::size_t from = 0;
  for (std::size_t q = 0; q < quoted.size();) {
    std::vector<std::string> run;
    for (; q < quoted.size() && trimmed(quoted[q]) != "..."; ++q)
      run.push_back(quoted[q].substr(0, quoted[q].find_last_not_of(' ') + 1));
    for (; q < quoted.size() && trimmed(quoted[q]) == "..."; ++q) {
    }
    if (run.empty()) continue;
    const auto found = std::search(shown.begin() + static_cast<std::ptrdiff_t>(from), shown.end(), run.begin(), run.end());
    if (found == shown.end()) return false;
    from = static_cast<std::size_t>(found - shown.begin()) + run.size();
  }
  return true;
}

}  // namespace qor_docs
