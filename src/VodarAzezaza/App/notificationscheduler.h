#pragma once
// The pending notification requests of this process. The desktop keeps no schedule
// of its own, so the requests live here until they fire or are removed, and each one
// is handed to the desktop when its day and time come.

#include "desktopnotifier.h"
#include "things.h"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTimeZone>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

struct NotificationRequest {
    QString title;
    QString body;
    // When it fires: this wall-clock day and time in the scheduler's zone.
    Day day;
    TimeOfDay time;
    bool operator==(const NotificationRequest&) const = default;
};

class NotificationScheduler : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    // Timers run on a clock that stops while the machine sleeps and ignores changes
    // of the system time, so the wall clock is looked at again at least this often.
    static constexpr std::chrono::milliseconds defaultCheckInterval{30000};

    // On the system clock and zone.
    explicit NotificationScheduler(std::unique_ptr<DesktopNotifier> notifier, QObject* parent = nullptr);
    NotificationScheduler(std::unique_ptr<DesktopNotifier> notifier, Clock clock,
                          std::chrono::milliseconds checkInterval, QTimeZone zone, QObject* parent = nullptr);
    ~NotificationScheduler() override;

    // In identifier order.
    QStringList pendingIdentifiers() const;
    std::optional<NotificationRequest> pending(const QString& id) const;
    // Replaces a pending request with the same identifier. A request whose time has
    // passed fires at the next check, which comes at once.
    void add(const QString& id, const NotificationRequest& request);
    void remove(const QStringList& ids);

    // Shows every pending request whose time has come (the earliest first) and forgets
    // it. The timer calls it; a late check, after a sleep or a clock change, still
    // shows what fell due in between.
    void deliverDue();

private:
    QDateTime dueAt(const NotificationRequest& request) const;
    void rearm();

    std::unique_ptr<DesktopNotifier> notifier_;
    Clock clock_;
    std::chrono::milliseconds checkInterval_;
    QTimeZone zone_;
    QMap<QString, NotificationRequest> pending_;
    QTimer timer_;
};
