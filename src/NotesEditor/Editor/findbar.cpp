#include "findbar.h"

#include "notetextview.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QFont barFont(const QWidget* widget)
{
    QFont f = widget->font();
    f.setPixelSize(13);
    return f;
}

QToolButton* glyphButton(const QString& glyph, const QString& tip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setText(glyph);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setAutoRaise(true);
    button->setFixedSize(24, 24);
    QFont f = button->font();
    f.setPixelSize(17);
    button->setFont(f);
    // The keys stay in the field or the text.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

FindBar::FindBar(NoteTextView* view, QWidget* parent) : QWidget(parent), view_(view)
{
    setFont(barFont(this));

    find_ = new QLineEdit(this);
    find_->setPlaceholderText(QStringLiteral("Find"));
    find_->setClearButtonEnabled(true);
    previous_ = glyphButton(QStringLiteral("\u2039"), QStringLiteral("Previous"), this);
    next_ = glyphButton(QStringLiteral("\u203A"), QStringLiteral("Next"), this);
    count_ = new QLabel(this);
    count_->setMinimumWidth(72);
    count_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    matchCase_ = new QCheckBox(QStringLiteral("Match Case"), this);
    matchCase_->setFocusPolicy(Qt::NoFocus);
    close_ = glyphButton(QStringLiteral("\u2715"), QStringLiteral("Close"), this);

    auto* findRow = new QHBoxLayout;
    findRow->setContentsMargins(0, 0, 0, 0);
    findRow->setSpacing(6);
    findRow->addWidget(find_, 1);
    findRow->addWidget(count_);
    findRow->addWidget(previous_);
    findRow->addWidget(next_);
    findRow->addWidget(matchCase_);
    findRow->addWidget(close_);

    replaceRow_ = new QWidget(this);
    replace_ = new QLineEdit(replaceRow_);
    replace_->setPlaceholderText(QStringLiteral("Replace"));
    replaceOne_ = new QPushButton(QStringLiteral("Replace"), replaceRow_);
    replaceEvery_ = new QPushButton(QStringLiteral("Replace All"), replaceRow_);
    for (QPushButton* b : {replaceOne_, replaceEvery_}) {
        b->setFocusPolicy(Qt::NoFocus);
        // Inside a sheet, Return must not press one of these.
        b->setAutoDefault(false);
    }
    auto* replaceLayout = new QHBoxLayout(replaceRow_);
    replaceLayout->setContentsMargins(0, 0, 0, 0);
    replaceLayout->setSpacing(6);
    replaceLayout->addWidget(replace_, 1);
    replaceLayout->addWidget(replaceOne_);
    replaceLayout->addWidget(replaceEvery_);
    replaceRow_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 7, 12, 7);
    layout->setSpacing(6);
    layout->addLayout(findRow);
    layout->addWidget(replaceRow_);

    find_->installEventFilter(this);
    replace_->installEventFilter(this);

    connect(find_, &QLineEdit::textEdited, this, &FindBar::searchFromOrigin);
    // The clear button changes the text without an edit.
    connect(find_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty())
            searchFromOrigin();
    });
    connect(previous_, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(next_, &QToolButton::clicked, this, &FindBar::findNext);
    connect(close_, &QToolButton::clicked, this, &FindBar::dismiss);
    connect(matchCase_, &QCheckBox::toggled, this, &FindBar::searchFromOrigin);
    connect(replaceOne_, &QPushButton::clicked, this, &FindBar::replaceCurrent);
    connect(replaceEvery_, &QPushButton::clicked, this, &FindBar::replaceAll);
    // Matches move with the user's edits: marked and counted again once the edit is done.
    connect(view_, &NoteTextView::edited, this, [this] {
        if (!isVisible() || refreshQueued_)
            return;
        refreshQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            refreshQueued_ = false;
            refresh();
        });
    });
    hide();
}

FindBar::Key FindBar::keyOf(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_F: return Key::find;
        case Qt::Key_G: return Key::next;
        case Qt::Key_H: return Key::replace;
        default: break;
        }
    }
    if (mods == (Qt::ControlModifier | Qt::ShiftModifier) && event->key() == Qt::Key_G)
        return Key::previous;
    return Key::none;
}

bool FindBar::isReplacing() const
{
    return !replaceRow_->isHidden();
}

void FindBar::setReplacing(bool on)
{
    replaceRow_->setVisible(on && !view_->isReadOnly());
}

void FindBar::open(bool replace)
{
    if (replace || isHidden())
        setReplacing(replace);
    const bool wasHidden = isHidden();
    show();
    origin_ = view_->textCursor().selectionStart();
    find_->setFocus(Qt::ShortcutFocusReason);
    find_->selectAll();
    if (wasHidden)
        refresh();
}

void FindBar::dismiss()
{
    hide();
    view_->setExtraSelections({});
    view_->setFocus(Qt::OtherFocusReason);
}

QList<TextRange> FindBar::matches() const
{
    QList<TextRange> list;
    const QString needle = find_->text();
    if (needle.isEmpty())
        return list;
    const QTextDocument* text = view_->document();
    const QTextDocument::FindFlags flags = matchCase_->isChecked() ? QTextDocument::FindCaseSensitively
                                                                   : QTextDocument::FindFlags();
    QTextCursor at(const_cast<QTextDocument*>(text));
    for (;;) {
        at = text->find(needle, at, flags);
        if (at.isNull())
            break;
        list.append({at.selectionStart(), at.selectionEnd() - at.selectionStart()});
    }
    return list;
}

