// The session record: the lines it writes, and that a recorded session replayed without a
// window writes the same files.
#include <QMenu>
#include <QtTest>

#include <fstream>
#include <map>
#include <sstream>

#include "platform/script.h"
#include "platform/winapp.h"
#include "res/resource.h"
#include "tests/qt/window_fixture.h"
#include "tests/support/run_program.h"

namespace {

using Lines = std::vector<std::string>;

// An idealised trace of three levels whose dwells run from 1 to 12 frames, in an order that
// only looks random: enough dwells of every state, and of every pair, to fit.
std::string IdealisedTrace(unsigned seed, int frames) {
  const double levels[] = {0.2, 0.5, 0.8};
  std::string text = "frame idealised\n";
  unsigned state = seed % 3, next = seed;
  for (int frame = 1; frame <= frames;) {
    next = next * 1103515245u + 12345u;
    const int dwell = 1 + static_cast<int>((next >> 16) % 12);
    for (int k = 0; k < dwell && frame <= frames; ++k, ++frame)
      text += std::to_string(frame) + ' ' + std::to_string(levels[state]).substr(0, 3) + '\n';
    state = (state + 1 + (next >> 24) % 2) % 3;
  }
  return text;
}

// Every occurrence of `from` in `text` made `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The results table from its line "# exposure" on: what comes before dates the table.
std::string Undated(const std::string& results) {
  if (results.rfind("# exposure", 0) == 0) return results;
  const std::size_t at = results.find("\n# exposure");
  return at == std::string::npos ? std::string() : results.substr(at + 1);
}

}  // namespace

class RecordTest : public QObject {
  Q_OBJECT

 private slots:
  void keystrokesAtTheEndOfOneEditMakeOneLine();
  void otherChangesOfTheTextAreReplayedAsOneChange();
  void filesAreWrittenBeforeTheirClickAndMoveTheRecord();
  void onlyPaintsThatCanChangeSomethingAreWritten();
  void theRecordIsAScriptThatReadsBackAsWritten();
  void anEarlierRecordIsKeptAndAFailureIsToldWhy();
  void aSessionInTheWindowReplaysToTheSameFiles();
  void aRecordReplayedInTheWindowWritesTheSameFilesAndGoesOnRecording();
  void anImportFromTheBackgroundMenuIsRecordedAndReplays();
  void analysisCommandsReplayedInTheWindowAreCarriedOutAndRecorded();
  void anExportIsRecordedWithItsFolderAndTheRecordStaysWithTheReports();
  void aSessionRunFromTheMenuBarReplaysToTheSameFiles();
};

void RecordTest::keystrokesAtTheEndOfOneEditMakeOneLine() {
  SessionRecord record("/tmp");
  for (const char* text : {"0", "0.", "0.0", "0.05"}) record.Typed("IDC_EXPOSURE_TIME", text);
  record.Typed("IDC_STATE_COUNT", "3");
  record.Typed("IDC_STATE_COUNT", "3µ");  // one keystroke, two bytes
  record.Clicked("IDC_LOCK_CUTOFFS");
  record.Typed("IDC_STATE_COUNT", "4");
  QCOMPARE(record.Lines(), (Lines{"type IDC_EXPOSURE_TIME 0.05", "type IDC_STATE_COUNT 3µ", "click IDC_LOCK_CUTOFFS",
                                  "type IDC_STATE_COUNT 4"}));
  // Past the keystrokes a `type` line replays one by one, each keystroke is the one change it
  // replays as.
  SessionRecord longer("/tmp");
  std::string text;
  for (std::size_t k = 0; k < kMostTypedKeystrokes + 2; ++k) longer.Typed("IDC_EXPOSURE_TIME", text += '1');
  QCOMPARE(longer.Lines(), (Lines{"type IDC_EXPOSURE_TIME " + text.substr(0, kMostTypedKeystrokes),
                                  "paste IDC_EXPOSURE_TIME " + text.substr(0, kMostTypedKeystrokes + 1),
                                  "paste IDC_EXPOSURE_TIME " + text}));
}

