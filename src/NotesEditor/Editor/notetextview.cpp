#include "notetextview.h"

#include "bidi.h"
#include "displayscale.h"
#include "paragraphstyler.h"
#include "sectionmargin.h"
#include "sections.h"
#include "typography.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>

// Holds edits back from being finished until the outermost event or command that
// makes them is done, then finishes them all at once.
class NoteTextView::Scope {
public:
    explicit Scope(NoteTextView* view) : view_(view) { ++view_->depth_; }
    ~Scope()
    {
        if (--view_->depth_ == 0)
            view_->finishEdits();
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    NoteTextView* view_;
};

namespace {

struct Quiet {
    explicit Quiet(int& counter) : counter_(counter) { ++counter_; }
    ~Quiet() { --counter_; }
    int& counter_;
};

const QString& checkedBox()
{
    static const QString box(QChar(ParagraphMarkers::checked));
    return box;
}

const QString& uncheckedBox()
{
    static const QString box(QChar(ParagraphMarkers::unchecked));
    return box;
}

bool isDirectionMark(QChar c)
{
    return c == QChar(Bidi::leftToRightMark) || c == QChar(Bidi::rightToLeftMark);
}

ParagraphInfo infoOf(const QTextBlock& block)
{
    return ParagraphMarkers::parse(block.text());
}

bool isDivider(const QTextBlock& block)
{
    return infoOf(block).kind.type == ParagraphKind::Type::divider;
}

bool sameListType(const ParagraphKind& a, const ParagraphKind& b)
{
    return a.type == b.type;
}

ParagraphKind nextItem(const ParagraphKind& kind)
{
    switch (kind.type) {
    case ParagraphKind::Type::checkbox: return ParagraphKind::checkbox(false);
    case ParagraphKind::Type::number: return ParagraphKind::numbered(kind.number + 1);
    default: return kind;
    }
}

bool hasUnderline(const QTextCharFormat& format)
{
    return format.underlineStyle() != QTextCharFormat::NoUnderline || format.boolProperty(QTextFormat::FontUnderline);
}

void clearUnderline(QTextCharFormat& format)
{
    format.clearProperty(QTextFormat::TextUnderlineStyle);
    format.clearProperty(QTextFormat::FontUnderline);
}

// The runs of [from, to), clipped to it.
struct Run {
    int start = 0;
    int end = 0;
    QTextCharFormat format;
};

QList<Run> runsIn(const QTextDocument& text, int from, int to)
{
    QList<Run> runs;
    for (QTextBlock b = text.findBlock(from); b.isValid() && b.position() < to; b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (!f.isValid())
                continue;
            const int start = std::max(from, f.position());
            const int end = std::min(to, f.position() + f.length());
            if (start < end)
                runs.append({start, end, f.charFormat()});
        }
    }
    return runs;
}

void setRun(QTextCursor& cursor, int start, int end, const QTextCharFormat& format)
{
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.setCharFormat(format);
}

// Format shortcuts live on the view as well as in the menu bar, so that they work
// inside a window-modal sheet, which blocks the main window's shortcuts.
struct Shortcut {
    int key;
    int alternative;  // what the key gives with Shift on a US layout
    bool shift;
    const char16_t* action;
};

constexpr Shortcut shortcuts[] = {
    {Qt::Key_T, 0, true, u"formatTitle:"},
    {Qt::Key_H, 0, true, u"formatHeading:"},
    {Qt::Key_J, 0, true, u"formatSubheading:"},
    {Qt::Key_B, 0, true, u"formatBody:"},
    {Qt::Key_B, 0, false, u"toggleBold:"},
    {Qt::Key_I, 0, false, u"toggleItalic:"},
    {Qt::Key_U, 0, false, u"toggleUnderline:"},
    {Qt::Key_8, Qt::Key_Asterisk, true, u"toggleBullets:"},
    {Qt::Key_9, Qt::Key_ParenLeft, true, u"toggleNumbers:"},
    {Qt::Key_L, 0, true, u"toggleChecklist:"},
    {Qt::Key_D, 0, true, u"insertDivider:"},
    {Qt::Key_K, 0, true, u"toggleCollapsibleSection:"},
};

std::optional<QStringView> shortcutAction(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (!(mods & Qt::ControlModifier) || (mods & (Qt::AltModifier | Qt::MetaModifier)))
        return std::nullopt;
    const bool shift = mods & Qt::ShiftModifier;
    for (const Shortcut& s : shortcuts) {
        if (s.shift == shift && (event->key() == s.key || (s.alternative && event->key() == s.alternative)))
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
    attach(document());
    setCurrentCharFormat(bodyTypingAttributes());
    placeColumn();
}

NoteTextView::~NoteTextView() = default;

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
    QTextFrameFormat frame = doc->rootFrame()->frameFormat();
    frame.setLeftMargin(0);
    frame.setRightMargin(0);
    frame.setTopMargin(verticalInset);
    frame.setBottomMargin(verticalInset);
    doc->rootFrame()->setFrameFormat(frame);
    DisplayScale::show(*doc);
    folds_.adopt(*doc);
    doc->setUndoRedoEnabled(true);
    doc->clearUndoRedoStacks();
    doc->setModified(false);

    doc->setParent(this);
    setDocument(doc);  // the previous text was ours: it goes
    attach(doc);

    changes_.clear();
    hiddenNow_.clear();
    pendingSectionStart_.reset();
    replaying_ = false;
    redoSteps_ = 0;
    const SectionFolds::Layout layout = folds_.apply(*doc);
    lastHidden_ = layout.hidden;
    sectionsActive_ = layout.anyCollapsible;
    lastCaret_ = textCursor().position();
    updateMargins();
}

void NoteTextView::attach(QTextDocument* text)
{
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
    if (quiet_)
        return;
    bool touched = false;
    for (const TextRange& run : std::as_const(hiddenNow_)) {
        touched = removed > 0 ? (position < run.end() && position + removed > run.location)
                              : (position >= run.location && position < run.end());
        if (touched)
            break;
    }
    for (Change& c : changes_) {
        TextRange r{c.location, c.length};
        shift(r, position, removed, added);
        c.location = r.location;
        c.length = r.length;
    }
    for (TextRange& run : hiddenNow_)
        shift(run, position, removed, added);
    changes_.append({position, added, touched, removed != added});
    if (depth_ == 0 && !finishQueued_) {
        // Someone changed the text from outside any event or command of ours.
        finishQueued_ = true;
        QTimer::singleShot(0, this, [this] { finishEdits(); });
    }
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
    {
        Quiet quiet(quiet_);
        if (sectionsActive_)
            unfoldTouched(changes);
        if (!replay && editable()) {
            QTextCursor cursor(&doc);
            cursor.joinPreviousEditBlock();
            folds_.settle(doc, from, to, true);
            restyle(from, to);
            cursor.endEditBlock();
        } else {
            folds_.settle(doc, from, to, false);
        }
    }
    redoSteps_ = doc.availableRedoSteps();
    emit edited();
    completePendingSection();
    if (sectionsActive_ || folds_.anyCollapsible())
        refreshSections();
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
    const QList<Sections::Heading> headings = Sections::headings(doc);
    const int length = pemby::textLength(doc);
    for (int i = 0; i < headings.size(); ++i) {
        const QTextBlock heading = doc.findBlock(headings[i].range.location);
        if (!folds_.isCollapsed(heading))
            continue;
        const TextRange body = Sections::body(i, headings, length);
        const auto inBody = [&](int p) { return p >= body.location && (p < body.end() || p == length); };
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
        if (shortcutAction(key) || key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)) {
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
    if (event->matches(QKeySequence::Undo)) {
        undo();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Redo)) {
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
    QTextEdit::keyPressEvent(event);
}

void NoteTextView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
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
    return source->hasText();
}

void NoteTextView::insertFromMimeData(const QMimeData* source)
{
    // Pasted and dropped text takes the typing attributes: a note never takes on
    // another program's fonts and colours.
    if (!source->hasText() || !editable())
        return;
    QMimeData plain;
    plain.setText(source->text());
    QTextEdit::insertFromMimeData(&plain);
}

void NoteTextView::undo()
{
    Scope scope(this);
    replaying_ = true;
    QTextEdit::undo();
    finishEdits();
    replaying_ = false;
}

void NoteTextView::redo()
{
    Scope scope(this);
    replaying_ = true;
    QTextEdit::redo();
    finishEdits();
    replaying_ = false;
}

// ---------------------------------------------------------------- actions

bool NoteTextView::perform(QStringView action)
{
    static const QList<std::pair<QStringView, void (NoteTextView::*)()>> actions = {
        {u"formatTitle:", &NoteTextView::formatTitle},
        {u"formatHeading:", &NoteTextView::formatHeading},
        {u"formatSubheading:", &NoteTextView::formatSubheading},
        {u"formatBody:", &NoteTextView::formatBody},
        {u"toggleBold:", &NoteTextView::toggleBold},
        {u"toggleItalic:", &NoteTextView::toggleItalic},
        {u"toggleUnderline:", &NoteTextView::toggleUnderline},
        {u"toggleBullets:", &NoteTextView::toggleBullets},
        {u"toggleNumbers:", &NoteTextView::toggleNumbers},
        {u"toggleChecklist:", &NoteTextView::toggleChecklist},
        {u"insertDivider:", &NoteTextView::insertDivider},
        {u"toggleCollapsibleSection:", &NoteTextView::toggleCollapsibleSection},
    };
    for (const auto& [name, method] : actions) {
        if (name == action) {
            (this->*method)();
            return true;
        }
    }
    if (action == u"directionLTR:")
        setDirection(TextDirection::ltr);
    else if (action == u"directionRTL:")
        setDirection(TextDirection::rtl);
    else if (action == u"directionAuto:")
        setDirection(std::nullopt);
    else
        return false;
    return true;
}

QTextBlock NoteTextView::caretParagraph() const
{
    const int length = pemby::textLength(*document());
    return document()->findBlock(std::min(length, textCursor().selectionStart()));
}

QList<QTextBlock> NoteTextView::selectedParagraphs() const
{
    const QTextCursor c = textCursor();
    QList<QTextBlock> list{caretParagraph()};
    for (QTextBlock b = list.first().next(); b.isValid() && b.position() < c.selectionEnd(); b = b.next())
        list.append(b);
    return list;
}

QTextCharFormat NoteTextView::formatAt(int position) const
{
    const QTextBlock block = document()->findBlock(position);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (f.isValid() && f.contains(position))
            return f.charFormat();
    }
    return block.charFormat();
}

