// Start-up of the main dialog: the values before and after the first paint, the system menu,
// the About box, repaints and the names a script finds its controls by.
#include <gtest/gtest.h>

#include "app/aboutdlg.h"
#include "display/colortable.h"
#include "fit/minimiser.h"
#include "res/resource.h"
#include "tests/support/dialog_fixture.h"

namespace {

TEST(StartUp, BeforeTheFirstPaintTheEditsShowTheConstructionValues) {
  TempDir dir;
  TestHost host;
  CVarnelDlg dlg;
  dlg.Realise();
  // The edits are views of the session: they never show a value it does not hold.
  EXPECT_EQ(dlg.FindControl(IDC_EXPOSURE_TIME)->text, "0.1");
  EXPECT_EQ(dlg.FindControl(IDC_PEAKS_IN_REPORT)->text, "10");
  EXPECT_EQ(dlg.FindControl(IDC_WEIGHT_BY_COUNT)->check, 1);
  EXPECT_EQ(dlg.FindControl(IDC_STATE_COUNT)->text, "0");
  EXPECT_EQ(dlg.FindControl(IDC_CUTOFF_LIST)->Describe(), "[Null]");
  EXPECT_EQ(dlg.m_exposureTime, 0.1);
  EXPECT_EQ(dlg.m_peaksInReport, 10);
  EXPECT_EQ(dlg.m_weightByCount, 1);
  EXPECT_FALSE(dlg.m_cutoffsLocked);
  EXPECT_FALSE(dlg.m_showPick);
  EXPECT_FALSE(dlg.m_drawFitCurve);
  EXPECT_EQ(dlg.GetIcon(TRUE), dlg.m_hIcon);
  EXPECT_EQ(dlg.GetIcon(FALSE), dlg.m_hIcon);
  ASSERT_NE(dlg.m_hIcon, nullptr);
  EXPECT_EQ(dlg.m_hIcon->id, static_cast<UINT>(IDR_MAINFRAME));
}

class StartedDialog : public DialogTest {};

TEST_F(StartedDialog, FirstPaintShowsTheStartValues) {
  EXPECT_EQ(Text(IDC_EXPOSURE_TIME), "0.1");
  EXPECT_EQ(Text(IDC_PEAKS_IN_REPORT), "10");
  EXPECT_EQ(Text(IDC_WEIGHT_BY_COUNT), "1");
  EXPECT_EQ(Text(IDC_USE_CIRCLES), "0");
  EXPECT_EQ(Text(IDC_STATE_COUNT), "0");
  EXPECT_EQ(Text(IDC_PICK_FROM), "0");
  EXPECT_EQ(Text(IDC_KINETIC_RATE), "0");
  EXPECT_EQ(Text(IDC_CUTOFF_LIST), "[Null]");
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(host.invalid.empty());
  // The map's colours are the session's table; one in the current folder that cannot be read (a
  // folder of that name) is not passed over in silence.
  EXPECT_EQ(dlg->GetColor(100), TablePixel(DefaultColorTable(), 100));
  std::filesystem::create_directory(dir.path() / "shrcol.tbl");
  dlg->LoadColorTable();
  EXPECT_EQ(host.notices, std::vector<std::string>{"The colour table \"shrcol.tbl\" in the current folder cannot be "
                                                   "read; the map uses the program's own colours."});
  EXPECT_EQ(dlg->GetColor(100), TablePixel(DefaultColorTable(), 100));
}

// What is typed is what the analysis uses: a repaint (or any action after it) keeps it, and a
// text the field refuses leaves the value before it, which the repaint then shows.
TEST_F(StartedDialog, ATypedValueReachesTheSessionAndARepaintKeepsIt) {
  Type(IDC_EXPOSURE_TIME, "0.25");
  EXPECT_EQ(dlg->m_session.Exposure(), 0.25);
  dlg->SendMessage(WM_PAINT);
  EXPECT_EQ(Text(IDC_EXPOSURE_TIME), "0.25");
  Type(IDC_EXPOSURE_TIME, "0,3");
  EXPECT_EQ(dlg->m_session.Exposure(), 0.25);
  dlg->SendMessage(WM_PAINT);
  EXPECT_EQ(Text(IDC_EXPOSURE_TIME), "0.25");
  Type(IDC_PEAKS_IN_REPORT, "4");
  Click(IDC_LOCK_CUTOFFS);
  EXPECT_EQ(dlg->m_session.Peaks(), 4);
  EXPECT_EQ(Text(IDC_PEAKS_IN_REPORT), "4");
  // The exchange keeps K within 0 ... 1000: every keystroke is taken, a text outside the range
  // is refused and K stays what the last accepted text gave.
  Type(IDC_PEAKS_IN_REPORT, "1001");  // "100" is taken, "1001" refused
  EXPECT_EQ(dlg->m_peaksInReport, 100);
  EXPECT_EQ(dlg->m_session.Peaks(), 100);
  EXPECT_FALSE(host.invalid.empty());
  for (const char* text : {"-1", "ten", ""}) {
    Type(IDC_PEAKS_IN_REPORT, text);
    EXPECT_EQ(dlg->m_peaksInReport, 100) << text;
  }
  Type(IDC_PEAKS_IN_REPORT, "1000");
  EXPECT_EQ(dlg->m_peaksInReport, 1000);
  Type(IDC_PEAKS_IN_REPORT, "0");
  EXPECT_EQ(dlg->m_session.Peaks(), 0);
}

TEST_F(StartedDialog, SystemMenuOffersTheAboutBoxTheImportTheIdealisationTheResultsTheExportTheDwellTimesAndTheStop) {
  const auto& items = dlg->SystemMenu().Items();
  ASSERT_EQ(items.size(), 8u);
  EXPECT_EQ(items[0].flags, MF_SEPARATOR);
  EXPECT_EQ(items[1].flags, MF_STRING);
  EXPECT_EQ(items[1].id, IDM_ABOUTBOX);
  EXPECT_EQ(items[1].text, "&About Varnel...");
  EXPECT_EQ(items[2].id, IDM_IMPORT_TRACES);
  EXPECT_EQ(items[2].text, "&Import idealised traces...");
  EXPECT_EQ(items[3].id, IDM_IDEALISE_TRACES);
  EXPECT_EQ(items[3].text, "Idealise raw &traces...");
  EXPECT_EQ(items[4].id, IDM_RESULTS);
  EXPECT_EQ(items[4].text, "&Results...");
  EXPECT_EQ(items[5].id, IDM_EXPORT_FIGURES);
  EXPECT_EQ(items[5].text, "&Export figures and tables...");
  EXPECT_EQ(items[6].id, IDM_DWELL_TIMES);
  EXPECT_EQ(items[6].text, "&Dwell times...");
  EXPECT_EQ(items[7].id, IDM_STOP_INTERVALS);
  EXPECT_EQ(items[7].text, "&Stop computing intervals");

  dlg->SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX);
  EXPECT_EQ(host.modalRuns, 1);
  EXPECT_FALSE(dlg->HasEnded());
  // The low four bits of a system command are the system's own.
  dlg->SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3);
  EXPECT_EQ(host.modalRuns, 2);
}

