#include "app/varneldlg.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "analysis/fields.h"
#include "app/aboutdlg.h"
#include "app/windowtitle.h"
#include "platform/ddx.h"
#include "reports/parallel.h"
#include "res/resource.h"

namespace {

// The whole numbers a field takes, as the data exchange checks them.
IntLimits IntLimitsOf(Field field) {
  const FieldRule& rule = RuleOf(field);
  return {static_cast<int>(rule.least), static_cast<int>(rule.most)};
}

}  // namespace

// Each view reads the session; what the user changes reaches the session through the handler of
// the control's change, as a command, so the views themselves write nothing.
CVarnelDlg::CVarnelDlg()
    : CDialog(IDD_VARNEL_DIALOG),
      m_exposureTime([this] { return m_session.Exposure(); }),
      m_stateCount([this] { return m_session.States(); }),
      m_peaksInReport([this] { return m_session.Peaks(); }),
      m_hIcon(AfxGetApp()->LoadIcon(IDR_MAINFRAME)),
      m_weightByCount([this] { return m_session.Weighted() ? 1 : 0; }) {
  // A fit is shown at once; its interval follows.
  m_session.SetIntervalsInBackground(true);
}

void CVarnelDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_HIST_PANEL, m_histPanel);
  DDX_Control(dx, IDC_CUTOFF_LIST, m_cutoffList);
  const FieldRule& exposure = RuleOf(Field::Exposure);
  DDX_Text(dx, IDC_EXPOSURE_TIME, m_exposureTime, DoubleLimits{exposure.least, false, exposure.most});
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

// The program's own menu entries: in the system menu, and in the menu bar's File or Analysis menu.
enum class BarMenu { None, File, Analysis };
struct MenuEntry {
  UINT id;
  int text;
  BarMenu bar;
  bool systemMenu;
  void (CVarnelDlg::*handler)();
};
constexpr MenuEntry kMenuEntries[] = {
    {IDM_LOAD_FILES, IDS_LOAD_FILES, BarMenu::File, false, &CVarnelDlg::OnLoadFiles},
    {IDM_IMPORT_TRACES, IDS_IMPORT_TRACES, BarMenu::File, true, &CVarnelDlg::OnImportTraces},
    {IDM_IDEALISE_TRACES, IDS_IDEALISE_TRACES, BarMenu::File, true, &CVarnelDlg::OnIdealiseTraces},
    {IDM_RESULTS, IDS_RESULTS, BarMenu::Analysis, true, &CVarnelDlg::OnResults},
    {IDM_EXPORT_FIGURES, IDS_EXPORT_FIGURES, BarMenu::File, true, &CVarnelDlg::OnExportFigures},
    {IDM_DUMP_LOG, IDS_DUMP_LOG, BarMenu::File, false, &CVarnelDlg::OnDumpLog},
    {IDM_OPEN_FOLDER, IDS_OPEN_FOLDER, BarMenu::File, false, &CVarnelDlg::OnOpenFolder},
    {IDM_FIT_ALL, IDS_FIT_ALL, BarMenu::Analysis, false, &CVarnelDlg::OnFitAll},
    {IDM_DWELL_TIMES, IDS_DWELL_TIMES, BarMenu::Analysis, true, &CVarnelDlg::OnDwellTimes},
    {IDM_RATES, IDS_RATES, BarMenu::Analysis, false, &CVarnelDlg::OnRates},
    {IDM_MOLECULES, IDS_MOLECULES, BarMenu::Analysis, false, &CVarnelDlg::OnMolecules},
    {IDM_STOP_INTERVALS, IDS_STOP_INTERVALS, BarMenu::Analysis, true, &CVarnelDlg::OnStopIntervals}};

std::string StringOf(int id) {
  std::string text;
  AfxLoadString(id, text);
  return text;
}

}  // namespace

BOOL CVarnelDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  if (CMenu* systemMenu = GetSystemMenu(FALSE)) {
    const std::string strAboutMenu = StringOf(IDS_ABOUTBOX);
    if (!strAboutMenu.empty()) {
      systemMenu->AppendMenu(MF_SEPARATOR);
      systemMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
    }
    for (const MenuEntry& entry : kMenuEntries)
      if (entry.systemMenu) systemMenu->AppendMenu(MF_STRING, entry.id, StringOf(entry.text));
  }
  // The same entries, easy to find, in a menu bar above the dialog.
  CMenu& file = AddMenuBarMenu("&File");
  CMenu& analysis = AddMenuBarMenu("&Analysis");
  for (const MenuEntry& entry : kMenuEntries)
    (entry.bar == BarMenu::File ? file : analysis).AppendMenu(MF_STRING, entry.id, StringOf(entry.text));
  AddMenuBarMenu("&Help").AppendMenu(MF_STRING, IDM_ABOUTBOX, StringOf(IDS_ABOUTBOX));

  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);

  DrawTestImage();
  CreatePanel();
  LoadColorTable();

  m_cutoffList.InsertString(0, "Null");
  m_cutoffList.SetCurSel(0);

  m_showPick = false;
  m_drawFitCurve = false;
  // The session's start values (exposure, peaks, weighting) reach the controls at the first
  // paint, whose map redraw ends with a transfer.
  return TRUE;
}

void CVarnelDlg::OnSysCommand(UINT id, LPARAM lParam) {
  if ((id & 0xFFF0u) == IDM_ABOUTBOX) {
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
  } else if (const auto entry = std::find_if(std::begin(kMenuEntries), std::end(kMenuEntries),
                                             [&](const MenuEntry& e) { return e.id == (id & 0xFFF0u); });
             entry != std::end(kMenuEntries)) {
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

void CVarnelDlg::OnResults() { Execute({"results"}); }

void CVarnelDlg::OnRates() { Execute({"rates"}); }

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

void CVarnelDlg::ShowLoad() {
  m_loadedTitle = LoadedTitle(m_session.Files().size(), TransitionsOf(m_session.Records(), m_session.Peaks()));
  // A load forgets the fits, and every interval they waited for.
  ShowIntervalProgress();
  ClearShownResults();
  ShowGrid();
}