bool NoteTextView::replace(QTextCursor& cursor, int from, int to, const QString& text, std::optional<int> attributesFrom)
{
    if (!editable())
        return false;
    QTextCharFormat format = attributesFrom && *attributesFrom < pemby::textLength(*document())
        ? formatAt(*attributesFrom)
        : currentCharFormat();
    clearUnderline(format);
    DisplayScale::show(format);
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    cursor.insertText(text, format);
    return true;
}

void NoteTextView::apply(TextRole role)
{
    if (!editable())
        return;
    QList<QTextBlock> paragraphs = selectedParagraphs();
    paragraphs.removeIf([](const QTextBlock& b) { return isDivider(b); });
    const std::optional<bool> bold = role == TextRole::body ? std::optional<bool>(false) : std::nullopt;
    const bool caretOnly = !textCursor().hasSelection();
    if (!paragraphs.isEmpty()) {
        const int from = paragraphs.first().position();
        const int to = pemby::paragraphEnd(paragraphs.last());
        if (from < to) {
            Scope scope(this);
            QTextCursor cursor(document());
            cursor.beginEditBlock();
            for (const QTextBlock& block : std::as_const(paragraphs)) {
                if (block.length() <= 1)
                    continue;
                for (Run run : runsIn(*document(), block.position(), block.position() + block.length() - 1)) {
                    pemby::setRunFont(run.format, Typography::font(role, bold, Typography::isItalic(run.format)));
                    pemby::setRunKern(run.format, Typography::kern(role));
                    DisplayScale::show(run.format);
                    setRun(cursor, run.start, run.end, run.format);
                }
            }
            ParagraphStyler::apply(*document(), from, to - from);
            cursor.endEditBlock();
        }
    }
    if (caretOnly) {
        QTextCharFormat typing = currentCharFormat();
        pemby::setRunFont(typing, Typography::font(role, bold, Typography::isItalic(typing)));
        pemby::setRunKern(typing, Typography::kern(role));
        DisplayScale::show(typing);
        setCurrentCharFormat(typing);
    }
}

