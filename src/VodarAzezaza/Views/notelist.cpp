#include "notelist.h"

#include "editfield.h"
#include "motion.h"
#include "note.h"
#include "notesmodel.h"
#include "palette.h"
#include "pembyfont.h"
#include "plaintext.h"
#include "relativeday.h"
#include "textutil.h"
#include "titletext.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHash>
#include <QSet>
#include <QHelpEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolTip>

namespace {

QString emptyText(const NotesModel& notes)
{
    return pemby::trimWhitespace(notes.query()).isEmpty() ? QStringLiteral("nothing here. suspicious.")
                                                          : QStringLiteral("Nothing. Maybe you never wrote it.");
}

QFont emptyFont(const NotesModel& notes)
{
    if (!pemby::trimWhitespace(notes.query()).isEmpty()) {
        QFont f;
        f.setPixelSize(13);
        return f;
    }
    return PembyFont::font(20);
}

QColor faded(QColor color, qreal amount)
{
    color.setAlphaF(color.alphaF() * float(amount));
    return color;
}

} // namespace

// ---- The model -------------------------------------------------------------------

NoteListModel::NoteListModel(NotesModel& notes, QObject* parent) : QAbstractListModel(parent), notes_(notes)
{
    shown_ = notes_.visible();
}

int NoteListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return int(shown_.size()) + (shown_.isEmpty() ? 1 : 0) + 1;
}

NoteListModel::Kind NoteListModel::kind(int row) const
{
    if (row < shown_.size())
        return Kind::Note;
    if (shown_.isEmpty() && row == 0)
        return Kind::Empty;
    return Kind::Strip;
}

std::shared_ptr<Note> NoteListModel::note(int row) const
{
    return row >= 0 && row < shown_.size() ? shown_[row] : nullptr;
}

QModelIndex NoteListModel::indexOf(const QString& id) const
{
    for (qsizetype row = 0; row < shown_.size(); ++row) {
        if (shown_[row]->id() == id)
            return index(int(row));
    }
    return {};
}

QVariant NoteListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    switch (kind(index.row())) {
    case Kind::Note:
        return shown_[index.row()]->title();
    case Kind::Empty:
        return emptyText(notes_);
    case Kind::Strip:
        return {};
    }
    return {};
}

Qt::ItemFlags NoteListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || kind(index.row()) != Kind::Note)
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled;
}

bool NoteListModel::sync()
{
    QList<std::shared_ptr<Note>> next = notes_.visible();
    if (next == shown_) {
        // Same notes in the same places: only what rows say may have changed.
        if (!shown_.isEmpty())
            emit dataChanged(index(0), index(int(shown_.size()) - 1));
        return false;
    }
    if (shown_.isEmpty() || next.isEmpty()) {
        // The line that says there are none comes or goes.
        beginResetModel();
        shown_ = std::move(next);
        endResetModel();
        return true;
    }
    // A row is a note's id: a note read again from its file keeps its row, and what
    // follows a row (an open rename field, the hover, the place in the list) stays.
    QHash<QString, int> rowOf;
    rowOf.reserve(next.size());
    for (qsizetype row = 0; row < next.size(); ++row)
        rowOf.insert(next[row]->id(), int(row));

    // Rows whose notes are gone, from the bottom, a run at a time.
    for (qsizetype row = shown_.size() - 1; row >= 0;) {
        if (rowOf.contains(shown_[row]->id())) {
            --row;
            continue;
        }
        qsizetype first = row;
        while (first > 0 && !rowOf.contains(shown_[first - 1]->id()))
            --first;
        beginRemoveRows({}, int(first), int(row));
        shown_.remove(first, row - first + 1);
        endRemoveRows();
        row = first - 1;
    }

    // The rows that stay, in their new order.
    QList<std::shared_ptr<Note>> staying = shown_;
    std::stable_sort(staying.begin(), staying.end(),
                     [&](const auto& a, const auto& b) { return rowOf.value(a->id()) < rowOf.value(b->id()); });
    if (staying != shown_) {
        // A save re-sorts the list: the rows move, and whatever follows a row moves with it.
        QHash<QString, int> stayingRow;
        for (qsizetype row = 0; row < staying.size(); ++row)
            stayingRow.insert(staying[row]->id(), int(row));
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const QModelIndexList before = persistentIndexList();
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& was : before) {
            const int row = was.row() < shown_.size() ? stayingRow.value(shown_[was.row()]->id()) : was.row();
            after.append(index(row));
        }
        shown_ = std::move(staying);
        changePersistentIndexList(before, after);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

    // New notes in their places, a run at a time; the rows above are next's already.
    QSet<QString> present;
    for (const auto& note : std::as_const(shown_))
        present.insert(note->id());
    for (qsizetype row = 0; row < next.size();) {
        if (present.contains(next[row]->id())) {
            ++row;
            continue;
        }
        qsizetype end = row + 1;
        while (end < next.size() && !present.contains(next[end]->id()))
            ++end;
        beginInsertRows({}, int(row), int(end - 1));
        for (qsizetype i = row; i < end; ++i)
            shown_.insert(i, next[i]);
        endInsertRows();
        row = end;
    }

    // Notes read again take their rows' places.
    shown_ = std::move(next);
    emit dataChanged(index(0), index(int(shown_.size()) - 1));
    return false;
}

