#include "thingcolumn.h"

#include "appmodel.h"
#include "boarddrag.h"
#include "editfield.h"
#include "emptyline.h"
#include "eventrow.h"
#include "familythingrow.h"
#include "motion.h"
#include "otherapps.h"
#include "palette.h"
#include "pembythings.h"
#include "pixelview.h"
#include "plaintext.h"
#include "popover.h"
#include "rowmotion.h"
#include "rowtext.h"
#include "ruled.h"
#include "thingclipboard.h"
#include "thingrow.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QSet>
#include <QTimer>

#include <utility>

// The line of the thing being typed: a faint box and the field. Return adds the thing
// and opens a fresh field in the same line; losing the keys adds it and ends.
class NewThingLine : public QWidget {
public:
    NewThingLine(AppModel& model, ThingColumn& column) : QWidget(&column), model_(model), column_(column)
    {
        setObjectName(QStringLiteral("newLine"));
        setFixedHeight(Ruled::lineHeight);
        layout_ = new QHBoxLayout(this);
        layout_->setContentsMargins(2, 0, 4, 0);
        layout_->setSpacing(6);
        auto* box = new PixelView(Pixels::box(), 2, this);
        box->setForeground(Palette::pembyFaint);
        box->setFixedSize(20, 22);
        layout_->addWidget(box);
        freshField();
    }

    EditField* field() const { return field_; }
    // Raised for every fresh field: one field commits only once.
    int lineID() const { return lineID_; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        Ruled::paint(p, rect(), Palette::pembyRule);
    }

private:
    void freshField()
    {
        if (field_) {
            EditField* done = field_;
            done->hide();
            done->deleteLater();
        }
        ++lineID_;
        AppModel* m = &model_;
        const Place place = column_.place();
        QPointer<NewThingLine> self(this);
        field_ = new EditField(
            QString(), QString(), sizedFont(font(), 13), false,
            [m, place, self](const QString& text, EditField::Ending how) {
                if (m->commitNewLine(place, text, EditField::keepsGoing(how)) && self)
                    self->freshField();
            },
            [m, place] {
                if (m->editing() == Editing::newThing(place))
                    m->setEditing(std::nullopt);
            },
            this);
        // The model ended the line elsewhere (another line, a mode switch, the week
        // moved on): what was typed is still added, to the place it was typed for. A
        // list is known by its name, which a re-read or an undo cannot give another one.
        const std::optional<QString> listName = place.isList() && place.listIndex() < model_.planner().lists.size()
                                                    ? std::optional(model_.planner().lists[place.listIndex()].name)
                                                    : std::nullopt;
        field_->commitOnRemoval(m, [m, place, listName](const QString& text) {
            if (place.isList()) {
                const auto& lists = m->planner().lists;
                if (!listName || place.listIndex() >= lists.size() || lists[place.listIndex()].name != *listName)
                    return;
            }
            m->add(text, place);
        });
        layout_->addWidget(field_, 1);
        if (isVisible())
            field_->show();
    }

    AppModel& model_;
    ThingColumn& column_;
    QHBoxLayout* layout_ = nullptr;
    QPointer<EditField> field_;
    int lineID_ = 0;
};

// "+3 more": the things a cap hides; a click shows the whole place in its sheet.
class MoreLine : public QWidget {
public:
    MoreLine(AppModel& model, ThingColumn& column) : QWidget(&column), model_(model), column_(column)
    {
        setObjectName(QStringLiteral("moreLine"));
        setFixedHeight(Ruled::lineHeight);
        setFont(sizedFont(font(), 12));
    }

    void setCounts(int hidden, int all)
    {
        hidden_ = hidden;
        text_ = QStringLiteral("+%1 more").arg(hidden);
        setToolTip(PlainText::toolTip(QStringLiteral("See all %1 in ").arg(all) + model_.label(column_.place())));
        setAccessibleName(QStringLiteral("%1 more. See all.").arg(hidden));
        update();
    }
    const QString& text() const { return text_; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setPen(QColor(Palette::pembyMuted));
        const QRect box = rect().adjusted(26, 0, -4, 0);
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   fontMetrics().elidedText(text_, Qt::ElideRight, box.width()));
        Ruled::paint(p, rect(), Palette::pembyRule);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        pressed_ = event->button() == Qt::LeftButton;
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const bool tap = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
        pressed_ = false;
        event->accept();
        if (tap && model_.zoomed() != column_.place())
            model_.setZoomed(column_.place());
    }

