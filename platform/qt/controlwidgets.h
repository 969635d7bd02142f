// The widgets that stand for the layer's controls where a stock widget does not look or behave
// as the control does.
#pragma once

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "platform/resources.h"
#include "platform/surface.h"

struct Control;

// Pixels of the layer (0x00RRGGBB, the top byte unused) as an opaque image.
QImage ImageOf(const PixelSurface& surface);
// Copies `rect` of `surface` into the same place of `image`, which has the surface's size.
void CopyInto(QImage& image, const PixelSurface& surface, const QRect& rect);
QImage IconImageOf(const IconResource& icon, const IconImage& image);

// A push button whose caption is centred in the whole button, as small as the template makes
// it; the style only draws the bevel.
class DialogButton : public QPushButton {
  Q_OBJECT
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// A picture control: its bitmap at its top-left corner, pixel for pixel.
class PictureWidget : public QWidget {
  Q_OBJECT
 public:
  PictureWidget(const Control& control, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const Control& control_;
};

// A group box: an etched frame whose top line runs through the middle of its title, with the
// title at the left; it only frames, the controls inside stay uncovered.
class GroupFrame : public QWidget {
  Q_OBJECT
 public:
  GroupFrame(const QString& title, QWidget* parent);
  QString Title() const { return title_; }
  void SetTitle(const QString& title);
  // Where the title starts, from the frame's left side.
  static constexpr int kTitleIndent = 8;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString title_;
};

// An icon control: the large image of its icon.
class IconWidget : public QWidget {
  Q_OBJECT
 public:
  IconWidget(const IconResource* icon, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
};

// A label whose text is turned a quarter to the right, to read downwards along a side.
class VerticalLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent* event) override;
};