// ---- The rows --------------------------------------------------------------------

NoteRowDelegate::NoteRowDelegate(NotesModel& notes, NoteListView* view)
    : QAbstractItemDelegate(view), notes_(notes), view_(view)
{
}

QFont NoteRowDelegate::titleFont()
{
    QFont f;
    f.setPixelSize(13);
    f.setWeight(QFont::DemiBold);
    return f;
}

QFont NoteRowDelegate::infoFont()
{
    QFont f;
    f.setPixelSize(12);
    return f;
}

int NoteRowDelegate::rowHeight()
{
    static const int height = rowPaddingY + QFontMetrics(titleFont()).height() + lineSpacing
        + QFontMetrics(infoFont()).height() + rowPaddingY;
    return height;
}

QRect NoteRowDelegate::frame(const QRect& itemRect, int row)
{
    const int top = itemRect.top() + (row == 0 ? listPadding : 0);
    return QRect(itemRect.left() + listPadding, top, itemRect.width() - 2 * listPadding, rowHeight());
}

QRect NoteRowDelegate::titleLine(const QRect& itemRect, int row)
{
    const QRect f = frame(itemRect, row);
    return QRect(f.left() + rowPaddingX, f.top() + rowPaddingY, f.width() - 2 * rowPaddingX,
                 QFontMetrics(titleFont()).height());
}

QSize NoteRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const
{
    const auto* model = static_cast<const NoteListModel*>(index.model());
    const int width = view_->viewport()->width();
    const int top = index.row() == 0 ? listPadding : 0;
    switch (model->kind(index.row())) {
    case NoteListModel::Kind::Note:
        return {width, top + rowHeight() + rowSpacing};
    case NoteListModel::Kind::Empty:
        return {width, top + emptyTop + QFontMetrics(emptyFont(notes_)).height() + rowSpacing};
    case NoteListModel::Kind::Strip:
        return {width, listPadding + stripHeight};
    }
    return {};
}

void NoteRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* model = static_cast<const NoteListModel*>(index.model());
    const int row = index.row();
    painter->save();
    switch (model->kind(row)) {
    case NoteListModel::Kind::Strip:
        break;
    case NoteListModel::Kind::Empty: {
        const QFont font = emptyFont(notes_);
        painter->setFont(font);
        painter->setPen(QColor(Palette::pembyMuted));
        const QRect line(option.rect.left() + listPadding, option.rect.top() + listPadding + emptyTop,
                         option.rect.width() - 2 * listPadding, QFontMetrics(font).height());
        PembyFont::drawText(*painter, line, Qt::AlignHCenter | Qt::AlignTop, emptyText(notes_));
        break;
    }
    case NoteListModel::Kind::Note: {
        const std::shared_ptr<Note> note = model->note(row);
        const bool renaming = notes_.renaming() == note->id();
        const bool selected = notes_.selectedID() == note->id();
        const QRect f = frame(option.rect, row);
        painter->setRenderHint(QPainter::Antialiasing);
        QColor fill = Qt::transparent;
        if (!renaming) {
            if (selected)
                fill = Palette::pembySelection;
            else if (const qreal hover = view_->hoverAmount(note.get()); hover > 0)
                fill = faded(Palette::pembyWell, hover);
        }
        if (fill.alpha() > 0) {
            QPainterPath path;
            path.addRoundedRect(QRectF(f), cornerRadius, cornerRadius);
            painter->fillPath(path, fill);
        }

        const QRect title = titleLine(option.rect, row);
        if (!renaming) {
            painter->setFont(titleFont());
            painter->setPen(QColor(Palette::pembyText));
            TitleText::draw(*painter, title, TitleText::fit(note->title(), QFontMetrics(titleFont()), title.width()));
        }

        const QFont info = infoFont();
        const QFontMetrics metrics(info);
        const QRect line(title.left(), title.bottom() + 1 + lineSpacing, title.width(), metrics.height());
        const QString day = RelativeDay::string(note->modified(), notes_.now(), QTimeZone::systemTimeZone());
        painter->setFont(info);
        painter->setPen(QColor(Palette::pembyMuted));
        painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter, metrics.elidedText(day, Qt::ElideRight, line.width()));
        const int previewLeft = line.left() + metrics.horizontalAdvance(day) + 6;
        if (previewLeft < line.right() && !note->preview().isEmpty()) {
            const QRect preview(previewLeft, line.top(), line.right() - previewLeft + 1, line.height());
            painter->setPen(QColor(Palette::pembyFaint));
            painter->drawText(preview, Qt::AlignLeft | Qt::AlignVCenter,
                              metrics.elidedText(note->preview(), Qt::ElideRight, preview.width()));
        }
        break;
    }
    }
    painter->restore();
}

QWidget* NoteRowDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    const auto* model = static_cast<const NoteListModel*>(index.model());
    const std::shared_ptr<Note> note = model->note(index.row());
    if (!note)
        return nullptr;
    const QString text = note->title() == Note::untitled() ? QString() : note->title();
    NotesModel* notes = &notes_;
    const QString id = note->id();
    auto* field = new EditField(
        text, QString(), titleFont(), true,
        [notes, id](const QString& typed, EditField::Ending) { notes->rename(id, typed); },
        [notes] { notes->setRenaming(std::nullopt); }, parent);
    // Taken away unfinished (a re-read, quitting): the typed title still counts.
    field->commitOnRemoval(notes, [notes, id](const QString& typed) { notes->rename(id, typed); });
    view_->remember(field);
    return field;
}

void NoteRowDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const
{
    editor->setGeometry(titleLine(option.rect, index.row()).adjusted(0, -3, 0, 3));
}

bool NoteRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip)
        return false;
    const auto* model = static_cast<const NoteListModel*>(index.model());
    const std::shared_ptr<Note> note = model ? model->note(index.row()) : nullptr;
    if (note) {
        // The relative day says roughly when; its tooltip says exactly.
        const QRect title = titleLine(option.rect, index.row());
        const QFontMetrics metrics(infoFont());
        const QString day = RelativeDay::string(note->modified(), notes_.now(), QTimeZone::systemTimeZone());
        const QRect dayRect(title.left(), title.bottom() + 1 + lineSpacing, metrics.horizontalAdvance(day),
                            metrics.height());
        if (dayRect.contains(event->pos())) {
            QToolTip::showText(event->globalPos(),
                               PlainText::toolTip(RelativeDay::exact(note->modified(), QTimeZone::systemTimeZone())),
                               view, dayRect);
            return true;
        }
    }
    QToolTip::hideText();
    return true;
}

