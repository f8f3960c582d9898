#include "control/help_browser.h"

#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/console.h"
#include "common/program_run.h"
#include "common/text.h"

namespace {

constexpr std::string_view kHelpFileName = "Qor.hlp";
constexpr std::string_view kNotFound = "QOR.HLP is not found in the actual directory!";
constexpr std::string_view kWorking = "Working...";
constexpr std::string_view kMenuHeader1 =
    " By pressing one of the following alphanumeric characters, you get a detailed";
constexpr std::string_view kMenuHeader2 =
    "       description of the topic listed after the character in question:";
constexpr std::string_view kQuitTitle = " Quit from the Help Menu System.";
constexpr std::string_view kPageBreakPrompt = "Press ENTER to continue ...";
constexpr std::string_view kEndOfTopicPrompt = "Press ENTER to go to the main menu page ...";

constexpr char kQuitKey = '0';
// TM has entries 1..36: at most 35 topics and the quit entry after them.
constexpr int kMaxTopics = 35;
constexpr std::size_t kLineCapacity = 80;

bool is_line_terminator(unsigned char byte) { return byte == 10 || byte == 13 || byte == 26; }

// A heading has an asterisk first and its key second; a lone asterisk has no
// key and is not a heading (it could never be opened either).
bool is_heading(std::string_view text) { return text.size() >= 2 && text[0] == '*'; }

char heading_key(std::string_view heading) {
  return ascii_upper(heading[1]);
}

std::string menu_title(std::string_view heading) {
  std::string title(heading.size() > 8 ? heading.substr(8) : std::string_view{});
  const std::size_t stars = title.find("*****");
  if (stars != std::string::npos) title.erase(stars, 5);
  return title;
}

bool read_whole_file(std::string_view path, std::string& bytes) {
  std::FILE* f = std::fopen(std::string(path).c_str(), "rb");
  if (f == nullptr) return false;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  // A file that cannot be read (a directory named Qor.hlp, say) serves no better
  // than a missing one.
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

// The directory of the running program; empty when it is unknown.
std::filesystem::path program_directory() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || program.empty()) return {};
  return program.parent_path();
}

#if defined(QOR_BUILD_TREE) && defined(QOR_SOURCE_TREE)
// A program started from the build tree it was built in has its manual in
// the source tree beside it; an installed or copied one does not look there,
// since that tree may have moved on or gone.
bool runs_from_its_build_tree(const std::filesystem::path& directory) {
  std::error_code error;
  return !directory.empty() && std::filesystem::equivalent(directory, QOR_BUILD_TREE, error);
}
#endif

}  // namespace

std::vector<std::string> help_file_places() {
  std::vector<std::string> places{std::string(kHelpFileName)};
  const std::filesystem::path directory = program_directory();
  if (directory.empty()) return places;
  // <prefix>/bin/qor reads <prefix>/share/qor/Qor.hlp.
  places.push_back((directory / ".." / "share" / "qor" / kHelpFileName).lexically_normal().string());
#if defined(QOR_BUILD_TREE) && defined(QOR_SOURCE_TREE)
  if (runs_from_its_build_tree(directory))
    places.push_back((std::filesystem::path(QOR_SOURCE_TREE) / kHelpFileName).lexically_normal().string());
#endif
  return places;
}

