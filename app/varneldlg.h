// The main dialog: the view of one analysis. A handler reads its controls, asks the Session to do
// what the user asked, shows what it says and draws; the analysis itself is the Session's.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/session.h"
#include "domain/analysis_types.h"
#include "display/colortable.h"
#include "platform/afxwin.h"

class CVarnelDlg : public CDialog {
 public:
  CVarnelDlg();

  // --- The analysis ---------------------------------------------------------------------------
  Session m_session;

  // --- What the window shows, in declaration order ----------------------------------------------
  CBitmap m_mapBitmap;
  CBitmap m_panelBitmap;
  MapImage m_displayPixels;
  MapImage m_basePixels;
  ColorTable m_colorTable{};
  // The session's cutoffs, lock and circles as the map draws them.
  Cutoffs m_cutoffs{};  // no state count yet: every slot 0.0
  bool m_cutoffsLocked = false;
  CircleTable m_circles;
  int m_shownFrom = 0;
  int m_shownTo = 0;
  bool m_showPick = false;
  bool m_drawFitCurve = false;
  CStatic m_histPanel;
  CComboBox m_cutoffList;
  double m_exposureTime = 0;
  double m_rateStdev = 0;
  double m_gaussAmplitude = 0;
  int m_stateCount = 0;
  double m_cutoffValue = 0;
  double m_histMax = 0;
  int m_pickFrom = 0;
  int m_pickTo = 0;
  double m_kineticRate = 0;
  int m_peaksInReport = 0;
  BOOL m_useCircles = FALSE;
  HICON m_hIcon = nullptr;
  BOOL m_weightByCount = FALSE;

  // --- Operations ---------------------------------------------------------------------------
  void DrawTestImage();
  void CreatePanel();
  void DrawPanelGrid(CDC& memDC);
  void RedrawMap();
  void LoadColorTable();
  Pixel GetColor(int index) const;
  // Rebuilds the session's map, weighted as the box says, and colours it into the base image.
  void RebuildTransitionMap();
  void DrawPanel();
  // Whether edit `id` holds text that its field refuses (the field keeps its value before).
  bool HoldsRefusedText(int id) const;
  // The same, for an action that reads the field: it then tells the user what the field takes,
  // and the action does nothing else.
  bool FieldRefused(int id);
  // Reads the reports at `chosen`, K x K records each, as "Load Files" does with what the user
  // picked; the program's own output files among them are left out.
  void LoadReports(const std::vector<std::string>& chosen);
  // Fits class from->to (1-based) and shows it with its fitted curve, as "Fit Gaussian" does
  // for the shown class.
  void FitClass(int from, int to);
  // The circle the map shows: the shown class's, while circles are in use and it is placed.
  std::optional<SelectionCircle> ShownCircle() const;
  // Shows class [from][to] (0-based) in the panel, as the picker does.
  void ShowClass(int from, int to);

  // --- Message handlers ---------------------------------------------------------------------
  BOOL OnInitDialog() override;
  void OnSysCommand(UINT id, LPARAM lParam);
  void OnPaint();
  void OnCutoffUp();
  void OnLockCutoffs();
  void OnLoadFiles();
  void OnImportTraces();
  // "Idealise raw traces...": raw traces idealised by a hidden Markov model and imported, then
  // each molecule's raw and idealised trace shown.
  void OnIdealiseTraces();
  // "Results...": the table of every fitted class, to read and copy.
  void OnResults();
  // "Export figures and tables...": the figures and tables of the analysis, into a folder.
  void OnExportFigures();
  void OnFitGaussian();
  void OnCutoffDown();
  void OnCutoffSelChange();
  void OnStateCountChange();
  void OnRefreshCutoffs();
  void OnPickNext();
  void OnPickPrev();
  void OnDumpLog();
  void OnChangePeaksInReport();
  void OnUseCircles();
  void OnSetCircle();
  void OnCircleUp();
  void OnCircleDown();
  void OnCircleLeft();
  void OnCircleRight();
  void OnRadiusDown();
  void OnRadiusUp();
  void OnWeightByCount();
  // The exposure's edit changed: the rate's tip says whether it is still the rate's exposure.
  void OnExposureChange();
  // "Stop computing intervals": the fits still waiting for theirs keep none.
  void OnStopIntervals();
  // "Dwell times...": every state's dwell times fitted as BIC chooses, shown state by state.
  void OnDwellTimes();
  // The intervals' timer: takes in what has come, and shows how far the rest is.
  void OnTimer(UINT_PTR id);

