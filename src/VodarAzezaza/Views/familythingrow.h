#pragma once
// One thing of a sibling app in today's column, at the slot the planner keeps for it:
// its check box, its title (or the field that renames it) and the app's tag.
//
// API
//   auto* row = new FamilyThingRow(model, shared, place, slot, spot, column);
//   row->setThing(shared, place, slot);   on every model change
//   row->syncDetail();                    opens or closes the detail as the model's
//                                         `openedExternal` says
//
// Ticking, renaming, moving and deleting go through the model's operations for other
// apps' things, which write the family store and tell the sibling apps. Selecting it
// empties the planner's own selection.

#include "rowframe.h"
#include "sharedthing.h"
#include "things.h"


class CheckButton;
class DropSpotState;
class ExternalDetail;
class QHBoxLayout;
class QMenu;
class RowText;

class FamilyThingRow : public RowFrame {
    Q_OBJECT
public:
    FamilyThingRow(AppModel& model, const SharedThing& thing, const Place& place, int slot, DropSpotState& spot,
                   QWidget* parent = nullptr);
    ~FamilyThingRow() override;

    // "family-" and the family-store id.
    static QString rowID(const QString& id) { return QStringLiteral("family-") + id; }
    QString rowID() const { return rowID(thing_.id); }
    const SharedThing& thing() const { return thing_; }
    int slot() const { return slot_; }

    void setThing(const SharedThing& thing, const Place& place, int slot);
    void syncDetail() override;
    ExternalDetail* detail() const;
    QMenu* makeMenu() override;

    // "From Pemby Todo. Click the name ..." for the tag "todo".
    static QString helpText(const QString& sourceApp);

protected:
    bool isSelectedRow() const override;
    bool isEditingRow() const override;
    QWidget* titleView() const override;
    bool clickedTitle(Qt::KeyboardModifiers modifiers) override;
    void clickedRow(Qt::KeyboardModifiers modifiers) override;
    void renameAfterClick() override;
    void doubleClicked() override;
    void startDrag() override;
    void popoverClosed() override;

private:
    void select();
    void rename();
    void open();
    void refreshContent();
    void followEditing();
    void followDragging();

    SharedThing thing_;
    Place place_;
    int slot_;

    QHBoxLayout* layout_ = nullptr;
    CheckButton* check_ = nullptr;
    RowText* title_ = nullptr;
    RowText* tag_ = nullptr;
};