TEST_F(StartedDialog, OtherSystemCommandsBehaveAsUsual) {
  dlg->SendMessage(WM_SYSCOMMAND, SC_CLOSE);
  EXPECT_TRUE(dlg->HasEnded());
  EXPECT_EQ(dlg->Result(), IDCANCEL);
  EXPECT_EQ(host.modalRuns, 0);
}

TEST(AboutBox, ShowsTheVersionAndTheLicenceAndClosesWithOk) {
  TestHost host;
  CAboutDlg about;
  about.Realise();
  EXPECT_EQ(about.Template().caption, "About Varnel");
  // The whole version, as --version says it.
  const Control* version = nullptr;
  const Control* licence = nullptr;
  for (const Control& c : about.Controls()) {
    if (c.text == "Varnel Version " VARNEL_VERSION) version = &c;
    if (c.text == "Licence: " VARNEL_LICENCE) licence = &c;
  }
  ASSERT_NE(version, nullptr);
  EXPECT_NE(licence, nullptr);
  about.UserClick(IDOK);
  EXPECT_TRUE(about.HasEnded());
  EXPECT_EQ(about.Result(), IDOK);
}

TEST(ScriptControls, NamesInAnyCaseWithOrWithoutThePrefixOrNumbers) {
  TestHost host;
  CVarnelDlg dlg;
  dlg.Realise();
  const Control* exposure = dlg.FindControl(IDC_EXPOSURE_TIME);
  for (const std::string word : {"IDC_EXPOSURE_TIME", "exposure_time", "Idc_Exposure_Time", "1006", "001006"})
    EXPECT_EQ(FindScriptControl(dlg, word), exposure) << word;
  for (const std::string word : {"", "IDC_", "IDC_IDC_EXPOSURE_TIME", "EXPOSURE", "0001006", "99", "-1"})
    EXPECT_EQ(FindScriptControl(dlg, word), nullptr) << word;
}

// The minimiser ends the process on its own; the application makes the host show its report first.
TEST(StartUpDeathTest, TheHostShowsTheMinimisersFatalReport) {
  const auto run = [] {
    TempDir dir;
    TestHost host;
    AfxGetApp()->InitInstance();
    fatalError("lost");
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(1),
              "^shown by the host: Numerical Recipes run-time error\\.\\.\\.\nlost\n");
}

// 403 dialog units high: two lines under the histogram panel for its axis.
TEST(Templates, MainDialogIs721By654PixelsWithThePanelAt400By200AndTheMapAt402By402) {
  const DialogTemplate* main = FindDialogTemplate(IDD_VARNEL_DIALOG);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(main->PixelWidth(), 721);
  EXPECT_EQ(main->PixelHeight(), 654);
  EXPECT_EQ(main->caption, "Varnel");
  const auto panel = std::find_if(main->controls.begin(), main->controls.end(),
                                  [](const ControlTemplate& c) { return c.id == IDC_HIST_PANEL; });
  ASSERT_NE(panel, main->controls.end());
  const CRect r = panel->PixelRect();
  EXPECT_EQ(r.left, 3);
  EXPECT_EQ(r.top, 422);
  EXPECT_EQ(r.Width(), 400);
  // Each map cell is 2 x 2 pixels, and `save-map` finds the map where the drawing puts it.
  const CRect* map = main->Region(kMapRegionName);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->left, 1);
  EXPECT_EQ(map->top, 1);
  EXPECT_EQ(map->Width(), 2 * kMapCells);
  EXPECT_EQ(map->Height(), 2 * kMapCells);
}

}  // namespace
