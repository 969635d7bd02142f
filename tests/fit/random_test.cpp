// The shared random source against what is known of it without it: the published SplitMix64
// sequence, and the range and evenness of a draw below n.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "fit/random.h"

namespace {

// The first outputs of the reference splitmix64.c started at state 0, worked out apart from this
// code (a Python transcription of the reference); each output is the mix of the state advanced
// by the increment 2^64 / phi.
TEST(Random, SplitMix64FollowsItsReferenceSequenceFromZero) {
  constexpr std::uint64_t kIncrement = 0x9e3779b97f4a7c15ULL;
  const std::uint64_t expected[] = {0xe220a8397b1dcdafULL, 0x6e789e6aa1b965f4ULL, 0x06c45d188009454fULL,
                                    0xf88bb8a8724c81ecULL, 0x1b39896a51a8749bULL};
  std::uint64_t state = 0;
  for (const std::uint64_t output : expected) {
    EXPECT_EQ(SplitMix64(state), output);
    state += kIncrement;
  }
}

TEST(Random, ADrawBelowNIsNeverNOrMore) {
  std::mt19937_64 engine(7);
  const std::uint64_t sizes[] = {1, 2, 3, 10, (std::uint64_t{1} << 63) + 1, UINT64_MAX};
  for (const std::uint64_t n : sizes)
    for (int draw = 0; draw < 2000; ++draw) ASSERT_LT(UniformBelow(engine, n), n) << "n = " << n;
}

// Below n = 3 x 2^62 the first third [0, 2^62) must come a third of the time; a plain x % n
// would put half of the draws there (the top quarter of the engine's values wraps into it).
TEST(Random, ADrawBelowNHasNoModuloBias) {
  constexpr std::uint64_t kN = std::uint64_t{3} << 62;
  constexpr int kDraws = 6000;
  std::mt19937_64 engine(11);
  int inFirstThird = 0;
  for (int draw = 0; draw < kDraws; ++draw) inFirstThird += UniformBelow(engine, kN) < (std::uint64_t{1} << 62);
  // The share's standard deviation is sqrt(1/3 x 2/3 / 6000) = 0.006: 0.04 is over six of them.
  EXPECT_NEAR(static_cast<double>(inFirstThird) / kDraws, 1.0 / 3.0, 0.04);
}

// The draws are those of plain rejection and remainder, which the stored intervals were drawn
// with: the division-free remainder gives the same value for every n, the powers of two and
// the largest included, and so does a draw below a fixed n made again and again.
TEST(Random, ADrawBelowNIsThePlainRemainderOfTheEnginesValueBelowTheLimit) {
  const auto plain = [](std::mt19937_64& engine, std::uint64_t n) {
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % n;
    for (;;)
      if (const std::uint64_t x = engine(); x < limit) return x % n;
  };
  std::mt19937_64 sizes(3);
  std::vector<std::uint64_t> ns = {1, 2, 3, 7, 60, 1024, 10'000, (std::uint64_t{1} << 32) - 1, std::uint64_t{1} << 32,
                                   (std::uint64_t{1} << 32) + 1, std::uint64_t{1} << 63, (std::uint64_t{1} << 63) + 1,
                                   UINT64_MAX};
  for (int k = 0; k < 40; ++k) ns.push_back(sizes() >> (k % 60));
  for (const std::uint64_t n : ns) {
    if (n == 0) continue;
    std::mt19937_64 ours(n), theirs(n);
    const UniformIndex below(n);
    for (int draw = 0; draw < 500; ++draw) {
      ASSERT_EQ(below(ours), plain(theirs, n)) << "n = " << n;
      ASSERT_EQ(UniformBelow(ours, n), plain(theirs, n)) << "n = " << n;
    }
  }
}

}  // namespace
