// The system menu's entries of an analysis, each reaching the session: "Export figures and
// tables..." with its folder dialog and the circle the map shows, "Import idealised traces..."
// with its file dialog and the peaks field, "Idealise raw traces..." with its form and table.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "idealise/idealiseoptions.h"
#include "res/resource.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/raw_traces.h"

namespace {

class MenusTest : public DialogTest {
 protected:
  // Answers the next file dialog with `answer` and chooses the menu entry `id`.
  void Choose(UINT id, std::optional<std::vector<std::string>> answer) {
    host.fileAnswers.push_back(std::move(answer));
    dlg->SendMessage(WM_SYSCOMMAND, id);
  }
};

TEST_F(MenusTest, ExportAsksForAFolderAndWritesWhatTheWindowShows) {
  if (!kDrawsFigures) GTEST_SKIP() << "this build draws no figures";
  const auto& items = dlg->SystemMenu().Items();
  const auto entry =
      std::find_if(items.begin(), items.end(), [](const MenuItem& m) { return m.id == IDM_EXPORT_FIGURES; });
  ASSERT_NE(entry, items.end());
  EXPECT_EQ(entry->text, "&Export figures and tables...");
  const std::filesystem::path figures = dir.path() / "figures";

  Choose(IDM_EXPORT_FIGURES, std::vector<std::string>{figures.string()});
  EXPECT_EQ(host.errors, std::vector<std::string>{"Load reports first: there is nothing to export yet."});
  EXPECT_FALSE(std::filesystem::exists(figures));
  host.errors.clear();

  Type(IDC_PEAKS_IN_REPORT, "1");
  dir.Write("a.dat", "h\nh\nh\nh\n0.2 0.8 0.05 0 3\n");
  host.fileAnswers.push_back(std::vector<std::string>{dir / "a.dat"});
  Click(IDC_LOAD_FILES);
  Choose(IDM_EXPORT_FIGURES, std::vector<std::string>{figures.string()});
  ASSERT_TRUE(host.lastFileRequest);
  EXPECT_TRUE(host.lastFileRequest->folder);
  EXPECT_EQ(host.lastFileRequest->title, "Export figures and tables to...");
  EXPECT_TRUE(host.errors.empty()) << host.errors.front();
  EXPECT_EQ(host.notices, std::vector<std::string>{"Exported 7 figures and tables into \"" + figures.string() + "\"."});
  // No class is fitted: the map and the tables.
  std::set<std::string> names;
  for (const auto& file : std::filesystem::directory_iterator(figures)) names.insert(file.path().filename().string());
  EXPECT_EQ(names,
            (std::set<std::string>{"map.svg", "map.pdf", "map.png", "density.csv", "histograms.csv", "results.csv",
                                   "rates.csv"}));
  // A cancelled folder dialog does nothing.
  Choose(IDM_EXPORT_FIGURES, std::nullopt);
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(host.notices.size(), 1u);

  // The map's circle is the shown class's, while circles are used.
  Type(IDC_STATE_COUNT, "2");
  Click(IDC_LOCK_CUTOFFS);
  Click(IDC_PICK_NEXT);
  EXPECT_FALSE(dlg->ShownCircle());
  Click(IDC_USE_CIRCLES);
  Click(IDC_RADIUS_UP);
  const std::optional<SelectionCircle> shown = dlg->ShownCircle();
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->row, 50);
  EXPECT_EQ(shown->col, 150);
  EXPECT_EQ(shown->radius, 11);
  Click(IDC_USE_CIRCLES);
  EXPECT_FALSE(dlg->ShownCircle());
}

TEST_F(MenusTest, ImportAsksForTracesWithOptionsAndTheFieldShowsItsPeaks) {
  dir.Write("a.txt", "0.2\n0.2\n0.8\n");
  const std::string a = (dir.path() / "a.txt").string();
  Choose(IDM_IMPORT_TRACES, std::vector<std::string>{a});
  EXPECT_TRUE(host.messages.empty()) << host.messages.front();
  ASSERT_TRUE(host.lastFileRequest);
  EXPECT_TRUE(host.lastFileRequest->multiSelect);
  EXPECT_NE(host.lastFileRequest->optionWords, nullptr);
  EXPECT_EQ(dlg->m_session.Records().size(), 100u);  // K from the field, 10 at start

  // Options that came with the files set K, and the field shows it.
  Choose(IDM_IMPORT_TRACES, std::vector<std::string>{"--peaks", "2", a});
  EXPECT_EQ(Text(IDC_PEAKS_IN_REPORT), "2");
  EXPECT_EQ(dlg->m_session.Records().size(), 4u);

  // A field that holds no K refuses the import.
  Type(IDC_PEAKS_IN_REPORT, "x");
  Choose(IDM_IMPORT_TRACES, std::vector<std::string>{a});
  EXPECT_EQ(host.errors, std::vector<std::string>{"Peaks in report: enter a whole number from 0 to 1000."});
  EXPECT_EQ(dlg->m_session.Records().size(), 4u);
}

TEST_F(MenusTest, TheMenuEntryLoadsTheReportsAndShowsEveryFitBesideEachMoleculesTrace) {
  std::vector<std::string> answer = {"--fret", "1", "--states", "1-3"};
  for (std::size_t m = 0; m < kRawDwells.size(); ++m) {
    dir.Write("m" + std::to_string(m + 1) + ".txt", RawTrace(kRawDwells[m], static_cast<unsigned>(m + 7)));
    answer.push_back(dir / ("m" + std::to_string(m + 1) + ".txt"));
  }
  host.fileAnswers.push_back(answer);
  dlg->SendMessage(WM_SYSCOMMAND, IDM_IDEALISE_TRACES);
  ASSERT_TRUE(host.lastFileRequest);
  EXPECT_EQ(host.lastFileRequest->optionsForm, &IdealiseOptionsForm());
  EXPECT_TRUE(host.errors.empty()) << host.errors.front();
  EXPECT_EQ(dlg->m_session.Files().size(), kRawDwells.size());
  EXPECT_EQ(dlg->m_session.OutputFolder(), (dir.path() / "varnel-reports" / "").string());
  ASSERT_FALSE(host.tables.empty());
  const TableView& fits = host.tables.back();
  EXPECT_EQ(fits.title, "Idealised traces");
  ASSERT_EQ(fits.rows.size(), 3u);
  EXPECT_EQ(fits.rows[1].front(), "2");
  EXPECT_EQ(fits.rows[1].back(), "chosen");
  EXPECT_EQ(fits.rows[0].back(), "");

  // A cancelled dialog does nothing.
  host.fileAnswers.push_back(std::nullopt);
  const std::size_t shown = host.tables.size();
  dlg->SendMessage(WM_SYSCOMMAND, IDM_IDEALISE_TRACES);
  EXPECT_EQ(host.tables.size(), shown);
}

}  // namespace
