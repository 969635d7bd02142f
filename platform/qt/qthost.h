// The host that shows dialogs as Qt windows, answers file dialogs and shows messages in boxes,
// and keeps the session record of what the user does.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/script.h"
#include "platform/qt/sessionrecord.h"

#include <QPointer>

class QApplication;
class QTimer;
class DialogWindow;
class OptionsDialog;
class TableWindow;
class FigureWindow;

class QtHost final : public Host {
 public:
  // Takes over `app` when the host made it (the program); tests bring their own.
  explicit QtHost(std::unique_ptr<QApplication> app = nullptr);
  ~QtHost() override;
  QtHost(const QtHost&) = delete;
  QtHost& operator=(const QtHost&) = delete;

  // --- For tests ------------------------------------------------------------------------------
  using FileAnswer = std::function<std::optional<std::vector<std::string>>(const FileDialogRequest&)>;
  // Answers file dialogs instead of showing one.
  void SetFileAnswer(FileAnswer answer) { fileAnswer_ = std::move(answer); }
  // Answers the options dialog that follows a file dialog of a program that takes options:
  // gets it built and filled as the person would see it, and accepts or rejects it, instead of
  // the person.
  using OptionsAnswer = std::function<void(OptionsDialog&)>;
  void SetOptionsAnswer(OptionsAnswer answer) { optionsAnswer_ = std::move(answer); }
  // Receives messages instead of a message box.
  void SetMessageSink(std::function<void(const std::string&)> sink) { messageSink_ = std::move(sink); }
  // Receives tables instead of their window.
  void SetTableSink(std::function<void(const TableView&)> sink) { tableSink_ = std::move(sink); }
  // Realises `dialog` and shows it without waiting for it to end.
  std::unique_ptr<DialogWindow> Open(CDialog& dialog);
  DialogWindow* WindowOf(const CDialog& dialog) const;
  // The record of the main dialog's session; null before the first dialog is shown.
  const SessionRecord* Record() const { return record_.get(); }

  // --- Replaying a session in the window ----------------------------------------------------------
  // The user actions of a script (type, paste, click, select, files, import, export) go
  // through `window` as if the user did them, and into the record; what only shows something or
  // belongs to script mode (show, expect, save-*, paint, about, results, close) is passed over.
  // A line naming a control the dialog lacks is said and left out. An import or export takes the
  // options of its line (none: the defaults); no options dialog opens.
  void Replay(DialogWindow& window, const std::vector<ScriptLine>& lines);
  // Replays `lines` in the main window as soon as it runs.
  void ReplayOnStart(std::vector<ScriptLine> lines) { startLines_ = std::move(lines); }

  // --- Host ------------------------------------------------------------------------------------
  INT_PTR RunModal(CDialog& dialog) override;
  void ControlChanged(CDialog& dialog, const Control& control) override;
  void TitleChanged(CDialog& dialog) override;
  void SurfaceChanged(CDialog& dialog, const CRect& rect) override;
  std::optional<std::vector<std::string>> ChooseFiles(const FileDialogRequest& request) override;
  void ShowMessage(const std::string& text, MessageKind kind) override;
  void ReportInvalid(CDialog& dialog, const Control& control, const std::string& message) override;
  void SetBusy(bool busy) override;
  void ShowFatalReport(const std::string& text) override;
  void ShowTable(const TableView& table) override;
  void UpdateTable(const TableView& table) override;
  void ShowFigures(const FiguresView& view) override;
  void OpenFolder(const std::string& folder) override;
  void RunLongWork(const LongWork& work) override;
  void SetTimer(CDialog& dialog, UINT_PTR id, UINT milliseconds) override;
  void KillTimer(CDialog& dialog, UINT_PTR id) override;
  bool AwaitsWorkers() const override { return false; }
  void CommandDone(const std::vector<std::string>& words) override;

  // --- What the windows report ---------------------------------------------------------------
  void UserEdited(DialogWindow& window, int id, const std::string& text);
  void UserClicked(DialogWindow& window, int id);
  void UserSelected(DialogWindow& window, int id, int index);
  void UserSystemCommand(DialogWindow& window, UINT command);
  void Exposed(DialogWindow& window);
  void Forget(DialogWindow& window);

 private:
  std::unique_ptr<DialogWindow> MakeWindow(CDialog& dialog);
  // Runs what the user did through the dialog, notes it in the record, then lets the paint
  // that waited for the handler through and closes the window if the dialog ended.
  void Act(DialogWindow& window, const std::function<void()>& action, const std::function<void(SessionRecord&)>& note);
  void Paint(DialogWindow& window);
  // A timer of `dialog` went off: WM_TIMER, unless a handler or long work runs (it goes off
  // again).
  void TimerFired(CDialog& dialog, UINT_PTR id);
  // The open table window of this title, or null.
  TableWindow* OpenTable(const std::string& title) const;
  bool IsMain(const DialogWindow& window) const { return !windows_.empty() && windows_.front() == &window; }
  void SaveRecord();
  std::optional<std::vector<std::string>> RunFileDialog(const FileDialogRequest& request);
  // The person's `answer` of a file dialog that takes options, with the option words the
  // person then chose put first; nothing when the person cancelled the options.
  std::optional<std::vector<std::string>> AskOptions(const FileDialogRequest& request,
                                                     const std::vector<std::string>& answer);

  std::unique_ptr<QApplication> app_;
  std::vector<DialogWindow*> windows_;  // open windows, the main dialog's first
  std::unique_ptr<SessionRecord> record_;
  bool recordWarned_ = false;
  int busyDepth_ = 0;
  int longWorkDepth_ = 0;
  // The dialogs' timers, by dialog and id; each is a child of its dialog's window.
  std::map<std::pair<const CDialog*, UINT_PTR>, QPointer<QTimer>> timers_;
  QPointer<FigureWindow> figures_;  // the figures' window, while it is open
  std::vector<QPointer<TableWindow>> tables_;  // the table windows, open or closed since
  FileAnswer fileAnswer_;
  std::vector<ScriptLine> startLines_;
  // The answer of the next file dialog while a session is replayed (a `files` line).
  std::optional<std::optional<std::vector<std::string>>> replayFiles_;
  OptionsAnswer optionsAnswer_;
  // Per options form (by title): the option words last chosen in this session, which the form
  // shows the next time.
  std::map<std::string, std::vector<std::string>> chosenOptions_;
  std::function<void(const std::string&)> messageSink_;
  std::function<void(const TableView&)> tableSink_;
  // While a menu entry of the main window runs: the commands it ran, which the record writes.
  bool menuAction_ = false;
  std::vector<std::vector<std::string>> menuCommands_;
};
