#pragma once
// Drag and drop in a column: where a drop would land (the column's one drop spot), the
// targets that set it and hand the drop to the model, the 2-pixel insertion line that
// shows it, and the drag that a row starts.
//
// API
//   auto* spot = new DropSpotState(column);                        one per column
//   new RowDrop(row, rowID, model, *spot, [](bool below, const QStringList& texts) {
//       return model.drag().drop(texts, place, below ? i + 1 : i, !below); });
//   new EndDrop(fillerLine, model, *spot, [](const QStringList& texts) { ... });
//   InsertionLine::forRow(row, *spot, rowID);                       drawn over the row
//   auto* end = InsertionLine::forEnd(line, *spot);  end->setActive(false) to hide it
//   RowDrag::run(row, model, text);                                 from mouseMoveEvent
//
// A target takes only drags that carry plain text. A drag from this window is a move
// and the model knows what it carries, so it gets no texts; a drop from another program
// is a copy and gets the dropped text, and the drop is accepted only when the model
// took it. The spot belongs to whichever target the pointer is over; leaving a target
// clears it only while it is still that target's.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class AppModel;
class QDrag;
class QDropEvent;
class QMimeData;

// Where a drop would land: above or below a row (by row id), or at the column's end.
class DropSpot {
public:
    enum class Kind { Above, Below, End };

    static DropSpot above(const QString& rowID) { return DropSpot(Kind::Above, rowID); }
    static DropSpot below(const QString& rowID) { return DropSpot(Kind::Below, rowID); }
    static DropSpot end() { return DropSpot(Kind::End, QString()); }

    Kind kind() const { return kind_; }
    const QString& rowID() const { return rowID_; }
    bool operator==(const DropSpot&) const = default;

private:
    DropSpot(Kind kind, QString rowID) : kind_(kind), rowID_(std::move(rowID)) {}
    Kind kind_;
    QString rowID_;
};

// The one drop spot of a column, shared by its rows and its end lines.
class DropSpotState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const std::optional<DropSpot>& spot() const { return spot_; }
    void setSpot(const std::optional<DropSpot>& spot);

signals:
    void spotChanged();

private:
    std::optional<DropSpot> spot_;
};

namespace DropTargets {

// A row is 32 high: more than 16 from its top is its lower half.
constexpr qreal halfRow = 16;
inline bool isBelow(qreal y) { return y > halfRow; }

// Only plain text is taken, from this window or from elsewhere.
bool carriesText(const QMimeData* data);
// The plain text a drop from another program brings; empty when it brings none.
QStringList texts(const QMimeData* data);

} // namespace DropTargets

// Makes a row a drop target: its upper half is above the row, its lower half below.
class RowDrop : public QObject {
    Q_OBJECT
public:
    using Perform = std::function<bool(bool below, const QStringList& texts)>;
    RowDrop(QWidget* row, QString rowID, AppModel& model, DropSpotState& spot, Perform perform);
    // The row shows another thing now.
    void setRowID(QString rowID) { rowID_ = std::move(rowID); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void hover(qreal y);

    QString rowID_;
    AppModel& model_;
    DropSpotState& spot_;
    Perform perform_;
};

// Makes a line the end of its column: a drop there lands after everything.
class EndDrop : public QObject {
    Q_OBJECT
public:
    using Perform = std::function<bool(const QStringList& texts)>;
    EndDrop(QWidget* line, AppModel& model, DropSpotState& spot, Perform perform);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AppModel& model_;
    DropSpotState& spot_;
    Perform perform_;
};

// The insertion line: a 2-pixel snooze band along its host's top or bottom edge while
// the column's spot names it. It lies over the host's children and takes no clicks.
class InsertionLine : public QWidget {
    Q_OBJECT
public:
    // Over a row: at its top for above(rowID), at its bottom for below(rowID).
    static InsertionLine* forRow(QWidget* row, DropSpotState& spot, const QString& rowID);
    // Over an end line, at its top while the spot is the end and the line is active
    // (only the first line below the things draws the end's line).
    static InsertionLine* forEnd(QWidget* line, DropSpotState& spot);
    void setActive(bool active);
    // The row the line is over shows another thing now.
    void setRowID(const QString& rowID);

    // Where the line is drawn now; none while it is not.
    std::optional<Qt::Edge> edge() const;

    static constexpr int thickness = 2;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    InsertionLine(QWidget* host, DropSpotState& spot, std::optional<QString> rowID);
    void refresh();

    DropSpotState& spot_;
    std::optional<QString> rowID_;  // none: an end line
    bool active_ = true;
};

namespace RowDrag {

// Runs a drag of `text` from `source` and ends the model's drag when it returns,
// however it ended: dropped, cancelled or let go outside every target.
void run(QWidget* source, AppModel& model, const QString& text);

// How the drag runs: QDrag::exec in the app. Tests put a runner here that delivers
// drop events to a target of their choice, as the desktop would, and returns.
using Runner = std::function<Qt::DropAction(QDrag& drag)>;
void setRunnerForTesting(Runner runner);

} // namespace RowDrag
