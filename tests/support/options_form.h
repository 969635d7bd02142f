// An options form as a person fills it in, for tests of the words it makes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "platform/optionsform.h"

// The form's defaults with the fields named in `set` changed; a name the form lacks fails.
inline OptionValues ChosenIn(const OptionsForm& form, const std::map<std::string, std::string>& set) {
  OptionValues values = DefaultOptionValues(form);
  for (const auto& [name, value] : set) {
    const auto field =
        std::find_if(form.fields.begin(), form.fields.end(), [&](const OptionField& f) { return f.name == name; });
    EXPECT_NE(field, form.fields.end()) << name;
    if (field != form.fields.end()) values[static_cast<std::size_t>(field - form.fields.begin())] = value;
  }
  return values;
}
