#include "notestore.h"

#include "logcategories.h"
#include "richtext.h"
#include "rtfreader.h"
#include "rtfwriter.h"
#include "textfile.h"
#include "textutil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

#include <algorithm>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr qint64 maxNoteBytes = 64 * 1024 * 1024;
constexpr qint64 maxJsonBytes = 16 * 1024 * 1024;

const QString noteSuffix = QStringLiteral(".rtf");
const QString markdownSuffix = QStringLiteral(".md");

// A note's id is the stem of its file name, so it must name a file in the folder
// and nothing else: ids also come from callers and from the sibling app's files.
bool isFileStem(const QString& stem)
{
    return !stem.isEmpty() && stem != u"." && stem != u".." && !stem.contains(u'/') && !stem.contains(u'\\')
        && !stem.contains(QChar(0));
}

// The stem of a name ending in exactly `suffix`, when it makes a usable id.
std::optional<QString> stemOf(const QString& name, const QString& suffix)
{
    if (!name.endsWith(suffix, Qt::CaseSensitive))
        return std::nullopt;
    QString stem = name.chopped(suffix.size());
    if (!isFileStem(stem))
        return std::nullopt;
    return stem;
}

bool isStoreName(const QString& name)
{
    return stemOf(name, noteSuffix) || stemOf(name, markdownSuffix) || name == NoteStore::boardFileName()
        || name == NoteStore::orderFileName();
}

// Regular files, hidden ones included. FIFOs and sockets are left out: reading
// one would block. Links are left out too, dangling or not, and the ones named like
// the store's files are put in `skipped`: the folder syncs, and a link planted in it
// must never carry a file from elsewhere into it, nor a write out of it.
QFileInfoList folderEntries(const QString& directory, QStringList* skipped = nullptr)
{
    QFileInfoList files;
    const QFileInfoList all =
        QDir(directory).entryInfoList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : all) {
        if (!entry.isSymLink() && entry.isFile()) {
            files.append(entry);
        } else if (skipped && isStoreName(entry.fileName())) {
            skipped->append(entry.fileName());
        }
    }
    return files;
}

} // namespace

