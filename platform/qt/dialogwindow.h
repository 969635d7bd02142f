// A dialog of the layer shown as a real window: its controls as widgets at their template
// rectangles, its client surface painted underneath, and its menu bar, if it has one, above.
#pragma once

#include <QDialog>
#include <QImage>
#include <vector>

#include "platform/types.h"

class CDialog;
struct Control;
class QtHost;
class QMenu;
class QMenuBar;

class DialogWindow : public QDialog {
  Q_OBJECT
 public:
  // `dialog` must be realised; the window shows its controls as they are now.
  DialogWindow(QtHost& host, CDialog& dialog, QWidget* parent);
  ~DialogWindow() override;

  CDialog& Dialog() const { return dialog_; }
  // The dialog's client area: the surface and every control, in the dialog's own coordinates.
  // It sits below the menu bar when the dialog has one, at the window's top-left otherwise.
  QWidget* Client() const { return client_; }
  // The menu bar of the dialog, or null when it has none.
  QMenuBar* MenuBar() const { return menuBar_; }
  // The widget of the control with this id (the first, for unnamed ones), or null.
  QWidget* WidgetOf(int id) const;
  QWidget* WidgetOf(const Control& control) const;

  // The program changed a control or pixels of the client surface.
  void Mirror(const Control& control);
  void SurfaceChanged(const CRect& rect);

  // The entries of the system menu, with the standard Close at the end.
  QMenu* SystemMenu();
  // The first command entry the program put into the system menu (the About entry), or 0.
  UINT AboutCommand() const;

  // Handlers of this dialog are running: its paint messages wait until they are done.
  bool InHandler() const { return handlerDepth_ > 0; }
  void EnterHandler() { ++handlerDepth_; }
  void LeaveHandler() { --handlerDepth_; }
  bool TakePendingPaint();
  void SetPaintPending() { paintPending_ = true; }

  // Closes the window once the dialog has ended.
  void CloseIfEnded();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* MakeWidget(const Control& control);
  void MakeMenuBar();
  // An edit that shows a value (one the template disables) grows to show it whole, where its
  // line has room: FindValueEditRoom finds that room once, FitValueEdits sizes the edits (and
  // the group frames around them) to their texts.
  void FindValueEditRoom();
  void FitValueEdits();
  void SystemCommand(UINT id);
  void PressEnter();

  QtHost& host_;
  CDialog& dialog_;
  QImage surface_;
  QMenuBar* menuBar_ = nullptr;
  QWidget* client_ = nullptr;  // the surface's painter and every control's parent
  std::vector<QWidget*> widgets_;  // one per control, in template order
  struct ValueEditRoom {
    std::size_t edit;  // the index of its control
    QRect base;        // its template rectangle
    int leftmost;      // the columns it may take, at most
    int rightmost;
  };
  std::vector<ValueEditRoom> valueEdits_;
  QMenu* systemMenu_ = nullptr;
  int handlerDepth_ = 0;
  bool paintPending_ = false;
};
