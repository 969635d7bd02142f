// Fitted rates against true ones: the lines of a script that fits every class, the rates as
// the simulator and "log.dat" list them, and a whole run from a simulation to the log.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/run_program.h"

// "i->j rate" lines of the simulator's table, or the rows of "log.dat" (class, rate, ...).
inline std::map<std::string, double> RatesByClass(const std::string& text) {
  std::map<std::string, double> rates;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string cls;
    double rate;
    if (words >> cls >> rate && cls.find("->") != std::string::npos) rates[cls] = rate;
  }
  return rates;
}

// Script lines that lock `states` states with the cutoffs they start with, fit every class from
// 1->1 on in the picker's order, and dump the log.
inline std::string FitEveryClass(int states) {
  std::string script =
      "type IDC_STATE_COUNT " + std::to_string(states) + "\nclick IDC_LOCK_CUTOFFS\nclick IDC_FIT_GAUSSIAN\n";
  for (int k = 1; k < states * states; ++k) script += "click IDC_PICK_NEXT\nclick IDC_FIT_GAUSSIAN\n";
  const std::string last = std::to_string(states);
  return script + "expect IDC_PICK_FROM " + last + "\nexpect IDC_PICK_TO " + last + "\nclick IDC_DUMP_LOG\n";
}

// The rate file of class "i->j" in `folder` (with its final '/').
inline std::string RateFileOf(const std::string& folder, const std::string& cls) {
  const std::size_t arrow = cls.find("->");
  return folder + cls.substr(0, arrow) + "," + cls.substr(arrow + 2) + "rates.dat";
}

// The distinct values of a rate file: a record stands in it once per transition it counts.
inline std::set<double> DistinctValues(const std::string& rateFile) {
  std::istringstream values(rateFile);
  std::set<double> distinct;
  for (double v; values >> v;) distinct.insert(v);
  return distinct;
}

struct SimulatedFit {
  std::map<std::string, double> truth;   // what the simulator printed
  std::map<std::string, double> fitted;  // what the log holds
};

// Runs `varnel-simulate SIMULATION` and then the program on `script` of `states` states in the
// current folder; the rates the one printed and the log `log` of the other. A program that
// fails, or a table that lacks classes, fails the test.
inline SimulatedFit SimulateAndFit(const std::string& simulation, const std::string& script, int states,
                                   const std::string& log) {
  const ProgramRun simulated = RunProgram(VARNEL_SIMULATOR, simulation);
  EXPECT_EQ(simulated.status, 0) << simulated.err;
  std::ofstream("fit.vsc") << script;
  const ProgramRun run = RunProgram(VARNEL_PROGRAM, "--script fit.vsc");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::ifstream in(log);
  std::ostringstream text;
  text << in.rdbuf();
  SimulatedFit fit{RatesByClass(simulated.out), RatesByClass(text.str())};
  EXPECT_EQ(fit.truth.size(), static_cast<std::size_t>(states * (states - 1)));
  EXPECT_EQ(fit.fitted.size(), static_cast<std::size_t>(states * states));  // the diagonal classes too
  return fit;
}
