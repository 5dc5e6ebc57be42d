#include "focusview.h"

#include "appmodel.h"
#include "boardselection.h"
#include "focusmode.h"
#include "glyphbutton.h"
#include "keymap.h"
#include "motion.h"
#include "otherapps.h"
#include "palette.h"
#include "pembyfont.h"
#include "plaintext.h"
#include "plannersettings.h"
#include "ruled.h"
#include "thingcolumn.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWindow>

// ---- Header -------------------------------------------------------------------------

// The name of the place in focus; a click opens the menu that switches it.
class SourceButton : public QAbstractButton {
public:
    explicit SourceButton(QWidget* parent) : QAbstractButton(parent)
    {
        setFocusPolicy(Qt::NoFocus);
        setFont(PembyFont::font(20));
        setToolTip(QStringLiteral("Switch: today, tomorrow, or a list"));
        setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        return QSize(fontMetrics().horizontalAdvance(text()) + 2, FocusView::headerHeight);
    }
    QSize minimumSizeHint() const override { return QSize(24, FocusView::headerHeight); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setPen(QColor(Palette::pembyText));
        p.setOpacity(isDown() ? 0.7 : 1);
        PembyFont::drawText(p, rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                            fontMetrics().elidedText(text(), Qt::ElideRight, width()));
    }
};

// The header's strip: dragging it moves the panel, a double click leaves focus mode.
class FocusHeader : public QWidget {
public:
    FocusHeader(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
    {
        setFixedHeight(FocusView::headerHeight);
        source = new SourceButton(this);
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(8, 0, 2, 0);
        row->setSpacing(8);
        row->addWidget(source, 0);
    }

    SourceButton* source;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return QWidget::mousePressEvent(event);
        pressedAt_ = event->globalPosition().toPoint();
        windowAt_ = window()->pos();
        moving_ = false;
        event->accept();
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!pressedAt_)
            return QWidget::mouseMoveEvent(event);
        const QPoint now = event->globalPosition().toPoint();
        if (!moving_ && (now - *pressedAt_).manhattanLength() < QApplication::startDragDistance())
            return;
        if (!moving_) {
            moving_ = true;
            // The window manager moves the window when it can; it then owns the pointer
            // until the button goes up, and this press is over.
            if (QWindow* handle = window()->windowHandle(); handle && handle->startSystemMove()) {
                pressedAt_.reset();
                return;
            }
        }
        window()->move(windowAt_ + now - *pressedAt_);
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        pressedAt_.reset();
        moving_ = false;
        QWidget::mouseReleaseEvent(event);
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return QWidget::mouseDoubleClickEvent(event);
        pressedAt_.reset();
        event->accept();
        model_.focusMode().exitFocusMode();
    }

private:
    AppModel& model_;
    std::optional<QPoint> pressedAt_;
    QPoint windowAt_;
    bool moving_ = false;
};

// ---- Toast --------------------------------------------------------------------------

namespace {

constexpr int toastPadX = 12;
constexpr int toastPadY = 6;
constexpr int toastBelow = 10;
constexpr int toastSide = 8;

QFont toastFont(const QFont& base)
{
    QFont f = base;
    f.setPixelSize(12);
    f.setWeight(QFont::Medium);
    return f;
}

} // namespace

FocusToast::FocusToast(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setFont(toastFont(font()));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleDescription(QStringLiteral("updates frequently"));
    connect(&fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        opacity_ = value.toReal();
        update();
    });
    connect(&fade_, &QVariantAnimation::finished, this, [this] {
        if (!showing_)
            hide();
    });
    connect(&model_, &AppModel::toastChanged, this, &FocusToast::follow);
    hide();
    follow();
}

void FocusToast::follow()
{
    const std::optional<QString>& toast = model_.toast();
    showing_ = toast.has_value();
    // A toast that goes keeps its text while it fades.
    if (toast)
        text_ = *toast;
    setAccessibleName(text_);
    fade_.stop();
    const qreal target = showing_ ? 1 : 0;
    if (showing_)
        show();
    emit changed();
    if (!Motion::animates()) {
        opacity_ = target;
        if (!showing_)
            hide();
        update();
        return;
    }
    Motion::configure(fade_, fadeMs);
    fade_.setStartValue(opacity_);
    fade_.setEndValue(target);
    fade_.start();
}

QSize FocusToast::sizeWithin(int width) const
{
    const int textWidth = std::max(1, width - 2 * toastPadX);
    const QFontMetrics metrics(font());
    QRect bounds = metrics.boundingRect(QRect(0, 0, textWidth, 10000), Qt::TextWordWrap, text_);
    const int twoLines = 2 * metrics.lineSpacing();
    bounds.setHeight(std::min(bounds.height(), twoLines));
    return QSize(std::min(width, bounds.width() + 2 * toastPadX), bounds.height() + 2 * toastPadY);
}

