#include "platform/qt/dialogfont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QString>
#include <QStyle>

#include <algorithm>

namespace {

// Families that read well small, in the order they are preferred; the toolkit's own font is
// the last resort.
constexpr const char* kFamilies[] = {"DejaVu Sans", "Liberation Sans", "Noto Sans", "DejaVu Sans Condensed"};
// The dialog template is laid out for an 8-point font of 11 pixels at 96 dpi; never larger, and
// never so small that it cannot be read.
constexpr int kLargestPixels = 11;
constexpr int kSmallestPixels = 7;

QString Caption(const ControlTemplate& control) {
  return QString::fromUtf8(control.caption.data(), static_cast<qsizetype>(control.caption.size()));
}

QFont Sized(const QString& family, int pixels) {
  QFont font = family.isEmpty() ? QFont() : QFont(family);
  font.setPixelSize(pixels);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

}  // namespace

QRect CaptionRoom(const ControlTemplate& control, const QStyle& style, const QFont& font) {
  const CRect r = control.PixelRect();
  const QRect whole(0, 0, r.Width(), r.Height());
  switch (control.kind) {
    case ControlKind::PushButton:
      return whole.adjusted(1, 0, -1, 0);  // inside the bevel's sides
    case ControlKind::CheckBox: {
      const int indicator =
          style.pixelMetric(QStyle::PM_IndicatorWidth) + style.pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
      return whole.adjusted(indicator, 0, 0, 0);
    }
    case ControlKind::Label:
      // A turned label's text runs down its height.
      return (control.style & kStyleVertical) ? QRect(0, 0, r.Height(), r.Width()) : whole;
    case ControlKind::GroupBox: {
      const int height = QFontMetrics(font).height();
      return QRect(8, 0, std::max(0, r.Width() - 16), height);  // the title interrupts the top line
    }
    default:
      return whole;
  }
}

bool CaptionFits(const ControlTemplate& control, const QStyle& style, const QFont& font) {
  if (control.caption.empty() || control.kind == ControlKind::Edit || control.kind == ControlKind::ComboBox)
    return true;
  const QFontMetrics metrics(font);
  const QString text = QString(Caption(control)).remove(QLatin1Char('&'));
  const QRect room = CaptionRoom(control, style, font);
  return metrics.horizontalAdvance(text) <= room.width() && metrics.height() <= room.height();
}

QFont DialogFont(const DialogTemplate& dialog, const QStyle& style) {
  QStringList families;
  for (const char* family : kFamilies)
    if (QFontDatabase::hasFamily(QString::fromLatin1(family))) families << QString::fromLatin1(family);
  families << QString();
  for (int pixels = kLargestPixels; pixels >= kSmallestPixels; --pixels) {
    for (const QString& family : families) {
      const QFont font = Sized(family, pixels);
      const bool fits = std::all_of(dialog.controls.begin(), dialog.controls.end(),
                                    [&](const ControlTemplate& c) { return CaptionFits(c, style, font); });
      if (fits) return font;
    }
  }
  return Sized(families.front(), kSmallestPixels);
}

int ClosedListHeight(const QFont& font) { return QFontMetrics(font).height() + 8; }
