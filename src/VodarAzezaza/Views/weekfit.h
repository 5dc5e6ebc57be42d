#pragma once
// How tall the week board's columns are for the height it is given: a fifth of it for
// the undated lists, the rest for the days, in whole 32-pixel lines and never below the
// minimums (the board scrolls then). A plain value, worked out on every layout.
//
// API
//   const WeekFit fit(boardHeight - WeekFit::verticalPadding, model.settings().showLists());
//   fit.dayRows, fit.listRows
//   WeekFit::weekendRows(fit.dayRows)      the lines of a split weekend's two days
//
// The board's vertical metrics live here too, since the fit is made of them.

#include <utility>

struct WeekFit {
    int dayRows = minDayRows;
    int listRows = 0;

    WeekFit() = default;
    WeekFit(double height, bool showLists);
    // A fit of these lines, whatever height would give it.
    static WeekFit rows(int dayRows, int listRows)
    {
        WeekFit fit;
        fit.dayRows = dayRows;
        fit.listRows = listRows;
        return fit;
    }
    bool operator==(const WeekFit&) const = default;

    // The sixth day's lines and the seventh's when they share a column: with the gap
    // between them and the second header, exactly as tall as one day column.
    static std::pair<int, int> weekendRows(int dayRows);

    static constexpr int minDayRows = 5;
    static constexpr int minListRows = 2;
    // The lists header (22) with 22 above it and 8 below it.
    static constexpr int listsHeaderHeight = 22;
    static constexpr int listsHeaderTop = 22;
    static constexpr int listsHeaderBottom = 8;
    static constexpr int listsHeaderBlock = listsHeaderTop + listsHeaderHeight + listsHeaderBottom;
    // 8 above the board's content and 12 below it.
    static constexpr int topPadding = 8;
    static constexpr int bottomPadding = 12;
    static constexpr int verticalPadding = topPadding + bottomPadding;
    // Between the two days of a split weekend.
    static constexpr int weekendGap = 28;
};
