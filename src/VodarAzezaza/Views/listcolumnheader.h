#pragma once
// The header of one undated list's column: its name in the pixel font (a double click
// or "Rename" edits it in place), a delete cross that shows under the pointer (not on
// the first list, which always stays), and how many of its things are still open.
//
// API
//   auto* header = new ListColumnHeader(model, index, column);   36 high; all from the model
//   header->field()            the name's edit field while the model edits this name
//
// The header stands for the list at its index; after a re-read another list may stand
// there, so an edit renames only the list it began on (compared by name).

#include "editfield.h"

#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

class AppModel;
class GlyphButton;
class QMenu;

class ListColumnHeader : public QWidget {
    Q_OBJECT
public:
    ListColumnHeader(AppModel& model, int index, QWidget* parent = nullptr);

    int index() const { return index_; }
    // The list's name and open count as shown ("" and 0 for an index past the lists).
    QString name() const;
    int openCount() const;
    EditField* field() const { return field_; }
    // None on the first list.
    GlyphButton* deleteButton() const { return delete_; }
    bool isHovering() const { return hovering_; }
    // Where the name sits; its double click and its menu belong there.
    QRect nameRect() const;
    // The name's menu, as a right click shows it.
    QMenu* makeMenu();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr int fadeMs = 120;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void refresh();
    void syncEditing();
    void place();
    void setHovering(bool hovering);
    QString countText() const;
    void startRename();

    AppModel& model_;
    const int index_;
    QString name_;
    int open_ = 0;
    GlyphButton* delete_ = nullptr;
    QPointer<EditField> field_;
    bool hovering_ = false;
    QVariantAnimation fade_;
};
