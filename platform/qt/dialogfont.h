// The font of a dialog window: the largest that lets every caption of the template fit its
// control on one line.
#pragma once

#include <QFont>
#include <QRect>

#include "platform/resources.h"

class QStyle;

// The room a caption has inside its control (in the control's own coordinates), as `style`
// lays the control out.
QRect CaptionRoom(const ControlTemplate& control, const QStyle& style, const QFont& font);
// Whether the caption of `control` fits its room in `font`, on one line and in full height.
bool CaptionFits(const ControlTemplate& control, const QStyle& style, const QFont& font);

QFont DialogFont(const DialogTemplate& dialog, const QStyle& style);

// The height of a closed drop-down list in `font`; the template gives the opened height.
int ClosedListHeight(const QFont& font);
