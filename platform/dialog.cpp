#include "platform/dialog.h"

#include <algorithm>

#include "platform/ddx.h"
#include "platform/host.h"

std::string Control::Describe() const {
  switch (Kind()) {
    case ControlKind::CheckBox:
      return check ? "1" : "0";
    case ControlKind::ComboBox: {
      std::string out;
      for (std::size_t k = 0; k < items.size(); ++k) {
        if (k) out += " | ";
        out += static_cast<int>(k) == curSel ? "[" + items[k] + "]" : items[k];
      }
      return out;
    }
    default:
      return text;
  }
}

BOOL CMenu::AppendMenu(UINT flags, UINT id, const std::string& text, const std::string& scriptName) {
  items_.push_back({flags, id, (flags & MF_SEPARATOR) ? std::string() : text, scriptName});
  return TRUE;
}

void CWndControl::Changed() {
  if (dialog_ && control_) dialog_->ControlStateChanged(*control_);
}

int CComboBox::GetCurSel() const { return control_ ? control_->curSel : CB_ERR; }

int CComboBox::SetCurSel(int index) {
  if (!control_) return CB_ERR;
  const bool valid = index >= 0 && index < GetCount();
  control_->curSel = valid ? index : CB_ERR;
  Changed();
  return valid ? index : CB_ERR;
}

int CComboBox::GetCount() const { return control_ ? static_cast<int>(control_->items.size()) : 0; }

void CComboBox::ResetContent() {
  if (!control_) return;
  control_->items.clear();
  control_->curSel = CB_ERR;
  Changed();
}

int CComboBox::InsertString(int index, const std::string& text) {
  if (!control_ || index < -1 || index > GetCount()) return CB_ERR;
  const int at = index == -1 ? GetCount() : index;
  control_->items.insert(control_->items.begin() + at, text);
  if (control_->curSel >= at) ++control_->curSel;
  Changed();
  return at;
}

const CBitmap* CStatic::SetBitmap(const CBitmap* bitmap) {
  if (!control_) return nullptr;
  const CBitmap* previous = control_->bitmap;
  control_->bitmap = bitmap;
  Changed();
  return previous;
}

const CBitmap* CStatic::GetBitmap() const { return control_ ? control_->bitmap : nullptr; }

CDialog::CDialog(UINT templateId) : template_(FindDialogTemplate(templateId)) {
  if (template_) title_ = std::string(template_->caption);
}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
  if (!template_) return -1;
  return AfxGetHost().RunModal(*this);
}

void CDialog::EndDialog(INT_PTR result) {
  ended_ = true;
  result_ = result;
}

void CDialog::Realise() {
  controls_.clear();
  controls_.reserve(template_->controls.size());
  for (const ControlTemplate& t : template_->controls) {
    Control c;
    c.tmpl = &t;
    c.enabled = (t.style & kStyleDisabled) == 0;
    if (t.kind != ControlKind::Edit && t.kind != ControlKind::ComboBox) c.text = std::string(t.caption);
    controls_.push_back(std::move(c));
  }
  client_.Reset(template_->PixelWidth(), template_->PixelHeight(), kDialogFace);
  realised_ = true;
  ended_ = false;
  OnInitDialog();
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  ++exchangeDepth_;
  DoDataExchange(&dx);
  --exchangeDepth_;
  return dx.Failed() ? FALSE : TRUE;
}

void CDialog::ValidateControls() {
  CDataExchange dx(this, TRUE, true);
  ++exchangeDepth_;
  DoDataExchange(&dx);
  --exchangeDepth_;
}

void CDialog::SetWindowText(const std::string& text) {
  if (title_ == text) return;
  title_ = text;
  if (realised_) AfxGetHost().TitleChanged(*this);
}

void CDialog::SetControlTip(int id, const std::string& tip) {
  Control* control = FindControl(id);
  if (!control || control->tip == tip) return;
  control->tip = tip;
  ControlStateChanged(*control);
}

Control* CDialog::FindControl(int id) {
  auto it = std::find_if(controls_.begin(), controls_.end(), [id](const Control& c) { return c.Id() == id; });
  return (id == IDC_STATIC || it == controls_.end()) ? nullptr : &*it;
}