  // A script's analysis command (exposure, peaks, load, states, cutoffs, lock, pick, circle,
  // circles, fit, log), carried out through the same operations as the controls.
  std::optional<std::string> OnCommand(const std::string& name, const std::vector<std::string>& args) override;

  // --- Between the view and the session ------------------------------------------------------
  // Shows every message of `outcome` to the user; whether the operation was done.
  bool Show(const Outcome& outcome);
  // The settings the controls hold (exposure, peaks, weighting) into the session.
  void SyncSettings();
  // The session's cutoffs, lock, circles and histograms into what the map and the panel draw.
  void MirrorSession();
  // After a load: the title, the emptied results and panel, and the new map.
  void ShowLoad();
  // The rate edit's tip: how sure the rate of the class fitted last is, and whether the exposure
  // the window shows is still the one that rate was divided by.
  void ShowRateTip();
  // The cutoff list's entries and selection for N states.
  void ShowCutoffList();
  // After a fit: looks out for its interval while it is computed, the title saying how far.
  void WatchIntervals();
  // Before what reads the intervals (the log, the results, an export): a script waits for
  // them all; a window takes in those that have come.
  void TakeIntervals();
  // In a window, waits for every interval with the window painted and the wait shown; whether
  // they all came (the person may stop waiting).
  bool AwaitIntervalsShown();
  // The table "Results..." shows.
  TableView ResultsTable() const;
  // Fits the dwell times of the lock's states as `options` say, with the window painted and the
  // work shown, then shows the figures and the table of fits of `state` (1-based), or of every
  // state; an open results table gains the rates.
  void AnalyseDwells(const DwellOptions& options, std::optional<int> state);

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  // Puts m_displayPixels on the screen through the map bitmap and writes the controls.
  void ShowMap();
  // Forgets the shown class, its fit and the panel, as a load does.
  void ClearShownResults();
  // Colours the session's map into the base image and shows it.
  void ShowGrid();
  // Moves the shown class's circle one step, as its buttons do.
  void MoveShownCircle(CircleField field, int step);

  // The class whose rate the rate edit shows, 1-based; none before a fit.
  std::optional<std::pair<int, int>> m_rateClass;
  // The title after the last load, before what the intervals' progress adds to it.
  std::string m_loadedTitle = "Varnel";
  bool m_watchingIntervals = false;
  // The intervals that have come in: the rate's tip and an open results table show them.
  void ShowArrivedIntervals(const std::vector<std::pair<int, int>>& classes);
  // The title: the load's, and how far the intervals are while any is computing.
  void ShowIntervalProgress();

  static const MessageMapEntry<CVarnelDlg> kMessageMap[];
};

// Work that `progress` follows, and that the person may stop while it writes nothing.
LongWork StoppableWork(std::string what, WorkProgress& progress, std::function<void()> run);

// Files picked with the options chosen with them (in the window's form, or on a script's line).
struct FilesWithOptions {
  std::vector<std::string> paths;  // in the dialog's order
  std::vector<std::string> optionWords;
};
// The files the user picks in a dialog of `filter` that opens in the folder of the last load and
// asks for the options of `form`, whose words `optionWords` counts; nothing when it was cancelled.
std::optional<FilesWithOptions> ChooseFilesWithOptions(const char* filter, OptionWordCount optionWords,
                                                       const OptionsForm& form);
