#include "noteeditor.h"

#include "findbar.h"
#include "formatpopover.h"
#include "note.h"
#include "notetextview.h"
#include "popover.h"
#include "richtext.h"
#include "sections.h"
#include "textutil.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

struct Named {
    NoteEditor::Command command;
    QStringView raw;
};

const QList<Named>& names()
{
    using C = NoteEditor::Command;
    static const QList<Named> list = {
        {C::title, u"formatTitle:"},         {C::heading, u"formatHeading:"},
        {C::subheading, u"formatSubheading:"}, {C::body, u"formatBody:"},
        {C::bold, u"toggleBold:"},           {C::italic, u"toggleItalic:"},
        {C::underline, u"toggleUnderline:"}, {C::bullets, u"toggleBullets:"},
        {C::numbers, u"toggleNumbers:"},     {C::checklist, u"toggleChecklist:"},
        {C::divider, u"insertDivider:"},     {C::collapsible, u"toggleCollapsibleSection:"},
    };
    return list;
}

} // namespace

const QList<NoteEditor::Command>& NoteEditor::allCommands()
{
    static const QList<Command> list = [] {
        QList<Command> all;
        for (const Named& n : names())
            all.append(n.command);
        return all;
    }();
    return list;
}

QString NoteEditor::rawValue(Command command)
{
    for (const Named& n : names()) {
        if (n.command == command)
            return n.raw.toString();
    }
    return {};
}

std::optional<NoteEditor::Command> NoteEditor::command(QStringView rawValue)
{
    for (const Named& n : names()) {
        if (n.raw == rawValue)
            return n.command;
    }
    return std::nullopt;
}

