// The window of figures the program shows one at a time: a picker of their pages, the figure
// of the picked page, its rows of the table below, a button that copies the whole table; for
// figures along frames, zoom and a scroll bar over the frames, and a page's choice (whether its
// molecule is kept) as a tick.
#pragma once

#include <QDialog>
#include <map>
#include <string>

#include "platform/host.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QTableWidget;

class FigureWindow final : public QDialog {
 public:
  explicit FigureWindow(QWidget* parent);
  // The pages, rows and figures of `view`, its page `shown` picked.
  void Fill(const FiguresView& view);

 private:
  void ShowPage(int page);
  // The figure of the page shown, over the frames the zoom and the scroll bar show.
  void DrawFigure();
  // Shows `factor` times as many frames (below 1: fewer), about the middle of those shown.
  void Zoom(double factor);
  void Choose(bool chosen);

  QComboBox* pages_;
  QCheckBox* choice_;
  QPushButton* zoomIn_;
  QPushButton* zoomOut_;
  QPushButton* whole_;
  QLabel* figure_;
  QScrollBar* frames_;
  QTableWidget* cells_;
  FiguresView view_;
  std::map<std::size_t, QPixmap> drawn_;  // the figures drawn so far, by page, at their whole frames
  std::size_t page_ = 0;
  // The share of the page's frames shown, and the first frame shown.
  double shownShare_ = 1;
  double firstShown_ = 0;
};
