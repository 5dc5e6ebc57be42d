#include "mainview.h"

#include "appmodel.h"
#include "focusmode.h"
#include "focuspanelcontroller.h"
#include "notesmodel.h"
#include "openwork.h"
#include "plannercontent.h"
#include "sheets.h"
#include "toolbar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QSettings>
#include <QVBoxLayout>

MainView::MainView(Options options, QWidget* parent)
    : QMainWindow(parent)
    , options_(options)
    , sheets_(new SheetPresenter(this, options_.sheets))
{
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("Pemby Planner"));
    // No menu of toolbars to hide: the window has one toolbar, always there.
    setContextMenuPolicy(Qt::NoContextMenu);
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    setCentralWidget(central);
    resize(defaultWidth, defaultHeight);

    heartbeat_.setInterval(options_.refreshMs);
    connect(&heartbeat_, &QTimer::timeout, this, &MainView::refreshNow);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            refreshNow();
    });
}

AppModel* MainView::model() const
{
    return model_;
}

MainView::~MainView()
{
    // The sheets go before the content they sit over.
    delete sheets_;
    sheets_ = nullptr;
}

PlannerContent* MainView::content() const
{
    return content_;
}

Toolbar* MainView::toolbar() const
{
    return toolbar_;
}

void MainView::setModel(AppModel* model)
{
    for (const auto& c : std::as_const(modelConnections_))
        disconnect(c);
    modelConnections_.clear();
    sheets_->setModel(nullptr);
    for (QWidget* old : {static_cast<QWidget*>(toolbar_), static_cast<QWidget*>(content_)}) {
        if (old) {
            old->hide();
            old->deleteLater();
        }
    }
    model_ = model;
    if (!model)
        return;

    auto* column = static_cast<QVBoxLayout*>(centralWidget()->layout());
    toolbar_ = new Toolbar(*model, centralWidget());
    content_ = new PlannerContent(*model, centralWidget());
    content_->setMinimumSize(minimumContentWidth, minimumContentHeight);
    // The board takes the keys on a click anywhere that no field or button takes.
    content_->setFocusPolicy(Qt::StrongFocus);
    content_->installEventFilter(this);
    column->addWidget(toolbar_);
    column->addWidget(content_, 1);
    sheets_->setModel(model);
    watchFocusRules();
    restoreGeometryOnce();

    QPointer<MainView> self(this);
    model->focusMode().setMainWindow(FocusMode::MainWindow{
        this,
        // The window goes only once the focus panel stands: hiding it with no panel to
        // show would leave the planner with no window at all.
        [self] {
            QTimer::singleShot(0, self, [self] {
                if (self && self->model_ && self->model_->focusMode().isFocusMode() && self->model_->focus().hasPanel())
                    self->hide();
            });
        },
        [self] {
            if (!self)
                return;
            self->show();
            self->raise();
            self->activateWindow();
        },
    });
    model->focusMode().setOpenMainWindow([self] {
        if (!self)
            return;
        self->show();
        self->raise();
        self->activateWindow();
    });
    giveBoardTheKeys();
}

void MainView::releaseModel(AppModel* old)
{
    if (!old || old != model_)
        return;
    sheets_->closeAll();
    if (const auto& flush = old->notes().flushEditor())
        flush();
    saveGeometryNow();
    // A popover saves as it closes; an inline edit commits what it holds.
    old->setOpened(std::nullopt);
    old->setOpenedExternal(std::nullopt);
    old->setEditing(std::nullopt);
}

void MainView::saveOpenWork()
{
    sheets_->saveAll();
    if (model_) {
        if (const auto& flush = model_->notes().flushEditor())
            flush();
    }
    saveGeometryNow();
}

void MainView::giveBoardTheKeys()
{
    if (content_)
        content_->setFocus(Qt::OtherFocusReason);
}

