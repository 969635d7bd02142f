#include "platform/qt/qthost.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QEventLoop>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>
#include <QUrl>
#include <QToolTip>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <exception>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <limits>
#include <thread>
#include <utility>

#include "platform/dialog.h"
#include "platform/qt/dialogwindow.h"
#include "platform/qt/optionsdialog.h"
#include "platform/qt/figurewindow.h"
#include "platform/qt/tablewindow.h"
#include "platform/windowhost.h"

namespace {

// How the record names a control: its resource name, or its number.
std::string NameOf(const CDialog& dialog, int id) {
  const Control* control = dialog.FindControl(id);
  if (control && !control->tmpl->name.empty()) return std::string(control->tmpl->name);
  return std::to_string(id);
}

// "Description (patterns)", the form a Qt file dialog reads its patterns from.
QString FilterText(const std::pair<std::string, std::string>& filter) {
  QString description = QString::fromStdString(filter.first);
  const QString listed = QString::fromStdString(filter.second);
  QString patterns = listed;
  patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
  // A description that names its patterns already ("Traces (*.txt;*.csv)") shows them once, in
  // the toolkit's form: the patterns separated by blanks.
  for (const QString& named : {listed, patterns})
    if (description.endsWith(QLatin1Char('(') + named + QLatin1Char(')'))) {
      description.chop(named.size() + 2);
      description = description.trimmed();
    }
  return description + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

QWidget* TopWindow() {
  return QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow();
}

// Long work shows its progress once it has run this long: quicker work shows none.
constexpr int kProgressDelayMs = 500;
// How often the progress is asked for, and its steps from none to all.
constexpr int kProgressLookMs = 100;
constexpr int kProgressSteps = 1000;

// While long work runs, what the person does reaches no window but the progress's: the
// program's handlers do not run beside the work. The windows go on painting.
class InputBlocker final : public QObject {
 public:
  explicit InputBlocker(const QWidget& progress) : progress_(progress) { qApp->installEventFilter(this); }
  ~InputBlocker() override { qApp->removeEventFilter(this); }
  InputBlocker(const InputBlocker&) = delete;
  InputBlocker& operator=(const InputBlocker&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::Wheel:
      case QEvent::ContextMenu:
      case QEvent::Close: {
        const auto* widget = qobject_cast<const QWidget*>(watched);
        return !(widget && widget->window() == &progress_);
      }
      default:
        return false;
    }
  }

 private:
  const QWidget& progress_;
};

}  // namespace

QtHost::QtHost(std::unique_ptr<QApplication> app) : app_(std::move(app)) {
  // Windows come and go (the file dialog, message boxes, the About box) while the main dialog
  // runs; the end of the application is the end of the main dialog, not of its last window.
  QApplication::setQuitOnLastWindowClosed(false);
  // The toolkit takes the user's locale; numbers in edits and files stay in the one notation the
  // scripts and every other tool read (0.1, never 0,1).
  std::setlocale(LC_NUMERIC, "C");
}

QtHost::~QtHost() {
  while (busyDepth_ > 0) SetBusy(false);
}

std::unique_ptr<DialogWindow> QtHost::MakeWindow(CDialog& dialog) {
  QWidget* parent = windows_.empty() ? nullptr : windows_.back();
  if (windows_.empty()) record_ = std::make_unique<SessionRecord>(std::filesystem::current_path());
  auto window = std::make_unique<DialogWindow>(*this, dialog, parent);
  windows_.push_back(window.get());
  return window;
}

std::unique_ptr<DialogWindow> QtHost::Open(CDialog& dialog) {
  dialog.Realise();
  auto window = MakeWindow(dialog);
  window->show();
  return window;
}

