#include "export/schemefigure.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>
#include <sstream>

#include "domain/numbertext.h"
#include "export/schemelayout.h"

namespace {

constexpr double kMarginPt = 6.0;
constexpr double kHeadingRoomPt = 16.0;
// Labels, legend and table rows: tick-label size, lines this far apart.
constexpr double kLineSpacing = 1.25;
constexpr double kLinePt = kTickFontPt * kLineSpacing;
constexpr double kLegendTopPt = 4.0;
// A state's number, and its level and share in the smaller size, centred this far from its middle.
constexpr double kNumberRisePt = 8.5;
constexpr double kLevelDropPt = 2.0;
constexpr double kShareDropPt = 11.0;
// A state's values, when none of its frames gives a mean, fit this much of its circle.
constexpr double kRangeShareOfNode = 1.7;
constexpr double kNodeEdgePt = 0.8;
// The arrowhead: this long, this wide either side.
constexpr double kHeadPt = 6.0;
constexpr double kHeadHalfWidthPt = 2.6;
// A label keeps this far from either end of its arrow.
constexpr double kLabelEndGapPt = 3.0;
constexpr double kDash[] = {3.0, 2.0};
// Flagged rates, their arrows and labels.
constexpr Pixel kFlagged = 0x808080;
constexpr char kArrow[] = " \xE2\x86\x92 ";
constexpr char kEnDash[] = "\xE2\x80\x93";
// The marks of the flags, in the order they are first met; more flags double them.
constexpr const char* kMarks[] = {"\xE2\x80\xA0", "\xE2\x80\xA1", "\xC2\xA7", "\xC2\xB6", "*", "#"};
constexpr int kRateDigits = 3;
// Values lie within 0 ... 1: a state's mean value to three decimals.
constexpr int kLevelDecimals = 3;

// The overview's table: column starts (the rate's column ends there, right-aligned), in points.
constexpr double kRateColumnEndPt = 118.0;
constexpr double kIntervalColumnPt = 140.0;
constexpr double kFlagsColumnPt = 250.0;
constexpr double kTableTitleRoomPt = 14.0;
constexpr double kRulePt = 0.6;
constexpr double kRuleGapPt = 3.0;

std::string Mark(std::size_t k) {
  const std::size_t marks = std::size(kMarks);
  std::string mark;
  for (std::size_t n = 0; n <= k / marks; ++n) mark += kMarks[k % marks];
  return mark;
}

bool Drawn(const kinetics::PathRate& rate) { return !rate.flags.fixed; }

// The flags of the drawn rates, each phrase once, in row order: the legend's lines.
std::vector<std::string> LegendPhrases(const SchemeData& scheme) {
  std::vector<std::string> phrases;
  for (const kinetics::PathRate& rate : scheme.matrix.rates) {
    if (!Drawn(rate)) continue;
    for (const std::string& phrase : kinetics::RateFlagPhrases(scheme.matrix, rate))
      if (std::find(phrases.begin(), phrases.end(), phrase) == phrases.end()) phrases.push_back(phrase);
  }
  return phrases;
}

std::string Marks(const SchemeData& scheme, const kinetics::PathRate& rate, const std::vector<std::string>& legend) {
  std::string marks;
  for (const std::string& phrase : kinetics::RateFlagPhrases(scheme.matrix, rate)) {
    const auto at = std::find(legend.begin(), legend.end(), phrase);
    if (at != legend.end()) marks += Mark(static_cast<std::size_t>(at - legend.begin()));
  }
  return marks;
}

std::vector<std::string> CaptionLines(const SchemeData& scheme) {
  std::vector<std::string> lines = {
      "In each state: its number, the mean value of its frames and its share of all frames.",
      std::string("k: the rate of a path in ") + kPerSecond + ", with its 95 % bootstrap interval in brackets."};
  const bool heldAtZero = std::any_of(scheme.matrix.rates.begin(), scheme.matrix.rates.end(),
                                      [](const kinetics::PathRate& rate) { return rate.flags.fixed; });
  if (heldAtZero) lines.push_back("Paths held at 0 are not drawn.");
  return lines;
}

std::size_t LegendLines(const SchemeData& scheme) { return CaptionLines(scheme).size() + LegendPhrases(scheme).size(); }

int States(const SchemeData& scheme) { return std::clamp(scheme.matrix.states, 1, kinetics::kMostStates); }

std::string StateRange(const SchemeState& state) {
  if (!state.low) return "\xE2\x89\xA4 " + TickText(state.high, kRateDigits);
  return TickText(*state.low, kRateDigits) + kEnDash + TickText(state.high, kRateDigits);
}

void DrawNode(cairo_t* cr, const SchemePoint& centre, double radius, int k, const SchemeData& scheme) {
  cairo_new_path(cr);
  cairo_arc(cr, centre.x, centre.y, radius, 0, 2 * std::numbers::pi);
  SetColour(cr, kBarFill);
  cairo_fill_preserve(cr);
  SetColour(cr, kBarEdge);
  cairo_set_line_width(cr, kNodeEdgePt);
  cairo_stroke(cr);
  SetColour(cr, kInk);
  SetFont(cr, kHeadingFontPt, true);
  DrawText(cr, std::to_string(k + 1), centre.x, centre.y - kNumberRisePt, {0.5, 0.5});
  const auto at = static_cast<std::size_t>(k);
  if (at < scheme.states.size()) {
    const SchemeState& state = scheme.states[at];
    const std::string level = state.level ? FixedText(*state.level, kLevelDecimals) : StateRange(state);
    SetFont(cr, FittingFontSize(cr, level, kTickFontPt, kRangeShareOfNode * radius));
    DrawText(cr, level, centre.x, centre.y + kLevelDropPt, {0.5, 0.5});
  }
  if (at < scheme.matrix.occupancy.size()) {
    SetFont(cr, kTickFontPt);
    DrawText(cr, FixedText(100 * scheme.matrix.occupancy[at], 1) + " %", centre.x, centre.y + kShareDropPt, {0.5, 0.5});
  }
}

void DrawArrow(cairo_t* cr, const SchemeArrow& arrow, const kinetics::PathRate& rate, const std::string& marks) {
  const double dx = arrow.end.x - arrow.start.x, dy = arrow.end.y - arrow.start.y;
  const double way = std::hypot(dx, dy);
  if (!(way > kHeadPt)) return;
  const double ux = dx / way, uy = dy / way;
  const bool flagged = !marks.empty();
  SetColour(cr, flagged ? kFlagged : kInk);
  cairo_set_line_width(cr, kDataLinePt);
  if (rate.flags.noTransition) cairo_set_dash(cr, kDash, 2, 0);
  const double baseX = arrow.end.x - ux * kHeadPt, baseY = arrow.end.y - uy * kHeadPt;
  cairo_move_to(cr, arrow.start.x, arrow.start.y);
  cairo_line_to(cr, baseX, baseY);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
  cairo_move_to(cr, arrow.end.x, arrow.end.y);
  cairo_line_to(cr, baseX - uy * kHeadHalfWidthPt, baseY + ux * kHeadHalfWidthPt);
  cairo_line_to(cr, baseX + uy * kHeadHalfWidthPt, baseY - ux * kHeadHalfWidthPt);
  cairo_close_path(cr);
  cairo_fill(cr);

  // The label on one line where it fits between the arrow's ends, otherwise the interval below;
  // always so across the ring, where the label keeps near the arrow's start, clear of the middle.
  SetFont(cr, kTickFontPt);
  auto [first, second] = SchemeLabel(rate);
  if (!marks.empty()) first += " " + marks;
  std::vector<std::string> lines = {first};
  if (!second.empty()) {
    const std::string whole = first + " " + second;
    if (!arrow.chord && TextWidth(cr, whole) <= way - 2 * kLabelEndGapPt)
      lines.front() = whole;
    else
      lines.push_back(second);
  }
  double length = 0;
  for (const std::string& line : lines) length = std::max(length, TextWidth(cr, line));
  const double thickness = kLinePt * static_cast<double>(lines.size());
  const SchemePoint centre = SchemeLabelCentre(arrow, length + 2 * kLabelEndGapPt, thickness);
  // Down the label's lines: across its base line, on the page.
  const double downX = -std::sin(arrow.angle), downY = std::cos(arrow.angle);
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const double shift = (static_cast<double>(k) - (static_cast<double>(lines.size()) - 1) / 2) * kLinePt;
    DrawText(cr, lines[k], centre.x + downX * shift, centre.y + downY * shift, {0.5, 0.5}, arrow.angle);
  }
}

