#pragma once
// The model behind the notes screen: the notes of the sibling notes app's folder,
// the selection, the inline rename, the search, the last save error and the undo
// of deletions. It re-reads the folder only when its files changed, and records
// the folder's state after each of its own writes so they never cause a re-read.
//
// Every observed property signals only when its value changes. `notes`,
// `selectedID`, `renaming` and `saveError` have no Q_PROPERTY because their types
// are not meta-types; they follow the same pattern.

#include "note.h"
#include "notestore.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class NotesModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(int revision READ revision NOTIFY revisionChanged)
    Q_PROPERTY(int diskRevision READ diskRevision NOTIFY diskRevisionChanged)
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(int searchRequest READ searchRequest NOTIFY searchRequestChanged)
    Q_PROPERTY(int editRequest READ editRequest NOTIFY editRequestChanged)
public:
    using Clock = NoteStore::Clock;

    static constexpr int maxUndoGroups = 50;

    // Over the notes folder at `folder`; reads nothing until the first reload().
    // `clock` gives the current time (the system clock when empty).
    explicit NotesModel(const QString& folder, Clock clock = {}, QObject* parent = nullptr);
    ~NotesModel() override;

    // The sibling notes app's folder: PEMBY_NOTES_APP_DIR when set, else the store's default.
    static QString pembyNotesFolder();

    // The moment by the model's clock, which dates the edits; the list's relative days
    // are counted from it.
    QDateTime now() const;

    NoteStore& store() { return store_; }
    const NoteStore& store() const { return store_; }

    const QList<std::shared_ptr<Note>>& notes() const { return notes_; }
    // Raised whenever the list or a note changed.
    int revision() const { return revision_; }
    // Raised whenever notes changed other than through the editor (re-read, renamed,
    // brought back): the editor shows the note afresh.
    int diskRevision() const { return diskRevision_; }
    const std::optional<QString>& selectedID() const { return selectedID_; }
    // The note whose title is being edited in the list.
    const std::optional<QString>& renaming() const { return renaming_; }
    void setRenaming(std::optional<QString> id);
    const QString& query() const { return query_; }
    void setQuery(const QString& query);
    // Asks the list to put the keyboard into its search field.
    int searchRequest() const { return searchRequest_; }
    void requestSearch();
    // Asks the editor pane to take the keyboard.
    int editRequest() const { return editRequest_; }
    void requestEdit();
    // The last save or restore failure; cleared by the next success.
    const std::optional<QString>& saveError() const { return saveError_; }
    // What the last read of the folder left alone because it is not a regular file.
    const QStringList& skippedFiles() const { return store_.skippedEntries(); }

    // Set by the editor pane: stores its pending changes into the shown note. Run
    // before the selection changes and before a reload, rename or delete.
    void setFlushEditor(std::function<void()> flush) { flushEditor_ = std::move(flush); }
    const std::function<void()>& flushEditor() const { return flushEditor_; }
    // Set by the application model to show its toast.
    void setToast(std::function<void(const QString&)> toast) { toast_ = std::move(toast); }

    // The notes matching the query (trimmed, folded), in list order.
    QList<std::shared_ptr<Note>> visible() const;
    std::shared_ptr<Note> selected() const;

    // Re-reads the folder unless it was read before and none of its files changed; a
    // read in steps under way is finished instead.
    void reload();
    // The same read in bounded steps on the event loop, so that a large folder never
    // holds the window: the first screenful is there on return, the rest follows, the
    // newest notes first, each step changing `notes`. Until the last step the notes not
    // reached yet stay as they were, and an edit, a delete or an undo finishes the read
    // first, never letting it overwrite what is being typed.
    void reloadInSteps();
    bool isLoading() const { return store_.isLoading(); }
    // Ends a read in steps at once; the editor's pending text is stored first.
    void finishLoading();
    // What each step of a read in steps may spend.
    void setStepBudget(NoteStore::LoadBudget budget) { stepBudget_ = budget; }
    static constexpr NoteStore::LoadBudget firstStepBudget{40, {}};
    static constexpr NoteStore::LoadBudget stepBudget{0, std::chrono::milliseconds(8)};
    void select(const std::optional<QString>& id);
    // A new empty note at the top, selected, with the editor asked to take the keys.
    void create();
    // After the editor stored its content into `note`; `isEdit` when the text changed.
    // A note no longer in the list (trashed meanwhile) is not written: its file would
    // come back from the trash.
    void edited(const std::shared_ptr<Note>& note, bool isEdit);
    // Puts the trimmed title in place of the note's first line. A blank title or
    // the present one changes nothing.
    void rename(const QString& id, const QString& title);
    // To the trash, undoably; the selection moves to the note now in its place.
    void deleteNote(const QString& id);
    // Brings back the most recently deleted group; what the editor holds is stored
    // first, since the selection moves to what comes back.
    void undo();
    // Moves the selection within the visible notes, clamped at both ends.
    void moveSelection(int offset);

