#include "notesmodel.h"
#include "shortcuttext.h"

#include "logcategories.h"
#include "textfile.h"
#include "textutil.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace {

QString deletedToast()
{
    return QStringLiteral("In the Trash. ") + pemby::ifThatWasAMistake();
}

} // namespace

NotesModel::NotesModel(const QString& folder, Clock clock, QObject* parent)
    : QObject(parent), store_(folder, clock), clock_(std::move(clock))
{
}

NotesModel::~NotesModel() = default;

QString NotesModel::pembyNotesFolder()
{
    const QString folder = qEnvironmentVariable("PEMBY_NOTES_APP_DIR");
    return folder.isEmpty() ? NoteStore::defaultDirectory() : folder;
}

QDateTime NotesModel::now() const
{
    return clock_ ? clock_() : QDateTime::currentDateTimeUtc();
}

void NotesModel::setNotes(QList<std::shared_ptr<Note>> notes)
{
    if (notes == notes_)
        return;
    notes_ = std::move(notes);
    emit notesChanged();
}

void NotesModel::setSelectedID(std::optional<QString> id)
{
    if (id == selectedID_)
        return;
    selectedID_ = std::move(id);
    emit selectedIDChanged();
}

void NotesModel::setRenaming(std::optional<QString> id)
{
    if (id == renaming_)
        return;
    renaming_ = std::move(id);
    emit renamingChanged();
}

void NotesModel::setQuery(const QString& query)
{
    if (query == query_)
        return;
    query_ = query;
    emit queryChanged();
}

void NotesModel::setSaveError(std::optional<QString> error)
{
    if (error == saveError_)
        return;
    saveError_ = std::move(error);
    emit saveErrorChanged();
}

void NotesModel::bumpRevision()
{
    ++revision_;
    emit revisionChanged();
}

void NotesModel::bumpDiskRevision()
{
    ++diskRevision_;
    emit diskRevisionChanged();
}

void NotesModel::bumpEditRequest()
{
    ++editRequest_;
    emit editRequestChanged();
}

void NotesModel::requestEdit()
{
    bumpEditRequest();
}

void NotesModel::requestSearch()
{
    ++searchRequest_;
    emit searchRequestChanged();
}

void NotesModel::flush()
{
    if (flushEditor_)
        flushEditor_();
}

std::shared_ptr<Note> NotesModel::find(const QString& id) const
{
    for (const auto& note : notes_) {
        if (note->id() == id)
            return note;
    }
    return nullptr;
}

QList<std::shared_ptr<Note>> NotesModel::visible() const
{
    const QString query = Note::folded(pemby::trimWhitespace(query_));
    if (query.isEmpty())
        return notes_;
    QList<std::shared_ptr<Note>> found;
    for (const auto& note : notes_) {
        if (note->matches(query))
            found.append(note);
    }
    return found;
}

std::shared_ptr<Note> NotesModel::selected() const
{
    return selectedID_ ? find(*selectedID_) : nullptr;
}

namespace {

bool isNoteFile(const QString& name)
{
    return name.endsWith(u".rtf");
}

} // namespace

bool NotesModel::signatureHolds()
{
    const Signature& listed = store_.listedStamps();
    const std::optional<QStringList> moved = store_.stampsMovedSince(signatureMoves_);
    const auto same = [&](const QString& name) {
        const auto now = listed.constFind(name);
        const auto was = signature_.constFind(name);
        return now == listed.cend() ? was == signature_.cend() : was != signature_.cend() && *was == *now;
    };
    const bool holds = moved ? std::all_of(moved->cbegin(), moved->cend(), same)
            && std::all_of(unfollowed_.cbegin(), unfollowed_.cend(), same)
                             : signature_ == listed;
    if (holds) {
        // The moves so far end where the signature is.
        signatureMoves_ = store_.stampMoves();
        unfollowed_.clear();
    }
    return holds;
}

void NotesModel::takeSignature(bool* notesMoved)
{
    const Signature& listed = store_.listedStamps();
    const std::optional<QStringList> moved = store_.stampsMovedSince(signatureMoves_);
    QStringList names = moved ? *moved : signature_.keys() + listed.keys();
    names += unfollowed_.values();
    QSet<QString> kept;
    for (const QString& name : std::as_const(names)) {
        const auto now = listed.constFind(name);
        const auto was = signature_.constFind(name);
        if (now == listed.cend() ? was == signature_.cend() : was != signature_.cend() && *was == *now)
            continue;
        if (notesMoved && isNoteFile(name)) {
            kept.insert(name);
            *notesMoved = true;
        } else if (now == listed.cend()) {
            signature_.remove(name);
        } else {
            signature_.insert(name, *now);
        }
    }
    signatureMoves_ = store_.stampMoves();
    unfollowed_ = std::move(kept);
}

void NotesModel::reload()
{
    if (isLoading()) {
        finishLoading();
        return;
    }
    NoteStore::Listing listing = store_.currentListing();
    if (loaded_ && signatureHolds())
        return;
    if (reloadChanged(listing, 0))
        return;
    beginLoading(std::move(listing), loaded_);
    completeLoading(nullptr);
}