NoteEditor::NoteEditor(QWidget* parent)
    : QWidget(parent), textView_(new NoteTextView(this)), findBar_(new FindBar(textView_, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(textView_, 1);
    layout->addWidget(findBar_);
    setFocusProxy(textView_);
    // Find's keys go to the text first, as Undo does: the menus keep them only while
    // the note does not have the keys.
    textView_->installEventFilter(this);

    connect(textView_, &NoteTextView::edited, this, &NoteEditor::changed);
    textView_->onSectionsChanged = [editor = QPointer<NoteEditor>(this)] {
        if (editor)
            editor->changed();
    };
    applyColors();
}

NoteEditor::~NoteEditor() = default;

void NoteEditor::changed()
{
    if (!isLoading_ && onChange_)
        onChange_();
}

void NoteEditor::showText(std::unique_ptr<QTextDocument> text, QTextCursor::MoveOperation caret)
{
    isLoading_ = true;
    textView_->setNoteText(std::move(text));
    QTextCursor c = textView_->textCursor();
    c.movePosition(caret);
    textView_->setTextCursor(c);
    if (textView_->document()->isEmpty())
        textView_->setCurrentCharFormat(NoteTextView::bodyTypingAttributes());
    // Wherever the caret waits, the note shows from its start.
    textView_->verticalScrollBar()->setValue(0);
    isLoading_ = false;
    findBar_->refresh();
}

void NoteEditor::load(const std::optional<QByteArray>& rtf, const QString& plain)
{
    std::unique_ptr<QTextDocument> text;
    if (rtf) {
        if (auto decoded = RichText::decode(*rtf)) {
            text = std::move(decoded->text);
            Sections::applyState(decoded->collapsible, decoded->collapsed, *text);
        }
    }
    if (!text)
        text = RichText::plain(plain);
    showText(std::move(text), QTextCursor::End);
}

void NoteEditor::load(const Note& note)
{
    std::unique_ptr<QTextDocument> text(note.attributedText().clone());
    Sections::applyState(note.collapsibleSections(), note.collapsedSections(), *text);
    showText(std::move(text), QTextCursor::Start);
}

void NoteEditor::store(Note& note) const
{
    note.setAttributedText(textView_->noteText());
    note.setCollapsibleSections(textView_->collapsibleOrdinals());
    note.setCollapsedSections(textView_->collapsedOrdinals());
}

std::optional<QByteArray> NoteEditor::rtf() const
{
    const QByteArray data = RichText::encode(*textView_->noteText(), textView_->collapsibleOrdinals(),
                                             textView_->collapsedOrdinals(), std::nullopt);
    if (data.isEmpty())
        return std::nullopt;
    return data;
}

QString NoteEditor::plainText() const
{
    return pemby::documentText(*textView_->document());
}

bool NoteEditor::isEmpty() const
{
    return pemby::trimWhitespace(plainText()).isEmpty();
}

bool NoteEditor::isEditable() const
{
    return !textView_->isReadOnly();
}

void NoteEditor::setEditable(bool editable)
{
    textView_->setReadOnly(!editable);
}

void NoteEditor::focus()
{
    if (window() && window()->isVisible())
        textView_->setFocus(Qt::OtherFocusReason);
}

Popover* NoteEditor::showFormat(QWidget* anchor)
{
    auto* popover = new Popover(anchor ? anchor->window() : window());
    popover->setContent(new FormatPopoverViewController(textView_));
    connect(popover, &Popover::closed, popover, &QObject::deleteLater);
    // The palette formats the text without ever holding the keys: however it goes
    // (Escape, or a click outside that it takes for itself), the note has them.
    connect(popover, &Popover::closed, textView_, [view = textView_] {
        if (view->isVisible() && !view->isReadOnly())
            view->setFocus(Qt::PopupFocusReason);
    });
    popover->showAt(anchor ? anchor : static_cast<QWidget*>(this), Qt::BottomEdge);
    return popover;
}

bool NoteEditor::perform(Command command)
{
    auto* view = qobject_cast<NoteTextView*>(QApplication::focusWidget());
    if (!view)
        return false;
    return view->perform(rawValue(command));
}

bool NoteEditor::isEditing()
{
    return qobject_cast<NoteTextView*>(QApplication::focusWidget()) != nullptr;
}

void NoteEditor::setBackground(const QColor& color)
{
    background_ = color;
    applyColors();
}

void NoteEditor::setSelection(const QColor& color)
{
    selection_ = color;
    applyColors();
}

QColor NoteEditor::background() const
{
    return textView_->palette().color(QPalette::Base);
}

QColor NoteEditor::selection() const
{
    return textView_->palette().color(QPalette::Highlight);
}

void NoteEditor::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColors();
}

bool NoteEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != textView_ || (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress))
        return QWidget::eventFilter(watched, event);
    const FindBar::Key key = FindBar::keyOf(static_cast<QKeyEvent*>(event));
    // An empty editor that takes no typing (no note shown) has nothing to find in.
    if (key == FindBar::Key::none || (textView_->isReadOnly() && textView_->document()->isEmpty()))
        return false;
    event->accept();
    if (event->type() == QEvent::ShortcutOverride)
        return true;
    const bool searched = !findBar_->isHidden() || !findBar_->findField()->text().isEmpty();
    switch (key) {
    case FindBar::Key::find: findBar_->open(false); break;
    case FindBar::Key::replace: findBar_->open(true); break;
    case FindBar::Key::next:
    case FindBar::Key::previous:
        // With something to look for, the keys stay in the text as it moves on.
        if (!searched) {
            findBar_->open(false);
            break;
        }
        findBar_->show();
        if (key == FindBar::Key::next)
            findBar_->findNext();
        else
            findBar_->findPrevious();
        break;
    case FindBar::Key::none: break;
    }
    return true;
}

void NoteEditor::applyColors()
{
    QPalette p = palette();
    if (background_)
        p.setColor(QPalette::Base, *background_);
    if (selection_)
        p.setColor(QPalette::Highlight, *selection_);
    // A selection shows behind the text; the text keeps its own colour.
    p.setColor(QPalette::HighlightedText, p.color(QPalette::Text));
    textView_->setPalette(p);
    textView_->viewport()->update();
    findBar_->setBackground(p.color(QPalette::Base));
}
