#pragma once
// A desktop that only writes down what it was asked to show.

#include "desktopnotifier.h"

#include <QList>
#include <QString>

struct ShownNotification {
    QString title;
    QString body;
    bool operator==(const ShownNotification&) const = default;
};

class RecordingNotifier final : public DesktopNotifier {
public:
    explicit RecordingNotifier(QList<ShownNotification>& shown) : shown_(shown) {}
    void show(const QString& title, const QString& body) override { shown_.append({title, body}); }

private:
    QList<ShownNotification>& shown_;
};

inline void PrintTo(const ShownNotification& n, std::ostream* os)
{
    *os << '{' << n.title.toStdString() << " / " << n.body.toStdString() << '}';
}
