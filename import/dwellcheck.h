// Whether a molecule's dwells in a "dwells.csv" are those its report was counted from. The
// table is found by the molecule's name alone, and every import names its molecules alike
// (molecule_0001, ...): a table beside reports of another import, or one edited since, would
// otherwise give the dwell times and the pooled rates of other molecules without a word.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "import/dwelltable.h"
#include "reports/records.h"

// Values of a report and of its dwells are one when they differ by no more than this share:
// room for a report written with fewer digits than the table.
inline constexpr double kReportAgreement = 1e-6;

// Why the `dwells` of one molecule are not those of its report's records `first` ...
// `first + count - 1` of `records` (count = K x K), or "" when they are. They agree when the
// dwells are at no more than K levels; when every record of transitions (a weight above 0) is
// between values that are levels of the dwells (the nearest, within kReportAgreement) and, for
// two distinct levels i and j, counts as many steps from i to j as the dwells take, at the rate
// n_ij / F_i, F_i the dwells' frames at level i that have a next frame; when the dwells take no
// step that no record counts; and when every level of the dwells is a value of some record. A
// record from a level to itself (its exits) is not compared further. The reason names the values
// and both numbers: "the report counts 3 transitions from 0.2 to 0.8, the dwells 5".
std::string DwellsDisagreement(std::span<const LevelDwell> dwells, const TransitionRecords& records, std::size_t first,
                               std::size_t count);
