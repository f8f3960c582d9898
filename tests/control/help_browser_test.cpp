#include "control/help_browser.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "common/run_state.h"
#include "control/console.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> texts(const HelpState& help) {
  std::vector<std::string> out;
  for (const auto& line : help.lines) out.push_back(line.str());
  return out;
}

HelpState loaded(const std::string& bytes) {
  HelpState help;
  load_help_lines(help, bytes);
  build_help_menu(help);
  return help;
}

std::string entry(const HelpState& help, int k) {
  const TOPICS& t = help.TM[static_cast<std::size_t>(k)];
  return std::string(1, t.L) + ":" + t.T.str();
}

const std::string kQuitEntry = "0: Quit from the Help Menu System.";

// ---------------------------------------------------------------- loading

TEST(HelpLoading, EmptyFileGivesHeadAndFinalRecordAndQuitOnlyMenu) {
  HelpState help = loaded("");
  EXPECT_EQ(texts(help), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(help.TMN, 1);
  EXPECT_EQ(entry(help, 1), kQuitEntry);
  EXPECT_EQ(help.STM.count(), 1u);
  EXPECT_TRUE(help.STM.test('0'));
}

TEST(HelpLoading, LineEndsAndTheSkippedByte) {
  // CR LF: the LF is the skipped byte. After a lone CR, LF or Ctrl-Z the next
  // byte is lost whatever it is.
  EXPECT_EQ(texts(loaded("abc\r\ndef\r\n")), (std::vector<std::string>{"", "abc", "def", ""}));
  EXPECT_EQ(texts(loaded("a\rXb\x1aYc\r\n")), (std::vector<std::string>{"", "a", "b", "c", ""}));
  EXPECT_EQ(texts(loaded("\r\n\r\nx\r\n")), (std::vector<std::string>{"", "", "", "x", ""}));
}

TEST(HelpLoading, LastLineWithoutTerminatorIsKept) {
  EXPECT_EQ(texts(loaded("abc\r\nlast")), (std::vector<std::string>{"", "abc", "last", ""}));
  // A terminator as the very last byte: nothing left to skip.
  EXPECT_EQ(texts(loaded("abc\r")), (std::vector<std::string>{"", "abc", ""}));
}

TEST(HelpLoading, LinesAreCutAfter80Characters) {
  const std::string longer(80, 'x');
  HelpState help = loaded(longer + "TAIL\r\nnext\r\n");
  ASSERT_EQ(help.lines.size(), 4u);
  EXPECT_EQ(help.lines[1].str(), longer);
  EXPECT_EQ(help.lines[2].str(), "next");
}

TEST(HelpLoading, LineFeedOnlyFileLosesFirstCharactersAndHeadings) {
  HelpState help = loaded("*A ***** One *****\ntext\n*B ***** Two *****\nmore\n");
  EXPECT_EQ(texts(help), (std::vector<std::string>{"", "*A ***** One *****", "ext",
                                                   "B ***** Two *****", "ore", ""}));
  EXPECT_EQ(help.TMN, 2);
  EXPECT_EQ(entry(help, 1), "A: One ");
}

// ---------------------------------------------------------------- menu

TEST(HelpMenu, TitlesKeysAndTheFiveAsteriskRemoval) {
  HelpState help = loaded(
      "not shown\r\n"
      "*a ***** Lower case key *****\r\n"
      "#\r\n"
      "*Q123456Title ***** more *****\r\n"
      "*Z\r\n"
      "*\r\n"
      " *X not a heading\r\n");
  ASSERT_EQ(help.TMN, 4);
  EXPECT_EQ(entry(help, 1), "A: Lower case key ");
  EXPECT_EQ(entry(help, 2), "Q:Title  more *****");  // only the first run of five goes
  EXPECT_EQ(entry(help, 3), "Z:");
  EXPECT_EQ(entry(help, 4), kQuitEntry);  // a lone asterisk has no key and is no heading
  EXPECT_TRUE(help.STM.test('A'));
  EXPECT_FALSE(help.STM.test('a'));
  EXPECT_TRUE(help.STM.test('Q'));
  EXPECT_FALSE(help.STM.test('X'));
  EXPECT_EQ(help.STM.count(), 4u);
}

TEST(HelpMenu, DuplicateKeysAndKeyZeroAreListed) {
  HelpState help = loaded(
      "*A ***** First *****\r\n#\r\n"
      "*0 ***** Zero *****\r\n#\r\n"
      "*a ***** Second *****\r\n#\r\n");
  ASSERT_EQ(help.TMN, 4);
  EXPECT_EQ(entry(help, 1), "A: First ");
  EXPECT_EQ(entry(help, 2), "0: Zero ");
  EXPECT_EQ(entry(help, 3), "A: Second ");
  EXPECT_EQ(entry(help, 4), kQuitEntry);
  EXPECT_EQ(help.STM.count(), 2u);
}

TEST(HelpMenu, HeadingsBeyondThe35thAreNeitherListedNorOpened) {
  std::string file;
  for (int k = 0; k < 40; ++k)
    file += std::string("*") + static_cast<char>('!' + k) + "     T\r\n#\r\n";
  HelpState help = loaded(file);
  ASSERT_EQ(help.TMN, 36);
  EXPECT_EQ(help.TM[35].L, '!' + 34);
  EXPECT_EQ(entry(help, 36), kQuitEntry);
  EXPECT_TRUE(help.STM.test('!' + 34));
  EXPECT_FALSE(help.STM.test('!' + 35));
  // Building again starts afresh.
  build_help_menu(help);
  EXPECT_EQ(help.TMN, 36);
}

// ---------------------------------------------------------------- browsing

// Runs the menu on a plain (non-terminal) console, so the output holds the
// texts alone, in order, without any cursor movement.
struct Browse {
  std::string output;
  int status = -1;
};

Browse browse(const std::string& file, const std::string& keys) {
  HelpState help = loaded(file);
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  EXPECT_EQ(write(fds[1], keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  close(fds[1]);
  std::FILE* in = fdopen(fds[0], "r");
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  Browse result;
  {
    Console console(out, in, false);
    result.status = run_help_menu(console, help);
  }
  std::fclose(out);
  std::fclose(in);
  result.output.assign(buffer, size);
  std::free(buffer);
  return result;
}

std::string menu_page(const std::vector<std::string>& entries) {
  std::string page =
      " By pressing one of the following alphanumeric characters, you get a detailed\r\n"
      "       description of the topic listed after the character in question:\r\n\r\n";
  for (const auto& e : entries) page += "  " + e + "\r\n";
  return page + "  " + kQuitEntry + "\r\n";
}

const std::string kContinue = "Press ENTER to continue ...";
const std::string kBackToMenu = "Press ENTER to go to the main menu page ...";

const std::string kTwoTopics =
    "outside\r\n"
    "*a ***** Alpha *****\r\n"
    "line one\r\n"
    ":\r\n"
    "line two\r\n"
    ":page three\r\n"
    "#end\r\n"
    "between topics\r\n"
    "*B ***** Beta *****\r\n"
    "beta text\r\n"
    "#\r\n";

TEST(HelpBrowse, OpenPageThroughReturnAndQuit) {
  // 'x' is not a key of the menu; lower-case 'a' opens topic A.
  Browse b = browse(kTwoTopics, "xa\n\n\n0");
  const std::string menu = menu_page({"A: Alpha ", "B: Beta "});
  EXPECT_EQ(b.output, menu + "***** Alpha *****\r\nline one\r\n" + kContinue + "\r\nline two\r\n" +
                          kContinue + "page three\r\n" + kBackToMenu + menu);
  EXPECT_EQ(b.status, 0);
}

TEST(HelpBrowse, DuplicateKeyOpensTheFirstTopicAndZeroQuitsEvenWhenListed) {
  const std::string file =
      "*A ***** First *****\r\nfirst text\r\n#\r\n"
      "*0 ***** Zero *****\r\nzero text\r\n#\r\n"
      "*a ***** Second *****\r\nsecond text\r\n#\r\n";
  Browse b = browse(file, "A\n0");
  const std::string menu = menu_page({"A: First ", "0: Zero ", "A: Second "});
  EXPECT_EQ(b.output, menu + "***** First *****\r\nfirst text\r\n" + kBackToMenu + menu);
  EXPECT_EQ(b.status, 0);
}

TEST(HelpBrowse, MissingHashLineRunsIntoTheNextTopicAndStopsAtTheLastRecord) {
  const std::string file =
      "*A ***** First *****\r\nfirst text\r\n"
      "*B ***** Second *****\r\nsecond text\r\n#\r\n"
      "*C ***** Open end *****\r\nlast line";
  Browse a = browse(file, "a\n0");
  EXPECT_NE(a.output.find("first text\r\n*B ***** Second *****\r\nsecond text\r\n" + kBackToMenu),
            std::string::npos);
  // No "#" before the end of the file: the topic ends with the final (empty) record.
  Browse c = browse(file, "c\n0");
  EXPECT_NE(c.output.find("***** Open end *****\r\nlast line\r\n\r\n" + kBackToMenu),
            std::string::npos);
  EXPECT_EQ(c.status, 0);
}

TEST(HelpBrowse, EndOfInputLeavesWithStatusZero) {
  const std::string menu = menu_page({"A: Alpha ", "B: Beta "});
  Browse at_menu = browse(kTwoTopics, "x");
  EXPECT_EQ(at_menu.output, menu);
  EXPECT_EQ(at_menu.status, 0);

  Browse at_page_break = browse(kTwoTopics, "a");
  EXPECT_EQ(at_page_break.output, menu + "***** Alpha *****\r\nline one\r\n" + kContinue);
  EXPECT_EQ(at_page_break.status, 0);

  Browse at_topic_end = browse(kTwoTopics, "b");
  EXPECT_EQ(at_topic_end.output, menu + "***** Beta *****\r\nbeta text\r\n" + kBackToMenu);
  EXPECT_EQ(at_topic_end.status, 0);
}

// ---------------------------------------------------------------- shipped file

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(HelpFile, ShippedManualFitsTheScreenAndTheFormat) {
  const std::string bytes = read_file(fs::path(QOR_SOURCE_DIR) / "Qor.hlp");
  ASSERT_FALSE(bytes.empty());
  ASSERT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r') {
      ASSERT_EQ(bytes[i + 1], '\n') << "CR without LF at byte " << i;
      ++i;
      continue;
    }
    ASSERT_NE(c, '\n') << "LF without CR at byte " << i;
    ASSERT_TRUE(c >= 32 && c < 127) << "byte " << int(c) << " at " << i;
  }
  std::vector<std::string> raw;
  std::istringstream split(bytes);
  for (std::string line; std::getline(split, line);) raw.push_back(line.substr(0, line.size() - 1));

  HelpState help = loaded(bytes);
  // Loading must give back every line whole: none was cut at 80.
  ASSERT_EQ(help.lines.size(), raw.size() + 2);
  for (std::size_t i = 0; i < raw.size(); ++i) {
    EXPECT_LE(raw[i].size(), 80u) << "line " << i + 1;
    EXPECT_EQ(help.lines[i + 1].str(), raw[i]);
  }
  // The menu page (three header lines, the entries) fits 25 rows.
  EXPECT_GE(help.TMN, 10);
  EXPECT_LE(3 + help.TMN, 24);

  // Every topic ends with its "#" line and no screen page has more than 23
  // lines, so the prompt on row 25 never scrolls the page.
  bool in_topic = false;
  int page = 0;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const std::string& line = raw[i];
    if (!line.empty() && line[0] == '*') {
      EXPECT_FALSE(in_topic) << "heading inside a topic at line " << i + 1;
      in_topic = true;
      page = 1;
    } else if (in_topic && !line.empty() && line[0] == '#') {
      in_topic = false;
    } else if (in_topic) {
      page = !line.empty() && line[0] == ':' ? 1 : page + 1;
      EXPECT_LE(page, 23) << "page too long at line " << i + 1;
    }
  }
  EXPECT_FALSE(in_topic) << "last topic has no # line";
}

