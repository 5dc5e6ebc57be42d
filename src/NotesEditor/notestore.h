#pragma once
// The notes folder the planner shares with the sibling notes app:
//   <id>.rtf            one note file per note (RichText's note file format)
//   order.json          the manual order, a JSON array of note ids
//   board.json          the board (see Board)
//   Original Markdown/  old plain-text notes, kept after their conversion
//   *.md                old plain-text notes, converted at the next load
// Only names ending in exactly ".rtf" or ".md" count; everything else is left alone.
//
// The store loads every note file into the list, keeps the list sorted, writes a
// note file on request, creates, trashes and restores notes, and keeps the manual
// order and the board in step with the notes. The sibling app owns these files as
// much as we do, so what cannot be read is never overwritten on a guess, and a note
// file changed elsewhere since we read it is never overwritten at all: our version
// becomes a new note beside it.

#include "board.h"
#include "changewatch.h"
#include "note.h"
#include "notesortorder.h"
#include "result.h"
#include "textfile.h"

#include <QCollator>
#include <QByteArray>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class NoteStore {
public:
    using Clock = std::function<QDateTime()>;
    // Moves the file at the path somewhere it can be brought back from, and returns
    // where it went; nullopt when it could not.
    using TrashFile = std::function<std::optional<QString>(const QString& path)>;

    // What undoing a trash needs.
    struct TrashedNote {
        std::shared_ptr<Note> note;          // the note itself, its text in memory
        std::optional<QString> trashedPath;  // where its file went; none when it had none or the move failed
        std::optional<int> manualIndex;      // its first place in the manual order
        std::optional<Board::Location> boardLocation;
        bool wasOffBoard = false;
    };

    // Creates the folder (failure ignored) and reads nothing. `clock` gives the
    // current time (the system clock when empty).
    explicit NoteStore(QString directory, Clock clock = {});

    ~NoteStore();
    NoteStore(const NoteStore&) = delete;
    NoteStore& operator=(const NoteStore&) = delete;

    // "Notes" in the user's application data folder.
    static QString defaultDirectory();
    static QString legacyFolderName();
    static QString boardFileName();
    static QString orderFileName();

    const QString& directory() const { return directory_; }
    QString orderPath() const;
    QString boardPath() const;
    // The id followed by ".rtf", in the folder.
    QString filePath(const Note& note) const;

    const QList<std::shared_ptr<Note>>& notes() const { return notes_; }
    const Board& board() const { return board_; }
    const QStringList& manualOrder() const { return manualOrder_; }

    const NoteSortOrder& sortOrder() const { return sortOrder_; }
    // Sorts again when the order changed. Switching to the manual order without one
    // on disk keeps the list as it was shown.
    void setSortOrder(NoteSortOrder order);
    // How titles compare under the title order; the system locale's by default.
    void setCollator(QCollator collator) { collator_ = std::move(collator); }
    // The desktop's trash (QFile::moveToTrash) by default.
    void setTrashFile(TrashFile trashFile) { trashFile_ = std::move(trashFile); }

    // What one look at a folder found: every entry, as the file system tells of it
    // without following a link, in the order of their names.
    struct Entry {
        QString name;
        pemby::FileStamp stamp;
        bool regular = false;  // a regular file, not a link to one
    };
    using Listing = QList<Entry>;
    static Listing list(const QString& directory);
    // The folder's listing as it stands now, what list() gives, at the cost of the entries
    // the kernel says changed since the last one, where it can say so.
    Listing currentListing();
    // folderStamps() of the last currentListing(), kept up to date at the same cost.
    const QHash<QString, pemby::FileStamp>& listedStamps() const { return listedStamps_; }
    // How many times an entry of listedStamps() moved (came, went or changed its stamp)
    // so far, and the names that moved since a count of it, in order: a caller keeping
    // its own stamps follows the listings at the cost of what moved. Nullopt when the
    // count is too long ago to tell.
    qsizetype stampMoves() const { return movesDropped_ + moves_.size(); }
    std::optional<QStringList> stampsMovedSince(qsizetype moves) const;
    // The stamps of the entries named like note files and JSON files, links among them,
    // by name: what a look for outside changes compares.
    static QHash<QString, pemby::FileStamp> folderStamps(const Listing& listing);

    // A note file of more paragraphs than a document can afford is listed by this many
    // of its first paragraphs (see Note::isCutShort).
    static constexpr qsizetype startParagraphs = 500;

    // What one step of a load may spend: note files read (0: any number) and time
    // (0: any). A step reads at least one file.
    struct LoadBudget {
        int files = 0;
        std::chrono::nanoseconds time{0};
    };

    // Converts old Markdown notes, then reads every note file, the manual order and
    // the board. Files that cannot be read are left out of the list, silently. A file
    // whose size and times are those of its last read, a few seconds old then, is the
    // note already held and is not read again.
    void load();
    // The same load in bounded steps, for a caller that must stay responsive: beginLoad()
    // converts old Markdown notes and lists the folder; each loadStep() reads note files,
    // newest first, until its budget is spent, and returns true once the whole folder is
    // read and the manual order and the board follow. Meanwhile notes() holds the notes
    // read so far and the earlier notes not reached yet, in the list's order. Nothing but
    // the steps may change the store while a load is under way.
    // `keep`, a note whose text is being saved, stays as it is, and so does what the
    // store knows of its file, so that the save meets any change made elsewhere.
    // A listing just taken of the folder spares beginLoad() its own.
    void beginLoad(std::optional<Listing> listing = std::nullopt);
    bool loadStep(const LoadBudget& budget, const Note* keep = nullptr);
    bool isLoading() const { return loading_ != nullptr; }
    // What a load from a listing just taken gives, at the cost of the note files that
    // changed, when that is all that changed: the same note files, no old Markdown notes,
    // the order and board files as last read. Their notes are replaced in place and put
    // where the sort order takes them; the manual order and the board stay. A changed
    // file that turns out to be no note (or a note again) loads the folder as load() does.
    // False, having changed nothing, when a load is needed, or would read more than
    // `maxFiles` files (0: any number), or is under way.
    bool reloadChanged(const Listing& listing, int maxFiles = 0);
    // How many times a note file's bytes were read: what loads cost.
    int filesRead() const { return filesRead_; }
    // Entries named like the store's files that the last load left alone because they
    // are not regular files (links, dangling or not, and the like), by name.
    const QStringList& skippedEntries() const { return skipped_; }
    // Brings the manual order in step with the notes and sorts the list.
    void sort();
    // A new empty note at the top of the list, whatever the order; its file is
    // first written by its first save.
    std::shared_ptr<Note> create();
    // Writes the note's file atomically. The note's `modified` is left alone.
    // When the file changed on disk since this store read or wrote it, it is kept:
    // this text goes to a new note beside it (see conflictCopy), the note in the list
    // takes the file's text, and the error says so. A file that cannot be read at all
    // is kept the same way: this text goes beside it and the note leaves the list until
    // its file can be read. A note whose text was read in a code page this computer
    // cannot convert is not written back unedited.
    Status save(const Note& note);
    // The note that holds this store's version of the note `id` since a save met
    // that note's file changed elsewhere.
    std::optional<QString> conflictCopy(const QString& id) const;
    // Moves the note's file to the trash and takes the note out of the list, the
    // manual order and the board.
    TrashedNote trash(const std::shared_ptr<Note>& note);
    // Deletes the note's file for good and takes the note out as trash() does.
    void discard(const std::shared_ptr<Note>& note);
    // Brings trashed notes back: each file from the trash when it is still there and
    // its name is free, else from memory; then their manual and board places. Stops
    // at the first note that cannot be brought back.
    Status restore(const QList<TrashedNote>& trashed);
    // Puts the notes (ids in the list, each once) above the note now at `aboveRow`.
    void moveManually(const QStringList& ids, int aboveRow);
    void setManualOrder(QStringList ids);
    // Applies the change and writes the board when it changed.
    void modifyBoard(const std::function<void(Board&)>& change);
    Status saveBoard();

