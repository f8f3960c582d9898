// The generator of the verdict's random signs against its published
// algorithms, written again apart in Python: SplitMix64 from the seed 0
// (whose first value, 0xE220A8397B1DCDAF, is the one its reference code
// gives) and xoshiro256** seeded by it.
#include "numeric/random_bits.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(RandomBits, SplitMix64FromZero) {
  std::uint64_t state = 0;
  EXPECT_EQ(splitmix64(state), 0xE220A8397B1DCDAFu);
  EXPECT_EQ(splitmix64(state), 0x6E789E6AA1B965F4u);
  EXPECT_EQ(splitmix64(state), 0x06C45D188009454Fu);
  EXPECT_EQ(state, 3 * 0x9E3779B97F4A7C15u);
}

TEST(RandomBits, Xoshiro256StarStar) {
  RandomBits zero(0);
  EXPECT_EQ(zero.next(), 0x99EC5F36CB75F2B4u);
  EXPECT_EQ(zero.next(), 0xBF6E1F784956452Au);
  EXPECT_EQ(zero.next(), 0x1A5F849D4933E6E0u);
  RandomBits seeded(2012029850);
  EXPECT_EQ(seeded.next(), 0x848CE6E929FB1BAFu);
  EXPECT_EQ(seeded.next(), 0xBEBF02F88FED40CCu);
}

}  // namespace