// ---------------------------------------------------------------- the real program

class TempDir {
 public:
  TempDir() {
    std::string templ = (fs::temp_directory_path() / "qor_help_XXXXXX").string();
    path_ = mkdtemp(templ.data());
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
  }

 private:
  fs::path path_;
};

// ANSI cursor position, as a terminal receives it.
std::string cursor_to(int column, int row) {
  return "\x1b[" + std::to_string(row) + ";" + std::to_string(column) + "H";
}

// qor started without parameters on a pseudo-terminal of the given size.
class PtySession {
 public:
  PtySession(const fs::path& dir, unsigned short columns, unsigned short rows) {
    winsize size{};
    size.ws_col = columns;
    size.ws_row = rows;
    pid_ = forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ == 0) {
      if (chdir(dir.c_str()) != 0) _exit(120);
      execl(QOR_BINARY, QOR_BINARY, static_cast<char*>(nullptr));
      _exit(121);
    }
  }
  ~PtySession() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }
  bool started() const { return pid_ > 0; }

  // Reads the screen output until text has appeared since the last mark.
  bool wait_for(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (seen_.find(text, mark_) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline || !read_some(100)) return false;
    }
    mark_ = seen_.find(text, mark_) + text.size();
    return true;
  }
  void press(const std::string& keys) {
    ASSERT_EQ(::write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }

  // Drains the output until the program ends; its exit status, or -1.
  int exit_status() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      read_some(50);
    }
    return -1;
  }
  const std::string& seen() const { return seen_; }

 private:
  // False once the terminal has closed.
  bool read_some(int timeout_ms) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return true;
    char buffer[4096];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;
    seen_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int master_ = -1;
  bool reaped_ = false;
  std::string seen_;
  std::size_t mark_ = 0;
};

