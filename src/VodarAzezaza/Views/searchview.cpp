#include "searchview.h"

#include "appmodel.h"
#include "plansearch.h"
#include "palette.h"
#include "plaintext.h"
#include "rowtext.h"
#include "ruled.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int hitPadding = 14;

// A hairline across the sheet.
class Divider : public QWidget {
public:
    explicit Divider(QWidget* parent) : QWidget(parent) { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(Palette::pembyRule));
    }
};

class Magnifier : public QWidget {
public:
    explicit Magnifier(QWidget* parent) : QWidget(parent) { setFixedSize(16, 16); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPen pen{QColor(Palette::pembyMuted), 1.6};
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        const QPointF c = QRectF(rect()).center();
        p.drawEllipse(QPointF(c.x() - 1.5, c.y() - 1.5), 5, 5);
        p.drawLine(QPointF(c.x() + 2.2, c.y() + 2.2), QPointF(c.x() + 6, c.y() + 6));
    }
};

} // namespace

// ---- One hit ----------------------------------------------------------------------

SearchHitRow::SearchHitRow(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setFixedHeight(Ruled::lineHeight);
    title_ = new RowText(13, this);
    where_ = new RowText(12, this);
    where_->setColor(Palette::pembyMuted);
    for (QWidget* text : {static_cast<QWidget*>(title_), static_cast<QWidget*>(where_)})
        text->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(hitPadding, 0, hitPadding, 0);
    row->setSpacing(8);
    row->addWidget(title_, 1);
    row->addWidget(where_);
}

void SearchHitRow::setHit(const Thing& thing, const Place& place, const QString& where)
{
    place_ = place;
    id_ = thing.id;
    title_->setText(thing.title);
    title_->setStruck(thing.done);
    title_->setColor(thing.done ? Palette::pembyFaint : Palette::pembyText);
    where_->setText(where);
    setAccessibleName(thing.title + QStringLiteral(", ") + where);
}

QSize SearchHitRow::sizeHint() const
{
    return QSize(SearchView::width, Ruled::lineHeight);
}

void SearchHitRow::paintEvent(QPaintEvent*)
{
    // The whole line answers the pointer, so the whole line shows it does.
    if (!hovered_ && !isDown())
        return;
    QPainter p(this);
    p.fillRect(rect(), QColor(Palette::pembyWell));
}

