// The clipboard, which carries things with their notes.
#include "thingclipboard.h"

#include "appmodelstate.h"
#include "pembyclipboard.h"
#include "pembythings.h"
#include "textutil.h"

#include <QMimeData>

#include <algorithm>

namespace {

bool anyTitled(const QList<PembyThing>& things)
{
    return std::any_of(things.cbegin(), things.cend(),
                       [](const PembyThing& thing) { return !pemby::trimWhitespace(thing.title).isEmpty(); });
}

} // namespace

void ThingClipboard::copySelection()
{
    const QList<Thing> things = model_.selection().orderedThings();
    if (things.isEmpty())
        return;
    QList<PembyThing> records;
    records.reserve(things.size());
    for (const Thing& thing : things) {
        PembyThing record = PembyThing::fromThing(thing);
        record.rtf = model_.d_->noteFiles->read(thing.noteID);
        records.append(record);
    }
    auto mime = std::make_unique<QMimeData>();
    PembyThings::copy(records, *mime);
    model_.d_->clipboard->setMimeData(std::move(mime));
}

QList<PembyThing> ThingClipboard::clipboardThings() const
{
    return PembyThings::paste(model_.d_->clipboard->mimeData());
}

bool ThingClipboard::pasteAsThingsWhileTyping(const std::optional<QList<PembyThing>>& given, std::optional<bool> isRich)
{
    const AppModel::Transition transition(model_);
    std::optional<Place> place;
    if (model_.d_->editing && model_.d_->editing->isNew()) {
        place = model_.d_->editing->place();
    } else if (model_.d_->opened) {
        if (const auto at = model_.d_->planner.locate(*model_.d_->opened))
            place = at->place;
    }
    if (!place)
        return false;

    const QMimeData* mime = model_.d_->clipboard->mimeData();
    const QList<PembyThing> things = given ? *given : PembyThings::paste(mime);
    const bool holdsRecords = mime && mime->hasFormat(QString::fromLatin1(PembyThings::mimeType));
    const bool takeOver = (!isRich && holdsRecords) || isRich.value_or(false) || things.size() > 1;
    // A paste that would add nothing stays with the field, so what it holds is not lost
    // with the edit.
    if (!takeOver || !anyTitled(things) || !model_.drag().takesThings(*place))
        return false;
    model_.setEditing(std::nullopt);
    model_.setOpened(std::nullopt);
    return model_.drag().addThings(things, *place);
}
