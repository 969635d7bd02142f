#include "app/varneldlg.h"

#include <algorithm>
#include <iterator>
#include <span>
#include <utility>

#include "app/aboutdlg.h"
#include "res/resource.h"
#include "selection/classlists.h"
#include "selection/histograms.h"

CVarnelDlg::CVarnelDlg() : CDialog(IDD_VARNEL_DIALOG), m_hIcon(AfxGetApp()->LoadIcon(IDR_MAINFRAME)) {}

void CVarnelDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_HIST_PANEL, m_histPanel);
  DDX_Control(dx, IDC_CUTOFF_LIST, m_cutoffList);
  DDX_Text(dx, IDC_EXPOSURE_TIME, m_exposureTime, DoubleLimits{kLeastExposure, false});
  DDX_Text(dx, IDC_RATE_STDEV, m_rateStdev);
  DDX_Text(dx, IDC_GAUSS_AMPLITUDE, m_gaussAmplitude);
  DDX_Text(dx, IDC_STATE_COUNT, m_stateCount, IntLimits{1, kMaxStates});
  DDX_Text(dx, IDC_CUTOFF_VALUE, m_cutoffValue);
  DDX_Text(dx, IDC_HIST_MAX, m_histMax);
  DDX_Text(dx, IDC_PICK_FROM, m_pickFrom);
  DDX_Text(dx, IDC_PICK_TO, m_pickTo);
  DDX_Text(dx, IDC_KINETIC_RATE, m_kineticRate);
  DDX_Text(dx, IDC_PEAKS_IN_REPORT, m_peaksInReport, IntLimits{0, kMaxPeaks});
  DDX_Check(dx, IDC_USE_CIRCLES, m_useCircles);
  DDX_Check(dx, IDC_WEIGHT_BY_COUNT, m_weightByCount);
}

const MessageMapEntry<CVarnelDlg> CVarnelDlg::kMessageMap[] = {
    OnWmSysCommand(&CVarnelDlg::OnSysCommand),
    OnWmPaint(&CVarnelDlg::OnPaint),
    OnWmQueryDragIcon(&CVarnelDlg::OnQueryDragIcon),
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
    {IDM_RESULTS, IDS_RESULTS, "results", &CVarnelDlg::OnResults},
    {IDM_EXPORT_FIGURES, IDS_EXPORT_FIGURES, "export", &CVarnelDlg::OnExportFigures}};

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

  // These reach the controls at the first paint, whose map redraw ends with a transfer.
  m_exposureTime = 0.1;
  m_peaksInReport = 10;
  m_weightByCount = 1;
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
  if (IsIconic()) {
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, dc.GetSafeHdc(), 0);
    const int cxIcon = GetSystemMetrics(SM_CXICON);
    const int cyIcon = GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    const int x = (rect.Width() - cxIcon + 1) / 2;
    const int y = (rect.Height() - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
  } else {
    CDialog::OnPaint();
  }
}

// The cursor shown while the minimised window is dragged.
HCURSOR CVarnelDlg::OnQueryDragIcon() { return m_hIcon; }

bool CVarnelDlg::HoldsRefusedText(int id) const {
  const Control* control = FindControl(id);
  return control && !control->invalidMessage.empty();
}

bool CVarnelDlg::FieldRefused(int id) {
  if (!HoldsRefusedText(id)) return false;
  // What each edit that an action reads takes, in the words of its label.
  static constexpr std::pair<int, const char*> kRules[] = {
      {IDC_EXPOSURE_TIME, "Exposure time (s): enter a number of at least 1e-9, for example 0.05."},
      {IDC_STATE_COUNT, "Number of states: enter a whole number from 1 to 10."},
      {IDC_CUTOFF_VALUE, "Cutoff: enter a number from 0 to 1, for example 0.5."},
      {IDC_PEAKS_IN_REPORT, "Peaks in report: enter a whole number from 0 to 1000."},
  };
  for (const auto& [control, rule] : kRules)
    if (control == id) AfxMessageBox(rule);
  return true;
}

std::string CVarnelDlg::TooManyTransitionsMessage() const {
  std::string text = TooManyEntriesMessage();
  std::size_t largest = 0;
  for (std::size_t r = 1; r < m_records.size(); ++r)
    if (m_records[r].count > m_records[largest].count) largest = r;
  if (!m_records.empty() && !m_recordFiles.empty() && m_records.size() % m_recordFiles.size() == 0) {
    const std::size_t perFile = m_records.size() / m_recordFiles.size();
    text += " The largest number of transitions, " + FormatField(m_records[largest].count) + ", is in \"" +
            m_recordFiles[largest / perFile] + "\".";
  }
  if (m_weightByCount) text += " Untick \"Weight by # transitions\" to count every record once.";
  return text;
}

std::vector<ResultRow> CVarnelDlg::ResultRows() const {
  std::vector<ResultRow> rows;
  const int shown = std::min(m_stateCount, kMaxStates);
  for (int i = 0; i < shown; ++i)
    for (int j = 0; j < shown; ++j)
      if (m_fitResults[i][j].fitted)
        rows.push_back({i + 1, j + 1, m_fitResults[i][j], m_fitRules[i][j], m_fitExposures[i][j],
                        m_fitUncertainties[i][j]});
  return rows;
}

void CVarnelDlg::OnResults() {
  const std::vector<ResultRow> rows = ResultRows();
  TableView table{"Results", ResultColumns(), {}, ResultsTabText(rows)};
  for (const ResultRow& row : rows) table.rows.push_back(ResultCells(row));
  AfxGetHost().ShowTable(table);
}

void CVarnelDlg::ClearResults() {
  m_cutoffsLocked = false;
  m_lockedStateCount = 0;
  m_classLists.clear();
  ClearHistograms();
  for (auto& row : m_fitResults) std::fill(std::begin(row), std::end(row), FitResult{});
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
  SetControlTip(IDC_KINETIC_RATE, "");
  // The panel as at start: white with its grid, no class drawn.
  CClientDC dc(this);
  {
    CBitmapDC memDC(&dc, &m_panelBitmap);
    DrawPanelGrid(memDC);
  }
  m_histPanel.SetBitmap(&m_panelBitmap);
}