INT_PTR QtHost::RunModal(CDialog& dialog) {
  dialog.Realise();
  if (dialog.HasEnded()) return dialog.Result();
  auto window = MakeWindow(dialog);
  if (IsMain(*window) && !startLines_.empty())
    QTimer::singleShot(0, window.get(), [this, shown = window.get()] { Replay(*shown, std::exchange(startLines_, {})); });
  window->exec();
  // Nothing but the dialog itself ends its window; should the loop stop for another reason,
  // the dialog ends as by the close box.
  if (!dialog.HasEnded()) dialog.EndDialog(IDCANCEL);
  return dialog.Result();
}

void QtHost::Forget(DialogWindow& window) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), &window), windows_.end());
}

DialogWindow* QtHost::WindowOf(const CDialog& dialog) const {
  const auto it =
      std::find_if(windows_.begin(), windows_.end(), [&](DialogWindow* w) { return &w->Dialog() == &dialog; });
  return it == windows_.end() ? nullptr : *it;
}

void QtHost::TitleChanged(CDialog& dialog) {
  if (DialogWindow* window = WindowOf(dialog)) window->setWindowTitle(QString::fromStdString(dialog.GetWindowText()));
}

void QtHost::ControlChanged(CDialog& dialog, const Control& control) {
  if (DialogWindow* window = WindowOf(dialog)) window->Mirror(control);
}

void QtHost::SurfaceChanged(CDialog& dialog, const CRect& rect) {
  if (DialogWindow* window = WindowOf(dialog)) window->SurfaceChanged(rect);
}

void QtHost::Act(DialogWindow& window, const std::function<void()>& action,
                 const std::function<void(SessionRecord&)>& note) {
  window.EnterHandler();
  action();
  window.LeaveHandler();
  if (record_ && IsMain(window)) {
    note(*record_);
    SaveRecord();
  }
  if (!window.InHandler() && window.TakePendingPaint()) Paint(window);
  window.CloseIfEnded();
}

void QtHost::UserEdited(DialogWindow& window, int id, const std::string& text) {
  CDialog& dialog = window.Dialog();
  Act(
      window, [&] { dialog.UserEditText(id, text); },
      [&](SessionRecord& record) { record.Typed(NameOf(dialog, id), text); });
}

void QtHost::UserClicked(DialogWindow& window, int id) {
  CDialog& dialog = window.Dialog();
  Act(
      window, [&] { dialog.UserClick(id); }, [&](SessionRecord& record) { record.Clicked(NameOf(dialog, id)); });
}

void QtHost::UserSelected(DialogWindow& window, int id, int index) {
  CDialog& dialog = window.Dialog();
  Act(
      window, [&] { dialog.UserSelect(id, index); },
      [&](SessionRecord& record) { record.Selected(NameOf(dialog, id), index); });
}

void QtHost::UserSystemCommand(DialogWindow& window, UINT command) {
  const bool about = command != 0 && command == window.AboutCommand();
  // The commands a menu entry runs are recorded as they were done: its file dialog's answer
  // and its options are words of the command, not `files` lines of their own.
  menuAction_ = IsMain(window);
  Act(
      window, [&] { window.Dialog().SendMessage(WM_SYSCOMMAND, command); },
      [&](SessionRecord& record) {
        // Closing needs no line: the end of a script closes the dialog.
        if (about) record.AboutOpened();
        for (const auto& words : std::exchange(menuCommands_, {})) record.Command(words);
      });
  menuAction_ = false;
  menuCommands_.clear();
}

void QtHost::CommandDone(const std::vector<std::string>& words) {
  if (menuAction_) menuCommands_.push_back(words);
}

void QtHost::Exposed(DialogWindow& window) {
  // A handler runs to its end before the next message: the paint waits for it.
  if (window.InHandler()) {
    window.SetPaintPending();
    return;
  }
  Paint(window);
}

void QtHost::Paint(DialogWindow& window) {
  // An expose while the paint runs (a box it shows) is one more paint, after this one.
  do {
    window.EnterHandler();
    window.Dialog().SendMessage(WM_PAINT);
    window.LeaveHandler();
    if (record_ && IsMain(window)) {
      const std::size_t before = record_->Lines().size();
      record_->Painted();
      if (record_->Lines().size() != before) SaveRecord();
    }
  } while (window.TakePendingPaint());
}

