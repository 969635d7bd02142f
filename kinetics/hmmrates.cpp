#include "kinetics/hmmrates.h"

#include <string>

namespace kinetics {

std::vector<FrameCounts> ExpectedFrameCounts(const StateCountFit& fit) {
  std::vector<FrameCounts> molecules;
  const auto k = static_cast<std::size_t>(fit.states);
  if (!fit.fitted || k == 0 || fit.expectedFrames.size() % k != 0 ||
      fit.expectedSteps.size() != fit.expectedFrames.size() * k)
    return molecules;
  const std::size_t count = fit.expectedFrames.size() / k;
  molecules.reserve(count);
  for (std::size_t m = 0; m < count; ++m) {
    FrameCounts counts;
    counts.states = fit.states;
    counts.steps.assign(fit.expectedSteps.begin() + static_cast<std::ptrdiff_t>(m * k * k),
                        fit.expectedSteps.begin() + static_cast<std::ptrdiff_t>((m + 1) * k * k));
    counts.frames.assign(fit.expectedFrames.begin() + static_cast<std::ptrdiff_t>(m * k),
                         fit.expectedFrames.begin() + static_cast<std::ptrdiff_t>((m + 1) * k));
    molecules.push_back(std::move(counts));
  }
  return molecules;
}

std::optional<RateMatrix> FitHmmRateMatrix(const StateCountFit& fit, const RateOptions& options,
                                           WorkProgress* progress) {
  const auto refused = [](std::string why) {
    RateMatrix matrix;
    matrix.trouble = std::move(why);
    return matrix;
  };
  if (!fit.fitted) return refused("the model was not fitted");
  const auto k = static_cast<std::size_t>(fit.states);
  if (fit.model.transitions.size() != k * k)
    return refused("each molecule has its own transition matrix, so no one rate matrix holds for all");
  const std::vector<FrameCounts> molecules = ExpectedFrameCounts(fit);
  if (molecules.empty()) return refused("the model keeps no expected counts of its molecules");
  return FitRateMatrix(molecules, options, progress);
}

}  // namespace kinetics
