#include "pembythings.h"

#include "logcategories.h"
#include "pembysync.h"
#include "textfile.h"
#include "textutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <limits>

namespace {

// Big enough for a handful of things with long rich-text notes; a larger file is not
// a hand-off from the family.
constexpr qint64 handoffCap = 32 * 1024 * 1024;

// Standard base64 exactly: the 64 letters, padded to a multiple of four, "=" only at
// the end. Qt's decoder would quietly skip what it does not know.
std::optional<QByteArray> decodeBase64Strict(QStringView text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    qsizetype padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == u'=')
        ++padding;
    for (qsizetype i = 0; i < text.size() - padding; ++i) {
        const char16_t c = text[i].unicode();
        const bool ok = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')
            || c == u'+' || c == u'/';
        if (!ok)
            return std::nullopt;
    }
    return QByteArray::fromBase64(text.toLatin1());
}

// Absent keys and null read as missing, as for any optional field of the sibling apps.
bool isMissing(const QJsonValue& value)
{
    return value.isUndefined() || value.isNull();
}

std::optional<qint64> exactInteger(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    // toInteger gives its default for anything that is not an integer in range, so two
    // different defaults tell a real value from a refusal.
    const qint64 a = value.toInteger(0);
    if (a != value.toInteger(1))
        return std::nullopt;
    return a;
}

std::optional<PembyStep> decodeStep(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue title = object.value(QStringLiteral("title"));
    const QJsonValue done = object.value(QStringLiteral("done"));
    if (!title.isString() || !done.isBool())
        return std::nullopt;
    return PembyStep{title.toString(), done.toBool()};
}

std::optional<PembyThing> decodeThing(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    PembyThing thing;

    const QJsonValue title = object.value(QStringLiteral("title"));
    if (!title.isString())
        return std::nullopt;
    thing.title = title.toString();

    const QJsonValue done = object.value(QStringLiteral("done"));
    if (!isMissing(done)) {
        if (!done.isBool())
            return std::nullopt;
        thing.done = done.toBool();
    }

    const QJsonValue zs = object.value(QStringLiteral("zs"));
    if (!isMissing(zs)) {
        const auto n = exactInteger(zs);
        if (!n)
            return std::nullopt;
        // Another app's count may be anything; one more move must never overflow it.
        thing.zs = std::clamp<qint64>(*n, 0, Thing::maxMoveCount);
    }

    const QJsonValue steps = object.value(QStringLiteral("steps"));
    if (!isMissing(steps)) {
        if (!steps.isArray())
            return std::nullopt;
        for (const QJsonValue& s : steps.toArray()) {
            auto step = decodeStep(s);
            if (!step)
                return std::nullopt;
            thing.steps.append(std::move(*step));
        }
    }

    const QJsonValue note = object.value(QStringLiteral("note"));
    if (!isMissing(note)) {
        if (!note.isString())
            return std::nullopt;
        thing.note = note.toString();
    }

    const QJsonValue link = object.value(QStringLiteral("link"));
    if (!isMissing(link)) {
        if (!link.isString())
            return std::nullopt;
        thing.link = link.toString();
    }

    const QJsonValue rtf = object.value(QStringLiteral("rtf"));
    if (!isMissing(rtf)) {
        if (!rtf.isString())
            return std::nullopt;
        thing.rtf = decodeBase64Strict(rtf.toString());
        if (!thing.rtf)
            return std::nullopt;
    }
    return thing;
}

} // namespace

PembyThing PembyThing::fromThing(const Thing& thing)
{
    PembyThing record;
    record.title = thing.title;
    record.done = thing.done;
    record.zs = thing.zs;
    for (const Step& step : thing.steps)
        record.steps.append({step.title, step.done});
    record.note = thing.note;
    record.link = thing.link;
    return record;
}

Thing PembyThing::toThing() const
{
    Thing thing;
    thing.id = QUuid::createUuid();
    // Pasted, dropped, linked or handed over: each title becomes one line here, before
    // the plan, its file or the family store sees it.
    thing.title = pemby::titleText(title);
    thing.done = done;
    thing.zs = int(std::clamp<qint64>(zs, 0, Thing::maxMoveCount));
    for (const PembyStep& step : steps) {
        const QString line = pemby::titleText(step.title);
        if (!line.isEmpty())
            thing.steps.append({line, step.done});
    }
    thing.note = note;
    thing.link = link;
    return thing;
}

QString PembyThings::plainText(const QList<PembyThing>& things)
{
    QStringList titles;
    titles.reserve(things.size());
    for (const PembyThing& thing : things)
        titles.append(thing.title);
    return titles.join(u'\n');
}

