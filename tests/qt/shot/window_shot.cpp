// Drives the real window with the user actions of a script (type, paste, click, select, files)
// and saves a picture of it: `varnel-window-shot SCRIPT OUT.png`. The pictures in docs/ are
// made with it. The options dialog of an `import`, `idealise` or `export` line shows that line's
// options and is photographed too, as OUT-import-options.png, OUT-idealise-options.png or
// OUT-export-options.png.
#include <map>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <utility>

#include "app/varneldlg.h"
#include "res/resource.h"
#include "platform/qt/dialogwindow.h"
#include "platform/qt/optionsdialog.h"
#include "platform/qt/qthost.h"
#include "platform/script.h"
#include "platform/winapp.h"

namespace {

// The next modal box (About, a table) is photographed from inside its loop, as OUT with `suffix`
// before the extension, and then closed.
void PhotographNextBox(const char* out, const char* suffix) {
  QTimer::singleShot(0, [path = QString::fromLocal8Bit(out), suffix]() mutable {
    QWidget* box = QApplication::activeModalWidget();
    if (!box) return;
    path.insert(path.lastIndexOf(QLatin1Char('.')), QLatin1String(suffix));
    box->grab().save(path);
    QTest::keyClick(box, Qt::Key_Escape);
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: varnel-window-shot SCRIPT OUT.png" << std::endl;
    return 2;
  }
  std::ifstream file(argv[1]);
  std::string error;
  const auto lines = ParseScript(file, argv[1], error, AfxGetApp()->ProgramCommands());
  if (!file.is_open() || !lines) {
    std::cerr << "varnel-window-shot: cannot read " << argv[1] << " " << error << std::endl;
    return 2;
  }
  QApplication app(argc, argv);
  QtHost host;
  AfxSetHost(&host);
  std::optional<std::vector<std::string>> answer;
  std::optional<std::vector<std::string>> importWords;  // answer the import's or the export's dialog
  host.SetFileAnswer([&](const FileDialogRequest& request) {
    if (!importWords) return answer;
    const auto words = std::exchange(importWords, std::nullopt);
    return std::optional(ScriptFileAnswer(*words, request.optionWords, request.folder ? request.initialDir : ""));
  });
  host.SetOptionsAnswer([shot = QString::fromLocal8Bit(argv[2])](OptionsDialog& dialog) {
    dialog.show();
    if (QTest::qWaitForWindowExposed(&dialog)) {
      QString out = shot;
      const QString suffix =
          QLatin1Char('-') + dialog.windowTitle().toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
      out.insert(out.lastIndexOf(QLatin1Char('.')), suffix);
      dialog.grab().save(out);
    }
    dialog.accept();
  });
  host.SetMessageSink([](const std::string& text) { std::cerr << "varnel: " << text << std::endl; });
  int status = 0;
  {
    CVarnelDlg dlg;
    auto window = host.Open(dlg);
    if (!QTest::qWaitForWindowExposed(window.get())) return 1;
    // The control a line names; a name the dialog does not have is said and the line left out.
    const auto controlOf = [&](const ScriptLine& line) -> const Control* {
      const Control* control = FindScriptControl(dlg, line.args[0]);
      if (!control)
        std::cerr << "varnel-window-shot: " << argv[1] << ":" << line.number << ": no control '" << line.args[0] << "'"
                  << std::endl;
      return control;
    };
    // The shown window called `title`, photographed as OUT with `suffix` before the extension.
    const auto photographWindow = [&](const char* title, const char* suffix) {
      for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->windowTitle() == QLatin1String(title) && QTest::qWaitForWindowExposed(top)) {
          QString out = QString::fromLocal8Bit(argv[2]);
          out.insert(out.lastIndexOf(QLatin1Char('.')), QLatin1String(suffix));
          top->grab().save(out);
        }
    };
    // The menu entries whose file dialog and options form the pictures show.
    const std::map<std::string, UINT> menuEntries = {{"import", IDM_IMPORT_TRACES},
                                                     {"idealise", IDM_IDEALISE_TRACES},
                                                     {"export", IDM_EXPORT_FIGURES},
                                                     {"results", IDM_RESULTS}};
    for (const ScriptLine& line : *lines) {
      if (!line.command) {
        if (const auto entry = menuEntries.find(line.name); entry != menuEntries.end()) {
          if (line.name != "results") importWords = line.args;
          if (line.name == "results") PhotographNextBox(argv[2], "-results");
          host.UserSystemCommand(*window, entry->second);
          // The idealised traces open a window of their own, photographed as OUT-idealised-traces.png.
          if (line.name == "idealise") photographWindow("Idealised traces", "-idealised-traces");
          continue;
        }
        // What the program does itself, as a replayed session does it.
        host.Replay(*window, {line});
        // The dwell times open a window of their own, photographed as OUT-dwell-times.png.
        if (line.name == "dwell") photographWindow("Dwell times", "-dwell-times");
        continue;
      }
      switch (*line.command) {
        case ScriptCommand::Type:
        case ScriptCommand::Paste: {
          const Control* control = controlOf(line);
          auto* edit = control ? qobject_cast<QLineEdit*>(window->WidgetOf(*control)) : nullptr;
          if (!edit) break;
          edit->setFocus();
          edit->selectAll();
          if (line.command == ScriptCommand::Type)
            QTest::keyClicks(edit, QString::fromStdString(line.args[1]));
          else
            host.UserEdited(*window, control->Id(), line.args[1]);
          break;
        }
        case ScriptCommand::Click: {
          const Control* control = controlOf(line);
          if (QWidget* widget = control ? window->WidgetOf(*control) : nullptr)
            QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(4, widget->height() / 2));
          break;
        }
        case ScriptCommand::Select: {
          const Control* control = controlOf(line);
          const auto index = ScriptNumber(line.args[1]);
          auto* combo = control ? qobject_cast<QComboBox*>(window->WidgetOf(*control)) : nullptr;
          if (!combo || !index) break;
          combo->setCurrentIndex(*index);
          host.UserSelected(*window, control->Id(), combo->currentIndex());
          break;
        }
        case ScriptCommand::About:
          PhotographNextBox(argv[2], "-about");
          QTest::keyClick(window.get(), Qt::Key_F1);
          break;
        case ScriptCommand::Files:
          answer = ExpandScriptPaths(line.args);
          break;
        // Not user actions: what they print, check or save belongs to script mode.
        case ScriptCommand::Paint:
        case ScriptCommand::Show:
        case ScriptCommand::Expect:
        case ScriptCommand::SaveMap:
        case ScriptCommand::SavePanel:
        case ScriptCommand::SaveWindow:
        case ScriptCommand::Close:
          break;
      }
    }
    // Nothing has the focus in the picture: no cursor blinks in an edit.
    if (QWidget* focused = window->focusWidget()) focused->clearFocus();
    QApplication::processEvents();
    // On a real display the screen's own pixels can be taken instead of the widgets' drawing.
    const QPixmap picture =
        std::getenv("VARNEL_SHOT_SCREEN") ? window->screen()->grabWindow(window->winId()) : window->grab();
    if (!picture.save(QString::fromLocal8Bit(argv[2]))) status = 1;
  }
  AfxSetHost(nullptr);
  return status;
}
