// The rate matrix as a kinetic scheme: each state a circle with its number, the mean value of its
// frames and its share of them; each free path an arrow with its rate and 95 % interval, flagged
// rates in grey with a mark that the legend below explains. Paths held at 0 are not drawn. The
// overview sheet heads with the same rates as a table, and the rates of the dwell times as another.
#pragma once

#include <cairo.h>

#include <optional>
#include <string>
#include <vector>

#include "export/figuredata.h"
#include "export/figurefile.h"
#include "export/plotting.h"

// The figure is at least this wide, wider when many states need a larger ring.
inline constexpr double kSchemeFigureWidthMm = 120.0;

// A rate as the scheme and the table write it: the rate to three significant digits and its
// interval's ends to as many decimals as the rate has ("2.03", "1.95", "2.11"); a path with no
// counted step has its upper limit alone, to three digits ("0.0123", upper set), no interval.
struct RateText {
  std::string rate;
  std::string low, high;  // both empty without an interval
  bool upper = false;     // `rate` is an upper limit
};
RateText RateTextOf(const kinetics::PathRate& rate);
// The same of a rate with its interval, or of a one-sided upper limit alone.
RateText RateTextOf(double rate, const std::optional<Interval>& interval, const std::optional<double>& upperLimit);

// The arrow's label: "k = 2.03 s⁻¹" and "[1.95, 2.11]", or "k < 0.0123 s⁻¹" and "".
std::pair<std::string, std::string> SchemeLabel(const kinetics::PathRate& rate);

// "Rate matrix of 3 states: 12 molecules, frames of 0.1 s".
std::string SchemeHeading(const SchemeData& scheme);

FigureSize SchemeFigureSize(const SchemeData& scheme);
void DrawSchemeFigure(cairo_t* cr, double width, double height, const SchemeData& scheme);

// A table of rates path by path: path, rate, 95 % interval and flags, under its title.
struct RateTableRow {
  std::string path;  // "1→2"
  RateText text;
  std::string flags;  // empty for none: the row is drawn in ink, else grey
};
struct RateTable {
  std::string title;
  std::vector<RateTableRow> rows;
};
// Every rate of the matrix, under the scheme's heading.
RateTable MatrixRateTable(const SchemeData& scheme);
// The rates of the dwell times, path by path (the rows of estimator "dwell"); no rows when there
// are none.
RateTable DwellRateTable(const std::vector<DwellResultRow>& rows);
// The table `width` wide; a row's flags break into lines that fit.
double RateTableHeight(cairo_t* cr, const RateTable& table, double width);
void DrawRateTable(cairo_t* cr, const Box& box, const RateTable& table);