void RecordTest::otherChangesOfTheTextAreReplayedAsOneChange() {
  SessionRecord record("/tmp");
  record.Typed("IDC_PEAKS_IN_REPORT", "1");
  record.Typed("IDC_PEAKS_IN_REPORT", "12");
  record.Typed("IDC_PEAKS_IN_REPORT", "1");   // a deletion
  record.Typed("IDC_PEAKS_IN_REPORT", "10");  // replays as 1, 10 again
  record.Typed("IDC_PEAKS_IN_REPORT", "");    // all deleted
  record.Typed("IDC_PEAKS_IN_REPORT", "2");
  record.Typed("IDC_PEAKS_IN_REPORT", "25");
  record.Typed("IDC_PEAKS_IN_REPORT", "125");  // typed in front
  record.Typed("IDC_EXPOSURE_TIME", "0.25");   // pasted
  record.Typed("IDC_EXPOSURE_TIME", "0.255");
  QCOMPARE(record.Lines(),
           (Lines{"type IDC_PEAKS_IN_REPORT 12", "type IDC_PEAKS_IN_REPORT 10", "type IDC_PEAKS_IN_REPORT \"\"",
                  "type IDC_PEAKS_IN_REPORT 25", "paste IDC_PEAKS_IN_REPORT 125", "paste IDC_EXPOSURE_TIME 0.25",
                  "paste IDC_EXPOSURE_TIME 0.255"}));
}

void RecordTest::filesAreWrittenBeforeTheirClickAndMoveTheRecord() {
  SessionRecord record("/work/start");
  QCOMPARE(record.Path(), std::filesystem::path("/work/start/varnel-session.vsc"));
  record.FilesChosen(std::nullopt);
  record.Clicked("IDC_LOAD_FILES");
  QCOMPARE(record.Path(), std::filesystem::path("/work/start/varnel-session.vsc"));
  record.FilesChosen(Lines{"/data/run 1/a.dat", "/data/other/b*[1]?.dat", "/data/q\"uote.dat"});
  record.Clicked("IDC_LOAD_FILES");
  QCOMPARE(record.Path(), std::filesystem::path("/data/run 1/varnel-session.vsc"));
  QCOMPARE(record.Lines(), (Lines{"files", "click IDC_LOAD_FILES",
                                  R"(files "/data/run 1/a.dat" "/data/other/b\\*\\[1]\\?.dat" "/data/q\"uote.dat")",
                                  "click IDC_LOAD_FILES"}));
  // A cancelled load leaves the record where the last load put it.
  record.FilesChosen(std::nullopt);
  QCOMPARE(record.Path(), std::filesystem::path("/data/run 1/varnel-session.vsc"));
}

void RecordTest::onlyPaintsThatCanChangeSomethingAreWritten() {
  SessionRecord record("/tmp");
  record.Painted();  // the first paint of every shown dialog
  record.Painted();  // nothing happened since the last one
  record.Typed("IDC_EXPOSURE_TIME", "5");
  record.Painted();  // brings the field's value back into the edit
  record.Painted();
  record.Typed("IDC_EXPOSURE_TIME", "6");  // not part of a run across the paint
  QCOMPARE(record.Lines(), (Lines{"type IDC_EXPOSURE_TIME 5", "paint", "type IDC_EXPOSURE_TIME 6"}));
}

void RecordTest::theRecordIsAScriptThatReadsBackAsWritten() {
  SessionRecord record("/tmp");
  record.Typed("IDC_EXPOSURE_TIME", "0.5 \"#\"");
  record.FilesChosen(Lines{"/data/a b.dat", "/data/two\nlines\\.dat"});
  record.Clicked("IDC_LOAD_FILES");
  record.Selected("IDC_CUTOFF_LIST", 2);
  record.AboutOpened();
  std::istringstream text(record.Text());
  std::string error;
  const auto lines = ParseScript(text, "record", error, AfxGetApp()->ProgramCommands());
  QVERIFY2(lines.has_value(), error.c_str());
  QCOMPARE(lines->size(), 5u);
  QVERIFY((*lines)[0].command == ScriptCommand::Paste);
  QCOMPARE((*lines)[0].args, (Lines{"IDC_EXPOSURE_TIME", "0.5 \"#\""}));
  QVERIFY((*lines)[1].command == ScriptCommand::Files);
  // Recorded names come back as they were, whether or not the files are still there.
  QCOMPARE(ExpandScriptPaths((*lines)[1].args), (Lines{"/data/a b.dat", "/data/two\nlines\\.dat"}));
  QVERIFY((*lines)[3].command == ScriptCommand::Select);
  QCOMPARE((*lines)[3].args, (Lines{"IDC_CUTOFF_LIST", "2"}));
  QVERIFY((*lines)[4].command == ScriptCommand::About);
  QVERIFY((*lines)[4].args.empty());
}

