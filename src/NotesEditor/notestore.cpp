#include "notestore.h"

#include "logcategories.h"
#include "richtext.h"
#include "textfile.h"
#include "textutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

#include <algorithm>

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

// Regular files, hidden ones included. FIFOs and sockets are left out: reading
// one would block.
QFileInfoList folderEntries(const QString& directory)
{
    return QDir(directory).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
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
    : directory_(std::move(directory)), clock_(std::move(clock)), board_(Board::standard()),
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
    if (!QDir().mkpath(directory_))
        return Error{QStringLiteral("The folder %1 couldn't be created.").arg(directory_)};
    return {};
}

void NoteStore::migrateMarkdownNotes()
{
    QFileInfoList markdown;
    for (const QFileInfo& entry : folderEntries(directory_)) {
        if (stemOf(entry.fileName(), markdownSuffix))
            markdown.append(entry);
    }
    if (markdown.isEmpty())
        return;
    const QString legacy = pathOf(legacyFolderName());
    QDir().mkpath(legacy);
    const auto putAway = [&](const QFileInfo& entry) {
        // rename() never replaces a file: a name taken there keeps the note here,
        // and a later load tries again.
        if (!QFile::rename(entry.filePath(), legacy + u'/' + entry.fileName()))
            qCWarning(lcNotes) << "can't move" << entry.fileName() << "into" << legacyFolderName();
    };
    for (const QFileInfo& entry : std::as_const(markdown)) {
        const QString target = pathOf(*stemOf(entry.fileName(), markdownSuffix) + noteSuffix);
        if (QFileInfo::exists(target)) {
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
}

std::shared_ptr<Note> NoteStore::loadNote(const QString& path, const QString& id)
{
    const auto bytes = pemby::readBytes(path, maxNoteBytes);
    if (!bytes) {
        qCWarning(lcNotes) << "can't read" << path << bytes.errorText();
        return nullptr;
    }
    auto decoded = RichText::decode(*bytes);
    if (!decoded) {
        qCWarning(lcNotes) << "not a note file:" << path;
        return nullptr;
    }
    const QFileInfo info(path);
    QDateTime modified = info.lastModified();
    if (!modified.isValid())
        modified = now();
    QDateTime created;
    if (decoded->created) {
        created = *decoded->created;
    } else {
        // A copied file can be born after its last change; the note cannot.
        created = info.birthTime();
        if (!created.isValid() || created > modified)
            created = modified;
    }
    auto note = std::make_shared<Note>(id, std::move(decoded->text), modified, created);
    note->setCollapsibleSections(decoded->collapsible);
    note->setCollapsedSections(decoded->collapsed);
    return note;
}

void NoteStore::load()
{
    migrateMarkdownNotes();

    QList<std::shared_ptr<Note>> notes;
    QSet<QString> unreadable;
    for (const QFileInfo& entry : folderEntries(directory_)) {
        const auto id = stemOf(entry.fileName(), noteSuffix);
        if (!id)
            continue;
        if (auto note = loadNote(entry.filePath(), *id))
            notes.append(std::move(note));
        else
            unreadable.insert(*id);
    }
    notes_ = std::move(notes);
    unreadableIDs_ = std::move(unreadable);

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
        }
    }

    sort();
    loadBoard();
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
    std::optional<Board> decoded;
    boardWritable_ = true;
    if (QFileInfo::exists(boardPath())) {
        if (const auto bytes = pemby::readBytes(boardPath(), maxJsonBytes))
            decoded = Board::fromJson(*bytes);
        if (!decoded) {
            qCWarning(lcNotes) << "can't read" << boardFileName() << "- leaving it as it is";
            boardWritable_ = false;
        }
    }
    Board board = decoded.value_or(Board::standard());
    board.reconcile(knownIDs());
    const bool changed = !decoded || !(board == *decoded);
    board_ = std::move(board);
    if (changed && boardWritable_) {
        if (const Status saved = saveBoard(); !saved)
            qCWarning(lcNotes) << "can't write" << boardFileName() << saved.errorText();
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
    if (const Status saved = saveManualOrder(); !saved)
        qCWarning(lcNotes) << "can't write" << orderFileName() << saved.errorText();
}

void NoteStore::sort()
{
    reconcileManualOrder();
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
    notes_.prepend(note);
    manualOrder_.prepend(note->id());
    if (const Status saved = saveManualOrder(); !saved)
        qCWarning(lcNotes) << "can't write" << orderFileName() << saved.errorText();
    const Board before = board_;
    board_.takeOff(note->id());
    saveBoardIfChanged(before);
    return note;
}

Status NoteStore::save(const Note& note)
{
    const auto path = pathForID(note.id());
    if (!path)
        return Error{QStringLiteral("\u201C%1\u201D can't name a note file.").arg(note.id())};
    const QByteArray data = RichText::encode(note.attributedText(), note.collapsibleSections(),
                                             note.collapsedSections(),
                                             note.created().isValid() ? std::optional(note.created()) : std::nullopt);
    if (data.isEmpty())
        return Error{QStringLiteral("The file couldn't be saved.")};
    if (const Status folder = ensureFolder(); !folder)
        return folder;
    return pemby::writeFileAtomic(*path, data);
}

NoteStore::TrashedNote NoteStore::trash(const std::shared_ptr<Note>& note)
{
    TrashedNote record;
    record.note = note;
    const QString& id = note->id();
    if (const auto path = pathForID(id); path && QFileInfo::exists(*path))
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
    if (const auto path = pathForID(note->id()); path && QFileInfo::exists(*path) && !QFile::remove(*path))
        qCWarning(lcNotes) << "can't delete" << *path;
    takeOut(note);
}

void NoteStore::takeOut(const std::shared_ptr<Note>& note)
{
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
    for (const TrashedNote& record : trashed) {
        const QString& id = record.note->id();
        const auto path = pathForID(id);
        if (!path)
            return Error{QStringLiteral("\u201C%1\u201D can't name a note file.").arg(id)};
        if (record.trashedPath && QFileInfo::exists(*record.trashedPath) && !QFileInfo::exists(*path)) {
            if (const Status folder = ensureFolder(); !folder)
                return folder;
            QFile file(*record.trashedPath);
            if (!file.rename(*path))
                return Error{file.errorString()};
            removeTrashInfo(*record.trashedPath);
        } else if (const Status saved = save(*record.note); !saved) {
            return saved;
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
    return {};
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
    if (const Status saved = saveManualOrder(); !saved)
        qCWarning(lcNotes) << "can't write" << orderFileName() << saved.errorText();
    sort();
}

void NoteStore::setManualOrder(QStringList ids)
{
    manualOrder_ = std::move(ids);
    hasArrangement_ = true;
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
