// The rows of a table in a Markdown document, as the documentation tests read them.
#pragma once

#include <fstream>
#include <string>
#include <vector>

// The cells of each row of the first table with header `header` (its whole line, "| a | b |")
// after the line `heading`; the cells without their outer blanks and without the back quotes of
// a cell that is all code. Nothing when the document, the heading or the table is not there.
inline std::vector<std::vector<std::string>> MarkdownTable(const std::string& path, const std::string& heading,
                                                           const std::string& header) {
  std::ifstream document(path);
  std::string line;
  while (std::getline(document, line) && line != heading) {
  }
  while (std::getline(document, line) && line != header) {
  }
  std::getline(document, line);  // the rule under the header
  std::vector<std::vector<std::string>> rows;
  while (std::getline(document, line) && line.size() > 2 && line.front() == '|' && line.back() == '|') {
    std::vector<std::string> cells;
    // Cells end at " | "; a cell may hold a lone '|' of its own only inside code.
    std::size_t from = 2;
    for (std::size_t end; (end = line.find(" | ", from)) != std::string::npos; from = end + 3)
      cells.push_back(line.substr(from, end - from));
    cells.push_back(line.substr(from, line.size() - 2 - from));
    for (std::string& cell : cells)
      if (cell.size() > 2 && cell.front() == '`' && cell.back() == '`' && cell.find('`', 1) == cell.size() - 1)
        cell = cell.substr(1, cell.size() - 2);
    rows.push_back(cells);
  }
  return rows;
}
