#pragma once
// Everything of one place as a stack of 32-high lines: the day's calendar events, the
// place's things (with the other apps' things merged in on today), the line of the
// thing being typed, a more line when a cap hides things, and blank filler lines that
// start a new thing and take drops at the end of the column.
//
// API
//   auto* column = new ThingColumn(model, Place::onDay(day), board);
//   column->setEvents(model.events().value(day));   column->setMinRows(6);
//   column->setCap(5);                               none: as many lines as it needs
//   column->lineCount() * Ruled::lineHeight          its height; lineCountChanged()
//                                                    says when that changes
//   ThingColumn::budget(events, others, things, typing, minRows, cap)   the row budget
//
// The week board, the month board, the place sheet and the focus panel all use it and
// differ only in what they pass. It follows the model by itself and keeps its row
// widgets by row id, so an open field, a hover or a popover's anchor survive every
// change; rows that go are deleted later, never inside their own event. Moved to another
// place, it hands the rows of the things that go, those that hold nothing open, to the
// things that come. Text typed
// into the new line survives any model change that keeps the line; when the model
// ends it elsewhere, the typed text is still added to the place.

#include "droptargets.h"
#include "popover.h"
#include "sharedthing.h"
#include "things.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <optional>

class AppModel;
class EmptyLine;
class EventRow;
class MoreLine;
class NewThingLine;
class QPropertyAnimation;
class RowFrame;

class ThingColumn : public QWidget {
    Q_OBJECT
public:
    struct Layout {
        int visibleThings = 0;
        int hidden = 0;
        int emptyRows = 0;
        bool operator==(const Layout&) const = default;
    };
    // The row budget, a pure function: events, other apps' things and the new line are
    // never cut; with a cap the place's own things are cut from the end, leaving a line
    // for the more line.
    static Layout budget(int events, int others, int things, bool typing, int minRows, std::optional<int> cap);

    ThingColumn(AppModel& model, const Place& place, QWidget* parent = nullptr);
    ~ThingColumn() override;

    void setPlace(const Place& place);
    void setEvents(const QStringList& events);
    void setMinRows(int rows);
    void setCap(std::optional<int> cap);

    const Place& place() const { return place_; }
    const QStringList& events() const { return events_; }
    int minRows() const { return minRows_; }
    const std::optional<int>& cap() const { return cap_; }
    // Lines it shows now; its height is lineCount() * Ruled::lineHeight.
    int lineCount() const { return int(lines_.size()); }
    // The budget of the lines shown now.
    const Layout& rowBudget() const { return budget_; }
    // The lines from the top: event, thing and other-app rows, the new line, the more
    // line and the filler lines.
    const QList<QWidget*>& lines() const { return lines_; }
    // The row of a row id, while it is shown.
    RowFrame* row(const QString& rowID) const { return rows_.value(rowID); }
    DropSpotState& dropSpot() { return spot_; }

    // Starts typing a new thing at the end of the place (a click on a filler line).
    void startNewThing();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void lineCountChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void sync();
    void syncOnce();
    void syncEvents();
    void syncRows(const QList<Thing>& things, const QList<SharedThing>& others, bool handOn);
    void syncEnd(bool typing);
    void relayout();
    EmptyLine* makeFiller();
    void paste();
    bool dropAtEnd(const QStringList& texts);
    void settleDetails();
    void closeOrphans();

    AppModel& model_;
    QPointer<AppModel> alive_;
    Place place_;
    QStringList events_;
    int minRows_ = 0;
    std::optional<int> cap_;
    Layout budget_;
    DropSpotState spot_;
    bool syncing_ = false;
    bool resync_ = false;
    // The place changed since the rows were last synced.
    bool placeMoved_ = false;

    QList<EventRow*> eventRows_;
    QHash<QString, RowFrame*> rows_;
    QList<RowFrame*> rowOrder_;
    QPointer<NewThingLine> newLine_;
    MoreLine* more_ = nullptr;
    QList<EmptyLine*> fillers_;
    QList<QWidget*> lines_;
    // The lines sliding to their places now.
    QHash<QWidget*, QPointer<QPropertyAnimation>> slides_;

    // Details of rows that went with a re-read, until the row of the thing's new id
    // takes them over, or they close.
    struct Orphan {
        QPointer<Popover> popover;
        QUuid was;
    };
    QList<Orphan> orphans_;
};
