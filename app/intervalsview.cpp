// The intervals of the fits, computed on worker threads after each fit is shown: the title says
// how far they are, the rate's tip and the results table take each in as it comes, and what
// reads them (the log, the results, an export) gets them whole in a script.
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "app/varneldlg.h"
#include "app/windowtitle.h"
#include "domain/numbertext.h"
#include "platform/host.h"

namespace {

// The timer that looks for intervals while any is computing, and how often it looks: often
// enough for the count of replicates in the title to move.
constexpr UINT_PTR kIntervalTimer = 1;
constexpr UINT kIntervalLookMs = 250;

}  // namespace

void CVarnelDlg::WatchIntervals() {
  if (!m_watchingIntervals && m_session.IntervalsProgress()) {
    SetTimer(kIntervalTimer, kIntervalLookMs);
    m_watchingIntervals = true;
  }
  ShowIntervalProgress();
}

void CVarnelDlg::OnTimer(UINT_PTR id) {
  if (id != kIntervalTimer) return;
  // Asked before the answers are taken: once none computes, the last answer is among them.
  const bool computing = m_session.IntervalsProgress().has_value();
  CollectIntervals();
  if (!computing) {
    KillTimer(kIntervalTimer);
    m_watchingIntervals = false;
  }
  ShowIntervalProgress();
}

void CVarnelDlg::ShowIntervalProgress() {
  std::string title = m_loadedTitle;
  if (const auto progress = m_session.IntervalsProgress()) {
    title += " - computing the interval of " + ClassName(progress->from, progress->to) + " (" +
             WithThousands(progress->replicatesDone) + " of " + WithThousands(progress->replicates) + " replicates";
    if (progress->waiting > 0)
      title += "; " + std::to_string(progress->waiting) + (progress->waiting == 1 ? " more class" : " more classes");
    title += ")";
  }
  if (title != GetWindowText()) SetWindowText(title);
}

void CVarnelDlg::ShowArrivedIntervals() {
  ShowRateTip();
  AfxGetHost().UpdateTable(ResultsTable(m_session));
}

void CVarnelDlg::CollectIntervals() {
  if (!m_session.CollectIntervals().empty()) ShowArrivedIntervals();
}

bool CVarnelDlg::AwaitIntervalsShown() {
  if (AfxGetHost().AwaitsWorkers() || !m_session.IntervalsProgress()) return true;
  std::stop_source stop;
  bool all = false;
  LongWork wait;
  wait.what = "Computing the intervals of the fits";
  wait.run = [&] { all = m_session.WaitForIntervals(stop.get_token()); };
  // The classes done, and the share of the one computing, of those there were to compute.
  const int classes = m_session.IntervalsProgress()->waiting + 1;
  wait.share = [this, classes]() -> std::optional<double> {
    const auto progress = m_session.IntervalsProgress();
    if (!progress) return 1.0;
    const double current = progress->replicates > 0 ? double(progress->replicatesDone) / progress->replicates : 0.0;
    return (classes - progress->waiting - 1 + current) / classes;
  };
  wait.stop = [&] { stop.request_stop(); };
  AfxGetHost().RunLongWork(wait);
  CollectIntervals();
  ShowIntervalProgress();
  return all;
}

void CVarnelDlg::OnStopIntervals() { Execute({"stop-intervals"}); }
