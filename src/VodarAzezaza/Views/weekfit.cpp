#include "weekfit.h"

#include "ruled.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Whole lines of a height, truncated toward zero as the board counts them; a height
// that is no number fits no line.
int lines(double height)
{
    const double n = height / Ruled::lineHeight;
    if (!std::isfinite(n))
        return n > 0 ? std::numeric_limits<int>::max() : 0;
    return int(std::clamp(std::trunc(n), double(std::numeric_limits<int>::min()), double(std::numeric_limits<int>::max())));
}

} // namespace

WeekFit::WeekFit(double height, bool showLists)
{
    if (std::isnan(height))
        height = 0;
    // The list column's own header sits under the lists header.
    constexpr int listsOverhead = listsHeaderBlock + Ruled::headerHeight;
    if (showLists) {
        listRows = std::max(minListRows, lines(height * 0.2 - listsOverhead));
        dayRows = std::max(minDayRows, lines(height - (double(listRows) * Ruled::lineHeight + listsOverhead) - Ruled::headerHeight));
    } else {
        // The lists header stays on the board without its lists.
        listRows = 0;
        dayRows = std::max(minDayRows, lines(height - listsHeaderBlock - Ruled::headerHeight));
    }
}

std::pair<int, int> WeekFit::weekendRows(int dayRows)
{
    return {std::max(1, (dayRows - 1) / 2), std::max(1, (dayRows - 2) / 2)};
}