void QtHost::SaveRecord() {
  const auto failure = record_->Save();
  if (!failure || recordWarned_) return;
  recordWarned_ = true;
  const std::string text = "The session record \"" + record_->Path().string() + "\" cannot be written: " + *failure +
                           ". The analysis goes on, but this session cannot be replayed.";
  std::cerr << "varnel: " << text << std::endl;
  ShowMessage(text, MessageKind::Error);
}

std::optional<std::vector<std::string>> QtHost::ChooseFiles(const FileDialogRequest& request) {
  std::optional<std::vector<std::string>> answer;
  if (replayFiles_) {
    answer = *std::exchange(replayFiles_, std::nullopt);
  } else {
    answer = fileAnswer_ ? fileAnswer_(request) : RunFileDialog(request);
    if (answer && request.optionsForm) answer = AskOptions(request, *answer);
  }
  if (answer && answer->empty()) answer.reset();
  const std::size_t options = answer ? LeadingOptionWords(*answer, request.optionWords) : 0;
  const std::vector<std::string> optionWords =
      answer ? std::vector<std::string>(answer->begin(), answer->begin() + static_cast<std::ptrdiff_t>(options))
             : std::vector<std::string>();
  if (answer && request.optionsForm && options < answer->size())
    chosenOptions_[request.optionsForm->title] = optionWords;
  // Only the main dialog's file dialogs belong to the session; a menu entry's answer is
  // recorded with the command it runs.
  if (record_ && windows_.size() == 1 && !menuAction_) record_->FilesChosen(answer);
  return answer;
}

std::optional<std::vector<std::string>> QtHost::AskOptions(const FileDialogRequest& request,
                                                           const std::vector<std::string>& answer) {
  const auto options = static_cast<std::ptrdiff_t>(LeadingOptionWords(answer, request.optionWords));
  // Options are asked for the paths chosen; an answer without paths is a Cancel already.
  if (options == static_cast<std::ptrdiff_t>(answer.size())) return answer;
  const OptionsForm& form = *request.optionsForm;
  // The form shows the options an answer brings with it (a test's), else those chosen last.
  std::vector<std::string> shown(answer.begin(), answer.begin() + options);
  if (shown.empty())
    if (const auto last = chosenOptions_.find(form.title); last != chosenOptions_.end()) shown = last->second;
  OptionsDialog dialog(form, OptionValuesOf(form, shown), windows_.empty() ? nullptr : windows_.back());
  if (optionsAnswer_)
    optionsAnswer_(dialog);
  else
    dialog.exec();
  if (dialog.result() != QDialog::Accepted) return std::nullopt;
  std::vector<std::string> chosen = OptionWordsOf(form, dialog.Values());
  chosen.insert(chosen.end(), answer.begin() + options, answer.end());
  return chosen;
}

std::optional<std::vector<std::string>> QtHost::RunFileDialog(const FileDialogRequest& request) {
  QStringList filters;
  for (const auto& filter : request.filters) filters << FilterText(filter);
  // File names are bytes; the toolkit's strings decode them, and encodeName gives them back as
  // they were, whether or not they are valid UTF-8.
  const QString dir = request.initialDir.empty() ? QDir::currentPath()
                                                 : QFile::decodeName(QByteArray::fromStdString(request.initialDir));
  QFileDialog dialog(windows_.empty() ? nullptr : windows_.back(), QString(), dir);
  dialog.setNameFilters(filters);
  dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(request.folder        ? QFileDialog::Directory
                     : !request.open       ? QFileDialog::AnyFile
                     : request.multiSelect ? QFileDialog::ExistingFiles
                                           : QFileDialog::ExistingFile);
  if (request.folder) dialog.setOption(QFileDialog::ShowDirsOnly);
  if (!request.title.empty()) dialog.setWindowTitle(QString::fromStdString(request.title));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  std::vector<std::string> paths;
  for (const QString& path : dialog.selectedFiles())
    paths.push_back(QFile::encodeName(QDir::cleanPath(QDir(dir).absoluteFilePath(path))).toStdString());
  return paths;
}

