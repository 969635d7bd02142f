#include "platform/headless/headless_host.h"

#include <algorithm>
#include <ostream>

#include "platform/png.h"

namespace {

// Unwinds from a failing script line back to the modal loop.
struct ScriptStop {
  int status;
};

}  // namespace

HeadlessHost::HeadlessHost(std::string name, std::vector<ScriptLine> lines, std::ostream& out, std::ostream& err)
    : name_(std::move(name)), lines_(std::move(lines)), out_(out), err_(err) {}

INT_PTR HeadlessHost::RunModal(CDialog& dialog) {
  if (depth_ > 0) {
    // A dialog opened by a handler (the About box) opens and is closed at once.
    dialog.Realise();
    dialog.EndDialog(IDOK);
    return IDOK;
  }
  ++depth_;
  dialog.Realise();
  // Shown as a window is: the first paint comes before anything the user does.
  dialog.SendMessage(WM_PAINT);
  try {
    for (const ScriptLine& line : lines_) {
      if (dialog.HasEnded()) break;
      Run(dialog, line);
    }
  } catch (const ScriptStop& stop) {
    status_ = stop.status;
  }
  if (!dialog.HasEnded()) dialog.SendMessage(WM_SYSCOMMAND, SC_CLOSE);
  --depth_;
  return dialog.Result();
}

void HeadlessHost::Fail(const ScriptLine& line, const std::string& message, int status) {
  err_ << name_ << ":" << line.number << ": " << message << std::endl;
  throw ScriptStop{status};
}

const Control& HeadlessHost::ControlArgument(const CDialog& dialog, const ScriptLine& line) {
  const Control* found = FindScriptControl(dialog, line.args[0]);
  if (!found) Fail(line, "no control '" + line.args[0] + "'");
  return *found;
}

void HeadlessHost::RequireUsable(const ScriptLine& line, const Control& control, bool rightKind, const char* what) {
  if (!rightKind) Fail(line, std::string(control.tmpl->name) + " is not " + what);
  if (!control.enabled) Fail(line, std::string(control.tmpl->name) + " is disabled");
}

void HeadlessHost::SaveImage(const ScriptLine& line, const std::string& path, const PixelSurface& surface,
                             const CRect& rect) {
  if (const auto failure = WritePng(path, surface, rect.left, rect.top, rect.Width(), rect.Height()))
    Fail(line, "cannot write '" + path + "': " + *failure);
}

void HeadlessHost::Run(CDialog& dialog, const ScriptLine& line) {
  if (!line.command) return ProgramCommand(dialog, line);
  // No default: the compiler names a verb that has no function here.
  switch (*line.command) {
    case ScriptCommand::Type:
      return Type(dialog, line);
    case ScriptCommand::Paste:
      return Paste(dialog, line);
    case ScriptCommand::Click:
      return Click(dialog, line);
    case ScriptCommand::Select:
      return Select(dialog, line);
    case ScriptCommand::Files:
      return Files(dialog, line);
    case ScriptCommand::Paint:
      return Paint(dialog, line);
    case ScriptCommand::About:
      return About(dialog, line);
    case ScriptCommand::Show:
      return Show(dialog, line);
    case ScriptCommand::Expect:
      return Expect(dialog, line);
    case ScriptCommand::SaveMap:
      return SaveMap(dialog, line);
    case ScriptCommand::SavePanel:
      return SavePanel(dialog, line);
    case ScriptCommand::SaveWindow:
      return SaveWindow(dialog, line);
    case ScriptCommand::Close:
      return Close(dialog, line);
  }
}

void HeadlessHost::Type(CDialog& dialog, const ScriptLine& line) {
  const Control& edit = ControlArgument(dialog, line);
  RequireUsable(line, edit, edit.Kind() == ControlKind::Edit, "an edit");
  const std::string& text = line.args[1];
  for (std::size_t length : KeystrokeLengths(text)) dialog.UserEditText(edit.Id(), text.substr(0, length));
}

void HeadlessHost::Paste(CDialog& dialog, const ScriptLine& line) {
  // The whole text in one change, as a paste or a deletion makes it.
  const Control& edit = ControlArgument(dialog, line);
  RequireUsable(line, edit, edit.Kind() == ControlKind::Edit, "an edit");
  dialog.UserEditText(edit.Id(), line.args[1]);
}

void HeadlessHost::Click(CDialog& dialog, const ScriptLine& line) {
  const Control& button = ControlArgument(dialog, line);
  RequireUsable(line, button, button.Kind() == ControlKind::PushButton || button.Kind() == ControlKind::CheckBox,
                "a button");
  dialog.UserClick(button.Id());
}