void FocusToast::paintEvent(QPaintEvent*)
{
    if (text_.isEmpty())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(opacity_);
    const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = capsule.height() / 2;
    QPainterPath path;
    path.addRoundedRect(capsule, radius, radius);
    p.fillPath(path, QColor(Palette::ink));
    // On a dark panel the ink capsule would vanish: a faint edge keeps it apart.
    p.setPen(QPen(QColor(Palette::white.opacity(0.12)), 1));
    p.drawPath(path);
    p.setPen(QColor(Palette::paper));
    const QRect inside = rect().adjusted(toastPadX, toastPadY, -toastPadX, -toastPadY);
    // Two lines at most; a longer toast ends in an ellipsis.
    const QFontMetrics metrics(font());
    QString shown = text_;
    if (metrics.boundingRect(inside.adjusted(0, 0, 0, 10000), Qt::TextWordWrap, text_).height() > inside.height()) {
        while (shown.size() > 1
               && metrics.boundingRect(inside.adjusted(0, 0, 0, 10000), Qt::TextWordWrap, shown + u'…').height()
                      > inside.height())
            shown.chop(1);
        shown = shown.trimmed() + u'…';
    }
    p.drawText(inside, Qt::AlignCenter | Qt::TextWordWrap, shown);
}

// ---- The view -----------------------------------------------------------------------

QString FocusView::countText(const QList<Thing>& things, int othersOpen, int othersAll)
{
    const int all = int(things.size()) + othersAll;
    const int open =
        int(std::count_if(things.cbegin(), things.cend(), [](const Thing& t) { return !t.done; })) + othersOpen;
    if (all == 0)
        return QStringLiteral("nothing. suspicious.");
    if (open == 0)
        return QStringLiteral("all done");
    return QString::number(open) + QStringLiteral(" left");
}

FocusView::FocusView(AppModel& model, int maxRows, QWidget* parent)
    : QWidget(parent), model_(model), maxRows_(std::max(1, maxRows))
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(padSide, padTop, padSide, padBottom);
    column->setSpacing(spacing);

    header_ = new FocusHeader(model_, this);
    auto* headerRow = static_cast<QHBoxLayout*>(header_->layout());
    count_ = PlainText::label(QString(), header_);
    QFont countFont = count_->font();
    countFont.setPixelSize(12);
    count_->setFont(countFont);
    QPalette countPalette = count_->palette();
    countPalette.setColor(QPalette::WindowText, Palette::pembyMuted);
    count_->setPalette(countPalette);
    count_->setAttribute(Qt::WA_TransparentForMouseEvents);
    headerRow->addWidget(count_);
    headerRow->addStretch(1);
    headerRow->addSpacing(4);
    pin_ = new GlyphButton(Pixels::pin(), Palette::pembySnooze, QSize(buttonSide, buttonSide), header_);
    pin_->setLook(Pixels::pin(), Palette::pembySnooze, true);
    expand_ = new GlyphButton(Pixels::expand(), Palette::pembyMuted, QSize(buttonSide, buttonSide), header_);
    for (GlyphButton* button : {pin_, expand_})
        button->setCursor(Qt::PointingHandCursor);
    expand_->setToolTip(QStringLiteral("Back to the full window  ")
                        + QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F).toString(QKeySequence::NativeText));
    expand_->setAccessibleName(QStringLiteral("Leave focus mode"));
    headerRow->addWidget(pin_);
    headerRow->addWidget(expand_);
    column->addWidget(header_);

    sourceMenu_ = new QMenu(this);
    connect(sourceMenu_, &QMenu::aboutToShow, this, [this] { sourceMenu(); });
    connect(header_->source, &QAbstractButton::clicked, this, [this] {
        SourceButton* source = header_->source;
        sourceMenu_->popup(source->mapToGlobal(QPoint(0, source->height() - 6)));
    });

    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidgetResizable(true);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->viewport()->setAutoFillBackground(false);
    auto* lines = new QWidget;
    auto* linesRow = new QHBoxLayout(lines);
    linesRow->setContentsMargins(6, 0, 6, 0);
    column_ = new ThingColumn(model_, model_.focusPlace(), lines);
    column_->setMinRows(1);
    column_->setCap(std::nullopt);
    linesRow->addWidget(column_, 1, Qt::AlignTop);
    scroll_->setWidget(lines);
    // The scroll area paints its content's background; the glass must show through.
    lines->setAutoFillBackground(false);
    column->addWidget(scroll_);

    toast_ = new FocusToast(model_, this);
    connect(toast_, &FocusToast::changed, this, &FocusView::placeToast);

    hover_.setEasingCurve(QEasingCurve::OutCubic);
    connect(&hover_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        buttonOpacity_ = value.toReal();
        pin_->setInkOpacity(buttonOpacity_);
        expand_->setInkOpacity(buttonOpacity_);
    });
    pin_->setInkOpacity(buttonOpacity_);
    expand_->setInkOpacity(buttonOpacity_);

    connect(pin_, &QAbstractButton::clicked, this, [this] { model_.settings().setFloats(!model_.settings().floats()); });
    connect(expand_, &QAbstractButton::clicked, this, [this] { model_.focusMode().exitFocusMode(); });
    connect(column_, &ThingColumn::lineCountChanged, this, &FocusView::fitRows);

    // Once per operation: the place and with it the header, or the header alone when
    // only other apps' things changed.
    connect(&model_.transitions(), &ModelTransitions::ended, this, [this](const ModelChanges& changes) {
        if (changes.containsAny({&FocusMode::focusSourceChanged, &AppModel::todayChanged, &AppModel::plannerChanged}))
            followPlace();
        else if (changes.containsAny({&OtherApps::familyThingsChanged, &OtherApps::tickedExternalChanged}))
            syncHeader();
    });
    connect(&model_.settings(), &PlannerSettings::floatsChanged, this, &FocusView::syncPin);
    // The keys come back after an inline edit, without a click.
    connect(&model_, &AppModel::editingChanged, this, [this] {
        if (!model_.editing() && isVisible())
            setFocus(Qt::OtherFocusReason);
    });

    followPlace();
    syncPin();
    fitRows();
}

