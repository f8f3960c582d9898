#pragma once

#include <cstdint>

// Random bits that are the same on every machine: integer arithmetic on
// 64-bit words only, no library generator and no floating point. The
// verdict draws its random signs from them, so that a verdict does not
// depend on the platform, the compiler or the number of threads.

// SplitMix64 (G. L. Steele, D. Lea and C. H. Flood, "Fast splittable
// pseudorandom number generators", OOPSLA 2014): advances `state` by the
// golden-ratio increment and returns its mixed value. It spreads a simple
// seed (0, 1, 2, ...) over all 64 bits, as the next generator's state
// must not be zero or close to it.
std::uint64_t splitmix64(std::uint64_t& state);

// xoshiro256** (D. Blackman and S. Vigna, "Scrambled linear pseudorandom
// number generators", ACM Transactions on Mathematical Software 47, 2021):
// a 256-bit state, period 2^256 - 1, its four words seeded by four
// successive SplitMix64 values of the seed, as its authors advise.
class RandomBits {
 public:
  explicit RandomBits(std::uint64_t seed);
  std::uint64_t next();

 private:
  std::uint64_t s_[4];
};
