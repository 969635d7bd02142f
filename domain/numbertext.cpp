#include "domain/numbertext.h"

#include <cstdlib>

std::string WithThousands(long long number) {
  // The magnitude as unsigned: the most negative number has none as a signed one.
  const unsigned long long magnitude =
      number < 0 ? 0ULL - static_cast<unsigned long long>(number) : static_cast<unsigned long long>(number);
  std::string digits = std::to_string(magnitude);
  for (std::size_t k = digits.size(); k > 3; k -= 3) digits.insert(k - 3, ",");
  return number < 0 ? "-" + digits : digits;
}
