// The colours of the exported map: a cell's density as a colour entry on a linear or a
// logarithmic scale, where a density lies along the colour bar, and the program's own
// perceptual colours beside the colour table.
#pragma once

#include <vector>

#include "display/colortable.h"
#include "export/figurestyle.h"

// The log scale spans this many decades below the maximum: its floor is maximum / 10^3, below
// which every density takes entry 0, as 0 does.
inline constexpr double kLogScaleDecades = 3.0;

// The entry (0 ... 255) of a density. Linear, as the window colours it: trunc(value x 255 /
// maximum). Log: trunc(255 x (3 + log10(value / maximum)) / 3), so the maximum takes 255, a
// tenth of it 170, a hundredth 85 and the floor 0. Within 0 ... 255; 0 when the maximum is not
// positive and for values not above 0 or no number.
int ScaledColourIndex(double value, double maximum, ColourScale scale);

// Where a density lies along the colour bar, 0 at its bottom and 1 at its top, by the same
// scale (entry e covers e / 255 ... (e + 1) / 255): value / maximum, or (3 + log10(value /
// maximum)) / 3; kept within 0 ... 1.
double ColourBarShare(double value, double maximum, ColourScale scale);

// The labelled values of a log colour bar: the powers of ten from the floor to the maximum.
std::vector<double> LogBarDecades(double maximum);

// The program's own perceptual colours: dark violet through blue, teal and green to yellow,
// lightness rising evenly, so that the map reads the same in grey and to colour-blind
// readers. Eleven anchor colours evenly over the 256 entries, each entry the rounded linear
// interpolation between its two anchors: entry 0 is (68, 1, 84), entry 255 (253, 231, 37).
ColorTable PerceptualColours();
