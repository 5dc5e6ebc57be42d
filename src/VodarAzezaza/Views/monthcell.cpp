#include "monthcell.h"

#include "titletext.h"

#include "appmodel.h"
#include "boarddrag.h"
#include "boardselection.h"
#include "motion.h"
#include "palette.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>

namespace {

constexpr int sidePadding = 8;
constexpr int topPadding = 5;
constexpr int bottomPadding = 8;
constexpr int spacing = 2;
constexpr int textSize = 11;
constexpr int todayPadding = 5;
constexpr int numberPadding = 2;
constexpr int selectedPadding = 3;

} // namespace

MonthCell::MonthCell(AppModel& model, Day day, QWidget* parent) : QWidget(parent), model_(model), day_(day)
{
    setAcceptDrops(true);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    // Once per operation: the things, then which of them are selected, then the shade
    // of today and of the shown month.
    connect(&model_.transitions(), &ModelTransitions::ended, this, [this](const ModelChanges& changes) {
        if (changes.contains(&AppModel::plannerChanged))
            refresh();
        if (changes.contains(&BoardSelection::selectionChanged))
            refreshSelection();
        if (changes.containsAny({&AppModel::todayChanged, &AppModel::anchorChanged}))
            update();
    });
    showThings(model_.planner().things(Place::onDay(day_)));
}

void MonthCell::setDay(Day day)
{
    if (day == day_)
        return;
    day_ = day;
    // A press on the day before is no click or drag on this one.
    pressed_.reset();
    showThings(model_.planner().things(Place::onDay(day_)));
}

bool MonthCell::inShownMonth() const { return day_.monthKey() == model_.anchor().monthKey(); }

bool MonthCell::isToday() const { return day_ == model_.today(); }

void MonthCell::refresh()
{
    // Unchanged days share their list with the plan, so this is cheap when nothing moved.
    const QList<Thing> now = model_.planner().things(Place::onDay(day_));
    if (now == things_)
        return;
    showThings(now);
}

void MonthCell::showThings(const QList<Thing>& things)
{
    things_ = things;
    setAccessibleName(model_.label(Place::onDay(day_)) + QStringLiteral(", ") + QString::number(things_.size())
                      + QStringLiteral(" things"));
    selected_.clear();
    refreshSelection();
    update();
}

const MonthCell::Fitted& MonthCell::fitted(int line, int width) const
{
    if (qsizetype(fitted_.size()) <= line)
        fitted_.resize(line + 1);
    Fitted& f = fitted_[line];
    const Thing& thing = things_[line];
    if (f.width < 0 || thing.title != f.title) {
        f.title = thing.title;
        f.advance = QFontMetricsF(lineFont()).horizontalAdvance(TitleText::shown(thing.title));
        f.width = -1;
    }
    if (f.width != width) {
        f.width = width;
        f.line = TitleText::fit(thing.title, QFontMetrics(lineFont()), width, f.advance);
        f.layout.reset();
    }
    if (!f.layout || f.struck != thing.done) {
        // As TitleText::draw sets it, kept: drawing it again needs no new shaping.
        f.struck = thing.done;
        f.layout = std::make_unique<QTextLayout>(f.line.text, lineFont(), this);
        // Set at the left of a line without end; the paint places it at its side.
        QTextOption option(Qt::AlignLeft);
        option.setTextDirection(f.line.direction);
        option.setWrapMode(QTextOption::NoWrap);
        f.layout->setTextOption(option);
        f.layout->setCacheEnabled(true);
        f.layout->beginLayout();
        QTextLine laid = f.layout->createLine();
        if (laid.isValid()) {
            laid.setLineWidth(0x01000000);
            laid.setPosition(QPointF(0, 0));
        }
        f.layout->endLayout();
    }
    return f;
}

void MonthCell::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        fitted_.clear();
    QWidget::changeEvent(event);
}