signals:
    void notesChanged();
    void revisionChanged();
    void diskRevisionChanged();
    void selectedIDChanged();
    void renamingChanged();
    void queryChanged();
    void searchRequestChanged();
    void editRequestChanged();
    void saveErrorChanged();

private:
    using Signature = QHash<QString, pemby::FileStamp>;

    // Whether the store's stamps of the folder's note and JSON files, as last listed, are
    // the signature's: nothing changed there but what this model wrote.
    bool signatureHolds();
    // The signature becomes the store's stamps, at the cost of the stamps that moved.
    // `notesMoved` (when given): the stamps of note files stay as they were, and it is
    // told whether any of them moved.
    void takeSignature(bool* notesMoved = nullptr);
    // Brings the signature up to date for these files only, which the model itself wrote.
    void takeOwnWrites(const QStringList& paths);
    // After a read: ends what refers to a note gone, and tells the views.
    void followRead();
    // A reload that reads only the changed note files, when the store can tell that is
    // all (see NoteStore::reloadChanged); false when the folder must be read.
    bool reloadChanged(NoteStore::Listing& listing, int maxFiles);
    // Stores the editor's pending changes, listing the folder again when they wrote.
    void flushBeforeReading(NoteStore::Listing& listing);
    // `flushed` when flushBeforeReading() ran for this listing.
    void beginLoading(NoteStore::Listing listing, bool flushed);
    void loadStep(NoteStore::LoadBudget budget, bool flushFirst);
    // Runs the read to its end; `keep` is a note whose text is being saved, which the
    // read must not replace, so that the save meets any change made elsewhere.
    void completeLoading(const Note* keep);
    void loaded();
    void save(const Note& note);
    void setNotes(QList<std::shared_ptr<Note>> notes);
    void setSelectedID(std::optional<QString> id);
    void setSaveError(std::optional<QString> error);
    void bumpRevision();
    void bumpDiskRevision();
    void bumpEditRequest();
    void flush();
    std::shared_ptr<Note> find(const QString& id) const;

    NoteStore store_;
    Clock clock_;
    QList<std::shared_ptr<Note>> notes_;
    int revision_ = 0;
    int diskRevision_ = 0;
    std::optional<QString> selectedID_;
    std::optional<QString> renaming_;
    QString query_;
    int searchRequest_ = 0;
    int editRequest_ = 0;
    std::optional<QString> saveError_;
    // The note that took this model's version of a note whose file changed elsewhere.
    std::optional<QString> keptBesideID_;
    std::function<void()> flushEditor_;
    QList<QList<NoteStore::TrashedNote>> undoStack_;  // newest last
    // The stamps as of the last read, and of this model's own writes since. Its own, never
    // shared with the store's: those change at every listing that finds a change.
    Signature signature_;
    // The store's stampMoves() the signature follows up to, and the names it may differ
    // on all the same: those of note files that moved while a read went on in steps.
    qsizetype signatureMoves_ = 0;
    QSet<QString> unfollowed_;
    // The read under way went on past its first step.
    bool stepped_ = false;
    std::optional<NoteStore::LoadBudget> stepBudget_;
    bool loaded_ = false;
    std::function<void(const QString&)> toast_;
};
