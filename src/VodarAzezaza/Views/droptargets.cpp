#include "droptargets.h"

#include "appmodel.h"
#include "boarddrag.h"
#include "palette.h"

#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QPointer>

void DropSpotState::setSpot(const std::optional<DropSpot>& spot)
{
    if (spot == spot_)
        return;
    spot_ = spot;
    emit spotChanged();
}

namespace DropTargets {

bool carriesText(const QMimeData* data) { return data && data->hasText(); }

QStringList texts(const QMimeData* data)
{
    if (!carriesText(data))
        return {};
    return {data->text()};
}

} // namespace DropTargets

namespace {

// A drag from this window moves what it carries; anything else is copied in.
Qt::DropAction wanted(const AppModel& model) { return model.drag().isDraggingInside() ? Qt::MoveAction : Qt::CopyAction; }

void propose(QDragMoveEvent* event, Qt::DropAction action)
{
    if (event->possibleActions() & action)
        event->setDropAction(action);
    event->accept();
}

// A drag over a target: only text is taken, and `settle` puts the spot under the pointer.
bool hoverOver(QEvent* event, const AppModel& model, const std::function<void(qreal y)>& settle)
{
    auto* move = static_cast<QDragMoveEvent*>(event);
    if (!DropTargets::carriesText(move->mimeData())) {
        move->ignore();
        return true;
    }
    settle(move->position().y());
    propose(move, wanted(model));
    return true;
}

// The shared end of both targets' drops: the texts only for a drop from elsewhere, and
// the drop accepted only when the model took it.
void finishDrop(QDropEvent* event, AppModel& model, const std::function<bool(const QStringList&)>& perform)
{
    if (!DropTargets::carriesText(event->mimeData())) {
        event->ignore();
        return;
    }
    const Qt::DropAction action = wanted(model);
    const QStringList texts = model.drag().isDraggingInside() ? QStringList() : DropTargets::texts(event->mimeData());
    if (!perform(texts)) {
        event->ignore();
        return;
    }
    if (event->possibleActions() & action)
        event->setDropAction(action);
    event->accept();
}

} // namespace

RowDrop::RowDrop(QWidget* row, QString rowID, AppModel& model, DropSpotState& spot, Perform perform)
    : QObject(row), rowID_(std::move(rowID)), model_(model), spot_(spot), perform_(std::move(perform))
{
    row->setAcceptDrops(true);
    row->installEventFilter(this);
}

void RowDrop::hover(qreal y)
{
    spot_.setSpot(DropTargets::isBelow(y) ? DropSpot::below(rowID_) : DropSpot::above(rowID_));
}

bool RowDrop::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
        return hoverOver(event, model_, [this](qreal y) { hover(y); });
    case QEvent::DragLeave: {
        const auto& spot = spot_.spot();
        if (spot && spot->kind() != DropSpot::Kind::End && spot->rowID() == rowID_)
            spot_.setSpot(std::nullopt);
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const bool below = DropTargets::isBelow(drop->position().y());
        spot_.setSpot(std::nullopt);
        const Perform perform = perform_;
        finishDrop(drop, model_, [&](const QStringList& texts) { return perform(below, texts); });
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

EndDrop::EndDrop(QWidget* line, AppModel& model, DropSpotState& spot, Perform perform)
    : QObject(line), model_(model), spot_(spot), perform_(std::move(perform))
{
    line->setAcceptDrops(true);
    line->installEventFilter(this);
}

bool EndDrop::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
        return hoverOver(event, model_, [this](qreal) { spot_.setSpot(DropSpot::end()); });
    case QEvent::DragLeave:
        if (spot_.spot() == DropSpot::end())
            spot_.setSpot(std::nullopt);
        return true;
    case QEvent::Drop: {
        spot_.setSpot(std::nullopt);
        const Perform perform = perform_;
        finishDrop(static_cast<QDropEvent*>(event), model_, perform);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

InsertionLine::InsertionLine(QWidget* host, DropSpotState& spot, std::optional<QString> rowID)
    : QWidget(host), spot_(spot), rowID_(std::move(rowID))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    host->installEventFilter(this);
    connect(&spot_, &DropSpotState::spotChanged, this, &InsertionLine::refresh);
    refresh();
}

InsertionLine* InsertionLine::forRow(QWidget* row, DropSpotState& spot, const QString& rowID)
{
    return new InsertionLine(row, spot, rowID);
}

InsertionLine* InsertionLine::forEnd(QWidget* line, DropSpotState& spot) { return new InsertionLine(line, spot, std::nullopt); }

void InsertionLine::setActive(bool active)
{
    if (active == active_)
        return;
    active_ = active;
    refresh();
}

void InsertionLine::setRowID(const QString& rowID)
{
    if (!rowID_ || *rowID_ == rowID)
        return;
    rowID_ = rowID;
    refresh();
}

std::optional<Qt::Edge> InsertionLine::edge() const
{
    const auto& spot = spot_.spot();
    if (!spot || !active_)
        return std::nullopt;
    if (!rowID_)
        return spot->kind() == DropSpot::Kind::End ? std::optional(Qt::TopEdge) : std::nullopt;
    if (spot->rowID() != *rowID_)
        return std::nullopt;
    switch (spot->kind()) {
    case DropSpot::Kind::Above: return Qt::TopEdge;
    case DropSpot::Kind::Below: return Qt::BottomEdge;
    case DropSpot::Kind::End: return std::nullopt;
    }
    return std::nullopt;
}

void InsertionLine::refresh()
{
    const auto at = edge();
    if (!at) {
        hide();
        return;
    }
    const QWidget* host = parentWidget();
    setGeometry(0, *at == Qt::TopEdge ? 0 : host->height() - thickness, host->width(), thickness);
    raise();
    show();
}

bool InsertionLine::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        refresh();
    return QWidget::eventFilter(watched, event);
}

void InsertionLine::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(Palette::snooze));
}

namespace RowDrag {

namespace {
Runner& testRunner()
{
    static Runner runner;
    return runner;
}
} // namespace

void setRunnerForTesting(Runner runner) { testRunner() = std::move(runner); }

void run(QWidget* source, AppModel& model, const QString& text)
{
    // The drop may remove the row (and so the drag's parent) while the drag runs, and
    // the model may be replaced; neither is touched unless it is still there.
    QPointer<AppModel> alive(&model);
    QPointer<QDrag> drag = new QDrag(source);
    auto* data = new QMimeData;
    data->setText(text);
    drag->setMimeData(data);
    const QPixmap picture = source->grab();
    drag->setPixmap(picture);
    drag->setHotSpot(QPoint(picture.width() / (2 * std::max<qreal>(1, picture.devicePixelRatio())), 16));
    if (const Runner& runner = testRunner()) {
        runner(*drag);
        if (drag)
            drag->deleteLater();
    } else {
        drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
    }
    if (alive)
        alive->drag().endDrag();
}

} // namespace RowDrag
