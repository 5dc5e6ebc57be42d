#include "singleinstance.h"

#include "logcategories.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QTimer>

#include <algorithm>

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
    // A steady allowance that fills up again over time: a person or a script adding a
    // handful never notices it, a flood runs dry.
    if (sinceAllowance_.isValid())
        allowance_ = std::min<double>(openBurst, allowance_ + sinceAllowance_.restart() * openPerSecond / 1000.0);
    else
        sinceAllowance_.start();
    if (allowance_ < 1) {
        if (++refused_ == 1 || refused_ % 1000 == 0)
            qCWarning(lcApp) << "refusing links to open: more than" << openPerSecond << "a second;" << refused_ << "so far";
        if (calledFromDBus())
            sendErrorReply(QString::fromLatin1(tooManyError),
                           QStringLiteral("too many links at once; the planner takes %1 a second").arg(openPerSecond));
        return;
    }
    allowance_ -= 1;
    refused_ = 0;
    pending_.enqueue(url);
    if (!handingOn_) {
        handingOn_ = true;
        QTimer::singleShot(0, this, &SingleInstance::handOnSome);
    }
}

void SingleInstance::handOnSome()
{
    for (int n = 0; n < openBatch && !pending_.isEmpty(); ++n)
        emit openRequested(pending_.dequeue());
    if (pending_.isEmpty())
        handingOn_ = false;
    else
        QTimer::singleShot(0, this, &SingleInstance::handOnSome);
}

void SingleInstance::Activate()
{
    emit activateRequested();
}
