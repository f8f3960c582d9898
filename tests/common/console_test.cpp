#include "common/console.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>

#include "test_support.h"

namespace {

// The code point of a text that is exactly one UTF-8 character in its shortest form, or -1.
long one_code_point(const std::string& text) {
  const auto lead = static_cast<unsigned char>(text.empty() ? 0xFF : text[0]);
  const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
  if (length == 0 || text.size() != length) return -1;
  long code = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((text[i] & 0xC0) != 0x80) return -1;
    code = code << 6 | (text[i] & 0x3F);
  }
  static const long kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  return code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF ? -1 : code;
}

// What a terminal console sends for text, and its column afterwards.
std::pair<std::string, int> sent(const std::string& text, bool utf8) {
  qor_test::CapturedConsole captured("", true, utf8);
  captured.console().write(text);
  captured.console().flush();
  return {captured.text(), captured.console().column()};
}

TEST(ConsoleCharacters, EveryHighByteIsOneDistinctUtf8Character) {
  std::map<long, int> byte_of;
  for (int byte = 128; byte < 256; ++byte) {
    const long code = one_code_point(sent(std::string(1, static_cast<char>(byte)), true).first);
    EXPECT_GE(code, 0xA0) << "byte " << byte;  // never ASCII nor a control character
    byte_of[code] = byte;
  }
  EXPECT_EQ(byte_of.size(), 128u);  // no two bytes share a character: the way back is unique
  const std::pair<long, int> known[] = {{0x00B1, 0xF1}, {0x00B5, 0xE6}, {0x03C3, 0xE5}, {0x00B2, 0xFD},
                                        {0x2591, 0xB0}, {0x2588, 0xDB}, {0x00C7, 0x80}, {0x00A0, 0xFF}};
  for (const auto& [code, byte] : known) EXPECT_EQ(byte_of[code], byte) << std::hex << code;
  // The column counts characters, not the bytes that carry them; other consoles send the bytes.
  const std::string line = "  \xF1 0.1 \xE6\xE5";
  EXPECT_EQ(sent(line, true), std::make_pair(std::string("  \xC2\xB1 0.1 \xC2\xB5\xCF\x83"), 11));
  EXPECT_EQ(sent(line, false), std::make_pair(line, 11));
}

TEST(ConsoleCharacters, TheFirstLocaleVariableSetDecides) {
  const std::tuple<const char*, const char*, const char*, bool> cases[] = {
      {nullptr, nullptr, nullptr, false},       {nullptr, nullptr, "en_US.UTF-8", true},
      {nullptr, nullptr, "de_DE.utf8", true},   {nullptr, nullptr, "de_DE.ISO-8859-1", false},
      {nullptr, nullptr, "UTF_8", false},       {"C", nullptr, "en_US.UTF-8", false},
      {"", "C.Utf-8", "C", true},               {nullptr, "POSIX", "en_US.UTF-8", false},
  };
  for (const auto& [all, ctype, lang, utf8] : cases)
    EXPECT_EQ(locale_names_utf8(all, ctype, lang), utf8) << (all ? all : "-") << (ctype ? ctype : "-");
}

// Progress on a terminal is one text written over in place: the cursor goes
// back to where it stood, a shorter text covers a longer one with blanks, and
// its end blanks it. Elsewhere only the counts of count_line appear, a line
// each, as they always have.
TEST(ConsoleProgress, InPlaceOnATerminalOnly) {
  const auto shown = [](bool terminal) {
    qor_test::CapturedConsole captured("", terminal);
    Console& c = captured.console();
    c.write("ab");
    c.show_progress("Product matrix");
    c.show_progress("Diagonal", 3, 50);
    c.count_line("Eigenvalue", 12, 50);
    c.end_progress();
    c.write_line("Time:");
    c.end_progress();  // none shown: nothing
    c.flush();
    return captured.text();
  };
  const std::string back = "\x1b[3G";
  EXPECT_EQ(shown(true), "ab"
                         "Product matrix       " + back +
                         "Diagonal 3/50       " + " " + back +
                         "Eigenvalue 12/50       " + back +
                         std::string(23, ' ') + back +
                         "Time:\r\n");
  EXPECT_EQ(shown(false), "ab12/50\r\nTime:\r\n");
}

// A pause during a progress text begins its message on a line of its own.
TEST(ConsoleProgress, APauseEndsTheProgressText) {
  qor_test::CapturedConsole captured("\n", true);
  Console& c = captured.console();
  c.count_line("Eigenvalue", 1, 2);
  c.show_and_wait({"No convergence."});
  c.flush();
  EXPECT_EQ(captured.text(), "Eigenvalue 1/2       \x1b[1G" + std::string(21, ' ') + "\x1b[1G\r\nNo convergence.\r\n");
}

// Pauses kept while work ran are shown afterwards in the order they came,
// each message whole, each waiting for its own Enter.
TEST(ConsolePause, KeptPausesAreShownInOrderEachWithItsWait) {
  KeptPauses kept;
  kept.show_and_wait({"Pause in routine TQLI: more than 30 iterations!", "Press ENTER (RETURN) to continue..."});
  kept.show_and_wait({"second"});
  ASSERT_EQ(kept.count(), 2U);
  qor_test::CapturedConsole captured("\nrest\n", false);
  kept.show_kept(captured.console());
  captured.console().write("after");
  captured.console().flush();
  EXPECT_EQ(captured.text(),
            "Pause in routine TQLI: more than 30 iterations!\r\nPress ENTER (RETURN) to continue...\r\n"
            "second\r\nafter");
  EXPECT_FALSE(captured.console().wait_for_enter());
}

}  // namespace
