#include "platform/qt/tablewindow.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/host.h"

namespace {

// Room around the cells, so that every column shows whole without scrolling when it can.
constexpr int kFrameMargin = 48;
// The window never grows past this share of the screen.
constexpr double kLargestScreenShare = 0.9;

}  // namespace

TableWindow::TableWindow(QWidget* parent) : QDialog(parent), cells_(new QTableWidget) {
  cells_->verticalHeader()->hide();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
  QObject::connect(copy, &QPushButton::clicked, this,
                   [this] { QApplication::clipboard()->setText(QString::fromStdString(copyText_)); });
  QObject::connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(cells_);
  layout->addWidget(buttons);
}

void TableWindow::Fill(const TableView& table) {
  setWindowTitle(QString::fromStdString(table.title));
  copyText_ = table.copyText;
  cells_->clear();
  cells_->setRowCount(static_cast<int>(table.rows.size()));
  cells_->setColumnCount(static_cast<int>(table.columns.size()));
  QStringList headers;
  for (const std::string& column : table.columns) headers << QString::fromStdString(column);
  cells_->setHorizontalHeaderLabels(headers);
  for (int r = 0; r < cells_->rowCount(); ++r) {
    const std::vector<std::string>& row = table.rows[static_cast<std::size_t>(r)];
    for (int c = 0; c < cells_->columnCount() && c < static_cast<int>(row.size()); ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(row[static_cast<std::size_t>(c)]));
      item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
      cells_->setItem(r, c, item);
    }
  }
  cells_->resizeColumnsToContents();
  if (!isVisible()) FitToCells();
}

void TableWindow::FitToCells() {
  int width = kFrameMargin;
  for (int c = 0; c < cells_->columnCount(); ++c) width += cells_->columnWidth(c);
  int height = kFrameMargin + cells_->horizontalHeader()->height() + layout()->itemAt(1)->sizeHint().height();
  for (int r = 0; r < cells_->rowCount(); ++r) height += cells_->rowHeight(r);
  if (const QScreen* found = screen()) {
    const QSize largest = found->availableSize() * kLargestScreenShare;
    width = std::min(width, largest.width());
    height = std::min(height, largest.height());
  }
  resize(width, height);
}