private:
    AppModel& model_;
    ThingColumn& column_;
    int hidden_ = 0;
    QString text_;
    bool pressed_ = false;
};

ThingColumn::Layout ThingColumn::budget(int events, int others, int things, bool typing, int minRows,
                                        std::optional<int> cap)
{
    const int newLine = typing ? 1 : 0;
    const int used = events + others + things + newLine;
    if (!cap)
        return Layout{things, 0, std::max(1, minRows - used)};
    if (*cap < used) {
        // One line stays for the more line.
        const int visible = std::clamp(*cap - events - others - 1 - newLine, 0, things);
        return Layout{visible, things - visible, 0};
    }
    return Layout{things, 0, *cap - used};
}

ThingColumn::ThingColumn(AppModel& model, const Place& place, QWidget* parent)
    : QWidget(parent), model_(model), alive_(&model), place_(place)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Once per operation, and before any single property's signal, so the column
    // settles a re-read's details before the rows hear of the thing that is open.
    connect(&model_.transitions(), &ModelTransitions::ended, this, [this](const ModelChanges& changes) {
        if (changes.containsAny({&AppModel::plannerChanged, &AppModel::todayChanged, &AppModel::editingChanged,
                                 &OtherApps::familyThingsChanged, &OtherApps::tickedExternalChanged,
                                 &OtherApps::externalSlotsChanged}))
            sync();
    });
    connect(&model_, &AppModel::openedChanged, this, &ThingColumn::settleDetails);
    // A drag that ended anywhere leaves no insertion line behind.
    const auto dragEnded = [this] {
        if (!model_.drag().isDraggingInside())
            spot_.setSpot(std::nullopt);
    };
    connect(&model_.drag(), &BoardDrag::draggingChanged, this, dragEnded);
    connect(&model_.drag(), &BoardDrag::draggingExternalChanged, this, dragEnded);
    sync();
}

ThingColumn::~ThingColumn()
{
    // Rows and details that go with the column may still tell the model something; the
    // column must not hear it back half torn down.
    if (alive_)
        disconnect(alive_, nullptr, this, nullptr);
    closeOrphans();
}

void ThingColumn::setPlace(const Place& place)
{
    if (place == place_)
        return;
    place_ = place;
    placeMoved_ = true;
    sync();
}

void ThingColumn::setEvents(const QStringList& events)
{
    if (events == events_)
        return;
    events_ = events;
    sync();
}

void ThingColumn::setMinRows(int rows)
{
    if (rows == minRows_)
        return;
    minRows_ = rows;
    sync();
}

void ThingColumn::setCap(std::optional<int> cap)
{
    if (cap == cap_)
        return;
    cap_ = cap;
    sync();
}

void ThingColumn::sync()
{
    // Showing a line can hand it the keys, and a field that loses them commits, which
    // changes the model again: that change is taken up once this one is done.
    if (syncing_) {
        resync_ = true;
        return;
    }
    syncing_ = true;
    do {
        resync_ = false;
        syncOnce();
    } while (resync_);
    syncing_ = false;
}

void ThingColumn::syncOnce()
{
    const QList<Thing> things = model_.planner().things(place_);
    const bool typing = model_.editing() == Editing::newThing(place_);
    const QList<SharedThing> others =
        place_ == Place::onDay(model_.today()) ? model_.otherApps().todayFromOthers() : QList<SharedThing>();
    budget_ = budget(int(events_.size()), int(others.size()), int(things.size()), typing, minRows_, cap_);

    syncEvents();
    syncRows(things.mid(0, budget_.visibleThings), others, std::exchange(placeMoved_, false));
    syncEnd(typing);
    relayout();
    settleDetails();
}

void ThingColumn::syncEvents()
{
    while (eventRows_.size() > events_.size()) {
        EventRow* gone = eventRows_.takeLast();
        gone->hide();
        gone->deleteLater();
    }
    for (int i = 0; i < events_.size(); ++i) {
        if (i < eventRows_.size())
            eventRows_[i]->setText(events_[i]);
        else
            eventRows_.append(new EventRow(events_[i], this));
    }
}