// `text`'s words in lines no wider than `width` (a word wider than that alone on its line).
std::vector<std::string> Broken(cairo_t* cr, const std::string& text, double width) {
  std::vector<std::string> lines;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    if (!lines.empty() && TextWidth(cr, lines.back() + " " + word) <= width)
      lines.back() += " " + word;
    else
      lines.push_back(word);
  }
  return lines;
}

std::string FlagsText(const SchemeData& scheme, const kinetics::PathRate& rate) {
  std::string text;
  for (const std::string& phrase : kinetics::RateFlagPhrases(scheme.matrix, rate))
    text += (text.empty() ? "" : "; ") + phrase;
  return text;
}

// Each rate's lines of flags in the table's last column.
std::vector<std::vector<std::string>> FlagLines(cairo_t* cr, const RateTable& table, double width) {
  SetFont(cr, kTickFontPt);
  std::vector<std::vector<std::string>> rows;
  for (const RateTableRow& row : table.rows)
    rows.push_back(Broken(cr, row.flags, std::max(width - kFlagsColumnPt, kLinePt)));
  return rows;
}

double RowsHeight(const std::vector<std::vector<std::string>>& rows) {
  double height = 0;
  for (const std::vector<std::string>& lines : rows)
    height += kLinePt * static_cast<double>(std::max<std::size_t>(lines.size(), 1));
  return height;
}

}  // namespace

