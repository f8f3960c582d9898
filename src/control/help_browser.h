#pragma once

#include <istream>
#include <string>
#include <vector>

class Console;
struct RunState;
struct HelpState;

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
int run_help_browser(RunState& s, const std::vector<std::string>& places = help_file_places());
