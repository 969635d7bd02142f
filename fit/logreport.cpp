// "log.dat": every fitted class of the current states.
#include "fit/logreport.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

std::string LogReportText(int states, const ClassFits& fits) {
  std::ostringstream fout;
  fout << "Assumed there were " << states << " real states" << std::endl << std::endl;
  fout << "Transition:        Rate (s^-1):             Width (s^-1):         Number of transitions:" << std::endl;
  const int shown = std::min(states, kMaxStates);
  for (int i = 0; i < shown; ++i) {
    for (int j = 0; j < shown; ++j) {
      const std::optional<ClassFit>& fit = fits[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
      if (!fit) continue;
      fout << ClassName(i + 1, j + 1) << std::setw(25) << fit->rate << std::setw(25) << fit->stdev << std::setw(25)
           << fit->transitions << std::endl;
    }
  }
  return fout.str();
}
