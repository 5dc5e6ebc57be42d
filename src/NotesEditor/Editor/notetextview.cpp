#include "notetextview.h"
#include "notetextview_p.h"

#include "displayscale.h"
#include "paragraphstyler.h"
#include "sectionmargin.h"
#include "sections.h"
#include "spellingmarks.h"
#include "typography.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <utility>

using namespace notetext;

namespace {

// Format shortcuts live on the view as well as in the menu bar, so that they work
// inside a window-modal sheet, which blocks the main window's shortcuts. They are the
// keys the menus name on whatever layout is in use: a letter is the letter the key
// types, a digit the top-row key that carries it.
struct Shortcut {
    int key;
    bool shift;
    const char16_t* action;
};

constexpr Shortcut shortcuts[] = {
    {Qt::Key_T, true, u"formatTitle:"},
    {Qt::Key_H, true, u"formatHeading:"},
    {Qt::Key_J, true, u"formatSubheading:"},
    {Qt::Key_B, true, u"formatBody:"},
    {Qt::Key_B, false, u"toggleBold:"},
    {Qt::Key_I, false, u"toggleItalic:"},
    {Qt::Key_U, false, u"toggleUnderline:"},
    {Qt::Key_8, true, u"toggleBullets:"},
    {Qt::Key_9, true, u"toggleNumbers:"},
    {Qt::Key_L, true, u"toggleChecklist:"},
    {Qt::Key_D, true, u"insertDivider:"},
    {Qt::Key_K, true, u"toggleCollapsibleSection:"},
};

// The key a shortcut is matched by. A top-row key is its digit: with Shift it types
// something else on most layouts ("*" on a US one, "(" on a German one, while a French
// one needs Shift for the digit itself), but the digits sit on the same keys of the top
// row everywhere. XKB keycodes (X11, Wayland) 10 to 19 are that row's 1 to 0.
int shortcutKey(const QKeyEvent* event)
{
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key;
#if !defined(Q_OS_MACOS) && !defined(Q_OS_WIN)
    const quint32 code = event->nativeScanCode();
    if (code >= 10 && code <= 19)
        return Qt::Key_0 + int((code - 9) % 10);
#endif
    return key;
}

std::optional<QStringView> shortcutAction(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (!(mods & Qt::ControlModifier) || (mods & (Qt::AltModifier | Qt::MetaModifier)))
        return std::nullopt;
    const bool shift = mods & Qt::ShiftModifier;
    const int key = shortcutKey(event);
    for (const Shortcut& s : shortcuts) {
        if (s.shift == shift && key == s.key)
            return QStringView(s.action);
    }
    return std::nullopt;
}

void shift(TextRange& range, int position, int removed, int added)
{
    const int removedEnd = position + removed;
    const auto move = [&](int p) {
        if (p <= position)
            return p;
        if (p >= removedEnd)
            return p + added - removed;
        return position;
    };
    const int start = move(range.location);
    const int end = std::max(start, move(range.end()));
    range = {start, end - start};
}

} // namespace

NoteTextView::NoteTextView(QWidget* parent) : QTextEdit(parent)
{
    setFrameShape(QFrame::NoFrame);
    setAcceptRichText(true);
    setUndoRedoEnabled(true);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setTabChangesFocus(false);
    // A divider is a line of 300 characters cut at the edge: it must never make the
    // column scroll sideways.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(horizontalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int maximum) {
        if (maximum != 0)
            horizontalScrollBar()->setRange(0, 0);
    });
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    leftMargin_ = new SectionMargin(this);
    rightMargin_ = new SectionMargin(this);

    connect(this, &QTextEdit::cursorPositionChanged, this, &NoteTextView::caretMoved);
    spelling_ = new SpellingMarks(this);
    attach(document());
    setCurrentCharFormat(bodyTypingAttributes());
    placeColumn();
}

NoteTextView::~NoteTextView()
{
    // The marks come off the text as they go: not an edit, and not after the view is gone.
    Quiet quiet(quiet_);
    delete std::exchange(spelling_, nullptr);
}

QTextCharFormat NoteTextView::bodyTypingAttributes()
{
    const TextAttributes body = Typography::attributes(TextRole::body, false, false, ParagraphKind::plain(),
                                                       TextDirection::ltr, Typography::textColor());
    return DisplayScale::shown(body.character);
}

