#include "platform/qt/controlwidgets.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "platform/dialog.h"

namespace {

QRgb Opaque(Pixel p) { return 0xFF000000u | (p & 0x00FFFFFFu); }

}  // namespace

QImage ImageOf(const PixelSurface& surface) {
  QImage image(surface.Width(), surface.Height(), QImage::Format_RGB32);
  CopyInto(image, surface, image.rect());
  return image;
}

void CopyInto(QImage& image, const PixelSurface& surface, const QRect& rect) {
  const QRect clipped = rect.intersected(QRect(0, 0, surface.Width(), surface.Height())).intersected(image.rect());
  for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
    const Pixel* from = surface.Row(y);
    auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = clipped.left(); x <= clipped.right(); ++x) to[x] = Opaque(from[x]);
  }
}

QImage IconImageOf(const IconResource& icon, const IconImage& image) {
  QImage out(image.size, image.size, QImage::Format_RGB32);
  for (int y = 0; y < image.size; ++y)
    for (int x = 0; x < image.size; ++x) out.setPixel(x, y, Opaque(icon.PixelAt(image, x, y)));
  return out;
}

void DialogButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  option.icon = QIcon();
  painter.drawControl(QStyle::CE_PushButtonBevel, option);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  const int shift = isDown() ? 1 : 0;
  painter.drawText(rect().translated(shift, shift), Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

PictureWidget::PictureWidget(const Control& control, QWidget* parent) : QWidget(parent), control_(control) {}

void PictureWidget::paintEvent(QPaintEvent*) {
  if (!control_.bitmap) return;
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), ImageOf(control_.bitmap->Surface()));
}

GroupFrame::GroupFrame(const QString& title, QWidget* parent) : QWidget(parent), title_(title) {}

void GroupFrame::SetTitle(const QString& title) {
  title_ = title;
  update();
}

void GroupFrame::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QFontMetrics metrics = fontMetrics();
  const int top = metrics.height() / 2;
  const QRect frame(0, top, width() - 2, height() - top - 2);
  painter.setPen(palette().color(QPalette::Light));
  painter.drawRect(frame.translated(1, 1));
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawRect(frame);
  if (title_.isEmpty()) return;
  const QRect text(kTitleIndent, 0, metrics.horizontalAdvance(title_), metrics.height());
  painter.fillRect(text.adjusted(-2, 0, 2, 0), palette().color(QPalette::Window));
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, title_);
}

IconWidget::IconWidget(const IconResource* icon, QWidget* parent) : QWidget(parent) {
  if (icon) image_ = IconImageOf(*icon, icon->large);
}

void IconWidget::paintEvent(QPaintEvent*) {
  if (image_.isNull()) return;
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), image_);
}

void VerticalLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(font());
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  // Turned about the top right corner: the text's top faces the right side.
  painter.translate(width(), 0);
  painter.rotate(90);
  painter.drawText(QRect(0, 0, height(), width()), Qt::AlignCenter, text());
}