void RecordTest::anEarlierRecordIsKeptAndAFailureIsToldWhy() {
  TempDir dir;
  dir.Write("varnel-session.vsc", "an earlier session\n");
  dir.Write("varnel-session.1.vsc", "an even earlier one\n");
  SessionRecord record(dir.path());
  record.Clicked("IDC_LOCK_CUTOFFS");
  QVERIFY(!record.Save());
  record.Clicked("IDC_PICK_NEXT");
  QVERIFY(!record.Save());  // this session's own record is rewritten, not kept
  QCOMPARE(dir.Read("varnel-session.1.vsc"), std::string("an even earlier one\n"));
  QCOMPARE(dir.Read("varnel-session.2.vsc"), std::string("an earlier session\n"));
  QCOMPARE(dir.Read("varnel-session.vsc"), record.Text());
  QVERIFY(!std::filesystem::exists(dir / "varnel-session.3.vsc"));

  TempDir other;
  std::filesystem::create_directory(other / "varnel-session.vsc");  // in the way, and not a file
  SessionRecord blocked(other.path());
  blocked.Clicked("IDC_LOCK_CUTOFFS");
  const auto failure = blocked.Save();
  QVERIFY(failure.has_value());
  QVERIFY2(failure->find("the record of an earlier session cannot be kept") == 0, failure->c_str());
}

void RecordTest::aSessionInTheWindowReplaysToTheSameFiles() {
  ShownDialog shown;
  const std::filesystem::path start = shown.dir.path(), reports = start / "reports";
  std::filesystem::create_directory(reports);
  shown.Type(IDC_PEAKS_IN_REPORT, "3");
  shown.Type(IDC_EXPOSURE_TIME, "0.05");
  QTest::keyClick(shown.Widget(IDC_EXPOSURE_TIME), Qt::Key_Backspace);
  QTest::keyClicks(shown.Widget(IDC_EXPOSURE_TIME), "2");
  shown.Click(IDC_WEIGHT_BY_COUNT);  // a map of no records, in the working directory
  shown.fileAnswer = WriteReports(reports, 2);
  shown.Click(IDC_LOAD_FILES);
  shown.Click(IDC_WEIGHT_BY_COUNT);
  shown.Type(IDC_STATE_COUNT, "3");
  QTest::keyClick(shown.Widget(IDC_CUTOFF_LIST), Qt::Key_Down);
  shown.Click(IDC_CUTOFF_UP);
  shown.Click(IDC_LOCK_CUTOFFS);
  shown.Click(IDC_PICK_NEXT);
  shown.Click(IDC_FIT_GAUSSIAN);
  for (int k = 0; k < 2; ++k) shown.Click(IDC_PICK_NEXT);  // on to 2->1
  shown.Click(IDC_FIT_GAUSSIAN);
  shown.Click(IDC_DUMP_LOG);
  QVERIFY2(shown.messages.empty(), shown.messages.empty() ? "" : shown.messages.front().c_str());
  QCOMPARE(shown.host.Record()->Path(), reports / SessionRecord::kFileName);

  const auto before = FilesIn(start), written = FilesIn(reports);
  QVERIFY(written.at(SessionRecord::kFileName) == shown.host.Record()->Text());
  for (const char* name : {"3dgrid.dat", "log.dat", "1,2rates.dat", "2,1rates.dat"})
    QVERIFY2(written.count(name), name);
  QVERIFY(before.count("3dgrid.dat"));

  // Replayed in the same working directory, after the files of the session are gone.
  const auto isOutput = [](const std::string& name) {
    return name.rfind("report", 0) != 0 && name != SessionRecord::kFileName && name != "shrcol.tbl";
  };
  for (const auto& dir : {start, reports})
    for (const auto& [name, bytes] : FilesIn(dir))
      if (isOutput(name)) std::filesystem::remove(dir / name);
  // The working directory is `start`.
  const ProgramRun replay = RunProgram(VARNEL_PROGRAM, "--script '" + (reports / SessionRecord::kFileName).string() + "'");
  QVERIFY2(replay.status == 0, replay.err.c_str());
  // The results table dates itself in its first line; everything else is the same to the byte.
  const auto undated = [](const std::string& name, const std::string& bytes) {
    return name == "results.csv" ? bytes.substr(bytes.find('\n')) : bytes;
  };
  for (const auto& [dir, want] : {std::pair{start, before}, std::pair{reports, written}}) {
    const auto got = FilesIn(dir);
    for (const auto& [name, bytes] : want)
      QVERIFY2(got.count(name) && undated(name, got.at(name)) == undated(name, bytes), name.c_str());
    QCOMPARE(got.size(), want.size());
  }
}