const std::string kTestHelp =
    "Test help file\r\n"
    "*a ***** Alpha topic *****\r\n"
    "first page text\r\n"
    ":second page text\r\n"
    "#\r\n"
    "*b ***** Beta topic *****\r\n"
    "beta text\r\n"
    "#\r\n";

void browse_on_terminal(unsigned short columns, unsigned short rows) {
  TempDir dir;
  dir.write("Qor.hlp", kTestHelp);
  PtySession qor(dir.path(), columns, rows);
  ASSERT_TRUE(qor.started());

  ASSERT_TRUE(qor.wait_for(cursor_to(35, 13) + "Working...")) << qor.seen();
  ASSERT_TRUE(qor.wait_for(" By pressing one of the following alphanumeric characters"))
      << qor.seen();
  ASSERT_TRUE(qor.wait_for("  A: Alpha topic ")) << qor.seen();
  ASSERT_TRUE(qor.wait_for("  B: Beta topic ")) << qor.seen();
  ASSERT_TRUE(qor.wait_for("  0: Quit from the Help Menu System.")) << qor.seen();
  ASSERT_TRUE(qor.wait_for(cursor_to(79, 25))) << qor.seen();

  qor.press("a");
  ASSERT_TRUE(qor.wait_for("***** Alpha topic *****")) << qor.seen();
  ASSERT_TRUE(qor.wait_for("first page text")) << qor.seen();
  ASSERT_TRUE(qor.wait_for(cursor_to(50, 25) + "Press ENTER to continue ...")) << qor.seen();
  qor.press("\r");
  ASSERT_TRUE(qor.wait_for("second page text")) << qor.seen();
  ASSERT_TRUE(qor.wait_for(cursor_to(35, 25) + "Press ENTER to go to the main menu page ..."))
      << qor.seen();
  qor.press("\r");
  ASSERT_TRUE(qor.wait_for(" By pressing one of the following alphanumeric characters"))
      << qor.seen();
  ASSERT_TRUE(qor.wait_for(cursor_to(79, 25))) << qor.seen();

  qor.press("0");
  EXPECT_EQ(qor.exit_status(), 0) << qor.seen();
  EXPECT_EQ(qor.seen().find("beta text"), std::string::npos);
}

