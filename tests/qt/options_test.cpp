// The options dialog that follows the file dialog of an import or an export: what it shows,
// what it refuses, and that what a person chooses there reaches the program and the session
// record, and replays.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QtTest>

#include <fstream>
#include <map>
#include <sstream>

#include "export/exportoptions.h"
#include "import/importoptions.h"
#include "platform/script.h"
#include "platform/winapp.h"
#include "res/resource.h"
#include "tests/qt/window_fixture.h"
#include "tests/support/run_program.h"

namespace {

using Lines = std::vector<std::string>;

// The files of `dir`, the results table without its first line, which dates it.
std::map<std::string, std::string> UndatedFilesIn(const std::filesystem::path& dir) {
  auto files = FilesIn(dir);
  if (const auto results = files.find("results.csv"); results != files.end())
    results->second.erase(0, results->second.find('\n') + 1);
  return files;
}

template <class W>
W* Field(const OptionsDialog& dialog, const char* name) {
  return qobject_cast<W*>(dialog.FieldWidget(name));
}

// Every caption of the dialog that shows is shown whole.
bool CaptionsWhole(const QWidget& dialog) {
  for (const QLabel* label : dialog.findChildren<QLabel*>())
    if (label->isVisible() && !label->wordWrap() && label->width() < label->sizeHint().width()) return false;
  for (const QComboBox* combo : dialog.findChildren<QComboBox*>())
    if (combo->isVisible() && combo->width() < combo->sizeHint().width()) return false;
  return true;
}

}  // namespace

class OptionsTest : public QObject {
  Q_OBJECT

 private slots:
  void theDialogShowsTheFieldsOfTheChosenLayoutAndRefusesWhatTheImportWouldNot();
  void optionsChosenForAnImportReachTheImportAndTheRecordAndAreShownNextTime();
  void anExportsOptionsAreRecordedAfterItsFolderAndReplayWithoutTheDialog();
};

void OptionsTest::theDialogShowsTheFieldsOfTheChosenLayoutAndRefusesWhatTheImportWouldNot() {
  const OptionsForm& form = ImportOptionsForm();
  OptionsDialog dialog(form, OptionValuesOf(form, {"--peaks", "4"}));
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  QCOMPARE(dialog.windowTitle(), QStringLiteral("Import options"));
  QCOMPARE(Field<QSpinBox>(dialog, "peaks")->value(), 4);
  QVERIFY(dialog.FieldWidget("column")->isVisible());
  QVERIFY(!dialog.FieldWidget("table-molecule")->isVisible());
  QVERIFY(CaptionsWhole(dialog));

  auto* layout = Field<QComboBox>(dialog, "layout");
  layout->setCurrentIndex(layout->findData(QStringLiteral("table")));
  QVERIFY(!dialog.FieldWidget("column")->isVisible());
  QVERIFY(dialog.FieldWidget("table-molecule")->isVisible());
  QVERIFY(dialog.FieldWidget("frame")->isVisible());
  QVERIFY(!dialog.FieldWidget("length")->isVisible());
  QVERIFY(CaptionsWhole(dialog));

  // OK without the table's columns: said, and the dialog stays.
  dialog.accept();
  QCOMPARE(dialog.Refusal(), QStringLiteral("Molecule column is needed"));
  QVERIFY(dialog.isVisible());
  QVERIFY(CaptionsWhole(dialog));
  QTest::keyClicks(dialog.FieldWidget("table-molecule"), QStringLiteral(" id "));
  QTest::keyClicks(dialog.FieldWidget("table-value"), QStringLiteral("state"));
  // Below its range the number is blank: K from "Peaks in report".
  auto* peaks = Field<QSpinBox>(dialog, "peaks");
  peaks->setValue(peaks->minimum());
  QCOMPARE(peaks->text(), QStringLiteral("as in \"Peaks in report\""));
  dialog.accept();
  QVERIFY(!dialog.isVisible());
  QCOMPARE(dialog.result(), int(QDialog::Accepted));
  QCOMPARE(OptionWordsOf(form, dialog.Values()), (Lines{"--molecule", "id", "--value", "state"}));
}