// `varnel SESSION.vsc`: the record of one window, replayed in another, does the same analysis
// there, shows its values in the edits, and is recorded again, so the user can go on by hand.
void RecordTest::aRecordReplayedInTheWindowWritesTheSameFilesAndGoesOnRecording() {
  ShownDialog first;
  const auto reports = first.dir.path() / "reports";
  std::filesystem::create_directory(reports);
  first.Type(IDC_PEAKS_IN_REPORT, "3");
  first.fileAnswer = WriteReports(reports, 2);
  first.Click(IDC_LOAD_FILES);
  first.Type(IDC_STATE_COUNT, "3");
  first.Click(IDC_LOCK_CUTOFFS);
  first.Click(IDC_PICK_NEXT);
  first.Click(IDC_FIT_GAUSSIAN);
  first.Click(IDC_DUMP_LOG);
  QVERIFY2(first.messages.empty(), first.messages.empty() ? "" : first.messages.front().c_str());
  const std::string recorded = first.host.Record()->Text();
  std::map<std::string, std::string> written;
  for (const auto& [name, bytes] : FilesIn(reports))
    if (name != SessionRecord::kFileName && name.rfind("report", 0) != 0) written[name] = bytes;
  QVERIFY(written.count("log.dat") && written.count("1,2rates.dat") && written.count("results.csv"));
  for (const auto& [name, bytes] : written) std::filesystem::remove(reports / name);

  ShownDialog again;
  std::istringstream text(recorded);
  std::string error;
  const auto lines = ParseScript(text, "record", error, AfxGetApp()->ProgramCommands());
  QVERIFY2(lines.has_value(), error.c_str());
  again.host.Replay(*again.window, *lines);
  QVERIFY2(again.messages.empty(), again.messages.empty() ? "" : again.messages.front().c_str());
  const auto undated = [](const std::string& name, const std::string& bytes) {
    return name == "results.csv" ? bytes.substr(bytes.find('\n')) : bytes;
  };
  const auto got = FilesIn(reports);
  for (const auto& [name, bytes] : written)
    QVERIFY2(got.count(name) && undated(name, got.at(name)) == undated(name, bytes), name.c_str());
  QCOMPARE(again.Widget<QLineEdit>(IDC_STATE_COUNT)->text(), QStringLiteral("3"));
  QCOMPARE(again.Widget<QLineEdit>(IDC_PEAKS_IN_REPORT)->text(), QStringLiteral("3"));
  // The new record holds the same actions; the one before is kept under another name.
  const auto actions = [](const std::vector<std::string>& all) {
    Lines kept;
    for (const std::string& line : all)
      if (line != "paint") kept.push_back(line);
    return kept;
  };
  QCOMPARE(actions(again.host.Record()->Lines()), actions(first.host.Record()->Lines()));
  QVERIFY(std::filesystem::exists(reports / "varnel-session.1.vsc"));
}