int NoteTextView::horizontalInset(int width)
{
    return std::max((width - maxReadingWidth) / 2, minimumInset);
}

bool NoteTextView::editable() const
{
    return !isReadOnly();
}

// ---------------------------------------------------------------- the note's text

void NoteTextView::setNoteText(std::unique_ptr<QTextDocument> text)
{
    Quiet quiet(quiet_);
    QTextDocument* doc = text.release();
    // What the load itself changes is no step of the note's history.
    doc->setUndoRedoEnabled(false);
    QTextFrameFormat frame = doc->rootFrame()->frameFormat();
    frame.setLeftMargin(0);
    frame.setRightMargin(0);
    frame.setTopMargin(verticalInset);
    frame.setBottomMargin(verticalInset);
    doc->rootFrame()->setFrameFormat(frame);
    DisplayScale::show(*doc);
    folds_.adopt(*doc);
    doc->setUndoRedoEnabled(true);
    doc->setModified(false);

    doc->setParent(this);
    setDocument(doc);  // the previous text was ours: it goes
    attach(doc);

    changes_.clear();
    hiddenNow_.clear();
    pendingSectionStart_.reset();
    replaying_ = false;
    redoSteps_ = 0;
    headingsStale_ = true;
    const SectionFolds::Layout layout = folds_.apply(*doc, headings());
    lastHidden_ = layout.hidden;
    hiddenNow_ = lastHidden_;
    sectionsActive_ = layout.anyCollapsible;
    lastCaret_ = textCursor().position();
    updateMargins();
}

void NoteTextView::attach(QTextDocument* text)
{
    spelling_->attach(text);
    connect(text, &QTextDocument::contentsChange, this, &NoteTextView::contentsChanged, Qt::UniqueConnection);
    connect(text->documentLayout(), &QAbstractTextDocumentLayout::update, this, &NoteTextView::updateMargins,
            Qt::UniqueConnection);
}

std::unique_ptr<QTextDocument> NoteTextView::noteText() const
{
    std::unique_ptr<QTextDocument> copy(document()->clone());
    copy->setUndoRedoEnabled(false);
    DisplayScale::unshow(*copy);
    folds_.exportTo(*document(), *copy);
    copy->setUndoRedoEnabled(true);
    return copy;
}

QList<int> NoteTextView::collapsibleOrdinals() const
{
    return folds_.collapsibleOrdinals(*document());
}

QList<int> NoteTextView::collapsedOrdinals() const
{
    return folds_.collapsedOrdinals(*document());
}

// ---------------------------------------------------------------- finishing edits

void NoteTextView::contentsChanged(int position, int removed, int added)
{
    // Spelling marks are drawn, not edits, however Qt reports their redrawing.
    if (quiet_ || spelling_->isMarking())
        return;
    bool touched = false, near = false;
    for (const TextRange& run : std::as_const(hiddenNow_)) {
        touched = touched
            || (removed > 0 ? (position < run.end() && position + removed > run.location)
                            : (position >= run.location && position < run.end()));
        near = near || (position <= run.end() && position + removed >= run.location);
    }
    for (Change& c : changes_) {
        TextRange r{c.location, c.length};
        shift(r, position, removed, added);
        c.location = r.location;
        c.length = r.length;
    }
    for (TextRange& run : hiddenNow_)
        shift(run, position, removed, added);
    if (!headingsStale_) {
        for (Sections::Heading& h : headings_) {
            if (position <= h.range.end() && position + removed >= h.range.location) {
                headingsStale_ = true;
                break;
            }
            if (position + removed < h.range.location)
                h.range.location += added - removed;
        }
    }
    changes_.append({position, added, touched, near, removed != added});
    if (depth_ == 0 && !finishQueued_) {
        // Someone changed the text from outside any event or command of ours.
        finishQueued_ = true;
        QTimer::singleShot(0, this, [this] { finishEdits(); });
    }
}

const QList<Sections::Heading>& NoteTextView::headings() const
{
    if (headingsStale_) {
        headings_ = Sections::headings(*document());
        headingsStale_ = false;
    }
    return headings_;
}