RateText RateTextOf(double rate, const std::optional<Interval>& interval, const std::optional<double>& upperLimit) {
  RateText text;
  if (upperLimit && !interval) {
    text.rate = TickText(*upperLimit, kRateDigits);
    text.upper = true;
    return text;
  }
  // The interval's ends to the rate's decimals, as the class headings write them.
  const bool positive = rate > 0 && std::isfinite(rate);
  const int decimals = positive ? DecimalsOf(rate, kRateDigits) : 0;
  const auto number = [&](double value) {
    return positive ? AtDecimals(value, decimals, kRateDigits) : TickText(value, kRateDigits);
  };
  text.rate = number(rate);
  if (interval) {
    text.low = number(interval->low);
    text.high = number(interval->high);
  }
  return text;
}

RateText RateTextOf(const kinetics::PathRate& rate) { return RateTextOf(rate.rate, rate.interval, rate.upperLimit); }

RateTable MatrixRateTable(const SchemeData& scheme) {
  RateTable table{SchemeHeading(scheme), {}};
  for (const kinetics::PathRate& rate : scheme.matrix.rates)
    table.rows.push_back({std::to_string(rate.from + 1) + kArrow + std::to_string(rate.to + 1), RateTextOf(rate),
                          FlagsText(scheme, rate)});
  return table;
}

RateTable DwellRateTable(const std::vector<DwellResultRow>& rows) {
  RateTable table;
  std::int64_t molecules = 0;
  double exposure = 0;
  for (const DwellResultRow& row : rows) {
    if (row.estimator != "dwell") continue;
    std::string flags;
    for (const std::string& flag : row.flags) flags += (flags.empty() ? "" : "; ") + flag;
    table.rows.push_back({std::to_string(row.from) + kArrow + std::to_string(row.to),
                          RateTextOf(row.rate, row.interval, row.upperLimit), flags});
    molecules = std::max(molecules, row.molecules);
    exposure = row.exposureTime;
  }
  table.title = "Rates of the dwell times: up to " + WithThousands(molecules) +
                (molecules == 1 ? " molecule" : " molecules") + " a path, frames of " + TickText(exposure) + " s";
  return table;
}

std::pair<std::string, std::string> SchemeLabel(const kinetics::PathRate& rate) {
  const RateText text = RateTextOf(rate);
  const std::string first = std::string(text.upper ? "k < " : "k = ") + text.rate + " " + kPerSecond;
  if (text.low.empty()) return {first, ""};
  return {first, "[" + text.low + ", " + text.high + "]"};
}

std::string SchemeHeading(const SchemeData& scheme) {
  const kinetics::RateMatrix& m = scheme.matrix;
  return "Rate matrix of " + std::to_string(m.states) + " states: " + WithThousands(m.molecules) +
         (m.molecules == 1 ? " molecule" : " molecules") + ", frames of " + TickText(m.exposure) + " s";
}

FigureSize SchemeFigureSize(const SchemeData& scheme) {
  const SchemePoint area = SchemeArea(States(scheme));
  const double width = std::max(kSchemeFigureWidthMm * kPointsPerMm, area.x + 2 * kMarginPt);
  const double height = kMarginPt + kHeadingRoomPt + area.y + kLegendTopPt +
                        kLinePt * static_cast<double>(LegendLines(scheme)) + kMarginPt;
  return {width / kPointsPerMm, height / kPointsPerMm};
}