namespace {

// The first of the places that holds a readable help file.
bool read_help_file(const std::vector<std::string>& places, std::string& bytes) {
  for (const std::string& place : places) {
    bytes.clear();
    if (read_whole_file(place, bytes)) return true;
  }
  return false;
}

// Where the help file was looked for, the working directory's spelt out.
std::string places_looked(const std::vector<std::string>& places) {
  std::string text = "looked for the help file as";
  for (std::size_t i = 0; i < places.size(); ++i) {
    std::error_code error;
    const std::string shown = std::filesystem::absolute(places[i], error).string();
    text += i == 0 ? " " : i + 1 == places.size() ? " and " : ", ";
    text += "\"" + (error ? places[i] : shown) + "\"";
  }
  return text + "; start qor where Qor.hlp lies, or install it (cmake --install).";
}

void show_menu_page(Console& console, const HelpState& help) {
  console.clear_screen();
  console.write_line(kMenuHeader1);
  console.write_line(kMenuHeader2);
  console.write_line();
  for (int k = 1; k <= help.TMN; ++k) {
    const TOPICS& entry = help.TM[static_cast<std::size_t>(k)];
    std::string line = "  ";
    line += entry.L;
    line += ':';
    line += entry.T.view();
    console.write_line(line);
  }
  console.go_to(79, 25);
}

// Keys other than those of the menu are ignored without a sign; -1 at the end of input.
int read_menu_key(Console& console, const HelpState& help) {
  for (;;) {
    const int key = console.read_key();
    if (key < 0) return -1;
    const int upper = static_cast<unsigned char>(ascii_upper(static_cast<char>(key)));
    if (help.STM.test(static_cast<std::size_t>(upper))) return upper;
  }
}

// Index of the first heading with this key, or 0 (the head record) when none.
std::size_t find_topic(const HelpState& help, int key) {
  for (std::size_t i = 1; i < help.lines.size(); ++i) {
    const std::string_view text = help.lines[i].view();
    if (is_heading(text) && static_cast<unsigned char>(heading_key(text)) == key) return i;
  }
  return 0;
}

bool wait_at(Console& console, int column, std::string_view prompt) {
  console.go_to(column, 25);
  console.write(prompt);
  return console.wait_for_enter();
}

// Writes the topic from its heading to its "#" line, stopping at the last
// record when the "#" line is missing. False when the input ended at a prompt.
bool show_topic(Console& console, const HelpState& help, std::size_t heading) {
  const std::string_view head = help.lines[heading].view();
  std::string text(head.substr(head.size() < 3 ? head.size() : 3));
  std::size_t i = heading;
  while (!begins_with(text, '#')) {
    console.write_line(text);
    if (i + 1 >= help.lines.size()) break;
    text = help.lines[++i].str();
    if (begins_with(text, ':')) {
      text.erase(0, 1);
      if (!wait_at(console, 50, kPageBreakPrompt)) return false;
      console.clear_screen();
    }
  }
  return true;
}

}  // namespace

void load_help_lines(HelpState& help, const std::string& bytes) {
  help.lines.clear();
  help.lines.emplace_back();  // head record, text unused
  help.lines.emplace_back();  // current record
  std::size_t pos = 0;
  const std::size_t size = bytes.size();
  std::string line;
  while (pos < size) {
    line.clear();
    bool terminated = false;
    while (pos < size) {
      const auto byte = static_cast<unsigned char>(bytes[pos++]);
      if (is_line_terminator(byte)) {
        terminated = true;
        break;
      }
      if (line.size() < kLineCapacity) line.push_back(static_cast<char>(byte));
    }
    help.lines.back() = line;  // a last line without terminator is kept too
    if (terminated && pos < size) ++pos;  // the byte after a terminator is always dropped
    help.lines.emplace_back();
  }
}

void build_help_menu(HelpState& help) {
  help.TMN = 1;
  help.STM.reset();
  help.STM.set(static_cast<unsigned char>(kQuitKey));
  for (std::size_t i = 1; i < help.lines.size(); ++i) {
    const std::string_view text = help.lines[i].view();
    if (!is_heading(text)) continue;
    // Further headings find no room in TM: they are neither listed nor opened.
    if (help.TMN > kMaxTopics) break;
    TOPICS& entry = help.TM[static_cast<std::size_t>(help.TMN)];
    entry.L = heading_key(text);
    entry.T = menu_title(text);
    help.STM.set(static_cast<unsigned char>(entry.L));
    ++help.TMN;
  }
  TOPICS& quit = help.TM[static_cast<std::size_t>(help.TMN)];
  quit.L = kQuitKey;
  quit.T = kQuitTitle;
}

int run_help_menu(Console& console, const HelpState& help) {
  for (;;) {
    show_menu_page(console, help);
    const int key = read_menu_key(console, help);
    if (key < 0) break;
    console.clear_screen();
    if (key == kQuitKey) break;
    const std::size_t heading = find_topic(help, key);
    if (heading != 0 && !show_topic(console, help, heading)) break;
    if (!wait_at(console, 35, kEndOfTopicPrompt)) break;
  }
  console.flush();
  return 0;
}

int run_help_browser(ProgramRun& s, const std::vector<std::string>& places) {
  Console& console = s.console;
  std::string bytes;
  if (!read_help_file(places, bytes)) {
    console.write_line();
    console.write_line(kNotFound);
    console.flush();
    console.warn(places_looked(places));
    return 0;
  }
  // Loading takes no visible time, so the notice is written once rather
  // than once per line as a slow loader would repeat it.
  console.clear_screen();
  console.go_to(35, 13);
  console.write_line(kWorking);
  HelpState help;
  load_help_lines(help, bytes);
  build_help_menu(help);
  return run_help_menu(console, help);
}