void RecordTest::anImportFromTheBackgroundMenuIsRecordedAndReplays() {
  ShownDialog shown;
  const std::filesystem::path traces = shown.dir.path() / "my traces";
  std::filesystem::create_directory(traces);
  std::ofstream(traces / "a.txt") << "frame idealised\n1 0.2\n2 0.2\n3 0.8\n4 0.2\n";
  std::ofstream(traces / "b.txt") << "0.8\n0.8\n0.5\n";
  shown.Type(IDC_PEAKS_IN_REPORT, "3");
  QAction* import = shown.MenuEntry("&Import idealised traces...");
  QVERIFY(import);
  import->trigger();  // cancelled: nothing to do again
  shown.fileAnswer = Lines{(traces / "a.txt").string(), (traces / "b.txt").string()};
  import->trigger();
  QVERIFY2(shown.messages.empty(), shown.messages.empty() ? "" : shown.messages.front().c_str());
  QCOMPARE(shown.dlg.m_session.Records().size(), 18u);
  QCOMPARE(shown.host.Record()->Lines(),
           (Lines{"type IDC_PEAKS_IN_REPORT 3",
                  "import \"" + (traces / "a.txt").string() + "\" \"" + (traces / "b.txt").string() + "\""}));
  QCOMPARE(shown.host.Record()->Path(), traces / SessionRecord::kFileName);

  // Replayed, the import makes a folder of its own with the same reports and map.
  const ProgramRun replay =
      RunProgram(VARNEL_PROGRAM, "--script '" + (traces / SessionRecord::kFileName).string() + "'");
  QVERIFY2(replay.status == 0, replay.err.c_str());
  const auto first = FilesIn(traces / "varnel-reports"), again = FilesIn(traces / "varnel-reports-2");
  QCOMPARE(first.size(), 4u);  // two reports, the dwells and the map
  QVERIFY(first == again);
}

void RecordTest::anExportIsRecordedWithItsFolderAndTheRecordStaysWithTheReports() {
  ShownDialog shown;
  const std::filesystem::path reports = shown.LoadOneReport();
  QAction* exportEntry = shown.MenuEntry("&Export figures and tables...");
  QVERIFY(exportEntry);
  const std::filesystem::path figures = shown.dir.path() / "my figures";
  shown.fileAnswer = Lines{figures.string()};
  exportEntry->trigger();
  QVERIFY2(OnlyExportNotices(shown.messages, 1), shown.messages.empty() ? "" : shown.messages.front().c_str());
  QVERIFY(std::filesystem::exists(figures / "map.svg"));
  QCOMPARE(shown.host.Record()->Lines().back(), "export \"" + figures.string() + "\"");
  QCOMPARE(shown.host.Record()->Path(), reports / SessionRecord::kFileName);
}

