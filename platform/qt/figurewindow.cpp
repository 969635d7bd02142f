#include "platform/qt/figurewindow.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The figure's width on the screen; its file is drawn at 300 dots per inch, far wider.
constexpr int kFigureWidth = 860;
// Rows of the table shown without scrolling.
constexpr int kRowsShown = 8;
// The table's frame around its cells; the window never grows past this share of the screen.
constexpr int kCellsFrame = 4;
constexpr double kLargestScreenShare = 0.9;

}  // namespace

FigureWindow::FigureWindow(QWidget* parent)
    : QDialog(parent), pages_(new QComboBox), figure_(new QLabel), cells_(new QTableWidget) {
  figure_->setAlignment(Qt::AlignCenter);
  figure_->setMinimumSize(kFigureWidth, kFigureWidth * 75 / 170);
  cells_->verticalHeader()->hide();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
  QObject::connect(copy, &QPushButton::clicked, this,
                   [this] { QApplication::clipboard()->setText(QString::fromStdString(view_.table.copyText)); });
  QObject::connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  QObject::connect(pages_, &QComboBox::currentIndexChanged, this, [this](int page) { ShowPage(page); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_, 0, Qt::AlignLeft);
  layout->addWidget(figure_);
  layout->addWidget(cells_);
  layout->addWidget(buttons);
}

void FigureWindow::Fill(const FiguresView& view) {
  view_ = view;
  drawn_.clear();
  setWindowTitle(QString::fromStdString(view.table.title));
  const QSignalBlocker quiet(pages_);
  pages_->clear();
  for (const std::string& page : view.pages) pages_->addItem(QString::fromStdString(page));
  cells_->setColumnCount(static_cast<int>(view.table.columns.size()));
  QStringList headers;
  for (const std::string& column : view.table.columns) headers << QString::fromStdString(column);
  cells_->setHorizontalHeaderLabels(headers);
  const int shown = std::min(static_cast<int>(view.shown), static_cast<int>(view.pages.size()) - 1);
  pages_->setCurrentIndex(shown);
  ShowPage(shown);
}

void FigureWindow::ShowPage(int page) {
  if (page < 0 || static_cast<std::size_t>(page) >= view_.pageRows.size()) return;
  const auto k = static_cast<std::size_t>(page);
  if (!drawn_.contains(k)) {
    QPixmap pixmap;
    const std::string png = view_.figure ? view_.figure(k) : std::string();
    if (!png.empty() && pixmap.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<uint>(png.size()),
                                            "PNG"))
      pixmap = pixmap.scaledToWidth(kFigureWidth, Qt::SmoothTransformation);
    drawn_[k] = pixmap;
  }
  if (drawn_[k].isNull())
    figure_->setText(QStringLiteral("The figure cannot be drawn."));
  else
    figure_->setPixmap(drawn_[k]);
  const std::vector<std::vector<std::string>>& rows = view_.pageRows[k];
  cells_->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < cells_->rowCount(); ++r)
    for (int c = 0; c < cells_->columnCount() && c < static_cast<int>(rows[static_cast<std::size_t>(r)].size()); ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]));
      item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
      cells_->setItem(r, c, item);
    }
  cells_->resizeColumnsToContents();
  int height = cells_->horizontalHeader()->height() + kCellsFrame;
  for (int r = 0; r < std::min(kRowsShown, cells_->rowCount()); ++r) height += cells_->rowHeight(r);
  cells_->setMinimumHeight(height);
  // Every column whole where the screen has room.
  int width = kCellsFrame + cells_->verticalScrollBar()->sizeHint().width();
  for (int c = 0; c < cells_->columnCount(); ++c) width += cells_->columnWidth(c);
  if (const QScreen* found = screen()) width = std::min(width, static_cast<int>(found->availableSize().width() * kLargestScreenShare));
  cells_->setMinimumWidth(std::max(width, kFigureWidth));
}
