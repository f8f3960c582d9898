#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

struct RunSettings;

// The readers of the values that the command-line positions and the
// parameter-file keys share. A value that cannot be read falls back to its
// stated value, as always; what was meant and what was taken instead is kept
// as a warning (warn_setting), which the run writes on standard error once
// the settings are read. `where` names the source: "parameter 4", "the M line".

// Keeps one warning of the settings stage.
void warn_setting(RunSettings& s, std::string warning);

// A switch's value in a parameter file, as users write it: a plus sign, yes,
// true, on or 1 switch on; a minus sign, no, false, off or 0 switch off (the
// signs may begin the value, the words are its first word in any case).
// Nothing for any other value.
std::optional<bool> read_switch_value(std::string_view value);
// A switch the parameter file's description turns only one way, by its sign
// (B +, H -): a word meaning the same that it does not take is told.
void warn_unsigned_switch(RunSettings& s, char key, bool on, std::string_view value);

// C or ',' a comma, S or ';' a semicolon, T a tab; nothing for any other first character.
std::optional<char> separator_of_letter(std::string_view upper_text);

// A selection list of parameter 1 from its "[" at `bracket`: the "[" and the
// run of list characters after it, with the "]" that ends the run; "[]" when
// no "]" ends it. A list too long for 255 characters stops the run (64):
// cut, it would lose its bracket and name nothing.
std::string read_list_from(std::string_view original, std::size_t bracket, char letter);

// "width:decimals": KW1 and KD, 7 and 3 where a part is not a whole number
// or there is no colon.
// With warn false the text's other faults have been told already.
void read_width_text(RunSettings& s, std::string_view text, std::string_view where, bool warn = true);
// "abs", "@rel", "abs@rel" (or % as separator): MER and MERPR (MERPR still in per cent).
void read_error_text(RunSettings& s, std::string_view text, std::string_view where);
// NU: a whole number, or -1 (all steps).
void read_steps_text(RunSettings& s, std::string_view text, std::string_view where);
// R or C followed by a whole number: OSR or OSC; any other text changes nothing.
void read_reference_text(RunSettings& s, std::string_view text, std::string_view where);
