// The options of an export as words, as a script gives them with the folder: `--format
// svg|pdf|png|all`, `--as-on-screen`, `--colours table|perceptual`, `--colour-scale linear|log`,
// `--initial-name TEXT`, `--final-name TEXT`, `--histogram-range fixed|data` and `--digits N`.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "export/exportset.h"

struct OptionsForm;

// How many words, from `word` on, an export option spans: 1 for "--as-on-screen", 2 for every
// other option (the option and its value), 0 for any other word (the folder).
std::size_t ExportOptionWords(std::string_view word);

// The options the words give (the defaults where they say nothing; a later one wins), or the
// message for the user when a word is none of them or a value is not one the option takes.
std::variant<ExportOptions, std::string> ExportOptionsOf(const std::vector<std::string>& words);

// The same options as a form for a person in the window; the words it makes are words
// ExportOptionsOf takes.
const OptionsForm& ExportOptionsForm();
