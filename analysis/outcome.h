// What an operation of the analysis reports back: whether it was carried out, and what the user
// must be told, in order. The analysis shows nothing itself; each front door shows these its own
// way (a message box, a line on standard error, an exception).
#pragma once

#include <string>
#include <utility>
#include <vector>

// A notice tells the user something; an error says that what was asked for was refused or could
// not be done (script mode then ends with status 4).
enum class Severity { Notice, Error };

struct Message {
  Severity severity;
  std::string text;
};

struct Outcome {
  bool done = true;  // false: refused, nothing changed
  std::vector<Message> messages;

  static Outcome Refused(std::string text, Severity severity = Severity::Error) {
    return {false, {{severity, std::move(text)}}};
  }
  Outcome& Notice(std::string text) {
    messages.push_back({Severity::Notice, std::move(text)});
    return *this;
  }
  Outcome& Error(std::string text) {
    messages.push_back({Severity::Error, std::move(text)});
    return *this;
  }
  // The messages of `later` after these; refused when either was.
  Outcome& Then(Outcome later) {
    done = done && later.done;
    for (Message& m : later.messages) messages.push_back(std::move(m));
    return *this;
  }
};
