#include "plannercontent.h"

#include "appearance.h"
#include "appmodel.h"
#include "boards.h"
#include "notesmodel.h"
#include "otherapps.h"
#include "palette.h"
#include "plannersettings.h"
#include "plaintext.h"
#include "reducemotion.h"

#include <QEasingCurve>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <QVBoxLayout>

namespace {

QFont pixelSized(QFont font, int size, QFont::Weight weight = QFont::Normal)
{
    font.setPixelSize(size);
    font.setWeight(weight);
    return font;
}

} // namespace

// ---- Board area -------------------------------------------------------------------

PlannerContent::PlannerContent(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , layout_(new QVBoxLayout(this))
    , footnote_(new FootnoteLine(model, this))
    , toast_(new ToastView(model, this))
{
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    layout_->addWidget(footnote_);
    connect(&model, &AppModel::modeChanged, this, &PlannerContent::showMode);
    connect(&model, &AppModel::toastChanged, this, &PlannerContent::placeToast);
    showMode();
}

PlannerContent::~PlannerContent() = default;

void PlannerContent::showMode()
{
    const Mode mode = model_.mode();
    if (board_) {
        // Hidden at once so the field it may hold hears it is gone; deleted once the
        // signal that got us here has finished with it.
        board_->hide();
        board_->deleteLater();
    }
    QWidget* board = Boards::make(mode, model_, this);
    board_ = board;
    layout_->insertWidget(0, board, 1);
    board->show();
    toast_->raise();
}

void PlannerContent::placeToast()
{
    QSize size = toast_->sizeHint();
    size.setWidth(std::min(size.width(), width() - 2 * footnoteSide));
    toast_->setGeometry((width() - size.width()) / 2, height() - toastLift - size.height(), size.width(),
                        size.height());
    toast_->raise();
}

bool PlannerContent::event(QEvent* event)
{
    // The toast asks for another size (a new text, another font): it is placed again.
    if (event->type() == QEvent::LayoutRequest)
        placeToast();
    return QWidget::event(event);
}

void PlannerContent::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), QColor(Palette::pembyBackground));
}

void PlannerContent::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeToast();
}

// ---- Footnote ---------------------------------------------------------------------

FootnoteLine::FootnoteLine(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    setFont(pixelSized(font(), 12));
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    // Everything the footnote's text is made of, once per operation.
    connect(&model.transitions(), &ModelTransitions::ended, this, [this](const ModelChanges& changes) {
        if (changes.containsAny({&AppModel::saveErrorChanged, &AppModel::modeChanged, &AppModel::plannerChanged,
                                 &AppModel::anchorChanged, &AppModel::todayChanged,
                                 &PlannerSettings::firstWeekdaySettingChanged, &OtherApps::familyThingsChanged,
                                 &AppModel::syncErrorChanged, &AppModel::skippedFilesChanged}))
            refresh();
    });
    connect(&model.notes(), &NotesModel::saveErrorChanged, this, &FootnoteLine::refresh);
    connect(&model.notes(), &NotesModel::revisionChanged, this, &FootnoteLine::refresh);
    refresh();
}

void FootnoteLine::refresh()
{
    const QString text = model_.footnote(Appearance::current() == ColorScheme::Dark);
    const bool oops = model_.saveError().has_value();
    if (text == text_ && oops == oops_)
        return;
    text_ = text;
    oops_ = oops;
    setToolTip(text.size() > 80 ? PlainText::toolTip(text) : QString());
    update();
}

bool FootnoteLine::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    // A change of appearance comes with the app's new palette.
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange)
        refresh();
    return handled;
}

QSize FootnoteLine::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(text_) + 2 * PlannerContent::footnoteSide,
            fontMetrics().height() + PlannerContent::footnoteBelow};
}

QSize FootnoteLine::minimumSizeHint() const
{
    return {2 * PlannerContent::footnoteSide, sizeHint().height()};
}

void FootnoteLine::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(QColor(oops_ ? Palette::oops : Palette::pembyFaint));
    const QRect line = rect().adjusted(PlannerContent::footnoteSide, 0, -PlannerContent::footnoteSide,
                                       -PlannerContent::footnoteBelow);
    // A long save error with its folder path is cut, never wrapped over the board.
    p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, fontMetrics().elidedText(text_, Qt::ElideMiddle, line.width()));
}

// ---- Toast ------------------------------------------------------------------------

ToastView::ToastView(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , fade_(new QVariantAnimation(this))
{
    setFont(pixelSized(font(), 13, QFont::Medium));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleDescription(QStringLiteral("updates frequently"));
    // The board area's ease-out.
    QEasingCurve easeOut(QEasingCurve::BezierSpline);
    easeOut.addCubicBezierSegment({0, 0}, {0.58, 1}, {1, 1});
    fade_->setEasingCurve(easeOut);
    connect(fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        opacity_ = value.toReal();
        update();
    });
    connect(fade_, &QVariantAnimation::finished, this, [this] {
        if (!showing_)
            hide();
    });
    connect(&model, &AppModel::toastChanged, this, &ToastView::follow);
    hide();
    follow();
}

void ToastView::follow()
{
    const std::optional<QString>& toast = model_.toast();
    if (toast) {
        text_ = *toast;
        setAccessibleName(text_);
        showing_ = true;
        show();
        fadeTo(1);
    } else if (showing_) {
        // The text stays while it fades.
        showing_ = false;
        fadeTo(0);
    }
    updateGeometry();
    update();
}

void ToastView::fadeTo(qreal target)
{
    fade_->stop();
    if (ReduceMotion::isOn()) {
        opacity_ = target;
        if (target == 0)
            hide();
        update();
        return;
    }
    fade_->setStartValue(opacity_);
    fade_->setEndValue(target);
    fade_->setDuration(fadeMs);
    fade_->start();
}

void ToastView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

QSize ToastView::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    // A pixel to spare: the advance is rounded, the elision is not.
    return {metrics.horizontalAdvance(text_) + 2 * 14 + 2, metrics.height() + 2 * 8};
}

void ToastView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(opacity_);
    const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = capsule.height() / 2;
    p.setBrush(QColor(Palette::ink));
    p.setPen(QPen(QColor(Palette::white.opacity(0.12)), 1));
    p.drawRoundedRect(capsule, radius, radius);
    p.setPen(QColor(Palette::paper));
    const QRect line = rect().adjusted(14, 0, -14, 0);
    p.drawText(line, Qt::AlignCenter, fontMetrics().elidedText(text_, Qt::ElideRight, line.width()));
}