// ---- The view --------------------------------------------------------------------

NoteListView::NoteListView(NotesModel& notes, QWidget* parent)
    : QListView(parent), notes_(notes), model_(new NoteListModel(notes, this)), delegate_(new NoteRowDelegate(notes, this))
{
    setModel(model_);
    setItemDelegate(delegate_);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setResizeMode(QListView::Adjust);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    // The column's own fill shows through.
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
    verticalScrollBar()->setSingleStep(NoteRowDelegate::rowHeight() / 2);

    renameSoon_.setSingleShot(true);
    renameSoon_.setInterval(renameDelayMs());
    connect(&renameSoon_, &QTimer::timeout, this, [this] { startRename(renameSoonID_); });

    hoverFade_.setStartValue(0.0);
    hoverFade_.setEndValue(1.0);
    hoverFade_.setDuration(120);
    hoverFade_.setEasingCurve(QEasingCurve::OutCubic);
    connect(&hoverFade_, &QVariantAnimation::valueChanged, viewport(), qOverload<>(&QWidget::update));

    connect(&notes_, &NotesModel::notesChanged, this, &NoteListView::sync);
    connect(&notes_, &NotesModel::revisionChanged, this, &NoteListView::sync);
    connect(&notes_, &NotesModel::queryChanged, this, &NoteListView::sync);
    connect(&notes_, &NotesModel::selectedIDChanged, this, [this] {
        viewport()->update();
        scrollToSelected();
    });
    connect(&notes_, &NotesModel::renamingChanged, this, [this] {
        // A rename that ended in its field (Return, Escape, the note gone) gives the list
        // the keys back; one ended by a click elsewhere leaves them where the click put
        // them, or that click would be lost.
        const bool fieldHadKeys = field_ && field_->window()->focusWidget() == field_;
        renameSoon_.stop();
        followRename();
        viewport()->update();
        if (!notes_.renaming() && fieldHadKeys)
            setFocus(Qt::OtherFocusReason);
    });
}

int NoteListView::renameDelayMs()
{
    return QApplication::doubleClickInterval();
}

void NoteListView::sync()
{
    const QString typed = field_ ? field_->text() : QString();
    const bool hadField = field_ && renamed_.isValid();
    const int scrolled = verticalScrollBar()->value();
    if (model_->sync()) {
        // A new set of rows: the view lays them out now, so the place in the list and
        // a rename under way survive.
        executeDelayedItemsLayout();
        verticalScrollBar()->setValue(scrolled);
        renamed_ = QPersistentModelIndex();
        field_ = nullptr;
        followRename();
        if (hadField && field_)
            field_->setText(typed);
    }
}

void NoteListView::followRename()
{
    const std::optional<QString>& renaming = notes_.renaming();
    const std::shared_ptr<Note> current = renamed_.isValid() ? model_->note(renamed_.row()) : nullptr;
    if (field_ && current && renaming == current->id())
        return;
    if (renamed_.isValid())
        closePersistentEditor(renamed_);
    renamed_ = QPersistentModelIndex();
    field_ = nullptr;
    if (!renaming)
        return;
    const QModelIndex index = model_->indexOf(*renaming);
    if (!index.isValid())
        return;
    renamed_ = index;
    scrollTo(index);
    openPersistentEditor(index);
}

void NoteListView::scrollToSelected()
{
    if (const auto& id = notes_.selectedID()) {
        if (const QModelIndex index = model_->indexOf(*id); index.isValid())
            scrollTo(index, QAbstractItemView::EnsureVisible);
    }
}

