#include "logcategories.h"

Q_LOGGING_CATEGORY(lcStore, "app.pemby.planner.store")
Q_LOGGING_CATEGORY(lcNotes, "app.pemby.planner.notes")
Q_LOGGING_CATEGORY(lcFamily, "app.pemby.planner.family")
Q_LOGGING_CATEGORY(lcSync, "app.pemby.planner.sync")
Q_LOGGING_CATEGORY(lcCalendar, "app.pemby.planner.calendar")
Q_LOGGING_CATEGORY(lcReminders, "app.pemby.planner.reminders")
Q_LOGGING_CATEGORY(lcDrag, "app.pemby.planner.drag")
Q_LOGGING_CATEGORY(lcApp, "app.pemby.planner.app")
