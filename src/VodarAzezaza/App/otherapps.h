#pragma once
// The other apps' things: the family store's rows of the sibling apps, shown beside
// the planner's own. They are changed straight in the family store, announced, then
// read back; never copied into the plan, never undoable here. A part of the model: its
// changes are part of the model's operations.

#include "appmodeltypes.h"
#include "sharedthing.h"
#include "todayrow.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <optional>

class AppModel;

class OtherApps : public QObject {
    Q_OBJECT

public:
    // The sibling apps' rows as the last good read of the family store left them.
    const QList<SharedThing>& familyThings() const;
    // Ticked here, by id: they stay in today's column, shown done, until they leave the
    // store.
    const QMap<QString, SharedThing>& tickedExternal() const;
    // Where each other app's thing stands among today's own things, by id; kept under
    // "order.otherApps".
    const QMap<QString, int>& externalSlots() const;
    const std::optional<QString>& selectedExternal() const;
    void setSelectedExternal(const std::optional<QString>& id);

    // The other apps' things dated today that are not done, then those ticked here
    // (by title).
    QList<SharedThing> todayFromOthers() const;
    // The rows of a day's own and other apps' things at the slots remembered here.
    QList<TodayRow> rows(const QList<Thing>& mine, const QList<SharedThing>& others) const;
    // Among the other apps' rows, else among the things ticked here.
    std::optional<SharedThing> externalThing(const QString& id) const;
    void toggleExternal(const SharedThing& thing);
    // A blank title, or the same one, changes nothing.
    void renameExternal(const SharedThing& thing, const QString& title);
    // The steps as given; announced only when the store's row really changed.
    void setExternalSteps(const QString& id, const QList<SharedStep>& steps);
    void moveExternal(const QString& id, Day day);
    void deleteExternal(const QString& id);
    // Without text or rich text the note goes, file and all. False when the note could
    // not be written (the save error says why), so the caller keeps it due.
    bool saveExternalNote(const QString& id, const std::optional<QByteArray>& rtf, const QString& plain);
    // "todo" is "Pemby Todo"; any other tag is shown as it is.
    static QString appName(const QString& sourceApp);

signals:
    void familyThingsChanged();
    void tickedExternalChanged();
    void selectedExternalChanged();
    void externalSlotsChanged();

private:
    friend class AppModel;
    friend class BoardDrag;
    explicit OtherApps(AppModel& model) : model_(model) {}

    // The selected other app's thing while today's column still shows it.
    std::optional<SharedThing> shownSelectedExternal() const;
    void setSlot(const QString& id, std::optional<int> slot);
    bool externalChangeFailed(const std::optional<QString>& failure, const QString& text);
    static QString changeFailedText(const QString& sourceApp);
    void setExternalSlots(const QMap<QString, int>& remembered);

    AppModel& model_;
};