// Everything chosen from the menu bar is recorded as the system menu's entries are: the record
// of such a session, replayed without a window on a copy of its traces, writes the same files.
void RecordTest::aSessionRunFromTheMenuBarReplaysToTheSameFiles() {
  ShownDialog shown;
  const std::filesystem::path traces = shown.dir.path() / "traces", copy = shown.dir.path() / "copy";
  std::filesystem::create_directory(traces);
  Lines traceFiles;
  for (unsigned k = 0; k < 3; ++k) {
    const auto path = traces / ("trace" + std::to_string(k + 1) + ".txt");
    std::ofstream(path) << IdealisedTrace(7 + 31 * k, 1500);
    traceFiles.push_back(path.string());
  }
  std::filesystem::copy(traces, copy);
  shown.Type(IDC_PEAKS_IN_REPORT, "3");
  shown.fileAnswer = traceFiles;
  QAction* import = shown.BarEntry("&File", "&Import idealised traces...");
  QVERIFY(import);
  import->trigger();
  QVERIFY2(shown.messages.empty(), shown.messages.empty() ? "" : shown.messages.front().c_str());
  const std::filesystem::path reports = traces / "varnel-reports";
  QVERIFY(std::filesystem::exists(reports / "dwells.csv"));
  shown.Type(IDC_STATE_COUNT, "3");
  shown.Click(IDC_LOCK_CUTOFFS);
  QAction* fitAll = shown.BarEntry("&Analysis", "&Fit all classes");
  QVERIFY(fitAll);
  fitAll->trigger();
  QAction* dwells = shown.BarEntry("&Analysis", "&Dwell times...");
  QVERIFY(dwells);
  dwells->trigger();
  QAction* rates = shown.BarEntry("&Analysis", "Rate &matrix...");
  QVERIFY(rates);
  rates->trigger();
  QAction* log = shown.BarEntry("&File", "&Write the log");
  QVERIFY(log);
  log->trigger();
  const std::filesystem::path figures = traces / "figures";
  shown.fileAnswer = Lines{figures.string()};
  QAction* exportEntry = shown.BarEntry("&File", "&Export figures and tables...");
  QVERIFY(exportEntry);
  exportEntry->trigger();
  QVERIFY2(OnlyExportNotices(shown.messages, 1), shown.messages.empty() ? "" : shown.messages.front().c_str());

  // The record holds what the menu bar did, as commands of the program.
  Lines commands;
  for (const std::string& line : shown.host.Record()->Lines())
    if (line != "paint") commands.push_back(line.substr(0, line.find(' ')));
  QCOMPARE(commands, (Lines{"type", "import", "type", "click", "fit", "dwell", "rates", "log", "export"}));

  const auto written = FilesIn(reports), exported = FilesIn(figures);
  QVERIFY(written.count("log.dat") && written.count("results.csv") && written.count("3dgrid.dat"));
  QVERIFY(exported.count("density.csv") && exported.count("histograms.csv"));
  Lines compared = {"log.dat", "results.csv", "rates.csv", "3dgrid.dat", "dwells.csv"};
  for (const auto& [name, bytes] : written)
    if (name.ends_with("rates.dat")) compared.push_back(name);
  QVERIFY(compared.size() > 5);  // the fits wrote their rates

  // The same session on the copy of the traces, by the program without a window.
  const std::string record = Replaced(shown.host.Record()->Text(), traces.string(), copy.string());
  std::ofstream(copy / SessionRecord::kFileName) << record;
  const ProgramRun replay = RunProgram(VARNEL_PROGRAM, "--script '" + (copy / SessionRecord::kFileName).string() + "'");
  QVERIFY2(replay.status == 0, replay.err.c_str());
  const auto again = FilesIn(copy / "varnel-reports"), exportedAgain = FilesIn(copy / "figures");
  for (const std::string& name : compared) {
    QVERIFY2(again.count(name), name.c_str());
    if (name == "results.csv")
      QVERIFY(!Undated(written.at(name)).empty() && Undated(again.at(name)) == Undated(written.at(name)));
    else
      QVERIFY2(again.at(name) == written.at(name), name.c_str());
  }
  for (const char* name : {"density.csv", "histograms.csv", "rates.csv"})
    QVERIFY2(exportedAgain.count(name) && exportedAgain.at(name) == exported.at(name), name);
}

#include "record_test.moc"

int RunRecordTests(int argc, char** argv) {
  RecordTest test;
  return QTest::qExec(&test, argc, argv);
}

// A batch script opened in the window: its analysis commands do there what they do in script
// mode, the edits show it, and the record holds them, so the session replays whole.
void RecordTest::analysisCommandsReplayedInTheWindowAreCarriedOutAndRecorded() {
  ShownDialog shown;
  const auto reports = shown.dir.path() / "reports";
  std::filesystem::create_directory(reports);
  WriteReports(reports, 2);
  const std::string script = "peaks 3\nload \"" + (reports / "*.dat").string() +
                             "\"\nstates 3\nlock\nfit 1 2\nstates eleven\nlog\n";
  std::istringstream text(script);
  std::string error;
  const auto lines = ParseScript(text, "batch", error, AfxGetApp()->ProgramCommands());
  QVERIFY2(lines.has_value(), error.c_str());
  shown.host.Replay(*shown.window, *lines);
  QVERIFY2(shown.messages.empty(), shown.messages.empty() ? "" : shown.messages.front().c_str());
  QCOMPARE(shown.Widget<QLineEdit>(IDC_PEAKS_IN_REPORT)->text(), QStringLiteral("3"));
  QCOMPARE(shown.Widget<QLineEdit>(IDC_STATE_COUNT)->text(), QStringLiteral("3"));
  QCOMPARE(shown.Widget<QLineEdit>(IDC_PICK_TO)->text(), QStringLiteral("2"));
  QVERIFY(std::filesystem::exists(reports / "log.dat"));
  Lines commands;
  for (const std::string& line : shown.host.Record()->Lines())
    if (line != "paint") commands.push_back(line);
  // The line whose words were wrong is left out of the record as it was of the analysis.
  const std::string load = FormatScriptLine({"load", (reports / "*.dat").string()});
  QCOMPARE(commands, (Lines{"peaks 3", load, "states 3", "lock", "fit 1 2", "log"}));
  QCOMPARE(shown.host.Record()->Path(), reports / SessionRecord::kFileName);
}
