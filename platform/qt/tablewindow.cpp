#include "platform/qt/tablewindow.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
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

void RunTableWindow(const TableView& table, QWidget* parent) {
  QDialog window(parent);
  window.setWindowTitle(QString::fromStdString(table.title));

  auto* cells = new QTableWidget(static_cast<int>(table.rows.size()), static_cast<int>(table.columns.size()));
  QStringList headers;
  for (const std::string& column : table.columns) headers << QString::fromStdString(column);
  cells->setHorizontalHeaderLabels(headers);
  for (int r = 0; r < cells->rowCount(); ++r) {
    const std::vector<std::string>& row = table.rows[static_cast<std::size_t>(r)];
    for (int c = 0; c < cells->columnCount() && c < static_cast<int>(row.size()); ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(row[static_cast<std::size_t>(c)]));
      item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
      cells->setItem(r, c, item);
    }
  }
  cells->verticalHeader()->hide();
  cells->resizeColumnsToContents();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
  QObject::connect(copy, &QPushButton::clicked, &window,
                   [&table] { QApplication::clipboard()->setText(QString::fromStdString(table.copyText)); });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);

  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(cells);
  layout->addWidget(buttons);

  int width = kFrameMargin;
  for (int c = 0; c < cells->columnCount(); ++c) width += cells->columnWidth(c);
  int height = kFrameMargin + cells->horizontalHeader()->height() + buttons->sizeHint().height();
  for (int r = 0; r < cells->rowCount(); ++r) height += cells->rowHeight(r);
  if (const QScreen* screen = window.screen()) {
    const QSize largest = screen->availableSize() * kLargestScreenShare;
    width = std::min(width, largest.width());
    height = std::min(height, largest.height());
  }
  window.resize(width, height);
  window.exec();
}
