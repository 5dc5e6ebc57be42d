#pragma once
// One planner thing as one line of a column: the check box, the title (or the inline
// field that renames it), the steps count, the reminder time, the note and repeat
// marks and the move-count badge, over the selection and hover washes.
//
// API
//   auto* row = new ThingRow(model, thing, place, index, spot, column);
//   row->setThing(thing, place, index);  on every model change; updates only what differs
//                                      (another thing, when its column hands it on)
//   row->syncDetail();                 once the column is settled: opens or closes the
//                                      detail popover as the model's `opened` says
//
// Click selects (Ctrl adds or removes, Shift takes the range); a click on the title
// renames it after the double-click time; a double click opens the detail; a drag
// carries the thing (the whole selection when it is part of it); the context menu has
// the thing's commands. Every change goes through the model.

#include "rowframe.h"
#include "things.h"

#include <QSet>


class CheckButton;
class DropSpotState;
class InsertionLine;
class QHBoxLayout;
class QMenu;
class RowDrop;
class RowText;
class ThingDetail;
class ZCount;

class ThingRow : public RowFrame {
    Q_OBJECT
public:
    ThingRow(AppModel& model, const Thing& thing, const Place& place, int index, DropSpotState& spot,
             QWidget* parent = nullptr);
    ~ThingRow() override;

    // The thing's upper-case UUID.
    static QString rowID(const QUuid& id);
    QString rowID() const { return rowID(thing_.id); }
    const Thing& thing() const { return thing_; }
    const Place& place() const { return place_; }
    int index() const { return index_; }

    void setThing(const Thing& thing, const Place& place, int index);
    void syncDetail() override;

    // The open detail, for the row that shows its thing after a re-read.
    Popover* takeDetail() { return takePopover(); }
    void adoptDetail(Popover* popover);
    ThingDetail* detail() const;

    QMenu* makeMenu() override;

    // The text of the move-count badge's tooltip.
    static QString movedText(int count);

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
    void resizeEvent(QResizeEvent* event) override;

private:
    void open();
    void refreshContent();
    // Adds a mark after the title, made the first time the thing needs it.
    void insertMark(QWidget* mark);
    void wantMark(QWidget* mark, bool wanted);
    // Shows the wanted marks that fit beside the title's minimum width.
    void fitMarks();
    void followEditing();
    void followDragging();
    // The selection when the thing is part of it, else the thing alone.
    QList<QUuid> menuIDs() const;

    Thing thing_;
    Place place_;
    int index_;

    QHBoxLayout* layout_ = nullptr;
    CheckButton* check_ = nullptr;
    RowText* title_ = nullptr;
    RowText* steps_ = nullptr;
    RowText* reminder_ = nullptr;
    RowText* note_ = nullptr;
    RowText* repeat_ = nullptr;
    ZCount* moved_ = nullptr;
    RowDrop* drop_ = nullptr;
    InsertionLine* line_ = nullptr;
    QSet<QWidget*> wantedMarks_;
};
