// The main dialog: it holds the whole analysis state, and its handlers are the program.
#pragma once

#include <array>
#include <vector>

#include "app/analysis_types.h"
#include "display/colortable.h"
#include "fit/gaussfit.h"
#include "fit/results.h"
#include "platform/afxwin.h"
#include "reports/densitygrid.h"
#include "reports/records.h"
#include "selection/classlists.h"

class CVarnelDlg : public CDialog {
 public:
  CVarnelDlg();

  // --- Analysis state, in declaration order ----------------------------------------------
  CBitmap m_mapBitmap;
  CBitmap m_panelBitmap;
  MapImage m_displayPixels;
  MapImage m_basePixels;
  ColorTable m_colorTable{};
  TransitionRecords m_records;  // the five record arrays, replaced as a whole by every load
  std::vector<std::string> m_recordFiles;  // the reports they came from, each the same number of records
  DensityGrid m_densityGrid;  // the map's densities, as the last rebuild left them
  Cutoffs m_cutoffs{};  // no state count yet: every slot 0.0
  bool m_cutoffsLocked = false;
  std::vector<std::vector<double>> m_classLists;  // laid out for m_lockedStateCount states
  int m_lockedStateCount = 0;                     // N of the last lock; 0 before the first
  ClassRule m_classRules[kMaxStates][kMaxStates];  // how each list of the lock was built
  int m_shownFrom = 0;
  int m_shownTo = 0;
  bool m_showPick = false;
  FitTable m_fitResults;
  ClassRule m_fitRules[kMaxStates][kMaxStates];                // how each fitted class was built
  double m_fitExposures[kMaxStates][kMaxStates] = {};          // and the exposure its rate took
  ClassUncertainty m_fitUncertainties[kMaxStates][kMaxStates];  // and how sure its rate is
  ClassGaussian m_fitGaussians[kMaxStates][kMaxStates];        // and the histogram and Gaussian of its fit
  CircleTable m_circles;
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
  void RebuildTransitionMap();
  void DrawPanel();
  // The list of class from->to (1-based) of the last lock; nothing, with a message to the user,
  // before the first lock or for a class outside that lock's table.
  std::vector<double>* LockedClassList(int from, int to);
  // Whether edit `id` holds text that its field refuses (the field keeps its value before).
  bool HoldsRefusedText(int id) const;
  // The same, for an action that reads the field: it then tells the user what the field takes,
  // and the action does nothing else.
  bool FieldRefused(int id);
  // Ends the lock and forgets everything computed from the records: class lists, histograms,
  // fits, the shown class and the panel. Cutoffs, N and circle positions stay.
  void ClearResults();
  // Why a lock or "Set Circle" is refused for too many transitions, naming the report that holds
  // the record of the largest weight.
  std::string TooManyTransitionsMessage() const;
  // Every fitted class of the current N, in the log's order, for the results table.
  std::vector<ResultRow> ResultRows() const;
  // Where the results table's numbers come from, now.
  ResultsSource CurrentResultsSource() const;

  // --- Message handlers ---------------------------------------------------------------------
  BOOL OnInitDialog() override;
  void OnSysCommand(UINT id, LPARAM lParam);
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnCutoffUp();
  void OnLockCutoffs();
  void OnLoadFiles();
  // Reads the reports at `chosen`, K x K records each, as "Load Files" does with what the user
  // picked; the program's own output files among them are left out.
  void LoadReports(const std::vector<std::string>& chosen);
  void OnImportTraces();
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

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  // Puts m_displayPixels on the screen through the map bitmap and writes the controls.
  void ShowMap();

  static const MessageMapEntry<CVarnelDlg> kMessageMap[];
};
