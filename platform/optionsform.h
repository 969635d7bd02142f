// An options form's values and the option words they stand for. A window shows the values; the
// program, a script and the session record see only the words. Turning words back into values
// lets a form open showing the options chosen last.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/host.h"

// One value per field of the form, in its order: a choice's value, a number or text as typed,
// "1" for a flag that is set and "" for one that is not.
using OptionValues = std::vector<std::string>;

// Every field at its default.
OptionValues DefaultOptionValues(const OptionsForm& form);

// Whether field `field` counts with these values: it is shown and writes its words.
bool OptionFieldCounts(const OptionsForm& form, const OptionValues& values, std::size_t field);

// The words the values make: for each field that counts and is not at its default, in the form's
// order, its option word and value (a flag: the option word alone; a choice without option word:
// the chosen entry's own word). Missing values count as defaults.
std::vector<std::string> OptionWordsOf(const OptionsForm& form, const OptionValues& values);

// The values words make, so that OptionWordsOf gives the same options back. An option word takes
// the word after it, or its value after '=' ("--peaks=3"); a later one wins. A choice's own word
// with a value after '=' ("--layout=dwt") is known in two words too ("--layout dwt"). A field that
// counts only with some entries of a choice brings the first of them that writes no word of its
// own, when the words have not chosen one. Words the form does not know are passed over.
OptionValues OptionValuesOf(const OptionsForm& form, const std::vector<std::string>& words);

// What is wrong with the values, for the person who chose them: a field's label and what it
// takes, or the form's own check of the words; nothing when the program takes them.
std::optional<std::string> OptionValuesRefused(const OptionsForm& form, const OptionValues& values);