std::optional<int> FindBar::selectedMatch(const QList<TextRange>& matches) const
{
    const QTextCursor c = view_->textCursor();
    const TextRange selected{c.selectionStart(), c.selectionEnd() - c.selectionStart()};
    const auto it = std::lower_bound(matches.begin(), matches.end(), selected.location,
                                     [](const TextRange& m, int p) { return m.location < p; });
    if (it != matches.end() && *it == selected)
        return int(it - matches.begin());
    return std::nullopt;
}

void FindBar::select(const TextRange& match)
{
    // A match inside a folded section shows it.
    view_->reveal(match.location, match.end());
    QTextCursor c(view_->document());
    c.setPosition(match.location);
    c.setPosition(match.end(), QTextCursor::KeepAnchor);
    view_->setTextCursor(c);
    view_->ensureCursorVisible();
}

void FindBar::searchFromOrigin()
{
    const QList<TextRange> found = matches();
    if (!found.isEmpty()) {
        const auto it = std::find_if(found.begin(), found.end(), [this](const TextRange& m) { return m.location >= origin_; });
        select(it != found.end() ? *it : found.first());
    }
    mark(found);
    showCount(found);
}

bool FindBar::findNext()
{
    const QList<TextRange> found = matches();
    if (found.isEmpty()) {
        mark(found);
        showCount(found);
        return false;
    }
    const int from = view_->textCursor().selectionEnd();
    const std::optional<int> current = selectedMatch(found);
    auto it = std::find_if(found.begin(), found.end(), [&](const TextRange& m) {
        return current ? m.location > found[*current].location : m.location >= from;
    });
    const TextRange match = it != found.end() ? *it : found.first();
    select(match);
    origin_ = match.location;
    mark(found);
    showCount(found);
    return true;
}

bool FindBar::findPrevious()
{
    const QList<TextRange> found = matches();
    if (found.isEmpty()) {
        mark(found);
        showCount(found);
        return false;
    }
    const int from = view_->textCursor().selectionStart();
    const auto it = std::find_if(found.rbegin(), found.rend(), [&](const TextRange& m) { return m.location < from; });
    const TextRange match = it != found.rend() ? *it : found.last();
    select(match);
    origin_ = match.location;
    mark(found);
    showCount(found);
    return true;
}

void FindBar::replaceCurrent()
{
    if (view_->isReadOnly())
        return;
    const QList<TextRange> found = matches();
    if (const std::optional<int> current = selectedMatch(found)) {
        const TextRange match = found[*current];
        view_->replaceText(match.location, match.end(), replace_->text());
    }
    findNext();
}

int FindBar::replaceAll()
{
    if (view_->isReadOnly())
        return 0;
    const int count = view_->replaceAll(matches(), replace_->text());
    refresh();
    return count;
}

void FindBar::refresh()
{
    if (isHidden())
        return;
    const QList<TextRange> found = matches();
    mark(found);
    showCount(found);
}

void FindBar::mark(const QList<TextRange>& matches)
{
    QList<QTextEdit::ExtraSelection> marks;
    marks.reserve(matches.size());
    QTextCharFormat look;
    look.setBackground(QColor(0xF5, 0xC5, 0x18, 0x70));
    // The marks lie over the selection: the match that is selected gets a stronger one.
    QTextCharFormat current;
    current.setBackground(QColor(0xF5, 0x9E, 0x0B, 0xD0));
    const std::optional<int> selected = selectedMatch(matches);
    for (qsizetype i = 0; i < matches.size(); ++i) {
        QTextCursor c(view_->document());
        c.setPosition(matches[i].location);
        c.setPosition(matches[i].end(), QTextCursor::KeepAnchor);
        marks.append({c, selected == i ? current : look});
    }
    view_->setExtraSelections(marks);
}

void FindBar::showCount(const QList<TextRange>& matches)
{
    if (find_->text().isEmpty())
        count_->clear();
    else if (matches.isEmpty())
        count_->setText(QStringLiteral("Not found"));
    else if (const std::optional<int> current = selectedMatch(matches))
        count_->setText(QStringLiteral("%1 of %2").arg(*current + 1).arg(matches.size()));
    else
        count_->setText(matches.size() == 1 ? QStringLiteral("1 match") : QStringLiteral("%1 matches").arg(matches.size()));
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    const bool escape = key->key() == Qt::Key_Escape && mods == Qt::NoModifier;
    const bool enter = (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        && (mods == Qt::NoModifier || mods == Qt::ShiftModifier);
    const Key command = keyOf(key);
    if (!escape && !enter && command == Key::none)
        return false;
    // The bar's keys are the bar's, not the menus' or the sheet's.
    event->accept();
    if (event->type() == QEvent::ShortcutOverride)
        return true;
    if (escape) {
        dismiss();
    } else if (enter) {
        if (watched == replace_)
            replaceCurrent();
        else if (mods & Qt::ShiftModifier)
            findPrevious();
        else
            findNext();
    } else {
        switch (command) {
        case Key::find:
            find_->setFocus(Qt::ShortcutFocusReason);
            find_->selectAll();
            break;
        case Key::next: findNext(); break;
        case Key::previous: findPrevious(); break;
        case Key::replace:
            setReplacing(true);
            if (isReplacing())
                replace_->setFocus(Qt::ShortcutFocusReason);
            break;
        case Key::none: break;
        }
    }
    return true;
}

void FindBar::setBackground(const QColor& color)
{
    if (color == background_)
        return;
    background_ = color;
    update();
}

void FindBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), background_.isValid() ? background_ : palette().color(QPalette::Base));
    // A hairline between the text and the bar.
    QColor line = palette().color(QPalette::Text);
    line.setAlphaF(0.12);
    p.fillRect(QRect(0, 0, width(), 1), line);
}
