#include "sharedthing.h"

#include "things.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pemby {

QList<Step> plannerSteps(const QList<SharedStep>& steps)
{
    QList<Step> planned;
    planned.reserve(steps.size());
    for (const SharedStep& step : steps)
        planned.append(Step{step.title, step.done});
    return planned;
}

QList<SharedStep> sharedSteps(const QList<Step>& steps)
{
    QList<SharedStep> shared;
    shared.reserve(steps.size());
    for (const Step& step : steps)
        shared.append(SharedStep{step.title, step.done});
    return shared;
}

QString encodeSharedSteps(const QList<SharedStep>& steps)
{
    QJsonArray array;
    for (const SharedStep& step : steps)
        array.append(QJsonObject{{QStringLiteral("title"), step.title}, {QStringLiteral("done"), step.done}});
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QList<SharedStep> decodeSharedSteps(const QString& json)
{
    // Most things have no steps; their text needs no parser.
    if (json == u"[]")
        return {};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return {};
    QList<SharedStep> steps;
    for (const QJsonValue& value : doc.array()) {
        if (!value.isObject())
            return {};
        const QJsonObject object = value.toObject();
        const QJsonValue title = object.value(QStringLiteral("title"));
        const QJsonValue done = object.value(QStringLiteral("done"));
        if (!title.isString() || !done.isBool())
            return {};
        steps.append({title.toString(), done.toBool()});
    }
    return steps;
}

} // namespace pemby