void MonthCell::refreshSelection()
{
    QList<bool> selected;
    for (qsizetype i = 0; i < std::min<qsizetype>(shownThings, things_.size()); ++i)
        selected.append(model_.selection().ids().contains(things_[i].id));
    // Element by element: Qt's own comparison hands two empty lists' null and non-null
    // buffers to memcmp, which the sanitizer rightly calls undefined.
    if (std::equal(selected.cbegin(), selected.cend(), selected_.cbegin(), selected_.cend()))
        return;
    selected_ = selected;
    update();
}

QList<bool> MonthCell::marks() const
{
    QList<bool> done;
    for (const Thing& thing : things_)
        done.append(thing.done);
    std::stable_sort(done.begin(), done.end(), [](bool a, bool b) { return a && !b; });
    return done.mid(0, maxMarks);
}

QString MonthCell::moreText() const
{
    return things_.size() > shownThings ? QStringLiteral("+") + QString::number(things_.size() - shownThings) : QString();
}

QFont MonthCell::lineFont() const
{
    QFont f = font();
    f.setPixelSize(textSize);
    return f;
}

QFont MonthCell::numberFont() const
{
    QFont f = lineFont();
    f.setWeight(QFont::Medium);
    return f;
}

int MonthCell::dayLineHeight() const { return QFontMetrics(numberFont()).height() + 2 * numberPadding; }

QRect MonthCell::lineRect(int line) const
{
    const int h = QFontMetrics(lineFont()).height();
    const int y = topPadding + dayLineHeight() + spacing + line * (h + spacing);
    return QRect(sidePadding, y, std::max(0, width() - 2 * sidePadding), h);
}

QRect MonthCell::markRect(int mark) const
{
    return QRect(sidePadding + mark * (markSize + markSpacing), height() - bottomPadding - markSize, markSize, markSize);
}

std::optional<QUuid> MonthCell::lineAt(const QPoint& point) const
{
    for (int i = 0; i < std::min<qsizetype>(shownThings, things_.size()); ++i) {
        if (lineRect(i).contains(point))
            return things_[i].id;
    }
    return std::nullopt;
}

void MonthCell::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!inShownMonth())
        p.fillRect(rect(), QColor(Palette::pembyOtherMonth));

    // The day line: the number, a patch of yellow under today's.
    const bool today = isToday();
    const QFont number = numberFont();
    const QString numberText = QString::number(day_.day);
    const int numberWidth = QFontMetrics(number).horizontalAdvance(numberText) + (today ? 2 * todayPadding : 0);
    const QRect numberRect(sidePadding, topPadding, numberWidth, dayLineHeight());
    if (today) {
        QPainterPath patch;
        patch.addRoundedRect(QRectF(numberRect), 6, 6);
        p.fillPath(patch, QColor(Palette::yawn));
    }
    p.setFont(number);
    p.setPen(QColor(today ? Palette::ink : Palette::pembyMuted));
    p.drawText(numberRect, Qt::AlignCenter, numberText);
    const QFont line = lineFont();
    p.setFont(line);
    if (const QString more = moreText(); !more.isEmpty()) {
        p.setPen(QColor(Palette::pembyFaint));
        p.drawText(QRect(numberRect.right() + 1, topPadding, width() - sidePadding - numberRect.right() - 1,
                         dayLineHeight()),
                   Qt::AlignRight | Qt::AlignVCenter, more);
    }

    for (int i = 0; i < std::min<qsizetype>(shownThings, things_.size()); ++i) {
        const Thing& thing = things_[i];
        const bool selected = model_.selection().ids().contains(thing.id);
        QRect r = lineRect(i);
        if (selected)
            r.adjust(selectedPadding, 0, -selectedPadding, 0);
        const Fitted& shown = fitted(i, r.width());
        const TitleText::Line& title = shown.line;
        if (selected) {
            const qreal w = title.width + 2 * selectedPadding;
            const QRect washed = r.adjusted(-selectedPadding, 0, selectedPadding, 0);
            QPainterPath wash;
            wash.addRoundedRect(QRectF(TitleText::start(washed, w, title.direction), r.top(), w, r.height()), 3, 3);
            p.fillPath(wash, QColor(Palette::pembySelection));
        }
        p.setPen(QColor(thing.done ? Palette::pembyFaint : Palette::pembyText));
        if (shown.layout->lineCount() > 0) {
            const QTextLine laid = shown.layout->lineAt(0);
            p.save();
            p.setClipRect(r, Qt::IntersectClip);
            const QPointF at(r.left() + (title.direction == Qt::RightToLeft ? r.width() - laid.horizontalAdvance() : 0),
                             r.top() + (r.height() - laid.height()) / 2);
            shown.layout->draw(&p, at);
            if (thing.done) {
                // The strike as the painter draws a struck font's text.
                const QFontMetricsF metrics(line);
                const qreal y = at.y() + laid.ascent() - metrics.ascent() / 3;
                QPen pen = p.pen();
                pen.setWidthF(metrics.lineWidth());
                pen.setCapStyle(Qt::FlatCap);
                p.setPen(pen);
                p.drawLine(QLineF(std::floor(at.x()), y, std::floor(at.x() + laid.naturalTextWidth()), y));
            }
            p.restore();
        }
    }

    const QList<bool> squares = marks();
    for (int i = 0; i < squares.size(); ++i)
        p.fillRect(markRect(i), QColor(squares[i] ? Palette::pembyText : Palette::pembyFaint));
}

