#include "addlink.h"

#include "textfile.h"
#include "textutil.h"

#include <QUrlQuery>

namespace {

const QString ownScheme = QStringLiteral("vodarazezaza");

struct QueryItem {
    QString name;
    std::optional<QString> value;  // none without "="
};

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Percent-decoded UTF-8; none for a stray "%" or bytes that are no UTF-8. "+" stays "+".
std::optional<QString> decodeComponent(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'%')
            continue;
        if (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))
            return std::nullopt;
        i += 2;
    }
    return pemby::decodeUtf8Strict(QByteArray::fromPercentEncoding(text.toUtf8()));
}

// The query items of "vodarazezaza://add?...", read from the link as written: QUrl
// would lower-case the scheme and the host, and a link in capitals is not ours. None
// for any other link, and for one without a query.
std::optional<QList<QueryItem>> addLinkItems(QStringView link)
{
    const QString prefix = ownScheme + QStringLiteral("://");
    if (!link.startsWith(prefix))
        return std::nullopt;
    QStringView rest = link.mid(prefix.size());
    qsizetype end = 0;
    while (end < rest.size() && rest[end] != u'/' && rest[end] != u'?' && rest[end] != u'#')
        ++end;
    QStringView host = rest.left(end);
    if (const qsizetype at = host.lastIndexOf(u'@'); at >= 0)
        host = host.mid(at + 1);
    if (const qsizetype colon = host.indexOf(u':'); colon >= 0)
        host = host.left(colon);
    if (host != u"add")
        return std::nullopt;
    rest = rest.mid(end);
    const qsizetype question = rest.indexOf(u'?');
    const qsizetype hash = rest.indexOf(u'#');
    if (question < 0 || (hash >= 0 && hash < question))
        return std::nullopt;
    QStringView query = rest.mid(question + 1);
    if (hash >= 0)
        query = query.left(hash - question - 1);
    if (query.isEmpty())
        return std::nullopt;

    QList<QueryItem> items;
    for (QStringView piece : query.split(u'&')) {
        const qsizetype equals = piece.indexOf(u'=');
        const auto name = decodeComponent(equals < 0 ? piece : piece.left(equals));
        if (!name)
            return std::nullopt;
        QueryItem item{*name, std::nullopt};
        if (equals >= 0) {
            item.value = decodeComponent(piece.mid(equals + 1));
            if (!item.value)
                return std::nullopt;
        }
        items.append(item);
    }
    return items;
}

// The first item of that name decides; without a value it counts as absent.
std::optional<QString> valueOf(const QList<QueryItem>& items, QStringView name)
{
    for (const QueryItem& item : items) {
        if (item.name == name)
            return item.value;
    }
    return std::nullopt;
}

} // namespace

bool isOpenableLink(const QString& link)
{
    const QUrl url(link, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return false;
    const QString scheme = url.scheme();
    if (scheme == u"http" || scheme == u"https")
        return !url.host().isEmpty();
    return scheme == u"mailto" || scheme == ownScheme;
}

QUrl outgoingLink(const QUrl& url)
{
    if (url.scheme() != u"mailto" || !url.hasQuery())
        return url;
    // A link from elsewhere could name any file of ours to go out with the mail.
    QUrlQuery query(url);
    const QList<std::pair<QString, QString>> items = query.queryItems(QUrl::FullyEncoded);
    QUrlQuery kept;
    for (const auto& [key, value] : items) {
        const QString name = QUrl::fromPercentEncoding(key.toUtf8()).trimmed().toLower();
        if (name != u"attach" && name != u"attachment")
            kept.addQueryItem(key, value);
    }
    QUrl out = url;
    out.setQuery(kept.isEmpty() ? QString() : kept.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return out;
}

std::optional<QString> linkDestination(const QString& link)
{
    if (!isOpenableLink(link))
        return std::nullopt;
    const QUrl url(link, QUrl::StrictMode);
    if (url.scheme() == ownScheme)
        return std::nullopt;
    if (url.scheme() == u"mailto") {
        QString to = url.path(QUrl::FullyDecoded);
        const QString more = QUrlQuery(url).queryItemValue(QStringLiteral("to"), QUrl::FullyDecoded);
        if (!more.isEmpty())
            to = to.isEmpty() ? more : to + QStringLiteral(", ") + more;
        return to.isEmpty() ? QStringLiteral("a new mail") : to;
    }
    // The encoded form of a host cannot pass for another one in look-alike letters.
    return url.host(QUrl::FullyEncoded);
}

bool isOwnLink(const QUrl& url)
{
    return url.scheme() == ownScheme;
}

std::optional<AddLink> AddLink::read(const QString& link)
{
    if (link.size() > maxText)
        return std::nullopt;
    const auto items = addLinkItems(link);
    if (!items)
        return std::nullopt;

    AddLink request;
    if (valueOf(*items, u"handoff")) {
        request.handoff = true;
    } else if (const auto payload = valueOf(*items, u"things")) {
        if (payload->size() <= maxPayload)
            request.things = PembyThings::thingsFromLinkPayload(*payload).value_or(QList<PembyThing>());
    } else if (const auto title = valueOf(*items, u"title")) {
        PembyThing thing;
        thing.title = pemby::titleText(*title);
        thing.note = valueOf(*items, u"note").value_or(QString());
        thing.link = valueOf(*items, u"from");
        if (!thing.title.isEmpty() && thing.title.size() <= maxTitle && thing.note.size() <= maxNote)
            request.things.append(thing);
    }
    keepOpenableLinks(request.things);
    const std::optional<QString> dayText = valueOf(*items, u"day");
    request.day = dayText ? Day::fromIso(*dayText) : std::nullopt;
    request.toList = valueOf(*items, u"list").has_value();
    return request;
}

void AddLink::keepOpenableLinks(QList<PembyThing>& things)
{
    // What comes from outside keeps only a link the planner would open.
    for (PembyThing& thing : things) {
        if (thing.link && (thing.link->size() > maxFrom || !isOpenableLink(*thing.link)))
            thing.link.reset();
    }
}
