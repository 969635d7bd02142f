// "log.dat": the report of every fitted class within the current number of states.
#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "tests/support/dialog_fixture.h"

namespace {

const std::string kHeader =
    "Transition:        Rate (s^-1):             Width (s^-1):         Number of transitions:\n";

class LogReportTest : public DialogTest {
 protected:
  void Fitted(int from, int to, double rate, double width, int transitions) {
    dlg->m_fitResults[from - 1][to - 1] = {true, rate, width, transitions};
  }
};

TEST_F(LogReportTest, TwoFittedClassesOfTwoStates) {
  dlg->m_stateCount = 2;
  Fitted(1, 2, 12.34567, 3.141592, 154);
  Fitted(2, 1, 0.5, 0.0625, 37);
  Click(IDC_DUMP_LOG);
  EXPECT_EQ(dir.Read("log.dat"),
            "Assumed there were 2 real states\n"
            "\n" +
                kHeader +
                "1->2                  12.3457                  3.14159                      154\n"
                "2->1                      0.5                   0.0625                       37\n");
}

TEST_F(LogReportTest, BeforeAnyStatesOrFits) {
  Click(IDC_DUMP_LOG);
  EXPECT_EQ(dir.Read("log.dat"), "Assumed there were 0 real states\n\n" + kHeader);
}

TEST_F(LogReportTest, OnlyClassesWithinTheCurrentStatesAreListed) {
  dlg->m_stateCount = 3;
  Fitted(3, 3, 2.0, 0.25, 9);
  Fitted(1, 1, 1.0, 0.125, 4);
  dlg->m_stateCount = 2;
  Click(IDC_DUMP_LOG);
  EXPECT_EQ(dir.Read("log.dat"),
            "Assumed there were 2 real states\n\n" + kHeader +
                "1->1                        1                    0.125                        4\n");
  dlg->m_stateCount = 3;
  Click(IDC_DUMP_LOG);  // replaced, not extended
  EXPECT_EQ(dir.Read("log.dat"),
            "Assumed there were 3 real states\n\n" + kHeader +
                "1->1                        1                    0.125                        4\n"
                "3->3                        2                     0.25                        9\n");
}

TEST_F(LogReportTest, StateTenWidensTheFrontOnly) {
  dlg->m_stateCount = 10;
  Fitted(10, 9, 1.5e-7, 123456789.0, 1000000);
  Click(IDC_DUMP_LOG);
  EXPECT_EQ(dir.Read("log.dat"),
            "Assumed there were 10 real states\n\n" + kHeader +
                "10->9                  1.5e-07              1.23457e+08                  1000000\n");
}

TEST_F(LogReportTest, GoesToTheOutputDirectory) {
  std::filesystem::create_directory(dir.path() / "out");
  g_outputDir = (dir.path() / "out").string() + "/";
  Click(IDC_DUMP_LOG);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / "log.dat"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "log.dat"));
}

TEST_F(LogReportTest, PeaksInReportIsTakenAtOnceButDoesNotChangeTheReport) {
  Type(IDC_PEAKS_IN_REPORT, "4");
  EXPECT_EQ(dlg->m_peaksInReport, 4);
  Click(IDC_DUMP_LOG);
  EXPECT_EQ(dir.Read("log.dat"), "Assumed there were 0 real states\n\n" + kHeader);
}

}  // namespace
