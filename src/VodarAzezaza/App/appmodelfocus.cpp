// Beyond the board: focus mode, which trades the main window for the small panel of
// one place; the search, which needs every week loaded; and the add link, through which
// other programs hand things over.
#include "appmodel.h"

#include "addlink.h"
#include "appmodelstate.h"
#include "appsettings.h"
#include "focuspanelcontroller.h"
#include "logcategories.h"
#include "pembythings.h"
#include "textfile.h"
#include "textutil.h"

// ---- Focus mode -------------------------------------------------------------------

void AppModel::setFocusSource(const FocusSource& source)
{
    const Transition transition(*this);
    if (source.kind() == FocusSource::Kind::Tomorrow)
        loadWeeksOf({d_->today.adding(1)});
    assign(d_->focusSource, source, &AppModel::focusSourceChanged);
    clearSelection();
    setEditing(std::nullopt);
}

void AppModel::enterFocusMode()
{
    const Transition transition(*this);
    if (d_->isFocusMode)
        return;
    // A list deleted since it was chosen: today instead of the first list in its place.
    if (d_->focusSource.kind() == FocusSource::Kind::List
        && (d_->focusSource.listIndex() < 0 || d_->focusSource.listIndex() >= d_->planner.lists.size()))
        assign(d_->focusSource, FocusSource::today(), &AppModel::focusSourceChanged);
    if (d_->focusSource.kind() == FocusSource::Kind::Tomorrow)
        loadWeeksOf({d_->today.adding(1)});
    assign(d_->isFocusMode, true, &AppModel::isFocusModeChanged);
    setOpened(std::nullopt);
    setOpenedExternal(std::nullopt);
    setEditing(std::nullopt);
    setZoomed(std::nullopt);
    setSearching(false);
    clearSelection();
    d_->settings->writeFocusLast(true);
    if (d_->mainWindow.window && d_->mainWindow.hide)
        d_->mainWindow.hide();
    focus_->showPanel(*this, d_->floats);
}

void AppModel::exitFocusMode()
{
    const Transition transition(*this);
    if (!d_->isFocusMode)
        return;
    assign(d_->isFocusMode, false, &AppModel::isFocusModeChanged);
    setOpened(std::nullopt);
    setOpenedExternal(std::nullopt);
    setEditing(std::nullopt);
    d_->settings->writeFocusLast(false);
    focus_->hidePanel();
    bringMainWindowBack();
    if (d_->activateApp)
        d_->activateApp();
}

bool AppModel::reopen()
{
    if (d_->isFocusMode) {
        focus_->showPanel(*this, d_->floats);
        return true;
    }
    return bringMainWindowBack();
}

// The main window to the front, or a new one; false when there is no way to show one.
bool AppModel::bringMainWindowBack()
{
    if (d_->mainWindow.window && d_->mainWindow.bringToFront) {
        d_->mainWindow.bringToFront();
        return true;
    }
    if (d_->openMainWindow) {
        d_->openMainWindow();
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
        settings().setShowLists(true);
        break;
    case Place::Kind::Month:
        showDay(place.month().first(), Mode::Month);
        break;
    }
    select(id);
}

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
