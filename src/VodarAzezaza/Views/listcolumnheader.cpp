#include "listcolumnheader.h"

#include "appmodel.h"
#include "editfield.h"
#include "glyphbutton.h"
#include "motion.h"
#include "palette.h"
#include "pembyfont.h"
#include "plaintext.h"
#include "plannerlists.h"
#include "ruled.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int padding = 4;
constexpr int spacing = 8;
constexpr int nameSize = 20;
constexpr int countSize = 12;
constexpr qreal ruleWeight = 2;
const QSize crossFrame(22, 22);

QFont countFont(QFont base)
{
    base.setPixelSize(countSize);
    return base;
}

// Whether the list at `index` still has the name an edit began with.
bool stillNamed(const AppModel& model, int index, const QString& name)
{
    const auto& lists = model.planner().lists;
    return index >= 0 && index < lists.size() && lists[index].name == name;
}

} // namespace

ListColumnHeader::ListColumnHeader(AppModel& model, int index, QWidget* parent)
    : QWidget(parent), model_(model), index_(index)
{
    setFixedHeight(Ruled::headerHeight);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
    if (index_ >= 1) {
        delete_ = GlyphButton::cross(Palette::pembyMuted, crossFrame, this);
        delete_->setToolTip(QStringLiteral("Delete this list"));
        delete_->setInkOpacity(0);
        connect(delete_, &GlyphButton::clicked, this,
                [this] { Motion::pointer([this] { model_.lists().requestDeleteList(index_); }); });
    }
    fade_.setEasingCurve(QEasingCurve::OutQuad);
    fade_.setDuration(fadeMs);
    connect(&fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        if (delete_)
            delete_->setInkOpacity(v.toReal());
    });
    connect(&model_, &AppModel::plannerChanged, this, &ListColumnHeader::refresh);
    connect(&model_, &AppModel::editingChanged, this, &ListColumnHeader::syncEditing);
    refresh();
    syncEditing();
}

QString ListColumnHeader::name() const { return name_; }

int ListColumnHeader::openCount() const { return open_; }

QString ListColumnHeader::countText() const { return QString::number(open_); }

void ListColumnHeader::refresh()
{
    const auto& lists = model_.planner().lists;
    QString name;
    int open = 0;
    if (index_ >= 0 && index_ < lists.size()) {
        name = lists[index_].name;
        for (const Thing& thing : lists[index_].things)
            open += !thing.done;
    }
    if (name == name_ && open == open_)
        return;
    name_ = name;
    open_ = open;
    if (delete_)
        delete_->setAccessibleName(QStringLiteral("Delete ") + name_);
    setAccessibleName(name_);
    place();
    update();
}

QRect ListColumnHeader::nameRect() const
{
    const int countWidth = QFontMetrics(countFont(font())).horizontalAdvance(countText());
    int right = width() - padding - countWidth - spacing;
    if (delete_ && !delete_->isHidden())
        right = delete_->x() - spacing;
    return QRect(padding, 0, std::max(0, right - padding), height());
}

void ListColumnHeader::place()
{
    const int countWidth = QFontMetrics(countFont(font())).horizontalAdvance(countText());
    if (delete_) {
        delete_->setVisible(!field_);
        delete_->move(width() - padding - countWidth - spacing - crossFrame.width(),
                      (height() - crossFrame.height()) / 2);
    }
    if (field_) {
        const QRect r = nameRect();
        const int h = field_->sizeHint().height();
        field_->setGeometry(r.left(), (height() - h) / 2, r.width(), h);
    }
}

void ListColumnHeader::resizeEvent(QResizeEvent*) { place(); }

QSize ListColumnHeader::sizeHint() const
{
    const int width = padding * 2 + QFontMetrics(PembyFont::font(nameSize)).horizontalAdvance(name_) + 3 * spacing
        + crossFrame.width() + QFontMetrics(countFont(font())).horizontalAdvance(countText());
    return QSize(width, Ruled::headerHeight);
}

QSize ListColumnHeader::minimumSizeHint() const { return QSize(0, Ruled::headerHeight); }

void ListColumnHeader::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!field_) {
        const QFont nameFont = PembyFont::font(nameSize);
        p.setFont(nameFont);
        p.setPen(QColor(Palette::pembyText));
        const QRect r = nameRect();
        PembyFont::drawText(p, r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                            QFontMetrics(nameFont).elidedText(name_, Qt::ElideRight, r.width()));
    }
    p.setFont(countFont(font()));
    p.setPen(QColor(Palette::pembyMuted));
    p.drawText(rect().adjusted(padding, 0, -padding, 0), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
               countText());
    Ruled::paint(p, rect(), Palette::pembyText, ruleWeight);
}

void ListColumnHeader::syncEditing()
{
    const bool wanted = model_.editing() == Editing::listName(index_);
    if (wanted == bool(field_))
        return;
    if (!wanted) {
        // Hiding it hands whatever was typed to its removal handler.
        EditField* gone = field_;
        field_ = nullptr;
        gone->hide();
        gone->deleteLater();
        place();
        update();
        return;
    }

    AppModel* model = &model_;
    const int index = index_;
    const QString began = name_;
    const auto close = [model, index] {
        if (model->editing() == Editing::listName(index))
            model->setEditing(std::nullopt);
    };
    field_ = new EditField(
        name_, QString(), PembyFont::font(nameSize), false,
        [model, index, began, close](const QString& text, EditField::Ending) {
            if (stillNamed(*model, index, began))
                model->lists().renameList(index, text);
            close();
        },
        close, this);
    field_->commitOnRemoval(model, [model, index, began](const QString& text) {
        if (stillNamed(*model, index, began))
            model->lists().renameList(index, text);
    });
    place();
    field_->show();
    update();
}

void ListColumnHeader::setHovering(bool hovering)
{
    if (hovering == hovering_)
        return;
    hovering_ = hovering;
    if (!delete_)
        return;
    const qreal target = hovering_ ? 1 : 0;
    fade_.stop();
    if (!Motion::animates()) {
        delete_->setInkOpacity(target);
        return;
    }
    fade_.setStartValue(delete_->inkOpacity());
    fade_.setEndValue(target);
    fade_.start();
}

void ListColumnHeader::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setHovering(true);
}

void ListColumnHeader::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovering(false);
}

void ListColumnHeader::startRename() { model_.setEditing(Editing::listName(index_)); }

void ListColumnHeader::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || field_ || !nameRect().contains(event->position().toPoint())) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    event->accept();
    startRename();
}

QMenu* ListColumnHeader::makeMenu()
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu->addAction(QStringLiteral("Rename")), &QAction::triggered, this, &ListColumnHeader::startRename);
    connect(menu->addAction(QStringLiteral("New Thing")), &QAction::triggered, this,
            [this] { model_.startNewThing(Place::inList(index_)); });
    if (index_ >= 1) {
        menu->addSeparator();
        connect(menu->addAction(QStringLiteral("Delete List…")), &QAction::triggered, this,
                [this] { Motion::pointer([this] { model_.lists().requestDeleteList(index_); }); });
    }
    return menu;
}

void ListColumnHeader::contextMenuEvent(QContextMenuEvent* event)
{
    if (field_ || !nameRect().contains(event->pos())) {
        QWidget::contextMenuEvent(event);
        return;
    }
    event->accept();
    makeMenu()->popup(event->globalPos());
}
