// The window of a table the program shows: its cells, a button that copies them, one to close.
#pragma once

#include <QDialog>
#include <string>

class QTableWidget;
struct TableView;

// It stays open beside the main window, and shows a table again with its new cells.
class TableWindow final : public QDialog {
 public:
  explicit TableWindow(QWidget* parent);
  // The cells, title and copy text of `table`; the window keeps its size once it is shown.
  void Fill(const TableView& table);

 private:
  // A size that shows every column whole where the screen has room.
  void FitToCells();

  QTableWidget* cells_;
  std::string copyText_;
};