QRect NoteListView::rowRect(const QString& id) const
{
    const QModelIndex index = model_->indexOf(id);
    return index.isValid() ? NoteRowDelegate::frame(visualRect(index), index.row()) : QRect();
}

QRect NoteListView::titleRect(const QString& id) const
{
    const QModelIndex index = model_->indexOf(id);
    return index.isValid() ? NoteRowDelegate::titleLine(visualRect(index), index.row()) : QRect();
}

qreal NoteListView::hoverAmount(const Note* note) const
{
    if (!note)
        return 0;
    const qreal fade = hoverFade_.state() == QAbstractAnimation::Running ? hoverFade_.currentValue().toReal() : 1.0;
    if (hovered_.lock().get() == note)
        return fade;
    if (unhovered_.lock().get() == note)
        return 1 - fade;
    return 0;
}

void NoteListView::hover(const std::shared_ptr<Note>& note)
{
    if (hovered_.lock() == note)
        return;
    unhovered_ = hovered_;
    hovered_ = note;
    hoverFade_.stop();
    if (Motion::animates())
        hoverFade_.start();
    viewport()->update();
}

void NoteListView::open(const QString& id)
{
    if (!model_->indexOf(id).isValid())
        return;
    notes_.select(id);
    notes_.requestEdit();
}

void NoteListView::startRename(const QString& id)
{
    if (!model_->indexOf(id).isValid())
        return;
    notes_.select(id);
    notes_.setRenaming(id);
}

bool NoteListView::event(QEvent* event)
{
    // The keys of the list's own table are not menu shortcuts while the list has them.
    if (event->type() == QEvent::ShortcutOverride && keys_) {
        if (keys_(KeyPress::fromEvent(*static_cast<QKeyEvent*>(event)), false)) {
            event->accept();
            return true;
        }
    }
    return QListView::event(event);
}

void NoteListView::keyPressEvent(QKeyEvent* event)
{
    if (keys_ && keys_(KeyPress::fromEvent(*event), true)) {
        event->accept();
        return;
    }
    // Everything else travels on, to the menus; the list view's own moves and
    // type-ahead would fight the notes model's selection.
    event->ignore();
}

void NoteListView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    renameSoon_.stop();
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    const std::shared_ptr<Note> note = model_->note(index.isValid() ? index.row() : -1);
    if (!note || notes_.renaming() == note->id())
        return;
    const QString id = note->id();
    notes_.select(id);
    // A click on the title renames the note, unless it was the first of a double click.
    if (titleRect(id).contains(event->position().toPoint())) {
        renameSoonID_ = id;
        renameSoon_.start();
    }
}

void NoteListView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void NoteListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    renameSoon_.stop();
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (const std::shared_ptr<Note> note = model_->note(index.isValid() ? index.row() : -1)) {
        if (notes_.renaming() != note->id())
            open(note->id());
        return;
    }
    // Below the last row: a new note.
    notes_.create();
}

void NoteListView::mouseMoveEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    hover(model_->note(index.isValid() ? index.row() : -1));
}

void NoteListView::leaveEvent(QEvent* event)
{
    QListView::leaveEvent(event);
    hover(nullptr);
}

bool NoteListView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Leave)
        hover(nullptr);
    return QListView::viewportEvent(event);
}

void NoteListView::contextMenuEvent(QContextMenuEvent* event)
{
    if (openMenu(event->pos()))
        event->accept();
}

QMenu* NoteListView::openMenu(const QPoint& at)
{
    const QModelIndex index = indexAt(at);
    const std::shared_ptr<Note> note = model_->note(index.isValid() ? index.row() : -1);
    if (!note)
        return nullptr;
    const QString id = note->id();
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Open"), this, [this, id] { open(id); });
    menu->addAction(QStringLiteral("Rename"), this, [this, id] { startRename(id); });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Delete"), this, [this, id] { Motion::pointer([this, id] { notes_.deleteNote(id); }); });
    menu->popup(viewport()->mapToGlobal(at));
    return menu;
}