void SearchHitRow::enterEvent(QEnterEvent* event)
{
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SearchHitRow::leaveEvent(QEvent* event)
{
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

// ---- The sheet --------------------------------------------------------------------

SearchView::SearchView(AppModel& model, QWidget* parent) : SheetContent(parent), model_(model)
{
    setFixedWidth(width);
    setAutoFillBackground(true);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(14, 14, 14, 14);
    searchRow->setSpacing(8);
    searchRow->addWidget(new Magnifier(this));
    field_ = new QLineEdit(this);
    field_->setFrame(false);
    field_->setPlaceholderText(QStringLiteral("Search everything you planned"));
    field_->setAttribute(Qt::WA_MacShowFocusRect, false);
    QFont fieldFont = field_->font();
    fieldFont.setPixelSize(15);
    field_->setFont(fieldFont);
    // The field sits on the sheet itself, without a box of its own.
    QPalette fieldPalette = field_->palette();
    fieldPalette.setColor(QPalette::Base, Qt::transparent);
    field_->setPalette(fieldPalette);
    field_->setText(model_.search().searchText());
    searchRow->addWidget(field_, 1);
    column->addLayout(searchRow);
    column->addWidget(new Divider(this));

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFixedHeight(resultsHeight);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->viewport()->setAutoFillBackground(false);
    auto* results = new QWidget;
    auto* resultsColumn = new QVBoxLayout(results);
    resultsColumn->setContentsMargins(0, 0, 0, 0);
    resultsColumn->setSpacing(0);
    empty_ = PlainText::label(QString(), results);
    empty_->setContentsMargins(14, 14, 14, 14);
    QFont emptyFont = empty_->font();
    emptyFont.setPixelSize(13);
    empty_->setFont(emptyFont);
    QPalette emptyPalette = empty_->palette();
    emptyPalette.setColor(QPalette::WindowText, Palette::pembyMuted);
    empty_->setPalette(emptyPalette);
    resultsColumn->addWidget(empty_);
    list_ = new QWidget(results);
    auto* lines = new QVBoxLayout(list_);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(0);
    resultsColumn->addWidget(list_);
    resultsColumn->addStretch(1);
    scroll->setWidget(results);
    // The scroll area paints its content's background; the sheet's own shows through.
    results->setAutoFillBackground(false);
    column->addWidget(scroll);
    column->addWidget(new Divider(this));

    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(10, 10, 10, 10);
    footer->addStretch(1);
    done_ = new QPushButton(QStringLiteral("Done"), this);
    // Return belongs to the field: it reveals the first hit, it does not press Done.
    done_->setAutoDefault(false);
    done_->setDefault(false);
    footer->addWidget(done_);
    column->addLayout(footer);

    auto* cancel = new QAction(this);
    cancel->setShortcut(Qt::Key_Escape);
    cancel->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(cancel);
    connect(cancel, &QAction::triggered, this, [this] { model_.search().setSearching(false); });
    connect(done_, &QPushButton::clicked, this, [this] { model_.search().setSearching(false); });

    connect(field_, &QLineEdit::textEdited, this, [this](const QString& text) { model_.search().setSearchText(text); });
    connect(field_, &QLineEdit::returnPressed, this, &SearchView::revealFirst);
    // Once per operation, whether the words or the plan they are looked for in changed.
    connect(&model_.transitions(), &ModelTransitions::ended, this, [this](const ModelChanges& changes) {
        const bool words = changes.contains(&PlanSearch::searchTextChanged);
        if (words && field_->text() != model_.search().searchText())
            field_->setText(model_.search().searchText());
        if (words || changes.contains(&AppModel::plannerChanged))
            sync();
    });
    sync();
}

void SearchView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Once the sheet is up, so the dialog's own choice of focus does not undo it.
    QTimer::singleShot(0, field_, [field = field_] { field->setFocus(Qt::OtherFocusReason); });
}

void SearchView::sync()
{
    const QList<SearchHit> hits = model_.planner().search(model_.search().searchText()).mid(0, maxHits);

    QHash<QUuid, SearchHitRow*> kept;
    order_.clear();
    for (const SearchHit& hit : hits) {
        SearchHitRow* row = rows_.take(hit.thing.id);
        if (!row) {
            row = new SearchHitRow(list_);
            connect(row, &QAbstractButton::clicked, this, [this, row] { reveal(*row); });
        }
        row->setHit(hit.thing, hit.place, model_.label(hit.place));
        kept.insert(hit.thing.id, row);
        order_.append(row);
    }
    for (SearchHitRow* gone : std::as_const(rows_)) {
        gone->hide();
        gone->deleteLater();
    }
    rows_ = std::move(kept);

    auto* lines = static_cast<QVBoxLayout*>(list_->layout());
    while (lines->count() > 0)
        delete lines->takeAt(0);
    for (SearchHitRow* row : std::as_const(order_)) {
        lines->addWidget(row);
        row->show();
    }

    empty_->setVisible(order_.isEmpty());
    empty_->setText(model_.search().searchText().isEmpty() ? QStringLiteral("Type a word. Any word.")
                                                  : QStringLiteral("Nothing. Maybe you never planned it."));
}

void SearchView::revealFirst()
{
    if (!order_.isEmpty())
        reveal(*order_.constFirst());
}

void SearchView::reveal(const SearchHitRow& row)
{
    // Copies: revealing changes the plan, and the row follows it.
    const Place place = row.place();
    const QUuid id = row.thingID();
    model_.search().reveal(place, id);
}
