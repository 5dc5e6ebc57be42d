#include "thingrow.h"

#include "appmodel.h"
#include "boarddrag.h"
#include "boardselection.h"
#include "checkbutton.h"
#include "droptargets.h"
#include "markwash.h"
#include "pembythings.h"
#include "plaintext.h"
#include "popover.h"
#include "rowmotion.h"
#include "rowtext.h"
#include "thingclipboard.h"
#include "thingdetail.h"
#include "zcount.h"

#include <QHBoxLayout>
#include <QMenu>

#include <algorithm>
#include <array>

namespace {

constexpr int titleSize = 13;
constexpr int minimumTitle = 28;

RowText* indicator(int size, const PembyColor& color, const QString& text, const QString& help, QWidget* parent)
{
    auto* label = new RowText(size, parent);
    label->setColor(color);
    label->setText(text);
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (!help.isEmpty())
        label->setToolTip(PlainText::toolTip(help));
    return label;
}

} // namespace

ThingRow::ThingRow(AppModel& model, const Thing& thing, const Place& place, int index, DropSpotState& spot,
                   QWidget* parent)
    : RowFrame(model, parent), thing_(thing), place_(place), index_(index)
{
    layout_ = new QHBoxLayout(this);
    layout_->setContentsMargins(leading, 0, trailing, 0);
    layout_->setSpacing(spacing);

    check_ = new CheckButton(thing.done, this);
    connect(check_, &CheckButton::clicked, this, [this] {
        AppModel* m = &model_;
        const QUuid id = thing_.id;
        RowMotion::run([m, id] { m->toggle(id); });
    });
    layout_->addWidget(check_);

    title_ = new RowText(titleSize, this);
    title_->setMinimumTextWidth(minimumTitle);
    layout_->addWidget(title_);
    layout_->addStretch(1);
    // The marks after the title are made the first time the thing has one: most rows
    // show few of them, and a board starts sooner without hundreds of hidden widgets.

    drop_ = new RowDrop(this, rowID(), model_, spot, [this](bool below, const QStringList& texts) {
        bool taken = false;
        const int before = below ? index_ + 1 : index_;
        RowMotion::run([&] { taken = model_.drag().drop(texts, place_, before, !below); });
        return taken;
    });
    line_ = InsertionLine::forRow(this, spot, rowID());

    connect(&model_.selection(), &BoardSelection::selectionChanged, this, qOverload<>(&QWidget::update));
    connect(&model_, &AppModel::editingChanged, this, &ThingRow::followEditing);
    connect(&model_, &AppModel::openedChanged, this, &ThingRow::syncDetail);
    connect(&model_.drag(), &BoardDrag::draggingChanged, this, &ThingRow::followDragging);

    refreshContent();
    followEditing();
    followDragging();
}

ThingRow::~ThingRow()
{
    stopListening();
}

QString ThingRow::rowID(const QUuid& id) { return id.toString(QUuid::WithoutBraces).toUpper(); }

QString ThingRow::movedText(int count)
{
    const QString moved = QStringLiteral("moved ") + QString::number(count) + QStringLiteral("\u00D7");
    return count < 3 ? moved : moved + QStringLiteral(". eventually, or never?");
}

void ThingRow::setThing(const Thing& thing, const Place& place, int index)
{
    const bool placeChanged = place != place_;
    index_ = index;
    place_ = place;
    if (thing == thing_ && !placeChanged)
        return;
    const bool another = thing.id != thing_.id;
    thing_ = thing;
    if (another) {
        drop_->setRowID(rowID());
        line_->setRowID(rowID());
        followEditing();
        followDragging();
    }
    refreshContent();
}

