// The window's title says what a load holds; the window explains its map and panel with labels
// that take no control's place.
#include <gtest/gtest.h>

#include "app/windowtitle.h"
#include "res/resource.h"
#include "tests/support/dialog_fixture.h"

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

class LoadTitleTest : public DialogTest {};

TEST_F(LoadTitleTest, ALoadPutsItsReportsAndTransitionsInTheTitleAndARefusedOneLeavesIt) {
  EXPECT_EQ(dlg->GetWindowText(), "Varnel");
  Type(IDC_PEAKS_IN_REPORT, "2");
  dir.Write("a.dat", "h\nh\nh\nh\n0.2 0.2 0.05 0 3\n0.2 0.8 0.05 0 3\n0 0 0 0 0\n0.8 0.8 0 0 0\n");
  dir.Write("b.dat", "h\nh\nh\nh\n0.2 0.2 0 0 0\n0 0 0 0 0\n0.8 0.2 0.05 0 1999\n0.8 0.8 0.05 0 1999\n");
  host.fileAnswers.push_back(std::vector<std::string>{dir / "a.dat", dir / "b.dat"});
  Click(IDC_LOAD_FILES);
  EXPECT_EQ(dlg->GetWindowText(), "Varnel - 2 reports, 2,002 transitions");
  EXPECT_EQ(host.titles, std::vector<std::string>{"Varnel - 2 reports, 2,002 transitions"});
  // A load of which nothing could be read keeps the records and the title.
  dir.Write("empty.dat", "");
  host.fileAnswers.push_back(std::vector<std::string>{dir / "empty.dat"});
  Click(IDC_LOAD_FILES);
  EXPECT_EQ(dlg->GetWindowText(), "Varnel - 2 reports, 2,002 transitions");
}

TEST_F(LoadTitleTest, TheColourBarBesideTheMapRunsFromTheFirstColourAtTheBottomToTheLastAtTheTop) {
  const PixelSurface& s = dlg->ClientSurface();
  const CRect& bar = kColourBarRegion;
  EXPECT_EQ(s.At(bar.left, bar.bottom - 1), dlg->GetColor(0) & 0xFFFFFFu);
  EXPECT_EQ(s.At(bar.right - 1, bar.top), dlg->GetColor(255) & 0xFFFFFFu);
  // Its middle row, (372 - 1 - 202) x 255 / 339 = 127.1: entry 127.
  EXPECT_EQ(s.At(bar.left + 2, 202), dlg->GetColor(127) & 0xFFFFFFu);
  // It lies between the map and the controls, clear of both.
  EXPECT_GE(bar.left, kMapRegion.right);
  EXPECT_LE(bar.right, DialogUnitsToPixelsX(288));  // "Weight by # transitions"
}
