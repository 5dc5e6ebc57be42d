#pragma once
// The notes screen: the notes of the sibling notes app's folder in a list on the left,
// the selected note in the editor on the right. Everything that lasts (the notes, the
// selection, the search, the rename, the requests for the keys) lives in the notes
// model; these views keep only the keyboard focus, the hover and which note the editor
// shows.
//
// API
//   auto* screen = new NotesView(model, parent);       the whole screen
//   screen->list()->handle(press)                      the list's key table
//   screen->pane()->saveNow()                          stores what the editor holds
//
// The editor pane saves 0.6 s after the last edit, and whenever the notes model asks
// (before the selection changes, a reload, a rename or a delete, and at quit); it saves
// only into a note the model still lists, so a trashed note never comes back.

#include "keymap.h"
#include "noteeditorbridge.h"

#include <QPointer>
#include <QWidget>

#include <chrono>
#include <memory>

class AppModel;
class Note;
class NoteListView;
class NotesModel;
class QLabel;
class QLineEdit;
class QAbstractButton;

class NotesList : public QWidget {
    Q_OBJECT
public:
    static constexpr int columnWidth = 280;
    static constexpr int searchRowHeight = 40;

    explicit NotesList(NotesModel& notes, QWidget* parent = nullptr);

    // The key table of the list; `run` false only tells whether it would take the press.
    KeyPress::Result handle(const KeyPress& press, bool run = true);

    NoteListView* listView() const { return list_; }
    QLineEdit* searchField() const { return search_; }
    QAbstractButton* newNoteButton() const { return newNote_; }

    static QString newNoteToolTip();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    NotesModel& notes_;
    QLineEdit* search_;
    QAbstractButton* newNote_;
    NoteListView* list_;
};

class NotesEditorPane : public QWidget {
    Q_OBJECT
public:
    explicit NotesEditorPane(NotesModel& notes, QWidget* parent = nullptr,
                             std::chrono::milliseconds delay = NoteEditorHost::paneDelay);
    ~NotesEditorPane() override;

    // Shows the note (none: an empty editor that takes no typing). Unless forced, a
    // note already shown is not loaded again.
    void showNote(const std::shared_ptr<Note>& note, bool force);
    // Stores what the editor holds into the shown note when it changed; a change of
    // folding alone is saved without moving the note's modification date.
    void saveNow() { save(); }

    const std::shared_ptr<Note>& shown() const { return shown_; }
    NoteEditor& editor() const { return bridge_.editor(); }
    QWidget* emptyState() const { return empty_; }
    // Says that the note shown is only the start of one too long to open here.
    QLabel* cutShortNotice() const { return cutShort_; }
    static QString cutShortText();
    QWidget* formatButton() const { return format_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void save();
    void refreshChrome();
    void placeChrome();
    void letGo();

    NotesModel& notes_;
    // The notes model can go first when another folder is chosen.
    QPointer<NotesModel> alive_;
    NoteEditorBridge bridge_;
    NoteEditorHost* host_;
    QWidget* empty_;
    QWidget* format_;
    QLabel* cutShort_;
    std::shared_ptr<Note> shown_;
    // The version of the shown note's text that the editor holds.
    int shownVersion_ = -1;
    bool flushes_ = false;
};

class NotesView : public QWidget {
    Q_OBJECT
public:
    explicit NotesView(AppModel& model, QWidget* parent = nullptr,
                       std::chrono::milliseconds delay = NoteEditorHost::paneDelay);

    NotesList* list() const { return list_; }
    NotesEditorPane* pane() const { return pane_; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    NotesModel& notes_;
    NotesList* list_;
    NotesEditorPane* pane_;
};
