#include "familythingrow.h"

#include "appmodel.h"
#include "boarddrag.h"
#include "boardselection.h"
#include "checkbutton.h"
#include "droptargets.h"
#include "familythingdetail.h"
#include "otherapps.h"
#include "rowmotion.h"
#include "plaintext.h"
#include "popover.h"
#include "rowtext.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPointer>

namespace {

// The first letter of every word upper case, the rest lower case.
QString capitalisedWords(const QString& text)
{
    QString out = text.toLower();
    bool start = true;
    for (QChar& c : out) {
        if (c.isSpace()) {
            start = true;
        } else if (start) {
            c = c.toUpper();
            start = false;
        }
    }
    return out;
}

} // namespace

FamilyThingRow::FamilyThingRow(AppModel& model, const SharedThing& thing, const Place& place, int slot,
                               DropSpotState& spot, QWidget* parent)
    : RowFrame(model, parent), thing_(thing), place_(place), slot_(slot)
{
    layout_ = new QHBoxLayout(this);
    layout_->setContentsMargins(leading, 0, trailing, 0);
    layout_->setSpacing(spacing);

    check_ = new CheckButton(thing.done, this);
    layout_->addWidget(check_);
    // Another app's thing is ticked as it stands now, not as it stood when shown.
    connect(check_, &CheckButton::clicked, this, [this] {
        AppModel& m = model_;
        if (const auto current = m.otherApps().externalThing(thing_.id))
            m.otherApps().toggleExternal(*current);
    });

    title_ = new RowText(13, this);
    title_->setMinimumTextWidth(28);
    layout_->addWidget(title_);
    layout_->addStretch(1);
    tag_ = new RowText(11, this);
    tag_->setColor(Palette::pembyFaint);
    tag_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    layout_->addWidget(tag_);

    new RowDrop(this, rowID(), model_, spot, [this](bool below, const QStringList& texts) {
        bool taken = false;
        RowMotion::run([&] { taken = model_.drag().drop(texts, place_, slot_, below); });
        return taken;
    });
    InsertionLine::forRow(this, spot, rowID());

    connect(&model_.otherApps(), &OtherApps::selectedExternalChanged, this, qOverload<>(&QWidget::update));
    connect(&model_, &AppModel::editingChanged, this, &FamilyThingRow::followEditing);
    connect(&model_, &AppModel::openedExternalChanged, this, &FamilyThingRow::syncDetail);
    connect(&model_.drag(), &BoardDrag::draggingExternalChanged, this, &FamilyThingRow::followDragging);

    refreshContent();
    followEditing();
    followDragging();
}

FamilyThingRow::~FamilyThingRow() { stopListening(); }

QString FamilyThingRow::helpText(const QString& sourceApp)
{
    return QStringLiteral("From Pemby ") + capitalisedWords(sourceApp) +
           QStringLiteral(". Click the name to rename it, double-click to open it; drag it up or down, or to "
                          "another day.");
}

void FamilyThingRow::setThing(const SharedThing& thing, const Place& place, int slot)
{
    place_ = place;
    slot_ = slot;
    if (thing == thing_)
        return;
    thing_ = thing;
    refreshContent();
}

void FamilyThingRow::refreshContent()
{
    check_->setDone(thing_.done);
    title_->setText(thing_.title);
    title_->setStruck(thing_.done);
    title_->setColor(thing_.done ? Palette::pembyFaint : Palette::pembyText);
    tag_->setText(thing_.sourceApp);
    setToolTip(PlainText::toolTip(helpText(thing_.sourceApp)));
    setAccessibleName(thing_.title);
    setAccessibleDescription(thing_.done ? QStringLiteral("done") : QStringLiteral("not done"));
    update();
}

bool FamilyThingRow::isSelectedRow() const { return model_.otherApps().selectedExternal() == thing_.id; }

bool FamilyThingRow::isEditingRow() const { return model_.editing() == Editing::external(thing_.id); }

QWidget* FamilyThingRow::titleView() const { return title_; }

void FamilyThingRow::select() { model_.selection().selectExternal(thing_.id); }

void FamilyThingRow::rename() { model_.editExternal(thing_.id); }

void FamilyThingRow::open() { model_.openExternalDetail(thing_.id); }

bool FamilyThingRow::clickedTitle(Qt::KeyboardModifiers)
{
    // Modifiers do not matter here: another app's thing is never part of a range. The
    // rename waits for the double-click time, so a double click still opens it.
    select();
    return true;
}

void FamilyThingRow::clickedRow(Qt::KeyboardModifiers) { select(); }

void FamilyThingRow::renameAfterClick()
{
    if (model_.otherApps().selectedExternal() != thing_.id || model_.openedExternal() == thing_.id || !isVisible())
        return;
    rename();
}

void FamilyThingRow::doubleClicked() { open(); }

void FamilyThingRow::followEditing()
{
    AppModel* m = &model_;
    const QString id = thing_.id;
    const auto keep = [m, id](const QString& text) {
        if (const auto current = m->otherApps().externalThing(id))
            m->otherApps().renameExternal(*current, text);
    };
    followRename(isEditingRow(), layout_, title_, thing_.title, Editing::external(id),
                 [m, id](const QString& text) { m->finishExternalRename(id, text); }, keep);
}

void FamilyThingRow::followDragging()
{
    const auto& dragged = model_.drag().draggingExternal();
    setDimmed(dragged && dragged->id == thing_.id);
}

void FamilyThingRow::startDrag()
{
    const QString text = model_.drag().beginExternalDrag(thing_);
    RowDrag::run(this, model_, text);
}

ExternalDetail* FamilyThingRow::detail() const
{
    return popover() ? qobject_cast<ExternalDetail*>(popover()->content()) : nullptr;
}

void FamilyThingRow::syncDetail()
{
    syncPopover(model_.openedExternal() == thing_.id,
                [this] { return new ExternalDetail(model_, thing_.id, thing_.title, thing_.steps); });
}

void FamilyThingRow::popoverClosed()
{
    if (ExternalDetail* d = detail())
        d->save();
    if (model_.openedExternal() == thing_.id)
        model_.setOpenedExternal(std::nullopt);
    dismissPopover();
}

QMenu* FamilyThingRow::makeMenu()
{
    auto* menu = new QMenu;
    AppModel* m = &model_;
    const QString id = thing_.id;
    QPointer<FamilyThingRow> self(this);
    menu->addAction(QStringLiteral("Open"), [self] {
        if (self)
            self->open();
    });
    menu->addAction(thing_.note.isEmpty() ? QStringLiteral("Add a Note") : QStringLiteral("Open Note"),
                    [m, id] { m->openExternalNote(id); });
    menu->addAction(QStringLiteral("Rename"), [self] {
        if (self)
            self->rename();
    });
    menu->addAction(thing_.done ? QStringLiteral("Not Done") : QStringLiteral("Done"), [m, id] {
        if (const auto current = m->otherApps().externalThing(id))
            m->otherApps().toggleExternal(*current);
    });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Delete"), [m, id] { RowMotion::run([m, id] { m->otherApps().deleteExternal(id); }); });
    return menu;
}