FocusView::~FocusView()
{
    // The column and its rows may still tell the model something as they go; nothing
    // here must hear it back half torn down.
    disconnect(&model_, nullptr, this, nullptr);
    disconnect(&model_.transitions(), nullptr, this, nullptr);
}

QWidget* FocusView::header() const
{
    return header_;
}

QString FocusView::sourceTitle() const
{
    return header_->source->text();
}

QString FocusView::countText() const
{
    return count_->text();
}

QMenu& FocusView::sourceMenu()
{
    sourceMenu_->clear();
    sourceMenu_->addAction(QStringLiteral("Today"), this, [this] { model_.focusMode().setFocusSource(FocusSource::today()); });
    sourceMenu_->addAction(QStringLiteral("Tomorrow"), this,
                           [this] { model_.focusMode().setFocusSource(FocusSource::tomorrow()); });
    sourceMenu_->addSeparator();
    const QList<EventuallyList>& lists = model_.planner().lists;
    for (int i = 0; i < lists.size(); ++i) {
        // A list's name is the user's text: never a mnemonic.
        QString name = lists[i].name;
        name.replace(u'&', QStringLiteral("&&"));
        sourceMenu_->addAction(name, this, [this, i] { model_.focusMode().setFocusSource(FocusSource::list(i)); });
    }
    return *sourceMenu_;
}

void FocusView::followPlace()
{
    column_->setPlace(model_.focusPlace());
    syncHeader();
    fitRows();
}

void FocusView::syncHeader()
{
    const FocusSource& source = model_.focusMode().focusSource();
    const Place place = model_.focusPlace();
    QString title;
    switch (source.kind()) {
    case FocusSource::Kind::Today:
        title = QStringLiteral("today");
        break;
    case FocusSource::Kind::Tomorrow:
        title = QStringLiteral("tomorrow");
        break;
    case FocusSource::Kind::List:
        title = model_.label(place);
        break;
    }
    if (header_->source->text() != title) {
        header_->source->setText(title);
        header_->source->setAccessibleName(title);
        header_->source->updateGeometry();
    }

    // Other apps' things count only on today.
    int othersOpen = 0;
    int othersAll = 0;
    if (place == Place::onDay(model_.today())) {
        const QList<SharedThing> others = model_.otherApps().todayFromOthers();
        othersAll = int(others.size());
        othersOpen = int(std::count_if(others.cbegin(), others.cend(), [](const SharedThing& t) { return !t.done; }));
    }
    count_->setText(countText(model_.planner().things(place), othersOpen, othersAll));
}

