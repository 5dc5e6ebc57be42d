#pragma once
// Everything the application model takes from the desktop at its start, kept apart
// from the model so that only what starts a model reads these interfaces.

#include "appmodeltypes.h"
#include "focuspanelcontroller.h"
#include "pembyclipboard.h"
#include "pembythings.h"
#include "remindercenter.h"

#include <QDBusConnection>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QTimeZone>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// Everything the model uses of the desktop, each with the app's own default when
// left empty, so tests run the whole model on temporary folders and fakes.
struct AppModelServices {
    using EventRead = CalendarEventRead;

    // Posting and hearing the family's change notification; the session bus.
    std::optional<QDBusConnection> bus;
    // A CalendarReader over the default calendar folders.
    EventRead readEvents;
    // Reminders on the session bus's notification service.
    std::unique_ptr<ReminderCenter> reminders;
    // A controller that never makes a panel.
    std::unique_ptr<FocusPanelController> focusPanel;
    // The current moment; the system clock.
    std::function<QDateTime()> now;
    // The user's zone, first weekday (1 = Sunday ... 7 = Saturday) and weekend days
    // (same numbering); the system locale's.
    QTimeZone zone = QTimeZone::systemTimeZone();
    std::optional<int> firstWeekday;
    std::optional<QSet<int>> weekend;
    // Brings the app to the front when focus mode ends.
    std::function<void()> activateApp;
    // The clipboard of Copy and Paste; the desktop's.
    std::unique_ptr<PembyClipboard> clipboard;
    // Claims the things a sibling app handed over; the hand-off file of the family folder.
    std::function<QList<PembyThing>()> takeHandoff;
    // Opens a link with the desktop's handler for it.
    std::function<bool(const QUrl&)> openUrl;
    // Where the family sync keeps what the planner and the store last agreed on; beside
    // the settings file when unset (in memory only in a run that writes no files).
    std::optional<QString> familyBasePath;
    // How long after the last save the family sync runs, and how long a toast stays.
    std::chrono::milliseconds syncDelay{400};
    std::chrono::milliseconds toastDuration{3000};
    // Off for a run that only looks (the off-screen render): no plan file and no note
    // file is written, and every change, the roll-over included, stays in memory.
    bool writesFiles = true;
};
