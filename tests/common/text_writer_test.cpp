// The text writer: CR LF line ends, right-aligned texts never cut, the
// column count, translated high bytes, and failures that stop the run or
// are remembered.
#include "common/text_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>

#include "common/run_error.h"
#include "test_support.h"

namespace {

TEST(TextWriter, LinesColumnsAndAlignment) {
  qor_test::TempDir dir;
  TextWriter out = TextWriter::create("t.txt", "test file");
  out.write("ab");
  EXPECT_EQ(out.column(), 2);
  out.write_right("xyz", 5);
  out.write_right("toolong", 3);  // never cut
  out.write_blanks(2);
  out.line_end();
  EXPECT_EQ(out.column(), 0);
  out.write('c');
  out.line_end();
  out.close();
  EXPECT_EQ(qor_test::read_file("t.txt"), "ab  xyztoolong  \r\nc\r\n");
  TextWriter more = TextWriter::append("t.txt", "test file");
  more.write("d");
  more.close();
  EXPECT_EQ(qor_test::read_file("t.txt"), "ab  xyztoolong  \r\nc\r\nd");
}

TEST(TextWriter, HighBytesTranslatedOnlyWhenAsked) {
  qor_test::TempDir dir;
  std::array<std::string, 128> texts{};
  texts[0xF1 - 128] = "+-";
  TextWriter out = TextWriter::create("t.txt", "test file");
  out.write("\xF1");
  out.translate_high_bytes(&texts);
  out.write("a\xF1");
  EXPECT_EQ(out.column(), 3);  // one column per byte given
  out.translate_high_bytes(nullptr);
  out.write("\xF1");
  out.close();
  EXPECT_EQ(qor_test::read_file("t.txt"), "\xF1" "a+-\xF1");
}

TEST(TextWriter, FailuresStopOrAreRemembered) {
  qor_test::TempDir dir;
  try {
    TextWriter::create("nodir/t.txt", "report file");
    FAIL() << "created";
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), ENOENT);
  }
  // A full disk: /dev/full takes nothing.
  std::FILE* full = std::fopen("/dev/full", "w");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full";
  {
    TextWriter out(full, "/dev/full", "standard output");
    out.remember_failures();
    out.write(std::string(1 << 17, 'x'));
    out.flush();
    EXPECT_EQ(out.failure(), ENOSPC);
    out.write("dropped");
  }
  std::fclose(full);
  TextWriter strict = TextWriter::create("/dev/full", "report file");
  strict.write("x");
  EXPECT_THROW(strict.flush(), RunError);
}

// Text kept in memory gets the bytes a file would; a discarding writer
// drops them but still follows the column, as the console's cursor needs.
TEST(TextWriter, IntoMemoryAndDiscarding) {
  std::string text;
  {
    TextWriter out = TextWriter::into(text, "memory", "verdict block");
    out.write_right("ab", 4);
    out.line_end();
    out.write("\xB1x");
    out.flush();
    out.close();
    EXPECT_EQ(out.column(), 2);
  }
  EXPECT_EQ(text, "  ab\r\n\xB1x");
  TextWriter dropped = TextWriter::discarding("standard output", "standard output");
  dropped.write("12345");
  dropped.flush();
  EXPECT_EQ(dropped.column(), 5);
  EXPECT_EQ(dropped.failure(), 0);
}

}  // namespace
