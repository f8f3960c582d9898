#pragma once

// The report and the console are byte streams in code page 437; these are
// the few bytes beyond ASCII that the program writes itself.
namespace cp437 {

inline constexpr char kSigma = '\xE5';      // the standard deviation's sigma
inline constexpr char kMu = '\xE6';         // the eigenvalue's mu
inline constexpr char kPlusMinus = '\xF1';  // before a standard deviation
inline constexpr char kSquared = '\xFD';    // the square of chi-square

}  // namespace cp437