void DrawSchemeFigure(cairo_t* cr, double width, double height, const SchemeData& scheme) {
  const int states = States(scheme);
  SetColour(cr, kInk);
  const std::string heading = SchemeHeading(scheme);
  SetFont(cr, FittingFontSize(cr, heading, kHeadingFontPt, width - 2 * kMarginPt, true), true);
  DrawText(cr, heading, width / 2, kMarginPt, {0.5, 0.0});

  const SchemePoint area = SchemeArea(states);
  std::vector<std::pair<int, int>> paths;
  std::vector<const kinetics::PathRate*> drawn;
  for (const kinetics::PathRate& rate : scheme.matrix.rates)
    if (Drawn(rate)) {
      paths.push_back({rate.from, rate.to});
      drawn.push_back(&rate);
    }
  const SchemeLayout layout =
      LayOutScheme(states, paths, (width - area.x) / 2, kMarginPt + kHeadingRoomPt, area.x, area.y);
  const std::vector<std::string> legend = LegendPhrases(scheme);
  for (const SchemeArrow& arrow : layout.arrows) {
    const auto rate = std::find_if(drawn.begin(), drawn.end(), [&](const kinetics::PathRate* r) {
      return r->from == arrow.from && r->to == arrow.to;
    });
    if (rate != drawn.end()) DrawArrow(cr, arrow, **rate, Marks(scheme, **rate, legend));
  }
  for (std::size_t k = 0; k < layout.centres.size(); ++k)
    DrawNode(cr, layout.centres[k], layout.nodeRadius, static_cast<int>(k), scheme);

  SetColour(cr, kInk);
  SetFont(cr, kTickFontPt);
  std::vector<std::string> lines = CaptionLines(scheme);
  for (std::size_t k = 0; k < legend.size(); ++k) lines.push_back(Mark(k) + " " + legend[k]);
  double y = height - kMarginPt - kLinePt * static_cast<double>(lines.size());
  for (const std::string& line : lines) {
    SetFont(cr, FittingFontSize(cr, line, kTickFontPt, width - 2 * kMarginPt));
    DrawText(cr, line, kMarginPt, y + kLinePt / 2, {0.0, 0.5});
    y += kLinePt;
  }
}

double RateTableHeight(cairo_t* cr, const RateTable& table, double width) {
  // The title, the header between two rules, the rows and the closing rule.
  return kTableTitleRoomPt + 2 * kRuleGapPt + kLinePt + kRuleGapPt + RowsHeight(FlagLines(cr, table, width)) +
         kRuleGapPt;
}

void DrawRateTable(cairo_t* cr, const Box& box, const RateTable& table) {
  const std::vector<std::vector<std::string>> flags = FlagLines(cr, table, box.width);
  SetColour(cr, kInk);
  const std::string& title = table.title;
  SetFont(cr, FittingFontSize(cr, title, kAxisFontPt, box.width, true), true);
  DrawText(cr, title, box.x, box.y, {0.0, 0.0});
  const auto rule = [&](double y) {
    cairo_set_line_width(cr, kRulePt);
    cairo_move_to(cr, box.x, y);
    cairo_line_to(cr, box.Right(), y);
    cairo_stroke(cr);
  };
  double y = box.y + kTableTitleRoomPt;
  rule(y);
  y += kRuleGapPt;
  SetFont(cr, kTickFontPt, true);
  const double middle = kLinePt / 2;
  DrawText(cr, "Path", box.x, y + middle, {0.0, 0.5});
  DrawText(cr, std::string("Rate (") + kPerSecond + ")", box.x + kRateColumnEndPt, y + middle, {1.0, 0.5});
  DrawText(cr, std::string("95 % interval (") + kPerSecond + ")", box.x + kIntervalColumnPt, y + middle, {0.0, 0.5});
  DrawText(cr, "Flags", box.x + kFlagsColumnPt, y + middle, {0.0, 0.5});
  y += kLinePt + kRuleGapPt;
  rule(y - kRuleGapPt / 2);
  SetFont(cr, kTickFontPt);
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    const RateText& text = table.rows[r].text;
    SetColour(cr, flags[r].empty() ? kInk : kFlagged);
    DrawText(cr, table.rows[r].path, box.x, y + middle, {0.0, 0.5});
    DrawText(cr, (text.upper ? "< " : "") + text.rate, box.x + kRateColumnEndPt, y + middle, {1.0, 0.5});
    if (!text.low.empty())
      DrawText(cr, text.low + kEnDash + text.high, box.x + kIntervalColumnPt, y + middle, {0.0, 0.5});
    for (std::size_t line = 0; line < flags[r].size(); ++line)
      DrawText(cr, flags[r][line], box.x + kFlagsColumnPt, y + middle + kLinePt * static_cast<double>(line),
               {0.0, 0.5});
    y += kLinePt * static_cast<double>(std::max<std::size_t>(flags[r].size(), 1));
  }
  SetColour(cr, kInk);
  rule(y + kRuleGapPt / 2);
}
