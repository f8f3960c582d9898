#include "docs/example_marks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using qor_docs::Extraction;
using qor_docs::Language;
using Lines = std::vector<std::string>;

// "where | code | status" of every example to run, "python" and "qor" added
// for Python blocks and the module they import.
Lines runs(const Extraction& x) {
  Lines out;
  for (const auto& e : x.runs)
    out.push_back(e.where + " | " + e.code + " | " + std::to_string(e.status) +
                  (e.language == Language::python ? " python" : "") + (e.imports_qor ? " qor" : ""));
  return out;
}

// How many problems, and the place of each.
Lines places(const Lines& problems) {
  Lines out;
  for (const auto& p : problems) out.push_back(p.substr(0, p.find(": ")));
  return out;
}

TEST(ExampleMarks, ShellBlocksOfMarkdown) {
  const std::string text =
      "Text `qor inline` is prose.\n"             // 1
      "```sh\n"                                   // 2
      "# not run: installs as root\n"             // 3
      "sudo apt-get install qor\n"                // 4
      "# a plain comment keeps the mark\n"        // 5
      "make install\n"                            // 6
      "# runs\n"                                  // 7
      "./build/qor a.txt out.txt  # trailing\n"   // 8
      "\n"                                        // 9
      "qor one \\\n"                              // 10
      "  two\n"                                   // 11
      "#runs, exit status 106\n"                  // 12
      "qor bad.txt out.txt\n"                     // 13
      "```\n"                                     // 14
      "```bash\n"                                 // 15
      "qor unmarked\n"                            // 16
      "# runs fast\n"                             // 17
      "# not run:\n"                              // 18
      "```\n"                                     // 19
      "```\n"                                     // 20
      "qor in a plain block is no command\n"      // 21
      "```\n";                                    // 22
  const Extraction x = qor_docs::extract_markdown(text, "R");
  EXPECT_EQ(runs(x), (Lines{"R:8 | ./build/qor a.txt out.txt  # trailing | 0", "R:10 | qor one \\\n  two | 0",
                            "R:13 | qor bad.txt out.txt | 106"}));
  EXPECT_EQ(x.runs[0].block, "R:2");
  EXPECT_EQ(x.runs[2].block, "R:2");
  EXPECT_EQ(x.not_run, (Lines{"R:4: installs as root", "R:6: installs as root"}));
  // Unmarked in a block of its own; two comments that look like marks but are not.
  EXPECT_EQ(places(x.problems), (Lines{"R:16", "R:17", "R:18"}));
  EXPECT_TRUE(x.quotes.empty());
}

TEST(ExampleMarks, PythonBlocksOfMarkdown) {
  const std::string text =
      "```python\n# runs\nimport json\n```\n"                        // 1-4
      "```python\n# runs\nimport json, qor\nqor.rank()\n```\n"       // 5-9
      "```python\n# runs\nfrom qor import rank\n```\n"               // 10-13
      "```python\n# runs\nimport qorx\nx = 'import qor'\n```\n"      // 14-18
      "```python\n# not run: needs a spectrometer\nimport qor\n```\n"  // 19-22
      "```python\nimport qor\n# runs\n```\n";                        // 23-26
  const Extraction x = qor_docs::extract_markdown(text, "R");
  EXPECT_EQ(runs(x), (Lines{"R:1 | # runs\nimport json\n | 0 python", "R:5 | # runs\nimport json, qor\nqor.rank()\n | 0 python qor",
                            "R:10 | # runs\nfrom qor import rank\n | 0 python qor",
                            "R:14 | # runs\nimport qorx\nx = 'import qor'\n | 0 python"}));
  EXPECT_EQ(x.not_run, Lines{"R:19: needs a spectrometer"});
  EXPECT_EQ(places(x.problems), Lines{"R:23"});  // the mark comes first
}

TEST(ExampleMarks, QuotedOutputOfMarkdown) {
  const std::string text =
      "<!-- output of: qor a b -->\n"     // 1
      "```\n"                             // 2
      "line one\n"                        // 3
      "...\n"                             // 4
      "```\n"                             // 5
      "<!-- output of: qor c d -->\n"     // 6
      "\n"                                // 7: not right above a block
      "```\n"                             // 8
      "```\n"                             // 9
      "<!-- output of: qor e f -->\n"     // 10
      "```sh\n"                           // 11: a shell block is no output
      "# runs\n"                          // 12
      "qor e f\n"                         // 13
      "```\n"                             // 14
      "<!-- output of: qor g h -->\n";    // 15: nothing below at all
  const Extraction x = qor_docs::extract_markdown(text, "R");
  ASSERT_EQ(x.quotes.size(), 1u);
  EXPECT_EQ(x.quotes[0].where, "R:2");
  EXPECT_EQ(x.quotes[0].command, "qor a b");
  EXPECT_EQ(x.quotes[0].lines, (Lines{"line one", "..."}));
  EXPECT_EQ(places(x.problems), (Lines{"R:6", "R:11", "R:15"}));
  EXPECT_EQ(runs(x), Lines{"R:13 | qor e f | 0"});
}

