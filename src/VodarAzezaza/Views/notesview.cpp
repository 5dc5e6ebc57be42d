#include "notesview.h"

#include "appmodel.h"
#include "documentcompare.h"
#include "motion.h"
#include "note.h"
#include "noteeditor.h"
#include "notelist.h"
#include "notesmodel.h"
#include "notetextview.h"
#include "palette.h"
#include "pixelgrid.h"
#include "pixelview.h"
#include "pressstyle.h"
#include "ruleline.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The search row's magnifier, drawn in the muted ink at the size of 12 px text.
class SearchGlyph : public QWidget {
public:
    explicit SearchGlyph(QWidget* parent) : QWidget(parent) { setFixedSize(14, 14); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(Palette::pembyMuted), 1.5, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(6, 6), 4.25, 4.25);
        p.drawLine(QPointF(9.2, 9.2), QPointF(12.5, 12.5));
    }
};

// The search text: Return picks the first hit, Escape clears the search; both give the
// list the keys.
class SearchField : public QLineEdit {
public:
    SearchField(NotesModel& notes, std::function<void()> toList, QWidget* parent)
        : QLineEdit(parent), notes_(notes), toList_(std::move(toList))
    {
        setPlaceholderText(QStringLiteral("Search notes"));
        QFont f = font();
        f.setPixelSize(13);
        setFont(f);
        setFrame(false);
        QPalette p = palette();
        p.setColor(QPalette::Base, Qt::transparent);
        setPalette(p);
        setAttribute(Qt::WA_MacShowFocusRect, false);
        setText(notes_.query());
        connect(this, &QLineEdit::textEdited, this, [this](const QString& text) { notes_.setQuery(text); });
        connect(&notes_, &NotesModel::queryChanged, this, [this] {
            if (text() != notes_.query())
                setText(notes_.query());
        });
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::ShortcutOverride && isOwnKey(*static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
        return QLineEdit::event(event);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!isOwnKey(*event)) {
            QLineEdit::keyPressEvent(event);
            return;
        }
        if (event->key() == Qt::Key_Escape) {
            notes_.setQuery(QString());
        } else {
            const auto visible = notes_.visible();
            notes_.select(visible.isEmpty() ? std::nullopt : std::optional<QString>(visible.first()->id()));
        }
        toList_();
        event->accept();
    }

private:
    static bool isOwnKey(const QKeyEvent& event)
    {
        const int key = event.key();
        return (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)
            && !(event.modifiers() & ~Qt::KeypadModifier);
    }

    NotesModel& notes_;
    std::function<void()> toList_;
};

// The plus that makes a new note.
class NewNoteButton : public QAbstractButton {
public:
    explicit NewNoteButton(QWidget* parent) : QAbstractButton(parent)
    {
        setFixedSize(22, 22);
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        press_.apply(p, rect());
        PixelView::paint(p, rect(), Pixels::plus(), 2, Inks::standard(), Palette::pembyMuted);
    }

private:
    PressStyle press_{this};
};

// What the pane shows while no note is selected; a click makes a new note.
class EmptyPane : public QWidget {
public:
    EmptyPane(NotesModel& notes, QWidget* parent) : QWidget(parent), notes_(notes)
    {
        auto* layout = new QVBoxLayout(this);
        layout->setSpacing(12);
        layout->addStretch(1);
        auto* mark = PixelView::mark(Pixels::markSmall(), 4, this);
        layout->addWidget(mark, 0, Qt::AlignHCenter);
        auto* text = new Caption(QStringLiteral("Pick one. Or don't."), this);
        layout->addWidget(text, 0, Qt::AlignHCenter);
        layout->addStretch(1);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(Palette::pembyBackground)); }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            notes_.create();
    }

private:
    class Caption : public QWidget {
    public:
        Caption(QString text, QWidget* parent) : QWidget(parent), text_(std::move(text))
        {
            QFont f = font();
            f.setPixelSize(13);
            setFont(f);
            setAttribute(Qt::WA_TransparentForMouseEvents);
        }
        QSize sizeHint() const override { return {fontMetrics().horizontalAdvance(text_) + 2, fontMetrics().height()}; }

    protected:
        void paintEvent(QPaintEvent*) override
        {
            QPainter p(this);
            p.setPen(QColor(Palette::pembyMuted));
            p.drawText(rect(), Qt::AlignCenter, text_);
        }

    private:
        QString text_;
    };

    NotesModel& notes_;
};

} // namespace