void NotesModel::reloadInSteps()
{
    // A read under way goes on with its steps.
    if (isLoading())
        return;
    NoteStore::Listing listing = store_.currentListing();
    if (loaded_ && signatureHolds())
        return;
    // Only as many changed files as a first step would read are read in one go.
    const int files = stepBudget_.value_or(firstStepBudget).files;
    if (reloadChanged(listing, files > 0 ? files : firstStepBudget.files))
        return;
    beginLoading(std::move(listing), loaded_);
    loadStep(stepBudget_.value_or(firstStepBudget), false);
}

bool NotesModel::reloadChanged(NoteStore::Listing& listing, int maxFiles)
{
    if (!loaded_)
        return false;
    flushBeforeReading(listing);
    if (!store_.reloadChanged(listing, maxFiles))
        return false;
    setNotes(store_.notes());
    // Read in one go from this listing, which is the folder as read; the store's own
    // writes of the order and the board, when it had to load it all, are no outside change.
    takeSignature();
    takeOwnWrites({store_.orderPath(), store_.boardPath()});
    followRead();
    return true;
}

void NotesModel::finishLoading()
{
    if (!isLoading())
        return;
    // What is typed reaches the disk before the read can put the file's text in its place.
    flush();
    completeLoading(nullptr);
}

void NotesModel::flushBeforeReading(NoteStore::Listing& listing)
{
    // Pending edits reach the disk before the folder is read over them; what they
    // wrote (a note beside one changed elsewhere, too) is looked at afresh.
    const int revision = revision_;
    flush();
    if (revision_ != revision)
        listing = store_.currentListing();
}

void NotesModel::beginLoading(NoteStore::Listing listing, bool flushed)
{
    if (!flushed)
        flushBeforeReading(listing);
    // The folder as the read begins; nothing compares with the signature until it ends.
    takeSignature();
    store_.beginLoad(std::move(listing));
    stepped_ = false;
}

void NotesModel::loadStep(NoteStore::LoadBudget budget, bool flushFirst)
{
    if (!isLoading())
        return;
    // An edit stored now finishes the read, keeping its note (see edited()).
    if (flushFirst)
        flush();
    if (!isLoading())
        return;
    const std::shared_ptr<Note> shown = selected();
    if (!store_.loadStep(budget)) {
        setNotes(store_.notes());
        bumpRevision();
        // The selected note was changed elsewhere: the editor shows it afresh.
        if (selectedID_ && selected() != shown)
            bumpDiskRevision();
        stepped_ = true;
        QTimer::singleShot(0, this, [this] { loadStep(stepBudget_.value_or(stepBudget), true); });
        return;
    }
    loaded();
}

void NotesModel::completeLoading(const Note* keep)
{
    while (!store_.loadStep({}, keep))
        ;
    loaded();
}

void NotesModel::loaded()
{
    setNotes(store_.notes());
    // The store's own writes (the board, the order) are no change from outside; a note
    // file that changed while the read went on in steps may have been read before it
    // changed. A read in one go looks only at the files the store writes.
    bool notesMoved = false;
    if (stepped_) {
        store_.currentListing();
        takeSignature(&notesMoved);
    } else {
        takeOwnWrites({store_.orderPath(), store_.boardPath()});
    }
    loaded_ = true;
    followRead();
    // Read again, in steps, what changed meanwhile: it costs only those notes.
    if (notesMoved)
        QTimer::singleShot(0, this, [this] { reloadInSteps(); });
}

void NotesModel::select(const std::optional<QString>& id)
{
    if (id == selectedID_)
        return;
    flush();
    setSelectedID(id);
    setRenaming(std::nullopt);
}

void NotesModel::create()
{
    reload();
    setQuery(QString());
    const auto note = store_.create();
    setNotes(store_.notes());
    // The board and the manual order were written: that is no change from outside.
    takeOwnWrites({store_.filePath(*note), store_.orderPath(), store_.boardPath()});
    setSelectedID(note->id());
    setRenaming(std::nullopt);
    bumpRevision();
    bumpEditRequest();
}

void NotesModel::save(const Note& note)
{
    const QString id = note.id();
    const QString before = store_.filePath(note);
    const Status saved = store_.save(note);
    if (saved) {
        // Saving the copy that a kept file made must not hide why the copy is there.
        if (id != keptBesideID_)
            setSaveError(std::nullopt);
    } else {
        qCWarning(lcNotes) << "can't save note" << id << saved.errorText();
        setSaveError(QStringLiteral("Couldn't save to Pemby Notes' folder: ") + saved.errorText());
        keptBesideID_.reset();
        if (const auto copy = store_.conflictCopy(id)) {
            // The file changed elsewhere stays, with its own text now in the list; what
            // was typed here lives on in the copy, which the editor goes on with.
            keptBesideID_ = copy;
            setNotes(store_.notes());
            if (selectedID_ == id)
                setSelectedID(copy);
            bumpDiskRevision();
        }
    }
    // Only the files this save wrote are no change from outside: another note changed
    // elsewhere meanwhile must still be read at the next look.
    takeOwnWrites({before, store_.filePath(note), store_.orderPath(), store_.boardPath()});
}

