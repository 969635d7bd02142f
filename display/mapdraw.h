// The map's pixels: the start-up test image and the overlays every redraw puts on the base image.
#pragma once

#include "domain/analysis_types.h"

// The start-up picture: a blue spot in the middle fading to black, 100 e^(-d^2 / 1000) at d cells
// from the centre.
void DrawTestImage(MapImage& image);

// Lines of the movable cutoffs of `states` states: vertical (final-value axis) always,
// horizontal once locked.
void DrawCutoffLines(MapImage& image, int states, const Cutoffs& cutoffs, bool locked, Pixel color);

struct StateSpan {
  int begin;
  int end;  // exclusive
};

// The cells of state k (1-based) along one axis.
StateSpan StateSpanOf(int k, int states, const Cutoffs& cutoffs);

// Adds 200 to every pixel value of the picked class's rectangle; the carry runs on upwards.
void MarkPickedClass(MapImage& image, const StateSpan& rows, const StateSpan& cols);

// The outline of a circle, plotted along rows and along columns so that it has no gaps; outline
// pixels outside the map are skipped, a negative radius draws nothing.
void DrawCircle(MapImage& image, const SelectionCircle& circle, Pixel color);
