#pragma once
// The inline one-line field in which a thing, a new thing or a list is named.
//
// API
//   auto* field = new EditField(thing.title, QString(), font, /*caretAtEnd*/ true,
//       [model, id](const QString& text, EditField::Ending) { model->rename(id, text); ... },
//       [model] { model->setEditing(std::nullopt); }, row);
//   field->commitOnRemoval(model, [model, place](const QString& text) { model->add(text, place); });
//
// It finishes exactly once, whichever comes first:
//   Return               commit(text, Ending::Return)     EditField::keepsGoing() is true
//   losing the keys      commit(text, Ending::KeysLost)   (not to a menu, a popup or
//                                                        another window: those give the
//                                                        keys back)
//   Escape               cancel()
//   never got the keys   cancel(), after asking four times 80 ms apart; a field in a
//                        window that is not active waits for the user instead
//   removed unfinished   nothing, unless commitOnRemoval() was called: then its handler
//                        gets the text once, queued on its context, when the text is not
//                        blank and not the text it began with (keepNow() hands it over
//                        at once)
// A caller that wants another field after Return makes a new one: one field commits once.
//
// Removal is when the view that owns the field deletes it or hides it because the model
// moved on (a mode switch, navigation, hidden lists, a re-read). Remove fields with
// deleteLater(). The removal handler runs after the model change and the view update
// that removed the field, so it must not touch the field's row: capture the model and
// values, and check that they still name the same target (after a re-read, list 2 may
// be another list: compare its name with the one the edit began on).

#include <QFont>
#include <QLineEdit>
#include <QPointer>

#include <functional>

class EditField : public QLineEdit {
    Q_OBJECT
public:
    enum class Ending { Return, KeysLost };
    static bool keepsGoing(Ending how) { return how == Ending::Return; }

    using CommitHandler = std::function<void(const QString& text, Ending how)>;
    using CancelHandler = std::function<void()>;
    using RemovalHandler = std::function<void(const QString& text)>;

    // With `caretAtEnd` the caret goes after the text when the field gets the keys;
    // without, the text is selected, so typing replaces it.
    EditField(const QString& text, const QString& placeholder, const QFont& font, bool caretAtEnd,
              CommitHandler onCommit, CancelHandler onCancel, QWidget* parent = nullptr);
    ~EditField() override;

    // A field whose text must not be lost when the model removes it (a new thing, a
    // list's name, a rename). Blank text is never handed over: a blank rename would
    // delete the thing.
    void commitOnRemoval(QObject* context, RemovalHandler handler);

    // The app is about to quit, or the field's window to close: the field finishes as
    // if removed, but its removal handler runs now rather than queued, so what it holds
    // is in the model before anything is saved.
    void keepNow();

    // Goes on with what `other` holds, text and caret, for a field that stands in for it
    // (its thing came back under a fresh id); `other` is finished without a word.
    void takeOver(EditField& other);

    // Committed, cancelled or removed: nothing more will be reported.
    bool isFinished() const { return finished_; }

    // How long the field waits before it checks that it has the keys.
    static constexpr int checkDelayMs = 80;
    static constexpr int retries = 3;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void checkKeys(int triesLeft);
    void askAgain(int triesLeft);
    void finishCommit(Ending how);
    void finishCancel();
    void removed();
    bool holdsTyping() const;

    CommitHandler onCommit_;
    CancelHandler onCancel_;
    QPointer<QObject> removalContext_;
    RemovalHandler onRemoval_;
    QString initial_;
    bool caretAtEnd_ = false;
    bool finished_ = false;
    bool refocusing_ = false;
    bool asked_ = false;
};
