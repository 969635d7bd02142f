// The density map worked out the plain way, as the tests' measure: one exponential per record
// and cell, summed in record order, the file written with the standard stream's own formatting.
#pragma once

#include <cmath>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "reports/records.h"

struct ReferenceMap {
  std::string file;               // the whole of "3dgrid.dat"
  std::vector<double> sums;       // [i * 201 + j]
  std::vector<int> colorIndices;  // [i * 201 + j]
  double maximum = 0;
};

inline ReferenceMap ComputeReferenceMap(const std::vector<TransitionRecord>& records, bool weighted) {
  ReferenceMap map;
  std::ostringstream out;
  for (int i = 0; i <= 200; ++i) {
    for (int j = 0; j <= 200; ++j) {
      const double x = i * 0.005, y = j * 0.005;
      double sum = 0;
      for (const TransitionRecord& r : records) {
        if (i == 0 && j == 0)
          out << std::setw(20) << r.initial << std::setw(20) << r.final << std::setw(20) << r.rate << "\n";
        if (r.initial != r.final && r.count != 0 && r.rate > 0.00001) {
          const double a = r.initial, b = r.final;
          const double spot = std::exp(-((x - a) * (x - a) + (y - b) * (y - b)) / 0.0005);
          sum += weighted ? spot * r.count : spot;
        }
      }
      out << std::setprecision(4) << std::setw(15);
      if (sum > 0.01)
        out << sum;
      else
        out << 0;
      out << std::setprecision(6);
      if (sum > map.maximum) map.maximum = sum;
      map.sums.push_back(sum);
    }
    out << "\n";
  }
  map.file = out.str();
  for (double sum : map.sums) {
    int index = 0;
    if (map.maximum > 0) {
      const double scaled = sum * 255.0 / map.maximum;
      index = scaled > 0 ? static_cast<int>(std::fmin(scaled, 255.0)) : 0;
    }
    map.colorIndices.push_back(index);
  }
  return map;
}

// A report file as the tests write it: four header lines, then one record per line.
inline std::string ReportText(const std::vector<TransitionRecord>& records) {
  std::ostringstream out;
  out << "test report\nheader line 2\nheader line 3\ninitial final rate spare count\n" << std::setprecision(17);
  for (const TransitionRecord& r : records)
    out << r.initial << ' ' << r.final << ' ' << r.rate << ' ' << r.spare << ' ' << r.count << '\n';
  return out.str();
}
