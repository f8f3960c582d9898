#include "control/help_browser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/program_run.h"
#include "e2e/pty_support.h"
#include "e2e/run_support.h"
#include "test_support.h"

namespace {

using Lines = std::vector<std::string>;

HelpState loaded(const std::string& bytes) {
  HelpState help;
  load_help_lines(help, bytes);
  build_help_menu(help);
  return help;
}

Lines texts(const HelpState& help) {
  Lines out;
  for (const auto& line : help.lines) out.push_back(line.str());
  return out;
}

// The menu entries 1..TMN as "key:title".
Lines entries(const HelpState& help) {
  Lines out;
  for (int k = 1; k <= help.TMN; ++k) out.push_back(std::string(1, help.TM[k].L) + ":" + help.TM[k].T.str());
  return out;
}

const std::string kQuitEntry = "0: Quit from the Help Menu System.";

TEST(HelpLoading, LineEndsSkippedBytesAndCuts) {
  const std::string longer(80, 'x');
  const std::pair<std::string, Lines> cases[] = {
      {"", {"", ""}},
      // CR LF: the LF is the skipped byte. After a lone CR, LF or Ctrl-Z the
      // next byte is lost whatever it is.
      {"abc\r\ndef\r\n", {"", "abc", "def", ""}},
      {"a\rXb\x1aYc\r\n", {"", "a", "b", "c", ""}},
      {"\r\n\r\nx\r\n", {"", "", "", "x", ""}},
      // The last line is kept without a terminator; a terminator as the very
      // last byte has nothing left to skip.
      {"abc\r\nlast", {"", "abc", "last", ""}},
      {"abc\r", {"", "abc", ""}},
      {longer + "TAIL\r\nnext\r\n", {"", longer, "next", ""}},
      // LF only: every line after the first loses its first character.
      {"*A ***** One *****\ntext\n*B ***** Two *****\nmore\n",
       {"", "*A ***** One *****", "ext", "B ***** Two *****", "ore", ""}},
  };
  for (const auto& [bytes, want] : cases) EXPECT_EQ(texts(loaded(bytes)), want) << bytes;
  EXPECT_EQ(entries(loaded("")), Lines{kQuitEntry});
  EXPECT_EQ(loaded("").STM.count(), 1u);
  EXPECT_TRUE(loaded("").STM.test('0'));
  EXPECT_EQ(entries(loaded("*A ***** One *****\ntext\n*B ***** Two *****\nmore\n")),
            (Lines{"A: One ", kQuitEntry}));
}

TEST(HelpMenu, TitlesKeysAndTheFiveAsteriskRemoval) {
  HelpState help = loaded("not shown\r\n*a ***** Lower case key *****\r\n#\r\n*Q123456Title ***** more *****\r\n"
                          "*Z\r\n*\r\n *X not a heading\r\n");
  // Only the first run of five asterisks goes; a lone asterisk has no key and is no heading.
  EXPECT_EQ(entries(help), (Lines{"A: Lower case key ", "Q:Title  more *****", "Z:", kQuitEntry}));
  EXPECT_TRUE(help.STM.test('A'));
  EXPECT_FALSE(help.STM.test('a'));
  EXPECT_TRUE(help.STM.test('Q'));
  EXPECT_FALSE(help.STM.test('X'));
  EXPECT_EQ(help.STM.count(), 4u);

  help = loaded("*A ***** First *****\r\n#\r\n*0 ***** Zero *****\r\n#\r\n*a ***** Second *****\r\n#\r\n");
  EXPECT_EQ(entries(help), (Lines{"A: First ", "0: Zero ", "A: Second ", kQuitEntry}));
  EXPECT_EQ(help.STM.count(), 2u);
}

TEST(HelpMenu, HeadingsBeyondThe35thAreNeitherListedNorOpened) {
  std::string file;
  for (int k = 0; k < 40; ++k) file += std::string("*") + static_cast<char>('!' + k) + "     T\r\n#\r\n";
  HelpState help = loaded(file);
  ASSERT_EQ(help.TMN, 36);
  EXPECT_EQ(help.TM[35].L, '!' + 34);
  EXPECT_EQ(entries(help).back(), kQuitEntry);
  EXPECT_TRUE(help.STM.test('!' + 34));
  EXPECT_FALSE(help.STM.test('!' + 35));
  build_help_menu(help);  // building again starts afresh
  EXPECT_EQ(help.TMN, 36);
}

// The menu on a plain (non-terminal) console: the output holds the texts
// alone, in order, without any cursor movement.
std::pair<std::string, int> browse(const std::string& file, const std::string& keys) {
  HelpState help = loaded(file);
  qor_test::CapturedConsole c(keys);
  const int status = run_help_menu(c.console(), help);
  return {c.text(), status};
}

std::string menu_page(const Lines& entries) {
  std::string page =
      " By pressing one of the following alphanumeric characters, you get a detailed\r\n"
      "       description of the topic listed after the character in question:\r\n\r\n";
  for (const auto& e : entries) page += "  " + e + "\r\n";
  return page + "  " + kQuitEntry + "\r\n";
}

const std::string kContinue = "Press ENTER to continue ...";
const std::string kBackToMenu = "Press ENTER to go to the main menu page ...";

TEST(HelpBrowse, PagesKeysAndEndOfInput) {
  const std::string two_topics =
      "outside\r\n*a ***** Alpha *****\r\nline one\r\n:\r\nline two\r\n:page three\r\n#end\r\n"
      "between topics\r\n*B ***** Beta *****\r\nbeta text\r\n#\r\n";
  const std::string menu = menu_page({"A: Alpha ", "B: Beta "});
  const std::string alpha = "***** Alpha *****\r\nline one\r\n" + kContinue;
  const std::string dup = "*A ***** First *****\r\nfirst text\r\n#\r\n*0 ***** Zero *****\r\nzero text\r\n#\r\n"
                          "*a ***** Second *****\r\nsecond text\r\n#\r\n";
  const std::string dup_menu = menu_page({"A: First ", "0: Zero ", "A: Second "});
  struct Case {
    const std::string& file;
    std::string keys, output;
  };
  const Case cases[] = {
      // 'x' is not a key of the menu; lower-case 'a' opens topic A.
      {two_topics, "xa\n\n\n0", menu + alpha + "\r\nline two\r\n" + kContinue + "page three\r\n" + kBackToMenu + menu},
      // A duplicate key opens the first topic, and 0 quits even when listed.
      {dup, "A\n0", dup_menu + "***** First *****\r\nfirst text\r\n" + kBackToMenu + dup_menu},
      // The end of input at the menu, at a page break and at a topic's end.
      {two_topics, "x", menu},
      {two_topics, "a", menu + alpha},
      {two_topics, "b", menu + "***** Beta *****\r\nbeta text\r\n" + kBackToMenu},
  };
  for (const Case& c : cases) EXPECT_EQ(browse(c.file, c.keys), std::make_pair(c.output, 0)) << c.keys;
}

TEST(HelpBrowse, MissingHashLineRunsIntoTheNextTopicAndStopsAtTheLastRecord) {
  const std::string file = "*A ***** First *****\r\nfirst text\r\n*B ***** Second *****\r\nsecond text\r\n#\r\n"
                           "*C ***** Open end *****\r\nlast line";
  const auto a = browse(file, "a\n0");
  EXPECT_NE(a.first.find("first text\r\n*B ***** Second *****\r\nsecond text\r\n" + kBackToMenu), std::string::npos);
  // No "#" before the end of the file: the topic ends with the final (empty) record.
  const auto c = browse(file, "c\n0");
  EXPECT_NE(c.first.find("***** Open end *****\r\nlast line\r\n\r\n" + kBackToMenu), std::string::npos);
  EXPECT_EQ(c.second, 0);
}

TEST(HelpFile, ShippedManualFitsTheScreenAndTheFormat) {
  const std::string bytes = qor_test::read_file(std::string(QOR_SOURCE_DIR) + "/Qor.hlp");
  ASSERT_FALSE(bytes.empty());
  ASSERT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  // The line list as loading must give it: every line whole, none cut at 80.
  Lines raw{""};
  for (std::size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2)
    raw.push_back(bytes.substr(at, end - at));
  raw.push_back("");
  HelpState help = loaded(bytes);
  EXPECT_EQ(texts(help), raw);
  // The menu page (three header lines, the entries) fits 25 rows.
  EXPECT_GE(help.TMN, 10);
  EXPECT_LE(3 + help.TMN, 24);

  // Every line is printable ASCII (no lone CR or LF) and fits, every topic ends
  // with its "#" line and no screen page has more than 23 lines, so the prompt
  // on row 25 never scrolls the page.
  bool in_topic = false;
  int page = 0;
  for (std::size_t i = 1; i + 1 < raw.size(); ++i) {
    const std::string& line = raw[i];
    const char first = line.empty() ? '\0' : line[0];
    EXPECT_LE(line.size(), 80u) << "line " << i;
    EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](char c) { return c >= 32 && c < 127; })) << "line " << i;
    if (first == '*') {
      EXPECT_FALSE(in_topic) << "heading inside a topic at line " << i;
      in_topic = true;
      page = 1;
    } else if (in_topic && first == '#') {
      in_topic = false;
    } else if (in_topic) {
      page = first == ':' ? 1 : page + 1;
      EXPECT_LE(page, 23) << "page too long at line " << i;
    }
  }
  EXPECT_FALSE(in_topic) << "last topic has no # line";
}