void ThingColumn::syncRows(const QList<Thing>& things, const QList<SharedThing>& others, bool handOn)
{
    const QList<TodayRow> wanted = model_.otherApps().rows(things, others);
    // Moving to another place, none of the rows stays: making each line again would
    // cost a frame. The rows of the things that go show the things that come instead,
    // in their order, but only rows that hold nothing of the user's (no open detail, no
    // title being typed); the others go as ever.
    QList<ThingRow*> spare;
    if (handOn) {
        QSet<QString> staying;
        staying.reserve(wanted.size());
        for (const TodayRow& row : wanted)
            staying.insert(row.id());
        for (RowFrame* frame : std::as_const(rowOrder_)) {
            auto* mine = qobject_cast<ThingRow*>(frame);
            if (!mine || staying.contains(mine->rowID()) || mine->popover() || mine->renameField())
                continue;
            rows_.remove(mine->rowID());
            spare.append(mine);
        }
    }
    qsizetype nextSpare = 0;
    QHash<QString, RowFrame*> kept;
    rowOrder_.clear();
    for (const TodayRow& row : wanted) {
        const QString id = row.id();
        RowFrame* widget = rows_.take(id);
        if (row.isMine()) {
            if (auto* mine = qobject_cast<ThingRow*>(widget)) {
                mine->setThing(row.thing, place_, row.index);
            } else if (!widget && nextSpare < spare.size()) {
                ThingRow* handed = spare[nextSpare++];
                handed->setThing(row.thing, place_, row.index);
                widget = handed;
            } else {
                widget = new ThingRow(model_, row.thing, place_, row.index, spot_, this);
            }
        } else {
            if (auto* theirs = qobject_cast<FamilyThingRow*>(widget))
                theirs->setThing(row.other, place_, row.slot);
            else
                widget = new FamilyThingRow(model_, row.other, place_, row.slot, spot_, this);
        }
        kept.insert(id, widget);
        rowOrder_.append(widget);
    }
    for (RowFrame* gone : std::as_const(rows_)) {
        // Its thing may be back under a fresh id (a re-read): the open detail waits for
        // the row that shows it now, typed text and all.
        if (auto* mine = qobject_cast<ThingRow*>(gone)) {
            if (Popover* detail = mine->takeDetail())
                orphans_.append(Orphan{detail, mine->thing().id});
            // So does a title being typed: the model's edit followed the thing.
            EditField* typing = mine->renameField();
            const auto& edit = model_.editing();
            if (typing && edit && edit->isThing() && edit->thingID() != mine->thing().id) {
                if (RowFrame* heir = kept.value(ThingRow::rowID(edit->thingID())); heir && heir->renameField())
                    heir->renameField()->takeOver(*typing);
            }
        }
        gone->hide();
        gone->deleteLater();
    }
    for (; nextSpare < spare.size(); ++nextSpare) {
        spare[nextSpare]->hide();
        spare[nextSpare]->deleteLater();
    }
    rows_ = std::move(kept);
}

void ThingColumn::syncEnd(bool typing)
{
    if (typing && !newLine_) {
        newLine_ = new NewThingLine(model_, *this);
    } else if (!typing && newLine_) {
        // Hiding it tells its field it was taken away, so what was typed is kept.
        NewThingLine* gone = newLine_;
        newLine_ = nullptr;
        gone->hide();
        gone->deleteLater();
    }

    if (budget_.hidden >= 1) {
        if (!more_) {
            more_ = new MoreLine(model_, *this);
            new EndDrop(more_, model_, spot_, [this](const QStringList& texts) { return dropAtEnd(texts); });
            InsertionLine::forEnd(more_, spot_);
        }
        more_->setCounts(budget_.hidden, int(model_.planner().things(place_).size()));
    } else if (more_) {
        more_->hide();
        more_->deleteLater();
        more_ = nullptr;
    }

    while (fillers_.size() > budget_.emptyRows) {
        EmptyLine* gone = fillers_.takeLast();
        gone->hide();
        gone->deleteLater();
    }
    while (fillers_.size() < budget_.emptyRows)
        fillers_.append(makeFiller());
    // The end's line sits on the first line below the things, whichever kind it is.
    for (int i = 0; i < fillers_.size(); ++i) {
        if (auto* line = fillers_[i]->findChild<InsertionLine*>(QString(), Qt::FindDirectChildrenOnly))
            line->setActive(i == 0 && budget_.hidden == 0);
    }
}

