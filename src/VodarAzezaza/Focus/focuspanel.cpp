#include "focuspanel.h"

#include "appmodel.h"
#include "compositor.h"
#include "focusmode.h"
#include "focusview.h"
#include "openwork.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainterPath>
#include <QScreen>
#include <QSettings>
#include <QVBoxLayout>
#include <QWindow>

FocusPanelWindow::FocusPanelWindow(AppModel& model, Options options)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint), model_(&model), options_(std::move(options))
{
    if (!options_.compositing)
        options_.compositing = &Compositor::isActive;
    setWindowTitle(QStringLiteral("pemby planner · focus"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    // The edges are grips: the window shows it under the pointer.
    setMouseTracking(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new FocusView(model, options_.maxRows, this);
    layout->addWidget(view_);
    connect(view_, &FocusView::heightChanged, this, &FocusPanelWindow::fitHeight);
    connect(view_, &FocusView::activateRequested, this, [this] {
        raise();
        activateWindow();
    });

    leave_ = new QAction(QStringLiteral("Leave Focus Mode"), this);
    leave_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    connect(leave_, &QAction::triggered, this, [this] {
        if (model_)
            model_->focusMode().exitFocusMode();
    });
    close_ = new QAction(QStringLiteral("Close"), this);
    close_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    connect(close_, &QAction::triggered, this, &QWidget::close);
    addAction(leave_);
    addAction(close_);
    if (options_.actions)
        addActions(options_.actions());

    fitHeight(view_->contentHeight());
    place();
    settleLook();
}

FocusPanelWindow::~FocusPanelWindow()
{
    if (windowHandle())
        windowHandle()->removeEventFilter(this);
}

void FocusPanelWindow::fitHeight(int height)
{
    if (height <= 0)
        return;
    // The width is the user's, between the two bounds; the height always the content's.
    setMinimumSize(minimumWidth, height);
    setMaximumSize(maximumWidth, height);
    // Qt keeps the top left corner, so the panel grows and shrinks downward.
    if (this->height() != height)
        resize(width(), height);
}

void FocusPanelWindow::place()
{
    const QVariant kept = model_ ? model_->defaults()->value(geometryKey()) : QVariant();
    restoring_ = true;
    const bool restored =
        kept.typeId() == QMetaType::QString && restoreGeometry(QByteArray::fromBase64(kept.toString().toLatin1()));
    if (!restored) {
        resize(defaultWidth, height());
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(area.x() + area.width() - defaultWidth - screenInset, area.y() + screenInset);
        }
    }
    restoring_ = false;
    // The kept height was the content of then; the content of now decides.
    fitHeight(view_->contentHeight());
}

void FocusPanelWindow::saveGeometryNow()
{
    if (restoring_ || !isVisible() || !model_)
        return;
    model_->defaults()->setValue(geometryKey(), QString::fromLatin1(saveGeometry().toBase64()));
}

void FocusPanelWindow::setFloating(bool floating)
{
    if (floating == floating_ && windowFlags().testFlag(Qt::WindowStaysOnTopHint) == floating)
        return;
    floating_ = floating;
    const bool shown = isVisible();
    if (QWindow* handle = windowHandle(); shown && handle) {
        // Changed on the window where it stands: taking it down and up again (what a
        // widget's new flags do) would drop the keys it holds, and the window system
        // may not hand them back.
        Qt::WindowFlags flags = windowFlags();
        flags.setFlag(Qt::WindowStaysOnTopHint, floating);
        overrideWindowFlags(flags);
        handle->setFlags(flags);
        raise();
        return;
    }
    const QRect kept = geometry();
    restoring_ = true;
    setWindowFlag(Qt::WindowStaysOnTopHint, floating);
    if (shown) {
        setGeometry(kept);
        present();
    }
    restoring_ = false;
}

void FocusPanelWindow::present()
{
    const bool wasVisible = isVisible();
    // Focus mode asked for from one of the planner's own windows: that window is about
    // to go, and the keys go with the user into the panel. Shown beside another app,
    // the panel leaves it the keys.
    QWidget* const keyWindow = QApplication::activeWindow();
    const bool takesTheKeys = !wasVisible && keyWindow && keyWindow != this;
    settleLook();
    show();
    raise();
    if (!wasVisible)
        view_->setFocus(Qt::OtherFocusReason);
    if (takesTheKeys)
        activateWindow();
}

void FocusPanelWindow::settleLook()
{
    translucent_ = options_.compositing();
    view_->setTranslucent(translucent_);
    shapeForOpaqueFill();
}

void FocusPanelWindow::shapeForOpaqueFill()
{
    // Without a compositor nothing shows through the corners: the window itself takes
    // the rounded shape.
    if (translucent_) {
        clearMask();
        return;
    }
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), FocusView::cornerRadius, FocusView::cornerRadius);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
}

void FocusPanelWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    saveGeometryNow();
}

void FocusPanelWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    shapeForOpaqueFill();
    saveGeometryNow();
}

void FocusPanelWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (QWindow* handle = windowHandle()) {
        // Installed once more after the flags change made a new native window; the
        // filter sees every press of the window before its widgets do.
        handle->removeEventFilter(this);
        handle->installEventFilter(this);
    }
    saveGeometryNow();
}

void FocusPanelWindow::hideEvent(QHideEvent* event)
{
    saveGeometryNow();
    resizing_.reset();
    QWidget::hideEvent(event);
}

void FocusPanelWindow::closeEvent(QCloseEvent* event)
{
    // Closing the panel is no answer to what is typed in it: that is kept.
    OpenWork::keep({this});
    if (model_ && model_->focusMode().isFocusMode())
        model_->setEditing(std::nullopt);
    QWidget::closeEvent(event);
}

std::optional<Qt::Edge> FocusPanelWindow::edgeAt(const QPointF& point) const
{
    if (point.y() < 0 || point.y() > height())
        return std::nullopt;
    if (point.x() >= 0 && point.x() < edgeGrip)
        return Qt::LeftEdge;
    if (point.x() <= width() && point.x() > width() - edgeGrip)
        return Qt::RightEdge;
    return std::nullopt;
}

bool FocusPanelWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != windowHandle())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (resizing_) {
            const QPoint by = mouse->globalPosition().toPoint() - resizing_->from;
            QRect next = resizing_->start;
            if (resizing_->edge == Qt::LeftEdge)
                next.setLeft(std::clamp(next.left() + by.x(), next.right() - maximumWidth + 1,
                                        next.right() - minimumWidth + 1));
            else
                next.setWidth(std::clamp(next.width() + by.x(), minimumWidth, maximumWidth));
            setGeometry(next);
            return true;
        }
        if (mouse->buttons() == Qt::NoButton) {
            if (edgeAt(mouse->position()))
                setCursor(Qt::SizeHorCursor);
            else
                unsetCursor();
        }
        break;
    }
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const auto edge = edgeAt(mouse->position());
        if (mouse->button() != Qt::LeftButton || !edge)
            break;
        // The window manager resizes when it can; else the panel follows the pointer
        // itself.
        if (!windowHandle()->startSystemResize(*edge))
            resizing_ = Resize{*edge, mouse->globalPosition().toPoint(), geometry()};
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (resizing_) {
            resizing_.reset();
            return true;
        }
        break;
    case QEvent::Leave:
        if (!resizing_)
            unsetCursor();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Controller ---------------------------------------------------------------------

FocusPanelWindow::Controller::Controller(Options options) : options_(std::move(options)) {}

FocusPanelWindow::Controller::~Controller() = default;

void FocusPanelWindow::Controller::showPanel(AppModel& model, bool floats)
{
    if (!panel_)
        panel_ = std::make_unique<FocusPanelWindow>(model, options_);
    panel_->setFloating(floats);
    panel_->present();
}

void FocusPanelWindow::Controller::hidePanel()
{
    if (panel_)
        panel_->hide();
}

void FocusPanelWindow::Controller::applyFloating(bool floats)
{
    if (panel_)
        panel_->setFloating(floats);
}
