// Raw traces: each frame's donor and acceptor intensity, or its FRET efficiency, read from the
// files of an import's layouts, and the frames a model is fitted to.
#pragma once

#include <optional>
#include <string>
#include <utility>
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
  // Each row's time in seconds: a column named "time" where the header has one, or the column
  // --time names. Its steps are the frame time; they must be regular (see FrameTimeOf).
  ColumnRef time{"--time", 0, "time", true};
  // The frame time given (--frame-time); a time column of the files must agree with it.
  std::optional<double> frameTime;
};

// One molecule's frames that are fitted.
struct FretTrace {
  // The file's name without folder and extension ("folder/name" where files of two folders share
  // it), or the table's molecule name.
  std::string name;
  std::string source;          // where it came from, for messages
  std::vector<double> frames;  // the frame of each value
  std::vector<double> fret;
  // Donor and acceptor only: the frames at background after the last frame above it, cut as the
  // molecule's bleached tail, and the frames at background before it, its blinks, which get no
  // state (their frames, increasing).
  std::size_t bleached = 0;
  std::vector<double> blinks;
  // Donor and acceptor only: every frame read up to the last frame, the tail and the blinks too,
  // and each channel's intensity less its background, for a person to see what was cut.
  std::vector<double> channelFrames;
  std::vector<double> donor;
  std::vector<double> acceptor;
  // Donor and acceptor only: each fitted frame's total intensity A + gamma D, less the
  // backgrounds (always above 0), its brightness.
  std::vector<double> totals;
};

// The frames' weights of a model whose widths follow the brightness: under shot noise a FRET
// value of N photons has a variance in proportion to 1 / N, so frame t of total intensity N_t
// weighs w_t = N_t / N_ref, N_ref the median total of every fitted frame of all molecules, and a
// state's width is its width at N_ref. Empty `weights` when a trace has no totals (a FRET column
// read ready).
struct BrightnessWeights {
  double reference = 0;  // N_ref
  std::vector<std::vector<double>> weights;  // one per trace, a weight per fitted frame
};
BrightnessWeights WeightsOfBrightness(const std::vector<FretTrace>& traces);

// The first and the last frame read of `trace` (its bleached tail too), at least one apart: what
// a figure of it shows whole.
std::pair<double, double> FrameSpan(const FretTrace& trace);

struct RawReading {
  std::vector<FretTrace> traces;      // the molecules with frames to fit, in the order of the files
  std::vector<std::string> left;      // the molecules left out and why
  std::vector<RepeatedFile> repeated; // files named again, by the same path or through a link
  std::string error;                  // "FILE:LINE: why" or "FILE: why"; then nothing else holds
  // Seconds per frame: the files' time column (they must agree), else --frame-time; none when
  // neither gives one. `frameTimeFrom` is the molecule that gave it, empty when the option did.
  std::optional<double> frameTime;
  std::string frameTimeFrom;
};

// A time column is regular when every step between rows lies within kTimeStepTolerance of the
// molecule's mean step (its span over its rows less one): rounding of printed times passes, a
// dropped frame (a step of two) or a change of rate does not. Molecules, and --frame-time,
// agree when their frame times lie within kFrameTimeAgreement of each other.
inline constexpr double kTimeStepTolerance = 0.25;
inline constexpr double kFrameTimeAgreement = 0.01;

// The frame time of one molecule's `times` (row order, at least two): their mean step; nothing,
// and why in `trouble`, when they do not step regularly. Nothing, and no trouble, for fewer
// than two rows or NaN times (no time column).
std::optional<double> FrameTimeOf(const std::vector<double>& times, std::string& trouble);

// "120 frames after bleaching cut from 3 molecules; 14 frames of 5 blinks in 2 molecules given no
// state": empty when no trace bleached or blinked.
std::string DarkFramesText(const std::vector<FretTrace>& traces);

// A frame of donor and acceptor is at background, after its molecule bleached or while it
// blinks, when the most likely path of a chain of two states, bright and dark, over the
// molecule's total intensities A + gamma D puts it in the dark one, and always when its total is
// not above kLeastLivingShare of the bright level: the ratio A / (A + gamma D) of so few photons
// is no FRET value to fit (its denominator lies within its own noise of 0, and a frame of a
// bright molecule so dim has blinked for part of its time). Each state emits a Gaussian total,
// centred on the median of the frames taken for it, of the width their median absolute
// deviation gives (times 1.4826), at least kLeastTotalWidth of the bright level; where fewer than
// kLeastDarkFrames frames are taken for the dark state, it is centred on 0 (the backgrounds
// taken off) and as wide as the bright one. A
// bright frame goes dark with the chance kBlinkChance, a dark one comes back with kBlinkEnd. A
// dark run must so gain more in likelihood than the chances of going dark and back cost: a lone
// frame at background is dark when the bright level lies more than some 3.3 widths above it,
// and the noise of a dim molecule, which a threshold would cut into many short blinks, is not.
// The frames are first taken for bright or dark by whether their total reaches kBackgroundShare
// of the molecule's brightness, the kBrightQuantile quantile of its totals; the levels are then
// found again from the path, kDarkRounds paths in all.
inline constexpr double kBackgroundShare = 0.5;
inline constexpr double kBrightQuantile = 0.9;
inline constexpr double kLeastLivingShare = 0.25;
inline constexpr double kBlinkChance = 0.01;
inline constexpr double kBlinkEnd = 0.5;
inline constexpr double kLeastTotalWidth = 0.02;
inline constexpr std::size_t kLeastDarkFrames = 3;
inline constexpr int kDarkRounds = 2;
// A molecule lives until its last run of this many frames above background: after bleaching,
// noise about the background still crosses the threshold now and then, a frame or two at a
// time, and those frames belong to the bleached tail, not to blinks.
inline constexpr std::size_t kLeastLivingRun = 3;

// The molecules of the files at `paths`, each file read once (where it is first named: a file
// named again, through a link too, holds the same molecules, which fitted twice would weigh
// twice), their frames at background and after `lastFrame` left out, and a molecule with fewer
// than two frames left out. A time column that steps irregularly, or whose frame time
// disagrees with another molecule's or with --frame-time, is an error. A file named ".traces"
// is read as the binary file of camera traces (peerformats.h), whatever the layout, and one
// named ".hdf5" or ".h5" as an SMD HDF5 file; their molecules are named "STEM-N", N from 1.
RawReading ReadRawTraces(const std::vector<std::string>& paths, const RawOptions& options);

// The frames to fit of a molecule whose rows hold `values` (donor and acceptor, or FRET): with
// donor and acceptor, the frames after its last run of kLeastLivingRun frames above background
// are its bleached tail, cut, and those at background before it its blinks, counted and left
// unfitted.
FretTrace KeptFrames(std::string name, std::string source, const std::vector<double>& frames,
                     const std::vector<double>& values, const RawOptions& options);
