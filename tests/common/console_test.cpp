#include "common/console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>

namespace {

// The code point of a text that is exactly one UTF-8 character in its
// shortest form, or -1.
long one_code_point(const std::string& text) {
  if (text.empty()) return -1;
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || text.size() != length) return -1;
  long code = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) != 0x80) return -1;
    code = code << 6 | (byte & 0x3F);
  }
  static const long kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return -1;
  return code;
}

// What a console sends for text, and its column afterwards.
std::pair<std::string, int> sent(const std::string& text, bool utf8) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  int column = 0;
  {
    Console console(out, stdin, true, utf8);
    console.write(text);
    console.flush();
    column = console.column();
  }
  std::fclose(out);
  std::string bytes(buffer, size);
  std::free(buffer);
  return {bytes, column};
}

TEST(ConsoleCharacters, EveryHighByteIsOneDistinctUtf8Character) {
  std::map<long, int> byte_of;
  for (int byte = 128; byte < 256; ++byte) {
    const long code = one_code_point(sent(std::string(1, static_cast<char>(byte)), true).first);
    EXPECT_GE(code, 0xA0) << "byte " << byte;  // never ASCII nor a control character
    byte_of[code] = byte;
  }
  EXPECT_EQ(byte_of.size(), 128u);  // no two bytes share a character: the way back is unique
  // The report's signs, the shading and the block of the IBM PC set, both ends of the table.
  const std::pair<long, int> known[] = {{0x00B1, 0xF1}, {0x00B5, 0xE6}, {0x03C3, 0xE5}, {0x00B2, 0xFD},
                                        {0x2591, 0xB0}, {0x2588, 0xDB}, {0x00C7, 0x80}, {0x00A0, 0xFF},
                                        {0x00DF, 0xE1}, {0x20A7, 0x9E}, {0x2310, 0xA9}, {0x256C, 0xCE}};
  for (const auto& [code, byte] : known) EXPECT_EQ(byte_of[code], byte) << std::hex << code;
}

TEST(ConsoleCharacters, ColumnsCountCharactersAndOtherConsolesKeepTheBytes) {
  const std::string line = "  \xF1 0.1 \xE6\xE5";
  EXPECT_EQ(sent(line, true), std::make_pair(std::string("  \xC2\xB1 0.1 \xC2\xB5\xCF\x83"), 11));
  EXPECT_EQ(sent(line, false), std::make_pair(line, 11));
  EXPECT_EQ(sent("ab\r\n\xDB", true), std::make_pair(std::string("ab\r\n\xE2\x96\x88"), 2));
}

TEST(ConsoleCharacters, TheFirstLocaleVariableSetDecides) {
  using Case = std::tuple<const char*, const char*, const char*, bool>;
  const Case cases[] = {
      {nullptr, nullptr, nullptr, false},
      {nullptr, nullptr, "en_US.UTF-8", true},
      {nullptr, nullptr, "de_DE.utf8", true},
      {nullptr, nullptr, "C.Utf-8", true},
      {nullptr, nullptr, "de_DE.ISO-8859-1", false},
      {nullptr, nullptr, "UTF_8", false},
      {"C", nullptr, "en_US.UTF-8", false},         // LC_ALL first
      {"", "C.UTF-8", "C", true},                   // an empty one does not count
      {nullptr, "POSIX", "en_US.UTF-8", false},     // then LC_CTYPE
      {"en_GB.UTF-8@euro", "C", "C", true},
  };
  for (const auto& [all, ctype, lang, utf8] : cases)
    EXPECT_EQ(locale_names_utf8(all, ctype, lang), utf8)
        << (all ? all : "-") << " " << (ctype ? ctype : "-") << " " << (lang ? lang : "-");
}

}  // namespace
