// The one random source of the bootstrap and the simulator: SplitMix64 to turn a seed and a
// number into a seed of its own, and an unbiased draw below n from std::mt19937_64, whose
// sequence the C++ standard fixes. Both are integer arithmetic, so every build draws alike
// (std::uniform_int_distribution may differ between standard libraries).
#pragma once

#include <cstdint>
#include <random>

// The SplitMix64 output of the state `x` (Steele, Lea and Flood 2014; Vigna's splitmix64.c):
// its generator, started at state s, returns SplitMix64(s), SplitMix64(s + g), ... with g
// its increment. Consecutive inputs give well-mixed, unrelated 64-bit numbers.
std::uint64_t SplitMix64(std::uint64_t x);

// A number in [0, n), every one equally likely; n must be above 0. The engine's 2^64 values are
// equally likely; with 2^64 - 1 = q n + r (r < n) and limit = q n, a value x below the limit is
// taken as x mod n, and the r + 1 values from the limit on are drawn again.
std::uint64_t UniformBelow(std::mt19937_64& engine, std::uint64_t n);

// The same draws below one n, again and again, as a replicate draws its molecules: the limit
// and the reciprocal of n worked out once, so that a draw takes no division.
class UniformIndex {
 public:
  explicit UniformIndex(std::uint64_t n);
  std::uint64_t operator()(std::mt19937_64& engine) const;

 private:
  std::uint64_t n_;
  std::uint64_t limit_;
  std::uint64_t reciprocal_;  // floor(2^64 / n), 0 for n = 1
};
