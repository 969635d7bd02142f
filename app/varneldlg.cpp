#include "app/varneldlg.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "analysis/fields.h"
#include "app/aboutdlg.h"
#include "res/resource.h"
#include "selection/histograms.h"

namespace {

// The whole numbers a field takes, as the data exchange checks them.
IntLimits IntLimitsOf(Field field) {
  const FieldRule& rule = RuleOf(field);
  return {static_cast<int>(rule.least), static_cast<int>(rule.most)};
}

}  // namespace

CVarnelDlg::CVarnelDlg() : CDialog(IDD_VARNEL_DIALOG), m_hIcon(AfxGetApp()->LoadIcon(IDR_MAINFRAME)) {
  // A fit is shown at once; its interval follows.
  m_session.SetIntervalsInBackground(true);
}

void CVarnelDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_HIST_PANEL, m_histPanel);
  DDX_Control(dx, IDC_CUTOFF_LIST, m_cutoffList);
  DDX_Text(dx, IDC_EXPOSURE_TIME, m_exposureTime, DoubleLimits{RuleOf(Field::Exposure).least, false});
  DDX_Text(dx, IDC_RATE_STDEV, m_rateStdev);
  DDX_Text(dx, IDC_GAUSS_AMPLITUDE, m_gaussAmplitude);
  DDX_Text(dx, IDC_STATE_COUNT, m_stateCount, IntLimitsOf(Field::States));
  DDX_Text(dx, IDC_CUTOFF_VALUE, m_cutoffValue);
  DDX_Text(dx, IDC_HIST_MAX, m_histMax);
  DDX_Text(dx, IDC_PICK_FROM, m_pickFrom);
  DDX_Text(dx, IDC_PICK_TO, m_pickTo);
  DDX_Text(dx, IDC_KINETIC_RATE, m_kineticRate);
  DDX_Text(dx, IDC_PEAKS_IN_REPORT, m_peaksInReport, IntLimitsOf(Field::Peaks));
  DDX_Check(dx, IDC_USE_CIRCLES, m_useCircles);
  DDX_Check(dx, IDC_WEIGHT_BY_COUNT, m_weightByCount);
}

const MessageMapEntry<CVarnelDlg> CVarnelDlg::kMessageMap[] = {
    OnWmSysCommand(&CVarnelDlg::OnSysCommand),
    OnWmPaint(&CVarnelDlg::OnPaint),
    OnWmTimer(&CVarnelDlg::OnTimer),
    OnBnClicked(IDC_CUTOFF_UP, &CVarnelDlg::OnCutoffUp),
    OnBnClicked(IDC_LOCK_CUTOFFS, &CVarnelDlg::OnLockCutoffs),
    OnBnClicked(IDC_LOAD_FILES, &CVarnelDlg::OnLoadFiles),
    OnBnClicked(IDC_FIT_GAUSSIAN, &CVarnelDlg::OnFitGaussian),
    OnBnClicked(IDC_CUTOFF_DOWN, &CVarnelDlg::OnCutoffDown),
    OnCbnSelChange(IDC_CUTOFF_LIST, &CVarnelDlg::OnCutoffSelChange),
    OnEnChange(IDC_STATE_COUNT, &CVarnelDlg::OnStateCountChange),
    OnBnClicked(IDC_REFRESH_CUTOFFS, &CVarnelDlg::OnRefreshCutoffs),
    OnBnClicked(IDC_PICK_NEXT, &CVarnelDlg::OnPickNext),
    OnBnClicked(IDC_PICK_PREV, &CVarnelDlg::OnPickPrev),
    OnBnClicked(IDC_DUMP_LOG, &CVarnelDlg::OnDumpLog),
    OnEnChange(IDC_PEAKS_IN_REPORT, &CVarnelDlg::OnChangePeaksInReport),
    OnBnClicked(IDC_USE_CIRCLES, &CVarnelDlg::OnUseCircles),
    OnBnClicked(IDC_SET_CIRCLE, &CVarnelDlg::OnSetCircle),
    OnBnClicked(IDC_CIRCLE_UP, &CVarnelDlg::OnCircleUp),
    OnBnClicked(IDC_CIRCLE_DOWN, &CVarnelDlg::OnCircleDown),
    OnBnClicked(IDC_CIRCLE_LEFT, &CVarnelDlg::OnCircleLeft),
    OnBnClicked(IDC_CIRCLE_RIGHT, &CVarnelDlg::OnCircleRight),
    OnBnClicked(IDC_RADIUS_DOWN, &CVarnelDlg::OnRadiusDown),
    OnBnClicked(IDC_RADIUS_UP, &CVarnelDlg::OnRadiusUp),
    OnBnClicked(IDC_WEIGHT_BY_COUNT, &CVarnelDlg::OnWeightByCount),
    OnEnChange(IDC_EXPOSURE_TIME, &CVarnelDlg::OnExposureChange),
};

bool CVarnelDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  return DispatchMessageMap<CVarnelDlg>(*this, kMessageMap, message, wParam, lParam, result);
}

