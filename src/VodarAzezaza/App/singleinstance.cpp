#include "singleinstance.h"

#include "logcategories.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

SingleInstance::SingleInstance(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , bus_(std::move(bus))
{
}

SingleInstance::~SingleInstance()
{
    if (owner_ && bus_.isConnected() && bus_.interface())
        bus_.interface()->unregisterService(QString::fromLatin1(serviceName));
    if (registered_)
        bus_.unregisterObject(QString::fromLatin1(objectPath));
}

SingleInstance::Outcome SingleInstance::start(const std::optional<QString>& link, int timeoutMs)
{
    if (!bus_.isConnected() || !bus_.interface()) {
        qCInfo(lcApp) << "no session bus: this planner runs on its own";
        return Outcome::Alone;
    }
    // The object answers before the name is ours, so no call to the new owner is lost.
    registered_ = bus_.registerObject(QString::fromLatin1(objectPath), this, QDBusConnection::ExportScriptableSlots);
    if (!registered_) {
        qCWarning(lcApp) << "couldn't offer the planner on the session bus:" << bus_.lastError().message();
        return Outcome::Alone;
    }
    // A holder that quits between our claim and our call leaves the name free: one more
    // claim then makes us the planner instead of dropping the link.
    for (int attempt = 0; attempt < 2; ++attempt) {
        switch (claim()) {
        case Claim::Ours:
            return Outcome::First;
        case Claim::Failed:
            return Outcome::Alone;
        case Claim::Taken:
            if (forward(link, timeoutMs))
                return Outcome::Forwarded;
            break;
        }
    }
    qCWarning(lcApp) << "the planner holding" << serviceName << "did not answer; this one runs on its own";
    return Outcome::Alone;
}

SingleInstance::Claim SingleInstance::claim()
{
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus_.interface()->registerService(
        QString::fromLatin1(serviceName), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        qCWarning(lcApp) << "couldn't claim" << serviceName << reply.error().message();
        return Claim::Failed;
    }
    if (reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        owner_ = true;
        return Claim::Ours;
    }
    return Claim::Taken;
}

bool SingleInstance::forward(const std::optional<QString>& link, int timeoutMs)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
                                                       QString::fromLatin1(interfaceName),
                                                       link ? QStringLiteral("Open") : QStringLiteral("Activate"));
    if (link)
        call << *link;
    // The event loop keeps running while we wait, so the holder may even live in this
    // very process.
    const QDBusMessage reply = bus_.call(call, QDBus::BlockWithGui, timeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    qCWarning(lcApp) << "couldn't hand over to the running planner:" << reply.errorMessage();
    return false;
}

void SingleInstance::Open(const QString& url)
{
    emit openRequested(url);
}

void SingleInstance::Activate()
{
    emit activateRequested();
}
