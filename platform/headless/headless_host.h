// Script mode: the dialog runs without a window, driven line by line by a script.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/host.h"
#include "platform/script.h"

// Exit statuses of script mode.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFatal = 1;
inline constexpr int kExitBadScript = 2;
inline constexpr int kExitExpectFailed = 3;
inline constexpr int kExitErrorReported = 4;  // the script ran to its end, but an error was shown

class HeadlessHost final : public Host {
 public:
  // `name` is used in messages about the script's lines.
  HeadlessHost(std::string name, std::vector<ScriptLine> lines, std::ostream& out, std::ostream& err);

  int ExitStatus() const { return status_ == kExitDone && errorShown_ ? kExitErrorReported : status_; }

  INT_PTR RunModal(CDialog& dialog) override;
  void ControlChanged(CDialog&, const Control&) override {}
  void TitleChanged(CDialog&) override {}
  void SurfaceChanged(CDialog&, const CRect&) override {}
  std::optional<std::vector<std::string>> ChooseFiles(const FileDialogRequest& request) override;
  void ShowMessage(const std::string& text, MessageKind kind) override;
  void ReportInvalid(CDialog& dialog, const Control& control, const std::string& message) override;
  void SetBusy(bool) override {}
  void ShowFatalReport(const std::string&) override {}
  void ShowTable(const TableView& table) override;

 private:
  void Run(CDialog& dialog, const ScriptLine& line);
  // One function per command, each running one line of it.
  void Type(CDialog& dialog, const ScriptLine& line);
  void Paste(CDialog& dialog, const ScriptLine& line);
  void Click(CDialog& dialog, const ScriptLine& line);
  void Select(CDialog& dialog, const ScriptLine& line);
  void Files(CDialog& dialog, const ScriptLine& line);
  void Paint(CDialog& dialog, const ScriptLine& line);
  void About(CDialog& dialog, const ScriptLine& line);
  void Show(CDialog& dialog, const ScriptLine& line);
  void Expect(CDialog& dialog, const ScriptLine& line);
  void SaveMap(CDialog& dialog, const ScriptLine& line);
  void SavePanel(CDialog& dialog, const ScriptLine& line);
  void SaveWindow(CDialog& dialog, const ScriptLine& line);
  void Close(CDialog& dialog, const ScriptLine& line);

  // A command the program carries out itself: `exposure`, `load`, `lock`, `fit` ...
  void ProgramCommand(CDialog& dialog, const ScriptLine& line);
  // The control the line's first argument names.
  const Control& ControlArgument(const CDialog& dialog, const ScriptLine& line);
  // Fails unless the user could act on `control`: enabled, and of the kind the command needs
  // (`rightKind`; `what` names that kind in the message).
  void RequireUsable(const ScriptLine& line, const Control& control, bool rightKind, const char* what);
  [[noreturn]] void Fail(const ScriptLine& line, const std::string& message, int status = kExitBadScript);
  void SaveImage(const ScriptLine& line, const std::string& path, const PixelSurface& surface, const CRect& rect);

  std::string name_;
  std::vector<ScriptLine> lines_;
  std::ostream& out_;
  std::ostream& err_;
  int status_ = kExitDone;
  bool errorShown_ = false;
  int depth_ = 0;
  std::optional<std::vector<std::string>> pendingFiles_;
};
