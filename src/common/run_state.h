#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/bounded_string.h"
#include "common/matrix.h"
#include "common/real.h"

class Console;

// Help browser: one line record per line of the help file, and the menu.
struct TOPICS {
  char L = '0';              // key of the entry
  BoundedString<85> T;       // title shown in the menu
};

struct HelpState {
  std::vector<BoundedString<80>> lines;  // the line list, in file order, ending with an empty record
  std::array<TOPICS, 37> TM{};           // entries 1..36 used
  std::int16_t TMN = 0;
  std::bitset<256> STM;                  // keys the menu accepts
};

// Everything a run shares between its stages. main creates exactly one and
// hands it by reference to each stage; tests build their own. The text
// channels are not members: each stage opens its file as a local object, so
// two are never open at once and an early stop closes them.
struct RunState {
  explicit RunState(Console& console_in) : console(console_in) {}

  Console& console;

  // Command-line parameters 1..6 as typed (index 0 unused), for the report header.
  std::vector<std::string> params;

  // The files this run has read (role, path): no output may replace one of them.
  std::vector<std::pair<std::string, std::string>> inputs;

  // Run settings.
  String255 AFNI, GFNO, DCS{"[]"}, ERS{"[]"};
  bool BTOR = false, CTOC = false, HDR = true, ITRN = false, JEV = false, LSD = false,
       PCRC = false, QHS = true;
  std::int16_t KW1 = 7, KD = 3;
  // Read as a 16-bit setting; held wider so that the driver can settle it to
  // the smaller matrix dimension of any matrix that fits in memory.
  std::int32_t NU = -1;
  std::int32_t FTW = 0, OSR = 0, OSC = 0;
  REAL MER = 0, MERPR = 0, RGAUSS = -1.0L;

  // Data dimensions.
  std::int32_t N0 = 0, M0 = 0, N = 0, M = 0, MIN = 0, SIZE = 0;

  // Working matrices.
  MATRIX A, SD, ST, CC, CO, DE, EE, FE, AR, GB, T, RO, RW, CW, TW;

  // Histogram.
  std::int32_t GL = 0, GK = 0;
  REAL GA = 0;

  // Report-file name handed to the analysis.
  String255 H;

  HelpState help;
};
