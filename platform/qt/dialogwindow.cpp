#include "platform/qt/dialogwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QWindow>

#include <algorithm>

#include "platform/dialog.h"
#include "platform/qt/controlwidgets.h"
#include "platform/qt/dialogfont.h"
#include "platform/qt/qthost.h"

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

QRect RectOf(const ControlTemplate& t) {
  const CRect r = t.PixelRect();
  return {r.left, r.top, r.Width(), r.Height()};
}

QIcon WindowIcon(HICON big, HICON small) {
  QIcon icon;
  if (big) icon.addPixmap(QPixmap::fromImage(IconImageOf(*big, big->large)));
  if (small) icon.addPixmap(QPixmap::fromImage(IconImageOf(*small, small->small)));
  return icon;
}

// Around a grown edit: the gap it keeps to a neighbour's caption or frame, the inset of the
// group frame that moves with it, and the window edge it never crosses.
constexpr int kNeighbourGapPx = 4;
constexpr int kGroupInsetPx = 6;
constexpr int kWindowMarginPx = 3;

// The width in which an edit shows `text` whole, frame and margins included, as the edit itself
// would ask for it.
int WholeTextWidth(const QLineEdit& edit, const QString& text) {
  constexpr int kLineEditMarginPx = 2;  // the edit's own margin on either side of its text
  const QMargins text_margins = edit.textMargins(), contents = edit.contentsMargins();
  const int inner = edit.fontMetrics().horizontalAdvance(text) + 2 * kLineEditMarginPx + text_margins.left() +
                    text_margins.right() + contents.left() + contents.right();
  QStyleOptionFrame option;
  option.initFrom(&edit);
  option.lineWidth = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit);
  return edit.style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(inner, edit.height()), &edit).width();
}

constexpr QColor kInvalidTint(255, 214, 214);

// An edit's ground: tinted while its text could not be taken; the window's face while it only
// shows a value; otherwise the ground of every edit.
void PaintGround(QLineEdit& edit) {
  const QPalette& around = edit.parentWidget()->palette();
  QPalette palette = edit.palette();
  palette.setColor(QPalette::Base, edit.property("invalid").toBool() ? kInvalidTint
                                   : around.color(edit.isReadOnly() ? QPalette::Window : QPalette::Base));
  edit.setPalette(palette);
}

// An edit whose text could not be taken is tinted and tells why in its tooltip. Otherwise the
// tooltip is what the program has to say of the value, and a value still too long for its edit
// shows there in full.
void ShowValidity(QLineEdit& edit, const Control& control) {
  const bool invalid = !control.invalidMessage.empty();
  const bool cut = WholeTextWidth(edit, edit.text()) > edit.width();
  QString tip = invalid ? Text(control.invalidMessage) : Text(control.tip);
  if (!invalid && cut) tip = tip.isEmpty() ? edit.text() : edit.text() + QLatin1Char('\n') + tip;
  if (edit.property("invalid").toBool() == invalid && edit.toolTip() == tip) return;
  edit.setToolTip(tip);
  edit.setProperty("invalid", invalid);
  PaintGround(edit);
}

// An edit the program has disabled shows a value, which the user reads and may copy but not
// type over: read-only on the window's face, in the ink of every other text, never greyed.
void ShowEnabled(QLineEdit& edit, bool enabled) {
  edit.setEnabled(true);
  if (edit.isReadOnly() == !enabled) return;
  edit.setReadOnly(!enabled);
  edit.setFocusPolicy(enabled ? Qt::StrongFocus : Qt::ClickFocus);  // Tab passes it by, as a disabled one
  PaintGround(edit);
}

// A control's enabled state as the window shows it: an edit as ShowEnabled says, others as they are.
void ShowEnabledState(QWidget& widget, bool enabled) {
  if (auto* edit = qobject_cast<QLineEdit*>(&widget))
    ShowEnabled(*edit, enabled);
  else
    widget.setEnabled(enabled);
}

