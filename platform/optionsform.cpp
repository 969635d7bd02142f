#include "platform/optionsform.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace {

std::string ValueAt(const OptionsForm& form, const OptionValues& values, std::size_t field) {
  return field < values.size() ? values[field] : form.fields[field].defaultValue;
}

std::optional<std::size_t> FieldNamed(const OptionsForm& form, const std::string& name) {
  for (std::size_t k = 0; k < form.fields.size(); ++k)
    if (form.fields[k].name == name) return k;
  return std::nullopt;
}

bool Holds(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

const OptionChoice* ChoiceOf(const OptionField& field, const std::string& value) {
  const auto found = std::find_if(field.choices.begin(), field.choices.end(),
                                  [&](const OptionChoice& choice) { return choice.value == value; });
  return found == field.choices.end() ? nullptr : &*found;
}

// Whether `field` counts, following the fields that show it; `depth` ends a circle of fields
// that show one another (none counts then).
bool Counts(const OptionsForm& form, const OptionValues& values, std::size_t field, std::size_t depth) {
  const OptionField& f = form.fields[field];
  if (f.shownWith.empty()) return true;
  const auto controller = FieldNamed(form, f.shownWith);
  if (!controller) return true;
  if (depth >= form.fields.size()) return false;
  return Holds(f.shownFor, ValueAt(form, values, *controller)) && Counts(form, values, *controller, depth + 1);
}

// The fields whose option word `word` is, and the value the word carries after '=' if it does.
struct OptionWord {
  std::vector<std::size_t> fields;
  std::optional<std::string> inlineValue;
  bool takesValue = false;  // the next word is its value
};

std::optional<OptionWord> FindOptionWord(const OptionsForm& form, const std::string& word) {
  OptionWord found;
  for (std::size_t k = 0; k < form.fields.size(); ++k) {
    const OptionField& f = form.fields[k];
    if (f.option.empty()) continue;
    if (word == f.option) {
      found.fields.push_back(k);
      found.takesValue = f.kind != OptionKind::Flag;
    } else if (f.kind != OptionKind::Flag && word.size() > f.option.size() &&
               word.compare(0, f.option.size(), f.option) == 0 && word[f.option.size()] == '=') {
      found.fields.push_back(k);
      found.inlineValue = word.substr(f.option.size() + 1);
    }
  }
  if (found.fields.empty()) return std::nullopt;
  return found;
}

// The choice field and entry whose own word `word` is.
std::optional<std::pair<std::size_t, std::string>> FindChoiceWord(const OptionsForm& form, const std::string& word) {
  for (std::size_t k = 0; k < form.fields.size(); ++k) {
    const OptionField& f = form.fields[k];
    if (f.kind != OptionKind::Choice || !f.option.empty()) continue;
    for (const OptionChoice& choice : f.choices)
      if (!choice.word.empty() && choice.word == word) return std::pair{k, choice.value};
  }
  return std::nullopt;
}

// Sets the fields that show a field the words gave, where the words did not set them: the first
// entry that shows it and writes no word of its own (so the words stay the same).
void ShowGivenFields(const OptionsForm& form, const std::vector<bool>& given, OptionValues& values) {
  std::vector<bool> set = given;
  // Each round settles at least one more field, or nothing changes any more.
  for (std::size_t round = 0; round < form.fields.size(); ++round) {
    bool changed = false;
    for (std::size_t k = 0; k < form.fields.size(); ++k) {
      const OptionField& f = form.fields[k];
      if (!set[k] || f.shownWith.empty()) continue;
      const auto controller = FieldNamed(form, f.shownWith);
      if (!controller || set[*controller] || Holds(f.shownFor, values[*controller])) continue;
      const OptionField& c = form.fields[*controller];
      for (const std::string& shown : f.shownFor) {
        const OptionChoice* choice = ChoiceOf(c, shown);
        if (c.kind == OptionKind::Choice && choice && (!c.option.empty() || choice->word.empty())) {
          values[*controller] = shown;
          set[*controller] = true;
          changed = true;
          break;
        }
      }
    }
    if (!changed) return;
  }
}

std::optional<int> WholeNumber(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> Number(std::string_view text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::optional<std::string> FieldRefused(const OptionField& f, const std::string& value) {
  if (f.required && value.empty() && f.kind != OptionKind::Choice && f.kind != OptionKind::Flag)
    return f.label + " is needed";
  const bool blankAllowed = value.empty() && f.defaultValue.empty();
  switch (f.kind) {
    case OptionKind::Choice:
      if (!ChoiceOf(f, value)) return f.label + ": choose one of the list, not \"" + value + "\"";
      return std::nullopt;
    case OptionKind::WholeNumber: {
      if (blankAllowed) return std::nullopt;
      const auto number = WholeNumber(value);
      if (!number || *number < f.minimum || *number > f.maximum)
        return f.label + ": enter a whole number from " + std::to_string(f.minimum) + " to " +
               std::to_string(f.maximum) + ", not \"" + value + "\"";
      return std::nullopt;
    }
    case OptionKind::Number:
      if (blankAllowed || Number(value)) return std::nullopt;
      return f.label + ": enter a number, not \"" + value + "\"";
    case OptionKind::Flag:
      if (value.empty() || value == "1") return std::nullopt;
      return f.label + ": set or clear it";
    case OptionKind::Text:
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

OptionValues DefaultOptionValues(const OptionsForm& form) {
  OptionValues values;
  for (const OptionField& f : form.fields) values.push_back(f.defaultValue);
  return values;
}

bool OptionFieldCounts(const OptionsForm& form, const OptionValues& values, std::size_t field) {
  return field < form.fields.size() && Counts(form, values, field, 0);
}

std::vector<std::string> OptionWordsOf(const OptionsForm& form, const OptionValues& values) {
  std::vector<std::string> words;
  for (std::size_t k = 0; k < form.fields.size(); ++k) {
    if (!OptionFieldCounts(form, values, k)) continue;
    const OptionField& f = form.fields[k];
    const std::string value = ValueAt(form, values, k);
    if (f.kind == OptionKind::Flag) {
      if (value == "1" && !f.option.empty()) words.push_back(f.option);
    } else if (f.option.empty()) {
      const OptionChoice* choice = f.kind == OptionKind::Choice ? ChoiceOf(f, value) : nullptr;
      if (choice && !choice->word.empty()) words.push_back(choice->word);
    } else if (!value.empty() && value != f.defaultValue) {
      words.push_back(f.option);
      words.push_back(value);
    }
  }
  return words;
}

OptionValues OptionValuesOf(const OptionsForm& form, const std::vector<std::string>& words) {
  OptionValues values = DefaultOptionValues(form);
  std::vector<bool> given(form.fields.size(), false);
  // Two rounds: the choices' own words first, since they decide which of the fields that share
  // an option word ("--molecule" of a table or of dwell lists) a value belongs to.
  for (const bool choices : {true, false}) {
    for (std::size_t i = 0; i < words.size(); ++i) {
      const auto option = FindOptionWord(form, words[i]);
      if (!option) {
        // A choice's own word with a value, "--layout=dwt", may come as two, "--layout dwt".
        auto choice = FindChoiceWord(form, words[i]);
        const bool split = !choice && i + 1 < words.size() &&
                           (choice = FindChoiceWord(form, words[i] + "=" + words[i + 1])).has_value();
        if (choice && choices) {
          values[choice->first] = choice->second;
          given[choice->first] = true;
        }
        if (split) ++i;
        continue;
      }
      const bool hasValue = option->inlineValue || (option->takesValue && i + 1 < words.size());
      const std::string value = option->inlineValue   ? *option->inlineValue
                                : !option->takesValue ? std::string("1")
                                : hasValue            ? words[i + 1]
                                                      : std::string();
      if (option->takesValue && !option->inlineValue) ++i;
      if (choices || (option->takesValue && !hasValue)) continue;
      const auto counting = std::find_if(option->fields.begin(), option->fields.end(),
                                         [&](std::size_t k) { return OptionFieldCounts(form, values, k); });
      const std::size_t field = counting != option->fields.end() ? *counting : option->fields.front();
      values[field] = value;
      given[field] = true;
    }
  }
  ShowGivenFields(form, given, values);
  return values;
}

std::optional<std::string> OptionValuesRefused(const OptionsForm& form, const OptionValues& values) {
  for (std::size_t k = 0; k < form.fields.size(); ++k)
    if (OptionFieldCounts(form, values, k))
      if (auto why = FieldRefused(form.fields[k], ValueAt(form, values, k))) return why;
  if (form.check) return form.check(OptionWordsOf(form, values));
  return std::nullopt;
}
