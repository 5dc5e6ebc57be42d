#include "rowframe.h"

#include "appmodel.h"
#include "editfield.h"
#include "hoverfollow.h"
#include "motion.h"
#include "palette.h"
#include "popover.h"
#include "rowtext.h"
#include "ruled.h"

#include <QApplication>
#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QGraphicsOpacityEffect>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr qreal washRadius = 6;

// The inline field that has the keys, when it is not inside `row`.
EditField* fieldElsewhere(const QWidget* row)
{
    auto* field = qobject_cast<EditField*>(QApplication::focusWidget());
    if (!field || row->isAncestorOf(field) || field->isFinished())
        return nullptr;
    return field;
}

} // namespace

RowFrame::RowFrame(AppModel& model, QWidget* parent) : QWidget(parent), model_(model), alive_(&model)
{
    setFixedHeight(32);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
    HoverFollow::track(this, [this](bool over) { setHovering(over); });
    hoverFade_.setEasingCurve(QEasingCurve::OutQuad);
    hoverFade_.setDuration(hoverMs);
    connect(&hoverFade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        hoverAmount_ = v.toReal();
        update();
    });
    renameTimer_.setSingleShot(true);
    connect(&renameTimer_, &QTimer::timeout, this, [this] { renameAfterClick(); });
}

RowFrame::~RowFrame()
{
    // A row going away takes its popover along; what it holds is saved by the detail
    // itself as it goes.
    if (popover_) {
        disconnect(popover_, nullptr, this, nullptr);
        popover_->hide();
        popover_->deleteLater();
    }
}

EditField* RowFrame::renameField() const { return field_; }

QSize RowFrame::sizeHint() const { return QSize(QWidget::sizeHint().width(), 32); }
QSize RowFrame::minimumSizeHint() const { return QSize(QWidget::minimumSizeHint().width(), 32); }

void RowFrame::stopListening()
{
    if (alive_)
        disconnect(alive_, nullptr, this, nullptr);
}

void RowFrame::setDimmed(bool dimmed)
{
    if (dimmed == dimmed_)
        return;
    dimmed_ = dimmed;
    if (dimmed) {
        dim_ = new QGraphicsOpacityEffect(this);
        dim_->setOpacity(dimmedOpacity);
        setGraphicsEffect(dim_);
    } else {
        setGraphicsEffect(nullptr);  // deletes the effect
        dim_ = nullptr;
    }
}

void RowFrame::setHovering(bool hovering)
{
    if (hovering == hovering_)
        return;
    hovering_ = hovering;
    const qreal target = hovering ? 1 : 0;
    hoverFade_.stop();
    if (!Motion::animates()) {
        hoverAmount_ = target;
        update();
        return;
    }
    hoverFade_.setStartValue(hoverAmount_);
    hoverFade_.setEndValue(target);
    hoverFade_.start();
}

void RowFrame::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setHovering(true);
}

void RowFrame::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovering(false);
}

void RowFrame::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool editing = isEditingRow();
    QColor wash;
    if (isSelectedRow() && !editing) {
        wash = Palette::pembySelection;
    } else if (!editing && hoverAmount_ > 0) {
        wash = Palette::pembyWell;
        wash.setAlphaF(float(wash.alphaF() * hoverAmount_));
    }
    if (wash.isValid() && wash.alpha() > 0) {
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), washRadius, washRadius);
        p.fillPath(path, wash);
    }
    Ruled::paint(p, rect(), Palette::pembyRule);
}

void RowFrame::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The open field elsewhere finishes first, as when it loses the keys to the click.
    if (EditField* field = fieldElsewhere(this))
        field->clearFocus();
    pressAt_ = event->position().toPoint();
    pressed_ = true;
    const QWidget* title = titleView();
    pressedOnTitle_ = title && title->isVisible() && title->geometry().contains(pressAt_);
    event->accept();
}

