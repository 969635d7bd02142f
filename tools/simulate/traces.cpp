// The idealised-traces simulation (--traces): each molecule is a Markov chain over all the
// states, one frame at a time.

#include "tools/simulate/simulation.h"

#include <charconv>
#include <string>
#include <vector>

#include "tools/simulate/arithmetic.h"

namespace simulate {

namespace {

void appendGeneral(std::string& out, double value, int digits) {
  char text[64];
  out.append(text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits).ptr);
}

}  // namespace

// The chance per frame of leaving state `from` for each state: k x T, row-major; only a chain
// whose exits from every state stay below 1 per frame exists.
std::vector<double> stepChances(const Model& model) {
  const int n = model.stateCount();
  std::vector<double> chances(static_cast<std::size_t>(n * n), 0.0);
  for (int i = 0; i < n; ++i) {
    double leave = 0.0;
    for (int j = 0; j < n; ++j) {
      if (i == j) continue;
      chances[static_cast<std::size_t>(i * n + j)] = model.rate(i, j) * model.options.exposure;
      leave += chances[static_cast<std::size_t>(i * n + j)];
    }
    if (leave >= 1.0)
      usageError("--traces: state " + std::to_string(i + 1) +
                 " would be left with a chance of 1 or more per frame; choose a shorter --exposure");
  }
  return chances;
}

// The next frame's state: each other state with its chance, else this one.
int nextState(Random& random, const std::vector<double>& chances, int n, int state) {
  double u = random.uniform();
  for (int to = 0; to < n; ++to) {
    if (to == state) continue;
    u -= chances[static_cast<std::size_t>(state * n + to)];
    if (u < 0.0) return to;
  }
  return state;
}

// The idealised trace of one molecule (numbered from 1): the frames of its chain, each with its
// number, a noisy signal and the observed value of its state.
std::string simulateTrace(const Model& model, const std::vector<double>& chances, long molecule) {
  const Options& options = model.options;
  Random random(options.seed, static_cast<std::uint64_t>(molecule));
  std::vector<int> all(static_cast<std::size_t>(model.stateCount()));
  for (std::size_t s = 0; s < all.size(); ++s) all[s] = static_cast<int>(s);
  const std::vector<double> observed = observeStates(model, all, random);
  // The idealised column repeats the very same text for every frame of a state.
  std::vector<std::string> idealised;
  for (const double value : observed) {
    idealised.emplace_back(" ");
    appendGeneral(idealised.back(), value, kReportDigits.values);
    idealised.back() += '\n';
  }

  std::string text = "# varnel-simulate idealised trace\n# seed " + std::to_string(options.seed) + ", molecule " +
                     std::to_string(molecule) + "\nframe signal idealised\n";
  text.reserve(text.size() + 32 * static_cast<std::size_t>(options.frames));
  const int n = model.stateCount();
  int state = static_cast<int>(random.below(static_cast<std::uint64_t>(n)));
  for (long frame = 1; frame <= options.frames; ++frame) {
    char number[24];
    text.append(number, std::to_chars(number, number + sizeof number, frame).ptr);
    text += ' ';
    appendGeneral(text, observed[static_cast<std::size_t>(state)] + options.signalNoise * random.normal(), 6);
    text += idealised[static_cast<std::size_t>(state)];
    state = nextState(random, chances, n, state);
  }
  return text;
}

}  // namespace simulate
