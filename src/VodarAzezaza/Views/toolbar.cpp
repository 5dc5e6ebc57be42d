#include "toolbar.h"

#include "appmodel.h"
#include "plansearch.h"
#include "focusmode.h"
#include "notesmodel.h"
#include "palette.h"
#include "plannersettings.h"
#include "pembyfont.h"
#include "pixelgrid.h"
#include "pixelview.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int buttonHeight = 28;
constexpr qreal corner = 7;

QString keys(QKeyCombination combination)
{
    return QKeySequence(combination).toString(QKeySequence::NativeText);
}

QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal)
{
    QFont f;
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    return f;
}

// A row of buttons on one well, as a control group draws them.
class ControlGroup : public QWidget {
public:
    explicit ControlGroup(QWidget* parent) : QWidget(parent)
    {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    void add(QWidget* widget) { static_cast<QHBoxLayout*>(layout())->addWidget(widget); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(Palette::pembyWell));
        p.drawRoundedRect(QRectF(rect()), corner, corner);
    }
};

// Fixed room between toolbar items.
QWidget* spacer(int width, QWidget* parent)
{
    auto* w = new QWidget(parent);
    w->setFixedWidth(width);
    return w;
}

} // namespace

// ---- Buttons ----------------------------------------------------------------------

ToolbarButton::ToolbarButton(Face face, const QString& text, QWidget* parent)
    : QAbstractButton(parent)
    , face_(face)
{
    setText(text);
    // The board keeps the keys whatever is clicked up here.
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setFont(face == Face::Focus ? PembyFont::font(20) : systemFont(13));
    if (face != Face::Text && face != Face::Focus)
        setAccessibleName(text);
}

void ToolbarButton::setSegment()
{
    segment_ = true;
    setCheckable(true);
}

QSize ToolbarButton::sizeHint() const
{
    switch (face_) {
    case Face::ChevronLeft:
    case Face::ChevronRight:
        return {14 + 2 * 2 + 8, buttonHeight};
    case Face::Magnifier:
        return {16 + 2 * 4 + 8, buttonHeight};
    case Face::Text:
        return {fontMetrics().horizontalAdvance(text()) + 2 * 6 + (segment_ ? 16 : 8), buttonHeight};
    case Face::Focus:
        return {Pixels::focus().width() * 2 + 7 + fontMetrics().horizontalAdvance(text()) + 2 * 6 + 8, buttonHeight};
    }
    return {buttonHeight, buttonHeight};
}

void ToolbarButton::enterEvent(QEnterEvent* event)
{
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ToolbarButton::leaveEvent(QEvent* event)
{
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void ToolbarButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(segment_ ? 2 : 0, 2, segment_ ? -2 : 0, -2);
    if (segment_ && isChecked()) {
        p.setPen(QPen(QColor(Palette::pembyRule), 1));
        p.setBrush(QColor(Palette::pembyBand));
        p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), corner - 2, corner - 2);
    } else if (isDown() || hovered_) {
        p.setPen(Qt::NoPen);
        p.setBrush(isDown() ? QColor(Palette::pembyRule) : QColor(Palette::pembyWell));
        p.drawRoundedRect(box, corner - 2, corner - 2);
    }

    const QColor ink = Palette::pembyText;
    const QPointF c = QRectF(rect()).center();
    QPen stroke(ink, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (face_) {
    case Face::ChevronLeft:
    case Face::ChevronRight: {
        const qreal s = face_ == Face::ChevronLeft ? 1 : -1;
        p.setPen(stroke);
        p.setBrush(Qt::NoBrush);
        const QPointF points[] = {{c.x() + 2.5 * s, c.y() - 5.5}, {c.x() - 2.5 * s, c.y()}, {c.x() + 2.5 * s, c.y() + 5.5}};
        p.drawPolyline(points, 3);
        break;
    }
    case Face::Magnifier:
        p.setPen(stroke);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(c.x() - 1.5, c.y() - 1.5), 5, 5);
        p.drawLine(QPointF(c.x() + 2.2, c.y() + 2.2), QPointF(c.x() + 6, c.y() + 6));
        break;
    case Face::Text:
        p.setPen(ink);
        p.drawText(rect(), Qt::AlignCenter, text());
        break;
    case Face::Focus: {
        const QSizeF glyph(Pixels::focus().width() * 2, Pixels::focus().height() * 2);
        const int word = fontMetrics().horizontalAdvance(text());
        const qreal left = c.x() - (glyph.width() + 7 + word) / 2;
        PixelView::paint(p, QRectF(QPointF(left, c.y() - glyph.height() / 2), glyph), Pixels::focus(), 2,
                         Inks::standard(), ink);
        p.setPen(ink);
        PembyFont::drawText(p, QRectF(left + glyph.width() + 7, 0, word + 2, height()), Qt::AlignLeft | Qt::AlignVCenter,
                            text());
        break;
    }
    }
}