EmptyLine* ThingColumn::makeFiller()
{
    auto* line = new EmptyLine(this);
    connect(line, &EmptyLine::tapped, this, &ThingColumn::startNewThing);
    line->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(line, &QWidget::customContextMenuRequested, this, [this, line](const QPoint& at) {
        QMenu menu;
        menu.addAction(QStringLiteral("New Thing"), this, &ThingColumn::startNewThing);
        QAction* paste = menu.addAction(QStringLiteral("Paste"), this, &ThingColumn::paste);
        paste->setEnabled(!model_.clipboard().clipboardThings().isEmpty());
        menu.exec(line->mapToGlobal(at));
    });
    new EndDrop(line, model_, spot_, [this](const QStringList& texts) { return dropAtEnd(texts); });
    InsertionLine::forEnd(line, spot_);
    return line;
}

void ThingColumn::relayout()
{
    const int before = int(lines_.size());
    // Lines that were on show slide to their new places after a pointer's change;
    // new ones appear where they belong.
    const bool slide = RowMotion::isRunning() && Motion::animates() && isVisible();
    const QSet<QWidget*> shown(lines_.cbegin(), lines_.cend());
    lines_.clear();
    for (EventRow* event : std::as_const(eventRows_))
        lines_.append(event);
    for (RowFrame* row : std::as_const(rowOrder_))
        lines_.append(row);
    if (newLine_)
        lines_.append(newLine_);
    if (more_)
        lines_.append(more_);
    for (EmptyLine* filler : std::as_const(fillers_))
        lines_.append(filler);

    int y = 0;
    QHash<QWidget*, QPointer<QPropertyAnimation>> sliding;
    for (QWidget* line : std::as_const(lines_)) {
        if (QPointer<QPropertyAnimation> running = slides_.take(line))
            running->stop();
        if (slide && shown.contains(line) && line->isVisible() && line->y() != y) {
            line->resize(width(), Ruled::lineHeight);
            auto* motion = new QPropertyAnimation(line, "pos", line);
            Motion::configure(*motion, Motion::pointerMs);
            motion->setEndValue(QPoint(0, y));
            sliding.insert(line, motion);
            motion->start(QAbstractAnimation::DeleteWhenStopped);
        } else {
            line->setGeometry(0, y, width(), Ruled::lineHeight);
        }
        line->show();
        y += Ruled::lineHeight;
    }
    slides_ = std::move(sliding);
    if (int(lines_.size()) != before) {
        updateGeometry();
        emit lineCountChanged();
    }
}

void ThingColumn::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    for (QWidget* line : std::as_const(lines_))
        line->resize(width(), Ruled::lineHeight);
}

QSize ThingColumn::sizeHint() const { return QSize(160, lineCount() * Ruled::lineHeight); }

QSize ThingColumn::minimumSizeHint() const { return QSize(60, lineCount() * Ruled::lineHeight); }

void ThingColumn::startNewThing() { model_.startNewThing(place_); }

void ThingColumn::paste()
{
    const QList<PembyThing> things = model_.clipboard().clipboardThings();
    if (!things.isEmpty())
        RowMotion::run([&] { model_.drag().addThings(things, place_); });
}

bool ThingColumn::dropAtEnd(const QStringList& texts)
{
    bool taken = false;
    RowMotion::run([&] { taken = model_.drag().drop(texts, place_, std::nullopt, true); });
    return taken;
}

void ThingColumn::settleDetails()
{
    const auto opened = model_.opened();
    for (qsizetype i = 0; i < orphans_.size();) {
        Orphan& orphan = orphans_[i];
        ThingRow* heir = nullptr;
        if (orphan.popover && opened && !model_.planner().thing(orphan.was))
            heir = qobject_cast<ThingRow*>(rows_.value(ThingRow::rowID(*opened)));
        if (heir && !heir->popover()) {
            heir->adoptDetail(orphan.popover);
            orphans_.removeAt(i);
        } else if (!orphan.popover) {
            orphans_.removeAt(i);
        } else {
            ++i;
        }
    }
    // Whatever no row took over by the time this turn of the event loop is done closes.
    if (!orphans_.isEmpty())
        QTimer::singleShot(0, this, &ThingColumn::closeOrphans);
    for (RowFrame* row : std::as_const(rowOrder_))
        row->syncDetail();
}

void ThingColumn::closeOrphans()
{
    const QList<Orphan> orphans = std::exchange(orphans_, {});
    for (const Orphan& orphan : orphans) {
        if (!orphan.popover)
            continue;
        orphan.popover->hide();
        orphan.popover->deleteLater();
    }
}