// ---- The list column -------------------------------------------------------------

NotesList::NotesList(NotesModel& notes, QWidget* parent) : QWidget(parent), notes_(notes)
{
    setFixedWidth(columnWidth);

    auto* searchRow = new QWidget(this);
    searchRow->setFixedHeight(searchRowHeight);
    auto* row = new QHBoxLayout(searchRow);
    row->setContentsMargins(14, 0, 14, 0);
    row->setSpacing(8);
    row->addWidget(new SearchGlyph(searchRow));
    list_ = new NoteListView(notes_, this);
    search_ = new SearchField(notes_, [this] { list_->setFocus(Qt::OtherFocusReason); }, searchRow);
    row->addWidget(search_, 1);
    newNote_ = new NewNoteButton(searchRow);
    newNote_->setToolTip(newNoteToolTip());
    newNote_->setAccessibleName(QStringLiteral("New note"));
    row->addWidget(newNote_);
    connect(newNote_, &QAbstractButton::clicked, this, [this] { Motion::pointer([this] { notes_.create(); }); });

    list_->setKeyHandler([this](const KeyPress& press, bool run) { return handle(press, run) == KeyPress::Result::Handled; });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(searchRow);
    layout->addWidget(new RuleLine(Qt::Horizontal, this));
    layout->addWidget(list_, 1);
    setFocusProxy(list_);

    connect(&notes_, &NotesModel::searchRequestChanged, this, [this] { search_->setFocus(Qt::ShortcutFocusReason); });
}

QString NotesList::newNoteToolTip()
{
    return QStringLiteral("New note ") + QKeySequence(Qt::CTRL | Qt::Key_N).toString(QKeySequence::NativeText);
}

KeyPress::Result NotesList::handle(const KeyPress& press, bool run)
{
    using Result = KeyPress::Result;
    // The rename field has the keys.
    if (notes_.renaming())
        return Result::Ignored;
    const std::optional<QString> selected = notes_.selectedID();
    const bool deletes = press.key == Qt::Key_Backspace || press.key == Qt::Key_Delete || press.text == QStringLiteral("\x7f");
    if (deletes) {
        if (!selected)
            return Result::Ignored;
        if (run)
            notes_.deleteNote(*selected);
        return Result::Handled;
    }
    if (press.key == Qt::Key_Up || press.key == Qt::Key_Down) {
        if (run)
            notes_.moveSelection(press.key == Qt::Key_Up ? -1 : 1);
        return Result::Handled;
    }
    if (press.key == Qt::Key_Return || press.key == Qt::Key_Enter) {
        if (!selected)
            return Result::Ignored;
        if (run && press.command)
            notes_.requestEdit();
        else if (run)
            notes_.setRenaming(*selected);
        return Result::Handled;
    }
    if (press.key == Qt::Key_Escape) {
        if (run)
            notes_.select(std::nullopt);
        return Result::Handled;
    }
    return Result::Ignored;
}

void NotesList::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), QColor(Palette::pembyWell));
}

void NotesList::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The list has the keys whenever the screen comes up.
    QTimer::singleShot(0, list_, [list = list_] { list->setFocus(Qt::OtherFocusReason); });
}

// ---- The editor pane -------------------------------------------------------------