void NoteTextView::toggleBold()
{
    toggleTrait(true);
}

void NoteTextView::toggleItalic()
{
    toggleTrait(false);
}

void NoteTextView::toggleTrait(bool bold)
{
    if (!editable())
        return;
    const auto has = [bold](const QTextCharFormat& f) { return bold ? Typography::isBold(f) : Typography::isItalic(f); };
    const auto set = [bold](QTextCharFormat& f, bool on) {
        if (bold)
            f.setFontWeight(on ? QFont::Bold : QFont::Normal);
        else
            f.setFontItalic(on);
    };
    QTextCursor caret = textCursor();
    if (caret.hasSelection()) {
        bool all = true;
        for (const Run& run : runsIn(*document(), caret.selectionStart(), caret.selectionEnd())) {
            if (pemby::hasFont(run.format) && !has(run.format))
                all = false;
        }
        Scope scope(this);
        QTextCursor cursor(document());
        cursor.setPosition(caret.selectionStart());
        cursor.setPosition(caret.selectionEnd(), QTextCursor::KeepAnchor);
        QTextCharFormat change;
        set(change, !all);
        cursor.mergeCharFormat(change);
        return;
    }
    QTextCharFormat typing = currentCharFormat();
    if (!pemby::hasFont(typing))
        pemby::setRunFont(typing, Typography::font(TextRole::body, false, false));
    set(typing, !has(typing));
    DisplayScale::show(typing);
    setCurrentCharFormat(typing);
}