// The span of an edit whose text needs `needed` pixels: its own rectangle when that is wide
// enough; else wider to the right, up to `rightmost`, then to the left, down to `leftmost`.
QRect Widened(const QRect& base, int needed, int leftmost, int rightmost) {
  QRect span = base;
  if (needed <= base.width()) return span;
  span.setRight(std::max(base.right(), std::min(rightmost, base.left() + needed - 1)));
  if (span.width() < needed) span.setLeft(std::min(base.left(), std::max(leftmost, span.right() + 1 - needed)));
  return span;
}

bool SameLine(const QRect& a, const QRect& b) { return a.top() <= b.bottom() && b.top() <= a.bottom(); }

// The client area paints the dialog's surface at its own origin; the controls are its children,
// so the menu bar above moves all of it at once and nothing inside moves against the rest.
class ClientArea final : public QWidget {
 public:
  ClientArea(const QImage& surface, QWidget* parent) : QWidget(parent), surface_(surface) {}

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    const QRect area = event->rect().intersected(surface_.rect());
    painter.drawImage(area.topLeft(), surface_, area);
  }

 private:
  const QImage& surface_;
};

}  // namespace

DialogWindow::DialogWindow(QtHost& host, CDialog& dialog, QWidget* parent)
    : QDialog(parent), host_(host), dialog_(dialog) {
  const DialogTemplate& tmpl = dialog.Template();
  setWindowTitle(Text(dialog.GetWindowText()));
  // A fixed frame with a close box, no minimise or maximise box. The main dialog is a window of
  // its own (with its own task-bar entry); nested ones belong to their parent.
  setWindowFlags((parent ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(false);
  QPalette face = palette();
  face.setColor(QPalette::Window, QColor::fromRgb(kDialogFace));
  setPalette(face);
  setFont(DialogFont(tmpl, *style()));
  setWindowIcon(WindowIcon(dialog.GetIcon(TRUE), dialog.GetIcon(FALSE)));

  surface_ = ImageOf(dialog.ClientSurface());
  client_ = new ClientArea(surface_, this);
  MakeMenuBar();
  // The window is the client area and the bar above it, and keeps that size.
  const int barHeight = menuBar_ ? menuBar_->sizeHint().height() : 0;
  if (menuBar_) menuBar_->setGeometry(0, 0, tmpl.PixelWidth(), barHeight);
  client_->setGeometry(0, barHeight, tmpl.PixelWidth(), tmpl.PixelHeight());
  setFixedSize(tmpl.PixelWidth(), barHeight + tmpl.PixelHeight());
  for (const Control& control : dialog.Controls()) widgets_.push_back(MakeWidget(control));
  // Group boxes only frame the controls inside them: keep them below, and let clicks through.
  for (std::size_t k = 0; k < widgets_.size(); ++k)
    if (dialog.Controls()[k].Kind() == ControlKind::GroupBox) widgets_[k]->lower();
  FindValueEditRoom();
  FitValueEdits();

  // Exposure of the window is what paints it; the window system tells the native window.
  winId();
  if (QWindow* window = windowHandle()) window->installEventFilter(this);
}

DialogWindow::~DialogWindow() { host_.Forget(*this); }

void DialogWindow::MakeMenuBar() {
  if (dialog_.MenuBar().empty()) return;
  menuBar_ = new QMenuBar(this);
  // Our bar is ours to draw even where the desktop would take menus into a global bar: the
  // window's size and the place of the client below it must not depend on the desktop.
  menuBar_->setNativeMenuBar(false);
  for (const MenuBarMenu& bar : dialog_.MenuBar()) {
    QMenu* menu = menuBar_->addMenu(Text(bar.title));
    for (const MenuItem& item : bar.menu.Items()) {
      if (item.flags & MF_SEPARATOR) {
        menu->addSeparator();
        continue;
      }
      const UINT command = item.id;
      menu->addAction(Text(item.text), this, [this, command] { SystemCommand(command); });
    }
  }
}

QWidget* DialogWindow::MakeWidget(const Control& control) {
  const ControlTemplate& t = *control.tmpl;
  const int id = control.Id();
  QRect rect = RectOf(t);
  QWidget* widget = nullptr;
  switch (t.kind) {
    case ControlKind::PushButton: {
      auto* button = new DialogButton(Text(control.text), client_);
      button->setAutoDefault(false);
      connect(button, &QAbstractButton::clicked, this, [this, id] { host_.UserClicked(*this, id); });
      widget = button;
      break;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(Text(control.text), client_);
      box->setChecked(control.check != 0);
      // The box has toggled itself; the layer toggles its check the same way and notifies.
      connect(box, &QAbstractButton::clicked, this, [this, id] { host_.UserClicked(*this, id); });
      widget = box;
      break;
    }
    case ControlKind::Edit: {
      auto* edit = new QLineEdit(Text(control.text), client_);
      edit->setCursorPosition(0);
      connect(edit, &QLineEdit::textEdited, this,
              [this, id](const QString& text) { host_.UserEdited(*this, id, text.toStdString()); });
      ShowValidity(*edit, control);
      widget = edit;
      break;
    }
    case ControlKind::ComboBox: {
      auto* combo = new QComboBox(client_);
      for (const std::string& item : control.items) combo->addItem(Text(item));
      combo->setCurrentIndex(control.curSel);
      // The template's height is that of the opened list; closed, the box is one line high.
      const int closed = std::min(ClosedListHeight(font()), rect.height());
      combo->setMaxVisibleItems(std::max(1, (rect.height() - closed) / std::max(1, fontMetrics().height())));
      rect.setHeight(closed);
      // Only the user's pick notifies; setting the selection from the program does not.
      connect(combo, &QComboBox::activated, this, [this, id](int index) { host_.UserSelected(*this, id, index); });
      widget = combo;
      break;
    }
    case ControlKind::Picture:
      widget = new PictureWidget(control, client_);
      break;
    case ControlKind::Icon: {
      widget = new IconWidget(FindIcon(t.resourceId), client_);
      rect.setSize(rect.size().expandedTo(QSize(32, 32)));  // an icon is shown at its own size
      break;
    }
    case ControlKind::Label: {
      auto* label = (t.style & kStyleVertical) ? new VerticalLabel(Text(control.text), client_)
                                                : new QLabel(Text(control.text), client_);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(((t.style & kStyleCenter) ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
      label->setAttribute(Qt::WA_TransparentForMouseEvents);
      widget = label;
      break;
    }
    case ControlKind::GroupBox: {
      auto* group = new GroupFrame(Text(control.text), client_);
      group->setAttribute(Qt::WA_TransparentForMouseEvents);
      widget = group;
      break;
    }
  }
  widget->setGeometry(rect);
  ShowEnabledState(*widget, control.enabled);
  widget->setProperty("controlId", id);
  if (!t.name.empty()) widget->setObjectName(Text(std::string(t.name)));
  return widget;
}

void DialogWindow::FindValueEditRoom() {
  const auto& controls = dialog_.Controls();
  for (std::size_t k = 0; k < controls.size(); ++k) {
    if (controls[k].Kind() == ControlKind::Edit && (controls[k].tmpl->style & kStyleDisabled))
      valueEdits_.push_back({k, widgets_[k]->geometry(), kWindowMarginPx, client_->width() - 1 - kWindowMarginPx});
  }
  for (ValueEditRoom& room : valueEdits_) {
    const QRect& base = room.base;
    for (std::size_t j = 0; j < controls.size(); ++j) {
      const QRect other = widgets_[j]->geometry();
      if (j == room.edit || !SameLine(other, base)) continue;
      if (controls[j].Kind() == ControlKind::GroupBox && other.contains(base)) {
        // The frame moves with the edit, up to the window's edge; it keeps its inset on the left.
        room.rightmost = std::min(room.rightmost, client_->width() - 1 - kWindowMarginPx - kGroupInsetPx);
        room.leftmost = std::max(room.leftmost, other.left() + kGroupInsetPx);
        continue;
      }
      // A caption on the left ends where its text does; any other neighbour where its box does.
      const auto* label = qobject_cast<const QLabel*>(widgets_[j]);
      const int end = label && !(label->alignment() & Qt::AlignHCenter)
                          ? other.left() + label->fontMetrics().horizontalAdvance(label->text()) - 1
                          : other.right();
      if (other.left() > base.right()) room.rightmost = std::min(room.rightmost, other.left() - 1 - kNeighbourGapPx);
      else if (other.left() < base.left()) room.leftmost = std::max(room.leftmost, end + 1 + kNeighbourGapPx);
    }
  }
}

void DialogWindow::FitValueEdits() {
  const auto& controls = dialog_.Controls();
  const auto editOf = [&](const ValueEditRoom& room) { return static_cast<QLineEdit*>(widgets_[room.edit]); };
  std::vector<int> wants;
  for (const ValueEditRoom& room : valueEdits_) wants.push_back(WholeTextWidth(*editOf(room), editOf(room)->text()));
  // Edits that start in one column grow alike, to the width the longest of their values needs.
  std::vector<QRect> spans;
  for (const ValueEditRoom& room : valueEdits_) {
    int needed = 0, columnWidth = 0;
    for (std::size_t k = 0; k < valueEdits_.size(); ++k) {
      if (valueEdits_[k].base.left() != room.base.left()) continue;
      needed = std::max(needed, wants[k]);
      columnWidth = std::max(columnWidth, valueEdits_[k].base.width());
    }
    if (needed > room.base.width()) needed = std::max(needed, columnWidth);
    spans.push_back(Widened(room.base, needed, room.leftmost, room.rightmost));
    if (editOf(room)->geometry() != spans.back()) editOf(room)->setGeometry(spans.back());
  }
  // A group frame holds its grown edits with its inset around them.
  for (std::size_t g = 0; g < controls.size(); ++g) {
    if (controls[g].Kind() != ControlKind::GroupBox) continue;
    const QRect base = RectOf(*controls[g].tmpl);
    QRect frame = base;
    for (std::size_t k = 0; k < valueEdits_.size(); ++k) {
      if (!base.contains(valueEdits_[k].base)) continue;
      frame.setRight(std::max(frame.right(), spans[k].right() + kGroupInsetPx));
      frame.setLeft(std::min(frame.left(), spans[k].left() - kGroupInsetPx));
    }
    if (widgets_[g]->geometry() != frame) widgets_[g]->setGeometry(frame);
  }
}

QWidget* DialogWindow::WidgetOf(int id) const {
  const auto& controls = dialog_.Controls();
  for (std::size_t k = 0; k < controls.size() && k < widgets_.size(); ++k)
    if (controls[k].Id() == id) return widgets_[k];
  return nullptr;
}

QWidget* DialogWindow::WidgetOf(const Control& control) const {
  const auto& controls = dialog_.Controls();
  for (std::size_t k = 0; k < controls.size() && k < widgets_.size(); ++k)
    if (&controls[k] == &control) return widgets_[k];
  return nullptr;
}

void DialogWindow::Mirror(const Control& control) {
  QWidget* widget = WidgetOf(control);
  if (!widget) return;
  const QSignalBlocker quiet(widget);
  const QString text = Text(control.text);
  ShowEnabledState(*widget, control.enabled);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    if (edit->text() != text) {
      edit->setText(text);
      if (control.tmpl->style & kStyleDisabled) FitValueEdits();  // only value edits grow
      // A value the program shows is read from its start, as long as nobody is typing in it.
      if (!edit->hasFocus()) edit->setCursorPosition(0);
    }
    ShowValidity(*edit, control);
  } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
    box->setChecked(control.check != 0);
    if (box->text() != text) box->setText(text);
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    if (button->text() != text) button->setText(text);
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    QStringList items;
    for (const std::string& item : control.items) items << Text(item);
    QStringList shown;
    for (int k = 0; k < combo->count(); ++k) shown << combo->itemText(k);
    if (items != shown) {
      combo->clear();
      combo->addItems(items);
    }
    combo->setCurrentIndex(control.curSel);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    if (label->text() != text) label->setText(text);
  } else if (auto* group = qobject_cast<GroupFrame*>(widget)) {
    if (group->Title() != text) group->SetTitle(text);
  } else {
    widget->update();  // a picture: its bitmap was given again, or drawn into
  }
}

void DialogWindow::SurfaceChanged(const CRect& rect) {
  const QRect changed = QRect(rect.left, rect.top, rect.Width(), rect.Height()).intersected(surface_.rect());
  if (changed.isEmpty()) return;
  CopyInto(surface_, dialog_.ClientSurface(), changed);
  client_->update(changed);
}

bool DialogWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Expose && watched == windowHandle() && windowHandle()->isExposed()) host_.Exposed(*this);
  return QDialog::eventFilter(watched, event);
}

