#pragma once
// The log categories of every module, named app.pemby.planner.<area>.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcStore)      // planner folder reads and writes
Q_DECLARE_LOGGING_CATEGORY(lcNotes)      // notes folder and note files
Q_DECLARE_LOGGING_CATEGORY(lcFamily)     // family store and the change notification
Q_DECLARE_LOGGING_CATEGORY(lcSync)       // publishing to and refreshing from the family store
Q_DECLARE_LOGGING_CATEGORY(lcCalendar)   // calendar files
Q_DECLARE_LOGGING_CATEGORY(lcReminders)  // scheduled reminders and desktop notifications
Q_DECLARE_LOGGING_CATEGORY(lcDrag)       // drag and drop
Q_DECLARE_LOGGING_CATEGORY(lcApp)        // start-up, settings, everything else
