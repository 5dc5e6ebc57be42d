#pragma once
// Hears the family's change notification and calls back on the GUI thread, after the
// event at hand has been handled. The callback holds its receiver weakly: once the
// receiver (or the observer) is gone, a notification does nothing.

#include <QDBusConnection>
#include <QObject>
#include <QPointer>

#include <functional>

class PembySyncObserver : public QObject {
    Q_OBJECT
public:
    explicit PembySyncObserver(QObject* parent = nullptr);

    // Runs `callback` for every notification while `receiver` lives; a null receiver
    // ties the callback to the observer alone. An empty callback unsets it.
    void setOnChanged(std::function<void()> callback, QObject* receiver = nullptr);
    bool hasOnChanged() const { return bool(onChanged_); }

    // Starts listening on `bus` (the session bus in the app), from any sender, this app
    // included. Without a bus nothing is heard and nothing fails; false then.
    bool observe(const QDBusConnection& bus);

private slots:
    void changed();

private:
    std::function<void()> onChanged_;
    QPointer<QObject> receiver_;
    bool hasReceiver_ = false;
};
