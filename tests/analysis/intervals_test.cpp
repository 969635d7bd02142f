// The intervals a session computes on worker threads after each fit: the same numbers as when
// they are computed in the fit itself, and never given to a fit they were not computed for.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "analysis/intervalqueue.h"
#include "analysis/session.h"
#include "tests/support/temp_dir.h"

namespace {

// `molecules` molecules of two states with a step each way, rates spread about e^-4 and e^-3
// per frame, locked in two states.
Session Locked(int molecules, bool background) {
  Session session;
  session.SetIntervalsInBackground(background);
  std::vector<TransitionRecord> records;
  std::vector<std::string> files;
  for (int k = 0; k < molecules; ++k) {
    // 2 x 2 records, each level's leaving record (a, a) beside its step.
    const double up = std::exp(-4.0 + 0.4 * std::sin(1.3 * k)), down = std::exp(-3.0 + 0.3 * std::cos(0.7 * k));
    records.push_back({0.2, 0.2, up, 0, 1.0 + k % 3});
    records.push_back({0.2, 0.8, up, 0, 1.0 + k % 3});
    records.push_back({0.8, 0.2, down, 0, 2.0});
    records.push_back({0.8, 0.8, down, 0, 2.0});
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
  const int stopped = static_cast<int>(behind.StopIntervals().size());
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

}  // namespace
