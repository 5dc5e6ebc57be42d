#include "editfield.h"

#include "logcategories.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>

namespace {

bool isReturn(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

// Focus that goes to a menu, a popup or another window comes back by itself; the user
// has not left the field.
bool keysComeBack(Qt::FocusReason reason)
{
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason
        || reason == Qt::MenuBarFocusReason;
}

} // namespace

EditField::EditField(const QString& text, const QString& placeholder, const QFont& font, bool caretAtEnd,
                     CommitHandler onCommit, CancelHandler onCancel, QWidget* parent)
    : QLineEdit(text, parent), onCommit_(std::move(onCommit)), onCancel_(std::move(onCancel)), initial_(text),
      caretAtEnd_(caretAtEnd)
{
    setPlaceholderText(placeholder);
    setFont(font);
    // A plain field: no frame and no fill, so it reads as the row's own text.
    setFrame(false);
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::transparent);
    setPalette(p);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    // The line edit keeps a small inset of its own; without it the typed text starts
    // where the row's title would.
    setTextMargins(-2, 0, 0, 0);
}

EditField::~EditField()
{
    if (!finished_)
        removed();
}

void EditField::commitOnRemoval(QObject* context, RemovalHandler handler)
{
    removalContext_ = context;
    onRemoval_ = std::move(handler);
}

bool EditField::event(QEvent* event)
{
    // Return and Escape belong to the field while it is open, not to a menu shortcut.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((isReturn(key->key()) || key->key() == Qt::Key_Escape) && key->modifiers() == Qt::NoModifier) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void EditField::keyPressEvent(QKeyEvent* event)
{
    if (isReturn(event->key()) && !(event->modifiers() & ~Qt::KeypadModifier)) {
        if (!finished_)
            finishCommit(Ending::Return);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (!finished_)
            finishCancel();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void EditField::showEvent(QShowEvent* event)
{
    QLineEdit::showEvent(event);
    if (asked_)
        return;
    asked_ = true;
    setFocus(Qt::OtherFocusReason);
    QTimer::singleShot(checkDelayMs, this, [this] { checkKeys(retries); });
}

void EditField::checkKeys(int triesLeft)
{
    if (finished_)
        return;
    // With no active window the user is elsewhere; the field waits for them.
    if (!QApplication::activeWindow())
        return;
    if (QApplication::focusWidget() == this) {
        refocusing_ = false;
        return;
    }
    if (triesLeft < 1) {
        qCInfo(lcDrag) << "edit field never got the keys; closing it";
        refocusing_ = false;
        finishCancel();
        return;
    }
    qCInfo(lcDrag) << "edit field asks for the keys again";
    askAgain(triesLeft);
}

void EditField::askAgain(int triesLeft)
{
    // Dropping the focus on purpose must not count as the user leaving the field.
    refocusing_ = true;
    clearFocus();
    QTimer::singleShot(0, this, [this, triesLeft] {
        if (finished_)
            return;
        setFocus(Qt::OtherFocusReason);
        QTimer::singleShot(checkDelayMs, this, [this, triesLeft] { checkKeys(triesLeft - 1); });
    });
}

void EditField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    refocusing_ = false;
    // Only when the field itself asked: keys coming back from a menu or another window
    // find the caret where the user left it.
    if (event->reason() != Qt::OtherFocusReason)
        return;
    QTimer::singleShot(0, this, [this] {
        if (caretAtEnd_) {
            deselect();
            setCursorPosition(int(text().size()));
        } else {
            selectAll();
        }
    });
}

void EditField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (keysComeBack(event->reason()) || refocusing_ || finished_)
        return;
    // Hidden with the keys: its view took it away.
    if (!isVisible()) {
        removed();
        return;
    }
    finishCommit(Ending::KeysLost);
}

void EditField::hideEvent(QHideEvent* event)
{
    QLineEdit::hideEvent(event);
    // The field itself, or its row or column, was hidden inside a window that stays
    // on screen: the view took it away. A window going away is not the user's answer.
    if (!finished_ && !event->spontaneous() && window()->isVisible())
        removed();
}

void EditField::finishCommit(Ending how)
{
    finished_ = true;
    // The handler may close the field; nothing of it is touched afterwards.
    const CommitHandler handler = onCommit_;
    if (handler)
        handler(text(), how);
}

void EditField::finishCancel()
{
    finished_ = true;
    const CancelHandler handler = onCancel_;
    if (handler)
        handler();
}

bool EditField::holdsTyping() const
{
    // A field nobody typed into (another view's copy of the same edit, say) has nothing
    // to hand over, and must not put back the text it started from.
    return onRemoval_ && removalContext_ && !text().trimmed().isEmpty() && text() != initial_;
}

void EditField::removed()
{
    finished_ = true;
    if (!holdsTyping())
        return;
    const RemovalHandler handler = onRemoval_;
    const QString typed = text();
    // Never inside the model change or the view update that removed the field.
    QMetaObject::invokeMethod(removalContext_, [handler, typed] { handler(typed); }, Qt::QueuedConnection);
}

void EditField::keepNow()
{
    if (finished_)
        return;
    finished_ = true;
    if (!holdsTyping())
        return;
    const RemovalHandler handler = onRemoval_;
    handler(text());
}

void EditField::takeOver(EditField& other)
{
    if (&other == this || other.finished_)
        return;
    other.finished_ = true;
    setText(other.text());
    setCursorPosition(other.cursorPosition());
}