void RowFrame::mouseMoveEvent(QMouseEvent* event)
{
    if (!pressed_ || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    if ((event->position().toPoint() - pressAt_).manhattanLength() < QApplication::startDragDistance())
        return;
    pressed_ = false;
    renameTimer_.stop();
    startDrag();
}

void RowFrame::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressed_) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    pressed_ = false;
    event->accept();
    if (!rect().contains(event->position().toPoint()))
        return;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (pressedOnTitle_) {
        if (clickedTitle(modifiers))
            renameTimer_.start(QApplication::doubleClickInterval());
    } else {
        clickedRow(modifiers);
    }
}

void RowFrame::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    // The release that follows belongs to the double click.
    pressed_ = false;
    renameTimer_.stop();
    event->accept();
    doubleClicked();
}

void RowFrame::followRename(bool editing, QBoxLayout* layout, QWidget* title, const QString& text,
                            const Editing& edit, std::function<void(const QString&)> finish,
                            std::function<void(const QString&)> keep)
{
    if (editing && !field_) {
        AppModel* m = &model_;
        const auto stillThis = [m, edit] { return m->editing() == edit; };
        field_ = new EditField(
            text, QString(), sizedFont(font(), 13), true,
            [finish](const QString& typed, EditField::Ending) { finish(typed); },
            [m, stillThis] {
                if (stillThis())
                    m->setEditing(std::nullopt);
            },
            this);
        field_->commitOnRemoval(m, std::move(keep));
        title->hide();
        layout->insertWidget(layout->indexOf(title), field_, 1);
        // The field takes the title's whole space: the spacer after the title gives up
        // its share while the field is open.
        layout->setStretch(layout->indexOf(title) + 1, 0);
        field_->show();
    } else if (!editing && field_) {
        EditField* gone = field_;
        field_ = nullptr;
        gone->hide();
        gone->deleteLater();
        layout->setStretch(layout->indexOf(title) + 1, 1);
        title->show();
    }
    update();
}

void RowFrame::syncPopover(bool wanted, const std::function<QWidget*()>& make)
{
    if (wanted && !popover_ && isVisible())
        presentPopover(make());
    else if (!wanted && popover_)
        dismissPopover();
}

void RowFrame::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A detail asked for while the row was off screen opens once it is shown.
    if (!popover_)
        QTimer::singleShot(0, this, [this] { syncDetail(); });
}

void RowFrame::contextMenuEvent(QContextMenuEvent* event)
{
    // Parentless: an item may remove this row while the menu is still closing.
    std::unique_ptr<QMenu> menu(makeMenu());
    event->accept();
    menu->exec(event->globalPos());
}

void RowFrame::presentPopover(QWidget* content)
{
    dismissPopover();
    // The window owns it, so a row that goes away can hand it to the row that follows.
    popover_ = new Popover(window());
    popover_->setContent(content);
    watchPopover();
    popover_->showAt(this, Qt::RightEdge);
}

void RowFrame::watchPopover()
{
    connect(popover_, &Popover::closed, this, [this] {
        // Asked once: the hide that follows a dismissal does not ask again.
        disconnect(popover_, &Popover::closed, this, nullptr);
        popoverClosed();
    });
}

void RowFrame::dismissPopover()
{
    if (!popover_)
        return;
    Popover* gone = popover_;
    popover_ = nullptr;
    disconnect(gone, nullptr, this, nullptr);
    gone->hide();
    gone->deleteLater();
}

Popover* RowFrame::takePopover()
{
    Popover* taken = popover_;
    popover_ = nullptr;
    if (taken)
        disconnect(taken, nullptr, this, nullptr);
    return taken;
}

void RowFrame::adoptPopover(Popover* popover)
{
    dismissPopover();
    popover_ = popover;
    if (!popover_)
        return;
    watchPopover();
    if (popover_->isVisible())
        popover_->showAt(this, Qt::RightEdge);
}
