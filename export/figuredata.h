// What the figures and tables are drawn from: plain copies of the analysis state, so that the
// export can be called, and tested, without a dialog.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "domain/analysis_types.h"
#include "display/colortable.h"
#include "dwell/dwellreport.h"
#include "fit/bootstrap.h"
#include "fit/fitparams.h"
#include "fit/results.h"
#include "kinetics/ratematrix.h"
#include "reports/densitygrid.h"
#include "selection/histograms.h"

// Which way the map lies. The field's usual way puts the initial value across (left to right)
// and the final value up, the origin at the lower left; the window shows the final value across
// and the initial value down, the origin at the upper left.
enum class MapOrientation { InitialAcross, AsOnScreen };

struct MapFigureData {
  DensityGrid grid;
  ColorTable colours{};
  int states = 0;  // the cutoffs in force are those of slots 0 ... states - 2
  Cutoffs cutoffs{};
  bool locked = false;  // locked cutoffs cut both axes, unlocked ones only the final value
  bool weighted = true;  // the grid's spots were weighted by the records' transitions
  std::optional<SelectionCircle> circle;  // the shown class's circle, when circles are in use
  // Once locked, each state's mean value (its records' initial values, weighted by their
  // transitions; none for a state no record starts in): the map marks where each class's spot
  // belongs, at (mean i, mean j).
  std::vector<std::optional<double>> stateMeans;
};

// A fitted class: the histogram the fit was made on, the Gaussian it gave, and its rate.
struct ClassFigureData {
  int from = 0;  // 1-based, as the user names the class
  int to = 0;
  ClassHistogram histogram;
  GaussianParams gaussian{};
  double exposureTime = 0;  // s per frame, what the rate axis in s^-1 is read with
  double rate = 0;          // s^-1
  std::optional<Interval> interval;  // its 95 % interval, s^-1
  int molecules = 0;         // reports with a record in the class
  long long transitions = 0;  // the transitions of the class's records, as the window title counts them
  std::vector<std::string> flags;  // what a reader must know of the rate (ResultFlags), a line each
};

// A state of the rate matrix as its scheme names it: where the lock's cutoffs put its values,
// and the mean of the values its frames were seen at.
struct SchemeState {
  std::optional<double> low;  // its values lie above this (none for the lowest state) ...
  double high = 0;            // ... up to this
  std::optional<double> level;  // the mean value of its frames; none when no frame is in it
};

// The rate matrix with its states, for the scheme figure and the overview's table.
struct SchemeData {
  kinetics::RateMatrix matrix;
  std::vector<SchemeState> states;  // matrix.states of them
};

struct ExportData {
  MapFigureData map;
  std::vector<ClassFigureData> classes;  // every fitted class, in the log's order
  ResultsSource source;                  // where the numbers come from, for results.csv
  std::vector<ResultRow> results;
  std::vector<DwellResultRow> dwellResults;  // the rates of the dwell times, for results.csv
  std::vector<DwellResultRow> rateResults;   // the rate matrix's rates, first in results.csv
  std::vector<DwellResultRow> exitResults;   // each state's exit rate, for rates.csv
  std::vector<std::string> leftOut;          // notices of rates left out: of another exposure
  std::optional<SchemeData> scheme;          // the rate matrix of rateResults, when there is one
  std::optional<DwellTimes> dwells;          // the last analysis of the dwell times, when it holds
  DwellTable dwellTable;                     // the loaded reports' dwells, for dwells.csv
};
