#pragma once
// One planner per user session: the first planner claims a well-known name on the
// session bus and answers Open(url) and Activate() there; a later launch hands its
// link (or, without one, the wish to see the planner) to the first one and ends. The
// desktop starts us with the link of a "vodarazezaza:" URL through the .desktop file.

#include <QDBusConnection>
#include <QDBusContext>
#include <QElapsedTimer>
#include <QObject>
#include <QQueue>
#include <QString>

#include <optional>

class SingleInstance : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.pemby.Planner")

public:
    static constexpr const char* serviceName = "app.pemby.Planner";
    static constexpr const char* objectPath = "/app/pemby/Planner";
    static constexpr const char* interfaceName = "app.pemby.Planner";

    explicit SingleInstance(QDBusConnection bus, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Outcome {
        // This process holds the name now and hears Open and Activate.
        First,
        // Another planner holds it and took the link or the activation: nothing is
        // left for this process to do.
        Forwarded,
        // No bus, or the name could be neither claimed nor reached: run on alone.
        Alone,
    };
    // Claims the name, or hands `link` (an activation without one) to its holder.
    Outcome start(const std::optional<QString>& link, int timeoutMs = 10'000);

    // Any program on the session bus may call Open, as often as it likes. Links are
    // answered at once and handed on a few per turn of the event loop, so the window
    // keeps up; beyond a burst and a steady rate a call gets an error reply instead.
    static constexpr int openBatch = 8;
    static constexpr int openBurst = 100;
    static constexpr int openPerSecond = 10;
    static constexpr const char* tooManyError = "app.pemby.Planner.Error.TooManyLinks";

public slots:
    // What the bus calls. Names as the bus sees them.
    Q_SCRIPTABLE void Open(const QString& url);
    Q_SCRIPTABLE void Activate();

signals:
    void openRequested(const QString& url);
    void activateRequested();

private:
    enum class Claim { Ours, Taken, Failed };
    Claim claim();
    bool forward(const std::optional<QString>& link, int timeoutMs);
    void handOnSome();

    QDBusConnection bus_;
    bool registered_ = false;
    bool owner_ = false;
    QQueue<QString> pending_;
    bool handingOn_ = false;
    double allowance_ = openBurst;
    QElapsedTimer sinceAllowance_;
    qint64 refused_ = 0;
};