bool DialogWindow::TakePendingPaint() {
  const bool pending = paintPending_;
  paintPending_ = false;
  return pending;
}

UINT DialogWindow::AboutCommand() const {
  const auto& items = dialog_.SystemMenu().Items();
  const auto entry =
      std::find_if(items.begin(), items.end(), [](const MenuItem& m) { return !(m.flags & MF_SEPARATOR); });
  return entry == items.end() ? 0 : entry->id;
}

QMenu* DialogWindow::SystemMenu() {
  if (systemMenu_) systemMenu_->deleteLater();
  systemMenu_ = new QMenu(this);
  for (const MenuItem& item : dialog_.SystemMenu().Items()) {
    if (item.flags & MF_SEPARATOR) {
      systemMenu_->addSeparator();
      continue;
    }
    const UINT command = item.id;
    systemMenu_->addAction(Text(item.text), this, [this, command] { SystemCommand(command); });
  }
  if (!systemMenu_->isEmpty()) systemMenu_->addSeparator();
  systemMenu_->addAction(tr("&Close"), this, [this] { SystemCommand(SC_CLOSE); });
  return systemMenu_;
}

void DialogWindow::SystemCommand(UINT id) { host_.UserSystemCommand(*this, id); }

void DialogWindow::contextMenuEvent(QContextMenuEvent* event) {
  // The background menu belongs to the client area; the menu bar above has menus of its own.
  if (!client_->geometry().contains(event->pos())) {
    event->ignore();
    return;
  }
  SystemMenu()->popup(event->globalPos());
  event->accept();
}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      // A box closes with Escape; the main window only with its close box: closing it loses the
      // whole analysis, which a stray key must not do.
      if (parentWidget()) SystemCommand(SC_CLOSE);
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      PressEnter();
      break;
    case Qt::Key_F1:
      if (const UINT about = AboutCommand()) SystemCommand(about);
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  event->accept();
}

void DialogWindow::PressEnter() {
  // Enter presses the focused push button, or else the default one. A dialog without a default
  // button stays open: Enter typed into an edit must never throw the analysis away.
  if (auto* focused = qobject_cast<QPushButton*>(focusWidget()); focused && focused->isEnabled()) {
    focused->click();
    return;
  }
  const auto& controls = dialog_.Controls();
  for (std::size_t k = 0; k < controls.size(); ++k) {
    if (controls[k].Kind() != ControlKind::PushButton || !(controls[k].tmpl->style & kStyleDefault)) continue;
    if (auto* button = qobject_cast<QPushButton*>(widgets_[k]); button && button->isEnabled()) button->click();
    return;
  }
}

void DialogWindow::closeEvent(QCloseEvent* event) {
  // The close box is the system menu's Close; the dialog decides, and the window follows it.
  event->ignore();
  if (isVisible()) SystemCommand(SC_CLOSE);
}

void DialogWindow::reject() { SystemCommand(SC_CLOSE); }

void DialogWindow::CloseIfEnded() {
  if (dialog_.HasEnded()) done(static_cast<int>(dialog_.Result()));
}
