// The window of figures the program shows one at a time: a picker of their pages, the figure
// of the picked page, its rows of the table below, a button that copies the whole table.
#pragma once

#include <QDialog>
#include <map>
#include <string>

#include "platform/host.h"

class QComboBox;
class QLabel;
class QTableWidget;

class FigureWindow final : public QDialog {
 public:
  explicit FigureWindow(QWidget* parent);
  // The pages, rows and figures of `view`, its page `shown` picked.
  void Fill(const FiguresView& view);

 private:
  void ShowPage(int page);

  QComboBox* pages_;
  QLabel* figure_;
  QTableWidget* cells_;
  FiguresView view_;
  std::map<std::size_t, QPixmap> drawn_;  // the figures drawn so far, by page
};