void ThingRow::refreshContent()
{
    const Thing& t = thing_;
    check_->setDone(t.done);
    title_->setText(t.title);
    title_->setColor(t.done ? Palette::pembyFaint : Palette::pembyText);
    title_->setStruck(t.done);
    if (t.mark) {
        const PembyColor wash = markWash(*t.mark);
        title_->setWash(t.done ? wash.opacity(wash.light().alphaF() * 0.4) : wash, 6, 3);
    } else {
        title_->setWash(std::nullopt, 0, 3);
    }

    const auto summary = t.stepsSummary();
    if (summary && !steps_)
        insertMark(steps_ = indicator(11, Palette::pembyMuted, QString(), QString(), this));
    if (steps_) {
        steps_->setText(summary.value_or(QString()));
        wantMark(steps_, summary.has_value());
    }
    const bool showsTime = !t.done && t.remind && place_.isDay();
    if (showsTime && !reminder_)
        insertMark(reminder_ = indicator(11, Palette::pembyMuted, QString(), QStringLiteral("Reminder"), this));
    if (reminder_) {
        reminder_->setText(showsTime ? t.remind->toString() : QString());
        wantMark(reminder_, showsTime);
    }
    if (!t.note.isEmpty() && !note_)
        insertMark(note_ = indicator(12, Palette::pembyFaint, QStringLiteral("\u2261"), QStringLiteral("Has a note"), this));
    if (note_)
        wantMark(note_, !t.note.isEmpty());
    if (t.repeatID && !repeat_)
        insertMark(repeat_ = indicator(12, Palette::pembyFaint, QStringLiteral("\u21BB"), QStringLiteral("Repeats"), this));
    if (repeat_)
        wantMark(repeat_, t.repeatID.has_value());
    const bool showsMoves = t.zs >= 1 && !t.done;
    if (showsMoves && !moved_)
        insertMark(moved_ = new ZCount(t.zs, 2, this));
    if (moved_) {
        moved_->setCount(t.zs);
        wantMark(moved_, showsMoves);
        moved_->setToolTip(showsMoves ? PlainText::toolTip(movedText(t.zs)) : QString());
    }

    setAccessibleName(t.title);
    setAccessibleDescription(t.done ? QStringLiteral("done") : QStringLiteral("not done"));
    fitMarks();
    update();
}

void ThingRow::wantMark(QWidget* mark, bool wanted)
{
    if (wanted)
        wantedMarks_.insert(mark);
    else
        wantedMarks_.remove(mark);
}

void ThingRow::fitMarks()
{
    // The title keeps its minimum width; the marks that do not fit beside it are left
    // out from the row's end, each one shown whole or not at all.
    int room = width() - leading - trailing - check_->sizeHint().width() - spacing - title_->minimumSizeHint().width();
    bool fits = true;
    for (QWidget* mark : {static_cast<QWidget*>(steps_), static_cast<QWidget*>(reminder_),
                          static_cast<QWidget*>(note_), static_cast<QWidget*>(repeat_), static_cast<QWidget*>(moved_)}) {
        if (!mark)
            continue;
        const bool wanted = wantedMarks_.contains(mark);
        if (wanted && fits) {
            room -= spacing + mark->sizeHint().width();
            fits = room >= 0;
        }
        mark->setVisible(wanted && fits);
    }
}

void ThingRow::resizeEvent(QResizeEvent* event)
{
    RowFrame::resizeEvent(event);
    fitMarks();
}

void ThingRow::insertMark(QWidget* mark)
{
    // The marks keep their order at the row's end, whichever is made first.
    const std::array<QWidget*, 5> order{steps_, reminder_, note_, repeat_, moved_};
    const auto at = std::find(order.begin(), order.end(), mark);
    const int later = int(std::count_if(at + 1, order.end(), [](const QWidget* w) { return w != nullptr; }));
    layout_->insertWidget(layout_->count() - later, mark);
}

bool ThingRow::isSelectedRow() const { return model_.selection().ids().contains(thing_.id); }

bool ThingRow::isEditingRow() const { return model_.editing() == Editing::thing(thing_.id); }

QWidget* ThingRow::titleView() const { return title_; }

void ThingRow::followEditing()
{
    AppModel* m = &model_;
    const QUuid id = thing_.id;
    // A re-read gives the thing a fresh id; its sync id still finds it.
    const std::optional<QString> syncID = thing_.syncID;
    followRename(isEditingRow(), layout_, title_, thing_.title, Editing::thing(id),
                 [m, id](const QString& text) { m->finishRename(id, text); },
                 [m, id, syncID](const QString& text) {
                     if (m->planner().locate(id)) {
                         m->rename(id, text);
                     } else if (syncID) {
                         if (const auto found = m->planner().thingWithSyncID(*syncID))
                             m->rename(found->id, text);
                     }
                 });
}

void ThingRow::followDragging() { setDimmed(model_.drag().dragging().contains(thing_.id)); }

