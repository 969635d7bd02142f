// Raw traces: each frame's donor and acceptor intensity, or its FRET efficiency, read from the
// files of an import's layouts, and the frames a model is fitted to.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "import/importoptions.h"
#include "import/importtraces.h"

struct RawOptions {
  // One molecule per file, or a table (its molecule column, and a frame column that orders it).
  ImportOptions layout;
  // The donor's and the acceptor's intensity, or else a ready FRET value.
  ColumnRef donor{"--donor", 0, "donor"};
  ColumnRef acceptor{"--acceptor", 0, "acceptor"};
  std::optional<ColumnRef> fret;
  // Subtracted from each channel's intensity.
  double donorBackground = 0;
  double acceptorBackground = 0;
  // The ratio of the acceptor's to the donor's detected intensity for the same excitation:
  // FRET = A / (A + gamma D), A and D less their backgrounds.
  double gamma = 1;
  // Frames after this one are left out.
  std::optional<double> lastFrame;
};

// One molecule's frames that are fitted.
struct FretTrace {
  std::string name;            // the file's name without folder and extension, or the table's molecule name
  std::string source;          // where it came from, for messages
  std::vector<double> frames;  // the frame of each value
  std::vector<double> fret;
};

struct RawReading {
  std::vector<FretTrace> traces;      // the molecules with frames to fit, in the order of the files
  std::vector<std::string> left;      // the molecules left out and why
  std::vector<RepeatedFile> repeated; // files named again, by the same path or through a link
  std::string error;                  // "FILE:LINE: why" or "FILE: why"; then nothing else holds
};

// A frame of donor and acceptor is at background, after its molecule bleached or while it
// blinks, when its total intensity A + gamma D lies below kBackgroundShare of the molecule's
// brightness, the kBrightQuantile quantile of its frames' totals.
inline constexpr double kBackgroundShare = 0.5;
inline constexpr double kBrightQuantile = 0.9;

// The molecules of the files at `paths`, each file read once (where it is first named: a file
// named again, through a link too, holds the same molecules, which fitted twice would weigh
// twice), their frames at background and after `lastFrame` left out, and a molecule with fewer
// than two frames left out. A file named ".traces" is read as the binary file of camera traces
// (peerformats.h), whatever the layout; its molecules are named "STEM-N", N from 1.
RawReading ReadRawTraces(const std::vector<std::string>& paths, const RawOptions& options);

// The frames to fit of a molecule whose rows hold `values` (donor and acceptor, or FRET).
FretTrace KeptFrames(std::string name, std::string source, const std::vector<double>& frames,
                     const std::vector<double>& values, const RawOptions& options);
