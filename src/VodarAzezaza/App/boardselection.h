#pragma once
// The board's selection: the own things selected, the anchor a shift-click ranges from,
// the clicks and arrow keys that move it, and what the keys do to the selected things.
// Another app's selected thing is OtherApps' `selectedExternal`; selecting one kind
// ends the other. A part of the model: each change is one of its operations.

#include "things.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

#include <optional>

class AppModel;

class BoardSelection : public QObject {
    Q_OBJECT

public:
    const QSet<QUuid>& ids() const;
    void setIDs(const QSet<QUuid>& ids);
    const std::optional<QUuid>& anchor() const;
    void setAnchor(const std::optional<QUuid>& id);

    // The selected things that are on the board, in board order.
    QList<Thing> orderedThings() const;
    QList<QUuid> orderedIDs() const;
    // The anchor while it is selected, else the first selected thing on the board.
    std::optional<QUuid> primary() const;

    // Selects one own thing alone (none for nothing); it becomes the anchor, and no
    // other app's thing stays selected.
    void select(const std::optional<QUuid>& id);
    // Selects another app's thing alone: no own thing stays selected, and no anchor.
    void selectExternal(const QString& id);
    // Nothing selected: no own thing, no anchor, no other app's thing.
    void clear();
    // A plain click selects the thing alone; command adds or removes it; shift takes the
    // range from the anchor within one place (added to the selection with command too).
    void click(const QUuid& id, bool command, bool shift);
    // The arrow keys: up and down within the place, left and right to the nearest column
    // that has things, keeping the row where it can. With nothing usable selected, the
    // first thing of today when today is on the board, else of the first column.
    void move(int dx, int dy);
    // Command and the arrows carry the selected things: up and down within their places,
    // left and right to the neighbouring day (across the week's ends) or list.
    void carry(int dx, int dy);
    // Ticks every selected thing, or unticks them all when all are done; one undo step.
    void toggle();
    // Takes list things out of the selection and ends an edit inside a list.
    void dropLists();

signals:
    void selectionChanged();
    void selectionAnchorChanged();

private:
    friend class AppModel;
    explicit BoardSelection(AppModel& model) : model_(model) {}

    // Who takes over the selection from things that leave their place.
    std::optional<QUuid> neighbour(const QUuid& id) const;
    std::optional<QUuid> neighbourAfterDeleting(const QList<QUuid>& ids) const;

    AppModel& model_;
};
