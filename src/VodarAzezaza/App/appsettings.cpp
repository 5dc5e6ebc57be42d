#include "appsettings.h"

#include "textutil.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

#include <cmath>
#include <limits>
#include <optional>

namespace {

const QString firstWeekdayKey = QStringLiteral("firstWeekday");
const QString splitWeekendKey = QStringLiteral("splitWeekend");
const QString showCalendarKey = QStringLiteral("showCalendar");
const QString showListsKey = QStringLiteral("showLists");
const QString floatsKey = QStringLiteral("focus.floats");
const QString slotsKey = QStringLiteral("order.otherApps");
const QString focusLastKey = QStringLiteral("focus.last");

std::optional<bool> readBool(const QSettings& settings, const QString& key)
{
    const QVariant value = settings.value(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = value.toString();
    if (text == u"true")
        return true;
    if (text == u"false")
        return false;
    return std::nullopt;
}

std::optional<int> readInt(const QSettings& settings, const QString& key)
{
    const QVariant value = settings.value(key);
    switch (value.typeId()) {
    case QMetaType::Int:
        return value.toInt();
    case QMetaType::LongLong: {
        const qint64 n = value.toLongLong();
        if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
            return std::nullopt;
        return int(n);
    }
    case QMetaType::QString:
        return pemby::parseStrictInt32(value.toString());
    default:
        return std::nullopt;
    }
}

// A JSON object of whole numbers; anything else (another type, a fraction, a bad
// text) gives no slots at all. A slot below 0 counts as 0: it can only mean "first".
QMap<QString, int> readSlots(const QSettings& settings)
{
    const QVariant value = settings.value(slotsKey);
    if (value.typeId() != QMetaType::QString)
        return {};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(value.toString().toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return {};
    QMap<QString, int> stored;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it->isDouble())
            return {};
        const double n = it->toDouble();
        if (n != std::floor(n) || n > std::numeric_limits<int>::max() || n < std::numeric_limits<int>::min())
            return {};
        stored.insert(it.key(), std::max(0, int(n)));
    }
    return stored;
}

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

AppSettings::Values AppSettings::read() const
{
    Values values;
    // A first weekday out of range would name no weekday; it means the locale's.
    const int weekday = readInt(file_, firstWeekdayKey).value_or(0);
    values.firstWeekday = weekday >= 0 && weekday <= 7 ? weekday : 0;
    values.splitWeekend = readBool(file_, splitWeekendKey).value_or(true);
    values.showCalendar = readBool(file_, showCalendarKey).value_or(false);
    values.showLists = readBool(file_, showListsKey).value_or(true);
    values.floats = readBool(file_, floatsKey).value_or(true);
    values.otherAppSlots = readSlots(file_);
    return values;
}

void AppSettings::write(const QString& key, const QString& text)
{
    file_.setValue(key, text);
}

void AppSettings::writeFirstWeekday(int weekday) { write(firstWeekdayKey, QString::number(weekday)); }
void AppSettings::writeSplitWeekend(bool split) { write(splitWeekendKey, boolText(split)); }
void AppSettings::writeShowCalendar(bool show) { write(showCalendarKey, boolText(show)); }
void AppSettings::writeShowLists(bool show) { write(showListsKey, boolText(show)); }
void AppSettings::writeFloats(bool floats) { write(floatsKey, boolText(floats)); }
void AppSettings::writeFocusLast(bool on) { write(focusLastKey, boolText(on)); }

void AppSettings::writeOtherAppSlots(const QMap<QString, int>& otherAppSlots)
{
    QJsonObject object;
    for (auto it = otherAppSlots.cbegin(); it != otherAppSlots.cend(); ++it)
        object.insert(it.key(), *it);
    write(slotsKey, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
}