bool ThingRow::clickedTitle(Qt::KeyboardModifiers modifiers)
{
    const bool command = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    if (command || shift) {
        model_.selection().click(thing_.id, command, shift);
        return false;
    }
    model_.selection().select(thing_.id);
    return true;
}

void ThingRow::clickedRow(Qt::KeyboardModifiers modifiers)
{
    model_.selection().click(thing_.id, modifiers & Qt::ControlModifier, modifiers & Qt::ShiftModifier);
}

void ThingRow::renameAfterClick()
{
    // Only when nothing else happened since the click: the thing is still the one
    // selected and its detail did not open.
    if (model_.selection().ids() != QSet<QUuid>{thing_.id} || model_.opened() == thing_.id || !isVisible())
        return;
    model_.setEditing(Editing::thing(thing_.id));
}

void ThingRow::open() { model_.openDetail(thing_.id); }

void ThingRow::doubleClicked() { open(); }

void ThingRow::startDrag()
{
    const QString text = model_.drag().beginDrag(thing_.id);
    // The row may be gone once the drag returns.
    RowDrag::run(this, model_, text);
}

ThingDetail* ThingRow::detail() const { return popover() ? qobject_cast<ThingDetail*>(popover()->content()) : nullptr; }

void ThingRow::syncDetail()
{
    syncPopover(model_.opened() == thing_.id,
                [this] { return new ThingDetail(model_, place_, thing_.id, thing_.title, thing_.steps); });
}

void ThingRow::adoptDetail(Popover* popover)
{
    adoptPopover(popover);
    if (ThingDetail* d = detail())
        d->follow(thing_.id, place_);
}

void ThingRow::popoverClosed()
{
    if (ThingDetail* d = detail())
        d->save();
    if (model_.opened() == thing_.id)
        model_.setOpened(std::nullopt);
    dismissPopover();
}

QList<QUuid> ThingRow::menuIDs() const
{
    return model_.selection().ids().contains(thing_.id) ? model_.selection().orderedIDs() : QList<QUuid>{thing_.id};
}

QMenu* ThingRow::makeMenu()
{
    auto* menu = new QMenu;
    AppModel* m = &model_;
    const QUuid id = thing_.id;
    const Place place = place_;
    const QList<QUuid> ids = menuIDs();
    const auto animated = [](std::function<void()> action) { return [action] { RowMotion::run(action); }; };

    menu->addAction(QStringLiteral("Open"), [m, id] { m->setOpened(id); });
    menu->addAction(thing_.note.isEmpty() ? QStringLiteral("Add a Note") : QStringLiteral("Open Note"),
                    [m, id] { m->openNote(id); });
    menu->addAction(thing_.done ? QStringLiteral("Not Done") : QStringLiteral("Done"), animated([m, id] { m->toggle(id); }));
    menu->addSeparator();
    if (place.isDay()) {
        menu->addAction(QStringLiteral("Not This Week"), animated([m, ids] { m->notThisWeek(ids); }));
        menu->addAction(QStringLiteral("Eventually"), animated([m, ids] { m->sendToEventually(ids); }));
    } else {
        menu->addAction(QStringLiteral("Today"),
                        animated([m, id] { m->move(id, Place::onDay(m->today()), std::nullopt); }));
    }
    QMenu* highlight = menu->addMenu(QStringLiteral("Highlight"));
    const auto mark = [m, ids](std::optional<Mark> value) {
        return [m, ids, value] {
            if (!ids.isEmpty())
                m->setMark(ids, value);
        };
    };
    for (Mark each : allMarks)
        highlight->addAction(markName(each), mark(each));
    highlight->addAction(QStringLiteral("None"), mark(std::nullopt));
    menu->addSeparator();
    menu->addAction(QStringLiteral("Cut"), [m, id] { m->cutFromMenu(id); });
    menu->addAction(QStringLiteral("Copy"), [m, id] { m->copyFromMenu(id); });
    const QList<PembyThing> pasted = model_.clipboard().clipboardThings();
    QAction* paste = menu->addAction(QStringLiteral("Paste"), animated([m, place] {
        const QList<PembyThing> things = m->clipboard().clipboardThings();
        if (!things.isEmpty())
            m->drag().addThings(things, place);
    }));
    paste->setEnabled(!pasted.isEmpty());
    menu->addSeparator();
    menu->addAction(QStringLiteral("Delete"), animated([m, id] { m->deleteFromMenu(id); }));
    return menu;
}
