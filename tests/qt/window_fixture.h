// The main dialog shown in a real window through the Qt host, in a fresh working directory,
// with file dialogs and messages answered by the test.
#pragma once

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/varneldlg.h"
#include "platform/qt/dialogwindow.h"
#include "platform/qt/optionsdialog.h"
#include "platform/qt/qthost.h"
#include "res/resource.h"
#include "tests/support/temp_dir.h"

class ShownDialog {
 public:
  ShownDialog() {
    // Our own colour table, in the working directory as a user keeps it.
    std::filesystem::copy_file(VARNEL_COLOR_TABLE, dir.path() / "shrcol.tbl");
    AfxSetHost(&host);
    host.SetMessageSink([this](const std::string& text) { messages.push_back(text); });
    host.SetFileAnswer([this](const FileDialogRequest& request) {
      fileRequests.push_back(request);
      return fileAnswer;
    });
    host.SetOptionsAnswer([this](OptionsDialog& dialog) {
      optionsShown.push_back(dialog.Values());
      if (chooseOptions)
        chooseOptions(dialog);
      else
        dialog.accept();
    });
    window = host.Open(dlg);
    exposed = QTest::qWaitForWindowExposed(window.get());
  }
  ~ShownDialog() {
    window.reset();
    AfxSetHost(nullptr);
  }
  ShownDialog(const ShownDialog&) = delete;
  ShownDialog& operator=(const ShownDialog&) = delete;

  template <class W = QWidget>
  W* Widget(int id) const {
    return qobject_cast<W*>(window->WidgetOf(id));
  }
  // Types `text` over the whole text of an edit, key by key.
  void Type(int id, const QString& text) {
    QLineEdit* edit = Widget<QLineEdit>(id);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }
  void Click(int id) { QTest::mouseClick(Widget(id), Qt::LeftButton); }
  // The entry of the background menu with this text; null when there is none.
  QAction* MenuEntry(const char* text) const {
    for (QAction* action : window->SystemMenu()->actions())
      if (action->text() == QLatin1String(text)) return action;
    return nullptr;
  }
  // The entry of the menu bar's menu `menu` with this text; null when there is none.
  QAction* BarEntry(const char* menu, const char* text) const {
    if (!window->MenuBar()) return nullptr;
    for (QAction* title : window->MenuBar()->actions()) {
      if (title->text() != QLatin1String(menu) || !title->menu()) continue;
      for (QAction* action : title->menu()->actions())
        if (action->text() == QLatin1String(text)) return action;
    }
    return nullptr;
  }
  // Loads one report of one record (K = 1) from the folder "reports", which it returns.
  std::filesystem::path LoadOneReport() {
    const std::filesystem::path reports = dir.path() / "reports";
    std::filesystem::create_directory(reports);
    std::ofstream(reports / "a.dat") << "h\nh\nh\nh\n0.2 0.8 0.05 0 3\n";
    Type(IDC_PEAKS_IN_REPORT, "1");
    fileAnswer = std::vector<std::string>{(reports / "a.dat").string()};
    Click(IDC_LOAD_FILES);
    return reports;
  }

  TempDir dir;  // the working directory
  QtHost host;
  CVarnelDlg dlg;
  std::unique_ptr<DialogWindow> window;
  bool exposed = false;
  std::vector<std::string> messages;
  std::vector<FileDialogRequest> fileRequests;
  std::optional<std::vector<std::string>> fileAnswer;  // nothing: Cancel
  std::vector<OptionValues> optionsShown;              // what each options dialog showed when it opened
  std::function<void(OptionsDialog&)> chooseOptions;   // what the person does there; unset: OK
};

// Transition reports as the simulator writes them: three states, K x K records per file.
std::vector<std::string> WriteReports(const std::filesystem::path& dir, int files);

// Whether `messages` are just the notices of `exports` exports, one each, as every export that
// wrote its files gives.
inline bool OnlyExportNotices(const std::vector<std::string>& messages, std::size_t exports) {
  return messages.size() == exports && std::all_of(messages.begin(), messages.end(), [](const std::string& m) {
           return m.rfind("Exported ", 0) == 0;
         });
}

// The regular files of `dir`, by name, with their bytes.
std::map<std::string, std::string> FilesIn(const std::filesystem::path& dir);
