// The transition picker: "==>" and "<==".
#include "selection/picker.h"

#include <algorithm>

#include "domain/analysis_types.h"

namespace {

// Class number a in row-major order, kept inside the 10 x 10 tables.
ClassIndex ClassNumber(int a, int states) {
  a = std::min(a, kMaxStates * states - 1);
  return {a / states, a % states};
}

bool ValidCount(int states) { return states >= 1 && states <= kMaxStates; }

}  // namespace

ClassIndex NextClass(ClassIndex shown, int states) {
  if (!ValidCount(states)) return shown;
  const int a = shown.from * states + shown.to + 1;
  return a < states * states ? ClassNumber(a, states) : shown;
}

ClassIndex PreviousClass(ClassIndex shown, int states) {
  if (!ValidCount(states)) return shown;
  const int a = shown.from * states + shown.to - 1;
  return a >= 0 ? ClassNumber(a, states) : shown;
}
