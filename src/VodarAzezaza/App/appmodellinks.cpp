// The links: a thing's own, and the add link, through which other programs hand
// things over.
#include "appmodel.h"

#include "addlink.h"
#include "appmodelstate.h"
#include "appsettings.h"
#include "logcategories.h"
#include "pembythings.h"
#include "textfile.h"
#include "textutil.h"

// ---- Links ------------------------------------------------------------------------

void AppModel::openLink(const QString& link)
{
    const Transition transition(*this);
    if (!isOpenableLink(link)) {
        showToast(QStringLiteral("Can't open that kind of link."));
        return;
    }
    const QUrl url(link, QUrl::StrictMode);
    // Our own links need no trip through the desktop and back.
    if (isOwnLink(url)) {
        open(link);
        return;
    }
    if (!d_->openUrl(outgoingLink(url))) {
        qCWarning(lcApp) << "the desktop couldn't open" << url.scheme() << "link";
        showToast(QStringLiteral("Couldn't open that link."));
    }
}

void AppModel::open(const QString& url)
{
    const Transition transition(*this);
    const std::optional<AddLink> request = AddLink::read(url);
    if (!request)
        return;
    QList<PembyThing> things = request->things;
    if (request->handoff) {
        things = d_->takeHandoff();
        AddLink::keepOpenableLinks(things);
    }
    if (things.isEmpty())
        return;

    const Place target = request->day ? Place::onDay(*request->day)
                         : request->toList ? Place::inList(0)
                                           : Place::onDay(d_->today);
    const QList<QUuid> added = drag().addNewThings(things, target);
    if (added.isEmpty())
        return;
    if (const auto shown = target.day())
        showDay(*shown, Mode::Week);
    if (added.size() == 1)
        showToast(QStringLiteral("Added. From elsewhere."));
    else
        showToast(QString::number(added.size()) + QStringLiteral(" added. From elsewhere."));
}
