#pragma once
// The application model as the app makes it over one planner folder, with nothing on
// the desktop: no bus, no calendar, reminders that go nowhere and a family sync that
// never comes (publishing every thing is the family store benchmark's business).
#include "appmodel.h"
#include "appmodelservices.h"
#include "desktopnotifier.h"
#include "familystore.h"
#include "notificationscheduler.h"

#include <QDBusConnection>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

class BenchModel {
public:
    BenchModel(const QTemporaryDir& dir, const QString& name, Day today)
        : folder_(dir.filePath(name))
        , today_(today)
        , settings_(dir.filePath(name + QStringLiteral(".ini")), QSettings::IniFormat)
        , family_(dir.filePath(name + QStringLiteral(".db")))
        , scheduler_(std::make_unique<NoDesktop>())
        , notes_(dir.filePath(name + QStringLiteral("-notes")))
        , notesApp_(dir.filePath(name + QStringLiteral("-Notes")))
    {
    }

    const QString& folder() const { return folder_; }

    std::unique_ptr<AppModel> makeModel()
    {
        AppModel::Services s;
        s.bus = QDBusConnection(QStringLiteral("no-bus"));
        s.readEvents = [](const QList<Day>&, QObject*, std::function<void(const EventLines&)>) {};
        s.reminders = std::make_unique<ReminderCenter>(&scheduler_, true, QTimeZone::systemTimeZone());
        s.syncDelay = std::chrono::hours(1);
        return std::make_unique<AppModel>(folder_, today_, &settings_, family_, notes_, notesApp_, std::move(s));
    }

private:
    class NoDesktop final : public DesktopNotifier {
    public:
        void show(const QString&, const QString&) override {}
    };

    QString folder_;
    Day today_;
    QSettings settings_;
    FamilyStore family_;
    NotificationScheduler scheduler_;
    QString notes_;
    QString notesApp_;
};
