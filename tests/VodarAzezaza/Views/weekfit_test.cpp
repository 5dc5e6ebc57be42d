// How many lines the week board gives its day and list columns for a height.
#include "ruled.h"
#include "weekfit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(WeekFit, TurnsTheBoardsHeightIntoLines)
{
    struct Case {
        double window;  // the board's own height; the fit gets it less the padding
        bool lists;
        int dayRows;
        int listRows;
    };
    const Case cases[] = {
        // The ordinary window, with and without the lists.
        {700, true, 15, 2},
        {700, false, 18, 0},
        {1000, true, 23, 3},
        {1000, false, 27, 0},
        {1200, true, 29, 4},
        {1200, false, 34, 0},
        // Too low for the minimums: both stay at them and the board scrolls.
        {300, true, 5, 2},
        {300, false, 6, 0},
        {0, true, 5, 2},
        {-50, false, 5, 0},
        // Just at and just under the sixth line with the lists hidden: the lists header
        // block (52) and the day header (36) come off first.
        {20 + 88 + 6 * 32, false, 6, 0},
        {20 + 88 + 6 * 32 - 1, false, 5, 0},
        // The lists take a third line once a fifth of the height holds it, and the days
        // give that line back.
        {20 + (88 + 3 * 32) * 5, true, 21, 3},
        {20 + (88 + 3 * 32) * 5 - 1, true, 22, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.window << (c.lists ? " with lists" : " without lists"));
        const WeekFit fit(c.window - WeekFit::verticalPadding, c.lists);
        EXPECT_EQ(fit.dayRows, c.dayRows);
        EXPECT_EQ(fit.listRows, c.listRows);
    }
}

TEST(WeekFit, FillsTheHeightWithoutGoingOverIt)
{
    // Whenever the minimums fit, the day row, the lists and all padding fit the board.
    for (int window = 400; window <= 2000; window += 7) {
        for (bool lists : {true, false}) {
            SCOPED_TRACE(testing::Message() << window << " " << lists);
            const WeekFit fit(window - WeekFit::verticalPadding, lists);
            const int used = WeekFit::verticalPadding + Ruled::headerHeight + fit.dayRows * Ruled::lineHeight
                + WeekFit::listsHeaderBlock + (lists ? Ruled::headerHeight + fit.listRows * Ruled::lineHeight : 0);
            EXPECT_LE(used, window);
            // Not a whole line of the days' share is left over.
            EXPECT_GT(used + Ruled::lineHeight, window);
        }
    }
}

TEST(WeekFit, HeightsThatAreNoNumberFallToTheMinimums)
{
    for (double h : {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()}) {
        EXPECT_EQ(WeekFit(h, true), WeekFit::rows(WeekFit::minDayRows, WeekFit::minListRows));
        EXPECT_EQ(WeekFit(h, false), WeekFit::rows(WeekFit::minDayRows, 0));
    }
}

TEST(WeekFit, TheSplitWeekendIsExactlyAsTallAsADay)
{
    struct Case {
        int dayRows;
        int saturday;
        int sunday;
    };
    const Case cases[] = {{15, 7, 6}, {5, 2, 1}, {6, 2, 2}, {18, 8, 8}, {29, 14, 13}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dayRows);
        const auto [sat, sun] = WeekFit::weekendRows(c.dayRows);
        EXPECT_EQ(sat, c.saturday);
        EXPECT_EQ(sun, c.sunday);
        const int day = Ruled::headerHeight + c.dayRows * Ruled::lineHeight;
        const int stack = 2 * Ruled::headerHeight + (sat + sun) * Ruled::lineHeight + WeekFit::weekendGap;
        EXPECT_EQ(stack, day);
    }
    EXPECT_EQ(Ruled::headerHeight + 5 * Ruled::lineHeight, 196);
}
