#include "placesheet.h"

#include "appmodel.h"
#include "palette.h"
#include "pembyfont.h"
#include "plaintext.h"
#include "ruled.h"
#include "thingcolumn.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

// The header's 2-pixel rule in the text colour.
class SheetHeader : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        Ruled::paint(p, rect(), Palette::pembyText, 2);
    }
};

void colour(QLabel* label, const PembyColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace

PlaceSheet::PlaceSheet(AppModel& model, const Place& place, QWidget* parent)
    : SheetContent(parent), model_(model), place_(place)
{
    setFixedSize(width, height);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    header_ = new SheetHeader(this);
    auto* headerRow = new QHBoxLayout(header_);
    headerRow->setContentsMargins(18, 14, 18, 14 + 2);
    headerRow->setSpacing(10);
    title_ = PembyFont::label(30, header_);
    colour(title_, Palette::pembyText);
    headerRow->addWidget(title_, 0, Qt::AlignBottom);
    headerRow->addStretch(1);
    headerRow->addSpacing(8);
    count_ = PlainText::label(QString(), header_);
    QFont countFont = count_->font();
    countFont.setPixelSize(12);
    count_->setFont(countFont);
    colour(count_, Palette::pembyMuted);
    headerRow->addWidget(count_, 0, Qt::AlignVCenter);
    done_ = new QPushButton(QStringLiteral("Done"), header_);
    // A dialog's Return belongs to the fields in the column, never to Done.
    done_->setAutoDefault(false);
    done_->setDefault(false);
    headerRow->addWidget(done_, 0, Qt::AlignVCenter);
    column->addWidget(header_);

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->viewport()->setAutoFillBackground(false);
    auto* lines = new QWidget;
    auto* linesRow = new QHBoxLayout(lines);
    // The lines start where the header's title does.
    linesRow->setContentsMargins(18 - 2, 0, 18, 0);
    column_ = new ThingColumn(model_, place_, lines);
    column_->setMinRows(minRows);
    column_->setCap(std::nullopt);
    column_->setEvents(events());
    linesRow->addWidget(column_, 1, Qt::AlignTop);
    scroll->setWidget(lines);
    // The scroll area paints its content's background; the sheet's own shows through.
    lines->setAutoFillBackground(false);
    column->addWidget(scroll, 1);

    auto* cancel = new QAction(this);
    cancel->setShortcut(Qt::Key_Escape);
    cancel->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(cancel);
    const auto close = [this] { model_.setZoomed(std::nullopt); };
    connect(cancel, &QAction::triggered, this, close);
    connect(done_, &QPushButton::clicked, this, close);

    connect(&model_, &AppModel::plannerChanged, this, &PlaceSheet::sync);
    connect(&model_, &AppModel::eventsChanged, this, [this] { column_->setEvents(events()); });
    sync();
}

QString PlaceSheet::title() const
{
    return title_->text();
}

QString PlaceSheet::countText() const
{
    return count_->text();
}

QString PlaceSheet::countText(const QList<Thing>& things)
{
    const auto left = std::count_if(things.cbegin(), things.cend(), [](const Thing& t) { return !t.done; });
    const auto done = things.size() - left;
    if (done == 0)
        return QStringLiteral("%1 things").arg(left);
    return QStringLiteral("%1 left · %2 done-ish").arg(left).arg(done);
}

void PlaceSheet::sync()
{
    // A list's name can change under the sheet.
    title_->setText(model_.label(place_));
    count_->setText(countText(model_.planner().things(place_)));
}

QStringList PlaceSheet::events() const
{
    if (const auto day = place_.day())
        return model_.events().value(*day);
    return {};
}

void PlaceSheet::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(Palette::pembyBackground));
}
