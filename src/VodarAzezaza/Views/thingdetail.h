#pragma once
// The detail popover of a planner thing: title, steps, note, date, reminder, repeat
// rule, colour mark, the link it came from and a key hint.
//
// API
//   auto* detail = new ThingDetail(model, place, thing.id, thing.title, thing.steps);
//   popover->setContent(detail);
//   detail->save();               also on Return, a tick, an added step, before the
//                                 note, a date or a repeat rule, and when it hides
//   detail->follow(newID, place); the thing was read again under a fresh id
//
// Title and steps are working copies. Saving writes only what was changed here since
// the detail opened or last saved, so an edit made elsewhere meanwhile (another app, a
// file changed outside) is kept wherever this one left it alone; an emptied title
// keeps the old one and blank steps are dropped. The other controls act on the model
// at once. Dates and times apply when their field is finished, not at every keystroke.

#include "things.h"

#include <QPointer>
#include <QUuid>
#include <QWidget>

class AppModel;
class QAbstractButton;
class DetailTitle;
class LinkButton;
class QLabel;
class NoteBlock;
class QComboBox;
class QDateEdit;
class QPushButton;
class QTimeEdit;
class StepsEditor;
class SwitchToggle;

class ThingDetail : public QWidget {
    Q_OBJECT
public:
    ThingDetail(AppModel& model, const Place& place, const QUuid& id, const QString& title, const QList<Step>& steps,
                QWidget* parent = nullptr);
    ~ThingDetail() override;

    const QUuid& thingID() const { return id_; }
    const Place& place() const { return place_; }
    void save();
    void follow(const QUuid& id, const Place& place);

    // The key hint of the popover's last line.
    static QString keyHint(bool onDay);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();
    void pickDate();
    void pickTime();
    void moveTo(Day day);
    QWidget* dateLine();
    QWidget* reminderLine();
    QWidget* repeatLine();
    QWidget* highlightLine();

    QPointer<AppModel> model_;
    Place place_;
    QUuid id_;
    // What the working copies were seeded with, or last saved as: what they are
    // compared with to tell what the user changed.
    QString seedTitle_;
    QList<Step> seedSteps_;

    DetailTitle* title_ = nullptr;
    StepsEditor* steps_ = nullptr;
    NoteBlock* note_ = nullptr;
    QDateEdit* date_ = nullptr;
    QTimeEdit* time_ = nullptr;
    SwitchToggle* remind_ = nullptr;
    QComboBox* repeats_ = nullptr;
    QList<QAbstractButton*> swatches_;
    LinkButton* link_ = nullptr;
    QLabel* linkTarget_ = nullptr;  // where the link goes, read before it is clicked
    QWidget* reminderLine_ = nullptr;
    QWidget* repeatLine_ = nullptr;
};