// ---------------------------------------------------------------- the real program

const std::string kTestHelp =
    "Test help file\r\n*a ***** Alpha topic *****\r\nfirst page text\r\n:second page text\r\n#\r\n"
    "*b ***** Beta topic *****\r\nbeta text\r\n#\r\n";

// ANSI cursor position, as a terminal receives it.
std::string cursor_to(int column, int row) {
  return "\x1b[" + std::to_string(row) + ";" + std::to_string(column) + "H";
}

TEST(HelpProgram, BrowsesTopicsOnATerminalAndQuitsWithZero) {
  const std::string menu_text = " By pressing one of the following alphanumeric characters";
  for (auto [columns, rows] : {std::pair<unsigned short, unsigned short>{80, 25}, {40, 10}}) {
    SCOPED_TRACE(columns);
    qor_test::TempDir dir;
    qor_test::write_file("Qor.hlp", kTestHelp);
    qor_test::Pty qor(columns, rows);
    ASSERT_GT(qor.pid, 0);
    ASSERT_TRUE(qor.wait_for({cursor_to(35, 13) + "Working...", menu_text, "  A: Alpha topic ", "  B: Beta topic ",
                              "  0: Quit from the Help Menu System.", cursor_to(79, 25)}))
        << qor.seen;
    ASSERT_TRUE(qor.press("a"));
    ASSERT_TRUE(qor.wait_for({"***** Alpha topic *****", "first page text",
                              cursor_to(50, 25) + "Press ENTER to continue ..."}))
        << qor.seen;
    ASSERT_TRUE(qor.press("\r"));
    ASSERT_TRUE(qor.wait_for({"second page text", cursor_to(35, 25) + kBackToMenu})) << qor.seen;
    ASSERT_TRUE(qor.press("\r"));
    ASSERT_TRUE(qor.wait_for({menu_text, cursor_to(79, 25)})) << qor.seen;
    ASSERT_TRUE(qor.press("0"));
    EXPECT_EQ(qor.exit_status(), 0) << qor.seen;
    EXPECT_EQ(qor.seen.find("beta text"), std::string::npos);
  }
}

