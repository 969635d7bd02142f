// A session as a test starts it: records straight into it, as a load leaves them, and what its
// operations say.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "analysis/commands.h"
#include "analysis/session.h"

// The records, in a fresh session, with `states` states (none for 0) and the reports `files`.
inline Session SessionOf(std::vector<TransitionRecord> records, int states = 0, std::vector<std::string> files = {}) {
  Session session;
  session.Adopt(TransitionRecords(std::move(records)), std::move(files));
  if (states > 0) session.SetStates(states);
  return session;
}

// Every message's text, in order.
inline std::vector<std::string> Texts(const Outcome& outcome) {
  std::vector<std::string> texts;
  for (const Message& m : outcome.messages) texts.push_back(m.text);
  return texts;
}

// The texts of the messages of one severity.
inline std::vector<std::string> Texts(const Outcome& outcome, Severity severity) {
  std::vector<std::string> texts;
  for (const Message& m : outcome.messages)
    if (m.severity == severity) texts.push_back(m.text);
  return texts;
}

// What a command run on `session` said, every message in order; words it cannot take as why not.
inline std::vector<std::string> Said(Session& session, const std::vector<std::string>& words) {
  const CommandResult result = RunCommand(session, words);
  if (result.wrongWords) return {*result.wrongWords};
  return Texts(result.outcome);
}

// What a run of operations told the user, every message in order and by severity, as a window
// would show them.
struct Told {
  std::vector<std::string> messages, errors, notices;
  const Outcome& operator()(const Outcome& outcome) {
    for (const Message& m : outcome.messages) {
      messages.push_back(m.text);
      (m.severity == Severity::Error ? errors : notices).push_back(m.text);
    }
    return outcome;
  }
};