void QtHost::ShowMessage(const std::string& text, MessageKind kind) {
  if (messageSink_) return messageSink_(text);
  QMessageBox box(kind == MessageKind::Notice ? QMessageBox::Information : QMessageBox::Warning,
                  QStringLiteral("Varnel"), QString::fromStdString(text), QMessageBox::Ok,
                  windows_.empty() ? nullptr : windows_.back());
  // A box that comes up during a long operation waits for the user: the normal pointer meanwhile.
  if (busyDepth_ > 0) QApplication::restoreOverrideCursor();
  box.exec();
  if (busyDepth_ > 0) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtHost::ReportInvalid(CDialog& dialog, const Control& control, const std::string& message) {
  // The edit is tinted already (its control changed); point at it while the user types there.
  DialogWindow* window = WindowOf(dialog);
  auto* edit = window ? qobject_cast<QLineEdit*>(window->WidgetOf(control)) : nullptr;
  if (edit && edit->hasFocus() && edit->isVisible())
    QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())), QString::fromStdString(message), edit);
}

void QtHost::SetBusy(bool busy) {
  if (busy) {
    if (busyDepth_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (busyDepth_ > 0 && --busyDepth_ == 0) {
    QApplication::restoreOverrideCursor();
  }
}

void QtHost::ShowFatalReport(const std::string& text) {
  // The report still has to reach standard error afterwards: no box without a toolkit to draw it.
  if (!QApplication::instance()) return;
  // The process ends after the box: no operation is busy any more.
  while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Varnel"), QString::fromStdString(text), QMessageBox::Ok,
                  TopWindow());
  box.exec();
}

void QtHost::ShowTable(const TableView& table) {
  if (tableSink_) return tableSink_(table);
  // One window per table: asked for again, the open one comes forward with the new cells.
  TableWindow* window = OpenTable(table.title);
  if (!window) {
    window = new TableWindow(windows_.empty() ? TopWindow() : windows_.front());
    window->setAttribute(Qt::WA_DeleteOnClose);
    std::erase_if(tables_, [](const QPointer<TableWindow>& t) { return t.isNull(); });
    tables_.emplace_back(window);
  }
  window->Fill(table);
  window->show();
  window->raise();
  window->activateWindow();
}

void QtHost::ShowFigures(const FiguresView& view) {
  if (tableSink_) return tableSink_(view.table);
  if (!figures_) {
    figures_ = new FigureWindow(windows_.empty() ? TopWindow() : windows_.front());
    figures_->setAttribute(Qt::WA_DeleteOnClose);
  }
  figures_->Fill(view);
  figures_->show();
  figures_->raise();
  figures_->activateWindow();
}

void QtHost::OpenFolder(const std::string& folder) {
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder))))
    ShowMessage("The output folder is " + folder + " (no file manager could open it).", MessageKind::Notice);
}

void QtHost::UpdateTable(const TableView& table) {
  if (TableWindow* window = OpenTable(table.title)) window->Fill(table);
}

TableWindow* QtHost::OpenTable(const std::string& title) const {
  const QString wanted = QString::fromStdString(title);
  for (const QPointer<TableWindow>& table : tables_)
    if (table && table->isVisible() && table->windowTitle() == wanted) return table.data();
  return nullptr;
}

