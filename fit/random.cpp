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

std::uint64_t UniformBelow(std::mt19937_64& engine, std::uint64_t n) { return UniformIndex(n)(engine); }

UniformIndex::UniformIndex(std::uint64_t n)
    : n_(n),
      // Where n divides 2^64 a last whole run is drawn again needlessly: harmless, and every
      // draw stays what it was.
      limit_(std::numeric_limits<std::uint64_t>::max() - std::numeric_limits<std::uint64_t>::max() % n),
      reciprocal_(n == 1 ? 0 : static_cast<std::uint64_t>((static_cast<unsigned __int128>(1) << 64) / n)) {}

std::uint64_t UniformIndex::operator()(std::mt19937_64& engine) const {
  for (;;) {
    const std::uint64_t x = engine();
    if (x >= limit_) continue;
    if (n_ == 1) return 0;  // its reciprocal, 2^64, has no 64 bits
    // x mod n without dividing: with m = floor(2^64 / n) = 2^64 / n - e (0 <= e < 1), the
    // quotient guess floor(x m / 2^64) lies above x / n - 1 and not above x / n, so it is the
    // quotient or one less, and one step corrects the remainder.
    const auto guess = static_cast<std::uint64_t>((static_cast<unsigned __int128>(x) * reciprocal_) >> 64);
    std::uint64_t remainder = x - guess * n_;
    if (remainder >= n_) remainder -= n_;
    return remainder;
  }
}