private:
    QString pathOf(const QString& name) const;
    // Notes the stamp of `name` moved; drops the oldest such notes past a bound.
    void noteMove(const QString& name);
    // Empties what the last reload of changed files kept of its look at the folder.
    void forgetLooks();
    std::optional<QString> pathForID(const QString& id) const;
    QDateTime now() const;
    struct Loading;
    // One note file of a load; true when its bytes were read.
    bool takeIn(Loading& loading, qsizetype index, const Note* keep);
    // The notes read so far, and the earlier ones not reached yet, in order.
    void showProgress(const Loading& loading);
    void finishLoad();
    // Without an order file: the manual order by the notes' dates, made anew, or kept in
    // step with these notes put in place of those (whose dates may have moved).
    void orderByDate();
    void placeByDate(const QHash<const Note*, const Note*>& replaced);
    // Puts the note where the sort order takes it in a list sorted by that order.
    void placeNote(const std::shared_ptr<Note>& note);
    // Orders the list by the sort order, leaving the manual order as it is.
    void orderNotes();
    // Converts the old Markdown notes among the folder's entries; true when it met any.
    bool migrateMarkdownNotes(const QFileInfoList& entries);
    // The note of a file's bytes, with the file's dates; nullptr when they are not a note file.
    std::shared_ptr<Note> noteFromBytes(const QFileInfo& file, const QString& id, const QByteArray& bytes);
    // `keptBoth` (when given) tells a kept file and a new note beside it from a failure.
    Status saveNote(const Note& note, bool* keptBoth);
    Status write(const Note& note, const QString& path, const QByteArray& data);
    // `unreadable` is why the file could not be read, when it could not: `outside` is
    // then empty and the note leaves the list as a file that can't be read.
    Status keepBoth(const Note& note, const QString& path, const QByteArray& outside, bool* keptBoth,
                    const std::optional<QString>& unreadable = std::nullopt);
    void loadBoard();
    void readManualOrder();
    // Ids of every note file on disk: the loaded notes and those that could not be read.
    QStringList knownIDs() const;
    void reconcileManualOrder();
    // A new note at the top of the list and the manual order, off the board.
    void putFirst(const std::shared_ptr<Note>& note);
    // Out of the list (by identity), the manual order and the board.
    void takeOut(const std::shared_ptr<Note>& note);
    Status saveManualOrder();
    void saveBoardIfChanged(const Board& before);
    Status ensureFolder() const;

    QString directory_;
    Clock clock_;
    // Started before anything is read, so that every change after a read is told.
    ChangeWatch watch_;
    // The folder as the last currentListing() found it; none before the first.
    std::optional<Listing> listing_;
    QHash<QString, pemby::FileStamp> listedStamps_;
    // The listing's regular files that have other names elsewhere, by name.
    QSet<QString> linked_;
    // The names whose listed stamps moved, oldest first, and how many older ones were dropped.
    QStringList moves_;
    qsizetype movesDropped_ = 0;
    // The entries the listings refreshed since the last reload of changed files looked at
    // the folder; none when a listing looked at every entry.
    std::optional<QSet<QString>> relisted_;
    // Whether the kernel told what changed before the last currentListing().
    bool heard_ = false;
    // Each note file's stamp when it was last read, by file name, while the kernel has told
    // of no change to it since: a stamp too fresh to trust on its own is trusted then, in
    // a reload from the current listing.
    QHash<QString, pemby::FileStamp> quiet_;
    QList<std::shared_ptr<Note>> notes_;
    Board board_;
    NoteSortOrder sortOrder_;
    QStringList manualOrder_;
    // Only a manual order that exists on disk or was given is ever written.
    bool hasArrangement_ = false;
    // Note files present at the last load that could not be read or decoded: they
    // keep their places in the manual order and on the board.
    QSet<QString> unreadableIDs_;
    QStringList skipped_;
    // Each note file's bytes as this store last read or wrote them: a file that
    // differs on disk was changed by someone else.
    QHash<QString, QByteArray> known_;
    // Each note file's stamp when it was last read, once that read can be trusted: a
    // file with the same stamp holds the same bytes and is not read again.
    QHash<QString, pemby::FileStamp> stamps_;
    // The order and board files as last read, with their stamps once those can be
    // trusted: an unchanged file is not read again.
    struct OrderRead {
        pemby::FileStamp stamp;
        QStringList order;
    };
    std::optional<OrderRead> orderRead_;
    struct BoardRead {
        pemby::FileStamp stamp;
        QStringList ids;  // the notes it was reconciled with
        Board board;
    };
    std::optional<BoardRead> boardRead_;
    // Notes whose files hold what this store last wrote to them.
    QSet<QString> written_;
    // The folder as the last reload of changed files went through it, each note file's
    // entry with the note taken for it on a trusted look (none: to be looked at again).
    // Whatever changes the notes or what is known of their files empties it.
    struct Looked {
        Entry entry;
        const Note* settled = nullptr;
        bool quiet = false;  // trusted only while the kernel tells of no change to it
    };
    QList<Looked> looked_;
    // Where in it the note files are that no trusted look settled: each reload reads them.
    QList<qsizetype> unsettled_;
    // Without an order file: the notes in the manual order, newest first, as that look
    // left them, kept in step with the notes it replaces. Emptied with it, and whenever
    // the manual order changes otherwise.
    QList<const Note*> dated_;
    bool datedValid_ = false;
    std::unique_ptr<Loading> loading_;
    int filesRead_ = 0;
    // A note whose file was changed elsewhere while we held it: the bytes found, and
    // the note that took our version. Saves until the file changes again update that
    // note, so one outside change makes one copy.
    struct Conflict {
        QByteArray outside;
        QString copyID;
    };
    QHash<QString, Conflict> conflicts_;
    // Notes read with text in a code page that could not be converted, with that
    // text as written back unedited would be.
    struct Unconverted {
        QList<int> codePages;
        QByteArray asRead;
    };
    QHash<QString, Unconverted> unconverted_;
    // False while "board.json" exists but could not be read: it may be a newer
    // format of the sibling app, and the standard board stands in for it in memory
    // without replacing it.
    bool boardWritable_ = true;
    QCollator collator_;
    TrashFile trashFile_;
};