TEST(HelpProgram, PlainOutputEndsWithZeroAtTheEndOfInputOrWithoutAHelpFile) {
  qor_test::TempDir dir;
  // A copy outside its build tree finds no manual: neither here nor installed.
  std::filesystem::copy_file(QOR_BINARY, dir.path() / "qor");
  const qor_test::RunResult missing = qor_test::run_program_with_errors((dir.path() / "qor").string(), {});
  EXPECT_EQ(missing.status, 0);
  EXPECT_EQ(missing.out, "\r\nQOR.HLP is not found in the actual directory!\r\n");
  const std::string here = (dir.path() / "Qor.hlp").string();
  const std::string installed = (dir.path().parent_path() / "share/qor/Qor.hlp").string();
  EXPECT_EQ(missing.err, "qor: looked for the help file as \"" + here + "\" and \"" + installed +
                             "\"; start qor where Qor.hlp lies, or install it (cmake --install).\n");
  qor_test::write_file("Qor.hlp", kTestHelp);
  for (const Lines& params : {Lines{}, Lines{"?", "a", "b"}}) {
    const qor_test::RunResult r = qor_test::run_qor(params);
    EXPECT_EQ(r.status, 0);
    // Not a terminal: plain text, no escape sequences.
    EXPECT_EQ(r.out, "Working...\r\n" + menu_page({"A: Alpha topic ", "B: Beta topic "}));
  }
}

TEST(HelpProgram, TheProgramInItsBuildTreeReadsTheManualOfItsSourceTree) {
  qor_test::TempDir dir;
  const qor_test::RunResult r = qor_test::run_qor_with_errors({});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Working...\r\n By pressing one of the following", 0), 0u) << r.out;
  EXPECT_EQ(r.err, "");
  const Lines places = help_file_places();
  ASSERT_EQ(places.size(), 3u);
  EXPECT_EQ(places[0], "Qor.hlp");
  EXPECT_EQ(places[2], (std::filesystem::path(QOR_SOURCE_DIR) / "Qor.hlp").lexically_normal().string());
}

}  // namespace
