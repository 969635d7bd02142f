// Modal dialogs built from templates, their controls held in memory, and data exchange.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gdi.h"
#include "platform/resources.h"
#include "platform/surface.h"
#include "platform/types.h"

class CDataExchange;

// A child window of a dialog, as the layer holds it.
struct Control {
  const ControlTemplate* tmpl = nullptr;
  std::string text;                // caption of buttons and labels, text of edits
  int check = 0;                   // check boxes: 0 or 1
  std::vector<std::string> items;  // combo box entries
  int curSel = CB_ERR;             // combo box selection
  bool enabled = true;
  const CBitmap* bitmap = nullptr;  // picture controls
  std::string lastWritten;          // the text that last went between control and field
  double lastValue = 0;             // the exact field value that text stands for
  std::string invalidMessage;       // non-empty while the text could not be taken
  std::string reportedMessage;      // what the host was last told of that
  std::string tip;                  // what the program says of the value, shown on pointing at it

  int Id() const { return tmpl->id; }
  ControlKind Kind() const { return tmpl->kind; }
  // The text `show` prints: check state, entries with the selection marked, or the text.
  std::string Describe() const;
};

struct MenuItem {
  UINT flags;
  UINT id;
  std::string text;
  std::string scriptName;  // the script command that chooses this entry; "" for none
};

class CMenu {
 public:
  BOOL AppendMenu(UINT flags, UINT id = 0, const std::string& text = {}, const std::string& scriptName = {});
  const std::vector<MenuItem>& Items() const { return items_; }

 private:
  std::vector<MenuItem> items_;
};

// One menu of a dialog's menu bar; its entries send WM_SYSCOMMAND with their id, as the system
// menu's do.
struct MenuBarMenu {
  std::string title;
  CMenu menu;
};

// Base of control objects that data exchange attaches to a dialog's child window.
class CWndControl {
 public:
  bool IsAttached() const { return control_ != nullptr; }
  void Attach(CDialog* dialog, Control* control) {
    dialog_ = dialog;
    control_ = control;
  }

 protected:
  void Changed();
  CDialog* dialog_ = nullptr;
  Control* control_ = nullptr;
};

class CComboBox : public CWndControl {
 public:
  int GetCurSel() const;
  int SetCurSel(int index);  // never notifies: only the user's pick sends a selection change
  int GetCount() const;
  void ResetContent();
  int InsertString(int index, const std::string& text);
};

class CStatic : public CWndControl {
 public:
  // Shows `bitmap` (kept by reference); returns the bitmap shown before.
  const CBitmap* SetBitmap(const CBitmap* bitmap);
  const CBitmap* GetBitmap() const;
};

class CDialog {
 public:
  explicit CDialog(UINT templateId);
  virtual ~CDialog();
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Runs the dialog modally through the host; returns the value given to EndDialog.
  INT_PTR DoModal();
  void EndDialog(INT_PTR result);

  // TRUE: controls -> fields; FALSE: fields -> controls. Notifications are locked out meanwhile.
  // FALSE when some text could not be taken.
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  // Marks every edit whose text its field would refuse, and clears the others; writes no field.
  void ValidateControls();
  // What the program says of control `id`'s value, shown when the user points at it.
  void SetControlTip(int id, const std::string& tip);
  // The dialog's title, the template's caption until the program sets another.
  void SetWindowText(const std::string& text);
  std::string GetWindowText() const { return title_; }

  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(CDataExchange* dx);

  // A script command that the program carries out itself, with the words after its name: nothing
  // when it ran (what it refused reaches the user as messages), otherwise what is wrong with the
  // words. A dialog that takes no such command says so.
  virtual std::optional<std::string> OnCommand(const std::string& name, const std::vector<std::string>& args);

  // Sends a message through the dialog's message map and the default handling.
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  CMenu* GetSystemMenu(BOOL revert);
  // A menu at the end of the dialog's menu bar, above its client area (which it does not move).
  CMenu& AddMenuBarMenu(const std::string& title) { return menuBar_.emplace_back(MenuBarMenu{title, {}}).menu; }
  const std::deque<MenuBarMenu>& MenuBar() const { return menuBar_; }
  HICON SetIcon(HICON icon, BOOL bigIcon);
  HICON GetIcon(BOOL bigIcon) const { return bigIcon ? bigIcon_ : smallIcon_; }
  void GetClientRect(CRect* rect) const;
  // WM_TIMER with `id` every `milliseconds` from the host, until KillTimer(id).
  void SetTimer(UINT_PTR id, UINT milliseconds);
  void KillTimer(UINT_PTR id);

  // --- Used by hosts -----------------------------------------------------------------------
  // Creates the controls from the template and the client surface, then runs OnInitDialog.
  void Realise();
  bool HasEnded() const { return ended_; }
  INT_PTR Result() const { return result_; }
  const DialogTemplate& Template() const { return *template_; }

  std::vector<Control>& Controls() { return controls_; }
  const std::vector<Control>& Controls() const { return controls_; }
  Control* FindControl(int id);
  const Control* FindControl(int id) const;

  PixelSurface& ClientSurface() { return client_; }
  const PixelSurface& ClientSurface() const { return client_; }
  void ClientSurfaceChanged(const CRect& rect);
  const CMenu& SystemMenu() const { return systemMenu_; }

  // What the user does; each sends the notification the real control sends.
  void UserEditText(int id, const std::string& text);  // one keystroke's result, EN_CHANGE
  void UserClick(int id);                              // check boxes toggle first, BN_CLICKED
  void UserSelect(int id, int index);                  // CBN_SELCHANGE

  // --- Used by data exchange and control objects ------------------------------------------
  bool NotificationsLocked() const { return exchangeDepth_ > 0; }
  void SetControlText(Control& control, const std::string& text);
  void SetControlCheck(Control& control, int check);
  // Marks the control's text as not taken; the host is told once per message unless `report`
  // is false (the text is checked as it is typed, before anything reads it).
  void MarkInvalid(Control& control, const std::string& message, bool report = true);
  void ClearInvalid(Control& control);
  void ControlStateChanged(Control& control);

 protected:
  // The derived dialog's message map; returns true when an entry handled the message.
  virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual void OnOK();
  virtual void OnCancel();
  // The standard handling of a system command (closing) and of a paint message.
  void OnSysCommand(UINT id, LPARAM lParam);
  void OnPaint();

 private:
  LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

  const DialogTemplate* template_;
  std::vector<Control> controls_;
  PixelSurface client_;
  CMenu systemMenu_;
  std::deque<MenuBarMenu> menuBar_;  // a deque: a menu added keeps those before it in place
  std::string title_;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  int exchangeDepth_ = 0;
  bool realised_ = false;
  bool ended_ = false;
  INT_PTR result_ = 0;
};

// The face colour of dialogs.
inline constexpr Pixel kDialogFace = 0xF0F0F0;
