#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "common/bounded_string.h"

class Console;
struct ProgramRun;

// One entry of the help menu.
struct TOPICS {
  char L = '0';         // the key that opens the topic, in upper case; '0' quits
  BoundedString<85> T;  // the title shown in the menu after "  L:"
};

// The help browser's state, filled from "Qor.hlp" when help mode starts.
struct HelpState {
  // The help file's lines in file order (80 characters each at most), after
  // an unused head record and followed by one empty record.
  std::vector<BoundedString<80>> lines;
  // The menu: entries 1..TMN in use (topics in file order, then the quit
  // entry); entry 0 is unused. At most 35 topics fit.
  std::array<TOPICS, 37> TM{};
  std::int16_t TMN = 0;  // entries in use, the quit entry included
  std::bitset<256> STM;  // the keys the menu accepts: '0' and every topic's key
};

// Reads the help file's bytes into the line list: a line ends at LF, CR or
// Ctrl-Z, the byte after each terminator is skipped, lines keep 80
// characters; the list ends with one empty record.
void load_help_lines(HelpState& help, const std::string& bytes);
// Fills TM, TMN and STM from the headings of the line list.
void build_help_menu(HelpState& help);
// The menu page and the topic pages over an already built line list and
// menu, until the key 0 or the end of input. Returns the exit status (0).
int run_help_menu(Console& console, const HelpState& help);
// Where the help browser looks for "Qor.hlp", in this order: the working
// directory; the one installed beside the program (../share/qor/ from its
// own directory); and, for a program started from the build tree it was
// built in, the source tree.
std::vector<std::string> help_file_places();
// The whole help mode: loads the first help file of the places and runs the
// menu until the key 0 or the end of input. None found: the message on
// standard output, the places looked on standard error. Returns the exit
// status (0).
int run_help_browser(ProgramRun& s, const std::vector<std::string>& places = help_file_places());