void HeadlessHost::Select(CDialog& dialog, const ScriptLine& line) {
  const Control& list = ControlArgument(dialog, line);
  RequireUsable(line, list, list.Kind() == ControlKind::ComboBox, "a list");
  const auto index = ScriptNumber(line.args[1]);
  if (!index || *index >= static_cast<int>(list.items.size()))
    Fail(line, std::string(list.tmpl->name) + " has no entry " + line.args[1]);
  dialog.UserSelect(list.Id(), *index);
}

void HeadlessHost::Files(CDialog&, const ScriptLine& line) { pendingFiles_ = ExpandScriptPaths(line.args); }

void HeadlessHost::Paint(CDialog& dialog, const ScriptLine&) { dialog.SendMessage(WM_PAINT); }

void HeadlessHost::About(CDialog& dialog, const ScriptLine& line) {
  const auto& items = dialog.SystemMenu().Items();
  const auto about =
      std::find_if(items.begin(), items.end(), [](const MenuItem& m) { return !(m.flags & MF_SEPARATOR); });
  if (about == items.end()) Fail(line, "the system menu has no About entry");
  dialog.SendMessage(WM_SYSCOMMAND, about->id);
}

void HeadlessHost::ProgramCommand(CDialog& dialog, const ScriptLine& line) {
  if (const auto wrong = dialog.OnCommand(line.name, line.args)) Fail(line, *wrong);
}

void HeadlessHost::Show(CDialog& dialog, const ScriptLine& line) {
  const Control& c = ControlArgument(dialog, line);
  out_ << c.tmpl->name << ": " << c.Describe() << std::endl;
}

void HeadlessHost::Expect(CDialog& dialog, const ScriptLine& line) {
  const Control& c = ControlArgument(dialog, line);
  const std::string& wanted = line.args[1];
  if (c.Describe() != wanted)
    Fail(line, "expected " + std::string(c.tmpl->name) + ": " + wanted + ", found: " + c.Describe(), kExitExpectFailed);
}

void HeadlessHost::SaveMap(CDialog& dialog, const ScriptLine& line) {
  const CRect* map = dialog.Template().Region(kMapRegionName);
  if (!map) Fail(line, "the dialog has no map");
  SaveImage(line, line.args[0], dialog.ClientSurface(), *map);
}

void HeadlessHost::SavePanel(CDialog& dialog, const ScriptLine& line) {
  const auto& controls = dialog.Controls();
  const auto picture = std::find_if(controls.begin(), controls.end(),
                                    [](const Control& c) { return c.Kind() == ControlKind::Picture && c.bitmap; });
  if (picture == controls.end()) Fail(line, "there is no panel bitmap");
  const PixelSurface& panel = picture->bitmap->Surface();
  SaveImage(line, line.args[0], panel, {0, 0, panel.Width(), panel.Height()});
}

void HeadlessHost::SaveWindow(CDialog& dialog, const ScriptLine& line) {
  PixelSurface window = dialog.ClientSurface();
  for (const Control& c : dialog.Controls()) {
    if (c.Kind() != ControlKind::Picture || !c.bitmap) continue;
    const CRect r = c.tmpl->PixelRect();
    const PixelSurface& bmp = c.bitmap->Surface();
    window.StretchFrom(bmp, r.left, r.top, bmp.Width(), bmp.Height(), 0, 0, bmp.Width(), bmp.Height());
  }
  SaveImage(line, line.args[0], window, {0, 0, window.Width(), window.Height()});
}

void HeadlessHost::Close(CDialog& dialog, const ScriptLine&) { dialog.SendMessage(WM_SYSCOMMAND, SC_CLOSE); }

std::optional<std::vector<std::string>> HeadlessHost::ChooseFiles(const FileDialogRequest&) {
  // Answered by the last `files` line; without one the dialog is cancelled.
  auto answer = std::move(pendingFiles_);
  pendingFiles_.reset();
  return answer;
}

void HeadlessHost::ShowMessage(const std::string& text, MessageKind kind) {
  err_ << "varnel: " << text << std::endl;
  errorShown_ = errorShown_ || kind == MessageKind::Error;
}

void HeadlessHost::ShowTable(const TableView& table) { out_ << table.copyText << std::flush; }

void HeadlessHost::ReportInvalid(CDialog&, const Control& control, const std::string& message) {
  err_ << "varnel: " << control.tmpl->name << ": " << message << std::endl;
}
