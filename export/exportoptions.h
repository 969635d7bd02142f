// The options of an export as words: `--format svg|pdf|png|all` and `--as-on-screen`, as a
// script gives them with the folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "export/exportset.h"

struct OptionsForm;

// How many words, from `word` on, an export option spans: 2 for "--format", 1 for
// "--as-on-screen", 0 for any other word (the folder).
std::size_t ExportOptionWords(std::string_view word);

// The options the words give (the defaults where they say nothing; a later --format wins), or
// the message for the user when a word is none of them.
std::variant<ExportOptions, std::string> ExportOptionsOf(const std::vector<std::string>& words);

// The same options as a form for a person in the window; the words it makes are words
// ExportOptionsOf takes.
const OptionsForm& ExportOptionsForm();
