// Drives the real window with the user actions of a script (type, paste, click, select, files)
// and saves a picture of it: `varnel-window-shot SCRIPT OUT.png`. The pictures in docs/ are
// made with it.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <glob.h>

#include <algorithm>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "app/varneldlg.h"
#include "platform/headless/headless_host.h"
#include "platform/qt/dialogwindow.h"
#include "platform/qt/qthost.h"

namespace {

int ControlId(const CDialog& dialog, const std::string& word) {
  for (const Control& c : dialog.Controls()) {
    const std::string name(c.tmpl->name);
    if (!name.empty() && (name == word || name == "IDC_" + word)) return c.Id();
  }
  return std::atoi(word.c_str());
}

// The files a pattern names, sorted, as script mode expands them.
std::vector<std::string> Expand(const std::string& pattern) {
  glob_t matches{};
  std::vector<std::string> paths;
  if (glob(pattern.c_str(), GLOB_NOCHECK, nullptr, &matches) == 0)
    for (std::size_t k = 0; k < matches.gl_pathc; ++k)
      paths.push_back(std::filesystem::absolute(matches.gl_pathv[k]).lexically_normal().string());
  globfree(&matches);
  std::sort(paths.begin(), paths.end());
  return paths;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: varnel-window-shot SCRIPT OUT.png" << std::endl;
    return 2;
  }
  std::ifstream file(argv[1]);
  std::string error;
  const auto lines = HeadlessHost::Parse(file, argv[1], error);
  if (!file.is_open() || !lines) {
    std::cerr << "varnel-window-shot: cannot read " << argv[1] << " " << error << std::endl;
    return 2;
  }
  QApplication app(argc, argv);
  QtHost host;
  AfxSetHost(&host);
  std::optional<std::vector<std::string>> answer;
  host.SetFileAnswer([&](const FileDialogRequest&) { return answer; });
  host.SetMessageSink([](const std::string& text) { std::cerr << "varnel: " << text << std::endl; });
  int status = 0;
  {
    CVarnelDlg dlg;
    auto window = host.Open(dlg);
    if (!QTest::qWaitForWindowExposed(window.get())) return 1;
    for (const ScriptLine& line : *lines) {
      const auto& w = line.words;
      const int id = w.size() > 1 ? ControlId(dlg, w[1]) : 0;
      if (w[0] == "type" || w[0] == "paste") {
        auto* edit = qobject_cast<QLineEdit*>(window->WidgetOf(id));
        if (!edit) continue;
        edit->setFocus();
        edit->selectAll();
        if (w[0] == "type")
          QTest::keyClicks(edit, QString::fromStdString(w[2]));
        else
          host.UserEdited(*window, id, w[2]);
      } else if (w[0] == "click") {
        if (QWidget* widget = window->WidgetOf(id))
          QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(4, widget->height() / 2));
      } else if (w[0] == "select") {
        if (auto* combo = qobject_cast<QComboBox*>(window->WidgetOf(id))) {
          combo->setCurrentIndex(std::atoi(w[2].c_str()));
          host.UserSelected(*window, id, combo->currentIndex());
        }
      } else if (w[0] == "about") {
        // The box is modal: photograph it from inside its loop, beside OUT.png, then close it.
        QTimer::singleShot(0, [&] {
          QWidget* box = QApplication::activeModalWidget();
          if (!box) return;
          QString out = QString::fromLocal8Bit(argv[2]);
          out.insert(out.lastIndexOf(QLatin1Char('.')), QStringLiteral("-about"));
          box->grab().save(out);
          QTest::keyClick(box, Qt::Key_Escape);
        });
        QTest::keyClick(window.get(), Qt::Key_F1);
      } else if (w[0] == "files") {
        std::vector<std::string> paths;
        for (std::size_t k = 1; k < w.size(); ++k)
          for (std::string& path : Expand(w[k])) paths.push_back(std::move(path));
        answer = paths;
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