// ---- Title block ------------------------------------------------------------------

TitleBlock::TitleBlock(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TitleBlock::setTexts(const QString& title, const QString& subtitle)
{
    if (title == title_ && subtitle == subtitle_)
        return;
    title_ = title;
    subtitle_ = subtitle;
    // The two read as one.
    setAccessibleName(title + QStringLiteral(", ") + subtitle);
    updateGeometry();
    update();
}

QSize TitleBlock::sizeHint() const
{
    const QFontMetrics big(PembyFont::font(30));
    const QFontMetrics small(systemFont(13));
    return {leading + big.horizontalAdvance(title_) + spacing + small.horizontalAdvance(subtitle_) + 2,
            std::max(big.height(), small.height())};
}

QSize TitleBlock::minimumSizeHint() const
{
    // The title is never cut; the subtitle gives way.
    const QFontMetrics big(PembyFont::font(30));
    return {leading + big.horizontalAdvance(title_) + spacing + 40, sizeHint().height()};
}

void TitleBlock::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QFont bigFont = PembyFont::font(30);
    const QFont smallFont = systemFont(13);
    const QFontMetrics big(bigFont);
    const QFontMetrics small(smallFont);
    // Both texts sit on the title's baseline, the block centred in its height.
    const int baseline = (height() - big.height()) / 2 + big.ascent();
    p.setFont(bigFont);
    p.setPen(QColor(Palette::pembyText));
    PembyFont::drawText(p, QPointF(leading, baseline), title_);
    const int x = leading + big.horizontalAdvance(title_) + spacing;
    p.setFont(smallFont);
    p.setPen(QColor(Palette::pembyMuted));
    p.drawText(x, baseline, small.elidedText(subtitle_, Qt::ElideRight, std::max(0, width() - x)));
}

// ---- Toolbar ----------------------------------------------------------------------

