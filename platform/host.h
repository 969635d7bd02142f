// The connection between the framework layer and what shows it: a window system, or a script.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/types.h"

class CDialog;
struct Control;

// A notice tells the user something; an error says that what the user asked for was refused or
// could not be done (script mode then ends with status 4).
enum class MessageKind { Notice, Error };

// Work that runs on a worker thread while the window stays painted. It touches nothing the
// window draws or shows; what it brings is taken in after it has returned.
struct LongWork {
  std::string what;            // for the person: "Reading 60 reports"
  std::function<void()> run;   // on the worker thread
  // How far it is, 0 ... 1, or nothing when that is not known; asked on the window's thread.
  std::function<std::optional<double>()> share;
  // Asks `run` to end early; null where it cannot be stopped (it has begun to write).
  std::function<void()> stop;
};

// How many words, from `word` on, an option of the program spans; 0 when `word` is no option.
using OptionWordCount = std::size_t (*)(std::string_view word);

// The options a program takes with its files, described so that a window can ask a person for
// them; a script gives the same options as words (platform/optionsform.h turns one into the other).
enum class OptionKind { Choice, WholeNumber, Number, Text, Flag };

struct OptionChoice {
  std::string value;    // what the field holds, and the word after the field's option word
  std::string caption;  // as the list shows it
  // For a field without an option word of its own: the word this choice writes ("" for none).
  std::string word;
};

// Every member has an initializer: forms are written with designated initializers that name
// only the members they need.
struct OptionField {
  std::string name{};    // how other fields refer to this one
  std::string option{};  // "--peaks"; empty for a choice whose entries write their own words
  std::string label{};
  OptionKind kind = OptionKind::Text;
  std::vector<OptionChoice> choices{};
  // A field at its default writes no words; an empty number or text stands for the program's
  // own choice, which `blank` tells the person ("the last column").
  std::string defaultValue{};
  std::string blank{};
  std::string hint{};     // one line on what the field does
  bool required = false;  // a number or text that counts may not be left empty
  int minimum = 0;        // the range of a whole number
  int maximum = 0;
  // The field counts only while the field named `shownWith` holds one of `shownFor`; an empty
  // `shownWith`: always.
  std::string shownWith{};
  std::vector<std::string> shownFor{};
};

// Why these option words are not options the program takes together, or nothing.
using OptionWordsCheck = std::optional<std::string> (*)(const std::vector<std::string>& words);

struct OptionsForm {
  std::string title;
  std::vector<OptionField> fields;
  OptionWordsCheck check = nullptr;  // null: every word the fields write goes with every other
};

struct FileDialogRequest {
  bool open = true;
  bool multiSelect = false;
  bool folder = false;  // one folder is chosen, not files; it need not exist yet
  std::vector<std::pair<std::string, std::string>> filters;  // description, pattern
  std::string initialDir;
  std::string title;  // what the dialog is for; empty: the window system's own words
  // The options the program takes with the files: the answer may begin with option words,
  // which a script writes before the paths and a window asks the person for after them. Null
  // when it takes none.
  OptionWordCount optionWords = nullptr;
  // The same options as a form for a person; it outlives the program. Null when there is none.
  const OptionsForm* optionsForm = nullptr;
};

// A table for the user to read and copy: `rows` of cells under `columns`; `copyText` is what a
// copy puts on the clipboard (tab-separated, as spreadsheets take it).
struct TableView {
  std::string title;
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
  std::string copyText;
};

// Figures to look at one at a time, each with its rows of one table: a picker of their names,
// the figure, and its rows below.
struct FiguresView {
  TableView table;                  // every page's rows: what a script prints
  std::vector<std::string> pages;   // the picker's entries
  std::vector<std::vector<std::vector<std::string>>> pageRows;  // the rows of each page
  std::size_t shown = 0;            // the page shown first
  // The bytes of page k's figure as a PNG file, drawn when it is first shown; empty when it
  // cannot be drawn.
  std::function<std::string(std::size_t page)> figure;
  // Figures that run along frames: each page's first and last frame, and its figure drawn over
  // the frames `shown` of them; a window zooms and pans over these. Empty for other figures.
  std::vector<std::pair<double, double>> pageFrames;
  std::function<std::string(std::size_t page, std::pair<double, double> shown)> framesFigure;
  // A choice made of each page (whether its molecule is kept): its caption, each page's answer,
  // and what makes it, which says whether it was made. No choice when `choice` is empty.
  std::string choice;
  std::vector<bool> chosen;
  std::function<bool(std::size_t page, bool chosen)> choose;
};

