#pragma once
// Drag and drop on the boards. A drag from this window carries own things (`dragging`)
// or another app's thing (`draggingExternal`); a drop from elsewhere brings text. The
// other apps' things of today's column keep standing above the own thing they stood
// above. A part of the model: each drag step and each drop is one of its operations.

#include "sharedthing.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

class AppModel;
class Place;
struct PembyThing;

class BoardDrag : public QObject {
    Q_OBJECT

public:
    // Own things or another app's thing are being dragged from this window: a drop then
    // moves them and reads no text.
    bool isDraggingInside() const;
    // An own row's drag starts: it carries the whole selection when the thing is part
    // of it, else the thing alone, which becomes the selection. The drag text: the
    // thing's title ("" when there is no such thing).
    QString beginDrag(const QUuid& id);
    // The drag of another app's row starts: that thing alone is selected. The drag
    // text: its id.
    QString beginExternalDrag(const SharedThing& thing);
    // The view's drag is over, however it ended; a drop on one of the model's targets
    // has done its part already.
    void endDrag();
    // A drop on a place, before the own thing at index `before` (at the end without
    // one); `externalAbove` keeps the other apps' things shown at exactly that index
    // above what lands. `texts` are the plain-text items of a drop from outside the
    // window, which become new things at the end of the place. Whether it was taken.
    bool drop(const QStringList& texts, const Place& place, std::optional<int> before, bool externalAbove);
    // Adds the records as new things at the end of the place, their rich-text notes
    // written to the notes folder, in one undo step, and selects the last of them.
    // Records without a title are skipped; whether any thing was added.
    bool addThings(const QList<PembyThing>& things, const Place& place);

    const QSet<QUuid>& dragging() const;
    void setDragging(const QSet<QUuid>& ids);
    const std::optional<SharedThing>& draggingExternal() const;
    void setDraggingExternal(const std::optional<SharedThing>& thing);

signals:
    void draggingChanged();
    void draggingExternalChanged();

private:
    friend class AppModel;
    friend class ThingClipboard;
    explicit BoardDrag(AppModel& model) : model_(model) {}

    bool dropped(const QStringList& texts, const Place& place, std::optional<int> before);
    // The ids of the things added, in order; the add links use it too.
    QList<QUuid> addNewThings(const QList<PembyThing>& things, const Place& place);
    bool takesThings(const Place& place) const;

    AppModel& model_;
};