void NotesModel::followRead()
{
    // A selection or rename whose note the read did not find ends with it.
    if (selectedID_ && !find(*selectedID_))
        setSelectedID(std::nullopt);
    if (renaming_ && !find(*renaming_))
        setRenaming(std::nullopt);
    bumpRevision();
    bumpDiskRevision();
}

void NotesModel::takeOwnWrites(const QStringList& paths)
{
    for (const QString& path : paths) {
        const QString name = QFileInfo(path).fileName();
        if (const auto stamp = pemby::fileStamp(path)) {
            if (signature_.value(name) != *stamp || !signature_.contains(name))
                signature_.insert(name, *stamp);
        } else if (signature_.contains(name)) {
            signature_.remove(name);
        }
    }
}

void NotesModel::edited(const std::shared_ptr<Note>& note, bool isEdit)
{
    if (!note || !notes_.contains(note))
        return;
    // The read ends before the list is sorted again, leaving this note as it is: its
    // save meets whatever changed on disk and keeps both.
    if (isLoading())
        completeLoading(note.get());
    if (isEdit)
        note->setModified(now());
    save(*note);
    store_.sort();
    setNotes(store_.notes());
    bumpRevision();
}

void NotesModel::rename(const QString& id, const QString& title)
{
    setRenaming(std::nullopt);
    finishLoading();
    const auto note = find(id);
    if (!note)
        return;
    const QString trimmed = pemby::trimWhitespace(title);
    if (trimmed.isEmpty() || trimmed == note->title())
        return;
    if (note->isCutShort()) {
        // Only its start is held: a new title would show what the file never gets.
        setSaveError(QStringLiteral("Couldn't save to Pemby Notes' folder: ")
                     + QStringLiteral("\u201C%1\u201D is too long to edit here, so its file was left as it is.")
                           .arg(note->title()));
        return;
    }
    flush();
    note->setAttributedText(Note::retitled(note->attributedText(), trimmed));
    edited(note, true);
    bumpDiskRevision();
}

void NotesModel::deleteNote(const QString& id)
{
    finishLoading();
    const auto note = find(id);
    if (!note)
        return;
    const QList<std::shared_ptr<Note>> before = visible();
    const qsizetype position = before.indexOf(note);
    const bool wasSelected = selectedID_ == id;
    if (wasSelected)
        flush();

    const bool hadFile = pemby::entryExists(store_.filePath(*note));
    NoteStore::TrashedNote trashed = store_.trash(note);
    if (hadFile && !trashed.trashedPath) {
        // The file did not move: saying "In the Trash." would be untrue, and the note
        // would come back at the next load anyway. Keep it where it was.
        if (const Status back = store_.restore({trashed}); !back)
            qCWarning(lcNotes) << "can't put back a note that did not move to the trash" << back.errorText();
        setNotes(store_.notes());
        store_.currentListing();
        takeSignature();
        bumpRevision();
        setSaveError(QStringLiteral("Couldn't move the note to the Trash."));
        return;
    }
    const QString trashedFrom = store_.filePath(*note);
    undoStack_.append({std::move(trashed)});
    while (undoStack_.size() > maxUndoGroups)
        undoStack_.removeFirst();
    setNotes(store_.notes());
    takeOwnWrites({trashedFrom, store_.orderPath(), store_.boardPath()});

    if (wasSelected) {
        const QList<std::shared_ptr<Note>> now = visible();
        if (position < 0 || now.isEmpty())
            setSelectedID(std::nullopt);
        else
            setSelectedID(now[std::min(position, now.size() - 1)]->id());
    }
    bumpRevision();
    if (toast_)
        toast_(deletedToast());
}

void NotesModel::undo()
{
    if (undoStack_.isEmpty())
        return;
    finishLoading();
    flush();
    const QList<NoteStore::TrashedNote> group = undoStack_.takeLast();
    const Status restored = store_.restore(group);
    if (restored) {
        setSaveError(std::nullopt);
    } else {
        qCWarning(lcNotes) << "can't restore notes" << restored.errorText();
        setSaveError(QStringLiteral("Couldn't bring it back: ") + restored.errorText());
    }
    setNotes(store_.notes());
    store_.currentListing();
    takeSignature();
    std::optional<QString> selected;
    if (!group.isEmpty()) {
        // A file that took the note's name meanwhile was kept; the note came back beside it.
        const QString id = group.first().note->id();
        selected = restored ? id : store_.conflictCopy(id).value_or(id);
    }
    setSelectedID(selected);
    bumpRevision();
    bumpDiskRevision();
}

void NotesModel::moveSelection(int offset)
{
    const QList<std::shared_ptr<Note>> shown = visible();
    if (shown.isEmpty())
        return;
    const auto current = selected();
    const qsizetype index = current ? shown.indexOf(current) : -1;
    if (index < 0) {
        select(shown.first()->id());
        return;
    }
    const qsizetype target = std::clamp<qsizetype>(index + qsizetype(offset), 0, shown.size() - 1);
    select(shown[target]->id());
}