// How many of the words at the front of a file dialog's answer are option words.
std::size_t LeadingOptionWords(const std::vector<std::string>& answer, OptionWordCount optionWords);

class Host {
 public:
  virtual ~Host() = default;

  // Realises the dialog (CDialog::Realise), shows it and runs until it ends; returns its result.
  virtual INT_PTR RunModal(CDialog& dialog) = 0;
  // A control's text, check, entries, selection or validity changed from the program's side.
  virtual void ControlChanged(CDialog& dialog, const Control& control) = 0;
  // The dialog's title changed (CDialog::GetWindowText).
  virtual void TitleChanged(CDialog& dialog) = 0;
  // Pixels of the client surface inside `rect` changed.
  virtual void SurfaceChanged(CDialog& dialog, const CRect& rect) = 0;
  // The chosen paths, or nothing for Cancel.
  virtual std::optional<std::vector<std::string>> ChooseFiles(const FileDialogRequest& request) = 0;
  // A notice or an error for the user.
  virtual void ShowMessage(const std::string& text, MessageKind kind) = 0;
  // Text that a control holds could not be taken into its field.
  virtual void ReportInvalid(CDialog& dialog, const Control& control, const std::string& message) = 0;
  // A long operation starts (true) or ends (false).
  virtual void SetBusy(bool busy) = 0;
  // The program is about to end with this report (it goes to standard error as well): show it
  // where the user will see it.
  virtual void ShowFatalReport(const std::string& text) = 0;
  // Shows `table` until the user closes it (a script prints its copy text on standard output).
  virtual void ShowTable(const TableView& table) = 0;

  // What the hosts without a window (scripts, tests) do is the default of each call below.
  // The open table of `table.title`, if there is one, shows `table` instead.
  virtual void UpdateTable(const TableView& /*table*/) {}
  // Shows the figures in a window of their own, beside the dialog; where nothing can be seen,
  // the table alone, as ShowTable shows it.
  virtual void ShowFigures(const FiguresView& view) { ShowTable(view.table); }
  // Opens `folder` in the desktop's file manager; where there is none, says where it is.
  virtual void OpenFolder(const std::string& folder) { ShowMessage("The output folder is " + folder, MessageKind::Notice); }
  // Calls `work.run` and returns when it has returned. A window meanwhile keeps painting, shows
  // what runs and how far it is, offers to stop it where it can be stopped, and passes nothing
  // the person does to the program.
  virtual void RunLongWork(const LongWork& work) { work.run(); }
  // Sends `dialog` WM_TIMER with `id` every `milliseconds` until KillTimer, while no handler and
  // no long work runs. A script has no timers: it waits where a window would be told later.
  virtual void SetTimer(CDialog& /*dialog*/, UINT_PTR /*id*/, UINT /*milliseconds*/) {}
  virtual void KillTimer(CDialog& /*dialog*/, UINT_PTR /*id*/) {}
  // Whether a command waits for what worker threads compute before it reads it (a script, so
  // that a batch writes the same files on every run), rather than showing it as still to come.
  virtual bool AwaitsWorkers() const { return true; }
  // The program carried out one of its commands: `words` say it as a script line does, so that
  // a record of the session can replay it.
  virtual void CommandDone(const std::vector<std::string>& /*words*/) {}
};

// The host of this process: set by the program's entry, or a quiet one for tests.
Host& AfxGetHost();
void AfxSetHost(Host* host);

// Shows `text` to the user (a message box in a window, a line on standard error in a script):
// a notice with MB_ICONINFORMATION, otherwise an error.
int AfxMessageBox(const std::string& text, UINT type = MB_ICONERROR);

// Marks a long operation for as long as it lives.
class CWaitCursor {
 public:
  CWaitCursor() { AfxGetHost().SetBusy(true); }
  ~CWaitCursor() { AfxGetHost().SetBusy(false); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};