TEST(HelpProgram, BrowsesTopicsOnATerminalAndQuitsWithZero) { browse_on_terminal(80, 25); }

TEST(HelpProgram, KeepsWorkingOnASmallTerminal) { browse_on_terminal(40, 10); }

// qor with the given parameters, stdin at end of input and stdout a pipe.
struct Plain {
  std::string output;
  int status = -1;
};

Plain run_plain(const fs::path& dir, const std::vector<std::string>& params) {
  int out[2];
  if (pipe(out) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    const int null_in = open("/dev/null", O_RDONLY);
    if (null_in < 0 || dup2(null_in, 0) < 0 || dup2(out[1], 1) < 0 || chdir(dir.c_str()) != 0)
      _exit(120);
    close(out[0]);
    std::vector<char*> argv{const_cast<char*>(QOR_BINARY)};
    for (const auto& p : params) argv.push_back(const_cast<char*>(p.c_str()));
    argv.push_back(nullptr);
    execv(QOR_BINARY, argv.data());
    _exit(121);
  }
  close(out[1]);
  Plain result;
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
    result.output.append(buffer, static_cast<std::size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TEST(HelpProgram, EndOfInputAtTheMenuEndsWithZero) {
  TempDir dir;
  dir.write("Qor.hlp", kTestHelp);
  for (const auto& params : {std::vector<std::string>{}, std::vector<std::string>{"?", "a", "b"}}) {
    Plain p = run_plain(dir.path(), params);
    EXPECT_EQ(p.status, 0);
    // Not a terminal: plain text, no escape sequences.
    EXPECT_EQ(p.output, "Working...\r\n" + menu_page({"A: Alpha topic ", "B: Beta topic "}));
  }
}

TEST(HelpProgram, MissingHelpFileIsReportedWithZero) {
  TempDir dir;
  Plain p = run_plain(dir.path(), {});
  EXPECT_EQ(p.status, 0);
  EXPECT_EQ(p.output, "\r\nQOR.HLP is not found in the actual directory!\r\n");
}

}  // namespace
