#include "platform/script.h"

std::optional<std::vector<std::string>> SplitScriptLine(const std::string& line, std::string& error) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      std::string word;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
          word += line[i + 1];
          i += 2;
        } else if (line[i] == '"') {
          closed = true;
          ++i;
          break;
        } else {
          word += line[i++];
        }
      }
      if (!closed) {
        error = "unclosed quote";
        return std::nullopt;
      }
      words.push_back(std::move(word));
    } else {
      std::string word;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') word += line[i++];
      words.push_back(std::move(word));
    }
  }
  return words;
}

std::string QuoteScriptWord(const std::string& word) {
  const bool plain = !word.empty() && word.find_first_of(" \t\r\"#\\") == std::string::npos;
  if (plain) return word;
  std::string out = "\"";
  for (char c : word) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::vector<std::string> KeystrokePrefixes(const std::string& text) {
  if (text.empty()) return {""};
  std::vector<std::string> prefixes;
  for (std::size_t i = 1; i <= text.size(); ++i) {
    const bool continuation = i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    if (!continuation) prefixes.push_back(text.substr(0, i));
  }
  return prefixes;
}
