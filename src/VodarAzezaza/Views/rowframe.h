#pragma once
// What the row of a planner thing and the row of another app's thing share: the 32-high
// frame with its selection and hover washes and its rule, the dimming while the thing
// is dragged, the mouse (click, click on the title, double click, drag) and the detail
// popover that the row anchors.
//
// API (for the two rows)
//   class ThingRow : public RowFrame { ... override the hooks below ... };
//   presentPopover(detail)   shows the detail beside the row, on its trailing side
//   dismissPopover()         closes it without asking popoverClosed()
//
// A plain click on the title asks for a rename only once the double-click time has gone
// by without a second click, so a double click still opens the detail. A press that
// lands outside an open inline field first lets that field finish (it commits as when
// it loses the keys), so the click never swallows what was typed there.

#include "appmodeltypes.h"

#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>

class AppModel;
class EditField;
class Popover;
class QBoxLayout;
class QGraphicsOpacityEffect;
class QMenu;

class RowFrame : public QWidget {
    Q_OBJECT
public:
    ~RowFrame() override;

    bool isHovering() const { return hovering_; }
    bool isDimmed() const { return dimmed_; }
    // The detail popover while one is open from this row.
    Popover* popover() const { return popover_; }
    // Opens or closes the detail popover as the model says; a row off screen waits
    // until it is shown.
    virtual void syncDetail() = 0;
    // The context menu as it stands now; the caller owns it.
    virtual QMenu* makeMenu() = 0;
    // The inline field of the title, while the row shows one.
    EditField* renameField() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr int hoverMs = 120;
    static constexpr qreal dimmedOpacity = 0.35;
    static constexpr int leading = 2;
    static constexpr int trailing = 4;
    static constexpr int spacing = 6;

protected:
    RowFrame(AppModel& model, QWidget* parent);

    // What the row shows now.
    virtual bool isSelectedRow() const = 0;
    virtual bool isEditingRow() const = 0;
    // The title view while it is shown; clicks on it are the title's.
    virtual QWidget* titleView() const = 0;
    // A single click on the title; true asks for a rename once no double click follows.
    virtual bool clickedTitle(Qt::KeyboardModifiers modifiers) = 0;
    virtual void clickedRow(Qt::KeyboardModifiers modifiers) = 0;
    // The double-click time has passed after a title click that asked for a rename.
    virtual void renameAfterClick() = 0;
    virtual void doubleClicked() = 0;
    virtual void startDrag() = 0;
    // The user closed the popover (a click outside, Escape).
    virtual void popoverClosed() = 0;

    // Swaps `title` in `layout` for an inline field while `editing`, and back. The
    // field starts from `text`; Return hands it to `finish`, the model's gesture that
    // renames and ends the edit only while the model still edits `edit`, so a late
    // commit (the field lost its keys to the click that began another edit) never ends
    // that other edit. Escape ends the edit on the same terms. A field taken
    // away unfinished (its thing moved, the app quits) hands text that is not blank to
    // `keep`, which renames the thing wherever it still is.
    void followRename(bool editing, QBoxLayout* layout, QWidget* title, const QString& text, const Editing& edit,
                      std::function<void(const QString&)> finish, std::function<void(const QString&)> keep);

    // Opens the popover that `make` fills while `wanted`, closes it otherwise.
    void syncPopover(bool wanted, const std::function<QWidget*()>& make);
    void presentPopover(QWidget* content);
    void dismissPopover();
    // Gives up the popover without closing it, for another row to take over.
    Popover* takePopover();
    void adoptPopover(Popover* popover);

    void setDimmed(bool dimmed);
    // Stops hearing the model, as a row's destructor does first: nothing the model says
    // while the row goes is for it. Nothing happens when the model went first.
    void stopListening();

    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;

    AppModel& model_;

private:
    QPointer<AppModel> alive_;
    void setHovering(bool hovering);
    void watchPopover();

    bool hovering_ = false;
    qreal hoverAmount_ = 0;
    QVariantAnimation hoverFade_;
    bool dimmed_ = false;
    QGraphicsOpacityEffect* dim_ = nullptr;

    QPoint pressAt_;
    bool pressed_ = false;
    bool pressedOnTitle_ = false;
    QTimer renameTimer_;

    QPointer<Popover> popover_;
    QPointer<EditField> field_;
};