TEST(ExampleMarks, ExamplesOfTheManualPage) {
  const std::string text =
      ".SH EXAMPLES\n"                                 // 1
      "qor outside.txt out.txt\n"                      // 2: prose
      ".EX\n"                                          // 3
      ".\\\" runs\n"                                   // 4
      "qor \\(aqa.txt,R[1]\\(aq \\-x \\e\\\\ \\&.\n"   // 5
      "qor \\fBbold\\fR\n"                             // 6
      ".br\n"                                          // 7
      ".EE\n"                                          // 8
      ".EX\n"                                          // 9
      "qor unmarked\n"                                 // 10
      ".\\\" not run: as root\n"                       // 11
      "qor --install\n"                                // 12
      ".EE\n";                                         // 13
  const Extraction x = qor_docs::extract_man_page(text, "M");
  EXPECT_EQ(runs(x), (Lines{"M:5 | qor 'a.txt,R[1]' -x \\\\ . | 0", "M:6 | qor \\fBbold\\fR | 0"}));
  EXPECT_EQ(x.runs[0].block, "M:3");
  EXPECT_EQ(x.not_run, Lines{"M:12: as root"});
  // An escape no command holds, a request, an unmarked command.
  EXPECT_EQ(places(x.problems), (Lines{"M:6", "M:7", "M:10"}));
}

TEST(ExampleMarks, PromptsAndNotesOfTheHelpFile) {
  const std::string text =
      "   qor header.txt out.txt is never shown\r\n"                 // 1
      "*A ***** Topic *****\r\n"                                     // 2
      "   $ qor a.txt out.txt\r\n"                                   // 3
      " Example:  $ qor 'b.txt,R[1]' out.txt S 0.01 4\r\n"           // 4
      "   $ cmake --install build --prefix /usr/local  (as root)\r\n"  // 5
      "   $ qor bad.txt out.txt  (exit status 2)\r\n"                // 6
      "   $ qor c.txt  ()\r\n"                                       // 7
      "   $ qor d.txt (one blank is part of the command)\r\n"        // 8
      "   qor e.txt out.txt\r\n"                                     // 9
      " run with   qor f.txt out.txt\r\n"                            // 10
      "cmake -S . -B build\r\n"                                      // 11
      " qor --help (or -h) shows the summary, prose\r\n"             // 12
      "   qor settings.par        one parameter: a table row\r\n"    // 13
      "   qor data,... report ... an outline\r\n"                    // 14
      "   qor  1:data  2:report\r\n"                                 // 15
      "#\r\n"                                                        // 16
      "   qor between.txt topics\r\n"                                // 17
      "*B ***** Next *****\r\n"                                      // 18
      "   $ qor g.txt out.txt\r\n"                                   // 19
      "#\r\n";
  const Extraction x = qor_docs::extract_help_file(text, "H");
  EXPECT_EQ(runs(x), (Lines{"H:3 | qor a.txt out.txt | 0", "H:4 | qor 'b.txt,R[1]' out.txt S 0.01 4 | 0",
                            "H:6 | qor bad.txt out.txt | 2", "H:8 | qor d.txt (one blank is part of the command) | 0",
                            "H:19 | qor g.txt out.txt | 0"}));
  EXPECT_EQ(x.runs[0].block, "H:2");
  EXPECT_EQ(x.runs[4].block, "H:18");
  EXPECT_EQ(x.not_run, Lines{"H:5: as root"});
  EXPECT_EQ(places(x.problems), (Lines{"H:7", "H:9", "H:10", "H:11"}));
}

TEST(ExampleMarks, OutputHoldsTheQuotedRunsInOrder) {
  const Lines output{"head", " D:  0.9458  ", "   \xC2\xB1  0.0020", "R: 3", "tail", "last"};
  const std::pair<Lines, bool> cases[] = {
      {{" D:  0.9458", "   \xC2\xB1  0.0020"}, true},  // trailing blanks do not count
      {{"head", "...", "R: 3", "...", "last"}, true},
      {{"...", "tail", "last", "..."}, true},
      {{}, true},
      {{"head", "R: 3"}, false},              // not consecutive without "..."
      {{"tail", "...", "head"}, false},       // out of order
      {{"R: 3", "...", "R: 3"}, false},       // each run takes lines of its own
      {{" D: 0.9458"}, false},                // inner blanks count
      {{"D:  0.9458"}, false},                // and leading ones
  };
  for (const auto& [quoted, holds] : cases) {
    std::string shown;
    for (const auto& q : quoted) shown += q + "|";
    EXPECT_EQ(qor_docs::output_holds(output, quoted), holds) << shown;
  }
}

}  // namespace