void NoteTextView::finishEdits()
{
    finishQueued_ = false;
    if (changes_.isEmpty())
        return;
    QTextDocument& doc = *document();
    const QList<Change> changes = std::exchange(changes_, {});
    hiddenNow_ = lastHidden_;
    // Undo and redo bring back text that was finished when it was made; changing it
    // again would push a new step and drop the redo history.
    const bool replay = replaying_ || doc.availableRedoSteps() > redoSteps_;
    const int length = pemby::textLength(doc);
    int from = length, to = 0;
    for (const Change& c : changes) {
        from = std::min(from, c.location);
        to = std::max(to, c.location + c.length);
    }
    from = std::clamp(from, 0, length);
    to = std::clamp(to, from, length);
    // Only an edit at a heading or at a fold can change the sections; any other
    // moves them along, which the bookkeeping above has done.
    const bool nearFold = std::any_of(changes.begin(), changes.end(), [](const Change& c) { return c.nearHidden; });
    {
        Quiet quiet(quiet_);
        if (sectionsActive_ && (nearFold || headingsStale_))
            unfoldTouched(changes);
        bool headingThere = false;
        if (!replay && editable()) {
            QTextCursor cursor(&doc);
            cursor.joinPreviousEditBlock();
            headingThere = folds_.settle(doc, from, to, true);
            restyle(from, to);
            cursor.endEditBlock();
        } else {
            headingThere = folds_.settle(doc, from, to, false);
        }
        if (headingThere)
            headingsStale_ = true;
    }
    redoSteps_ = doc.availableRedoSteps();
    emit edited();
    completePendingSection();
    if (sectionsActive_ || folds_.anyCollapsible()) {
        if (nearFold || headingsStale_)
            refreshSections();
        else
            lastHidden_ = hiddenNow_;
    }
    hiddenNow_ = lastHidden_;
    caretMoved();
    updateMargins();
}

void NoteTextView::restyle(int from, int to)
{
    QTextDocument& doc = *document();
    if (pemby::textLength(doc) == 0)
        return;
    ParagraphStyler::apply(doc, from, to - from);
    // Whatever made the new text, it shows at the editor's one scale.
    DisplayScale::show(doc, from, std::max(to, from + 1));
}

void NoteTextView::unfoldTouched(const QList<Change>& changes)
{
    QTextDocument& doc = *document();
    const QTextCursor caret = textCursor();
    const QList<Sections::Heading>& headings = this->headings();
    const int length = pemby::textLength(doc);
    for (int i = 0; i < headings.size(); ++i) {
        const QTextBlock heading = doc.findBlock(headings[i].range.location);
        if (!folds_.isCollapsed(heading))
            continue;
        const TextRange body = Sections::body(i, headings, length);
        // The end of the text counts as inside a body that reaches it.
        const auto inBody = [&](int p) {
            return p >= body.location && (p < body.end() || (p == length && body.end() == length));
        };
        bool unfold = false;
        for (const Change& c : changes) {
            // Text changed where the fold hid it.
            if (c.touchedHidden && (inBody(c.location) || (c.location < body.end() && c.location + c.length > body.location)))
                unfold = true;
            // New text or a new line that would land in the folded body: typing at the
            // end of a note whose last section is folded, Return at the end of a
            // folded heading's line.
            if (c.resized && !caret.hasSelection() && inBody(caret.position()))
                unfold = true;
        }
        if (unfold)
            folds_.setCollapsed(heading, false);
    }
}

// ---------------------------------------------------------------- events

bool NoteTextView::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (editable() && (shortcutAction(key) || key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo))) {
            event->accept();
            return true;
        }
    }
    Scope scope(this);
    return QTextEdit::event(event);
}

bool NoteTextView::viewportEvent(QEvent* event)
{
    Scope scope(this);
    return QTextEdit::viewportEvent(event);
}

