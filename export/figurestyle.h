// How an export draws its figures, beside what it draws (figuredata.h): the map's colours,
// scale and axis names, the class figures' range and digits. The window draws none of this: it
// keeps the colour table's colours and the histogram's fixed range.
#pragma once

#include <string>

#include "export/figuredata.h"

// The map in the colour table's colours, as the window shows it, or in the program's own
// perceptual colours (PerceptualColours).
enum class MapColours { Table, Perceptual };

// Density to colour: linear from 0 to the maximum, as the window does, or logarithmic over the
// three decades below the maximum (mapcolours.h).
enum class ColourScale { Linear, Log };

// The class figure's ln axis: the histogram's whole range, -10 ... 0, or the bins the class
// occupies with a margin (DataRange).
enum class HistogramRange { Fixed, Data };

inline constexpr char kDefaultInitialName[] = "Initial value";
inline constexpr char kDefaultFinalName[] = "Final value";
// The significant digits of a heading's rate, and how many it may ask for.
inline constexpr int kDefaultHeadingDigits = 3;
inline constexpr int kFewestHeadingDigits = 1;
inline constexpr int kMostHeadingDigits = 6;

struct MapStyle {
  MapOrientation orientation = MapOrientation::InitialAcross;
  ColourScale scale = ColourScale::Linear;
  std::string initialName = kDefaultInitialName;
  std::string finalName = kDefaultFinalName;
};

struct ClassStyle {
  int digits = kDefaultHeadingDigits;
  HistogramRange range = HistogramRange::Fixed;
};