void NoteTextView::toggleUnderline()
{
    if (!editable())
        return;
    QTextCursor caret = textCursor();
    if (caret.hasSelection()) {
        const QList<Run> runs = runsIn(*document(), caret.selectionStart(), caret.selectionEnd());
        const bool all = std::all_of(runs.begin(), runs.end(), [](const Run& r) { return hasUnderline(r.format); });
        Scope scope(this);
        QTextCursor cursor(document());
        cursor.beginEditBlock();
        for (Run run : runs) {
            if (all)
                clearUnderline(run.format);
            else
                run.format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
            setRun(cursor, run.start, run.end, run.format);
        }
        cursor.endEditBlock();
        return;
    }
    QTextCharFormat typing = currentCharFormat();
    if (hasUnderline(typing))
        clearUnderline(typing);
    else
        typing.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    setCurrentCharFormat(typing);
}

void NoteTextView::toggleList(const ParagraphKind& kind)
{
    if (!editable())
        return;
    struct Paragraph {
        int position;
        bool empty;
        ParagraphInfo info;
    };
    QList<Paragraph> paragraphs;
    for (const QTextBlock& b : selectedParagraphs()) {
        const ParagraphInfo info = infoOf(b);
        if (info.kind.type != ParagraphKind::Type::divider)
            paragraphs.append({b.position(), b.length() <= 1, info});
    }
    if (paragraphs.isEmpty())
        return;
    const bool all = std::all_of(paragraphs.begin(), paragraphs.end(),
                                 [&](const Paragraph& p) { return sameListType(p.info.kind, kind); });
    const QString marker = ParagraphMarkers::marker(kind);
    const bool hadSelection = textCursor().hasSelection();
    const int oldEnd = textCursor().selectionEnd();
    const int oldCaret = textCursor().position();
    const int caretParagraphStart = caretParagraph().position();
    int total = 0;
    int caretAfter = oldCaret;

    Scope scope(this);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (auto p = paragraphs.rbegin(); p != paragraphs.rend(); ++p) {
        const int markerAt = p->position + p->info.markerStart;
        const auto from = p->empty ? std::nullopt : std::optional<int>(p->position);
        int delta = 0;
        if (all) {
            if (!replace(cursor, markerAt, markerAt + p->info.markerLength, QString(), from))
                continue;
            delta = -p->info.markerLength;
        } else if (p->info.kind.isList()) {
            if (!replace(cursor, markerAt, markerAt + p->info.markerLength, marker, from))
                continue;
            delta = int(marker.size()) - p->info.markerLength;
        } else {
            if (!replace(cursor, markerAt, markerAt, marker, from))
                continue;
            delta = int(marker.size());
        }
        total += delta;
        if (p->position == caretParagraphStart) {
            // The caret keeps its place in the text: before the marker it stays, in
            // the marker it goes to the marker's end, after it it moves with the text.
            const int oldEnd = markerAt + (all || p->info.kind.isList() ? p->info.markerLength : 0);
            if (oldCaret >= oldEnd)
                caretAfter = oldCaret + delta;
            else if (oldCaret > markerAt)
                caretAfter = oldEnd + delta;
        }
    }
    renumber(cursor);
    cursor.endEditBlock();

    QTextCursor after = textCursor();
    if (hadSelection) {
        const int start = paragraphs.first().position;
        after.setPosition(start);
        after.setPosition(std::max(start, oldEnd + total), QTextCursor::KeepAnchor);
    } else {
        after.setPosition(std::max(0, caretAfter));
    }
    setTextCursor(after);
}