const Control* CDialog::FindControl(int id) const { return const_cast<CDialog*>(this)->FindControl(id); }

void CDialog::ClientSurfaceChanged(const CRect& rect) {
  if (realised_) AfxGetHost().SurfaceChanged(*this, rect);
}

void CDialog::ControlStateChanged(Control& control) {
  if (realised_) AfxGetHost().ControlChanged(*this, control);
}

void CDialog::SetControlText(Control& control, const std::string& text) {
  if (control.text == text) return;
  control.text = text;
  ControlStateChanged(control);
  if (control.Kind() == ControlKind::Edit && !NotificationsLocked())
    SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<UINT>(control.Id()), EN_CHANGE));
}

void CDialog::SetControlCheck(Control& control, int check) {
  if (control.check == check) return;
  control.check = check;
  ControlStateChanged(control);
}

void CDialog::MarkInvalid(Control& control, const std::string& message, bool report) {
  if (control.invalidMessage != message) {
    control.invalidMessage = message;
    ControlStateChanged(control);
  }
  if (!report || control.reportedMessage == message) return;  // told once, not once per exchange
  control.reportedMessage = message;
  AfxGetHost().ReportInvalid(*this, control, message);
}

void CDialog::ClearInvalid(Control& control) {
  control.reportedMessage.clear();
  if (control.invalidMessage.empty()) return;
  control.invalidMessage.clear();
  ControlStateChanged(control);
}

void CDialog::UserEditText(int id, const std::string& text) {
  Control* control = FindControl(id);
  if (!control || control->Kind() != ControlKind::Edit || !control->enabled) return;
  control->text = text;
  // The edit shows at once whether its text can be taken, whether or not a handler reads it.
  ValidateControls();
  SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<UINT>(id), EN_CHANGE));
}

void CDialog::UserClick(int id) {
  Control* control = FindControl(id);
  if (!control || !control->enabled) return;
  if (control->Kind() == ControlKind::CheckBox) SetControlCheck(*control, control->check ? 0 : 1);
  SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<UINT>(id), BN_CLICKED));
}

void CDialog::UserSelect(int id, int index) {
  Control* control = FindControl(id);
  if (!control || control->Kind() != ControlKind::ComboBox || !control->enabled) return;
  if (index < 0 || index >= static_cast<int>(control->items.size())) return;
  control->curSel = index;
  SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<UINT>(id), CBN_SELCHANGE));
}

void CDialog::SetTimer(UINT_PTR id, UINT milliseconds) { AfxGetHost().SetTimer(*this, id, milliseconds); }
void CDialog::KillTimer(UINT_PTR id) { AfxGetHost().KillTimer(*this, id); }

LRESULT CDialog::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (OnWndMsg(message, wParam, lParam, &result)) return result;
  return DefaultHandling(message, wParam, lParam);
}

bool CDialog::OnWndMsg(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

LRESULT CDialog::DefaultHandling(UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    if (static_cast<int>(LOWORD(wParam)) == IDOK) OnOK();
    if (static_cast<int>(LOWORD(wParam)) == IDCANCEL) OnCancel();
  } else if (message == WM_SYSCOMMAND && (wParam & 0xFFF0u) == SC_CLOSE) {
    OnCancel();
  }
  return 0;
}

void CDialog::OnOK() {
  if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnSysCommand(UINT id, LPARAM lParam) { DefaultHandling(WM_SYSCOMMAND, id, lParam); }

void CDialog::OnPaint() {}

CMenu* CDialog::GetSystemMenu(BOOL) { return &systemMenu_; }

HICON CDialog::SetIcon(HICON icon, BOOL bigIcon) {
  HICON& slot = bigIcon ? bigIcon_ : smallIcon_;
  HICON previous = slot;
  slot = icon;
  return previous;
}


void CDialog::GetClientRect(CRect* rect) const { *rect = {0, 0, client_.Width(), client_.Height()}; }

std::optional<std::string> CDialog::OnCommand(const std::string& name, const std::vector<std::string>&) {
  std::string why = "this window takes no command '";
  why += name;
  return why + "'";
}
