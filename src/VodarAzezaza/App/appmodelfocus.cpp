// Beyond the board: focus mode, which trades the main window for the small panel of
// one place; the search, which needs every week loaded; and the add link, through which
// other programs hand things over.
#include "appmodel.h"

#include "logcategories.h"
#include "textfile.h"
#include "textutil.h"

#include <QUrlQuery>

namespace {

const QString focusLastKey = QStringLiteral("focus.last");
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

// ---- Focus mode -------------------------------------------------------------------

void AppModel::setFocusSource(const FocusSource& source)
{
    const Transition transition(*this);
    if (source.kind() == FocusSource::Kind::Tomorrow)
        loadWeeksOf({today_.adding(1)});
    assign(focusSource_, source, &AppModel::focusSourceChanged);
    clearSelection();
    setEditing(std::nullopt);
}

void AppModel::enterFocusMode()
{
    const Transition transition(*this);
    if (isFocusMode_)
        return;
    // A list deleted since it was chosen: today instead of the first list in its place.
    if (focusSource_.kind() == FocusSource::Kind::List
        && (focusSource_.listIndex() < 0 || focusSource_.listIndex() >= planner_.lists.size()))
        assign(focusSource_, FocusSource::today(), &AppModel::focusSourceChanged);
    if (focusSource_.kind() == FocusSource::Kind::Tomorrow)
        loadWeeksOf({today_.adding(1)});
    assign(isFocusMode_, true, &AppModel::isFocusModeChanged);
    setOpened(std::nullopt);
    setOpenedExternal(std::nullopt);
    setEditing(std::nullopt);
    setZoomed(std::nullopt);
    setSearching(false);
    clearSelection();
    writeSetting(focusLastKey, QStringLiteral("true"));
    if (mainWindow_.window && mainWindow_.hide)
        mainWindow_.hide();
    focus_->showPanel(*this, floats_);
}

void AppModel::exitFocusMode()
{
    const Transition transition(*this);
    if (!isFocusMode_)
        return;
    assign(isFocusMode_, false, &AppModel::isFocusModeChanged);
    setOpened(std::nullopt);
    setOpenedExternal(std::nullopt);
    setEditing(std::nullopt);
    writeSetting(focusLastKey, QStringLiteral("false"));
    focus_->hidePanel();
    bringMainWindowBack();
    if (activateApp_)
        activateApp_();
}

bool AppModel::reopen()
{
    if (isFocusMode_) {
        focus_->showPanel(*this, floats_);
        return true;
    }
    return bringMainWindowBack();
}

bool AppModel::bringMainWindowBack()
{
    if (mainWindow_.window && mainWindow_.bringToFront) {
        mainWindow_.bringToFront();
        return true;
    }
    if (openMainWindow_) {
        openMainWindow_();
        return true;
    }
    return false;
}

// ---- Search -----------------------------------------------------------------------

void AppModel::beginSearch()
{
    const Transition transition(*this);
    readPlanFiles([](PlannerStore& store, Planner& plan) { store.loadEverything(plan); });
    setSearching(true);
}

void AppModel::reveal(const Place& place, const QUuid& id)
{
    const Transition transition(*this);
    setSearching(false);
    switch (place.kind()) {
    case Place::Kind::Day:
        showDay(*place.day(), Mode::Week);
        break;
    case Place::Kind::List:
        setMode(Mode::Week);
        setShowLists(true);
        break;
    case Place::Kind::Month:
        showDay(place.month().first(), Mode::Month);
        break;
    }
    select(id);
}

// ---- Links ------------------------------------------------------------------------

bool AppModel::isOpenableLink(const QString& link)
{
    const QUrl url(link, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return false;
    const QString scheme = url.scheme();
    if (scheme == u"http" || scheme == u"https")
        return !url.host().isEmpty();
    return scheme == u"mailto" || scheme == ownScheme;
}

QUrl AppModel::outgoingLink(const QUrl& url)
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

std::optional<QString> AppModel::linkDestination(const QString& link)
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

void AppModel::openLink(const QString& link)
{
    const Transition transition(*this);
    if (!isOpenableLink(link)) {
        showToast(QStringLiteral("Can't open that kind of link."));
        return;
    }
    const QUrl url(link, QUrl::StrictMode);
    // Our own links need no trip through the desktop and back.
    if (url.scheme() == ownScheme) {
        open(link);
        return;
    }
    if (!openUrl_(outgoingLink(url))) {
        qCWarning(lcApp) << "the desktop couldn't open" << url.scheme() << "link";
        showToast(QStringLiteral("Couldn't open that link."));
    }
}

void AppModel::open(const QString& url)
{
    const Transition transition(*this);
    if (url.size() > maxLinkText)
        return;
    const auto items = addLinkItems(url);
    if (!items)
        return;

    QList<PembyThing> things;
    if (valueOf(*items, u"handoff")) {
        things = takeHandoff_();
    } else if (const auto payload = valueOf(*items, u"things")) {
        if (payload->size() <= maxLinkPayload)
            things = PembyThings::thingsFromLinkPayload(*payload).value_or(QList<PembyThing>());
    } else if (const auto title = valueOf(*items, u"title")) {
        PembyThing thing;
        thing.title = pemby::titleText(*title);
        thing.note = valueOf(*items, u"note").value_or(QString());
        thing.link = valueOf(*items, u"from");
        if (!thing.title.isEmpty() && thing.title.size() <= maxLinkTitle && thing.note.size() <= maxLinkNote)
            things.append(thing);
    }
    // What comes from outside keeps only a link the planner would open.
    for (PembyThing& thing : things) {
        if (thing.link && (thing.link->size() > maxLinkFrom || !isOpenableLink(*thing.link)))
            thing.link.reset();
    }
    if (things.isEmpty())
        return;

    const std::optional<QString> dayText = valueOf(*items, u"day");
    const std::optional<Day> day = dayText ? Day::fromIso(*dayText) : std::nullopt;
    const Place target = day ? Place::onDay(*day) : valueOf(*items, u"list") ? Place::inList(0) : Place::onDay(today_);
    const QList<QUuid> added = addNewThings(things, target);
    if (added.isEmpty())
        return;
    if (const auto shown = target.day())
        showDay(*shown, Mode::Week);
    if (added.size() == 1)
        showToast(QStringLiteral("Added. From elsewhere."));
    else
        showToast(QString::number(added.size()) + QStringLiteral(" added. From elsewhere."));
}