void MainView::watchFocusRules()
{
    AppModel* model = model_;
    const auto whenCleared = [&](void (AppModel::*signal)(), auto isCleared) {
        modelConnections_.append(connect(model, signal, this, [this, isCleared] {
            if (model_ && isCleared(*model_))
                giveBoardTheKeys();
        }));
    };
    whenCleared(&AppModel::editingChanged, [](const AppModel& m) { return !m.editing(); });
    whenCleared(&AppModel::openedChanged, [](const AppModel& m) { return !m.opened(); });
    whenCleared(&AppModel::editingNoteChanged, [](const AppModel& m) { return !m.editingNote(); });
    whenCleared(&AppModel::openedExternalChanged, [](const AppModel& m) { return !m.openedExternal(); });
    whenCleared(&AppModel::editingExternalNoteChanged, [](const AppModel& m) { return !m.editingExternalNote(); });
    whenCleared(&AppModel::modeChanged, [](const AppModel& m) { return m.mode() != Mode::Notes; });
    whenCleared(&AppModel::zoomedChanged, [](const AppModel& m) { return !m.zoomed(); });
}

bool MainView::event(QEvent* event)
{
    // A click on the window behind a sheet makes it active, but the sheet keeps the
    // keys: the activation is handed back to it.
    if (event->type() == QEvent::WindowActivate) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != this && modal->isVisible() && modal->windowModality() == Qt::WindowModal
            && modal->parentWidget() && modal->parentWidget()->window() == this) {
            QTimer::singleShot(0, modal, [modal] {
                if (modal->isVisible() && !modal->isActiveWindow()) {
                    modal->raise();
                    modal->activateWindow();
                }
            });
        }
    }
    return QMainWindow::event(event);
}

bool MainView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != content_ || !model_)
        return QMainWindow::eventFilter(watched, event);
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QMainWindow::eventFilter(watched, event);

    auto* key = static_cast<QKeyEvent*>(event);
    // The press record has no Option or Meta: such a chord is a menu's (⌥⌘→, ⌥⌘T),
    // never the board's.
    if (key->modifiers() & (Qt::AltModifier | Qt::MetaModifier))
        return false;
    const KeyPress press = KeyPress::fromEvent(*key);
    if (event->type() == QEvent::ShortcutOverride) {
        if (!model_->wouldHandleKey(press, false))
            return false;
        key->accept();
        return true;
    }
    if (model_->handleKey(press, false) != KeyPress::Result::Handled)
        return false;
    key->accept();
    return true;
}

void MainView::refreshNow()
{
    if (model_)
        model_->refresh(QDateTime::currentDateTime());
}

void MainView::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    everShown_ = true;
    heartbeat_.start();
    giveBoardTheKeys();
    // As a task after the window is up, not inside its show.
    QTimer::singleShot(0, this, &MainView::restoreFocusMode);
}

void MainView::hideEvent(QHideEvent* event)
{
    heartbeat_.stop();
    saveGeometryNow();
    QMainWindow::hideEvent(event);
}

void MainView::closeEvent(QCloseEvent* event)
{
    // Closing only hides: the app lives on until it is quit, and a second launch brings
    // the window back. What is typed in it is kept, not left in a hidden field.
    OpenWork::keep({this});
    saveOpenWork();
    if (model_)
        model_->setEditing(std::nullopt);
    saveGeometryNow();
    QMainWindow::closeEvent(event);
}

void MainView::restoreFocusMode()
{
    if (restoredMode_ || options_.renderRun || !model_)
        return;
    restoredMode_ = true;
    if (model_->defaults()->value(QStringLiteral("focus.last")).toString() != QStringLiteral("true"))
        return;
    checkWindowThenFocus(options_.focusChecks);
}

void MainView::checkWindowThenFocus(int checksLeft)
{
    if (!model_)
        return;
    // A check that finds the window on screen does not wait, and neither do the ones
    // after it; a window that never shows gets its checks' worth of waiting.
    if (checksLeft <= 0 || isVisible()) {
        model_->focusMode().enterFocusMode();
        return;
    }
    QTimer::singleShot(options_.focusCheckMs, this, [this, checksLeft] { checkWindowThenFocus(checksLeft - 1); });
}

void MainView::saveGeometryNow()
{
    if (!model_ || !everShown_)
        return;
    model_->defaults()->setValue(geometryKey(), QString::fromLatin1(saveGeometry().toBase64()));
}

void MainView::restoreGeometryOnce()
{
    if (geometryRestored_ || !model_)
        return;
    geometryRestored_ = true;
    const QVariant kept = model_->defaults()->value(geometryKey());
    if (kept.typeId() == QMetaType::QString)
        restoreGeometry(QByteArray::fromBase64(kept.toString().toLatin1()));
}