void MonthCell::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressed_ = lineAt(event->position().toPoint());
    pressPos_ = event->position().toPoint();
    event->accept();
}

void MonthCell::mouseMoveEvent(QMouseEvent* event)
{
    if (!pressed_ || !(event->buttons() & Qt::LeftButton)
        || (event->position().toPoint() - pressPos_).manhattanLength() < QApplication::startDragDistance()) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QUuid id = *pressed_;
    pressed_.reset();
    startDrag(id);
}

void MonthCell::mouseReleaseEvent(QMouseEvent* event)
{
    const std::optional<QUuid> pressed = std::exchange(pressed_, std::nullopt);
    if (event->button() != Qt::LeftButton || !pressed || lineAt(event->position().toPoint()) != pressed) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    const Qt::KeyboardModifiers mods = event->modifiers();
    model_.selection().click(*pressed, mods & Qt::ControlModifier, mods & Qt::ShiftModifier);
}

void MonthCell::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    event->accept();
    pressed_.reset();
    model_.showDay(day_, Mode::Week);
}

void MonthCell::startDrag(const QUuid& id)
{
    auto* mime = new QMimeData;
    mime->setText(model_.drag().beginDrag(id));
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    // The board may remove this cell while the drag runs its own event loop: nothing of
    // the cell is touched after it.
    AppModel& model = model_;
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
    model.drag().endDrag();
}

std::optional<Qt::DropAction> MonthCell::dropActionFor(const QMimeData* mime) const
{
    if (model_.drag().isDraggingInside())
        return Qt::MoveAction;
    if (mime && mime->hasText())
        return Qt::CopyAction;
    return std::nullopt;
}

void MonthCell::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void MonthCell::dragMoveEvent(QDragMoveEvent* event)
{
    const auto action = dropActionFor(event->mimeData());
    if (!action) {
        event->ignore();
        return;
    }
    event->setDropAction(*action);
    event->accept();
}

void MonthCell::dropEvent(QDropEvent* event)
{
    const auto action = dropActionFor(event->mimeData());
    if (!action) {
        event->ignore();
        return;
    }
    // This app's own drag is known to the model; only text from elsewhere is read.
    const QStringList texts = *action == Qt::MoveAction ? QStringList() : QStringList{event->mimeData()->text()};
    bool taken = false;
    Motion::pointer([&] { taken = model_.drag().drop(texts, Place::onDay(day_), std::nullopt, true); });
    if (!taken) {
        event->ignore();
        return;
    }
    event->setDropAction(*action);
    event->accept();
}