// One pass of the folder with no file opened and no link followed. Listing a folder
// of a thousand notes this way costs a fraction of what a QFileInfo for each does, and
// the folder is listed at every look for outside changes.
namespace {

// The entry as the file system tells of it, without following a link; none when gone.
std::optional<NoteStore::Entry> entryAt(int folder, const char* name)
{
    struct stat info {};
    if (::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    NoteStore::Entry item;
    item.name = QFile::decodeName(name);
    item.stamp.size = qint64(info.st_size);
    item.stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    item.stamp.changedNs = qint64(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
    item.stamp.inode = quint64(info.st_ino);
    item.stamp.device = quint64(info.st_dev);
    item.stamp.links = quint64(info.st_nlink);
    item.regular = S_ISREG(info.st_mode);
    return item;
}

bool byName(const NoteStore::Entry& a, const NoteStore::Entry& b)
{
    return a.name < b.name;
}

} // namespace

NoteStore::Listing NoteStore::list(const QString& directory)
{
    Listing listed;
    DIR* const folder = ::opendir(QFile::encodeName(directory).constData());
    if (!folder)
        return listed;
    while (const dirent* entry = ::readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        if (auto item = entryAt(::dirfd(folder), entry->d_name))  // none: gone meanwhile
            listed.append(std::move(*item));
    }
    ::closedir(folder);
    std::sort(listed.begin(), listed.end(), byName);
    return listed;
}

NoteStore::Listing NoteStore::currentListing()
{
    const ChangeWatch::Changes changes = watch_.take();
    heard_ = !changes.everything && listing_;
    if (!heard_) {
        listing_ = list(directory_);
        QHash<QString, pemby::FileStamp> stamps = folderStamps(*listing_);
        for (auto it = stamps.cbegin(); it != stamps.cend(); ++it) {
            if (const auto was = listedStamps_.constFind(it.key()); was == listedStamps_.cend() || *was != it.value())
                noteMove(it.key());
        }
        for (auto it = listedStamps_.cbegin(); it != listedStamps_.cend(); ++it) {
            if (!stamps.contains(it.key()))
                noteMove(it.key());
        }
        listedStamps_ = std::move(stamps);
        linked_.clear();
        for (const Entry& entry : std::as_const(*listing_)) {
            if (entry.stamp.links > 1 && entry.regular)
                linked_.insert(entry.name);
        }
        quiet_.clear();
        relisted_.reset();
        return *listing_;
    }
    // A file with other names elsewhere may have changed through one of those unheard.
    QSet<QString> names = changes.names;
    names.unite(linked_);
    if (names.isEmpty())
        return *listing_;
    if (relisted_)
        relisted_->unite(names);
    const int folder = ::open(QFile::encodeName(directory_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    Listing& listed = *listing_;
    for (const QString& name : std::as_const(names)) {
        quiet_.remove(name);
        Entry key;
        key.name = name;
        const auto at = std::lower_bound(listed.begin(), listed.end(), key, byName);
        const bool held = at != listed.end() && at->name == name;
        auto entry = folder < 0 ? std::nullopt : entryAt(folder, QFile::encodeName(name).constData());
        if (entry && entry->stamp.links > 1 && entry->regular)
            linked_.insert(name);
        else
            linked_.remove(name);
        const bool stamped = name.endsWith(noteSuffix) || name.endsWith(u".json");
        if (stamped && entry && listedStamps_.value(name) != entry->stamp) {
            listedStamps_.insert(name, entry->stamp);
            noteMove(name);
        } else if (stamped && !entry && listedStamps_.remove(name)) {
            noteMove(name);
        }
        if (entry && held)
            *at = std::move(*entry);
        else if (entry)
            listed.insert(at, std::move(*entry));
        else if (held)
            listed.erase(at);
    }
    if (folder >= 0)
        ::close(folder);
    return listed;
}

void NoteStore::noteMove(const QString& name)
{
    // A caller that fell this far behind compares every stamp once.
    constexpr qsizetype kept = 4096;
    moves_.append(name);
    if (moves_.size() > 2 * kept) {
        const qsizetype dropped = moves_.size() - kept;
        moves_.remove(0, dropped);
        movesDropped_ += dropped;
    }
}

std::optional<QStringList> NoteStore::stampsMovedSince(qsizetype moves) const
{
    if (moves < movesDropped_ || moves > stampMoves())
        return std::nullopt;
    return moves_.mid(moves - movesDropped_);
}

QHash<QString, pemby::FileStamp> NoteStore::folderStamps(const Listing& listing)
{
    QHash<QString, pemby::FileStamp> stamps;
    stamps.reserve(listing.size());
    for (const Entry& entry : listing) {
        if (entry.name.endsWith(noteSuffix) || entry.name.endsWith(u".json"))
            stamps.insert(entry.name, entry.stamp);
    }
    return stamps;
}

namespace {

QDateTime modifiedAt(const pemby::FileStamp& stamp)
{
    // As QFileInfo gives it: whole milliseconds.
    return QDateTime::fromMSecsSinceEpoch(stamp.modifiedNs / 1'000'000, Qt::UTC);
}

std::optional<QString> moveToDesktopTrash(const QString& path)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // The home trash lives in the data folder. When that folder is missing Qt
    // falls back to the working directory, so make sure it is there, and give up
    // rather than scatter notes when it cannot be made.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data)) {
        qCWarning(lcNotes) << "no trash folder for" << path;
        return std::nullopt;
    }
#endif
    QString where;
    if (!QFile::moveToTrash(path, &where)) {
        qCWarning(lcNotes) << "can't move to the trash:" << path;
        return std::nullopt;
    }
    return QFileInfo(where).absoluteFilePath();
}

// A file brought back from a freedesktop trash ("<trash>/files/<name>") leaves its
// "<trash>/info/<name>.trashinfo" behind; without the file it would show as a
// broken entry in the file manager's trash.
void removeTrashInfo(const QString& trashedPath)
{
    const QFileInfo trashed(trashedPath);
    QDir trash = trashed.absoluteDir();
    if (trash.dirName() != u"files" || !trash.cdUp())
        return;
    const QString info = trash.filePath(QStringLiteral("info/") + trashed.fileName() + QStringLiteral(".trashinfo"));
    if (QFileInfo::exists(info) && !QFile::remove(info))
        qCWarning(lcNotes) << "can't remove" << info;
}

} // namespace

NoteStore::NoteStore(QString directory, Clock clock)
    : directory_(std::move(directory)), clock_(std::move(clock)), watch_(directory_), board_(Board::standard()),
      collator_(NoteSortOrder::titleCollator()), trashFile_(moveToDesktopTrash)
{
    if (!QDir().mkpath(directory_))
        qCWarning(lcNotes) << "can't create the notes folder" << directory_;
}

QString NoteStore::defaultDirectory()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return (data.isEmpty() ? QDir::homePath() : data) + QStringLiteral("/Notes");
}

QString NoteStore::legacyFolderName()
{
    return QStringLiteral("Original Markdown");
}

QString NoteStore::boardFileName()
{
    return QStringLiteral("board.json");
}

QString NoteStore::orderFileName()
{
    return QStringLiteral("order.json");
}

QString NoteStore::pathOf(const QString& name) const
{
    return directory_ + u'/' + name;
}

QString NoteStore::orderPath() const
{
    return pathOf(orderFileName());
}

QString NoteStore::boardPath() const
{
    return pathOf(boardFileName());
}

std::optional<QString> NoteStore::pathForID(const QString& id) const
{
    if (!isFileStem(id))
        return std::nullopt;
    return pathOf(id + noteSuffix);
}

QString NoteStore::filePath(const Note& note) const
{
    return pathForID(note.id()).value_or(QString());
}

QDateTime NoteStore::now() const
{
    return clock_ ? clock_() : QDateTime::currentDateTimeUtc();
}

Status NoteStore::ensureFolder() const
{
    return pemby::makeFolder(directory_);
}

bool NoteStore::migrateMarkdownNotes(const QFileInfoList& entries)
{
    QFileInfoList markdown;
    for (const QFileInfo& entry : entries) {
        if (stemOf(entry.fileName(), markdownSuffix))
            markdown.append(entry);
    }
    if (markdown.isEmpty())
        return false;
    const QString legacy = pathOf(legacyFolderName());
    QDir().mkpath(legacy);
    // A link in place of the folder would take the notes out of this one.
    const bool legacyIsFolder = pemby::isRealFolder(legacy);
    if (!legacyIsFolder)
        qCWarning(lcNotes) << legacyFolderName() << "is not a folder here; the Markdown notes stay where they are";
    const auto putAway = [&](const QFileInfo& entry) {
        // rename() never replaces a file: a name taken there keeps the note here,
        // and a later load tries again.
        if (!legacyIsFolder || !QFile::rename(entry.filePath(), legacy + u'/' + entry.fileName()))
            qCWarning(lcNotes) << "can't move" << entry.fileName() << "into" << legacyFolderName();
    };
    for (const QFileInfo& entry : std::as_const(markdown)) {
        const QString target = pathOf(*stemOf(entry.fileName(), markdownSuffix) + noteSuffix);
        // Whatever has the name, a dangling link too, is the note; it is never written through.
        if (pemby::entryExists(target)) {
            putAway(entry);
            continue;
        }
        const pemby::TextFile file = pemby::readTextFile(entry.filePath());
        if (file.state != pemby::TextFile::State::Read) {
            qCWarning(lcNotes) << "can't read" << entry.fileName() << file.error;
            continue;
        }
        // The Markdown is kept as it was typed: marks and dashes stay text.
        const QByteArray data = RichText::encode(*RichText::plain(file.text), {}, {}, std::nullopt);
        if (data.isEmpty())
            continue;
        if (const Status written = pemby::writeFileAtomic(target, data); !written) {
            qCWarning(lcNotes) << "can't write" << target << written.errorText();
            continue;
        }
        if (const QDateTime modified = entry.lastModified(); modified.isValid()) {
            QFile converted(target);
            if (!converted.open(QIODevice::ReadWrite) || !converted.setFileTime(modified, QFileDevice::FileModificationTime))
                qCWarning(lcNotes) << "can't date" << target << converted.errorString();
        }
        putAway(entry);
    }
    return true;
}

std::shared_ptr<Note> NoteStore::noteFromBytes(const QFileInfo& file, const QString& id, const QByteArray& bytes)
{
    // Each paragraph costs the document its block and layout, so a text of more than a
    // document can afford is taken by its start. Counting first spares reading the
    // paragraphs a refused text would have cost.
    std::optional<RichText::Decoded> decoded;
    if (RtfReader::paragraphEstimate(bytes) < RtfReader::maxParagraphs)
        decoded = RichText::decode(bytes);
    if (!decoded)
        decoded = RichText::decodeStart(bytes, startParagraphs);
    if (!decoded) {
        qCWarning(lcNotes) << "not a note file:" << file.filePath();
        return nullptr;
    }
    if (!decoded->complete)
        qCWarning(lcNotes) << file.filePath() << "is too long to read whole; its start is listed";
    QDateTime modified = file.lastModified();
    if (!modified.isValid())
        modified = now();
    QDateTime created;
    if (decoded->created) {
        created = *decoded->created;
    } else {
        // A copied file can be born after its last change; the note cannot.
        created = file.birthTime();
        if (!created.isValid() || created > modified)
            created = modified;
    }
    if (decoded->unconvertedCodePages.isEmpty()) {
        unconverted_.remove(id);
    } else {
        qCWarning(lcNotes) << file.filePath() << "has text in code pages" << decoded->unconvertedCodePages
                           << "that can't be converted here; it is not written back unedited";
        unconverted_.insert(id, {decoded->unconvertedCodePages, RtfWriter::write(*decoded->text, std::nullopt)});
    }
    auto note = std::make_shared<Note>(id, std::move(decoded->text), modified, created);
    note->setCollapsibleSections(decoded->collapsible);
    note->setCollapsedSections(decoded->collapsed);
    note->setCutShort(!decoded->complete);
    return note;
}

struct NoteStore::Loading {
    struct File {
        QString id;
        QString path;
        qsizetype position = 0;  // in the listing, which orders notes of equal rank
        pemby::FileStamp stamp;  // as listed
    };
    QList<File> files;  // newest first: the top of the list comes first
    QElapsedTimer listedAt;
    qsizetype next = 0;
    QList<std::shared_ptr<Note>> before;
    QHash<QString, std::shared_ptr<Note>> held;
    QList<std::shared_ptr<Note>> made;  // by position in the listing; none yet, or none
    QSet<QString> reached;