void NoteTextView::renumber(QTextCursor& cursor)
{
    struct Fix {
        int at, length;
        QString digits;
    };
    QList<Fix> fixes;
    int counter = 1;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        const ParagraphInfo info = infoOf(b);
        if (info.kind.type != ParagraphKind::Type::number) {
            counter = 1;
            continue;
        }
        if (info.kind.number != counter)
            fixes.append({b.position() + info.markerStart, info.markerLength - 2, QString::number(counter)});
        ++counter;
    }
    for (auto f = fixes.rbegin(); f != fixes.rend(); ++f)
        replace(cursor, f->at, f->at + f->length, f->digits, f->at);
}

bool NoteTextView::insertNewline()
{
    QTextCursor caret = textCursor();
    if (caret.hasSelection())
        return false;
    const QTextBlock block = caret.block();
    const ParagraphInfo info = infoOf(block);
    const int offset = caret.position() - block.position();
    if (!info.kind.isList() || offset < info.contentStart())
        return false;

    const QString content = block.text().mid(info.contentStart()).trimmed();
    const int at = caret.position();
    Scope scope(this);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    if (!content.isEmpty()) {
        cursor.setPosition(at);
        cursor.insertBlock();
        // The new marker looks like the end of the item before it.
        replace(cursor, cursor.position(), cursor.position(), ParagraphMarkers::marker(nextItem(info.kind)), at - 1);
        const int caretAt = cursor.position();
        renumber(cursor);
        cursor.endEditBlock();
        QTextCursor moved = textCursor();
        moved.setPosition(caretAt);
        setTextCursor(moved);
    } else {
        // Return on an empty item ends the list.
        const int markerAt = block.position() + info.markerStart;
        replace(cursor, markerAt, markerAt + info.markerLength, QString(), block.position());
        renumber(cursor);
        cursor.endEditBlock();
    }
    ensureCursorVisible();
    return true;
}

void NoteTextView::resetStyleAfterBlock(const TextRange& ended, const QTextBlock& block)
{
    if (ended.length <= 1 || ended.location >= pemby::textLength(*document()) || !block.isValid())
        return;
    const QTextCharFormat first = pemby::firstCharFormat(block);
    const bool heading = pemby::hasFont(first) && first.fontPointSize() >= 16.5;
    const bool divider = isDivider(block);
    if (!heading && !divider)
        return;
    const auto style = ParagraphStyle::of(block.blockFormat());
    const bool rtl = !divider && style && style->direction == TextDirection::rtl;
    QTextCharFormat typing = bodyTypingAttributes();
    setCurrentCharFormat(typing);
    if (rtl) {
        // The new paragraph goes on in the ended one's direction.
        QTextCursor c = textCursor();
        QTextBlockFormat format = c.blockFormat();
        ParagraphStyle s = Typography::paragraphStyle(TextRole::body, ParagraphKind::plain(), TextDirection::rtl);
        s.applyTo(format);
        Scope scope(this);
        QTextCursor cursor(document());
        cursor.setPosition(c.position());
        cursor.joinPreviousEditBlock();
        cursor.setBlockFormat(format);
        cursor.endEditBlock();
        setCurrentCharFormat(typing);
    }
}