void OptionsTest::optionsChosenForAnImportReachTheImportAndTheRecordAndAreShownNextTime() {
  ShownDialog shown;
  const std::filesystem::path traces = shown.dir.path() / "traces";
  std::filesystem::create_directory(traces);
  std::ofstream(traces / "a.txt") << "0.2\n0.2\n0.8\n0.2\n";
  std::ofstream(traces / "b.txt") << "0.8\n0.8\n0.5\n";
  shown.Type(IDC_PEAKS_IN_REPORT, "3");
  QAction* import = shown.MenuEntry("&Import idealised traces...");
  QVERIFY(import);
  shown.chooseOptions = [](OptionsDialog& dialog) {
    Field<QSpinBox>(dialog, "peaks")->setValue(2);
    Field<QLineEdit>(dialog, "prefix")->setText(QStringLiteral("trace"));
    dialog.accept();
  };
  const Lines paths = {(traces / "a.txt").string(), (traces / "b.txt").string()};
  shown.fileAnswer = paths;
  import->trigger();
  QVERIFY2(shown.messages.empty(), shown.messages.empty() ? "" : shown.messages.front().c_str());
  QVERIFY(shown.fileRequests.back().optionsForm == &ImportOptionsForm());
  QCOMPARE(shown.optionsShown, std::vector<OptionValues>{DefaultOptionValues(ImportOptionsForm())});
  // K = 2 for both reports, and the field shows the K of the import.
  QCOMPARE(shown.dlg.m_session.Records().size(), 8u);
  QCOMPARE(shown.Widget<QLineEdit>(IDC_PEAKS_IN_REPORT)->text(), QStringLiteral("2"));
  QVERIFY(std::filesystem::exists(traces / "varnel-reports" / "trace_0001.dat"));
  const Lines recorded = {"type IDC_PEAKS_IN_REPORT 3", "import --peaks 2 --prefix trace " + paths[0] + " " + paths[1]};
  QCOMPARE(shown.host.Record()->Lines(), recorded);

  // The next import shows the options chosen; Cancel there is a Cancel of the import.
  shown.chooseOptions = [](OptionsDialog& dialog) { dialog.reject(); };
  import->trigger();
  QCOMPARE(shown.optionsShown.size(), 2u);
  QCOMPARE(OptionWordsOf(ImportOptionsForm(), shown.optionsShown[1]), (Lines{"--peaks", "2", "--prefix", "trace"}));
  QCOMPARE(shown.dlg.m_session.Records().size(), 8u);
  QCOMPARE(shown.host.Record()->Lines(), recorded);
  QVERIFY(!std::filesystem::exists(traces / "varnel-reports-2"));

  // Replayed without a window, the record imports with the same options.
  const ProgramRun replay =
      RunProgram(VARNEL_PROGRAM, "--script '" + (traces / SessionRecord::kFileName).string() + "'");
  QVERIFY2(replay.status == 0, replay.err.c_str());
  const auto first = UndatedFilesIn(traces / "varnel-reports"), again = UndatedFilesIn(traces / "varnel-reports-2");
  QVERIFY(first.count("trace_0002.dat") && first.count("3dgrid.dat"));
  QVERIFY(first == again);
}

void OptionsTest::anExportsOptionsAreRecordedAfterItsFolderAndReplayWithoutTheDialog() {
  ShownDialog shown;
  shown.LoadOneReport();
  QAction* exportEntry = shown.MenuEntry("&Export figures and tables...");
  QVERIFY(exportEntry);
  shown.chooseOptions = [](OptionsDialog& dialog) {
    auto* format = Field<QComboBox>(dialog, "format");
    format->setCurrentIndex(format->findData(QStringLiteral("svg")));
    Field<QCheckBox>(dialog, "as-on-screen")->setChecked(true);
    dialog.accept();
  };
  const std::filesystem::path figures = shown.dir.path() / "my figures";
  shown.fileAnswer = Lines{figures.string()};
  exportEntry->trigger();
  QVERIFY2(OnlyExportNotices(shown.messages, 1), shown.messages.empty() ? "" : shown.messages.front().c_str());
  QVERIFY(std::filesystem::exists(figures / "map.svg"));
  QVERIFY(!std::filesystem::exists(figures / "map.pdf") && !std::filesystem::exists(figures / "map.png"));
  const std::string line = "export \"" + figures.string() + "\" --format svg --as-on-screen";
  QCOMPARE(shown.host.Record()->Lines().back(), line);
  const auto written = UndatedFilesIn(figures);
  std::filesystem::remove_all(figures);

  // In another window the record replays with its options, and a line of an older record
  // without any with the defaults; neither asks the person.
  std::istringstream text(shown.host.Record()->Text() + "export \"" + (shown.dir.path() / "all").string() + "\"\n");
  std::string error;
  const auto lines = ParseScript(text, "record", error, AfxGetApp()->ProgramCommands());
  QVERIFY2(lines.has_value(), error.c_str());
  ShownDialog again;
  again.host.Replay(*again.window, *lines);
  QVERIFY2(OnlyExportNotices(again.messages, 2), again.messages.empty() ? "" : again.messages.front().c_str());
  QVERIFY(again.optionsShown.empty());
  // The same files; the tables the same to the byte (the figures number their parts anew in
  // every drawing of one process).
  const auto replayed = UndatedFilesIn(figures);
  QCOMPARE(replayed.size(), written.size());
  for (const auto& [name, bytes] : written)
    QVERIFY2(replayed.count(name) && (name.find(".csv") == std::string::npos || replayed.at(name) == bytes),
             name.c_str());
  QVERIFY(std::filesystem::exists(shown.dir.path() / "all" / "map.pdf"));
  const Lines& goesOn = again.host.Record()->Lines();
  QVERIFY(std::find(goesOn.begin(), goesOn.end(), line) != goesOn.end());
}

#include "options_test.moc"

int RunOptionsTests(int argc, char** argv) {
  OptionsTest test;
  return QTest::qExec(&test, argc, argv);
}
