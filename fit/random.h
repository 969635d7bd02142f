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

// A number in [0, n), every one equally likely; n must be above 0.
std::uint64_t UniformBelow(std::mt19937_64& engine, std::uint64_t n);
