#include "platform/qt/figurewindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// The figure's width on the screen; its file is drawn at 300 dots per inch, far wider.
constexpr int kFigureWidth = 860;
// Rows of the table shown without scrolling.
constexpr int kRowsShown = 8;
// The table's frame around its cells; the window never grows past this share of the screen.
constexpr int kCellsFrame = 4;
constexpr double kLargestScreenShare = 0.9;
// Each zoom shows half or twice the frames; at most it shows this few.
constexpr double kZoomStep = 2.0;
constexpr double kFewestFramesShown = 20.0;
// Steps of the scroll bar over the frames.
constexpr int kScrollSteps = 1000;

QPixmap PixmapOf(const std::string& png) {
  QPixmap pixmap;
  if (!png.empty() &&
      pixmap.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<uint>(png.size()), "PNG"))
    pixmap = pixmap.scaledToWidth(kFigureWidth, Qt::SmoothTransformation);
  return pixmap;
}

}  // namespace

FigureWindow::FigureWindow(QWidget* parent)
    : QDialog(parent),
      pages_(new QComboBox),
      choice_(new QCheckBox),
      zoomIn_(new QPushButton(QStringLiteral("Zoom &in"))),
      zoomOut_(new QPushButton(QStringLiteral("Zoom &out"))),
      whole_(new QPushButton(QStringLiteral("&Whole trace"))),
      figure_(new QLabel),
      frames_(new QScrollBar(Qt::Horizontal)),
      cells_(new QTableWidget) {
  figure_->setAlignment(Qt::AlignCenter);
  figure_->setMinimumSize(kFigureWidth, kFigureWidth * 75 / 170);
  cells_->verticalHeader()->hide();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
  QObject::connect(copy, &QPushButton::clicked, this,
                   [this] { QApplication::clipboard()->setText(QString::fromStdString(view_.table.copyText)); });
  QObject::connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  QObject::connect(pages_, &QComboBox::currentIndexChanged, this, [this](int page) { ShowPage(page); });
  QObject::connect(choice_, &QCheckBox::clicked, this, [this](bool chosen) { Choose(chosen); });
  QObject::connect(zoomIn_, &QPushButton::clicked, this, [this] { Zoom(1 / kZoomStep); });
  QObject::connect(zoomOut_, &QPushButton::clicked, this, [this] { Zoom(kZoomStep); });
  QObject::connect(whole_, &QPushButton::clicked, this, [this] { Zoom(0); });
  // Return closes the window, as in any dialog; it never zooms.
  for (QPushButton* button : {zoomIn_, zoomOut_, whole_}) button->setAutoDefault(false);
  frames_->setRange(0, kScrollSteps);
  QObject::connect(frames_, &QScrollBar::valueChanged, this, [this](int value) {
    if (page_ >= view_.pageFrames.size()) return;
    const auto [first, last] = view_.pageFrames[page_];
    firstShown_ = first + (last - first) * (1 - shownShare_) * value / kScrollSteps;
    DrawFigure();
  });
  auto* top = new QHBoxLayout;
  top->addWidget(pages_);
  top->addWidget(choice_);
  top->addStretch();
  top->addWidget(zoomIn_);
  top->addWidget(zoomOut_);
  top->addWidget(whole_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(figure_);
  layout->addWidget(frames_);
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
  const bool alongFrames = !view.pageFrames.empty() && view.framesFigure;
  for (QWidget* control : std::initializer_list<QWidget*>{zoomIn_, zoomOut_, whole_, frames_})
    control->setVisible(alongFrames);
  choice_->setVisible(!view.choice.empty());
  choice_->setText(QString::fromStdString(view.choice));
  const int shown = std::min(static_cast<int>(view.shown), static_cast<int>(view.pages.size()) - 1);
  pages_->setCurrentIndex(shown);
  ShowPage(shown);
}

void FigureWindow::ShowPage(int page) {
  if (page < 0 || static_cast<std::size_t>(page) >= view_.pageRows.size()) return;
  const auto k = static_cast<std::size_t>(page);
  page_ = k;
  shownShare_ = 1;
  firstShown_ = k < view_.pageFrames.size() ? view_.pageFrames[k].first : 0;
  {
    const QSignalBlocker quiet(frames_);
    frames_->setValue(0);
    frames_->setEnabled(false);
  }
  if (k < view_.chosen.size()) choice_->setChecked(view_.chosen[k]);
  DrawFigure();
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

void FigureWindow::DrawFigure() {
  const std::size_t k = page_;
  const bool zoomed = shownShare_ < 1 && k < view_.pageFrames.size() && view_.framesFigure;
  QPixmap pixmap;
  if (zoomed) {
    const auto [first, last] = view_.pageFrames[k];
    pixmap = PixmapOf(view_.framesFigure(k, {firstShown_, firstShown_ + (last - first) * shownShare_}));
  } else {
    if (!drawn_.contains(k)) drawn_[k] = PixmapOf(view_.figure ? view_.figure(k) : std::string());
    pixmap = drawn_[k];
  }
  if (pixmap.isNull())
    figure_->setText(QStringLiteral("The figure cannot be drawn."));
  else
    figure_->setPixmap(pixmap);
}

void FigureWindow::Zoom(double factor) {
  if (page_ >= view_.pageFrames.size()) return;
  const auto [first, last] = view_.pageFrames[page_];
  const double span = last - first;
  const double middle = firstShown_ + span * shownShare_ / 2;
  const double fewest = std::min(1.0, kFewestFramesShown / span);
  shownShare_ = factor == 0 ? 1 : std::clamp(shownShare_ * factor, fewest, 1.0);
  firstShown_ = std::clamp(middle - span * shownShare_ / 2, first, last - span * shownShare_);
  const QSignalBlocker quiet(frames_);
  frames_->setEnabled(shownShare_ < 1);
  frames_->setPageStep(static_cast<int>(std::lround(kScrollSteps * shownShare_)));
  frames_->setValue(shownShare_ < 1 ? static_cast<int>(std::lround(kScrollSteps * (firstShown_ - first) /
                                                                   (span * (1 - shownShare_))))
                                    : 0);
  DrawFigure();
}

void FigureWindow::Choose(bool chosen) {
  const std::size_t k = page_;
  if (!view_.choose || k >= view_.chosen.size()) return;
  if (view_.choose(k, chosen)) {
    view_.chosen[k] = chosen;
    drawn_.erase(k);
    DrawFigure();
  }
  choice_->setChecked(view_.chosen[k]);
}
