#pragma once
// The detail popover of another app's thing: its title, its steps, its note and its
// day, written to the family store through the model, which tells the sibling apps.
//
// API
//   auto* detail = new ExternalDetail(model, shared.id, shared.title, shared.steps);
//   popover->setContent(detail);
//   detail->save();               also on Return, a tick, an added step, before the
//                                 note or a new day, and when it hides
//
// As in the planner thing's detail, only what was changed here is written: the steps
// first, then the title against the record as the store has it after that write.

#include "calendar.h"
#include "sharedthing.h"

#include <QPointer>
#include <QWidget>

class AppModel;
class DetailTitle;
class NoteBlock;
class QDateEdit;
class RowText;
class StepsEditor;

class ExternalDetail : public QWidget {
    Q_OBJECT
public:
    ExternalDetail(AppModel& model, const QString& id, const QString& title, const QList<SharedStep>& steps,
                   QWidget* parent = nullptr);
    ~ExternalDetail() override;

    const QString& thingID() const { return id_; }
    void save();

    // "Pemby Todo", "Pemby Notes", any other tag as it is; "another app" for no thing.
    static QString appName(const std::optional<SharedThing>& thing);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();
    void pickDate();
    // The day the picker shows: the thing's own, else today.
    Day shownDay() const;

    QPointer<AppModel> model_;
    QString id_;
    QString seedTitle_;
    QList<SharedStep> seedSteps_;

    DetailTitle* title_ = nullptr;
    StepsEditor* steps_ = nullptr;
    NoteBlock* note_ = nullptr;
    QDateEdit* date_ = nullptr;
    RowText* footer_ = nullptr;
};