bool NoteTextView::deleteBackward()
{
    const QTextCursor caret = textCursor();
    if (caret.hasSelection())
        return false;
    const QTextBlock block = caret.block();
    const ParagraphInfo info = infoOf(block);
    const auto removeParagraph = [this](const QTextBlock& b) {
        const TextRange r = pemby::paragraphRange(b);
        Scope scope(this);
        QTextCursor cursor(document());
        cursor.beginEditBlock();
        cursor.setPosition(r.location);
        cursor.setPosition(r.end(), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        cursor.endEditBlock();
    };
    if (info.kind.type == ParagraphKind::Type::divider) {
        removeParagraph(block);
        return true;
    }
    if (info.kind.isList() && caret.position() == block.position() + info.contentStart()) {
        Scope scope(this);
        QTextCursor cursor(document());
        cursor.beginEditBlock();
        const int markerAt = block.position() + info.markerStart;
        replace(cursor, markerAt, markerAt + info.markerLength, QString(), block.position());
        renumber(cursor);
        cursor.endEditBlock();
        return true;
    }
    if (caret.position() == block.position() && block.previous().isValid() && isDivider(block.previous())) {
        removeParagraph(block.previous());
        return true;
    }
    return false;
}

bool NoteTextView::toggleCheckbox(const QPoint& viewportPoint)
{
    QTextDocument& doc = *document();
    const QPointF point = viewportPoint + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const int hit = doc.documentLayout()->hitTest(point, Qt::FuzzyHit);
    if (hit < 0)
        return false;
    const QTextBlock block = doc.findBlock(hit);
    const ParagraphInfo info = infoOf(block);
    if (info.kind.type != ParagraphKind::Type::checkbox || !block.layout() || block.layout()->lineCount() == 0)
        return false;
    const QTextLayout* layout = block.layout();
    const QTextLine line = layout->lineForTextPosition(info.markerStart);
    if (!line.isValid())
        return false;
    const qreal x1 = line.cursorToX(info.markerStart);
    const qreal x2 = line.cursorToX(info.markerStart + 1);
    const QPointF origin = layout->position();
    const QRectF box(origin.x() + std::min(x1, x2), origin.y() + line.y(), std::abs(x2 - x1), line.height());
    if (!box.adjusted(-5, -4, 5, 4).contains(point))
        return false;
    const int at = block.position() + info.markerStart;
    Scope scope(this);
    QTextCursor cursor(&doc);
    cursor.beginEditBlock();
    replace(cursor, at, at + 1, info.kind.checked ? uncheckedBox() : checkedBox(), at);
    cursor.endEditBlock();
    return true;
}

void NoteTextView::insertDivider()
{
    if (!editable())
        return;
    QTextDocument& doc = *document();
    const QTextBlock block = caretParagraph();
    const bool hasBreak = block.next().isValid();
    const bool hasText = !block.text().trimmed().isEmpty();
    const TextAttributes divider = Typography::dividerAttributes();
    const QTextCharFormat dividerFormat = DisplayScale::shown(divider.character);
    QTextBlockFormat bodyBlock;
    Typography::paragraphStyle(TextRole::body, ParagraphKind::plain(), TextDirection::ltr).applyTo(bodyBlock);
    int caretAt = 0;
    {
        Scope scope(this);
        QTextCursor cursor(&doc);
        cursor.beginEditBlock();
        if (hasText) {
            if (hasBreak) {
                // Before the next paragraph, which keeps its own formats.
                const QTextBlock next = block.next();
                const QTextBlockFormat nextBlock = next.blockFormat();
                const QTextCharFormat nextOwn = next.charFormat();
                cursor.setPosition(next.position());
                cursor.insertText(ParagraphMarkers::divider(), dividerFormat);
                cursor.insertBlock(nextBlock, nextOwn);
            } else {
                cursor.setPosition(block.position() + block.length() - 1);
                cursor.insertBlock(block.blockFormat(), currentCharFormat());
                cursor.insertText(ParagraphMarkers::divider(), dividerFormat);
                cursor.insertBlock(bodyBlock, bodyTypingAttributes());
            }
            caretAt = cursor.position();
        } else {
            cursor.setPosition(block.position());
            cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
            cursor.insertText(ParagraphMarkers::divider(), dividerFormat);
            if (!hasBreak)
                cursor.insertBlock(bodyBlock, bodyTypingAttributes());
            caretAt = block.position() + ParagraphMarkers::dividerLength + 1;
        }
        cursor.endEditBlock();
    }
    QTextCursor moved = textCursor();
    moved.setPosition(std::min(caretAt, pemby::textLength(doc)));
    setTextCursor(moved);
    setCurrentCharFormat(bodyTypingAttributes());
}

void NoteTextView::setDirection(std::optional<TextDirection> direction)
{
    if (!editable())
        return;
    const QString mark = !direction ? QString()
        : QString(QChar(*direction == TextDirection::rtl ? Bidi::rightToLeftMark : Bidi::leftToRightMark));
    QList<int> starts;
    for (const QTextBlock& b : selectedParagraphs())
        starts.append(b.position());
    Scope scope(this);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (auto s = starts.rbegin(); s != starts.rend(); ++s) {
        const QTextBlock block = document()->findBlock(*s);
        const QString text = block.text();
        const auto from = block.length() > 1 ? std::optional<int>(*s) : std::nullopt;
        if (!text.isEmpty() && isDirectionMark(text[0]))
            replace(cursor, *s, *s + 1, mark, from);
        else if (!mark.isEmpty())
            replace(cursor, *s, *s, mark, from);
    }
    cursor.endEditBlock();
}

NoteTextView::FormattingState NoteTextView::formattingState() const
{
    FormattingState state;
    const QTextDocument& doc = *document();
    const int length = pemby::textLength(doc);
    const QTextBlock block = caretParagraph();
    const bool hasFirst = block.length() > 1 && block.position() < length;
    const QTextCharFormat first = hasFirst ? pemby::firstCharFormat(block) : currentCharFormat();
    state.role = Typography::role(first);
    state.kind = infoOf(block).kind;
    state.collapsible = hasFirst && state.role != TextRole::body && folds_.isCollapsible(block);

    const QTextCursor c = textCursor();
    const QTextCharFormat at = c.hasSelection() && c.selectionStart() < length ? formatAt(c.selectionStart())
                                                                                : currentCharFormat();
    if (pemby::hasFont(at)) {
        state.bold = Typography::isBold(at);
        state.italic = Typography::isItalic(at);
    }
    state.underline = hasUnderline(at);
    return state;
}

// ---------------------------------------------------------------- folding

void NoteTextView::toggleCollapsibleSection()
{
    if (!editable())
        return;
    QTextBlock block = caretParagraph();
    if (isDivider(block))
        return;
    const QTextCharFormat first = block.length() > 1 ? pemby::firstCharFormat(block) : currentCharFormat();
    if (!pemby::hasFont(first) || first.fontPointSize() < 16.5) {
        const int start = block.position();
        apply(TextRole::heading);
        block = document()->findBlock(start);
    }
    if (Sections::headingRank(block)) {
        folds_.setCollapsible(block, !folds_.isCollapsible(block));
        sectionsDidChange();
    } else {
        pendingSectionStart_ = block.position();
    }
}

void NoteTextView::completePendingSection()
{
    if (!pendingSectionStart_)
        return;
    const int start = *pendingSectionStart_;
    const QTextDocument& doc = *document();
    if (start > pemby::textLength(doc)) {
        pendingSectionStart_.reset();
        return;
    }
    const QTextBlock block = doc.findBlock(start);
    const int caret = textCursor().position();
    if (block.position() != start || caret < start || caret > pemby::paragraphEnd(block)) {
        pendingSectionStart_.reset();
        return;
    }
    if (!Sections::headingRank(block))
        return;
    pendingSectionStart_.reset();
    folds_.setCollapsible(block, true);
    sectionsDidChange();
}

void NoteTextView::refreshSections()
{
    SectionFolds::Layout layout;
    {
        Quiet quiet(quiet_);
        layout = folds_.apply(*document());
    }
    sectionsActive_ = layout.anyCollapsible;
    if (layout.hidden != lastHidden_) {
        lastHidden_ = layout.hidden;
        if (onSectionsChanged)
            onSectionsChanged();
    }
    updateMargins();
}

void NoteTextView::sectionsDidChange()
{
    {
        Quiet quiet(quiet_);
        const SectionFolds::Layout layout = folds_.apply(*document());
        sectionsActive_ = layout.anyCollapsible;
        lastHidden_ = layout.hidden;
        hiddenNow_ = lastHidden_;
    }
    const QTextCursor c = textCursor();
    if (!c.hasSelection()) {
        if (const auto run = hiddenRunAt(c.position())) {
            QTextCursor moved = c;
            moved.setPosition(std::max(0, run->location - 1));
            lastCaret_ = moved.position();
            setTextCursor(moved);
        }
    }
    updateMargins();
    if (onSectionsChanged)
        onSectionsChanged();
}

std::optional<TextRange> NoteTextView::hiddenRunAt(int position) const
{
    const auto it = std::upper_bound(lastHidden_.begin(), lastHidden_.end(), position,
                                     [](int p, const TextRange& r) { return p < r.location; });
    if (it == lastHidden_.begin())
        return std::nullopt;
    const TextRange& run = *(it - 1);
    if (position >= run.location && position < run.end())
        return run;
    return std::nullopt;
}

void NoteTextView::caretMoved()
{
    const QTextCursor c = textCursor();
    const int position = c.position();
    if (quiet_ || !changes_.isEmpty() || depth_ > 1 || !sectionsActive_ || c.hasSelection()
        || position >= pemby::textLength(*document())) {
        lastCaret_ = position;
        return;
    }
    const auto run = hiddenRunAt(position);
    if (!run) {
        lastCaret_ = position;
        return;
    }
    // Coming down into a fold the caret goes on past it; any other way it stops at
    // the end of the heading's line.
    const int length = pemby::textLength(*document());
    const int target = lastCaret_ < run->location && run->end() < length ? run->end() : std::max(0, run->location - 1);
    lastCaret_ = target;
    QTextCursor moved = c;
    moved.setPosition(target);
    Quiet quiet(quiet_);
    setTextCursor(moved);
}

QList<NoteTextView::Chevron> NoteTextView::chevrons() const
{
    QList<Chevron> list;
    const QTextDocument& doc = *document();
    if (!sectionsActive_ || pemby::textLength(doc) == 0)
        return list;
    const QRect column = viewport()->geometry();
    const int scrolled = verticalScrollBar()->value();
    const QList<Sections::Heading> headings = Sections::headings(doc);
    for (int i = 0; i < headings.size(); ++i) {
        const QTextBlock block = doc.findBlock(headings[i].range.location);
        if (!folds_.isCollapsible(block) || !block.isVisible())
            continue;
        const QTextLayout* layout = block.layout();
        if (!layout || layout->lineCount() == 0 || layout->lineAt(0).height() <= 0)
            continue;
        const QTextLine line = layout->lineAt(0);
        const qreal middle = layout->position().y() + line.y() + line.height() / 2;
        const auto style = ParagraphStyle::of(block.blockFormat());
        const bool rtl = style && style->direction == TextDirection::rtl;
        const int x = rtl ? column.left() + column.width() + 8 : column.left() - 8 - 14;
        const int y = column.top() + int(std::lround(middle)) - scrolled - 7;
        list.append({QRect(x, y, 14, 14), i, folds_.isCollapsed(block), rtl});
    }
    return list;
}

bool NoteTextView::toggleSection(const QPoint& point)
{
    for (const Chevron& chevron : chevrons()) {
        if (!chevron.rect.adjusted(-5, -5, 5, 5).contains(point))
            continue;
        const QList<Sections::Heading> headings = Sections::headings(*document());
        if (chevron.ordinal >= headings.size())
            return false;
        const QTextBlock block = document()->findBlock(headings[chevron.ordinal].range.location);
        folds_.setCollapsed(block, !chevron.collapsed);
        sectionsDidChange();
        return true;
    }
    return false;
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
