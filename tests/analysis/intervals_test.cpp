// The intervals a session computes on worker threads after each fit: the same numbers as when
// they are computed in the fit itself, never given to a fit they were not computed for, and
// files of a script the same on every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "analysis/intervalqueue.h"
#include "analysis/session.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

// `molecules` molecules of two states with a record each way, rates spread about e^-4 and e^-3
// per frame, locked in two states.
Session Locked(int molecules, bool background) {
  Session session;
  session.SetIntervalsInBackground(background);
  std::vector<TransitionRecord> records;
  std::vector<std::string> files;
  for (int k = 0; k < molecules; ++k) {
    records.push_back({0.2, 0.8, std::exp(-4.0 + 0.4 * std::sin(1.3 * k)), 0, 1.0 + k % 3});
    records.push_back({0.8, 0.2, std::exp(-3.0 + 0.3 * std::cos(0.7 * k)), 0, 2.0});
    files.push_back("molecule" + std::to_string(k) + ".dat");
  }
  session.Adopt(TransitionRecords(records), files);
  EXPECT_TRUE(session.SetStates(2).done);
  EXPECT_TRUE(session.Lock().done);
  return session;
}

void ExpectSameIntervals(const ClassUncertainty& got, const ClassUncertainty& want) {
  EXPECT_EQ(got.state, IntervalState::kComputed);
  ASSERT_TRUE(got.Rate() && want.Rate() && got.Pooled() && want.Pooled());
  EXPECT_EQ(got.Rate()->low, want.Rate()->low);
  EXPECT_EQ(got.Rate()->high, want.Rate()->high);
  EXPECT_EQ(got.Pooled()->low, want.Pooled()->low);
  EXPECT_EQ(got.Pooled()->high, want.Pooled()->high);
  EXPECT_EQ(got.rateKinds.bca->low, want.rateKinds.bca->low);
  EXPECT_EQ(got.replicates, want.replicates);
  EXPECT_EQ(got.failed, want.failed);
}

TEST(BackgroundIntervals, AFitStandsAtOnceAndItsIntervalComesAsTheFitItselfWouldHaveIt) {
  TempDir dir;
  Session inFit = Locked(40, false), behind = Locked(40, true);
  for (Session* session : {&inFit, &behind}) {
    session->SetOutputFolder((dir.path() / "").string());
    ASSERT_TRUE(session->Fit(1, 2).done);
    ASSERT_TRUE(session->Fit(2, 1).done);
  }
  // The fit is whole but for its interval, whose cells say so.
  const ClassFit& waiting = *behind.FitOf(2, 1);
  EXPECT_EQ(waiting.rate, inFit.FitOf(2, 1)->rate);
  EXPECT_EQ(waiting.uncertainty.pooledRate, inFit.FitOf(2, 1)->uncertainty.pooledRate);
  EXPECT_EQ(waiting.uncertainty.molecules, 40);
  if (waiting.uncertainty.state == IntervalState::kComputing) {
    const std::vector<std::string> cells = ResultCells({2, 1, waiting});
    EXPECT_EQ(cells[2], "computing...");
    EXPECT_EQ(cells[7], "computing...");
    EXPECT_EQ(cells[10], "computing...");
    EXPECT_EQ(RateTip(waiting, 0.1).rfind("95 % interval computing... (bootstrap over 40 molecules", 0), 0u);
  }

  std::vector<std::pair<int, int>> arrived = behind.AwaitIntervals();
  std::sort(arrived.begin(), arrived.end());
  EXPECT_EQ(arrived, (std::vector<std::pair<int, int>>{{1, 2}, {2, 1}}));
  EXPECT_FALSE(behind.IntervalsProgress());
  ExpectSameIntervals(behind.FitOf(1, 2)->uncertainty, inFit.FitOf(1, 2)->uncertainty);
  ExpectSameIntervals(behind.FitOf(2, 1)->uncertainty, inFit.FitOf(2, 1)->uncertainty);
  EXPECT_TRUE(behind.CollectIntervals().empty());  // each is taken in once
}

