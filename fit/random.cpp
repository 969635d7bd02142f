#include "fit/random.h"

#include <limits>

namespace {

// The increment g of the states SplitMix64 mixes: the odd integer nearest 2^64 / phi (the golden ratio),
// so that the states run through all 2^64 values before one comes again.
constexpr std::uint64_t kGoldenGamma = 0x9e3779b97f4a7c15ULL;
// Stafford's "Mix13" variant of the MurmurHash3 64-bit finaliser: two xor-shift-multiply
// rounds and a last xor-shift, each output bit depending on every input bit.
constexpr int kFirstShift = 30;
constexpr std::uint64_t kFirstMultiplier = 0xbf58476d1ce4e5b9ULL;
constexpr int kSecondShift = 27;
constexpr std::uint64_t kSecondMultiplier = 0x94d049bb133111ebULL;
constexpr int kLastShift = 31;

}  // namespace

std::uint64_t SplitMix64(std::uint64_t x) {
  x += kGoldenGamma;
  x = (x ^ (x >> kFirstShift)) * kFirstMultiplier;
  x = (x ^ (x >> kSecondShift)) * kSecondMultiplier;
  return x ^ (x >> kLastShift);
}

std::uint64_t UniformBelow(std::mt19937_64& engine, std::uint64_t n) {
  // The engine's 2^64 values are equally likely. With max = q n + r (r < n), `limit` = q n:
  // the values below it are q whole runs 0 .. n-1, so x % n of one of them is uniform, and the
  // r + 1 values from it on (fewer than n + 1 of 2^64) are drawn again. Where n divides 2^64 a
  // last whole run is drawn again needlessly: harmless, and every draw stays what it was.
  constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  const std::uint64_t limit = max - max % n;
  for (;;) {
    const std::uint64_t x = engine();
    if (x < limit) return x % n;
  }
}
