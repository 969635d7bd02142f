// The main dialog: the view of one analysis. The analysis is the Session's, and the dialog keeps
// no copy of it: a field bound to a control that the Session owns is a view of the Session, every
// action goes to the Session as one of its commands (analysis/commands.h), and what a command
// changed is redrawn from the Session in one place, Refresh.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/commands.h"
#include "analysis/session.h"
#include "display/colortable.h"
#include "domain/analysis_types.h"
#include "platform/afxwin.h"

struct WorkProgress;

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
  // The colours the map is drawn in: the session's, which its exports use too.
  const ColorTable& m_colorTable = m_session.Colours();
  // The session's cutoffs, lock and circles, as the map draws them.
  const Cutoffs& m_cutoffs = m_session.CutoffValues();
  FieldView<bool> m_cutoffsLocked{[this] { return m_session.Locked(); }};
  const CircleTable& m_circles = m_session.Circles();
  // The class the panel shows, 0-based.
  int m_shownFrom = 0;
  int m_shownTo = 0;
  bool m_showPick = false;
  bool m_drawFitCurve = false;
  CStatic m_histPanel;
  CComboBox m_cutoffList;
  FieldView<double> m_exposureTime;
  double m_rateStdev = 0;
  double m_gaussAmplitude = 0;
  FieldView<int> m_stateCount;
  // The selected cutoff as shown, or as typed before "Refresh Cutoffs" takes it.
  double m_cutoffValue = 0;
  double m_histMax = 0;
  int m_pickFrom = 0;
  int m_pickTo = 0;
  double m_kineticRate = 0;
  FieldView<int> m_peaksInReport;
  BOOL m_useCircles = FALSE;
  HICON m_hIcon = nullptr;
  FieldView<int> m_weightByCount;

  // --- Operations ---------------------------------------------------------------------------
  void DrawTestImage();
  void CreatePanel();
  void DrawPanelGrid(CDC& memDC);
  void RedrawMap();
  void LoadColorTable();
  Pixel GetColor(int index) const;
  // Rebuilds the session's map, weighted as the session says, and colours it into the base image.
  void RebuildTransitionMap();
  void DrawPanel();
  // Whether edit `id` holds text that its field refuses (the field keeps its value before).
  bool HoldsRefusedText(int id) const;
  // The same, for an action that reads the field: it then tells the user what the field takes,
  // and the action does nothing else.
  bool FieldRefused(int id);
  // The circle the map shows: the shown class's, while circles are in use and it is placed.
  std::optional<SelectionCircle> ShownCircle() const;
  // Shows class [from][to] (0-based) in the panel, as the picker does.
  void ShowClass(int from, int to);

  // Runs one analysis command on the session, as every control, menu entry and script line does:
  // a long one with the window painted, its progress shown and a Stop. Then shows the user what it
  // said, tells the host what was done (the session record), and redraws what it changed.
  // Whether it was done; what was wrong with its words, in `wrong` where given (else shown).
  bool Execute(const std::vector<std::string>& words, std::optional<std::string>* wrong = nullptr);

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
  // "Fit all classes": every class of the lock, as `fit all`.
  void OnFitAll();
  void OnCutoffDown();
  void OnCutoffSelChange();
  void OnStateCountChange();
  void OnRefreshCutoffs();
  void OnPickNext();
  void OnPickPrev();
  void OnDumpLog();
  // "Open the output folder": where the log, the reports' map and every figure go.
  void OnOpenFolder();
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
  // The exposure's edit changed: a number it takes goes to the session at once.
  void OnExposureChange();
  // "Stop computing intervals": the fits still waiting for theirs keep none.
  void OnStopIntervals();
  // "Dwell times...": every state's dwell times fitted as BIC chooses, shown state by state.
  void OnDwellTimes();
  // "Rate matrix...": the rate constants of every path between the lock's states, as `rates`.
  void OnRates();
  // "Molecules...": the idealisation's molecules one at a time, each kept in the rates or rejected.
  void OnMolecules();
  // The intervals' timer: takes in what has come, and shows how far the rest is.
  void OnTimer(UINT_PTR id);

  // A script's command: the session's (analysis/commands.h), or the window's own `pick I J` and
  // `circles on|off`.
  std::optional<std::string> OnCommand(const std::string& name, const std::vector<std::string>& args) override;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  // Shows every message of `outcome` to the user; whether the operation was done.
  bool Show(const Outcome& outcome);
  // Redraws from the session what command `name` changed, as `result` says; the class it worked
  // on is then the one the panel shows.
  void Refresh(const std::string& name, const CommandResult& result);
  // What a command showed besides its messages: the tables it prints, the figures of the dwell
  // times and of an idealisation.
  void ShowTables(const std::vector<std::string>& words, const CommandResult& result);
  // The dwell times' figures and table of fits, of `state` (0-based) or of every state.
  void ShowDwellFigures(std::optional<int> state);
  // Each molecule's raw and idealised trace above the table of fits of the last idealisation.
  void ShowIdealisedFigures();
  // The title, the emptied results and panel, and the new map, after a load.
  void ShowLoad();
  // The rate edit's tip: how sure the rate of the class fitted last is, and whether the exposure
  // the session will use is still the one that rate was divided by.
  void ShowRateTip();
  // The cutoff list's entries and selection for N states.
  void ShowCutoffList();
  // Puts m_displayPixels on the screen through the map bitmap and writes the controls.
  void ShowMap();
  // Forgets the shown class, its fit and the panel, as a load does.
  void ClearShownResults();
  // Colours the session's map into the base image and shows it.
  void ShowGrid();
  // The shown class's circle one step further, as its buttons move it.
  void MoveShownCircle(const char* direction);
  // Moves the selected cutoff by `step` from its stored value, as the step buttons do.
  void StepCutoff(double step);
  // After a fit: looks out for its interval while it is computing, the title saying how far.
  void WatchIntervals();
  // In a window, waits for every interval with the window painted and the wait shown; whether
  // they all came (the person may stop waiting).
  bool AwaitIntervalsShown();
  // The intervals that have come in: the rate's tip and an open results table show them.
  void ShowArrivedIntervals();
  // Takes in the intervals that have come, and shows them.
  void CollectIntervals();
  // The title: the load's, and how far the intervals are while any is computing.
  void ShowIntervalProgress();
  // The files the user picks in a dialog of `filter` that opens in the folder of the last load
  // and asks for the options of `form`, whose words `optionWords` counts: the option words,
  // then the paths as a command takes them; nothing when it was cancelled.
  std::optional<std::vector<std::string>> ChooseFilesWithOptions(const char* filter, OptionWordCount optionWords,
                                                                 const OptionsForm& form) const;

  // The class whose rate the rate edit shows, 1-based; none before a fit.
  std::optional<std::pair<int, int>> m_rateClass;
  // The title after the last load, before what the intervals' progress adds to it.
  std::string m_loadedTitle = "Varnel";
  bool m_watchingIntervals = false;

  static const MessageMapEntry<CVarnelDlg> kMessageMap[];
};

// Work that `progress` follows, and that the person may stop while it writes nothing.
LongWork StoppableWork(std::string what, WorkProgress& progress, std::function<void()> run);