TEST(BackgroundIntervals, NoIntervalReachesAFitItWasNotComputedFor) {
  TempDir dir;
  Session behind = Locked(60, true), inFit = Locked(60, false);
  behind.SetOutputFolder((dir.path() / "").string());
  inFit.SetOutputFolder((dir.path() / "").string());
  // The class fitted again at another exposure: the first fit's interval is dropped.
  ASSERT_TRUE(behind.Fit(1, 2).done);
  ASSERT_TRUE(behind.SetExposure(0.2).done);
  ASSERT_TRUE(behind.Fit(1, 2).done);
  ASSERT_TRUE(inFit.SetExposure(0.2).done);
  ASSERT_TRUE(inFit.Fit(1, 2).done);
  EXPECT_EQ(behind.AwaitIntervals(), (std::vector<std::pair<int, int>>{{1, 2}}));
  ExpectSameIntervals(behind.FitOf(1, 2)->uncertainty, inFit.FitOf(1, 2)->uncertainty);

  // A lock of other states forgets the fits, and the intervals they waited for with them.
  ASSERT_TRUE(behind.Fit(2, 1).done);
  ASSERT_TRUE(behind.SetStates(1).done);
  ASSERT_TRUE(behind.Lock().done);
  EXPECT_TRUE(behind.AwaitIntervals().empty());
  EXPECT_EQ(behind.FitOf(2, 1), nullptr);

  // Stopped, a fit keeps no interval and every table says why.
  ASSERT_TRUE(behind.SetStates(2).done);
  ASSERT_TRUE(behind.Lock().done);
  ASSERT_TRUE(behind.Fit(1, 2).done);
  const int stopped = behind.StopIntervals();
  EXPECT_TRUE(behind.AwaitIntervals().empty());
  const ClassFit& fit = *behind.FitOf(1, 2);
  if (stopped == 1) {
    EXPECT_EQ(fit.uncertainty.state, IntervalState::kStopped);
    const std::vector<std::string> cells = ResultCells({1, 2, fit});
    EXPECT_EQ(cells[2], "");
    EXPECT_EQ(cells[10], "0");
    EXPECT_NE(cells[13].find("interval stopped before it was computed: fit again for one"), std::string::npos);
  } else {
    EXPECT_EQ(fit.uncertainty.state, IntervalState::kComputed);  // it was done before the stop
  }
}

TEST(BackgroundIntervals, AWaitEndsWhenAskedAndTheQueueStopsWhatRuns) {
  // Enough molecules that a bootstrap runs for a while.
  std::vector<TransitionRecord> records;
  for (int k = 0; k < 20000; ++k) records.push_back({0.2, 0.8, std::exp(-4.0 + 0.4 * std::sin(1.3 * k)), 0, 1});
  const ClassRule rule{0, 1, 2, {0.5, 1.0}, true, {}};
  IntervalQueue queue;
  queue.Add(UncertaintyTask(TransitionRecords(records), 1, rule, 0.1));
  const IntervalQueue::Ticket second = queue.Add(UncertaintyTask(TransitionRecords(records), 1, rule, 0.1));

  std::stop_source stop;
  std::thread asker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop.request_stop();
  });
  EXPECT_FALSE(queue.WaitUntilIdle(stop.get_token()));
  asker.join();

  queue.Cancel(second);
  queue.CancelAll();
  EXPECT_TRUE(queue.WaitUntilIdle());
  EXPECT_TRUE(queue.Take().empty());
  EXPECT_FALSE(queue.Now());
}

// Script mode: `log` and `results` wait for the intervals, so that a batch writes the same
// numbers on every run, and the numbers a session computing them in each fit gives.
TEST(BackgroundIntervals, AScriptWritesTheSameResultsOnEveryRun) {
  TempDir dir;
  const ProgramRun simulated = RunProgram(VARNEL_SIMULATOR, "--out reports --molecules 40 --seed 5 --peaks 3");
  ASSERT_EQ(simulated.status, 0) << simulated.err;
  std::ofstream("fit.vsc") << "peaks 3\nload reports/*.dat\nstates 2\nlock\nfit all\nlog\nresults\n";
  const auto rows = [&](const std::string& text) { return text.substr(text.find("class,rate,")); };
  std::vector<std::string> runs;
  for (int run = 0; run < 2; ++run) {
    const ProgramRun script = RunProgram(VARNEL_PROGRAM, "--script fit.vsc");
    ASSERT_EQ(script.status, 0) << script.err;
    runs.push_back(rows(dir.Read("reports/results.csv")));
    EXPECT_EQ(script.out.find("computing"), std::string::npos) << script.out;
  }
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_EQ(runs[0].find("computing"), std::string::npos);

  Session inFit;
  inFit.SetPeaks(3);
  std::vector<std::string> reports;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "reports"))
    if (entry.path().filename().string().starts_with("molecule_")) reports.push_back(entry.path().string());
  std::sort(reports.begin(), reports.end());
  ASSERT_TRUE(inFit.Load(reports).done);
  ASSERT_TRUE(inFit.SetStates(2).done);
  ASSERT_TRUE(inFit.Lock().done);
  for (int i = 1; i <= 2; ++i)
    for (int j = 1; j <= 2; ++j) inFit.Fit(i, j);
  EXPECT_EQ(runs[0], rows(ResultsCsv(inFit.Source(""), inFit.Results())));
}

}  // namespace
