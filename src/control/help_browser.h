#pragma once

#include <istream>
#include <string>

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
// The whole help mode: loads "Qor.hlp" from the working directory (else the
// one installed beside the program, ../share/qor/ from its own directory) and
// runs the menu until the key 0 or the end of input. Returns the exit status (0).
int run_help_browser(RunState& s);