    void take(const File& file, std::shared_ptr<Note> note) { made[file.position] = std::move(note); }
    QList<std::shared_ptr<Note>> taken() const
    {
        QList<std::shared_ptr<Note>> notes;
        notes.reserve(made.size());
        for (const auto& note : made) {
            if (note)
                notes.append(note);
        }
        return notes;
    }
    QSet<QString> unreadable;
};

NoteStore::~NoteStore() = default;

void NoteStore::load()
{
    beginLoad();
    while (!loadStep({}))
        ;
}

void NoteStore::beginLoad(std::optional<Listing> listing)
{
    if (loading_)
        return;
    Listing listed = listing ? std::move(*listing) : currentListing();
    forgetLooks();
    if (std::any_of(listed.cbegin(), listed.cend(), [](const Entry& e) { return e.regular && stemOf(e.name, markdownSuffix); })
        && migrateMarkdownNotes(folderEntries(directory_)))
        listed = currentListing();
    QStringList skipped;
    for (const Entry& entry : std::as_const(listed)) {
        if (!entry.regular && isStoreName(entry.name))
            skipped.append(entry.name);
    }
    // Said once, not at every look at the folder.
    for (const QString& name : std::as_const(skipped)) {
        if (!skipped_.contains(name))
            qCWarning(lcNotes) << "skipping" << name << "which is not a regular file";
    }
    skipped_ = std::move(skipped);

    auto loading = std::make_unique<Loading>();
    loading->before = notes_;
    for (const auto& note : std::as_const(notes_))
        loading->held.insert(note->id(), note);
    loading->made.resize(listed.size());
    loading->reached.reserve(listed.size());
    for (qsizetype i = 0; i < listed.size(); ++i) {
        if (const auto id = stemOf(listed[i].name, noteSuffix); id && listed[i].regular)
            loading->files.append({*id, pathOf(listed[i].name), i, listed[i].stamp});
    }
    std::stable_sort(loading->files.begin(), loading->files.end(),
                     [](const Loading::File& a, const Loading::File& b) { return a.stamp.modifiedNs > b.stamp.modifiedNs; });
    loading->listedAt.start();
    conflicts_.clear();
    loading_ = std::move(loading);
}

bool NoteStore::loadStep(const LoadBudget& budget, const Note* keep)
{
    if (!loading_)
        return true;
    Loading& loading = *loading_;
    QElapsedTimer timer;
    timer.start();
    int read = 0;
    while (loading.next < loading.files.size()) {
        const bool spent = (budget.files > 0 && read >= budget.files)
            || (budget.time.count() > 0 && timer.nsecsElapsed() >= budget.time.count());
        if (read > 0 && spent)
            break;
        if (takeIn(loading, loading.next++, keep))
            ++read;
    }
    if (loading.next < loading.files.size()) {
        showProgress(loading);
        return false;
    }
    finishLoad();
    return true;
}

bool NoteStore::takeIn(Loading& loading, qsizetype index, const Note* keep)
{
    const Loading::File& file = loading.files[index];
    const QString& id = file.id;
    loading.reached.insert(id);
    const std::shared_ptr<Note> held = loading.held.value(id);
    if (held && held.get() == keep) {
        loading.take(file, held);
        return false;
    }
    const auto forget = [&] {
        known_.remove(id);
        stamps_.remove(id);
        quiet_.remove(id + noteSuffix);
        unconverted_.remove(id);
    };

    // A file whose stamp is the one of its last trusted read holds the bytes read then.
    // The listing's stamp serves while the steps go on quickly; one taken later than
    // that is looked at again.
    std::optional<pemby::FileStamp> before = file.stamp;
    if (loading.listedAt.elapsed() > 1000)
        before = pemby::fileStamp(file.path);
    if (!before) {
        forget();  // gone since the folder was listed
        return false;
    }
    if (held) {
        const auto stamp = stamps_.constFind(id);
        if (stamp != stamps_.cend() && *stamp == *before && held->modified() == modifiedAt(*before)) {
            loading.take(file, held);
            return false;
        }
    }
    stamps_.remove(id);
    ++filesRead_;
    const auto bytes = pemby::readBytes(file.path, maxNoteBytes);
    if (!bytes) {
        qCWarning(lcNotes) << "can't read" << file.path << bytes.errorText();
        forget();
        loading.unreadable.insert(id);
        return true;
    }
    const auto trust = [&] {
        if (const auto settled = pemby::settledStamp(before, file.path))
            stamps_.insert(id, *settled);
        // A change since is told at the next look, whatever the stamp.
        quiet_.insert(id + noteSuffix, *before);
    };
    // Decoding is what costs: a note whose file holds the very bytes and date it had
    // is the note already held.
    const QFileInfo entry(file.path);
    if (const auto known = known_.constFind(id); held && known != known_.cend() && *known == *bytes) {
        // A file that holds just what was written from this note is still this note,
        // open in the editor perhaps; only its date is the file's now.
        if (written_.contains(id) && entry.lastModified().isValid())
            held->setModified(entry.lastModified());
        if (held->modified() == entry.lastModified()) {
            loading.take(file, held);
            trust();
            return true;
        }
    }
    written_.remove(id);
    if (auto decoded = noteFromBytes(entry, id, *bytes)) {
        known_.insert(id, *bytes);
        loading.take(file, std::move(decoded));
        trust();
    } else {
        forget();
        loading.unreadable.insert(id);
    }
    return true;
}

void NoteStore::showProgress(const Loading& loading)
{
    QList<std::shared_ptr<Note>> notes = loading.taken();
    for (const auto& note : loading.before) {
        if (!loading.reached.contains(note->id()))
            notes.append(note);
    }
    notes_ = std::move(notes);
    orderNotes();
}

void NoteStore::finishLoad()
{
    const std::unique_ptr<Loading> loading = std::move(loading_);
    notes_ = loading->taken();
    unreadableIDs_ = loading->unreadable;
    // What was known of files that are gone is forgotten with them.
    const auto gone = [&](auto& byID) {
        byID.removeIf([&](const auto& item) { return !loading->reached.contains(item.key()); });
    };
    gone(known_);
    gone(stamps_);
    quiet_.removeIf([&](const auto& item) { return !loading->reached.contains(item.key().chopped(noteSuffix.size())); });
    gone(unconverted_);
    written_.removeIf([&](const QString& id) { return !loading->reached.contains(id); });

    readManualOrder();
    sort();
    loadBoard();
}

void NoteStore::forgetLooks()
{
    looked_.clear();
    unsettled_.clear();
    dated_.clear();
    datedValid_ = false;
}

bool NoteStore::reloadChanged(const Listing& listing, int maxFiles)
{
    if (loading_)
        return false;
    // The listing the kernel's word was taken with: its quiet files are as they were read.
    const bool heard = heard_ && listing_ && listing.constData() == listing_->constData() && listing.size() == listing_->size();
    // Since the last look that ended here, by the kernel's word, only the entries the
    // listings refreshed can differ from that look: those and the note files it did not
    // settle are all there is to look at, while the same entries are there. Without an
    // order file, that look's order by date must be at hand too.
    std::optional<QList<qsizetype>> following;
    if (heard && relisted_ && !looked_.isEmpty() && looked_.size() == listing.size() && (hasArrangement_ || datedValid_)) {
        following = unsettled_;
        for (const QString& name : std::as_const(*relisted_)) {
            const auto at = std::lower_bound(listing.cbegin(), listing.cend(), name,
                                             [](const Entry& entry, const QString& n) { return entry.name < n; });
            const qsizetype i = at - listing.cbegin();
            const bool listed = at != listing.cend() && at->name == name;
            const bool lookedAt = i < looked_.size() && looked_[i].entry.name == name;
            if (listed != lookedAt || (listed && looked_[i].entry.regular != at->regular)) {
                following.reset();  // an entry came or went, or became a link
                break;
            }
            if (listed)
                following->append(i);
        }
        if (following) {
            std::sort(following->begin(), following->end());
            following->erase(std::unique(following->begin(), following->end()), following->end());
        }
    }
    // The same entries as the last look that ended here, nothing changed in the store
    // meanwhile: an entry whose stamp did not move is the note taken then, and the
    // checks of the folder's names made then still hold.
    const bool aligned = following
        || (looked_.size() == listing.size()
            && std::equal(listing.cbegin(), listing.cend(), looked_.cbegin(), [](const Entry& entry, const Looked& was) {
                   return entry.regular == was.entry.regular && entry.name == was.entry.name;
               }));
    QHash<QString, qsizetype> held;  // by id, the note's place in the list
    if (!aligned) {
        held.reserve(notes_.size());
        for (qsizetype i = 0; i < notes_.size(); ++i)
            held.insert(notes_[i]->id(), i);
        if (held.size() != notes_.size())
            return false;
    }
    // `was`: the note the last look took for the entry, found by identity.
    const auto placeOf = [&](const QString& id, const Note* was) -> qsizetype {
        if (!aligned)
            return held.value(id, -1);
        const auto end = notes_.cend();
        auto found = was ? std::find_if(notes_.cbegin(), end, [&](const std::shared_ptr<Note>& note) { return note.get() == was; })
                         : end;
        if (found == end)
            found = std::find_if(notes_.cbegin(), end, [&](const std::shared_ptr<Note>& note) { return note->id() == id; });
        return found == end ? -1 : found - notes_.cbegin();
    };

    // What a load would read: the files whose look is not the one of their last trusted
    // read, and those that could not be read then.
    const QString orderName = orderFileName();
    const QString boardName = boardFileName();
    QStringList skipped;
    const Entry* order = nullptr;
    const Entry* board = nullptr;
    QList<Looked> looking;  // a look at every entry; a following one updates the last in place
    if (!following)
        looking.reserve(listing.size());
    QList<Looked>& looks = following ? looked_ : looking;
    qsizetype noteFiles = 0;
    QList<Loading::File> changed;
    QList<qsizetype> changedAt;  // in the listing
    QList<qsizetype> places;     // of each changed file's note in the list; -1: none
    const auto isQuiet = [&](const Entry& entry) {
        const auto still = quiet_.constFind(entry.name);
        return still != quiet_.cend() && *still == entry.stamp;
    };
    // False when a load is needed.
    const auto lookAt = [&](qsizetype i, Looked& look) {
        const Entry& entry = listing[i];
        if (aligned && looked_[i].settled && looked_[i].entry.stamp == entry.stamp
            && (!looked_[i].quiet || (heard && isQuiet(entry)))) {
            ++noteFiles;
            look = looked_[i];
            return true;
        }
        const Note* was = aligned ? looked_[i].settled : nullptr;
        look = {entry, nullptr};
        if (!entry.regular) {
            if (isStoreName(entry.name))
                skipped.append(entry.name);
            return true;
        }
        if (entry.name == orderName) {
            order = &entry;
            return true;
        }
        if (entry.name == boardName) {
            board = &entry;
            return true;
        }
        if (stemOf(entry.name, markdownSuffix))
            return false;  // old notes wait for their conversion
        const auto id = stemOf(entry.name, noteSuffix);
        if (!id)
            return true;
        ++noteFiles;
        const qsizetype at = placeOf(*id, was);
        if (at < 0) {
            if (!unreadableIDs_.contains(*id))
                return false;  // a note file came
        } else {
            const auto stamp = stamps_.constFind(*id);
            if (stamp != stamps_.cend() && *stamp == entry.stamp && notes_[at]->modified() == modifiedAt(entry.stamp)) {
                look.settled = notes_[at].get();
                return true;
            }
            if (heard && isQuiet(entry) && notes_[at]->modified() == modifiedAt(entry.stamp)) {
                look.settled = notes_[at].get();
                look.quiet = true;
                return true;
            }
        }
        changed.append({*id, pathOf(entry.name), changed.size(), entry.stamp});
        changedAt.append(i);
        places.append(at);
        return true;
    };
    // A look that follows changed the last one in place: what it cannot take is looked at afresh.
    const auto refuse = [&] {
        if (following)
            forgetLooks();
        return false;
    };
    if (following) {
        for (const qsizetype i : std::as_const(*following)) {
            if (!lookAt(i, looked_[i]))
                return refuse();
        }
        // The rest is as that look found it.
        const auto regular = [&](const QString& name) -> const Entry* {
            const auto at = std::lower_bound(listing.cbegin(), listing.cend(), name,
                                             [](const Entry& entry, const QString& n) { return entry.name < n; });
            return at != listing.cend() && at->name == name && at->regular ? &*at : nullptr;
        };
        order = regular(orderName);
        board = regular(boardName);
        noteFiles = notes_.size() + unreadableIDs_.size();
    } else {
        for (qsizetype i = 0; i < listing.size(); ++i) {
            looking.append(Looked{});
            if (!lookAt(i, looking.last()))
                return false;
        }
        if (noteFiles != notes_.size() + unreadableIDs_.size() || (!aligned && skipped != skipped_))
            return false;  // a note file went, or one became a link
    }
    if (maxFiles > 0 && changed.size() > maxFiles)
        return refuse();
    // The manual order as a load would read it: the order file unchanged since it was
    // read and already in step with these notes, or no order file at all.
    if (order ? !orderRead_ || orderRead_->stamp != order->stamp || !hasArrangement_ || manualOrder_ != orderRead_->order
              : orderRead_ || hasArrangement_)
        return refuse();
    // The board as a load would reconcile it: unchanged since it was read over these notes.
    if (!board || !boardRead_ || boardRead_->stamp != board->stamp || boardRead_->ids.size() != noteFiles)
        return refuse();
    if (!aligned) {
        for (const QString& id : std::as_const(boardRead_->ids)) {
            if (!held.contains(id) && !unreadableIDs_.contains(id))
                return false;
        }
    }

    conflicts_.clear();
    Loading loading;
    loading.files = changed;
    loading.made.resize(changed.size());
    for (qsizetype i = 0; i < changed.size(); ++i) {
        if (places[i] >= 0)
            loading.held.insert(changed[i].id, notes_[places[i]]);
    }
    loading.listedAt.start();
    bool whole = false;
    QSet<const Note*> moved;
    QHash<const Note*, const Note*> replaced;
    for (qsizetype i = 0; i < changed.size(); ++i) {
        takeIn(loading, i, nullptr);
        const QString& id = changed[i].id;
        const std::shared_ptr<Note>& made = loading.made[i];
        if (places[i] < 0) {
            whole = whole || made || !loading.unreadable.contains(id);
        } else if (!made) {
            whole = true;  // no note now, or gone
        } else {
            replaced.insert(notes_[places[i]].get(), made.get());
            notes_[places[i]] = made;
            moved.insert(made.get());  // its date may have moved, even when it is the same note
            Looked& looked = looks[changedAt[i]];
            if (stamps_.value(id) == changed[i].stamp) {
                looked.settled = made.get();
            } else if (heard && isQuiet(looked.entry)) {
                looked.settled = made.get();
                looked.quiet = true;
            }
        }
    }
    if (whole) {
        // The notes replaced so far are what the files hold; the load takes them as they are.
        beginLoad(listing);
        while (!loadStep({}))
            ;
        return true;
    }
    if (!following)
        looked_ = std::move(looking);
    unsettled_.clear();
    for (const qsizetype i : std::as_const(changedAt)) {
        if (!looked_[i].settled)
            unsettled_.append(i);
    }
    // The next look follows the listings from this one, when it is the folder as listed.
    if (heard)
        relisted_.emplace();
    else
        relisted_.reset();

    board_ = boardRead_->board;
    boardWritable_ = true;
    if (!hasArrangement_) {
        // Without an order file the manual order is the notes by their dates, as listed.
        if (following)
            placeByDate(replaced);
        else
            orderByDate();
    }
    if (sortOrder_.key == NoteSortKey::manual) {
        if (!hasArrangement_)
            orderNotes();
    } else if (!moved.isEmpty()) {
        QList<std::shared_ptr<Note>> placing;
        notes_.removeIf([&](const std::shared_ptr<Note>& note) {
            if (!moved.contains(note.get()))
                return false;
            placing.append(note);
            return true;
        });
        for (const auto& note : std::as_const(placing))
            placeNote(note);
    }
    return true;
}

namespace {

// Newest change first; of equal dates, in the order the folder lists their files.
bool laterFirst(const Note* a, const Note* b)
{
    if (a->modified() != b->modified())
        return a->modified() > b->modified();
    return a->id() + noteSuffix < b->id() + noteSuffix;
}

} // namespace

void NoteStore::orderByDate()
{
    dated_.clear();
    dated_.reserve(notes_.size());
    for (const auto& note : std::as_const(notes_))
        dated_.append(note.get());
    std::sort(dated_.begin(), dated_.end(), laterFirst);
    QStringList manual;
    manual.reserve(dated_.size());
    for (const Note* note : std::as_const(dated_))
        manual.append(note->id());
    manualOrder_ = std::move(manual);
    datedValid_ = true;
}

void NoteStore::placeByDate(const QHash<const Note*, const Note*>& replaced)
{
    // Each replaced note leaves its place, then takes the one its date gives it among the rest.
    QList<const Note*> placing;
    for (auto it = replaced.cbegin(); it != replaced.cend(); ++it) {
        const qsizetype at = dated_.indexOf(it.key());
        if (at < 0) {
            orderByDate();
            return;
        }
        dated_.removeAt(at);
        manualOrder_.removeAt(at);
        placing.append(it.value());
    }
    for (const Note* note : std::as_const(placing)) {
        const qsizetype at = std::lower_bound(dated_.cbegin(), dated_.cend(), note, laterFirst) - dated_.cbegin();
        dated_.insert(at, note);
        manualOrder_.insert(at, note->id());
    }
}

void NoteStore::placeNote(const std::shared_ptr<Note>& note)
{
    const auto at = std::partition_point(notes_.begin(), notes_.end(), [&](const std::shared_ptr<Note>& held) {
        return sortOrder_.precedes(*held, *note, collator_);
    });
    notes_.insert(at, note);
}

void NoteStore::readManualOrder()
{
    datedValid_ = false;
    // The order file as it was read, while its look says it is unchanged.
    const auto before = pemby::fileStamp(orderPath());
    if (orderRead_ && before && orderRead_->stamp == *before) {
        manualOrder_ = orderRead_->order;
        hasArrangement_ = true;
        return;
    }
    orderRead_.reset();
    manualOrder_.clear();
    hasArrangement_ = false;
    if (const auto bytes = pemby::readBytes(orderPath(), maxJsonBytes)) {
        const QJsonDocument document = QJsonDocument::fromJson(*bytes);
        bool strings = document.isArray();
        QStringList ids;
        for (const QJsonValue& item : document.array()) {
            strings = strings && item.isString();
            ids.append(item.toString());
        }
        if (strings) {
            manualOrder_ = std::move(ids);
            hasArrangement_ = true;
            if (const auto settled = pemby::settledStamp(before, orderPath()))
                orderRead_ = OrderRead{*settled, manualOrder_};
        }
    }
}

QStringList NoteStore::knownIDs() const
{
    QStringList ids;
    for (const auto& note : notes_)
        ids.append(note->id());
    QStringList unreadable = unreadableIDs_.values();
    std::sort(unreadable.begin(), unreadable.end());
    return ids + unreadable;
}

void NoteStore::loadBoard()
{
    // A board file unchanged since it was read, over the same notes, reconciles to the
    // board it gave then.
    const QStringList ids = knownIDs();
    const auto before = pemby::fileStamp(boardPath());
    if (boardRead_ && before && boardRead_->stamp == *before && boardRead_->ids == ids) {
        board_ = boardRead_->board;
        boardWritable_ = true;
        return;
    }
    boardRead_.reset();
    std::optional<Board> decoded;
    boardWritable_ = true;
    if (pemby::entryExists(boardPath())) {
        if (const auto bytes = pemby::readBytes(boardPath(), maxJsonBytes))
            decoded = Board::fromJson(*bytes);
        if (!decoded) {
            qCWarning(lcNotes) << "can't read" << boardFileName() << "- leaving it as it is";
            boardWritable_ = false;
        }
    }
    Board board = decoded.value_or(Board::standard());
    board.reconcile(ids);
    const bool changed = !decoded || !(board == *decoded);
    board_ = std::move(board);
    if (changed && boardWritable_) {
        if (const Status saved = saveBoard(); !saved)
            qCWarning(lcNotes) << "can't write" << boardFileName() << saved.errorText();
    } else if (!changed) {
        if (const auto settled = pemby::settledStamp(before, boardPath()))
            boardRead_ = BoardRead{*settled, ids, board_};
    }
}

void NoteStore::reconcileManualOrder()
{
    QSet<QString> known = unreadableIDs_;
    for (const auto& note : notes_)
        known.insert(note->id());
    QStringList kept;
    QSet<QString> keptSet;
    for (const QString& id : std::as_const(manualOrder_)) {
        if (known.contains(id) && !keptSet.contains(id)) {
            kept.append(id);
            keptSet.insert(id);
        }
    }
    QList<std::shared_ptr<Note>> missing;
    for (const auto& note : notes_) {
        if (!keptSet.contains(note->id()))
            missing.append(note);
    }
    std::stable_sort(missing.begin(), missing.end(),
                     [](const auto& a, const auto& b) { return a->modified() > b->modified(); });
    QStringList order;
    for (const auto& note : std::as_const(missing))
        order.append(note->id());
    order.append(kept);
    if (order == manualOrder_)
        return;
    manualOrder_ = std::move(order);
    datedValid_ = false;
    if (const Status saved = saveManualOrder(); !saved)
        qCWarning(lcNotes) << "can't write" << orderFileName() << saved.errorText();
}

void NoteStore::sort()
{
    reconcileManualOrder();
    orderNotes();
}

void NoteStore::orderNotes()
{
    if (sortOrder_.key == NoteSortKey::manual) {
        QHash<QString, qsizetype> position;
        for (qsizetype i = manualOrder_.size() - 1; i >= 0; --i)
            position.insert(manualOrder_[i], i);
        std::stable_sort(notes_.begin(), notes_.end(), [&](const auto& a, const auto& b) {
            return position.value(a->id(), 0) < position.value(b->id(), 0);
        });
        return;
    }
    std::stable_sort(notes_.begin(), notes_.end(),
                     [&](const auto& a, const auto& b) { return sortOrder_.precedes(*a, *b, collator_); });
}

void NoteStore::setSortOrder(NoteSortOrder order)
{
    const NoteSortOrder old = std::exchange(sortOrder_, order);
    if (old == order)
        return;
    if (order.key == NoteSortKey::manual && old.key != NoteSortKey::manual && !hasArrangement_) {
        datedValid_ = false;
        manualOrder_.clear();
        for (const auto& note : std::as_const(notes_))
            manualOrder_.append(note->id());
    }
    sort();
}

std::shared_ptr<Note> NoteStore::create()
{
    const QDateTime created = now();
    auto note = std::make_shared<Note>(pemby::newUuidUpper(), RichText::plain(QString()), created, created);
    putFirst(note);
    return note;
}

void NoteStore::putFirst(const std::shared_ptr<Note>& note)
{
    forgetLooks();
    notes_.prepend(note);
    manualOrder_.prepend(note->id());
    if (const Status saved = saveManualOrder(); !saved)
        qCWarning(lcNotes) << "can't write" << orderFileName() << saved.errorText();
    const Board before = board_;
    board_.takeOff(note->id());
    saveBoardIfChanged(before);
}

Status NoteStore::save(const Note& note)
{
    return saveNote(note, nullptr);
}

Status NoteStore::saveNote(const Note& note, bool* keptBoth)
{
    forgetLooks();
    const auto path = pathForID(note.id());
    if (!path)
        return Error{QStringLiteral("\u201C%1\u201D can't name a note file.").arg(note.id())};
    // Writing the start we hold would cut the rest of the file off.
    if (note.isCutShort())
        return Error{QStringLiteral("\u201C%1\u201D is too long to edit here, so its file was left as it is.")
                         .arg(note.title())};
    const QByteArray data = RichText::encode(note.attributedText(), note.collapsibleSections(),
                                             note.collapsedSections(),
                                             note.created().isValid() ? std::optional(note.created()) : std::nullopt);
    if (data.isEmpty())
        return Error{QStringLiteral("The file couldn't be saved.")};
    if (const Status folder = ensureFolder(); !folder)
        return folder;
    if (!pemby::entryExists(*path))
        return write(note, *path, data);

    // The sibling app and sync clients rewrite note files behind our back: compare
    // with the disk before writing, so that their version is never lost.
    const auto disk = pemby::readBytes(*path, maxNoteBytes);
    if (!disk) {
        // What was typed must land somewhere: beside the file, which stays as it is.
        qCWarning(lcNotes) << "not overwriting" << *path << "which can't be read:" << disk.errorText();
        return keepBoth(note, *path, QByteArray(), keptBoth, disk.errorText());
    }
    if (const auto known = known_.constFind(note.id()); known != known_.cend() && *known == *disk) {
        // Since a save met the file changed elsewhere, the note in the list holds
        // the file's text; any other copy of the note still holds ours.
        const auto conflict = conflicts_.constFind(note.id());
        if (conflict != conflicts_.cend() && conflict->outside == *disk
            && std::none_of(notes_.cbegin(), notes_.cend(), [&](const auto& held) { return held.get() == &note; }))
            return keepBoth(note, *path, *disk, keptBoth);
        if (const auto lossy = unconverted_.constFind(note.id());
            lossy != unconverted_.cend() && RtfWriter::write(note.attributedText(), std::nullopt) == lossy->asRead) {
            QStringList pages;
            for (int page : lossy->codePages)
                pages.append(QString::number(page));
            const QString which = pages.size() == 1 ? QStringLiteral("code page ") : QStringLiteral("code pages ");
            return Error{QStringLiteral("\u201C%1\u201D has text in %2, which this computer can't convert, so it was "
                                        "left as it is.")
                             .arg(note.title(), which + pages.join(QStringLiteral(", ")))};
        }
        return write(note, *path, data);
    }
    if (*disk == data) {
        known_.insert(note.id(), *disk);  // someone else wrote just what we meant to
        conflicts_.remove(note.id());
        return {};
    }
    return keepBoth(note, *path, *disk, keptBoth);
}

std::optional<QString> NoteStore::conflictCopy(const QString& id) const
{
    const auto conflict = conflicts_.constFind(id);
    if (conflict == conflicts_.cend())
        return std::nullopt;
    return conflict->copyID;
}

Status NoteStore::write(const Note& note, const QString& path, const QByteArray& data)
{
    if (const Status written = pemby::writeFileAtomic(path, data); !written) {
        qCWarning(lcNotes) << "can't write" << path << written.errorText();
        return Error{QStringLiteral("\u201C%1\u201D couldn't be written (%2).").arg(note.title(), written.errorText())};
    }
    known_.insert(note.id(), data);
    written_.insert(note.id());
    stamps_.remove(note.id());  // a stamp this fresh could hide the next write
    quiet_.remove(note.id() + noteSuffix);
    conflicts_.remove(note.id());
    unconverted_.remove(note.id());
    return {};
}

Status NoteStore::keepBoth(const Note& note, const QString& path, const QByteArray& outside, bool* keptBoth,
                           const std::optional<QString>& unreadable)
{
    const QString title = note.title();
    const QString what = unreadable ? QStringLiteral("\u201C%1\u201D can't be read (%2)").arg(title, *unreadable)
                                    : QStringLiteral("\u201C%1\u201D was changed elsewhere").arg(title);
    const auto reported = [&] {
        if (keptBoth)
            *keptBoth = true;
        return Error{what + QStringLiteral("; your version is a new note beside it.")};
    };
    const auto notSaved = [&](const Status& why) {
        qCWarning(lcNotes) << "can't write the copy of" << path << why.errorText();
        return Error{what + QStringLiteral(", and your version couldn't be saved beside it: ") + why.errorText()};
    };
    const auto textOf = [&] { return std::unique_ptr<QTextDocument>(note.attributedText().clone()); };

    // Every save until the file changes again meets the same change: one copy, kept up to date.
    if (const auto earlier = conflicts_.constFind(note.id()); earlier != conflicts_.cend() && earlier->outside == outside) {
        const auto copy = std::find_if(notes_.cbegin(), notes_.cend(),
                                       [&](const auto& held) { return held->id() == earlier->copyID; });
        if (copy != notes_.cend()) {
            (*copy)->setAttributedText(textOf());
            (*copy)->setCollapsibleSections(note.collapsibleSections());
            (*copy)->setCollapsedSections(note.collapsedSections());
            if (const Status saved = save(**copy); !saved)
                return notSaved(saved);
            return reported();
        }
    }

    const QDateTime created = now();
    auto copy = std::make_shared<Note>(pemby::newUuidUpper(), textOf(), created, created);
    copy->setCollapsibleSections(note.collapsibleSections());
    copy->setCollapsedSections(note.collapsedSections());
    const QByteArray data =
        RichText::encode(copy->attributedText(), copy->collapsibleSections(), copy->collapsedSections(), created);
    if (const Status written = write(*copy, filePath(*copy), data); !written)
        return notSaved(written);
    qCWarning(lcNotes) << path << (unreadable ? "can't be read" : "changed on disk")
                       << "; kept it and wrote our version as" << copy->id();
    putFirst(copy);

    // The list shows what the folder holds: under the note's own name, their text.
    const QString id = note.id();
    const auto held = std::find_if(notes_.begin(), notes_.end(), [&](const auto& n) { return n.get() == &note; });
    known_.insert(id, outside);
    written_.remove(id);
    conflicts_.insert(id, Conflict{outside, copy->id()});
    if (auto theirs = unreadable ? nullptr : noteFromBytes(QFileInfo(path), id, outside)) {
        if (held != notes_.end()) {
            Note& kept = **held;
            kept.setAttributedText(std::unique_ptr<QTextDocument>(theirs->attributedText().clone()));
            kept.setModified(theirs->modified());
            kept.setCreated(theirs->created());
            kept.setCollapsibleSections(theirs->collapsibleSections());
            kept.setCollapsedSections(theirs->collapsedSections());
            kept.setCutShort(theirs->isCutShort());
        } else if (std::none_of(notes_.cbegin(), notes_.cend(), [&](const auto& n) { return n->id() == id; })) {
            notes_.append(std::move(theirs));
        }
    } else if (held != notes_.end()) {
        // Not a note file we can read (yet): out of the list, keeping its places.
        notes_.erase(held);
        unreadableIDs_.insert(id);
    }
    return reported();
}

NoteStore::TrashedNote NoteStore::trash(const std::shared_ptr<Note>& note)
{
    forgetLooks();
    TrashedNote record;
    record.note = note;
    const QString& id = note->id();
    if (const auto path = pathForID(id); path && pemby::entryExists(*path))
        record.trashedPath = trashFile_ ? trashFile_(*path) : std::nullopt;
    if (const qsizetype index = manualOrder_.indexOf(id); index >= 0)
        record.manualIndex = int(index);
    record.boardLocation = board_.location(id);
    record.wasOffBoard = board_.offBoard().contains(id);
    takeOut(note);
    return record;
}

void NoteStore::discard(const std::shared_ptr<Note>& note)
{
    forgetLooks();
    if (const auto path = pathForID(note->id()); path && pemby::entryExists(*path) && !QFile::remove(*path))
        qCWarning(lcNotes) << "can't delete" << *path;
    known_.remove(note->id());
    written_.remove(note->id());
    stamps_.remove(note->id());
    quiet_.remove(note->id() + noteSuffix);
    conflicts_.remove(note->id());
    unconverted_.remove(note->id());
    takeOut(note);
}

void NoteStore::takeOut(const std::shared_ptr<Note>& note)
{
    forgetLooks();
    const QString id = note->id();
    notes_.removeIf([&](const auto& held) { return held == note; });
    manualOrder_.removeAll(id);
    if (const Status saved = saveManualOrder(); !saved)
        qCWarning(lcNotes) << "can't write" << orderFileName() << saved.errorText();
    const Board before = board_;
    board_.remove(id);
    saveBoardIfChanged(before);
}

Status NoteStore::restore(const QList<TrashedNote>& trashed)
{
    forgetLooks();
    Status keptBothError;
    for (const TrashedNote& record : trashed) {
        const QString& id = record.note->id();
        const auto path = pathForID(id);
        if (!path)
            return Error{QStringLiteral("\u201C%1\u201D can't name a note file.").arg(id)};
        if (record.trashedPath && QFileInfo::exists(*record.trashedPath) && !pemby::entryExists(*path)) {
            if (const Status folder = ensureFolder(); !folder)
                return folder;
            QFile file(*record.trashedPath);
            if (!file.rename(*path))
                return Error{file.errorString()};
            removeTrashInfo(*record.trashedPath);
        } else {
            bool keptBoth = false;
            if (const Status saved = saveNote(*record.note, &keptBoth); !saved) {
                if (!keptBoth)
                    return saved;
                // A file took the note's name meanwhile: it stays, and the note came
                // back as a new note beside it. Both are in the list now.
                keptBothError = saved;
                continue;
            }
        }
        unreadableIDs_.remove(id);
        if (!notes_.contains(record.note))
            notes_.append(record.note);
    }

    for (auto it = trashed.crbegin(); it != trashed.crend(); ++it) {
        const QString& id = it->note->id();
        manualOrder_.removeAll(id);
        const qsizetype at = it->manualIndex ? std::clamp<qsizetype>(*it->manualIndex, 0, manualOrder_.size()) : 0;
        manualOrder_.insert(at, id);
    }
    if (const Status saved = saveManualOrder(); !saved)
        qCWarning(lcNotes) << "can't write" << orderFileName() << saved.errorText();

    const Board before = board_;
    for (auto it = trashed.crbegin(); it != trashed.crend(); ++it) {
        const QString& id = it->note->id();
        if (it->boardLocation)
            board_.move(id, it->boardLocation->columnID, it->boardLocation->index);
        else if (it->wasOffBoard)
            board_.takeOff(id);
    }
    saveBoardIfChanged(before);
    sort();
    return keptBothError;
}

void NoteStore::moveManually(const QStringList& ids, int aboveRow)
{
    if (ids.isEmpty())
        return;
    const QSet<QString> moving(ids.begin(), ids.end());
    const qsizetype row = std::clamp<qsizetype>(aboveRow, 0, notes_.size());
    std::optional<QString> anchor;
    for (qsizetype i = row; i < notes_.size() && !anchor; ++i) {
        if (!moving.contains(notes_[i]->id()))
            anchor = notes_[i]->id();
    }
    QStringList rest;
    for (const QString& id : std::as_const(manualOrder_)) {
        if (!moving.contains(id))
            rest.append(id);
    }
    qsizetype at = anchor ? rest.indexOf(*anchor) : -1;
    if (at < 0)
        at = rest.size();
    QSet<QString> present;
    for (const auto& note : std::as_const(notes_))
        present.insert(note->id());
    QStringList inserted;
    for (const QString& id : ids) {
        if (present.contains(id) && !inserted.contains(id))
            inserted.append(id);
    }
    manualOrder_ = rest.mid(0, at) + inserted + rest.mid(at);
    hasArrangement_ = true;
    datedValid_ = false;
    if (const Status saved = saveManualOrder(); !saved)
        qCWarning(lcNotes) << "can't write" << orderFileName() << saved.errorText();
    sort();
}

void NoteStore::setManualOrder(QStringList ids)
{
    manualOrder_ = std::move(ids);
    hasArrangement_ = true;
    datedValid_ = false;
    if (const Status saved = saveManualOrder(); !saved)
        qCWarning(lcNotes) << "can't write" << orderFileName() << saved.errorText();
    sort();
}

void NoteStore::modifyBoard(const std::function<void(Board&)>& change)
{
    const Board before = board_;
    change(board_);
    saveBoardIfChanged(before);
}

void NoteStore::saveBoardIfChanged(const Board& before)
{
    if (board_ == before)
        return;
    if (const Status saved = saveBoard(); !saved)
        qCWarning(lcNotes) << "can't write" << boardFileName() << saved.errorText();
}

Status NoteStore::saveManualOrder()
{
    if (!hasArrangement_)
        return {};
    if (const Status folder = ensureFolder(); !folder)
        return folder;
    return pemby::writeFileAtomic(orderPath(), QJsonDocument(QJsonArray::fromStringList(manualOrder_)).toJson(QJsonDocument::Compact));
}

Status NoteStore::saveBoard()
{
    if (!boardWritable_)
        return Error{QStringLiteral("%1 couldn't be read, so it is left as it is.").arg(boardFileName())};
    if (const Status folder = ensureFolder(); !folder)
        return folder;
    return pemby::writeFileAtomic(boardPath(), board_.toJson());
}
