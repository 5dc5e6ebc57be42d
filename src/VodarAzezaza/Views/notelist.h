#pragma once
// The list of notes on the notes screen: one list view over the notes model, its rows
// painted by a delegate (title, relative day, preview), so a folder of a thousand
// notes costs a thousand small paints of what is on screen and no widget per note.
//
// API
//   auto* list = new NoteListView(notes, parent);
//   list->setKeyHandler([&](const KeyPress& p, bool run) { ... });   the column's key table
//   list->rowRect(noteID)            where a note's row is, in viewport coordinates
//   list->titleRect(noteID)          where its title is (a click there renames)
//
// Rows follow the model: the list is brought up to date when the notes or the search
// change, keeping the scroll position and an open rename field when the same notes are
// only reordered. The selection and the rename live in the notes model; the view keeps
// only which row the pointer is over. A rename is a field over the row's title, made
// by the delegate while the model's `renaming` names that row.

#include "editfield.h"
#include "keymap.h"

#include <QAbstractItemDelegate>
#include <QAbstractListModel>
#include <QListView>
#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>

#include <functional>
#include <memory>

class QMenu;
class Note;
class NotesModel;

class NoteListModel : public QAbstractListModel {
    Q_OBJECT
public:
    // The visible notes, then a line that says there are none (only then), then the
    // strip below the last row where a double click makes a new note.
    enum class Kind { Note, Empty, Strip };

    explicit NoteListModel(NotesModel& notes, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    NotesModel& notes() const { return notes_; }
    Kind kind(int row) const;
    std::shared_ptr<Note> note(int row) const;
    QModelIndex indexOf(const QString& id) const;
    const QList<std::shared_ptr<Note>>& shown() const { return shown_; }

    // Takes the model's visible notes, a row for each note id: rows come, go and move
    // one by one. True when the rows were made anew (there were none, or none are left).
    bool sync();

private:
    NotesModel& notes_;
    QList<std::shared_ptr<Note>> shown_;
};

class NoteListView;

class NoteRowDelegate : public QAbstractItemDelegate {
    Q_OBJECT
public:
    NoteRowDelegate(NotesModel& notes, NoteListView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    void setEditorData(QWidget*, const QModelIndex&) const override {}
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The rename field commits and cancels by itself; nothing of the view's editing
    // keys may reach past it.
    bool eventFilter(QObject*, QEvent*) override { return false; }

    // Row metrics, in logical pixels.
    static constexpr int listPadding = 8;
    static constexpr int rowSpacing = 2;
    static constexpr int rowPaddingX = 10;
    static constexpr int rowPaddingY = 8;
    static constexpr int lineSpacing = 2;
    static constexpr int cornerRadius = 8;
    static constexpr int stripHeight = 120;
    static constexpr int emptyTop = 28;

    static QFont titleFont();
    static QFont infoFont();
    static int rowHeight();

    // The row's rounded frame and its title's line inside `rowRect` (the item's rect).
    static QRect frame(const QRect& itemRect, int row);
    static QRect titleLine(const QRect& itemRect, int row);

private:
    NotesModel& notes_;
    NoteListView* view_;
};

class NoteListView : public QListView {
    Q_OBJECT
public:
    // Whether the column's key table takes the press; with `run` it also acts on it.
    using KeyHandler = std::function<bool(const KeyPress& press, bool run)>;

    explicit NoteListView(NotesModel& notes, QWidget* parent = nullptr);

    NoteListModel* listModel() const { return model_; }
    void setKeyHandler(KeyHandler handler) { keys_ = std::move(handler); }

    QRect rowRect(const QString& id) const;
    QRect titleRect(const QString& id) const;
    // The open rename field; none while no note is renamed.
    EditField* renameField() const { return field_; }

    // How much of the hover fill a row shows, 0 to 1.
    qreal hoverAmount(const Note* note) const;

    // Opens the row's menu at a point of the viewport; the menu closes itself.
    QMenu* openMenu(const QPoint& at);

    // The row that follows a click on a title waits this long for a second click
    // before the rename starts.
    static int renameDelayMs();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    friend class NoteRowDelegate;
    void remember(EditField* field) { field_ = field; }

    void sync();
    void followRename();
    void scrollToSelected();
    void hover(const std::shared_ptr<Note>& note);
    // The note's row opens in the editor, which takes the keys.
    void open(const QString& id);
    void startRename(const QString& id);

    NotesModel& notes_;
    NoteListModel* model_;
    NoteRowDelegate* delegate_;
    KeyHandler keys_;
    QPointer<EditField> field_;
    QPersistentModelIndex renamed_;
    // A click on a title renames once no second click follows.
    QTimer renameSoon_;
    QString renameSoonID_;
    // The row under the pointer, and the one it left, fading.
    std::weak_ptr<Note> hovered_;
    std::weak_ptr<Note> unhovered_;
    QVariantAnimation hoverFade_;
};