namespace {

// The program's own entries of the system menu; scripts choose each with the command named beside it.
struct SystemMenuEntry {
  UINT id;
  int text;
  const char* command;
  void (CVarnelDlg::*handler)();
};
constexpr SystemMenuEntry kSystemMenuEntries[] = {
    {IDM_IMPORT_TRACES, IDS_IMPORT_TRACES, "import", &CVarnelDlg::OnImportTraces},
    {IDM_IDEALISE_TRACES, IDS_IDEALISE_TRACES, "idealise", &CVarnelDlg::OnIdealiseTraces},
    {IDM_RESULTS, IDS_RESULTS, "results", &CVarnelDlg::OnResults},
    {IDM_EXPORT_FIGURES, IDS_EXPORT_FIGURES, "export", &CVarnelDlg::OnExportFigures},
    // Scripts fit the dwell times with options of their own: `dwell`.
    {IDM_DWELL_TIMES, IDS_DWELL_TIMES, "", &CVarnelDlg::OnDwellTimes},
    // Scripts wait for their intervals: they have none to stop.
    {IDM_STOP_INTERVALS, IDS_STOP_INTERVALS, "", &CVarnelDlg::OnStopIntervals}};

}  // namespace

BOOL CVarnelDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  if (CMenu* systemMenu = GetSystemMenu(FALSE)) {
    std::string strAboutMenu;
    AfxLoadString(IDS_ABOUTBOX, strAboutMenu);
    if (!strAboutMenu.empty()) {
      systemMenu->AppendMenu(MF_SEPARATOR);
      systemMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
    }
    for (const SystemMenuEntry& entry : kSystemMenuEntries) {
      std::string text;
      AfxLoadString(entry.text, text);
      if (!text.empty()) systemMenu->AppendMenu(MF_STRING, entry.id, text, entry.command);
    }
  }
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);

  DrawTestImage();
  CreatePanel();
  LoadColorTable();

  m_cutoffList.InsertString(0, "Null");
  m_cutoffList.SetCurSel(0);

  m_cutoffsLocked = false;
  m_showPick = false;
  m_drawFitCurve = false;

  // The session's start values; they reach the controls at the first paint, whose map redraw
  // ends with a transfer.
  m_exposureTime = m_session.Exposure();
  m_peaksInReport = m_session.Peaks();
  m_weightByCount = m_session.Weighted() ? 1 : 0;
  return TRUE;
}

void CVarnelDlg::OnSysCommand(UINT id, LPARAM lParam) {
  if ((id & 0xFFF0u) == IDM_ABOUTBOX) {
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
  } else if (const auto entry = std::find_if(std::begin(kSystemMenuEntries), std::end(kSystemMenuEntries),
                                             [&](const SystemMenuEntry& e) { return e.id == (id & 0xFFF0u); });
             entry != std::end(kSystemMenuEntries)) {
    (this->*entry->handler)();
  } else {
    CDialog::OnSysCommand(id, lParam);
  }
}

void CVarnelDlg::OnPaint() {
  RedrawMap();
  CDialog::OnPaint();
}

bool CVarnelDlg::HoldsRefusedText(int id) const {
  const Control* control = FindControl(id);
  return control && !control->invalidMessage.empty();
}

bool CVarnelDlg::FieldRefused(int id) {
  if (!HoldsRefusedText(id)) return false;
  // What each edit that an action reads takes, in the words of its label.
  static constexpr std::pair<int, Field> kFields[] = {
      {IDC_EXPOSURE_TIME, Field::Exposure},
      {IDC_STATE_COUNT, Field::States},
      {IDC_CUTOFF_VALUE, Field::Cutoff},
      {IDC_PEAKS_IN_REPORT, Field::Peaks},
  };
  for (const auto& [control, field] : kFields)
    if (control == id) AfxMessageBox(FieldRuleText(field));
  return true;
}

bool CVarnelDlg::Show(const Outcome& outcome) {
  for (const Message& message : outcome.messages)
    AfxMessageBox(message.text, message.severity == Severity::Notice ? MB_ICONINFORMATION : MB_ICONERROR);
  return outcome.done;
}

void CVarnelDlg::SyncSettings() {
  // The data exchange keeps each within what the session takes; a start value of 0 before the
  // first transfer is left out.
  m_session.SetExposure(m_exposureTime);
  m_session.SetPeaks(m_peaksInReport);
  m_session.SetWeighted(m_weightByCount != FALSE);
}

void CVarnelDlg::MirrorSession() {
  m_cutoffs = m_session.CutoffValues();
  m_cutoffsLocked = m_session.Locked();
  for (int i = 0; i < kMaxStates; ++i)
    for (int j = 0; j < kMaxStates; ++j) {
      m_circles[i][j] = m_session.Circles()[i][j];
      StoreHistogram(i, j, m_session.Histogram(i, j));
    }
}

void CVarnelDlg::OnResults() {
  TakeIntervals();
  AfxGetHost().ShowTable(ResultsTable());
}

TableView CVarnelDlg::ResultsTable() const {
  TableView table{"Results", ResultColumns(), {}, {}};
  for (const ResultRow& row : m_session.Results()) table.rows.push_back(ResultCells(row));
  for (const DwellResultRow& row : m_session.DwellResults()) table.rows.push_back(ResultCells(row));
  table.copyText = TabSeparated(table.columns, table.rows);
  return table;
}

void CVarnelDlg::ClearShownResults() {
  m_kineticRate = 0;
  m_rateStdev = 0;
  m_gaussAmplitude = 0;
  m_histMax = 0;
  m_pickFrom = 0;
  m_pickTo = 0;
  m_shownFrom = 0;
  m_shownTo = 0;
  m_showPick = false;
  m_drawFitCurve = false;
  m_rateClass.reset();
  SetControlTip(IDC_KINETIC_RATE, "");
  // The panel as at start: white with its grid, no class drawn.
  CClientDC dc(this);
  {
    CBitmapDC memDC(&dc, &m_panelBitmap);
    DrawPanelGrid(memDC);
  }
  m_histPanel.SetBitmap(&m_panelBitmap);
}