NotesEditorPane::NotesEditorPane(NotesModel& notes, QWidget* parent, std::chrono::milliseconds delay)
    : QWidget(parent), notes_(notes), alive_(&notes), bridge_(this)
{
    host_ = new NoteEditorHost(bridge_, delay, [this] { save(); }, this);
    cutShort_ = new QLabel(cutShortText(), this);
    cutShort_->setTextFormat(Qt::PlainText);
    cutShort_->setWordWrap(true);
    cutShort_->setContentsMargins(24, 14, 64, 0);
    QFont noticeFont = cutShort_->font();
    noticeFont.setPixelSize(12);
    cutShort_->setFont(noticeFont);
    QPalette noticeColors = cutShort_->palette();
    noticeColors.setColor(QPalette::WindowText, QColor(Palette::pembyMuted));
    cutShort_->setPalette(noticeColors);
    cutShort_->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(cutShort_);
    layout->addWidget(host_, 1);

    empty_ = new EmptyPane(notes_, this);
    format_ = new FormatButton(bridge_, this);
    // A click on the pane around the text ("Aa" among it) leaves the keys in the note;
    // without a proxy the board area under the screen would take them.
    setFocusProxy(host_);
    bridge_.editor().setEditable(false);

    connect(&notes_, &NotesModel::selectedIDChanged, this, [this] {
        showNote(notes_.selected(), false);
        refreshChrome();
    });
    connect(&notes_, &NotesModel::notesChanged, this, &NotesEditorPane::refreshChrome);
    connect(&notes_, &NotesModel::diskRevisionChanged, this, [this] {
        // A re-read that left the shown note as it was leaves the editor alone: the
        // caret, the scroll and whatever is being typed stay.
        const std::shared_ptr<Note> note = notes_.selected();
        showNote(note, note != shown_ || (note && note->version() != shownVersion_));
    });
    connect(&notes_, &NotesModel::editRequestChanged, this, [this] {
        showNote(notes_.selected(), false);
        QTimer::singleShot(0, this, [this] { bridge_.editor().focus(); });
    });
    refreshChrome();
}

NotesEditorPane::~NotesEditorPane()
{
    letGo();
}

void NotesEditorPane::letGo()
{
    save();
    if (flushes_ && alive_)
        notes_.setFlushEditor({});
    flushes_ = false;
}

void NotesEditorPane::showNote(const std::shared_ptr<Note>& note, bool force)
{
    if (!force && note == shown_)
        return;
    // What was typed into the note shown so far is stored by the model's flush before
    // it moves on; the editor now holds another text.
    host_->cancelPending();
    shown_ = note;
    shownVersion_ = note ? note->version() : -1;
    if (note)
        bridge_.editor().load(*note);
    else
        bridge_.editor().load(std::nullopt, QString());
    // Only the start of a note too long to open is held, and it is never written back.
    bridge_.editor().setEditable(note && !note->isCutShort());
    cutShort_->setVisible(note && note->isCutShort());
    refreshChrome();
}

QString NotesEditorPane::cutShortText()
{
    return QStringLiteral("too long to open here: this is only its start, read only, and the file stays as it is. "
                          "Pemby Notes can open it whole.");
}

void NotesEditorPane::save()
{
    host_->cancelPending();
    // Only into a note the model still holds: a note trashed meanwhile would come back
    // with its file.
    if (!shown_ || !alive_ || !notes_.notes().contains(shown_) || shown_->isCutShort())
        return;
    const NoteTextView& view = *bridge_.editor().textView();
    const std::unique_ptr<QTextDocument> text = view.noteText();
    const bool textChanged = !DocumentCompare::sameIgnoringFolds(*text, shown_->attributedText());
    const bool foldsChanged = view.collapsibleOrdinals() != shown_->collapsibleSections()
        || view.collapsedOrdinals() != shown_->collapsedSections();
    if (!textChanged && !foldsChanged)
        return;
    bridge_.editor().store(*shown_);
    shownVersion_ = shown_->version();
    notes_.edited(shown_, textChanged);
}

void NotesEditorPane::refreshChrome()
{
    const std::shared_ptr<Note> picked = notes_.selected();
    empty_->setVisible(!picked);
    format_->setVisible(picked && !picked->isCutShort());
    placeChrome();
}

void NotesEditorPane::placeChrome()
{
    empty_->setGeometry(rect());
    empty_->raise();
    format_->move(width() - 12 - format_->width(), 12);
    format_->raise();
}

void NotesEditorPane::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    notes_.setFlushEditor([this] { save(); });
    flushes_ = true;
    showNote(notes_.selected(), false);
}

void NotesEditorPane::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    letGo();
}

void NotesEditorPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeChrome();
}

void NotesEditorPane::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), QColor(Palette::pembyBackground));
}

// ---- The screen ------------------------------------------------------------------

NotesView::NotesView(AppModel& model, QWidget* parent, std::chrono::milliseconds delay)
    : QWidget(parent), notes_(model.notes())
{
    list_ = new NotesList(notes_, this);
    pane_ = new NotesEditorPane(notes_, this, delay);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(list_);
    layout->addWidget(new RuleLine(Qt::Vertical, this));
    layout->addWidget(pane_, 1);
}

void NotesView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    notes_.reloadInSteps();
}

void NotesView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), QColor(Palette::pembyBackground));
}
