// What the window's title says of a load: its reports and transitions.
#include <gtest/gtest.h>

#include "app/windowtitle.h"
#include "reports/records.h"

TEST(WindowTitle, NumbersHaveACommaBetweenEveryThreeDigits) {
  EXPECT_EQ(WithThousands(0), "0");
  EXPECT_EQ(WithThousands(999), "999");
  EXPECT_EQ(WithThousands(1000), "1,000");
  EXPECT_EQ(WithThousands(1914), "1,914");
  EXPECT_EQ(WithThousands(1234567), "1,234,567");
  EXPECT_EQ(WithThousands(-45678), "-45,678");
  EXPECT_EQ(LoadedTitle(60, 1914), "Varnel - 60 reports, 1,914 transitions");
  EXPECT_EQ(LoadedTitle(1, 1), "Varnel - 1 report, 1 transition");
}

// Two reports of 2 x 2 records: (1,1), (1,2), (2,1), (2,2) each. The diagonal records count the
// leaving of a state, the same transitions the others count: each transition once.
TEST(WindowTitle, TransitionsAreCountedOnceFromTheOffDiagonalRecords) {
  const TransitionRecords records(std::vector<TransitionRecord>{{0.2, 0.2, 0.1, 0, 3},
                                                                {0.2, 0.8, 0.1, 0, 3},
                                                                {0.8, 0.2, 0.1, 0, 0},
                                                                {0.8, 0.8, 0.1, 0, 0},
                                                                {0.2, 0.2, 0.1, 0, 1999.4},
                                                                {0.2, 0.8, 0.1, 0, -7},
                                                                {0.8, 0.2, 0.1, 0, 1999.4},
                                                                {0.8, 0.8, 0.1, 0, 1999.4}});
  EXPECT_EQ(TransitionsOf(records, 2), 2002);  // 3 + 1999.4, the negative and the diagonal left out
  EXPECT_EQ(TransitionsOf(records, 0), 0);
  // One slot per report: every record is a diagonal one, and no transition is between two states.
  EXPECT_EQ(TransitionsOf(records, 1), 0);
}
