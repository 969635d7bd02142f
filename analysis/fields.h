// The settings a user types, what each takes, and what a refusal tells the user: one table, so
// that the checks of the window, of scripts and of the analysis, and their messages, agree.
#pragma once

#include <string>

enum class Field { Exposure, States, Cutoff, Peaks, ImportPeaks };

struct FieldRule {
  Field field;
  const char* label;    // the words of the control's label
  double least;         // inclusive
  double most;          // inclusive; infinity where there is no upper limit
  bool whole;           // a whole number
  const char* example;  // shown in the refusal; null for none
  const char* purpose;  // what the limit is for, when it differs from the field's own ("to import traces")
};

const FieldRule& RuleOf(Field field);

// Whether `value` is one the field takes (a non-number never is).
bool FieldTakes(Field field, double value);

// "Exposure time (s): enter a number from 1e-9 to 3600, for example 0.05."
std::string FieldRuleText(Field field);