void QtHost::RunLongWork(const LongWork& work) {
  // Without a window there is nothing to keep painted.
  if (windows_.empty()) return work.run();
  QProgressDialog progress(QString::fromStdString(work.what), QStringLiteral("Stop"), 0, 0, windows_.back());
  progress.setWindowTitle(QStringLiteral("Varnel"));
  progress.setWindowModality(Qt::ApplicationModal);
  // It comes up after a delay of its own: the dialog's estimate from its values could keep it
  // hidden for good while the share stands still.
  progress.setMinimumDuration(std::numeric_limits<int>::max());
  progress.setAutoReset(false);
  progress.setAutoClose(false);
  if (!work.stop) progress.setCancelButton(nullptr);
  const InputBlocker blocker(progress);
  ++longWorkDepth_;

  QEventLoop loop;
  std::atomic<bool> done{false};
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work.run();
    } catch (...) {
      failure = std::current_exception();
    }
    done = true;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, &progress, [&] {
    const std::optional<double> share = work.share ? work.share() : std::nullopt;
    if (share) {
      progress.setMaximum(kProgressSteps);
      progress.setValue(static_cast<int>(std::clamp(*share, 0.0, 1.0) * kProgressSteps));
    } else {
      progress.setMaximum(0);  // moving to and fro: how far is not known
    }
  });
  QObject::connect(&progress, &QProgressDialog::canceled, &progress, [&] {
    if (work.stop) work.stop();
    progress.setLabelText(QString::fromStdString(work.what + ": stopping..."));
  });
  look.start(kProgressLookMs);
  QTimer::singleShot(kProgressDelayMs, &progress, [&] {
    if (!done) progress.show();
  });
  if (!done) loop.exec();
  worker.join();
  --longWorkDepth_;
  if (failure) std::rethrow_exception(failure);
}

void QtHost::SetTimer(CDialog& dialog, UINT_PTR id, UINT milliseconds) {
  DialogWindow* window = WindowOf(dialog);
  if (!window) return;
  QPointer<QTimer>& timer = timers_[{&dialog, id}];
  if (!timer) {
    timer = new QTimer(window);
    QObject::connect(timer, &QTimer::timeout, window, [this, &dialog, id] { TimerFired(dialog, id); });
  }
  timer->start(static_cast<int>(milliseconds));
}

void QtHost::KillTimer(CDialog& dialog, UINT_PTR id) {
  const auto found = timers_.find({&dialog, id});
  if (found == timers_.end()) return;
  delete found->second.data();
  timers_.erase(found);
}

void QtHost::TimerFired(CDialog& dialog, UINT_PTR id) {
  DialogWindow* window = WindowOf(dialog);
  if (!window || window->InHandler() || longWorkDepth_ > 0) return;
  // No user action: nothing goes into the session record.
  window->EnterHandler();
  dialog.SendMessage(WM_TIMER, id);
  window->LeaveHandler();
  if (window->TakePendingPaint()) Paint(*window);
  window->CloseIfEnded();
}

namespace {

QtMessageHandler g_toolkitMessages = nullptr;

// While the toolkit starts: a display that cannot be reached ends the program with a word on
// what to do, rather than with an abort.
void StartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    if (g_toolkitMessages)
      g_toolkitMessages(type, context, message);
    else
      std::cerr << message.toStdString() << std::endl;
    return;
  }
  std::cerr << "varnel: cannot open the window: " << message.toStdString()
            << "\nvarnel: use --script FILE to run without one" << std::endl;
  std::_Exit(1);
}

}  // namespace

std::unique_ptr<Host> MakeWindowHost(int& argc, char** argv, std::vector<ScriptLine> session) {
  const bool display = std::getenv("QT_QPA_PLATFORM") || std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
  if (!display) {
    std::cerr << "varnel: there is no display to open the window on; use --script FILE to run without one" << std::endl;
    return nullptr;
  }
  g_toolkitMessages = qInstallMessageHandler(StartupMessage);
  auto app = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(g_toolkitMessages);
  QApplication::setApplicationName(QStringLiteral("Varnel"));
  auto host = std::make_unique<QtHost>(std::move(app));
  host->ReplayOnStart(std::move(session));
  return host;
}