Toolbar::Toolbar(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , title_(new TitleBlock(this))
    , navigation_(new QWidget(this))
    , picker_(new ControlGroup(this))
    , modes_(new QButtonGroup(this))
{
    setFixedHeight(barHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 0, 12, 0);
    row->setSpacing(0);
    row->addWidget(title_, 1);

    auto make = [this](Button which, ToolbarButton::Face face, const QString& text, QWidget* parent) {
        auto* b = new ToolbarButton(face, text, parent);
        buttons_[std::size_t(which)] = b;
        return b;
    };

    // Previous, today, next, and the fixed space after them.
    auto* group = new ControlGroup(navigation_);
    group->add(make(Button::Previous, ToolbarButton::Face::ChevronLeft, QStringLiteral("Previous"), group));
    group->add(make(Button::Today, ToolbarButton::Face::Text, QStringLiteral("Today"), group));
    group->add(make(Button::Next, ToolbarButton::Face::ChevronRight, QStringLiteral("Next"), group));
    auto* navRow = new QHBoxLayout(navigation_);
    navRow->setContentsMargins(0, 0, 0, 0);
    navRow->setSpacing(0);
    navRow->addWidget(group);
    navRow->addWidget(spacer(16, navigation_));
    row->addWidget(navigation_);

    picker_->setToolTip(QStringLiteral("Week  W · Month  M · Notes  ") + keys(Qt::CTRL | Qt::Key_3));
    picker_->setAccessibleName(QStringLiteral("View"));
    const std::array<std::pair<Button, Mode>, 3> segments{
        {{Button::Week, Mode::Week}, {Button::Month, Mode::Month}, {Button::Notes, Mode::Notes}}};
    for (const auto& [which, mode] : segments) {
        const QString name = modeRawValue(mode);
        ToolbarButton* b = make(which, ToolbarButton::Face::Text, name.left(1).toUpper() + name.mid(1), picker_);
        b->setSegment();
        modes_->addButton(b, int(mode));
        static_cast<ControlGroup*>(picker_)->add(b);
    }
    modes_->setExclusive(true);
    row->addWidget(picker_);
    row->addWidget(spacer(16, this));

    ToolbarButton* focus = make(Button::Focus, ToolbarButton::Face::Focus, QStringLiteral("focus"), this);
    focus->setToolTip(QStringLiteral("Focus mode ") + keys(Qt::CTRL | Qt::SHIFT | Qt::Key_F)
                      + QStringLiteral(". Today, less window."));
    focus->setAccessibleName(QStringLiteral("Focus mode"));
    row->addWidget(focus);
    row->addWidget(spacer(16, this));
    row->addWidget(make(Button::Search, ToolbarButton::Face::Magnifier, QStringLiteral("Search"), this));

    connect(button(Button::Previous), &QAbstractButton::clicked, this, [this] { model_.go(-1); });
    connect(button(Button::Today), &QAbstractButton::clicked, this, [this] { model_.goToday(); });
    button(Button::Today)->setToolTip(QStringLiteral("Back to today  T"));
    connect(button(Button::Next), &QAbstractButton::clicked, this, [this] { model_.go(1); });
    // Only a person's pick sets the mode; following the model checks the segment quietly.
    connect(modes_, &QButtonGroup::idClicked, this, [this](int id) { model_.setMode(Mode(id)); });
    connect(focus, &QAbstractButton::clicked, this, [this] { model_.focusMode().enterFocusMode(); });
    connect(button(Button::Search), &QAbstractButton::clicked, this, [this] {
        if (model_.mode() == Mode::Notes)
            model_.notes().requestSearch();
        else
            model_.search().beginSearch();
    });

    // The title and subtitle rest on several properties: once per operation.
    connect(&model.transitions(), &ModelTransitions::ended, this, [this](const ModelChanges& changes) {
        if (changes.containsAny({&AppModel::plannerChanged, &AppModel::anchorChanged, &AppModel::modeChanged,
                                 &AppModel::todayChanged, &PlannerSettings::firstWeekdaySettingChanged}))
            refreshTexts();
    });
    connect(&model.notes(), &NotesModel::notesChanged, this, &Toolbar::refreshTexts);
    connect(&model, &AppModel::modeChanged, this, &Toolbar::refreshMode);
    refreshTexts();
    refreshMode();
}

void Toolbar::refreshTexts()
{
    title_->setTexts(model_.title(), model_.subtitle());
}

void Toolbar::refreshMode()
{
    const Mode mode = model_.mode();
    const bool month = mode == Mode::Month;
    navigation_->setVisible(mode != Mode::Notes);
    button(Button::Previous)->setToolTip(month ? QStringLiteral("Last month  [") : QStringLiteral("Last week  ["));
    button(Button::Next)->setToolTip(month ? QStringLiteral("Next month  ]") : QStringLiteral("Next week  ]"));
    button(Button::Search)->setToolTip(mode == Mode::Notes
                                           ? QStringLiteral("Search notes  ") + keys(Qt::CTRL | Qt::Key_F)
                                           : QStringLiteral("Search  ") + keys(Qt::CTRL | Qt::Key_F));
    if (QAbstractButton* segment = modes_->button(int(mode)))
        segment->setChecked(true);
}
