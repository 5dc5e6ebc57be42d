#pragma once
// The settings of the model: how the board is laid out and whether the focus panel
// floats. Each is read from the user's settings file at start; every assignment writes
// its key and runs its reaction in the model, in the same operation, and a signal
// follows only a change.

#include <QObject>

class AppModel;

class PlannerSettings : public QObject {
    Q_OBJECT

public:
    // 0: the locale's first weekday; 1 = Sunday ... 7 = Saturday. Writes "firstWeekday"
    // and loads what is visible.
    int firstWeekdaySetting() const;
    void setFirstWeekdaySetting(int weekday);
    // Writes "splitWeekend".
    bool splitWeekend() const;
    void setSplitWeekend(bool split);
    // Writes "showCalendar" and reads the events again (or drops them).
    bool showCalendar() const;
    void setShowCalendar(bool show);
    // Writes "showLists"; hiding them drops list things from the selection and ends an
    // edit inside a list.
    bool showLists() const;
    void setShowLists(bool show);
    // Writes "focus.floats" and floats the focus panel when there is one.
    bool floats() const;
    void setFloats(bool floats);

signals:
    void firstWeekdaySettingChanged();
    void splitWeekendChanged();
    void showCalendarChanged();
    void showListsChanged();
    void floatsChanged();

private:
    friend class AppModel;
    explicit PlannerSettings(AppModel& model) : model_(model) {}
    AppModel& model_;
};
