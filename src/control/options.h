#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct RunSettings;

// Every option of a run is declared once, in the table of options.cpp: its
// keyword in parameter 1, its key in a parameter file, how its value is read
// from either, and its line of help. Parameter 1 and the parameter file are
// read by that table, the summary of --help lists its keywords, the warning
// for an unknown keyword suggests one of them, and a test checks that the
// manuals name every one.

// Where a keyword stands in parameter 1: the parameter, its upper-case copy
// (keywords are found in any case) and the position right after the keyword.
struct KeywordAt {
  std::string_view original, upper;
  std::size_t after = 0;
  std::string_view rest() const { return upper.substr(after); }
};

struct Option {
  std::string_view keyword;  // in parameter 1, upper case, with its comma (",TOR"); empty: none
  char key = 0;              // the parameter-file key, upper case; 0: none
  // How --help shows the keyword with its value (",TGwidth"); empty: the keyword itself.
  std::string_view usage;
  // How a parameter-file line gives the same ("V +"), for options of our own.
  std::string_view key_usage;
  // The help of --help, its lines separated by '\n'.
  std::string_view help;
  // The keyword found in parameter 1 (its first occurrence counts). Where
  // the value after it cannot be read, the setting falls back to its stated
  // value and a warning says so.
  void (*from_keyword)(RunSettings&, const KeywordAt&) = nullptr;
  // The value of a parameter-file line of this key (after the key, the
  // character after it and leading blanks). A value the key does not know
  // leaves the line a comment.
  void (*from_line)(RunSettings&, std::string_view value) = nullptr;
  // How far the keyword's value reaches in the upper-case parameter, from
  // the position after the keyword: where the next keyword may begin.
  std::size_t (*value_end)(std::string_view upper, std::size_t after) = nullptr;
};

// The table, in the order --help lists it.
std::span<const Option> options();
// The option of a parameter-file key (upper case), or null: a comment.
const Option* option_of_key(char key);
// True for the keys the description of the parameter file gives (A to R);
// the others are options of our own.
inline bool is_classic_key(char key) { return key >= 'A' && key <= 'R'; }

// The words of parameter 1 after the data file's name that begin at a comma
// no keyword begins at ("RNAK" for ",RNAK"), in order.
std::vector<std::string> unknown_keywords(std::string_view upper);
// The keyword nearest to a word that is none (one letter left out, added,
// changed, or two neighbours swapped; two for longer words), or empty.
std::string nearest_keyword(std::string_view word);

// The lines of --help that list the keywords of parameter 1, each closed by '\n'.
std::string keyword_usage_lines();