std::optional<QByteArray> PembyThings::encode(const QList<PembyThing>& things)
{
    // QJsonObject keeps its keys sorted, which is the sorted-keys form the family writes.
    QJsonArray array;
    for (const PembyThing& thing : things) {
        QJsonArray steps;
        for (const PembyStep& step : thing.steps)
            steps.append(QJsonObject{{QStringLiteral("title"), step.title}, {QStringLiteral("done"), step.done}});
        QJsonObject object{
            {QStringLiteral("title"), thing.title},
            {QStringLiteral("done"), thing.done},
            {QStringLiteral("zs"), thing.zs},
            {QStringLiteral("steps"), steps},
            {QStringLiteral("note"), thing.note},
        };
        if (thing.link)
            object.insert(QStringLiteral("link"), *thing.link);
        if (thing.rtf)
            object.insert(QStringLiteral("rtf"), QString::fromLatin1(thing.rtf->toBase64()));
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<PembyThing>> PembyThings::decode(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    QList<PembyThing> things;
    for (const QJsonValue& value : doc.array()) {
        auto thing = decodeThing(value);
        if (!thing)
            return std::nullopt;
        if (!pemby::trimWhitespace(thing->title).isEmpty())
            things.append(std::move(*thing));
    }
    if (things.isEmpty())
        return std::nullopt;
    return things;
}

void PembyThings::copy(const QList<PembyThing>& things, QMimeData& mime)
{
    if (things.isEmpty())
        return;
    mime.clear();
    mime.setText(plainText(things));
    if (const auto json = encode(things))
        mime.setData(QString::fromLatin1(mimeType), *json);
    if (things.size() == 1 && things.first().rtf)
        mime.setData(QString::fromLatin1(rtfMimeType), *things.first().rtf);
}

QList<PembyThing> PembyThings::paste(const QMimeData* mime)
{
    if (!mime)
        return {};
    const QByteArray json = mime->data(QString::fromLatin1(mimeType));
    if (!json.isEmpty()) {
        if (auto things = decode(json))
            return *things;
    }
    if (mime->hasText())
        return parse(mime->text());
    return {};
}

QList<PembyThing> PembyThings::takeHandoff(const QString& familyFolder)
{
    return takeHandoff(familyFolder, {});
}

QList<PembyThing> PembyThings::takeHandoff(const QString& familyFolder,
                                           const std::function<void(HandoffStep)>& between)
{
    const auto step = [&](HandoffStep done) {
        if (between)
            between(done);
    };
    const QDir folder(familyFolder);
    const QString path = folder.filePath(QString::fromLatin1(handoffFileName));
    if (!QFileInfo(path).isFile())
        return {};
    step(HandoffStep::Looked);

    // Renaming claims the file in one step: a second reader (or the sibling writing a new
    // hand-off) can never see it half-read, and nobody takes the same things twice.
    const QString claimed = folder.filePath(QStringLiteral(".handoff-%1.claimed").arg(pemby::newUuidLower()));
    if (std::rename(QFile::encodeName(path).constData(), QFile::encodeName(claimed).constData()) != 0) {
        // Someone else claimed it first, or it cannot be moved. Whatever stands at the
        // name now is not ours to remove: it may be a hand-off the sibling has just
        // written, which the next look takes.
        const int error = errno;
        if (error != ENOENT)
            qCWarning(lcFamily) << "couldn't claim the hand-off file" << path << std::strerror(error);
        return {};
    }
    step(HandoffStep::Claimed);

    const auto bytes = pemby::readBytes(claimed, handoffCap);
    step(HandoffStep::Read);
    // Only the claimed file goes: a hand-off written since stands at the name.
    if (!QFile::remove(claimed))
        qCWarning(lcFamily) << "couldn't remove the claimed hand-off file" << claimed;
    if (!bytes) {
        qCWarning(lcFamily) << "couldn't read the hand-off file:" << bytes.errorText();
        return {};
    }
    auto things = decode(*bytes);
    if (!things) {
        qCWarning(lcFamily) << "the hand-off file held no things";
        return {};
    }
    return *things;
}

QList<PembyThing> PembyThings::takeHandoff()
{
    return takeHandoff(PembySync::familyFolder());
}

std::optional<QList<PembyThing>> PembyThings::thingsFromLinkPayload(const QString& payload)
{
    QString text = payload;
    text.replace(u'-', u'+');
    text.replace(u'_', u'/');
    while (text.size() % 4 != 0)
        text.append(u'=');
    const auto bytes = decodeBase64Strict(text);
    if (!bytes)
        return std::nullopt;
    return decode(*bytes);
}
