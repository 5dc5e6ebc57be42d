#include "monthgrid.h"

#include "appmodel.h"
#include "monthcell.h"
#include "palette.h"
#include "plannersettings.h"
#include "pembyfont.h"
#include "ruled.h"

#include <QPainter>
#include <QSet>
#include <QPainterPath>

namespace {

constexpr int nameSize = 20;
constexpr int namePadding = 8;

// Edges of `count` equal shares of `length`, from `start`.
int edge(int start, int length, int count, int i) { return start + int((qint64(length) * i) / count); }

} // namespace

MonthGrid::MonthGrid(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Once per operation, and ahead of the cells: a cell handed another day shows it
    // before it hears what else the operation changed.
    connect(&model_.transitions(), &ModelTransitions::ended, this, [this](const ModelChanges& changes) {
        if (changes.containsAny({&AppModel::anchorChanged, &PlannerSettings::firstWeekdaySettingChanged}))
            syncCells();
        if (changes.contains(&AppModel::todayChanged))
            update();
    });
    syncCells();
}

QList<MonthCell*> MonthGrid::cells() const
{
    QList<MonthCell*> ordered;
    for (const QList<Day>& week : weeks_)
        for (const Day day : week)
            ordered.append(cells_.value(day));
    return ordered;
}

QStringList MonthGrid::weekdayNames() const
{
    QStringList names;
    if (!weeks_.isEmpty())
        for (const Day day : weeks_.first())
            names.append(AppModel::dayNames()[day.weekday() - 1]);
    return names;
}

void MonthGrid::syncCells()
{
    const QList<QList<Day>> weeks = model_.monthWeeks();
    if (weeks == weeks_)
        return;
    // A day on both grids keeps its cell. The cells of the days that went show the days
    // that came: paging a month changes what the cells hold, not the widgets.
    QSet<Day> coming;
    for (const QList<Day>& week : weeks)
        for (const Day day : week)
            coming.insert(day);
    QList<MonthCell*> free;
    for (auto it = cells_.begin(); it != cells_.end();) {
        if (coming.contains(it.key())) {
            ++it;
            continue;
        }
        free.append(it.value());
        it = cells_.erase(it);
    }
    weeks_ = weeks;
    QHash<Day, MonthCell*> keep;
    for (const QList<Day>& week : weeks_) {
        for (const Day day : week) {
            MonthCell* cell = cells_.take(day);
            if (!cell && !free.isEmpty()) {
                cell = free.takeLast();
                cell->setDay(day);
            }
            if (!cell) {
                cell = new MonthCell(model_, day, this);
                cell->show();
            }
            keep.insert(day, cell);
        }
    }
    for (MonthCell* gone : std::as_const(free)) {
        gone->hide();
        gone->deleteLater();
    }
    cells_ = std::move(keep);
    place();
    update();
}

QRect MonthGrid::rowRect(int week) const
{
    const int left = bandOverhang;
    const int width = std::max(0, this->width() - 2 * bandOverhang);
    const int rows = std::max(1, int(weeks_.size()));
    const int top = edge(headerHeight, std::max(0, height() - headerHeight), rows, week);
    const int bottom = edge(headerHeight, std::max(0, height() - headerHeight), rows, week + 1);
    return QRect(left, top, width, bottom - top);
}

void MonthGrid::place()
{
    for (int w = 0; w < weeks_.size(); ++w) {
        const QRect row = rowRect(w);
        for (int d = 0; d < weeks_[w].size(); ++d) {
            const int x0 = edge(row.left(), row.width(), 7, d);
            const int x1 = edge(row.left(), row.width(), 7, d + 1);
            // The row's rule stays visible under its cells.
            cells_.value(weeks_[w][d])->setGeometry(x0, row.top(), x1 - x0, std::max(0, row.height() - 1));
        }
    }
}

void MonthGrid::resizeEvent(QResizeEvent*) { place(); }

void MonthGrid::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    // The weekday header, ruled like a column header.
    const QRect header(bandOverhang, 0, std::max(0, width() - 2 * bandOverhang), headerHeight);
    const QFont nameFont = PembyFont::font(nameSize);
    p.setFont(nameFont);
    p.setPen(QColor(Palette::pembyText));
    const QStringList names = weekdayNames();
    for (int d = 0; d < names.size(); ++d) {
        const int x0 = edge(header.left(), header.width(), 7, d);
        const int x1 = edge(header.left(), header.width(), 7, d + 1);
        PembyFont::drawText(p, QRect(x0 + namePadding, 0, std::max(0, x1 - x0 - namePadding), headerHeight),
                            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, names[d]);
    }
    Ruled::paint(p, header, Palette::pembyText, 2);

    const Day today = model_.today();
    for (int w = 0; w < weeks_.size(); ++w) {
        const QRect row = rowRect(w);
        if (weeks_[w].contains(today)) {
            QPainterPath band;
            band.addRoundedRect(QRectF(row.adjusted(-bandOverhang, 0, bandOverhang, 0)), 10, 10);
            p.fillPath(band, QColor(Palette::pembyBand));
        }
        Ruled::paint(p, row, Palette::pembyRule);
    }
}