void FocusView::syncPin()
{
    const bool floats = model_.settings().floats();
    pin_->setLook(floats ? Pixels::pin() : Pixels::pinOff(), floats ? Palette::pembySnooze : Palette::pembyMuted, floats);
    pin_->setToolTip(floats ? QStringLiteral("Floating. Above it all. (P)") : QStringLiteral("Not floating. Just a window. (P)"));
    pin_->setAccessibleName(floats ? QStringLiteral("Floating on top") : QStringLiteral("Not floating"));
}

int FocusView::rowCount() const
{
    return column_->lineCount();
}

int FocusView::contentHeight() const
{
    return padTop + headerHeight + spacing + std::min(maxRows_, rowCount()) * Ruled::lineHeight + padBottom;
}

void FocusView::fitRows()
{
    const int n = rowCount();
    // Up to maxRows the list is exactly as tall as its lines and does not scroll.
    scroll_->setFixedHeight(std::min(maxRows_, n) * Ruled::lineHeight);
    scroll_->setVerticalScrollBarPolicy(maxRows_ >= n ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    if (maxRows_ >= n)
        scroll_->verticalScrollBar()->setValue(0);
    const int h = contentHeight();
    setFixedHeight(h);
    if (h != reported_) {
        reported_ = h;
        emit heightChanged(h);
    }
}

void FocusView::placeToast()
{
    const QSize size = toast_->sizeWithin(width() - 2 * toastSide);
    toast_->setGeometry((width() - size.width()) / 2, height() - toastBelow - size.height(), size.width(),
                        size.height());
    toast_->raise();
}

void FocusView::setTranslucent(bool translucent)
{
    if (translucent == translucent_)
        return;
    translucent_ = translucent;
    update();
}

void FocusView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(frame, cornerRadius, cornerRadius);
    // Glass where a compositor blends the panel with what lies behind it: the
    // background let through, tinted; elsewhere the same colours, opaque.
    QColor base = Palette::pembyBackground;
    if (translucent_)
        base.setAlphaF(0.78f);
    p.fillPath(shape, base);
    p.fillPath(shape, QColor(Palette::pembyGlassTint));
    QColor edge = Palette::pembyText;
    edge.setAlphaF(0.12f);
    p.setPen(QPen(edge, 1));
    p.drawPath(shape);
}

void FocusView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeToast();
}

void FocusView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Every press anywhere in the panel, rows included, passes by here first.
    if (QWindow* handle = window()->windowHandle(); handle && handle != watchedWindow_) {
        if (watchedWindow_)
            watchedWindow_->removeEventFilter(this);
        watchedWindow_ = handle;
        handle->installEventFilter(this);
    }
    setFocus(Qt::OtherFocusReason);
    placeToast();
}

bool FocusView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == watchedWindow_ && event->type() == QEvent::MouseButtonPress) {
        emit activateRequested();
        // A field that has the keys keeps them; otherwise they come here.
        QWidget* holder = QApplication::focusWidget();
        if (!holder || holder->window() != window())
            setFocus(Qt::MouseFocusReason);
    }
    return QWidget::eventFilter(watched, event);
}

bool FocusView::selectsFirst(const QKeyEvent& event) const
{
    return (event.key() == Qt::Key_Up || event.key() == Qt::Key_Down) && model_.selection().ids().isEmpty()
        && !model_.otherApps().selectedExternal();
}

bool FocusView::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Option and Meta chords are the menus' (⌥⌘T), never the key map's.
        if (!(key->modifiers() & (Qt::AltModifier | Qt::MetaModifier))
            && (selectsFirst(*key) || model_.wouldHandleKey(KeyPress::fromEvent(*key), true))) {
            key->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void FocusView::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() & (Qt::AltModifier | Qt::MetaModifier))
        return QWidget::keyPressEvent(event);
    if (selectsFirst(*event)) {
        const QList<Thing> things = model_.planner().things(model_.focusPlace());
        model_.selection().select(things.isEmpty() ? std::nullopt : std::optional<QUuid>(things.constFirst().id));
        event->accept();
        return;
    }
    if (model_.handleKey(KeyPress::fromEvent(*event), true) == KeyPress::Result::Handled) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FocusView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setHovering(true);
}

void FocusView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovering(false);
}

void FocusView::setHovering(bool hovering)
{
    if (hovering == hovering_)
        return;
    hovering_ = hovering;
    const qreal target = hovering ? 1 : dimmed;
    hover_.stop();
    if (!Motion::animates()) {
        buttonOpacity_ = target;
        pin_->setInkOpacity(target);
        expand_->setInkOpacity(target);
        return;
    }
    hover_.setDuration(hoverMs);
    hover_.setStartValue(buttonOpacity_);
    hover_.setEndValue(target);
    hover_.start();
}