void NoteTextView::keyPressEvent(QKeyEvent* event)
{
    if (editable() && event->matches(QKeySequence::Undo)) {
        undo();
        event->accept();
        return;
    }
    if (editable() && event->matches(QKeySequence::Redo)) {
        redo();
        event->accept();
        return;
    }
    if (const auto action = shortcutAction(event)) {
        perform(*action);
        event->accept();
        return;
    }
    if (editable()) {
        const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
        const int key = event->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::NoModifier) {
            if (!insertNewline()) {
                const QTextBlock ended = caretParagraph();
                const TextRange range = pemby::paragraphRange(ended);
                const bool plainCaret = !textCursor().hasSelection();
                QTextEdit::keyPressEvent(event);
                if (plainCaret)
                    resetStyleAfterBlock(range, document()->findBlock(range.location));
            }
            event->accept();
            return;
        }
        if (key == Qt::Key_Backspace && (mods == Qt::NoModifier || mods == Qt::ShiftModifier) && deleteBackward()) {
            event->accept();
            return;
        }
        // A backward tab means nothing inside a note, and must not take the keys away.
        if (key == Qt::Key_Backtab || (key == Qt::Key_Tab && (mods & Qt::ShiftModifier))) {
            event->accept();
            return;
        }
    }
    const bool down = event->matches(QKeySequence::MoveToNextLine);
    if (down || event->matches(QKeySequence::MoveToPreviousLine)) {
        const int from = textCursor().position();
        QTextEdit::keyPressEvent(event);
        stepOverFold(from, down);
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void NoteTextView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && !pressFromMargin_) {
        if (editable() && toggleCheckbox(event->position().toPoint())) {
            event->accept();
            return;
        }
        if (toggleSection(event->position().toPoint() + viewport()->geometry().topLeft())) {
            event->accept();
            return;
        }
    }
    QTextEdit::mousePressEvent(event);
}

void NoteTextView::resizeEvent(QResizeEvent* event)
{
    QTextEdit::resizeEvent(event);
    placeColumn();
}

void NoteTextView::scrollContentsBy(int dx, int dy)
{
    QTextEdit::scrollContentsBy(dx, dy);
    updateMargins();
}

void NoteTextView::contextMenuEvent(QContextMenuEvent* event)
{
    std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    // The menu's own undo would bypass ours.
    for (QAction* action : menu->actions()) {
        if (action->objectName() == QLatin1String("edit-undo")) {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, &NoteTextView::undo);
        } else if (action->objectName() == QLatin1String("edit-redo")) {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, &NoteTextView::redo);
        }
    }
    addSpellingEntries(*menu, event->pos());
    if (editable()) {
        QMenu* direction = menu->addMenu(tr("Writing Direction"));
        direction->addAction(tr("Default"), this, [this] { setDirection(std::nullopt); });
        direction->addAction(tr("Left to Right"), this, [this] { setDirection(TextDirection::ltr); });
        direction->addAction(tr("Right to Left"), this, [this] { setDirection(TextDirection::rtl); });
    }
    menu->exec(event->globalPos());
}

bool NoteTextView::canInsertFromMimeData(const QMimeData* source) const
{
    return source->hasText() || source->hasHtml();
}

void NoteTextView::insertFromMimeData(const QMimeData* source)
{
    // Pasted and dropped text takes the typing attributes: a note never takes on
    // another program's fonts and colours. A browser's selection may come as HTML
    // alone; its text is what is pasted.
    if (!editable())
        return;
    QString text;
    if (source->hasText())
        text = source->text();
    else if (source->hasHtml())
        text = QTextDocumentFragment::fromHtml(source->html()).toPlainText();
    if (text.isEmpty())
        return;
    QMimeData plain;
    plain.setText(text);
    QTextEdit::insertFromMimeData(&plain);
}

void NoteTextView::undo()
{
    replay(&QTextEdit::undo);
}

void NoteTextView::redo()
{
    replay(&QTextEdit::redo);
}

void NoteTextView::replay(void (QTextEdit::*step)())
{
    if (!editable())
        return;
    Scope scope(this);
    replaying_ = true;
    (this->*step)();
    finishEdits();
    replaying_ = false;
}

// ---------------------------------------------------------------- the column

void NoteTextView::placeColumn()
{
    const int inset = horizontalInset(width());
    const QMargins now = viewportMargins();
    if (now.left() != inset || now.right() != inset)
        setViewportMargins(inset, 0, inset, 0);
    updateMargins();
}

void NoteTextView::updateMargins()
{
    if (!leftMargin_ || !rightMargin_)
        return;
    const QRect column = viewport()->geometry();
    const int right = verticalScrollBar()->isVisible() ? verticalScrollBar()->geometry().left() : width();
    leftMargin_->setGeometry(0, column.top(), column.left(), column.height());
    rightMargin_->setGeometry(column.right() + 1, column.top(), std::max(0, right - column.right() - 1), column.height());
    leftMargin_->update();
    rightMargin_->update();
}
